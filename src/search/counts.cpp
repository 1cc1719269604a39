#include "search/counts.h"

#include <algorithm>

namespace analyser {

void SearchCounts::record_branching(std::int64_t children) {
  max_branching = std::max(max_branching, children);
  if (children < min_branching || min_branching == 0) min_branching = children;
  children_total += children;
  expanded_nodes += 1;
}

double SearchCounts::branching_factor() const {
  if (expanded_nodes == 0) return 0.0;
  return static_cast<double>(children_total) / static_cast<double>(expanded_nodes);
}

SearchCounts& SearchCounts::operator+=(const SearchCounts& other) {
  max_node_id = std::max(max_node_id, other.max_node_id);
  traces += other.traces;
  terminal_traces += other.terminal_traces;
  attacks += other.attacks;
  expanded_nodes += other.expanded_nodes;
  children_total += other.children_total;
  max_branching = std::max(max_branching, other.max_branching);
  if (other.min_branching != 0 && (min_branching == 0 || other.min_branching < min_branching)) {
    min_branching = other.min_branching;
  }
  moves_left_out += other.moves_left_out;
  dead_ends += other.dead_ends;
  states_merged += other.states_merged;
  return *this;
}

}  // namespace analyser
