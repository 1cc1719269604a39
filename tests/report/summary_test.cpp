#include "report/summary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace analyser {

namespace {

TEST(SessionsText, NumbersAndPrincipalsUpToTheLimit) {
  const std::vector<Session> sessions = {
      {1, {"A_2", "A_1"}, false}, {2, {"A_2", "B_1"}, false}, {3, {"B_2", "B_1"}, true}};
  struct Case {
    std::set<std::int64_t> numbers;
    std::size_t limit;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{2}, 8, "2 (A_2 B_1)"},
      {{1, 3}, 8, "1 (A_2 A_1), 3 (B_2 B_1)"},
      {{1, 2, 3}, 2, "1 (A_2 A_1), 2 (A_2 B_1) and 1 more"},
  };
  for (const Case& c : cases) {
    AttackGroup group;
    group.sessions = c.numbers;
    EXPECT_EQ(sessions_text(group, sessions, c.limit), c.text);
  }
}

}  // namespace

}  // namespace analyser
