#include "search/subtree.h"

#include <algorithm>
#include <cassert>

#include "search/dead_ends.h"
#include "search/statistics.h"
#include "step/join.h"

namespace analyser {

namespace search {

namespace {

void verify_and_report(SearchState& state, const NodeRef& leaf,
                       const std::vector<ConstraintStore>& stores, SearchObserver& observer) {
  // The thread's clock: with several threads the process's counts them all.
  const double start = thread_seconds();
  const std::vector<WorkItem> attacks =
      attack_search(state.formula, stores, *state.core, leaf->status());
  state.times.verify_time += thread_seconds() - start;
  if (attacks.empty()) return;
  state.counts.attacks += 1;
  observer.attack_found(state, leaf, attacks);
}

// A leaf ends a trace: count it and hand on what the mode asks for.
void report_leaf(SearchState& state, const NodeRef& leaf, const InitialNode& start,
                 SearchObserver& observer) {
  state.counts.traces += 1;
  const SearchOptions& options = state.options;
  const bool final = is_final(leaf);
  if (final) state.counts.terminal_traces += 1;
  if (!final && options.terminal_only) return;
  switch (options.mode) {
    case OutputMode::Verify:
      if (!final) return;  // only finished traces are worth verifying
      state.progress.verifying = true;
      print_progress(state);
      verify_and_report(state, leaf, *start.stores, observer);
      state.progress.verifying = false;
      print_progress(state);
      break;
    case OutputMode::Text:
      observer.trace_found(state, leaf);
      break;
    case OutputMode::Graph:
      observer.graph_path_found(leaf);
      break;
    case OutputMode::None:
      break;
  }
}

}  // namespace

InitialNodes::InitialNodes(const SearchState& state, SymbolicCore& core, std::size_t j)
    : core_(core),
      session_(state.starting_nodes[j]),
      numbering_(state.join_numbering[j]),
      solutions_(solve_join(prepare(state.negated_join, session_->status().context), core,
                            session_->status())) {
  KnowledgeManager& mgr = core.knowledge_manager();
  const auto built = static_cast<std::int64_t>(solutions_.size());
  mgr.set_last_kid(std::max(mgr.last_kid(), numbering_.last_kid + built));
}

InitialNode InitialNodes::operator[](std::size_t i) const {
  // Each solution takes kNodesPerJoinSolution identifiers and one kid.
  NodeIds ids(numbering_.last_node_id + kNodesPerJoinSolution * static_cast<std::int64_t>(i));
  KnowledgeManager& mgr = core_.knowledge_manager();
  const std::int64_t last_kid =
      mgr.set_last_kid(numbering_.last_kid + static_cast<std::int64_t>(i));
  NodeRef node = join_solution_node(core_, ids, session_, solutions_[i].assignment);
  assert(mgr.last_kid() == numbering_.last_kid + static_cast<std::int64_t>(i) + 1 &&
         "an initial node takes one kid");
  mgr.set_last_kid(last_kid);
  return InitialNode{std::move(node), solutions_[i].stores};
}

std::int64_t InitialNodes::last_node_id() const {
  return numbering_.last_node_id +
         kNodesPerJoinSolution * static_cast<std::int64_t>(solutions_.size());
}

void close_node(SearchState& state, const NodeRef& node, const InitialNode& start,
                SearchObserver& observer) {
  if (node->children() != 0) {
    state.counts.record_branching(node->children());
  } else {
    report_leaf(state, node, start, observer);
  }
}

bool search_below(SearchState& state, const InitialNode& start, SearchObserver& observer,
                  Reduction* reduction) {
  SymbolicCore& core = *state.core;
  // Each node on the stack with how far the step function has gone through its children.
  struct Frame {
    NodeRef node;
    StepCursor cursor;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{start.node, {}});
  // The clock only drives the progress display, throttled to one refresh a
  // second: it is not read without the display, and with it only every so many
  // steps, since reading the process clock costs a system call and a step far less.
  constexpr std::uint32_t kStepsPerClockReading = 256;
  std::uint32_t steps = 0;
  while (!stack.empty()) {
    if (observer.stop_requested(state)) return false;
    const bool read_clock = state.options.feedback && steps++ % kStepsPerClockReading == 0;
    const double now = read_clock ? process_seconds() : 0.0;
    Frame& top = stack.back();
    NodeRef child = step(core, state.node_ids, top.node, top.cursor, reduction);
    if (child && child->id() > state.counts.max_node_id) state.counts.max_node_id = child->id();
    if (read_clock && now - state.progress.last_feedback > 1.0) {
      state.progress.last_feedback = now;
      print_progress(state);
    }
    if (child && state.options.prune_dead_ends && cannot_finish(child->status())) {
      state.counts.dead_ends += 1;
      continue;
    }
    if (child) {
      stack.push_back(Frame{std::move(child), top.cursor.below()});
      continue;
    }
    const NodeRef done = std::move(top.node);
    stack.pop_back();
    close_node(state, done, start, observer);
  }
  return true;
}

}  // namespace search

}  // namespace analyser
