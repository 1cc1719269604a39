// Keys and owners are built once and kept: the kept ones must stay equal to the
// atoms built afresh, however many distinct atoms a process asks for.
#include <gtest/gtest.h>

#include <string>

#include "message/message.h"

namespace analyser {

namespace {

TEST(RelatedAtomTest, ManyDistinctAtomsKeepTheirRelatives) {
  // More atoms than are ever kept at once, asked twice each.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 5000; ++i) {
      const std::string name = "P" + std::to_string(i % 97);
      const Message a = agent(name, i);
      ASSERT_EQ(agent_pub_key(a), pub_key(name, i));
      ASSERT_EQ(agent_priv_key(a), priv_key(name, i));
      ASSERT_EQ(inverse_key(pub_key(name, i)), priv_key(name, i));
      ASSERT_EQ(inverse_key(priv_key(name, i)), pub_key(name, i));
      ASSERT_EQ(key_owner(priv_key(name, i)), a);
    }
  }
}

TEST(RelatedAtomTest, OnlyAtomsOfTheRightAlternativeHaveRelatives) {
  EXPECT_TRUE(agent_pub_key(nonce("A", 1)).is(Tag::NoMessage));
  EXPECT_TRUE(key_owner(agent("A", 1)).is(Tag::NoMessage));
  EXPECT_TRUE(inverse_key(agent("A", 1)).is(Tag::NoMessage));
  const Message k = sym_key("k", 3);
  EXPECT_TRUE(inverse_key(k).same(k));
}

}  // namespace

}  // namespace analyser
