// Long assignments are looked up through an index and applied in one walk; both
// must answer exactly as a scan of the bindings and repeated passes do.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assignment/assignment.h"

namespace analyser {

namespace {

Message v(int i) {
  return var(VarId{"v" + std::to_string(i), "A", 1});
}
Message g(int i) {
  return gen(VarId{"g" + std::to_string(i), "I", 0}, 1, GenKind::Gen);
}

// v0 -> v1 -> ... -> v(n-1) -> nonce: a chain as long as the assignment, written
// in an order that makes every pass resolve one link only.
std::vector<Binding> chain(int n) {
  std::vector<Binding> b;
  for (int i = 0; i + 1 < n; ++i) b.emplace_back(v(i), v(i + 1));
  b.emplace_back(v(n - 1), nonce("end", 1));
  return b;
}

// apply by the definition: apply_once until a pass changes nothing.
Message by_passes(const std::vector<Binding>& s, Message m) {
  for (;;) {
    if (m.is(Tag::Trick)) return trick(s);
    Message next = apply_once(s, m);
    if (next == m) return m;
    m = next;
  }
}

TEST(LongAssignmentTest, LookupsThroughTheIndexFindTheFirstBinding) {
  for (const int n : {1, 8, 9, 40, 300}) {
    std::vector<Binding> b;
    for (int i = 0; i < n; ++i) b.emplace_back(v(i), nonce("first", i));
    // A second binding of every variable (as compose makes them) never wins.
    for (int i = 0; i < n; ++i) b.emplace_back(v(i), nonce("second", i));
    const Assignment a = assignment_of_bindings(b);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(apply(a, v(i)), nonce("first", i)) << n << " bindings, variable " << i;
      EXPECT_EQ(lookup(a.bindings(), v(i)), nonce("first", i));
    }
    const Message unbound = v(n);
    const Message generated = g(0);
    EXPECT_TRUE(apply(a, unbound).same(unbound)) << "unbound, " << n << " bindings";
    EXPECT_TRUE(apply(a, generated).same(generated));
  }
}

TEST(LongAssignmentTest, OneWalkReachesTheFixpointOfThePasses) {
  for (const int n : {2, 9, 30}) {
    const std::vector<Binding> s = chain(n);
    const Assignment a = assignment_of_bindings(s);
    const std::vector<Message> terms = {
        v(0),
        pair(v(0), v(n / 2)),
        enc(pair(v(1), bind_var(VarId{"v0", "A", 1})), pub_of(v(n - 1))),
        pub_of(v(0)),
        priv_of(g(3)),
        pair(nonce("na", 1), agent("A", 1)),
    };
    for (const Message& m : terms) {
      EXPECT_EQ(apply(a, m), by_passes(s, m)) << message_to_string(m) << ", " << n;
    }
  }
}

TEST(LongAssignmentTest, KeysOfAgentsReachedThroughAChainAreCanonical) {
  std::vector<Binding> s = chain(12);
  s.back().second = agent("B", 2);
  const Assignment a = assignment_of_bindings(s);
  EXPECT_EQ(apply(a, pub_of(v(0))), pub_key("B", 2));
  EXPECT_EQ(apply(a, priv_of(v(5))), priv_key("B", 2));
}

TEST(LongAssignmentTest, ExtendSeesBindingsThroughTheIndex) {
  std::vector<Binding> b;
  for (int i = 0; i < 20; ++i) b.emplace_back(v(i), nonce("n", i));
  const Assignment a = assignment_of_bindings(b);
  EXPECT_TRUE(extend(a, v(13), agent("A", 1)).same(a));
  const Assignment grown = extend(a, v(20), agent("A", 1));
  ASSERT_EQ(grown.bindings().size(), 21u);
  EXPECT_EQ(grown.bindings().front(), Binding(v(20), agent("A", 1)));
}

TEST(LongAssignmentTest, CyclesAndNestedTricksStillFail) {
  std::vector<Binding> s = chain(10);
  s.back().second = v(0);  // the chain closes on itself
  EXPECT_THROW(apply(assignment_of_bindings(s), v(3)), CyclicBinding);
  const Assignment growing = assignment_of_bindings({{v(0), pair(v(0), nonce("n", 1))}});
  EXPECT_THROW(apply(growing, v(0)), CyclicBinding);

  const Message nested = pair(nonce("n", 1), trick({}));
  EXPECT_THROW(apply(empty_assignment(), nested), NoMeaning);
  EXPECT_THROW(apply(assignment_of_bindings(chain(10)), nested), NoMeaning);
  // A variable whose chain ends in a Trick: at the top the assignment's own
  // bindings, inside a term a failure.
  const Assignment to_trick = assignment_of_bindings({{v(0), trick({})}});
  EXPECT_EQ(apply(to_trick, v(0)), trick({{v(0), trick({})}}));
  EXPECT_THROW(apply(to_trick, pair(v(0), v(0))), NoMeaning);
}

TEST(LongAssignmentTest, UnchangedTermsComeBackAsTheSameHandle) {
  const Assignment a = assignment_of_bindings(chain(20));
  const Message t = enc(pair(nonce("n", 1), v(25)), pub_key("B", 1));
  EXPECT_TRUE(apply(a, t).same(t));
  EXPECT_TRUE(apply(empty_assignment(), t).same(t));
}

}  // namespace

// Exactly these bindings, built as a state's are, with room to grow in place.
Assignment composed(const std::vector<Binding>& b) {
  return compose_growing(assignment_of_bindings({b.front()}),
                         assignment_of_bindings({b.begin() + 1, b.end()}));
}

// Assignments that extend one another share their bindings: each must still see
// its own bindings only, whichever of them was composed first.
TEST(SharedPrefixTest, SiblingsSeeOnlyTheirOwnBindings) {
  const Assignment parent = composed(chain(12));
  const Assignment first = compose(parent, assignment_of_bindings({{v(40), nonce("a", 1)}}));
  const Assignment second = compose(parent, assignment_of_bindings({{v(41), nonce("b", 1)}}));
  EXPECT_EQ(apply(first, v(40)), nonce("a", 1));
  EXPECT_EQ(apply(first, v(41)), v(41));
  EXPECT_EQ(apply(second, v(41)), nonce("b", 1));
  EXPECT_EQ(apply(second, v(40)), v(40));
  EXPECT_EQ(apply(parent, v(40)), v(40));
  EXPECT_EQ(parent.bindings().size(), 12u);
  EXPECT_EQ(second.bindings().back(), Binding(v(41), nonce("b", 1)));
  // The first child appended to its parent's bindings; the second could not.
  EXPECT_EQ(&first.store(), &parent.store());
  EXPECT_NE(&second.store(), &parent.store());
}

// Once the first child is gone, the second appends where it was: its bindings
// and their index entries are taken back, the parent's earlier binding of a
// variable the first child bound again included.
TEST(SharedPrefixTest, ADroppedChildsBindingsAreTakenBack) {
  const Assignment parent = composed(chain(12));
  {
    const Assignment first =
        compose(parent, assignment_of_bindings({{v(40), nonce("a", 1)}, {v(3), nonce("c", 1)}}));
    EXPECT_EQ(apply(first, v(40)), nonce("a", 1));
    EXPECT_EQ(&first.store(), &parent.store());
  }
  const Assignment second = compose(parent, assignment_of_bindings({{v(41), nonce("b", 1)}}));
  EXPECT_EQ(&second.store(), &parent.store());
  EXPECT_EQ(apply(second, v(40)), v(40));
  EXPECT_EQ(apply(second, v(41)), nonce("b", 1));
  EXPECT_EQ(apply(second, v(3)), nonce("end", 1));
  EXPECT_EQ(second.bindings().size(), 13u);
}

TEST(SharedPrefixTest, LongChainsOfChildrenAnswerAsFlatLists) {
  // Each child extends the previous one, as the states along a trace do; the
  // prefixes are looked up through one index after the store has grown past them.
  std::vector<Assignment> trace{extend(empty_assignment(), v(0), nonce("n", 0))};
  std::vector<Binding> flat{{v(0), nonce("n", 0)}};
  for (int i = 1; i < 60; ++i) {
    const Binding step{i % 7 == 0 ? v(i - 1) : v(i), nonce("n", i)};
    trace.push_back(compose_growing(trace.back(), assignment_of_bindings({step})));
    flat.push_back(step);
  }
  for (std::size_t n = 1; n <= trace.size(); ++n) {
    const Assignment& a = trace[n - 1];
    ASSERT_TRUE(std::ranges::equal(a.bindings(), Bindings(flat).first(n)));
    for (int i = 0; i < 62; ++i) EXPECT_EQ(apply(a, v(i)), lookup(Bindings(flat).first(n), v(i)));
  }
}

TEST(SharedPrefixTest, ComposingWithItselfDoublesTheBindings) {
  const Assignment a = composed(chain(3));
  const Assignment twice = compose(a, a);
  ASSERT_EQ(twice.bindings().size(), 6u);
  EXPECT_TRUE(std::ranges::equal(twice.bindings().first(3), twice.bindings().last(3)));
  EXPECT_EQ(apply(twice, v(0)), nonce("end", 1));
}

}  // namespace analyser
