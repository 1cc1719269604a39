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
//  5. A finished run is verified against every claim; one that violates any is
//     one attack set, handed on once per claim it violates, in claim order.
#pragma once

#include <ostream>
#include <vector>

#include "formula/formula.h"
#include "message/message.h"
#include "principal/principal.h"
#include "search/options.h"
#include "search/state.h"
#include "search/statistics.h"

namespace analyser {

namespace search {

// The run's state: the symbolic core with the intruder's initial knowledge (the
// terms paired right-nested, so at least two are needed) and the root node.
// principals are in reverse file order.
// With -f, the progress display goes to feedback.
SearchState create(const std::vector<Principal>& principals, const std::vector<Message>& knowledge,
                   const SearchOptions& options, std::ostream& feedback);

// Builds the starting nodes and, by solving the join formula on each, their
// initial nodes; prepares the formula for each. An observer, when given, is
// asked between sessions whether to stop: false then, and state holds only
// the sessions whose initial nodes were counted, none to search when the
// sessions were still being built.
bool join(SearchState& state, const Formula& formula, const Formula& join_components,
          SearchObserver* observer = nullptr);
// The same with several claims, each checked on its own on every finished run.
bool join(SearchState& state, const std::vector<Formula>& claims, const Formula& join_components,
          SearchObserver* observer = nullptr);

// How a run's search ended.
enum class RunEnd {
  Complete,
  Stopped,       // the observer stopped it before it was complete
  OrderMatters,  // the symmetry reduction does not hold: search again without it
};

// Explores the tree below every initial node depth first and hands each leaf's
// report to observer by the options' mode, after the hunt for a first attack
// when the options ask for it (search/goal.h).
RunEnd run(SearchState& state, SearchObserver& observer);

}  // namespace search

}  // namespace analyser
