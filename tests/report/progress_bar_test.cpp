#include "report/progress_bar.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace analyser {

namespace {

TEST(ProgressBar, LineShowsSessionsDoneTimeAndRate) {
  struct Case {
    std::int64_t session;
    std::int64_t sessions;
    double seconds;
    std::int64_t runs;
    std::string line;
  };
  const std::vector<Case> cases = {
      {1, 4, 0.0, 0, "[..............................] session 1/4  0:00:00  0 runs/s   "},
      {3, 4, 125.5, 251, "[###############...............] session 3/4  0:02:05  2 runs/s   "},
      {5, 4, 3725.0, 0, "[##############################] session 5/4  1:02:05  0 runs/s   "},
      {0, 0, 1.0, 10, "[..............................] session 0/0  0:00:01  10 runs/s   "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressBar::line(c.session, c.sessions, c.seconds, c.runs), c.line);
  }
}

TEST(ProgressBar, DisabledBarDrawsNothing) {
  std::ostringstream terminal;
  {
    ProgressBar bar(terminal, false);
    bar.update(SearchState{});
  }
  EXPECT_EQ(terminal.str(), "");
}

}  // namespace

}  // namespace analyser
