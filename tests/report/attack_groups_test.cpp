#include "report/attack_groups.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace analyser {

namespace {

Attack attack(std::int64_t attack_set, std::int64_t session, const std::string& key) {
  Attack a;
  a.attack_set = attack_set;
  a.session = session;
  a.key = key;
  return a;
}

TEST(AttackGroups, MostFrequentFirstThenInOrderFound) {
  AttackGroups groups;
  groups.add(attack(1, 1, "x"));
  groups.add(attack(2, 1, "y"));
  groups.add(attack(3, 2, "z"));
  groups.add(attack(4, 3, "z"));
  groups.add(attack(5, 3, "y"));
  groups.add(attack(6, 3, "w"));
  EXPECT_EQ(groups.attack_sets(), 6);
  const std::vector<AttackGroup> ordered = groups.ordered();
  ASSERT_EQ(ordered.size(), 4u);
  struct Expected {
    std::int64_t representative;
    std::int64_t count;
    std::set<std::int64_t> sessions;
  };
  const std::vector<Expected> expected = {
      {2, 2, {1, 3}},  // y and z are tied: y was found first
      {3, 2, {2, 3}},
      {1, 1, {1}},
      {6, 1, {3}},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ordered[i].representative.attack_set, expected[i].representative) << i;
    EXPECT_EQ(ordered[i].count, expected[i].count) << i;
    EXPECT_EQ(ordered[i].sessions, expected[i].sessions) << i;
  }
}

}  // namespace

}  // namespace analyser
