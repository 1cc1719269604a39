#include "search/symmetry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "knowledge/kmanager.h"
#include "step/core.h"

namespace analyser {

namespace {

Principal role_instance(const std::string& name, std::int64_t instance, const Process& process) {
  return Principal(Principal::Data{name, instance, {}, process});
}

// A responder B_i: receives a nonce under its own key and sends its own nonce
// back to the intruder.
Principal responder(std::int64_t i) {
  const VarId y{"y", "B", i};
  return role_instance("B", i,
                       input(enc(bind_var(y), agent_pub_key(agent("B", i))),
                             output(pair(var(y), nonce("nb", i)), nil_process())));
}

// One row per condition under which two principals of a session count as
// interchangeable at its initial node: each row breaks one of them, or none.
TEST(InterchangeableInstances, OneRowPerConditionOfTheSwap) {
  const Principal initiator = role_instance("A", 3, output(agent("B", 1), nil_process()));
  const Principal bystander = role_instance("A", 3, output(agent("I", 0), nil_process()));
  const Clause secrecy_of_both = {not_derive_formula(nonce("nb", 1)),
                                  not_derive_formula(nonce("nb", 2))};
  const VarId x{"x", "A", 3};
  const struct {
    const char* what;
    std::vector<Principal> others;  // beside B_1 and B_2
    std::vector<Message> known;     // the intruder's knowledge, with I_0
    std::vector<Constraint> store;  // the join's
    ClauseList formula;
    bool alike;
  } cases[] = {
      {"nothing tells them apart", {bystander}, {}, {}, {}, true},
      {"another principal's process names one", {initiator}, {}, {}, {}, false},
      {"the intruder knows a value of one", {bystander}, {nonce("nb", 1)}, {}, {}, false},
      {"the intruder knows a value of each",
       {bystander},
       {nonce("nb", 1), nonce("nb", 2)},
       {},
       {},
       true},
      {"the join ties one", {bystander}, {}, {Constraint{var(x), agent("B", 1)}}, {}, false},
      {"the formula speaks of one",
       {bystander},
       {},
       {},
       {{not_derive_formula(nonce("nb", 1))}},
       false},
      {"the formula speaks of both alike", {bystander}, {}, {}, {secrecy_of_both}, true},
  };
  for (const auto& c : cases) {
    SymbolicCore core;
    KnowledgeManager& mgr = core.knowledge_manager();
    Message known = agent("I", 0);
    for (const Message& m : c.known) known = pair(known, m);
    const Knowledge k = derive_knowledge(mgr, fresh_knowledge(mgr), empty_assignment(), known);
    Context context{responder(1), responder(2)};
    for (const Principal& p : c.others) context.push_back(p);
    NodeIds ids;
    const InitialNode start{create_node(ids, make_status(context, empty_assignment(), k)),
                            std::make_shared<const std::vector<ConstraintStore>>(
                                std::vector<ConstraintStore>{ConstraintStore(c.store)})};
    const InterchangeableInstances reduction(start, c.formula);
    const InterchangeableInstances::AlikePairs expected =
        c.alike ? InterchangeableInstances::AlikePairs{{1, 2}}
                : InterchangeableInstances::AlikePairs{};
    EXPECT_EQ(reduction.alike(), expected) << c.what;
  }
}

// Two responders of a different role, or whose processes differ but for the
// swap, are never alike.
TEST(InterchangeableInstances, OnlyPrincipalsOfOneRoleWithSwappedProcessesAreAlike) {
  const Principal other_role =
      role_instance("C", 2,
                    input(enc(bind_var(VarId{"y", "C", 2}), agent_pub_key(agent("C", 2))),
                          output(pair(var(VarId{"y", "C", 2}), nonce("nb", 2)), nil_process())));
  const Principal other_process = role_instance("B", 2, output(nonce("nb", 2), nil_process()));
  for (const Principal& second : {other_role, other_process}) {
    SymbolicCore core;
    KnowledgeManager& mgr = core.knowledge_manager();
    const Knowledge k =
        derive_knowledge(mgr, fresh_knowledge(mgr), empty_assignment(), agent("I", 0));
    NodeIds ids;
    const InitialNode start{
        create_node(ids, make_status(Context{responder(1), second}, empty_assignment(), k)),
        nullptr};
    EXPECT_TRUE(InterchangeableInstances(start, ClauseList{}).alike().empty()) << second.name();
  }
}

}  // namespace

}  // namespace analyser
