// The state of an analysis run: the root of the state tree, the session
// (starting) nodes and how the join numbered them, the property, the run's
// symbolic core and node identifiers, its counts, clocks and progress display;
// and the observer the search hands its leaves to.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "message/message.h"
#include "node/node.h"
#include "principal/principal.h"
#include "search/counts.h"
#include "search/options.h"
#include "step/core.h"
#include "verify/constraints.h"
#include "verify/verifier.h"

namespace analyser {

// A node the search starts from, with the constraint stores of the join solution
// that produced it.
struct InitialNode {
  NodeRef node;
  std::shared_ptr<const std::vector<ConstraintStore>> stores;
};

// Where the join numbered one session's initial nodes: the last node identifier
// and the last kid handed out before them.
struct JoinNumbering {
  std::int64_t last_node_id = 0;
  std::int64_t last_kid = 0;
};

// The vectors trace_lengths, initial_branching, starting_nodes and
// join_numbering are parallel: element j belongs to starting node j. The join
// counts each session's solutions and numbers their nodes, then lets them go;
// the search solves the session's join again when it gets there and rebuilds
// its initial nodes under the same numbers. Formulas are prepared for one
// session at a time too, so that memory does not grow with the number of
// sessions or of join solutions.
struct SearchState {
  SearchCounts counts;
  std::vector<std::int64_t> trace_lengths;
  std::vector<double> initial_branching;  // number of initial nodes
  std::int64_t starting_count = 0;        // sessions to try; after join: starting nodes
  std::int64_t subtree_index = 0;         // starting node being searched
  NodeRef root;
  std::vector<NodeRef> starting_nodes;
  std::vector<JoinNumbering> join_numbering;
  // What every finished run is checked against, as read: the formula file's
  // property for the analyser; for the report, its claims, each on its own.
  std::vector<Formula> claims;
  Formula negated_join;  // the negated join components, as read
  // The claims prepared for the session being searched, in the order of claims.
  std::vector<LaidOutClauses> formulas;
  // The claim that the attacks handed on at the moment violate: its index in
  // claims and formulas.
  std::size_t claim = 0;
  // The run's knowledge sets with the intruder's initial knowledge, and its node
  // identifiers.
  std::unique_ptr<SymbolicCore> core;
  NodeIds node_ids;
  PrincipalPool pool;  // the role templates sessions are drawn from
  SearchOptions options;
  SearchTimes times;
  ProgressDisplay progress;  // with -f
};

// What the search hands on for the leaves it reaches, by the options' mode. The
// analyser's driver prints everything as it comes; other front ends collect it.
class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  // Verification mode: a final leaf on which the verifier found attacks
  // (candidates is never empty) against the claim state.claim; a leaf that
  // violates several claims is handed on once for each, in claim order.
  // state.counts.attacks already counts it, once.
  virtual void attack_found(const SearchState& state, const NodeRef& leaf,
                            const std::vector<WorkItem>& candidates) = 0;
  // Text mode: a trace to show; state.counts.traces already counts it.
  virtual void trace_found(const SearchState& state, const NodeRef& leaf) = 0;
  // Graph mode: a leaf whose path to draw.
  virtual void graph_path_found(const NodeRef& leaf) = 0;
  // Asked before every step: true ends the whole search at once.
  virtual bool stop_requested(const SearchState&) { return false; }
};

}  // namespace analyser
