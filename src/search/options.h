// What a search is asked to do: which leaves it hands on and how, the session
// size, and whether it shows its progress.
#pragma once

#include <cstdint>

namespace analyser {

// What the search hands on for each trace it finds.
enum class OutputMode : int {
  None = -1,   // nothing: the search only counts
  Text = 0,    // -T: the trace, node by node
  Graph = 1,   // -G: the root-to-leaf path as graph edges
  Verify = 2,  // -V: the attacks found on final traces
};

struct SearchOptions {
  OutputMode mode = OutputMode::None;  // the last of -T, -G, -V wins
  bool terminal_only = false;          // -t: only final leaves are handed on
  std::int64_t session_size = 0;       // principals per session
  bool feedback = false;               // -f: progress and statistics on the feedback stream
  // Leave out the runs that differ from explored ones only by swapping two
  // interchangeable instances (see search/symmetry.h): for front ends that want
  // the distinct attacks rather than every trace. Only search::run honours it.
  bool symmetry_reduction = false;
  // Leave out states from which no run can finish (see search/dead_ends.h):
  // for front ends that look at finished runs only. The serial search honours
  // it (search::run); the parallel one is for the analyser, which never sets it.
  bool prune_dead_ends = false;
  // Search a state that another interleaving reached already only once (see
  // search/state_merging.h): for front ends that verify every finished run.
  // Only search::run honours it, in verification mode; it changes nothing the
  // search counts or reports, only how long it takes.
  bool merge_states = false;
  // Before the full search, hunt for an attack in the runs where only a few
  // principals exchange messages (see search/goal.h): for front ends that stop
  // at the first attack. Only search::run honours it.
  bool goal_directed = false;
};

}  // namespace analyser
