// refines_to_nothing reads from a term's shape that refinement leaves it alone:
// wherever it says so, refine must give the empty assignment alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "step/core.h"

namespace analyser {

namespace {

TEST(RefineShapeTest, AgreesWithRefine) {
  SymbolicCore core;
  KnowledgeManager& mgr = core.knowledge_manager();
  const Knowledge empty = fresh_knowledge(mgr);
  const Knowledge k = derive_knowledge(
      mgr, empty, empty_assignment(),
      pair(agent("A", 1), pair(pub_key("A", 1), pair(sym_key("k", 1), priv_key("I", 0)))));
  const std::int64_t kid = k.kid();
  const auto g = [&](GenKind kind) { return gen(VarId{"x", "B", 1}, kid, kind); };
  const Message x = var(VarId{"y", "A", 1});
  const Message na = nonce("na", 1);

  struct Case {
    Message term;
    bool trivial;
  };
  const std::vector<Case> cases = {
      {na, true},
      {bind_var(VarId{"z", "A", 1}), true},
      {g(GenKind::Gen), true},
      {pair(na, pair(agent("A", 1), g(GenKind::Name))), true},
      {enc(pair(na, na), pub_key("B", 1)), true},
      {enc(na, g(GenKind::SKey)), true},
      {enc(na, x), true},
      {enc(na, pub_of(x)), true},
      {enc(na, g(GenKind::Gen)), false},           // the key is narrowed
      {enc(na, pub_of(g(GenKind::Name))), false},  // the agent is chosen
      {pub_of(g(GenKind::Name)), false},
      {x, false},  // an unbound variable cannot be refined at all
      {pair(na, x), false},
      {enc(na, pair(na, na)), false},  // not a key refinement can read
      {no_message(), false},
  };
  for (const Case& c : cases) {
    const std::string text = message_to_string(c.term);
    EXPECT_EQ(refines_to_nothing(c.term), c.trivial) << text;
    if (c.trivial) {
      EXPECT_EQ(core.refine(c.term), std::vector<Assignment>{empty_assignment()}) << text;
    }
  }
}

}  // namespace

}  // namespace analyser
