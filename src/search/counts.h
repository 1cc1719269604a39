// What a search counts and how long it takes, as values: the counts of pieces
// of a search (a hunt, a segment of the threaded search, a shard) add up with
// +=, and the clocks and the progress display are kept apart from them.
#pragma once

#include <cstdint>
#include <ostream>

namespace analyser {

struct SearchCounts {
  std::int64_t max_node_id = 0;      // the largest node identifier handed out
  std::int64_t traces = 0;           // leaves met
  std::int64_t terminal_traces = 0;  // final leaves met
  std::int64_t attacks = 0;          // attack sets
  std::int64_t expanded_nodes = 0;   // closed nodes that had children
  std::int64_t children_total = 0;   // their children, and the sessions below the root
  std::int64_t max_branching = 0;    // most children of a closed node
  std::int64_t min_branching = 0;    // fewest children of a closed node; 0: none seen
  std::int64_t moves_left_out = 0;   // by the symmetry reduction
  std::int64_t dead_ends = 0;        // states left out, from which no run finishes
  std::int64_t states_merged = 0;    // states met again, not searched twice

  // A closed node had children.
  void record_branching(std::int64_t children);
  // children_total / expanded_nodes; 0 before any node closed with children.
  double branching_factor() const;
  // Sums, except the extremes: the largest node identifier and branching, and
  // the smallest branching seen (0 standing for none).
  SearchCounts& operator+=(const SearchCounts& other);
  bool operator==(const SearchCounts&) const = default;
};

// Processor seconds. search_time is the instant the search started while it
// runs, its duration afterwards.
struct SearchTimes {
  double join_time = 0.0;
  double search_time = 0.0;
  double verify_time = 0.0;  // part of search_time
};

// The -f progress display: where it goes, and when it was last drawn.
struct ProgressDisplay {
  std::ostream* out = nullptr;
  double last_feedback = 0.0;  // instant of the last time-triggered display
  double last_drawn = 0.0;     // instant of the last display of any kind
  bool verifying = false;      // a verification is running: the display shows V, not S
};

}  // namespace analyser
