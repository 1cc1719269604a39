#include "verify/constraints.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "utils/utils.h"
#include "verify_helpers.h"

namespace analyser {

namespace {

using verify_tests::B;
using verify_tests::E;

Message v(const std::string& name, std::int64_t instance = 1, const std::string& owner = "A") {
  return var(VarId{name, owner, instance});
}

Constraint binds(const Message& x, const Message& t) {
  return {x, t, B};
}
Constraint excludes(const Message& x, const Message& t) {
  return {x, t, E};
}

// The store built by adding the constraints one after the other to an empty one.
ConstraintStore built(const std::vector<Constraint>& additions) {
  ConstraintStore store;
  for (const Constraint& c : additions) store = add_constraint(store, c);
  return store;
}

std::string model_text(const std::vector<ConstraintStore>& stores) {
  std::ostringstream text;
  print_model(text, stores);
  return text.str();
}

TEST(ComposeConstraints, KindsOfTheChainedConstraint) {
  struct Case {
    ConstraintKind first, second, composed;
  };
  const std::vector<Case> cases = {{B, B, B}, {B, E, E}, {E, B, E}};
  for (const Case& c : cases) {
    const Constraint composed =
        compose_constraints({v("x"), v("y"), c.first}, {v("y"), nonce("n", 1), c.second});
    EXPECT_EQ(composed, (Constraint{v("x"), nonce("n", 1), c.composed}));
  }
}

TEST(ComposeConstraints, TwoExclusionsDoNotChain) {
  // x differs from y and y from n_1: nothing follows about x and n_1.
  const Constraint c1 = excludes(v("x"), v("y"));
  EXPECT_EQ(compose_constraints(c1, excludes(v("y"), nonce("n", 1))), c1);
}

TEST(ComposeConstraints, UnrelatedConstraintsLeaveTheFirst) {
  const Constraint c1 = excludes(v("x"), v("y"));
  EXPECT_EQ(compose_constraints(c1, binds(v("z"), nonce("n", 1))), c1);
  // The second's term meeting the first's variable is not a chain.
  EXPECT_EQ(compose_constraints(c1, binds(v("z"), v("x"))), c1);
}

TEST(Chain, IncomingBeforeOutgoingEachInStoreOrder) {
  // Newest first: q->x, x->n1, p\>x, x->n2, w->y.
  const ConstraintStore store = {binds(v("q"), v("x")), binds(v("x"), nonce("n", 1)),
                                 excludes(v("p"), v("x")), binds(v("x"), nonce("n", 2)),
                                 binds(v("w"), v("y"))};
  EXPECT_EQ(chain(store, binds(v("y"), v("x"))),
            (std::vector<Constraint>{binds(v("w"), v("x")), binds(v("y"), nonce("n", 1)),
                                     binds(v("y"), nonce("n", 2))}));
  EXPECT_EQ(chain(store, binds(v("x"), v("z"))),
            (std::vector<Constraint>{binds(v("q"), v("z")), excludes(v("p"), v("z"))}));
  // p \> x and x \> z derive nothing.
  EXPECT_EQ(chain(store, excludes(v("x"), v("z"))),
            (std::vector<Constraint>{excludes(v("q"), v("z"))}));
}

TEST(AddConstraint, TableOfResultingStores) {
  struct Case {
    std::string name;
    std::vector<Constraint> additions;
    ConstraintStore expected;  // newest first
  };
  const Message x = v("x"), y = v("y"), z = v("z"), a = v("a"), b = v("b"), p = v("p"), q = v("q");
  const std::vector<Case> cases = {
      {"single", {binds(x, y)}, {binds(x, y)}},
      {"binding chain", {binds(x, y), binds(y, z)}, {binds(x, z), binds(y, z), binds(x, y)}},
      {"two exclusions derive nothing",
       {excludes(x, y), excludes(y, z)},
       {excludes(y, z), excludes(x, y)}},
      {"exclusion then binding",
       {excludes(x, y), binds(y, z)},
       {excludes(x, z), binds(y, z), excludes(x, y)}},
      {"binding then exclusion",
       {binds(x, y), excludes(y, z)},
       {excludes(x, z), excludes(y, z), binds(x, y)}},
      {"chain on both sides", {binds(x, y), binds(z, x)}, {binds(z, y), binds(z, x), binds(x, y)}},
      {"duplicate ignored", {binds(x, y), binds(x, y)}, {binds(x, y)}},
      {"derived one already present",
       {binds(x, y), binds(y, z), binds(x, z)},
       {binds(x, z), binds(y, z), binds(x, y)}},
      {"other kind is no duplicate", {binds(x, y), excludes(x, y)}, {excludes(x, y), binds(x, y)}},
      // Adding a->b to [b->q, p->a] derives [p->b, a->q]; a->q goes in first and
      // its own derivation p->q follows it before p->b.
      {"derived constraints depth first, last first",
       {binds(p, a), binds(b, q), binds(a, b)},
       {binds(p, b), binds(p, q), binds(a, q), binds(a, b), binds(b, q), binds(p, a)}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(built(c.additions), c.expected) << c.name;
  }
}

TEST(AddConstraint, CyclicBindingsTerminate) {
  const Message x = v("x"), y = v("y");
  const ConstraintStore store = built({binds(x, y), binds(y, x)});
  EXPECT_EQ(store, (ConstraintStore{binds(x, x), binds(y, y), binds(y, x), binds(x, y)}));
}

TEST(ConstraintStore, GrowingLeavesTheOriginalAsItWasAndFreesLongChains) {
  const Message x = v("x"), a = nonce("a", 1), b = nonce("b", 1);
  const ConstraintStore base = built({binds(x, a)});
  const ConstraintStore left = add_constraint(base, excludes(x, b));
  const ConstraintStore right = add_constraint(base, binds(v("y"), b));
  EXPECT_EQ(base, (ConstraintStore{binds(x, a)}));
  EXPECT_EQ(left, (ConstraintStore{excludes(x, b), binds(x, a)}));
  EXPECT_EQ(right, (ConstraintStore{binds(v("y"), b), binds(x, a)}));
  EXPECT_FALSE(left == right);

  // A verification can grow a store a million times; dropping it must not
  // recurse once per addition.
  ConstraintStore deep;
  for (int i = 0; i < 1'000'000; ++i) deep = deep.with({excludes(x, a)});
  EXPECT_EQ(deep.size(), 1'000'000u);
  deep = ConstraintStore();
  EXPECT_TRUE(deep.empty());
}

TEST(AddToAll, AppliesTheLastConstraintFirstToEveryStore) {
  const Constraint c1 = binds(v("x"), nonce("n", 1));
  const Constraint c2 = excludes(v("y"), nonce("m", 1));
  const Constraint old = binds(v("z"), nonce("k", 1));
  const std::vector<ConstraintStore> stores = {{}, {old}};
  EXPECT_EQ(add_to_all({c1, c2}, stores), (std::vector<ConstraintStore>{{c1, c2}, {c1, c2, old}}));
  EXPECT_EQ(add_to_all({}, stores), stores);
  // Each addition sees the previous ones: chaining happens across the list.
  EXPECT_EQ(add_to_all({binds(v("x"), v("y")), binds(v("y"), v("z"))}, {{}}),
            (std::vector<ConstraintStore>{
                {binds(v("x"), v("z")), binds(v("x"), v("y")), binds(v("y"), v("z"))}}));
}

TEST(Branch, OneStorePerPairStoresOutermost) {
  const Constraint s1 = binds(v("s"), nonce("n", 1)), s2 = binds(v("s"), nonce("n", 2));
  const Constraint a1 = binds(v("x"), nonce("a", 1)), a2 = binds(v("x"), nonce("a", 2)),
                   a3 = binds(v("x"), nonce("a", 3));
  const std::vector<ConstraintStore> result = branch({{s1}, {s2}}, {a1, a2, a3});
  EXPECT_EQ(result, (std::vector<ConstraintStore>{
                        {a1, s1}, {a2, s1}, {a3, s1}, {a1, s2}, {a2, s2}, {a3, s2}}));
  EXPECT_TRUE(branch({{s1}, {s2}}, {}).empty());
}

TEST(BranchAll, LastListFirst) {
  const Constraint c1 = binds(v("x"), nonce("n", 1));
  const Constraint c2 = binds(v("y"), nonce("n", 2)), c3 = binds(v("y"), nonce("n", 3));
  EXPECT_EQ(branch_all({{c1}, {c2, c3}}, {{}}), (std::vector<ConstraintStore>{{c1, c2}, {c1, c3}}));
  const std::vector<ConstraintStore> stores = {{c1}};
  EXPECT_EQ(branch_all({}, stores), stores);
  EXPECT_TRUE(branch_all({{c2}, {}}, stores).empty());
}

TEST(Consistency, TableOfStores) {
  struct Case {
    std::string name;
    ConstraintStore store;
    bool consistent;
  };
  const Message x = v("x"), a = nonce("a", 1), b = nonce("b", 1);
  const std::vector<Case> cases = {
      {"empty", {}, true},
      {"bindings only", {binds(x, a), binds(x, b)}, true},
      {"exclusions only", {excludes(x, a), excludes(x, b)}, true},
      {"binding and exclusion of another term", {binds(x, a), excludes(x, b)}, true},
      {"binding and exclusion of another variable", {binds(x, a), excludes(v("y"), a)}, true},
      {"same pair both kinds", {binds(x, b), excludes(x, a), binds(x, a)}, false},
      {"exclusion first", {excludes(x, a), binds(v("y"), b), binds(x, a)}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(is_consistent(c.store), c.consistent) << c.name;
}

TEST(Consistency, ChainedContradictionIsFound) {
  // x->y, y->a and x\>a: the derived x->a contradicts the exclusion.
  const ConstraintStore store =
      built({excludes(v("x"), nonce("a", 1)), binds(v("x"), v("y")), binds(v("y"), nonce("a", 1))});
  EXPECT_FALSE(is_consistent(store));
}

TEST(ConsistentStores, DropsInconsistentKeepsOrder) {
  const Message x = v("x"), a = nonce("a", 1);
  const ConstraintStore good1 = {binds(x, a)}, good2 = {excludes(x, a)};
  const ConstraintStore bad = {binds(x, a), excludes(x, a)};
  EXPECT_EQ(consistent_stores({good1, bad, good2, bad}),
            (std::vector<ConstraintStore>{good1, good2}));
  EXPECT_TRUE(consistent_stores({bad}).empty());
}

TEST(StoresToAssignments, BindingsInStoreOrder) {
  const Message x = v("x"), y = v("y"), a = nonce("a", 1), b = nonce("b", 1);
  const std::vector<Assignment> result =
      stores_to_assignments({{binds(x, a), excludes(y, b), binds(y, a)}, {excludes(x, a)}});
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0], assignment_of_bindings({{x, a}, {y, a}}));
  EXPECT_TRUE(is_empty(result[1]));
}

TEST(PrintModel, ArrangementAndFormat) {
  struct Case {
    std::string name;
    ConstraintStore store;
    std::string expected;
  };
  const Message a = nonce("a", 1);
  const Message x1 = v("x", 1), y1 = v("y", 1), z1 = v("z", 1), x2 = v("x", 2), w10 = v("w", 10);
  const std::vector<Case> cases = {
      {"empty store", {}, "\n"},
      {"binding", {binds(x1, a)}, "x_A_1 -> a_1\n\n"},
      {"exclusion", {excludes(x1, a)}, "x_A_1 \\> a_1\n\n"},
      {"exclusion before binding as stored",
       {excludes(y1, a), binds(x1, a)},
       "y_A_1 \\> a_1\nx_A_1 -> a_1\n\n"},
      {"exclusion before binding reversed",
       {binds(x1, a), excludes(y1, a)},
       "y_A_1 \\> a_1\nx_A_1 -> a_1\n\n"},
      {"two bindings increasing", {binds(y1, a), binds(x1, a)}, "x_A_1 -> a_1\ny_A_1 -> a_1\n\n"},
      {"two bindings already increasing",
       {binds(x1, a), binds(y1, a)},
       "x_A_1 -> a_1\ny_A_1 -> a_1\n\n"},
      // group is not a sort: nothing is below the first key, so all stays.
      {"not a sort",
       {binds(x1, a), binds(z1, a), binds(y1, a)},
       "x_A_1 -> a_1\nz_A_1 -> a_1\ny_A_1 -> a_1\n\n"},
      {"greatest first is gathered",
       {binds(z1, a), binds(x1, a), binds(y1, a)},
       "x_A_1 -> a_1\ny_A_1 -> a_1\nz_A_1 -> a_1\n\n"},
      // Keys are instance then name, compared as text: "10w" < "1x" < "2x".
      {"keys compared as text",
       {binds(x2, a), binds(x1, a), binds(w10, a)},
       "w_A_10 -> a_1\nx_A_1 -> a_1\nx_A_2 -> a_1\n\n"},
      {"generated term not printed",
       {binds(x1, gen(VarId{"g", "B", 1}, 3, GenKind::SKey)), binds(y1, a)},
       "y_A_1 -> a_1\n\n"},
      {"generated variable not printed",
       {binds(gen(VarId{"g", "B", 1}, 3, GenKind::SKey), sym_key("k", 0)), binds(y1, a)},
       "y_A_1 -> a_1\n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(model_text({c.store}), c.expected) << c.name;
}

TEST(PrintModel, EveryStoreFollowedByABlankLine) {
  const ConstraintStore s1 = {binds(v("x"), nonce("a", 1))};
  const ConstraintStore s2 = {excludes(v("x"), nonce("b", 1))};
  EXPECT_EQ(model_text({s1, s2}), "x_A_1 -> a_1\n\nx_A_1 \\> b_1\n\n");
  EXPECT_EQ(model_text({}), "");
}

}  // namespace

}  // namespace analyser
