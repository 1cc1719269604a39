#include "report/attack_groups.h"

#include <gtest/gtest.h>

#include <set>
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

Attack shown(std::int64_t attack_set, const std::string& key, std::size_t length) {
  Attack a = attack(attack_set, 1, key);
  a.length = length;
  return a;
}

// A group is shown by its shortest attack, the first found among equally short
// ones; an attack set no shorter than that is only counted.
TEST(AttackGroups, ShownByTheShortestAttackFirstFound) {
  struct Case {
    std::string name;
    std::vector<Attack> found;
    std::int64_t representative;
  };
  const std::vector<Case> cases = {
      {"the first of equal length", {shown(1, "x", 4), shown(2, "x", 4)}, 1},
      {"a shorter one later", {shown(1, "x", 6), shown(2, "x", 4), shown(3, "x", 5)}, 2},
      {"the first of the shortest", {shown(1, "x", 6), shown(2, "x", 4), shown(3, "x", 4)}, 2},
  };
  for (const Case& c : cases) {
    AttackGroups groups;
    for (const Attack& a : c.found) groups.add(a);
    const std::vector<AttackGroup> ordered = groups.ordered();
    ASSERT_EQ(ordered.size(), 1u) << c.name;
    EXPECT_EQ(ordered[0].representative.attack_set, c.representative) << c.name;
    EXPECT_EQ(ordered[0].count, static_cast<std::int64_t>(c.found.size())) << c.name;
  }
}

TEST(AttackGroups, CountsByKeyOnlyWhatWouldNotShowTheGroup) {
  AttackGroups groups;
  EXPECT_FALSE(groups.add_to_group(AttackKey{"x", 5}, 1)) << "no group yet";
  groups.add(shown(1, "x", 5));
  EXPECT_TRUE(groups.add_to_group(AttackKey{"x", 5}, 2)) << "as long";
  EXPECT_TRUE(groups.add_to_group(AttackKey{"x", 7}, 3)) << "longer";
  EXPECT_FALSE(groups.add_to_group(AttackKey{"x", 4}, 4)) << "shorter: to be described";
  EXPECT_FALSE(groups.add_to_group(AttackKey{"y", 5}, 4)) << "another key";
  EXPECT_EQ(groups.attack_sets(), 3);
  const std::vector<AttackGroup> ordered = groups.ordered();
  ASSERT_EQ(ordered.size(), 1u);
  EXPECT_EQ(ordered[0].count, 3);
  EXPECT_EQ(ordered[0].sessions, (std::set<std::int64_t>{1, 2, 3}));
}

}  // namespace

}  // namespace analyser
