#include "verify/verifier.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "knowledge/kmanager.h"
#include "node/node.h"
#include "verify/verifier_steps.h"
#include "verify_helpers.h"

namespace analyser {

namespace {

using verify_tests::B;
using verify_tests::E;

const Message x = var(VarId{"x", "A", 1});
const Message y = var(VarId{"y", "A", 1});
const Message n1 = nonce("n", 1);
// A generated symmetric key to be chosen among those of knowledge 1.
const Message g = gen(VarId{"g", "B", 1}, 1, GenKind::SKey);

std::shared_ptr<const ClauseLayout> laid_out(const ClauseList& clauses) {
  return std::make_shared<const ClauseLayout>(clauses);
}

// A run's knowledge: kid 0 empty, kid 1 with two symmetric keys and the nonce n_1.
class VerifierTest : public ::testing::Test {
 protected:
  VerifierTest() { core.set_initial_knowledge(k1); }

  SymbolicCore core;
  KnowledgeManager& mgr = core.knowledge_manager();
  NodeIds ids;
  Knowledge k0 = fresh_knowledge(mgr);
  Knowledge k1 = derive_knowledge(mgr, k0, empty_assignment(),
                                  pair(pair(sym_key("k", 1), sym_key("j", 1)), n1));
  // The keys in the order the intruder offers them.
  std::vector<Message> keys = known_sym_keys(k1);

  NodeRef node_with(const Assignment& a) { return create_node(ids, make_status({}, a, k1)); }
  Assignment assigned(const Message& variable, const Message& value) {
    return assignment_of_bindings({{variable, value}});
  }

  // The stack, bottom first, after one step on a single item (clauses, empty
  // assignment, one empty store).
  std::vector<WorkItem> after_one_step(const ClauseList& clauses, const NodeRef& node) {
    const TraceQueries queries{core, node->status()};
    VerifierSearch search(laid_out(clauses), queries, false);
    search.start(empty_assignment(), {ConstraintStore{}});
    EXPECT_FALSE(search.step().has_value());
    return search.items();
  }
};

void expect_item(const WorkItem& item, const ClauseList& clauses, const Assignment& a,
                 const std::vector<ConstraintStore>& stores, const std::string& what) {
  EXPECT_EQ(item.clauses, clauses) << what;
  EXPECT_EQ(item.assignment, a) << what;
  EXPECT_EQ(item.stores, stores) << what;
}

TEST_F(VerifierTest, EmptyClauseListHasNoResult) {
  const NodeRef node = node_with(empty_assignment());
  EXPECT_TRUE(verify({}, {{}}, core, node->status(), true).empty());
  EXPECT_TRUE(verify({}, {{}}, core, node->status(), false).empty());
}

TEST_F(VerifierTest, TruthValueClausesAreResultsAtOnce) {
  struct Case {
    std::string name;
    ClauseList clauses;
    bool wanted;
    bool kept;
  };
  const Formula T = formula_true(), F = formula_false();
  const std::vector<Case> cases = {
      {"[F] attack", {{F}}, true, true},
      {"[T] attack", {{T}}, true, false},
      {"[T] holds", {{T}}, false, true},
      {"[F] holds", {{F}}, false, false},
      {"[T],[F] attack", {{T}, {F}}, true, false},
      {"[T F] attack", {{T, F}}, true, true},
      {"[F],[F T] attack", {{F}, {F, T}}, true, true},
  };
  const NodeRef node = node_with(empty_assignment());
  for (const Case& c : cases) {
    const std::vector<WorkItem> results = verify(c.clauses, {{}}, core, node->status(), c.wanted);
    ASSERT_EQ(results.size(), c.kept ? 1u : 0u) << c.name;
    if (c.kept) expect_item(results[0], c.clauses, empty_assignment(), {{}}, c.name);
  }
}

TEST_F(VerifierTest, UnderivableTermBecomesFalseWithoutBranching) {
  const NodeRef node = node_with(empty_assignment());
  const std::vector<WorkItem> stack = after_one_step({{derive_formula(nonce("m", 7))}}, node);
  ASSERT_EQ(stack.size(), 1u);
  expect_item(stack[0], {{formula_false()}}, empty_assignment(), {{}}, "decided item");

  const std::vector<WorkItem> attacks =
      attack_search(LaidOutClauses({{derive_formula(nonce("m", 7))}}), {{}}, core, node->status());
  ASSERT_EQ(attacks.size(), 1u);
  expect_item(attacks[0], {{formula_false()}}, empty_assignment(), {{}}, "attack");
}

TEST_F(VerifierTest, NotEqualWithoutSolutionBecomesTrue) {
  const NodeRef node = node_with(empty_assignment());
  const ClauseList clauses = {{not_equal_formula(nonce("a", 1), nonce("b", 1))}};
  const std::vector<WorkItem> stack = after_one_step(clauses, node);
  ASSERT_EQ(stack.size(), 1u);
  EXPECT_EQ(stack[0].clauses, (ClauseList{{formula_true()}}));
  EXPECT_TRUE(attack_search(LaidOutClauses(clauses), {{}}, core, node->status()).empty());
  EXPECT_EQ(verify(clauses, {{}}, core, node->status(), false).size(), 1u);
}

TEST_F(VerifierTest, StepDecidesTheFirstUndecidedLiteral) {
  const NodeRef node = node_with(empty_assignment());
  const Formula T = formula_true(), F = formula_false();
  const Formula m7 = derive_formula(nonce("m", 7));
  const std::vector<WorkItem> stack = after_one_step({{T, F}, {F, derive_formula(g), m7}}, node);
  ASSERT_EQ(stack.size(), keys.size() + 1);
  EXPECT_EQ(stack.back().clauses, (ClauseList{{T, F}, {F, F, m7}}));
  EXPECT_EQ(stack.front().clauses, (ClauseList{{T, F}, {F, T, m7}}));
}

// A clause that holds for good ends the item before any further query, when
// only falsifying results are wanted; the same literal in two clauses is decided
// once in each.
TEST_F(VerifierTest, FalsifyingSearchDropsItemsWithAHoldingClause) {
  const NodeRef node = node_with(empty_assignment());
  const TraceQueries queries{core, node->status()};
  const Formula shared = not_equal_formula(nonce("a", 1), nonce("b", 1));  // always True
  VerifierSearch search(laid_out({{shared}, {shared, derive_formula(g)}}), queries, true);
  search.start(empty_assignment(), {ConstraintStore{}});
  EXPECT_FALSE(search.step().has_value());
  ASSERT_EQ(search.items().size(), 1u);
  EXPECT_EQ(search.items()[0].clauses, (ClauseList{{formula_true()}, {shared, derive_formula(g)}}));
  EXPECT_FALSE(search.step().has_value());
  EXPECT_TRUE(search.empty());
}

TEST_F(VerifierTest, TwoSolutionDeriveStackShape) {
  ASSERT_EQ(keys.size(), 2u);
  const NodeRef node = node_with(empty_assignment());
  const std::vector<WorkItem> stack = after_one_step({{derive_formula(g)}}, node);
  ASSERT_EQ(stack.size(), 3u);
  // Top (back): the literal False, both solutions excluded in one store.
  expect_item(stack[2], {{formula_false()}}, empty_assignment(),
              {{{g, keys[0], E}, {g, keys[1], E}}}, "no solution");
  // Then the branches, the first solution nearer the top.
  expect_item(stack[1], {{formula_true()}}, assigned(g, keys[0]), {{{g, keys[0], B}}},
              "first solution");
  expect_item(stack[0], {{formula_true()}}, assigned(g, keys[1]), {{{g, keys[1], B}}},
              "second solution");
}

TEST_F(VerifierTest, SolutionWithoutBindingsLeavesNoStores) {
  const NodeRef node = node_with(empty_assignment());
  const ClauseList clauses = {{derive_formula(n1)}};  // n_1 is known as it stands
  const std::vector<WorkItem> stack = after_one_step(clauses, node);
  ASSERT_EQ(stack.size(), 2u);
  expect_item(stack[1], {{formula_false()}}, empty_assignment(), {}, "no solution");
  expect_item(stack[0], {{formula_true()}}, empty_assignment(), {{}}, "solution");

  EXPECT_TRUE(attack_search(LaidOutClauses(clauses), {{}}, core, node->status()).empty());
  EXPECT_EQ(verify(clauses, {{}}, core, node->status(), false).size(), 1u);
}

TEST_F(VerifierTest, InconsistentItemIsDropped) {
  const NodeRef node = node_with(empty_assignment());
  const TraceQueries queries{core, node->status()};
  VerifierSearch search(laid_out({{formula_false()}}), queries, false);
  search.start(empty_assignment(), {{{x, n1, B}, {x, n1, E}}});
  EXPECT_FALSE(search.step().has_value());
  EXPECT_TRUE(search.empty());
}

TEST_F(VerifierTest, ResultsInReverseOrderOfDiscovery) {
  const NodeRef node = node_with(empty_assignment());
  // Discovered in this order: no solution applies, then the first solution, then
  // the second; every one has a False in its only clause.
  const std::vector<WorkItem> results = attack_search(
      LaidOutClauses({{not_derive_formula(g), formula_false()}}), {{}}, core, node->status());
  ASSERT_EQ(results.size(), 3u);
  const Formula T = formula_true(), F = formula_false();
  expect_item(results[0], {{F, F}}, assigned(g, keys[1]), {{{g, keys[1], B}}}, "second");
  expect_item(results[1], {{F, F}}, assigned(g, keys[0]), {{{g, keys[0], B}}}, "first");
  expect_item(results[2], {{T, F}}, empty_assignment(), {{{g, keys[0], E}, {g, keys[1], E}}},
              "no solution");
}

TEST_F(VerifierTest, NodeAssignmentAppliedToClausesAndAddedToStores) {
  const Assignment a = assigned(x, n1);
  const NodeRef node = node_with(a);
  // x = m_1 is false once x is replaced by n_1; unapplied it would unify.
  const ClauseList clauses = {{equal_formula(x, nonce("m", 1))}};
  const std::vector<WorkItem> attacks =
      attack_search(LaidOutClauses(clauses), {{}}, core, node->status());
  ASSERT_EQ(attacks.size(), 1u);
  expect_item(attacks[0], {{formula_false()}}, a, {{{x, n1, B}}}, "attack");
  EXPECT_TRUE(verify(clauses, {{}}, core, node->status(), false).empty());
}

TEST_F(VerifierTest, GeneratedValuesBranchTheStores) {
  struct Case {
    std::string name;
    Assignment assignment;
    std::vector<ConstraintStore> stores;
  };
  const Message plain = gen(VarId{"h", "B", 1}, 1, GenKind::Gen);
  const std::vector<Case> cases = {
      {"one variable",
       assigned(x, g),
       {{{x, keys[0], B}, {g, keys[0], B}, {x, g, B}},
        {{x, keys[1], B}, {g, keys[1], B}, {x, g, B}}}},
      {"unconstrained kind", assigned(x, plain), {{{x, plain, B}}}},
      // Two variables bound to the same value offer the same list once.
      {"repeated list",
       assignment_of_bindings({{x, g}, {y, g}}),
       {{{x, keys[0], B}, {y, keys[0], B}, {g, keys[0], B}, {x, g, B}, {y, g, B}},
        {{x, keys[1], B}, {y, keys[1], B}, {g, keys[1], B}, {x, g, B}, {y, g, B}}}},
      // A variable's first binding decides its value, whatever the later ones say.
      {"shadowed by a generated value",
       assignment_of_bindings({{x, n1}, {x, g}}),
       {{{x, n1, B}, {x, g, B}}}},
      {"shadowing a generated value",
       assignment_of_bindings({{x, g}, {x, n1}}),
       {{{x, keys[0], B}, {g, keys[0], B}, {x, g, B}, {x, n1, B}},
        {{x, keys[1], B}, {g, keys[1], B}, {x, g, B}, {x, n1, B}}}},
  };
  for (const Case& c : cases) {
    const std::vector<WorkItem> attacks = attack_search(LaidOutClauses({{formula_false()}}), {{}},
                                                        core, node_with(c.assignment)->status());
    ASSERT_EQ(attacks.size(), 1u) << c.name;
    EXPECT_EQ(attacks[0].stores, c.stores) << c.name;
  }
}

TEST_F(VerifierTest, SolveJoinOnASessionNode) {
  const NodeRef root = create_node(ids, make_status({}, empty_assignment(), k0));
  const NodeRef session = node_with(empty_assignment());
  set_parent(session, root);
  // The negated join formula x <> n_1: satisfied by binding x to n_1.
  const auto solutions = solve_join({{not_equal_formula(x, n1)}}, core, session->status());
  ASSERT_EQ(solutions.size(), 1u);
  EXPECT_EQ(solutions[0].assignment, assigned(x, n1));
  EXPECT_EQ(*solutions[0].stores, (std::vector<ConstraintStore>{{{x, n1, B}}}));
}

TEST_F(VerifierTest, SolveJoinGivesOnePairPerStore) {
  const NodeRef node = node_with(assigned(x, g));
  const auto solutions = solve_join({{formula_false()}}, core, node->status());
  ASSERT_EQ(solutions.size(), 2u);
  const std::vector<ConstraintStore> stores = {{{x, keys[0], B}, {g, keys[0], B}, {x, g, B}},
                                               {{x, keys[1], B}, {g, keys[1], B}, {x, g, B}}};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(solutions[i].assignment,
              assignment_of_bindings({{x, keys[i]}, {g, keys[i]}, {x, g}}));
    EXPECT_EQ(*solutions[i].stores, stores);
  }
}

}  // namespace

}  // namespace analyser
