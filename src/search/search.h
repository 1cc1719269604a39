// The analysis run: the root of the state tree, the session (starting) nodes and
// their initial nodes, and the depth-first search below them, with its counters,
// clocks, progress display and statistics, and the per-leaf reports.
//
// One SearchState per run, used in this order: create, join, search, then
// print_statistics. Nodes are reachable only from the search stack and from their
// children, so memory follows the depth of the tree, not its size.
//
// Ordering invariants:
//  1. Node identifiers: the root 1, then the session nodes in session order, then
//     the two nodes of each join solution, session by session, then the search's
//     nodes as it makes them.
//  2. Kids: 0 the empty knowledge, 1 the initial one (the terms in file order,
//     paired to the right), then in creation order one per session participant,
//     per initial node and per output step.
//  3. Sessions are searched in order, the initial nodes of each in solution order,
//     each subtree depth first with the children in the step function's order.
//  4. A leaf is counted and handed on the moment it is found to have no child, so
//     traces and attacks are numbered in depth-first order.
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
  double branching_factor = 0.0;   // children_total / expanded_nodes
  std::int64_t max_branching = 0;  // most children of a closed node
  std::int64_t min_branching = 0;  // fewest children of a closed node; 0: none seen
  std::vector<std::int64_t> trace_lengths;
  std::vector<double> initial_branching;  // number of initial nodes
  std::int64_t starting_count = 0;        // sessions to try; after join: starting nodes
  std::int64_t subtree_index = 0;         // starting node being searched
  std::int64_t expanded_nodes = 0;        // closed nodes that had children
  std::int64_t children_total = 0;
  std::int64_t max_node_id = 0;
  std::int64_t traces = 0;           // leaves met
  std::int64_t terminal_traces = 0;  // final leaves met
  std::int64_t attacks = 0;
  std::int64_t moves_left_out = 0;  // by the symmetry reduction (options.symmetry_reduction)
  std::int64_t dead_ends = 0;       // states left out by options.prune_dead_ends
  NodeRef root;
  std::vector<NodeRef> starting_nodes;
  std::vector<JoinNumbering> join_numbering;
  Formula property;        // the formula file's property, as read
  Formula negated_join;    // the negated join components, as read
  LaidOutClauses formula;  // the property prepared for the session being searched
  // The run's knowledge sets with the intruder's initial knowledge, and its node
  // identifiers.
  std::unique_ptr<SymbolicCore> core;
  NodeIds node_ids;
  PrincipalPool pool;  // the role templates sessions are drawn from
  SearchOptions options;
  double join_time = 0.0;
  double search_time = 0.0;  // start instant while searching, duration afterwards
  double verify_time = 0.0;
  double last_feedback = 0.0;        // instant of the last time-triggered progress display
  double last_drawn = 0.0;           // instant of the last progress display of any kind
  bool verifying = false;            // a verification is running: the display shows V, not S
  std::ostream* feedback = nullptr;  // where -f shows progress
};

// What the search hands on for the leaves it reaches, by the options' mode. The
// analyser's driver prints everything as it comes; other front ends collect it.
class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  // Verification mode: a final leaf on which the verifier found attacks
  // (candidates is never empty); state.attacks already counts it.
  virtual void attack_found(const SearchState& state, const NodeRef& leaf,
                            const std::vector<WorkItem>& candidates) = 0;
  // Text mode: a trace to show; state.traces already counts it.
  virtual void trace_found(const SearchState& state, const NodeRef& leaf) = 0;
  // Graph mode: a leaf whose path to draw.
  virtual void graph_path_found(const NodeRef& leaf) = 0;
  // Asked before every step: true ends the whole search at once.
  virtual bool stop_requested(const SearchState&) { return false; }
};

namespace search {

// The run's state: the symbolic core with the intruder's initial knowledge (the
// terms paired right-nested, so at least two are needed) and the root node.
// principals are in reverse file order.
// With -f, the progress display goes to feedback.
SearchState create(const std::vector<Principal>& principals, const std::vector<Message>& knowledge,
                   const SearchOptions& options, std::ostream& feedback);

// Builds the starting nodes and, by solving the join formula on each, their
// initial nodes; prepares the formula for each.
void join(SearchState& state, const Formula& formula, const Formula& join_components);

// Explores the tree below every initial node depth first and hands each leaf's
// report to observer by the options' mode, after the hunt for a first attack
// when the options ask for it (search/goal.h). Returns false when the observer
// stopped the search before it was complete.
bool run(SearchState& state, SearchObserver& observer);

// The starting nodes whose join formula had no solution.
std::int64_t pruned_count(const SearchState& state);

// The statistics block of the run.
void print_statistics(std::ostream& os, const SearchState& state);

// The progress display on the feedback stream, when feedback is on. Redraws come at
// most a few times a second, so that what is written grows with time, not with
// the number of traces; the last one of a run (last_draw) is always written.
void print_progress(SearchState& state, bool last_draw = false);
// The progress display's text for the given seconds since the search began.
std::string progress_text(const SearchState& state, double elapsed);

// h:m:s of the ceiling of seconds, or "infinity" when that is not a meaningful
// non-negative number of hours.
std::string format_duration(double seconds);

// The process's processor time in seconds, and the calling thread's.
double process_seconds();
double thread_seconds();

}  // namespace search

}  // namespace analyser
