#include "step/step.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "parser/parser.h"
#include "parser/tokenizer.h"
#include "step_helpers.h"

namespace analyser {

namespace {

using step_tests::parsed;

// A principal instance built from a template process written with parsed names.
Principal instance(const std::string& name, std::int64_t n, const Process& process) {
  return make_principal(name, n, {}, process);
}

Process out_nonce(const std::string& n, const Process& next = nil_process()) {
  return output(nonce(n, 0), next);
}

Process in_any(const std::string& x, const Process& next = nil_process()) {
  return input(bind_var(parsed(x)), next);
}

using step_tests::identities;

class StepTest : public ::testing::Test {
 protected:
  // The intruder knows the messages of m (pairs split) under kid 1.
  Knowledge knowing(const Message& m) {
    return derive_knowledge(mgr, fresh_knowledge(mgr), empty_assignment(), m);
  }

  NodeRef node_with(Context c, const Assignment& a = empty_assignment()) {
    return create_node(ids, Status{std::move(c), a, knowing(agent("I", 0))});
  }

  NodeRef node_with(Context c, const Knowledge& k) {
    return create_node(ids, Status{std::move(c), empty_assignment(), k});
  }

  // The next child of node, going on from the previous call on it.
  NodeRef step(const NodeRef& node) { return analyser::step(core, ids, node, cursors[node->id()]); }
  std::map<std::int64_t, StepCursor> cursors;  // by node id

  // The labels of every child of node, in order.
  std::vector<std::string> child_labels(const NodeRef& node) {
    std::vector<std::string> labels;
    while (NodeRef child = step(node)) labels.push_back(action_to_string(child->action()));
    return labels;
  }

  SymbolicCore core;
  KnowledgeManager& mgr = core.knowledge_manager();
  NodeIds ids;
};

TEST_F(StepTest, OnlyTheFirstPrincipalThatCanOutputIsExpanded) {
  NodeRef node = node_with({instance("A", 1, out_nonce("na")), instance("B", 2, out_nonce("nb"))});
  EXPECT_EQ(child_labels(node), std::vector<std::string>{"A_1: O(na_1)"});
  EXPECT_EQ(node->children(), 1);
  EXPECT_EQ(cursors[node->id()].phase_index(), -1);
  EXPECT_EQ(step(node), nullptr);
}

TEST_F(StepTest, OutputsComeBeforeEarlierPrincipalsInputs) {
  NodeRef node = node_with({instance("A", 1, in_any("x")), instance("B", 2, out_nonce("nb")),
                            instance("C", 3, out_nonce("nc"))});
  NodeRef child = step(node);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(action_to_string(child->action()), "B_2: O(nb_2)");
  EXPECT_EQ(identities(child->status().context), (std::vector<std::string>{"B_2", "A_1", "C_3"}));
  EXPECT_EQ(step(node), nullptr);
}

// Without outputs, the inputs of every principal in context order; the stepped
// principal moves to the front, the ones before it follow in reverse order.
TEST_F(StepTest, InputsOfEveryPrincipalAndContextReordering) {
  NodeRef node = node_with({instance("A", 1, in_any("x")), instance("B", 2, in_any("y")),
                            instance("C", 3, in_any("z"))});
  struct Expected {
    const char* label;
    std::vector<std::string> context;
  };
  const std::vector<Expected> children = {
      {"A_1: I(x_A_1(KG:1))", {"A_1", "B_2", "C_3"}},
      {"B_2: I(y_B_2(KG:1))", {"B_2", "A_1", "C_3"}},
      {"C_3: I(z_C_3(KG:1))", {"C_3", "B_2", "A_1"}},
  };
  for (const Expected& e : children) {
    NodeRef child = step(node);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(action_to_string(child->action()), e.label);
    EXPECT_EQ(identities(child->status().context), e.context);
    EXPECT_TRUE(child->status().context[0].process().is_nil());
  }
  EXPECT_EQ(step(node), nullptr);
  EXPECT_EQ(node->children(), 3);
}

TEST_F(StepTest, BlockedOutputLeavesTheInputsToBeExplored) {
  // y is never bound: the output cannot be built.
  NodeRef node = node_with(
      {instance("A", 1, output(var(parsed("y")), nil_process())), instance("B", 2, in_any("z"))});
  EXPECT_EQ(child_labels(node), std::vector<std::string>{"B_2: I(z_B_2(KG:1))"});
}

TEST_F(StepTest, NodeWithoutPossibleActionIsALeaf) {
  NodeRef empty = node_with({});
  EXPECT_EQ(step(empty), nullptr);
  NodeRef finished = node_with({instance("A", 1, nil_process())});
  EXPECT_EQ(step(finished), nullptr);
  EXPECT_EQ(step(finished), nullptr);
}

TEST_F(StepTest, OutputIsLearntUnderANewKid) {
  NodeRef node = node_with({instance("A", 1, out_nonce("na"))});
  NodeRef child = step(node);
  ASSERT_NE(child, nullptr);
  const Knowledge& before = node->status().knowledge;
  const Knowledge& after = child->status().knowledge;
  EXPECT_EQ(after.messages(), (std::vector<Message>{nonce("na", 1), agent("I", 0)}));
  EXPECT_GT(after.kid(), before.kid());
  EXPECT_EQ(before.messages(), std::vector<Message>{agent("I", 0)});
}

TEST_F(StepTest, InputLeavesTheKnowledgeAsItIs) {
  NodeRef node = node_with({instance("A", 1, in_any("x"))});
  NodeRef child = step(node);
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(child->status().knowledge.same(node->status().knowledge));
  const VarId x{"x", "A", 1};
  EXPECT_EQ(child->status().assignment,
            extend(empty_assignment(), var(x), gen(x, 1, GenKind::Gen)));
}

TEST_F(StepTest, NodeAssignmentIsAppliedAndComposedInTheChild) {
  const VarId x{"x", "A", 1};
  const Assignment a = extend(empty_assignment(), var(x), nonce("m", 5));
  NodeRef node = node_with(
      {instance("A", 1, output(var(parsed("x")), in_any("y"))), instance("B", 2, nil_process())},
      a);
  NodeRef child = step(node);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(action_to_string(child->action()), "A_1: O(m_5)");
  EXPECT_EQ(child->status().assignment, a);
  // The principal was found in the context as it stood: no duplicate left behind.
  EXPECT_EQ(identities(child->status().context), (std::vector<std::string>{"A_1", "B_2"}));
  EXPECT_EQ(child->status().knowledge.messages().front(), nonce("m", 5));

  NodeRef grandchild = step(child);
  ASSERT_NE(grandchild, nullptr);
  const VarId y{"y", "A", 1};
  const Knowledge& k = child->status().knowledge;
  EXPECT_EQ(grandchild->status().assignment,
            compose(a, extend(empty_assignment(), var(y), gen(y, k.kid(), GenKind::Gen))));
}

// Parallel and choice.

std::vector<std::string> remaining_processes(const std::vector<StepCandidate>& candidates) {
  std::vector<std::string> result;
  for (const StepCandidate& c : candidates) result.push_back(process_to_string(c.after.process()));
  return result;
}

TEST_F(StepTest, ParallelRebuildPutsTheSteppedSideFirst) {
  struct Case {
    Process process;
    std::vector<std::string> remaining;
  };
  const std::vector<Case> cases = {
      {parallel(out_nonce("na", out_nonce("nc")), out_nonce("nb")),
       {"(Out(nc_1) | Out(nb_1))", "Out(na_1).Out(nc_1)"}},
      {parallel(out_nonce("na"), out_nonce("nb", out_nonce("nc"))),
       {"Out(nb_1).Out(nc_1)", "(Out(nc_1) | Out(na_1))"}},
      {choice(out_nonce("na", out_nonce("nc")), out_nonce("nb")), {"Out(nc_1)", ""}},
      {parallel(choice(out_nonce("na"), out_nonce("nb")), in_any("x")), {"In(x_A_1)", "In(x_A_1)"}},
      {parallel(parallel(out_nonce("na"), out_nonce("nb")), out_nonce("nc")),
       {"(Out(nb_1) | Out(nc_1))", "(Out(na_1) | Out(nc_1))", "(Out(na_1) | Out(nb_1))"}},
  };
  for (const Case& c : cases) {
    const NodeRef node = node_with({instance("A", 1, c.process)});
    const Status& s = node->status();
    const std::vector<StepCandidate> candidates =
        output_candidates(core, s.knowledge, s.assignment, s.context, 1);
    EXPECT_EQ(remaining_processes(candidates), c.remaining) << process_to_string(c.process);
    for (const StepCandidate& candidate : candidates) {
      EXPECT_TRUE(candidate.before.same(s.context[0]));
    }
  }
}

// A choice between an input and an output is not urgent: it waits for the input
// phase, which then offers every prefix below it, of both kinds, left to right.
// Outputs outside a mixed choice keep their priority.
TEST_F(StepTest, MixedChoiceOffersBothKindsOnlyInTheInputPhase) {
  struct Case {
    Context context;
    std::vector<std::string> children;
  };
  const std::vector<Case> cases = {
      {{instance("A", 1, choice(in_any("x", out_nonce("na")), out_nonce("nb", in_any("z"))))},
       {"A_1: I(x_A_1(KG:1))", "A_1: O(nb_1)"}},
      {{instance("A", 1, choice(out_nonce("na"), choice(out_nonce("nb"), in_any("x"))))},
       {"A_1: O(na_1)", "A_1: O(nb_1)", "A_1: I(x_A_1(KG:1))"}},
      // B's urgent output is taken before A's mixed choice is looked at.
      {{instance("A", 1, choice(in_any("x"), out_nonce("na"))), instance("B", 2, out_nonce("nb"))},
       {"B_2: O(nb_2)"}},
      // Choices of one kind keep today's rule.
      {{instance("A", 1, choice(out_nonce("na"), out_nonce("nb"))), instance("B", 2, in_any("y"))},
       {"A_1: O(na_1)", "A_1: O(nb_1)"}},
      {{instance("A", 1, parallel(choice(in_any("x"), out_nonce("na")), in_any("y")))},
       {"A_1: I(x_A_1(KG:1))", "A_1: O(na_1)", "A_1: I(y_A_1(KG:1))"}},
  };
  for (const Case& c : cases) {
    const NodeRef node = node_with(c.context, knowing(agent("I", 0)));
    std::vector<std::string> labels = child_labels(node);
    // Only the order and kinds matter here, not which kid the knowledge got.
    for (std::string& label : labels)
      label = std::regex_replace(label, std::regex("KG:\\d+"), "KG:1");
    EXPECT_EQ(labels, c.children) << process_to_string(c.context[0].process());
  }
  // The output taken in the input phase is still an output: the intruder learns it.
  const NodeRef node =
      node_with({instance("A", 1, choice(in_any("x"), out_nonce("na")))}, knowing(agent("I", 0)));
  step(node);
  const NodeRef output_child = step(node);
  ASSERT_NE(output_child, nullptr);
  EXPECT_EQ(output_child->status().knowledge.messages().front(), nonce("na", 1));
}

// Duplicates and replayed ciphertexts.

class ReceiveUnderPublicKeyTest : public StepTest {
 protected:
  // The intruder holds n_1, B's public key and {n_1}B_1+ (which it cannot open).
  Knowledge ciphertext_known() {
    return knowing(pair(nonce("n", 1), pair(pub_key("B", 1), enc(nonce("n", 1), pub_key("B", 1)))));
  }
};

TEST_F(ReceiveUnderPublicKeyTest, BuiltMessageFirstThenReplayedCiphertext) {
  const Process p = input(enc(bind_var(parsed("x")), priv_key("B", 0)), nil_process());
  NodeRef node = node_with({instance("B", 1, p)}, ciphertext_known());
  EXPECT_EQ(child_labels(node),
            (std::vector<std::string>{"B_1: I({x_B_1(KG:1)}B_1+)", "B_1: I({n_1}B_1+)"}));
}

TEST_F(ReceiveUnderPublicKeyTest, CandidatesCarryingTheSameMessageAppearOnce) {
  // Built from n_1 and B_1+, or replayed: the same message, one child.
  const Process p = input(enc(nonce("n", 0), priv_key("B", 0)), nil_process());
  NodeRef node = node_with({instance("B", 1, p)}, ciphertext_known());
  EXPECT_EQ(child_labels(node), std::vector<std::string>{"B_1: I({n_1}B_1+)"});
}

// Driving the search to exhaustion.

// The actions of the subtree below node in depth-first order, each indented by
// its depth. Each child starts from cursor.below() with `families`, the way the
// search goes, and from a fresh cursor without.
std::vector<std::string> explore(SymbolicCore& core, NodeIds& ids, const NodeRef& node,
                                 int depth = 0, StepCursor cursor = {}, bool families = true) {
  std::vector<std::string> lines;
  while (NodeRef child = step(core, ids, node, cursor)) {
    lines.push_back(std::string(static_cast<std::size_t>(depth), ' ') +
                    action_to_string(child->action()));
    const StepCursor below = families ? cursor.below() : StepCursor();
    for (std::string& line : explore(core, ids, child, depth + 1, below, families)) {
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

TEST_F(StepTest, SmallProtocolExploredToExhaustion) {
  tokenizer::Lexer lexer(
      "A : ( ) [ out ( na ) . in ( ?x ) ] ;\nB : ( ) [ in ( ?y ) . out ( y ) ] ;\n");
  const std::vector<Principal> roles = parser::parse_principals(lexer).principals;
  ASSERT_EQ(roles.size(), 2u);
  const Principal& a = roles[0];
  const Principal& b = roles[1];

  NodeRef root = create_node(ids, Status{{make_principal("A", 1, a.params(), a.process()),
                                          make_principal("B", 2, b.params(), b.process())},
                                         empty_assignment(),
                                         knowing(agent("I", 0))});
  // Kids: 1 at the start, 2 after A's output, 3 and 4 after B's output on
  // either branch.
  EXPECT_EQ(explore(core, ids, root), (std::vector<std::string>{
                                          "A_1: O(na_1)",
                                          " A_1: I(x_A_1(KG:2))",
                                          "  B_2: I(y_B_2(KG:2))",
                                          "   B_2: O(y_B_2(KG:2))",
                                          " B_2: I(y_B_2(KG:2))",
                                          "  B_2: O(y_B_2(KG:2))",
                                          "   A_1: I(x_A_1(KG:4))",
                                      }));
}

Principal unnumbered(const std::string& name, std::int64_t instance, const Process& process) {
  return Principal(Principal::Data{name, instance, {}, process});
}

// Receiving a nonce the intruder knows binds nothing: the child receives as its
// parent does and reuses the input candidates computed there. The tree is the
// one that computing them again at every state gives.
TEST_F(StepTest, StatesThatReceiveAlikeShareTheirInputsWithoutChangingTheTree) {
  const Message n = nonce("n", 0);
  const Knowledge k = knowing(pair(agent("I", 0), n));
  const Context roles{
      unnumbered("B", 1, input(n, out_nonce("m", in_any("y")))),
      unnumbered("C", 2, input(n, in_any("z", input(n, nil_process())))),
  };
  const std::int64_t last_kid = mgr.last_kid();
  NodeIds fresh_ids;
  const std::vector<std::string> fresh = explore(
      core, fresh_ids, create_node(fresh_ids, Status{roles, empty_assignment(), k}), 0, {}, false);
  mgr.set_last_kid(last_kid);
  const std::vector<std::string> shared =
      explore(core, ids, create_node(ids, Status{roles, empty_assignment(), k}));
  EXPECT_EQ(shared, fresh);
  EXPECT_EQ(ids.last(), fresh_ids.last());
  EXPECT_GT(shared.size(), 20u);
}

CandidateBatch batch_of(std::vector<StepCandidate> candidates) {
  return make_handle<const CountedValue<std::vector<StepCandidate>>>(std::move(candidates));
}

StepCandidate candidate_labelled(const std::string& name) {
  return StepCandidate{Principal(), out_action(name, 1, nonce("n", 1), empty_assignment()),
                       Principal(), std::nullopt};
}

TEST(StepCursorTest, NextPendingGivesCandidatesInOrderThenRefill) {
  StepCursor cursor;
  const StepCandidate* c = nullptr;
  EXPECT_EQ(cursor.next_pending(&c), StepCursor::Pending::Refill);
  cursor.set_pending(batch_of({candidate_labelled("A"), candidate_labelled("B")}));
  ASSERT_EQ(cursor.next_pending(&c), StepCursor::Pending::Candidate);
  EXPECT_EQ(c->action.name, "A");
  ASSERT_EQ(cursor.next_pending(&c), StepCursor::Pending::Candidate);
  EXPECT_EQ(c->action.name, "B");
  EXPECT_EQ(cursor.next_pending(&c), StepCursor::Pending::Refill);
  EXPECT_EQ(cursor.next_pending(&c), StepCursor::Pending::Refill);
}

TEST(StepCursorTest, NextPendingEndsOnceOutputsWereFound) {
  StepCursor cursor;
  const StepCandidate* c = nullptr;
  cursor.mark_outputs_found();
  cursor.set_pending(batch_of({candidate_labelled("A")}));
  EXPECT_EQ(cursor.next_pending(&c), StepCursor::Pending::Candidate);
  EXPECT_EQ(cursor.next_pending(&c), StepCursor::Pending::End);
  EXPECT_EQ(cursor.next_pending(&c), StepCursor::Pending::End);
}

}  // namespace

}  // namespace analyser
