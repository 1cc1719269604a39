#include "search/subtree.h"

#include <algorithm>
#include <cassert>
#include <optional>

#include "search/dead_ends.h"
#include "search/state_merging.h"
#include "search/statistics.h"
#include "step/join.h"

namespace analyser {

namespace search {

namespace {

void verify_and_report(SearchState& state, const NodeRef& leaf,
                       const std::vector<ConstraintStore>& stores, SearchObserver& observer) {
  // The thread's clock: with several threads the process's counts them all.
  const double start = thread_seconds();
  std::vector<std::vector<WorkItem>> attacks;  // per claim
  for (const LaidOutClauses& claim : state.formulas) {
    attacks.push_back(attack_search(claim, stores, *state.core, leaf->status()));
  }
  state.times.verify_time += thread_seconds() - start;
  if (std::all_of(attacks.begin(), attacks.end(),
                  [](const std::vector<WorkItem>& found) { return found.empty(); })) {
    return;
  }
  state.counts.attacks += 1;
  for (state.claim = 0; state.claim < attacks.size(); ++state.claim) {
    if (!attacks[state.claim].empty()) observer.attack_found(state, leaf, attacks[state.claim]);
  }
  state.claim = 0;
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

SessionWalk::SessionWalk(const SearchState& run, SymbolicCore& core,
                         std::vector<LaidOutClauses>& formulas)
    : run_(run), core_(core), formulas_(formulas) {}

bool SessionWalk::open_next() {
  initial_.reset();
  open_ = false;
  while (!open_ && next_ < run_.starting_nodes.size()) {
    open_ = run_.initial_branching[next_++] > 0;
  }
  if (open_)
    formulas_ = laid_out_claims(run_.claims, run_.starting_nodes[index()]->status().context);
  return open_;
}

const InitialNodes& SessionWalk::initial() {
  if (!initial_) initial_.emplace(run_, core_, index());
  return *initial_;
}

void close_node(SearchState& state, const NodeRef& node, const InitialNode& start,
                SearchObserver& observer) {
  if (node->children() != 0) {
    state.counts.record_branching(node->children());
  } else {
    report_leaf(state, node, start, observer);
  }
}

bool SearchHooks::enough(const std::vector<Frame>&) {
  return false;
}
bool SearchHooks::settled(const std::vector<Frame>&, const NodeRef&) {
  return false;
}
bool SearchHooks::pause_at(const std::vector<Frame>&, const NodeRef&) {
  return false;
}
void SearchHooks::entering(const std::vector<Frame>&, const NodeRef&) {}
void SearchHooks::closed(const std::vector<Frame>&, const NodeRef&) {}

DepthFirst::DepthFirst(SearchState& state, SearchObserver& observer, Setup setup)
    : state_(state),
      observer_(observer),
      setup_(setup),
      hooks_(setup.hooks != nullptr ? *setup.hooks : plain_) {}

void DepthFirst::start(const InitialNode& start, Reduction* reduction) {
  start_ = start;
  reduction_ = reduction;
  hooks_.entering(stack_, start.node);
  stack_.push_back(Frame{start.node, {}, 0, -1});
}

SubtreeEnd DepthFirst::run(NodeRef* paused) {
  // The clock only drives the progress display, throttled to one refresh a
  // second: it is not read without the display, and with it only every so many
  // steps, since reading the process clock costs a system call and a step far less.
  constexpr std::uint32_t kStepsPerClockReading = 256;
  while (!stack_.empty()) {
    if (observer_.stop_requested(state_)) return SubtreeEnd::Stopped;
    const bool read_clock = state_.options.feedback && steps_++ % kStepsPerClockReading == 0;
    const double now = read_clock ? process_seconds() : 0.0;
    Frame& top = stack_.back();
    NodeRef child = hooks_.enough(stack_)
                        ? nullptr
                        : step(*state_.core, state_.node_ids, top.node, top.cursor, reduction_);
    if (reduction_ != nullptr && reduction_->invalidated()) {
      return SubtreeEnd::OrderMatters;
    }
    if (child && child->id() > state_.counts.max_node_id) state_.counts.max_node_id = child->id();
    if (read_clock && now - state_.progress.last_feedback > 1.0) {
      state_.progress.last_feedback = now;
      print_progress(state_);
    }
    // A dead end is left out before a search that pauses at it could hand it on.
    if (child && setup_.prune_dead_ends && cannot_finish(child->status())) {
      state_.counts.dead_ends += 1;
      continue;
    }
    if (child && hooks_.pause_at(stack_, child)) {
      if (paused != nullptr) *paused = std::move(child);
      return SubtreeEnd::Paused;
    }
    if (child && hooks_.settled(stack_, child)) continue;
    if (child) {
      hooks_.entering(stack_, child);
      const std::int64_t depth = top.depth + 1;
      stack_.push_back(Frame{std::move(child), top.cursor.below(), depth, segment_});
      continue;
    }
    const NodeRef done = std::move(top.node);
    stack_.pop_back();
    close_node(state_, done, start_, observer_);
    hooks_.closed(stack_, done);
  }
  return SubtreeEnd::Done;
}

SubtreeEnd search_below(SearchState& state, const InitialNode& start, SearchObserver& observer,
                        Reduction* reduction) {
  std::optional<StateMerging> merging;
  // Only attacks are handed on when verifying, and merging never skips one.
  if (state.options.merge_states && state.options.mode == OutputMode::Verify) {
    merging.emplace(state, start, reduction);
  }
  DepthFirst search(state, observer,
                    {merging ? &*merging : nullptr, state.options.prune_dead_ends});
  search.start(start, reduction);
  return search.run();
}

}  // namespace search

}  // namespace analyser
