#include "verify/property_screen.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "knowledge/kmanager.h"
#include "principal/principal.h"
#include "principal/process.h"
#include "verify/verifier.h"

namespace analyser::screen_tests {

namespace {

const Message I0 = agent("I", 0);
const Message A3 = agent("A", 3);
const Message A4 = agent("A", 4);
const Message nb1 = nonce("nb", 1);
const Message nb2 = nonce("nb", 2);
const Message k = sym_key("k", 0);
const Message j = sym_key("j", 0);
const Message x = var(VarId{"x", "A", 3});
const Message a1 = var(VarId{"a", "B", 1});
const Message a2 = var(VarId{"a", "B", 2});

// Secrecy of B's nonce whenever B believes it talks to an honest A:
// forall B.j: forall A.i: (a_j = A_i implies not :> nb_j).
Formula secrecy() {
  const Formula partner = equal_formula(var(VarId{"a", "j", 0}), agent("Ai", 0));
  const Formula leaked = derive_formula(nonce("_j_nb", 0));
  return forall_formula(
      "j", "B", forall_formula("i", "A", or_formula(not_formula(partner), not_formula(leaked))));
}

// Two responders B_1, B_2 and two initiators A_3, A_4: four (B, A) pairs, a
// clause list of sixteen clauses.
Context session() {
  Context c;
  for (const auto& [name, instance] :
       std::vector<std::pair<std::string, std::int64_t>>{{"B", 1}, {"B", 2}, {"A", 3}, {"A", 4}}) {
    c.push_back(make_principal(name, instance, {}, nil_process()));
  }
  return c;
}

void expect_same_results(const std::vector<WorkItem>& found, const std::vector<WorkItem>& expected,
                         const std::string& what) {
  ASSERT_EQ(found.size(), expected.size()) << what;
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].clauses, expected[i].clauses) << what << ", result " << i;
    EXPECT_EQ(found[i].assignment, expected[i].assignment) << what << ", result " << i;
    EXPECT_EQ(found[i].stores, expected[i].stores) << what << ", result " << i;
  }
}

// The intruder I_0 with both halves of its key pair, the agents A_3 and A_4
// (whose private keys it lacks) and two symmetric keys.
class PropertyScreenTest : public ::testing::Test {
 protected:
  PropertyScreenTest() { core.set_initial_knowledge(k1); }

  Knowledge knowing(const Message& m) { return derive_knowledge(mgr, k1, empty_assignment(), m); }

  // What the screen says of property on a run that ends in status; the attack
  // search must find exactly what it finds on the bare clause list.
  struct Outcome {
    bool surely_holds;
    bool attack;
  };
  Outcome screened(const Formula& property, const Context& c, const Status& status,
                   const std::string& what) {
    const LaidOutClauses with_screen = laid_out_property(property, c);
    const LaidOutClauses bare(clause_form(expand_for(property, c)));
    EXPECT_EQ(with_screen.clauses(), bare.clauses()) << what;
    const std::vector<WorkItem> expected = attack_search(bare, {{}}, core, status);
    expect_same_results(attack_search(with_screen, {{}}, core, status), expected, what);
    return {with_screen.screen().surely_holds(core, status), !expected.empty()};
  }

  SymbolicCore core;
  KnowledgeManager& mgr = core.knowledge_manager();
  Knowledge k0 = fresh_knowledge(mgr);
  Knowledge k1 = derive_knowledge(
      mgr, k0, empty_assignment(),
      pair(pair(I0, pair(agent_pub_key(I0), agent_priv_key(I0))), pair(pair(A3, A4), pair(k, j))));
  // A name the intruder chose: any agent, or one it controls.
  Message any_name = gen(VarId{"a", "B", 1}, k1.kid(), GenKind::Name);
  Message compromised_name = gen(VarId{"a", "B", 1}, k1.kid(), GenKind::RName);
};

TEST_F(PropertyScreenTest, DecidesTheSecrecyPropertyExactlyAsTheAttackSearch) {
  struct Case {
    std::string name;
    std::vector<Binding> partners;  // of a_B_1, a_B_2
    Message leaked;                 // what the intruder learnt beside k1
    bool surely_holds;
    bool attack;
  };
  const Message nothing = pair(A3, A4);  // known already
  const std::vector<Case> cases = {
      {"honest partners, secrets kept", {{a1, A3}, {a2, A4}}, nothing, true, false},
      {"honest partner's nonce leaked", {{a1, A3}, {a2, A4}}, nb1, false, true},
      {"the intruder's own nonce leaked", {{a1, I0}, {a2, A4}}, nb1, true, false},
      {"both nonces leaked, one to the intruder",
       {{a1, I0}, {a2, A3}},
       pair(nb1, nb2),
       false,
       true},
      {"a compromised name's nonce leaked", {{a1, compromised_name}, {a2, A4}}, nb1, true, false},
      // Whether a name the intruder chose is an honest one is a binding: the screen
      // leaves it to the search.
      {"an open name's nonce leaked", {{a1, any_name}, {a2, A4}}, nb1, false, true},
      {"an open name, secrets kept", {{a1, any_name}, {a2, A4}}, nothing, false, false},
      {"an unbound partner", {{a2, A4}}, nothing, false, false},
  };
  const Context c = session();
  for (const Case& t : cases) {
    const Status status = make_status(c, assignment_of_bindings(t.partners), knowing(t.leaked));
    const Outcome o = screened(secrecy(), c, status, t.name);
    EXPECT_EQ(o.surely_holds, t.surely_holds) << t.name;
    EXPECT_EQ(o.attack, t.attack) << t.name;
  }
}

TEST_F(PropertyScreenTest, LeavesLiteralsWhoseSolutionsBindToTheSearch) {
  struct Case {
    std::string name;
    Formula property;
    bool surely_holds;
    bool attack;
  };
  const Formula T = formula_true(), F = formula_false();
  const Formula kept = not_derive_formula(nb1);  // fixed: True
  const Formula known = derive_formula(I0);      // fixed: True, a solution binding nothing
  const Formula apart = equal_formula(A3, A4);   // fixed: False
  const Formula x_is_k = equal_formula(x, k);    // x = k binds x
  const Formula x_is_j = equal_formula(x, j);
  const std::vector<Case> cases = {
      {"true", T, true, false},
      {"false", F, false, true},
      {"fixed true literal", kept, true, false},
      {"fixed false literal", apart, false, true},
      {"conjunction of fixed literals", and_formula(kept, known), true, false},
      {"one false conjunct", and_formula(kept, and_formula(known, apart)), false, true},
      {"disjunction with a true side", or_formula(apart, known), true, false},
      {"nested", and_formula(or_formula(apart, kept), or_formula(F, and_formula(known, T))), true,
       false},
      // Read naively (a literal with solutions holds) this would hold; the search
      // finds x bound to neither key.
      {"x = k or x = j", or_formula(x_is_k, x_is_j), false, true},
      // A binding literal anywhere may rewrite the others: no screening.
      {"a tautology with a binding literal", or_formula(kept, x_is_k), false, false},
      {"x = k or not x = k", or_formula(x_is_k, not_formula(x_is_k)), false, false},
  };
  const Status status = make_status({}, empty_assignment(), k1);
  for (const Case& t : cases) {
    const Outcome o = screened(t.property, {}, status, t.name);
    EXPECT_EQ(o.surely_holds, t.surely_holds) << t.name;
    EXPECT_EQ(o.attack, t.attack) << t.name;
  }
}

// And and Or trees over fixed and binding literals, on runs that bind x or not:
// the attack search finds the same with the screen as without.
TEST_F(PropertyScreenTest, RandomFormulasAgreeWithTheAttackSearch) {
  const std::vector<Formula> literals = {
      not_derive_formula(nb1), derive_formula(nb1),   not_equal_formula(A3, A4),
      equal_formula(A3, A3),   equal_formula(x, nb1), not_equal_formula(x, nb2),
      derive_formula(x),       formula_false(),       formula_true(),
  };
  const std::vector<Status> runs = {
      make_status({}, empty_assignment(), k1),
      make_status({}, empty_assignment(), knowing(nb1)),
      make_status({}, assignment_of_bindings({{x, nb1}}), k1),
      make_status({}, assignment_of_bindings({{x, nb2}}), knowing(nb1)),
  };
  std::mt19937 random(20261209);
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const auto tree = [&](const auto& self, int depth) -> Formula {
    if (depth == 0 || pick(3) == 0) return literals[pick(literals.size())];
    const Formula left = self(self, depth - 1);
    const Formula right = self(self, depth - 1);
    return pick(2) == 0 ? and_formula(left, right) : or_formula(left, right);
  };
  int screened_out = 0;
  int attacks = 0;
  for (int n = 0; n < 300; ++n) {
    const Formula property = tree(tree, 4);
    for (std::size_t r = 0; r < runs.size(); ++r) {
      const Outcome o = screened(property, {}, runs[r],
                                 "formula " + std::to_string(n) + ", run " + std::to_string(r));
      screened_out += o.surely_holds ? 1 : 0;
      attacks += o.attack ? 1 : 0;
    }
  }
  // Both verdicts occur, and the screen decides many of the runs that hold.
  EXPECT_GT(screened_out, 100);
  EXPECT_GT(attacks, 100);
}

}  // namespace

}  // namespace analyser::screen_tests
