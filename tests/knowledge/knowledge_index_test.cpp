// Large knowledge sets: the index beside the messages must answer exactly as a
// scan of the messages would, however many there are and however they were built.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "knowledge/knowledge.h"
#include "knowledge_helpers.h"

namespace analyser {

namespace {

using knowledge_tests::all_under;

Message n(int i) {
  return nonce("n", i);
}

// n0 .. n(count-1) paired right-nested, learnt in one go.
Message pairs_of(int from, int count) {
  Message m = n(from + count - 1);
  for (int i = from + count - 2; i >= from; --i) m = pair(n(i), m);
  return m;
}

TEST(KnowledgeIndexTest, EveryMessageKnownWhateverTheSize) {
  for (const int count : {1, 7, 8, 9, 31, 200}) {
    Knowledge k = learn(empty_knowledge(), pairs_of(0, count));
    // Then one at a time, so that the index grows with the messages.
    for (int i = count; i < 2 * count; ++i) k = learn(k, n(i));
    ASSERT_EQ(k.messages().size(), static_cast<std::size_t>(2 * count));
    EXPECT_EQ(k.messages().front(), n(2 * count - 1));
    for (int i = 0; i < 2 * count; ++i) EXPECT_TRUE(knows(k, n(i))) << i << " of " << count;
    EXPECT_FALSE(knows(k, n(2 * count)));
    EXPECT_FALSE(knows(k, pair(n(0), n(1))));
  }
}

TEST(KnowledgeIndexTest, EncryptionsUnderAKeyNewestFirst) {
  const Message key = pub_key("B", 1);
  Knowledge k = learn(empty_knowledge(), pair(key, agent("B", 1)));
  std::vector<Message> sent;
  for (int i = 0; i < 20; ++i) {
    const Message c = enc(n(i), i % 2 == 0 ? key : pub_key("C", 1));
    k = learn(k, c);
    if (i % 2 == 0) sent.insert(sent.begin(), c);
  }
  EXPECT_EQ(all_under(k, key), sent);
  // Knowing both halves makes every such encryption buildable: none listed.
  EXPECT_TRUE(all_under(learn(k, priv_key("B", 1)), key).empty());
}

TEST(KnowledgeIndexTest, AKeyLearntLateOpensEncryptionsStoredLongBefore) {
  const Message k1 = sym_key("k", 1);
  Knowledge k = empty_knowledge();
  for (int i = 0; i < 12; ++i) k = learn(k, enc(n(i), k1));
  for (int i = 0; i < 12; ++i) EXPECT_FALSE(knows(k, n(i)));
  k = learn(k, k1);
  for (int i = 0; i < 12; ++i) EXPECT_TRUE(knows(k, n(i))) << i;
  EXPECT_EQ(k.messages().size(), 25u);  // the encryptions stay stored
}

TEST(KnowledgeIndexTest, MappedMessagesAreAnalysedWhenLearningAgain) {
  // {n0}g under a generated key opens; mapped to {n0}k1 it needs k1, learnt later.
  const Message g = gen(VarId{"g", "I", 0}, 1, GenKind::SKey);
  const Message k1 = sym_key("k", 1);
  Knowledge k = learn(empty_knowledge(), enc(n(0), g));
  EXPECT_TRUE(knows(k, n(0)));
  const Knowledge mapped = relabel(k, 7, assignment_of_bindings({{g, k1}}));
  EXPECT_EQ(mapped.kid(), 7);
  const Knowledge opened = learn(mapped, pair(k1, n(1)));
  EXPECT_TRUE(knows(opened, k1));
  EXPECT_TRUE(knows(opened, n(1)));
}

TEST(KnowledgeIndexTest, RelabelKeepsTheMessagesAndChangesTheKid) {
  const Knowledge k = learn(empty_knowledge(), pairs_of(0, 10));
  const Knowledge same = relabel(k, 42, assignment_of_bindings({{var(VarId{"x", "A", 1}), n(99)}}));
  EXPECT_EQ(same.kid(), 42);
  EXPECT_EQ(same.messages(), k.messages());
  // One scratch for every call: what a call leaves in it does not leak into the next.
  LearningScratch scratch;
  EXPECT_EQ(relabel_and_learn(k, 43, empty_assignment(), pairs_of(20, 5), scratch).messages(),
            learn(relabel(k, 43, empty_assignment()), pairs_of(20, 5)).messages());
  EXPECT_EQ(relabel_and_learn(k, 44, empty_assignment(), n(10), scratch).messages(),
            learn(relabel(k, 44, empty_assignment()), n(10)).messages());
}

TEST(KnowledgeIndexTest, DerivingThroughTheInverseOfAnAtomicKey) {
  const Knowledge k = learn(empty_knowledge(), pair(n(1), priv_key("B", 1)));
  EXPECT_TRUE(can_derive(k, empty_assignment(), enc(n(1), pub_key("B", 1))));
  EXPECT_FALSE(can_derive(k, empty_assignment(), enc(n(1), priv_key("B", 1))));
  // The inverse reached through the assignment: a stored generated value mapped to it.
  const Message g = gen(VarId{"g", "I", 0}, 1, GenKind::Gen);
  const Knowledge with_gen = learn(empty_knowledge(), pair(n(1), g));
  const Assignment f = assignment_of_bindings({{g, pub_key("C", 1)}});
  EXPECT_TRUE(can_derive(with_gen, f, enc(n(1), priv_key("C", 1))));
  EXPECT_FALSE(can_derive(with_gen, empty_assignment(), enc(n(1), priv_key("C", 1))));
}

}  // namespace

// Knowledge sets learnt from one another share their messages: each must still
// know exactly its own, whichever of them was learnt first.
TEST(SharedMessagesTest, SiblingsKnowOnlyWhatTheyLearnt) {
  const Knowledge parent = learn(learn(empty_knowledge(), pairs_of(0, 10)), n(10));
  const Knowledge first = learn(parent, n(100));
  const Knowledge second = learn(parent, n(200));
  const Knowledge third = learn(parent, n(100));
  EXPECT_TRUE(knows(first, n(100)));
  EXPECT_FALSE(knows(first, n(200)));
  EXPECT_TRUE(knows(second, n(200)));
  EXPECT_FALSE(knows(second, n(100)));
  EXPECT_FALSE(knows(parent, n(100)));
  EXPECT_FALSE(knows(parent, n(200)));
  EXPECT_EQ(parent.messages().size(), 11u);
  EXPECT_EQ(second.messages().front(), n(200));
  EXPECT_EQ(third.messages(), first.messages());
}

TEST(SharedMessagesTest, LongChainsAnswerAsIfEachSetWereCopied) {
  // Each set learns from the previous one, as the states along a trace do; the
  // older sets are asked again once the newer ones have grown past them.
  std::vector<Knowledge> trace{learn(empty_knowledge(), n(0))};
  for (int i = 1; i < 80; ++i) trace.push_back(learn(trace.back(), i % 5 == 0 ? n(i - 1) : n(i)));
  for (std::size_t s = 0; s < trace.size(); ++s) {
    std::vector<Message> expected;
    for (int i = static_cast<int>(s); i >= 0; --i) {
      if (i % 5 != 0 || i == 0) expected.push_back(n(i));
    }
    ASSERT_EQ(trace[s].messages(), expected) << s;
    for (int i = 0; i < 81; ++i) {
      const bool learnt = i <= static_cast<int>(s) && (i % 5 != 0 || i == 0);
      EXPECT_EQ(knows(trace[s], n(i)), learnt) << s << " " << i;
    }
  }
}

// In a depth-first search a set's children come one after another, each gone
// before the next is made: the next one learns in the room the previous one
// used. Each must answer as if it had been learnt alone, and a sibling that is
// still alive must keep what it knows.
TEST(SharedMessagesTest, ChildrenLearntOneAfterAnotherAnswerAsIfLearntAlone) {
  const Message key = pub_key("K", 1);
  const Knowledge parent = learn(learn(empty_knowledge(), pairs_of(0, 12)), enc(n(50), key));
  const Knowledge kept = learn(parent, pair(n(300), enc(n(301), key)));
  for (int child = 0; child < 40; ++child) {
    // Messages that collide in the index with the parent's and the kept sibling's.
    const Message secret = enc(n(1000 + child), key);
    const Knowledge k = learn(parent, pair(pairs_of(100 + 3 * child, 3 + child % 4), secret));
    const Knowledge alone = learn(learn(learn(empty_knowledge(), pairs_of(0, 12)), enc(n(50), key)),
                                  pair(pairs_of(100 + 3 * child, 3 + child % 4), secret));
    ASSERT_EQ(k.messages(), alone.messages()) << child;
    EXPECT_EQ(all_under(k, key), all_under(alone, key)) << child;
    EXPECT_TRUE(knows(k, secret));
    EXPECT_FALSE(knows(k, enc(n(999 + child), key)));
    EXPECT_FALSE(knows(k, n(300)));
  }
  EXPECT_TRUE(knows(kept, n(300)));
  EXPECT_EQ(all_under(kept, key), (std::vector<Message>{enc(n(301), key), enc(n(50), key)}));
  EXPECT_EQ(parent.messages().size(), 13u);
}

}  // namespace analyser
