#include "report/statistics_fields.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace analyser {

namespace {

TEST(StatisticFields, EveryStatisticOnceWithItsValue) {
  AnalysisStatistics s;
  s.traces = 1;
  s.finished_runs = 2;
  s.nodes = 3;
  s.sessions = 4;
  s.sessions_searched = 5;
  s.pruned_sessions = 6;
  s.attack_sets = 7;
  s.join_seconds = 0.25;
  s.search_seconds = 1.5;
  s.verify_seconds = 2.0;
  s.moves_left_out = 11;
  s.dead_ends = 12;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"traces", "1"},
      {"finished_runs", "2"},
      {"nodes", "3"},
      {"sessions", "4"},
      {"sessions_searched", "5"},
      {"pruned_sessions", "6"},
      {"attack_sets", "7"},
      {"join_seconds", "0.250"},
      {"search_seconds", "1.500"},
      {"verify_seconds", "2.000"},
      {"moves_left_out", "11"},
      {"dead_ends_left_out", "12"},
  };
  std::vector<std::pair<std::string, std::string>> shown;
  std::set<std::string> labels;
  for (const StatisticField& field : statistic_fields()) {
    shown.emplace_back(field.key, statistic_text(field, s));
    EXPECT_TRUE(labels.insert(field.label).second) << field.label;
  }
  EXPECT_EQ(shown, expected);
}

}  // namespace

}  // namespace analyser
