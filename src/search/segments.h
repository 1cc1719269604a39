// Segments: the pieces, in depth-first order, into which a parallel or sharded
// search cuts a run, and the renumbering that joins them into the run's output.
//
// A segment is searched with provisional numbers (utils/numeral.h). It records
// its output, with markers for those numbers, and what it adds to the run's
// counts; Renumbering takes the segments in depth-first order and gives back
// exactly the output and counts of a run made in one piece.
//
// Ordering invariants:
//  1. Segment indexes follow the depth-first order of the run, from 0.
//  2. A segment refers only to numbers of its own and of segments before it.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "search/state.h"
#include "utils/numeral.h"

namespace analyser {

// What one segment adds to the run's counts.
struct Tally {
  std::array<std::int64_t, numeral::kCounters> used{};  // numbers handed out, by counter
  // Its traces, attack sets and node identifiers are the segment's provisional
  // numbers, not counts: used gives those.
  SearchCounts counts;
  double verify_time = 0.0;

  std::int64_t& operator[](numeral::Counter c) { return used[static_cast<std::size_t>(c)]; }
  std::int64_t operator[](numeral::Counter c) const { return used[static_cast<std::size_t>(c)]; }
};

// What the symmetry reduction saw in a segment below one initial node (the
// initial-th of starting node session): the moves it left out there and whether
// the order of principals mattered. Below an initial node whose search is cut
// into segments, the reduction fails to hold when both happened anywhere in
// them (see search/symmetry.h).
struct ReductionTally {
  std::int64_t session = 0;
  std::int64_t initial = 0;
  std::int64_t moves_left_out = 0;
  bool order_matters = false;
};

struct Segment {
  std::int64_t index = 0;
  std::int64_t session = 0;  // the starting node it belongs to
  std::string output;        // what the segment wrote, with markers
  // A segment with much output comes in parts: every part but the last has
  // `more` set and holds only output; the last holds the rest of it.
  bool more = false;
  Tally tally;
  // The failure that ended the run inside this segment, or none; its output
  // line may hold markers too.
  std::exception_ptr failure;
  // The segments, this one or before it, whose numbers the segments after it
  // may still print: those in which the nodes still open were made.
  std::vector<std::int64_t> live;
  // Under the symmetry reduction, one for each initial node it searched below.
  std::vector<ReductionTally> reductions;
};

// Prepares state, whose core and node identifiers carry on from the run before
// it, to search segment index: its counters start the segment's provisional
// numbers and its statistics are zero.
void begin_segment(SearchState& state, std::int64_t index);
// What state, prepared by begin_segment(state, index), searched.
Tally tally_of(const SearchState& state, std::int64_t index);

// Joins segments, handed in order from 0, into the run's output and counts.
class Renumbering {
 public:
  // Numbers carry on from the last node identifier and kid handed out before
  // the search; traces and attacks are numbered from 1.
  Renumbering(std::int64_t last_node, std::int64_t last_kid);

  // Appends the output of segment, renumbered, to out and, once its last part
  // is in, adds its counts to state. Throws the segment's failure after its
  // output, renumbered.
  void add(const Segment& segment, SearchState& state, std::string& out);
  // The symmetry reduction does not hold on the segments added so far: the run
  // is to be searched again without it.
  bool reduction_failed() const { return reduction_failed_; }

 private:
  using Values = std::array<std::int64_t, numeral::kCounters>;
  std::int64_t final_number(const numeral::Provisional& p) const;

  // The live segments, in order, with each counter's last value before them.
  std::vector<std::pair<std::int64_t, Values>> starts_;
  Values last_{};  // each counter's last value so far
  // What the reduction saw below each initial node, by (session, initial).
  std::map<std::pair<std::int64_t, std::int64_t>, ReductionTally> reductions_;
  bool reduction_failed_ = false;
};

}  // namespace analyser
