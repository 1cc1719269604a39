#include "search/search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "assignment/assignment.h"
#include "formula/formula.h"
#include "knowledge/knowledge.h"
#include "message/message.h"
#include "node/action.h"
#include "principal/context.h"
#include "search/parallel.h"
#include "utils/utils.h"
#include "verify/constraints.h"

namespace analyser {

namespace {

using search::format_duration;

TEST(FormatDuration, HoursMinutesSecondsOfTheCeiling) {
  struct Case {
    double seconds;
    std::string text;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {0.0, "0:0:0"},
      {0.1, "0:0:1"},
      {59.0, "0:0:59"},
      {65.2, "0:1:6"},
      {3599.2, "1:0:0"},  // one hour less 0.8 s: the ceiling comes first
      {3600.0, "1:0:0"},
      {3661.0, "1:1:1"},
      {90061.0, "25:1:1"},
      {-0.5, "0:0:0"},
      {-5.0, "0:0:-5"},  // negative but less than an hour: written as computed
      {-65.0, "0:-1:-5"},
      {-3600.0, "infinity"},
      {2147483647.0, "596523:14:7"},
      {2147483647.5, "infinity"},  // the ceiling leaves the 32-bit range
      {-2147483648.0, "infinity"},
      {inf, "infinity"},
      {-inf, "infinity"},
      {std::nan(""), "infinity"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_duration(c.seconds), c.text) << c.seconds;
}

SearchState statistics_state() {
  SearchState s;
  s.counts.traces = 6;
  s.counts.terminal_traces = 4;
  s.counts.max_node_id = 41;
  s.starting_count = 3;
  s.initial_branching = {1.0, 0.0, 2.0};
  s.trace_lengths = {6, 6, 5};
  s.counts.children_total = 34;
  s.counts.expanded_nodes = 21;
  s.counts.max_branching = 2;
  s.counts.min_branching = 1;
  s.counts.attacks = 2;
  s.times.join_time = 1.5;
  s.times.search_time = 12.0;
  s.times.verify_time = 2.0;
  return s;
}

std::string statistics(const SearchState& s) {
  std::ostringstream os;
  search::print_statistics(os, s);
  return os.str();
}

TEST(PrintStatistics, WholeBlock) {
  EXPECT_EQ(statistics(statistics_state()),
            "\n\n--------------------------------------------\n"
            "Total traces: 6\n"
            "Total terminal traces: 4\n"
            "Total nodes: 41\n"
            "Total starting nodes: 3\n"
            "Total pruned starting nodes: 1\n"
            "\nTotal time: 0:0:14\n"
            "Search time: 0:0:10\n"
            "Join time: 0:0:2\n"
            "Verify time: 0:0:2\n"
            "\nnode/s: 4\n"
            "trace/s: 0\n"
            "verification/s: 2\n"
            "branching factor: 1.61904761905, (34/21)\n"
            "max branching factor: 2\n"
            "min branching factor: 1\n"
            "initial branching factors: 1 0 2 \n"
            "\ntrace length: 6 6 5 \n"
            "\n"
            "\nNumber of attacks: 2\n"
            "--------------------------------------------\n");
}

// The text of one statistics line, found by its title.
std::string line_of(const std::string& block, const std::string& title) {
  const auto start = block.find(title);
  if (start == std::string::npos) return "<missing>";
  return block.substr(start, block.find('\n', start) - start);
}

TEST(PrintStatistics, RatesWithoutMeasuredTimeAreZero) {
  SearchState s = statistics_state();
  s.times.search_time = 0.0;
  s.times.verify_time = 0.0;
  const std::string block = statistics(s);
  EXPECT_EQ(line_of(block, "node/s"), "node/s: 0");
  EXPECT_EQ(line_of(block, "trace/s"), "trace/s: 0");
  EXPECT_EQ(line_of(block, "verification/s"), "verification/s: 0");
}

TEST(PrintStatistics, RatesAreTruncated) {
  SearchState s = statistics_state();
  s.times.search_time = 3.25;
  s.times.verify_time = 0.25;  // 41 / 3 nodes, 6 / 3 traces, 4 / 0.25 verifications per second
  const std::string block = statistics(s);
  EXPECT_EQ(line_of(block, "node/s"), "node/s: 13");
  EXPECT_EQ(line_of(block, "trace/s"), "trace/s: 2");
  EXPECT_EQ(line_of(block, "verification/s"), "verification/s: 16");
}

TEST(PrintStatistics, BranchingFactorForms) {
  struct Case {
    std::int64_t children;
    std::int64_t expanded;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0, 0, "0., (0/0)"},
      {2, 1, "2., (2/1)"},
      {5, 2, "2.5, (5/2)"},
      {1000000000000000, 1, "1e+15, (1000000000000000/1)"},
      {123456789012, 1, "123456789012., (123456789012/1)"},
      {1, 3, "0.333333333333, (1/3)"},
  };
  for (const Case& c : cases) {
    SearchState s;
    s.counts.children_total = c.children;
    s.counts.expanded_nodes = c.expanded;
    EXPECT_EQ(line_of(statistics(s), "branching factor"), "branching factor: " + c.text);
  }
}

TEST(PrintStatistics, EmptyRun) {
  SearchState s;
  s.counts.max_node_id = 1;
  const std::string block = statistics(s);
  EXPECT_EQ(line_of(block, "Total nodes"), "Total nodes: 1");
  EXPECT_EQ(line_of(block, "Total pruned"), "Total pruned starting nodes: 0");
  EXPECT_EQ(line_of(block, "initial branching factors"), "initial branching factors: ");
  EXPECT_EQ(line_of(block, "min branching factor"), "min branching factor: 0");
}

const std::string kBack(63, '\b');

TEST(ProgressText, EstimateFromTheBranchingOfTheRemainingSubtrees) {
  SearchState s;
  s.counts.max_node_id = 10;
  s.starting_count = 3;
  s.subtree_index = 1;
  s.counts.children_total = 2;  // a branching factor of 2
  s.counts.expanded_nodes = 1;
  s.initial_branching = {5.0, 1.0, 1.0};
  s.trace_lengths = {9, 3, 2};
  // estimate = 10 + 1 * 2^3 + 1 * 2^2 = 22; 10 / 22 = 45.45 %
  // remaining = 100 * 9 / 45.45 - 9 = 10.8
  EXPECT_EQ(search::progress_text(s, 9.0),
            kBack + "45% elapsed 0:0:9 ~ remaining 0:0:11  subtree 2/3 - S   ");
}

TEST(ProgressText, VerificationMarkAndEmptyEstimate) {
  SearchState s;
  s.counts.max_node_id = 7;
  s.subtree_index = -1;  // after the last of no starting node
  s.progress.verifying = true;
  EXPECT_EQ(search::progress_text(s, 0.0),
            kBack + "100% elapsed 0:0:0 ~ remaining 0:0:0  subtree 0/0 - V   ");
}

TEST(ProgressText, HugeEstimateGivesZeroPercentAndInfiniteRemainder) {
  SearchState s;
  s.counts.max_node_id = 7;
  s.starting_count = 1;
  s.counts.children_total = 10000000000;  // a branching factor of 1e10
  s.counts.expanded_nodes = 1;
  s.initial_branching = {1.0};
  s.trace_lengths = {400};  // 1e4000 overflows
  EXPECT_EQ(search::progress_text(s, 3.0),
            kBack + "0% elapsed 0:0:3 ~ remaining infinity  subtree 1/1 - S   ");
}

TEST(ProgressText, UndefinedPercentIsWrittenZero) {
  SearchState s;
  s.counts.max_node_id = 7;
  s.starting_count = 1;
  s.counts.children_total = 10000000000;  // a branching factor of 1e10
  s.counts.expanded_nodes = 1;
  s.initial_branching = {0.0};  // 0 * infinity
  s.trace_lengths = {400};
  EXPECT_EQ(search::progress_text(s, 1.0),
            kBack + "0% elapsed 0:0:1 ~ remaining infinity  subtree 1/1 - S   ");
}

TEST(Create, KnowledgeNeedsTwoTerms) {
  struct Case {
    std::vector<Message> terms;
    std::string diagnostic;
  };
  const std::vector<Case> cases = {
      {{}, "fold2_2!\n"},
      {{agent("I", 0)}, "fold2_1!\n"},
  };
  for (const Case& c : cases) {
    try {
      search::create({}, c.terms, SearchOptions{}, std::cerr);
      ADD_FAILURE() << "no failure";
    } catch (const UtilException& e) {
      EXPECT_EQ(e.output(), c.diagnostic);
    }
  }
}

TEST(Create, RootHoldsTheInitialKnowledge) {
  SearchOptions settings;
  settings.session_size = 2;
  const SearchState s =
      search::create({}, {agent("I", 0), pub_key("I", 0), priv_key("I", 0)}, settings, std::cerr);
  ASSERT_TRUE(s.root);
  EXPECT_EQ(s.root->id(), 1);
  EXPECT_EQ(s.root->parent(), nullptr);
  EXPECT_TRUE(s.root->status().context.empty());
  EXPECT_TRUE(is_empty(s.root->status().assignment));
  const Knowledge& k = s.root->status().knowledge;
  EXPECT_EQ(k.kid(), 1);  // kid 0 is the empty knowledge it was derived from
  EXPECT_TRUE(s.core->initial_knowledge().same(k));
  EXPECT_TRUE(knows(k, agent("I", 0)));
  EXPECT_TRUE(knows(k, pub_key("I", 0)));
  EXPECT_TRUE(knows(k, priv_key("I", 0)));
  EXPECT_EQ(s.starting_count, 0);  // no principal: no session
  EXPECT_EQ(s.counts.max_node_id, 0);
}

// Two runs in one process number their nodes and knowledge sets each on its own.
TEST(Create, EachRunCountsItsOwnNodesAndKnowledge) {
  const std::vector<Message> terms = {agent("I", 0), pub_key("I", 0)};
  const SearchState first = search::create({}, terms, SearchOptions{}, std::cerr);
  const SearchState second = search::create({}, terms, SearchOptions{}, std::cerr);
  for (const SearchState* s : {&first, &second}) {
    EXPECT_EQ(s->root->id(), 1);
    EXPECT_EQ(s->root->status().knowledge.kid(), 1);
  }
}

class NoSink : public search::SegmentSink {
 public:
  void take(Segment) override { ADD_FAILURE() << "a segment was handed on"; }
};

// The hunt for a first attack is a race the threads would run differently
// each time: a threaded run that asks for it is refused, not silently searched
// without it.
TEST(RunParallel, RefusesTheHunt) {
  SearchState state;
  state.options.goal_directed = true;
  NoSink sink;
  EXPECT_THROW(
      search::run_parallel(
          state, [](std::ostream&) { return std::unique_ptr<SearchObserver>(); }, {}, sink),
      std::invalid_argument);
}

}  // namespace

}  // namespace analyser
