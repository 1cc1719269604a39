#include "knowledge/kmanager.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "knowledge_helpers.h"

namespace analyser {

namespace {

using knowledge_tests::g;
using knowledge_tests::texts;

// Runs find_knowledge expecting NoKnowledge; returns the output it carries.
std::string failed_lookup(KnowledgeManager& mgr, std::int64_t kid) {
  try {
    find_knowledge(mgr, kid);
  } catch (const NoKnowledge& e) {
    return e.output();
  }
  ADD_FAILURE() << "kid " << kid << " found";
  return "";
}

TEST(KnowledgeManager, KidsStartAtZeroAndIncreaseWhateverCreatesThem) {
  KnowledgeManager mgr;
  EXPECT_EQ(mgr.last_kid(), -1);
  Knowledge k0 = fresh_knowledge(mgr);
  Knowledge k1 = derive_knowledge(mgr, k0, empty_assignment(), agent("A", 1));
  Knowledge k2 = fresh_knowledge(mgr);
  Knowledge k3 = derive_knowledge(mgr, k1, empty_assignment(), no_message());
  EXPECT_EQ(k0.kid(), 0);
  EXPECT_EQ(k1.kid(), 1);
  EXPECT_EQ(k2.kid(), 2);
  EXPECT_EQ(k3.kid(), 3);
  EXPECT_EQ(mgr.last_kid(), 3);
  EXPECT_TRUE(is_empty_knowledge(k0));
  EXPECT_FALSE(is_absent(k0));
}

TEST(KnowledgeManager, FindsLiveKnowledgeByKid) {
  KnowledgeManager mgr;
  Knowledge k0 = fresh_knowledge(mgr);
  Knowledge k1 = derive_knowledge(mgr, k0, empty_assignment(), nonce("n", 1));
  EXPECT_TRUE(find_knowledge(mgr, 1).same(k1));
  EXPECT_TRUE(find_knowledge(mgr, 0).same(k0));
}

TEST(KnowledgeManager, UnknownKidsPrintTheKidAndFail) {
  KnowledgeManager mgr;
  Knowledge k0 = fresh_knowledge(mgr);
  EXPECT_EQ(failed_lookup(mgr, 1), "1\n");
  EXPECT_EQ(failed_lookup(mgr, 4194302), "4194302\n");
  EXPECT_EQ(failed_lookup(mgr, -1), "-1\n");
  EXPECT_EQ(failed_lookup(mgr, -7), "-7\n");
}

TEST(KnowledgeManager, ReleasedKnowledgeIsNoLongerFoundAndItsKidNotReused) {
  KnowledgeManager mgr;
  Knowledge k0 = fresh_knowledge(mgr);
  {
    Knowledge k1 = derive_knowledge(mgr, k0, empty_assignment(), agent("A", 1));
    EXPECT_TRUE(find_knowledge(mgr, 1).same(k1));
  }
  EXPECT_EQ(failed_lookup(mgr, 1), "1\n");
  EXPECT_EQ(fresh_knowledge(mgr).kid(), 2);
  EXPECT_TRUE(find_knowledge(mgr, 0).same(k0));
}

TEST(KnowledgeManager, TheTableDoesNotKeepKnowledgeAlive) {
  KnowledgeManager mgr;
  KnowledgeWatch watched;
  {
    Knowledge k = fresh_knowledge(mgr);
    watched = KnowledgeWatch(k);
  }
  EXPECT_TRUE(watched.expired());
}

// Many short-lived knowledge sets among a few kept ones: the kept ones stay
// reachable through every sweep of released entries.
TEST(KnowledgeManager, KeptKnowledgeSurvivesManyReleases) {
  KnowledgeManager mgr;
  std::vector<Knowledge> kept;
  Knowledge base = fresh_knowledge(mgr);
  for (int i = 1; i <= 20000; ++i) {
    Knowledge k = derive_knowledge(mgr, base, empty_assignment(), nonce("n", i));
    if (i % 97 == 0) kept.push_back(k);
  }
  for (const Knowledge& k : kept) EXPECT_TRUE(find_knowledge(mgr, k.kid()).same(k));
  EXPECT_EQ(failed_lookup(mgr, 96), "96\n");
  EXPECT_EQ(failed_lookup(mgr, 19999), "19999\n");
  EXPECT_EQ(fresh_knowledge(mgr).kid(), 20001);
}

TEST(DeriveKnowledge, MapsThenLearnsUnderANewKid) {
  KnowledgeManager mgr;
  Knowledge k0 = learn(fresh_knowledge(mgr), pair(g("x"), nonce("n", 1)));
  Message key = sym_key("k", 1);
  Assignment f = extend(empty_assignment(), g("x"), key);
  Knowledge k1 = derive_knowledge(mgr, k0, f, enc(agent("A", 1), key));
  EXPECT_EQ(k1.kid(), 1);
  EXPECT_EQ(texts(k1.messages()), texts({agent("A", 1), sym_key("k", 1), nonce("n", 1)}));
  // The source is unchanged.
  EXPECT_EQ(texts(k0.messages()), texts({g("x"), nonce("n", 1)}));
}

TEST(DeriveKnowledge, NoMessageOnlyMapsAndRenumbersWithoutAnalysis) {
  KnowledgeManager mgr;
  Knowledge k0 = learn(fresh_knowledge(mgr), pair(g("x"), g("y")));
  Assignment f = extend(extend(empty_assignment(), g("x"), pair(agent("A", 1), nonce("n", 1))),
                        g("y"), sym_key("k", 1));
  Knowledge k1 = derive_knowledge(mgr, k0, f, no_message());
  EXPECT_EQ(k1.kid(), 1);
  EXPECT_EQ(texts(k1.messages()), texts({pair(agent("A", 1), nonce("n", 1)), sym_key("k", 1)}));
  EXPECT_FALSE(knows(k1, agent("A", 1)));
}

TEST(KnowledgeManager, KnowledgeOutlivesItsManager) {
  Knowledge survivor;
  {
    KnowledgeManager mgr;
    survivor = derive_knowledge(mgr, fresh_knowledge(mgr), empty_assignment(), agent("A", 1));
  }
  EXPECT_EQ(survivor.kid(), 1);
  EXPECT_TRUE(knows(survivor, agent("A", 1)));
}

}  // namespace

}  // namespace analyser
