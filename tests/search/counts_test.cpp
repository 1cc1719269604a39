#include "search/counts.h"

#include <gtest/gtest.h>

namespace analyser {

namespace {

// Counts after closing nodes with these numbers of children.
SearchCounts closed(std::initializer_list<std::int64_t> children) {
  SearchCounts c;
  for (std::int64_t n : children) c.record_branching(n);
  return c;
}

// The counts of two pieces of a search add up to those of the whole.
TEST(SearchCounts, PiecesAddUpToTheWhole) {
  const struct {
    std::initializer_list<std::int64_t> first;
    std::initializer_list<std::int64_t> second;
  } cases[] = {
      {{2, 3}, {1, 4}},
      {{}, {3, 1}},
      {{5}, {}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::int64_t> all(c.first);
    all.insert(all.end(), c.second.begin(), c.second.end());
    SearchCounts whole;
    for (std::int64_t n : all) whole.record_branching(n);
    SearchCounts sum = closed(c.first);
    sum += closed(c.second);
    EXPECT_EQ(sum, whole);
    EXPECT_DOUBLE_EQ(sum.branching_factor(), whole.branching_factor());
  }
}

TEST(SearchCounts, SumsAndExtremes) {
  SearchCounts a;
  a.max_node_id = 40;
  a.traces = 6;
  a.terminal_traces = 4;
  a.attacks = 1;
  a.moves_left_out = 3;
  a.dead_ends = 2;
  SearchCounts b = a;
  b.max_node_id = 12;
  a += b;
  EXPECT_EQ(a.max_node_id, 40);
  EXPECT_EQ(a.traces, 12);
  EXPECT_EQ(a.terminal_traces, 8);
  EXPECT_EQ(a.attacks, 2);
  EXPECT_EQ(a.moves_left_out, 6);
  EXPECT_EQ(a.dead_ends, 4);
  EXPECT_EQ(SearchCounts{}.branching_factor(), 0.0);
}

}  // namespace

}  // namespace analyser
