// Keys and owners are built once and kept: the kept ones must stay equal to the
// atoms built afresh, however many distinct atoms a process asks for.
#include <gtest/gtest.h>

#include <cstdint>
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

// An atom's relatives share its family: each must outlive the handles on the
// atom it came from, and lead back to it once that is gone (the sanitizer build
// sees a member read after its family is freed, and a family never freed).
TEST(RelatedAtomTest, RelativesOutliveTheAtomTheyCameFrom) {
  struct Case {
    const char* what;
    Message (*origin)(const std::string&, std::int64_t);
    Message (*relative)(const Message&);
    const char* text;
    Message (*back)(const Message&);  // from the relative to an atom like the origin
  };
  const Case cases[] = {
      {"inverse of a public key", pub_key, inverse_key, "A_1-", inverse_key},
      {"inverse of a private key", priv_key, inverse_key, "A_1+", inverse_key},
      {"owner of a key", pub_key, key_owner, "A_1", agent_pub_key},
      {"public key of an agent", agent, agent_pub_key, "A_1+", key_owner},
      {"private key of an agent", agent, agent_priv_key, "A_1-", key_owner},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Message relative;
    {
      const Message origin = c.origin("A", 1);
      relative = c.relative(origin);
    }
    EXPECT_EQ(message_to_string(relative), c.text);
    EXPECT_EQ(c.back(relative), c.origin("A", 1));
  }
}

}  // namespace

}  // namespace analyser
