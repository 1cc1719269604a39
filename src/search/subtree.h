// The parts of the search that the serial run and the parallel one share: the
// initial nodes of a session, the depth-first search below a node, and what is
// counted and handed on when a node is closed.
#pragma once

#include <cstdint>
#include <vector>

#include "search/state.h"
#include "step/step.h"

namespace analyser::search {

// The initial nodes of starting node j, built with core and numbered as the
// join numbered them. The join's solutions are kept, and each node is built only
// when it is asked for, so that a session's initial nodes are not all held at
// once. Making it sets core's kid counter past the kids of every one of them.
class InitialNodes {
 public:
  InitialNodes(const SearchState& state, SymbolicCore& core, std::size_t j);
  std::size_t size() const { return solutions_.size(); }
  // Initial node i, under the identifiers and the kid the join gave it.
  InitialNode operator[](std::size_t i) const;
  // The last identifier of the last initial node.
  std::int64_t last_node_id() const;

 private:
  SymbolicCore& core_;
  NodeRef session_;
  JoinNumbering numbering_;
  std::vector<JoinSolution> solutions_;
};

// A node whose children are all made, below start: counted among the nodes that
// had children, or, when it had none, a leaf that ends a trace, counted and
// handed on as the mode asks.
void close_node(SearchState& state, const NodeRef& node, const InitialNode& start,
                SearchObserver& observer);

// The depth-first search below start.node, one child at a time, start.node
// itself closed last, leaving out the moves reduction leaves out. Returns false
// when the observer stopped it.
bool search_below(SearchState& state, const InitialNode& start, SearchObserver& observer,
                  Reduction* reduction = nullptr);

}  // namespace analyser::search
