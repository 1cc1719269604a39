// The parts of the search that every search shares: the initial nodes of a
// session, the one depth-first loop below a node, and what is counted and
// handed on when a node is closed.
#pragma once

#include <cstdint>
#include <optional>
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

// Every search's one loop over sessions: the run's starting nodes in order,
// passing over those whose join has no solution. Opening a session prepares the
// run's claims for its principals; its initial nodes are made only when
// asked for, with core, so that a search may pass a session over unmade.
class SessionWalk {
 public:
  // Each opened session's claims, prepared, go to formulas.
  SessionWalk(const SearchState& run, SymbolicCore& core, std::vector<LaidOutClauses>& formulas);
  // Opens the next session with initial nodes; false after the last.
  bool open_next();
  bool is_open() const { return open_; }
  // The open session's index among the run's starting nodes.
  std::size_t index() const { return next_ - 1; }
  const InitialNodes& initial();

 private:
  const SearchState& run_;
  SymbolicCore& core_;
  std::vector<LaidOutClauses>& formulas_;
  std::size_t next_ = 0;  // the session to open next
  bool open_ = false;
  std::optional<InitialNodes> initial_;
};

// A node whose children are all made, below start: counted among the nodes that
// had children, or, when it had none, a leaf that ends a trace, counted and
// handed on as the mode asks.
void close_node(SearchState& state, const NodeRef& node, const InitialNode& start,
                SearchObserver& observer);

// One node on the stack of the depth-first search: how far the step function
// has gone through its children, how deep it lies below the initial node, and
// the segment of the threaded search that made it (-1: the join).
struct Frame {
  NodeRef node;
  StepCursor cursor;
  std::int64_t depth = 0;
  std::int64_t segment = -1;
};

// What a particular search adds to the plain depth-first loop: the hunt for a
// first attack keeps flags beside the frames and leaves out the children it
// has enough of; the threaded search's walker pauses where it cuts a chunk.
// The defaults are the plain search's.
class SearchHooks {
 public:
  virtual ~SearchHooks() = default;
  // The children of stack.back() still to come are left out.
  virtual bool enough(const std::vector<Frame>& stack);
  // child, just made below stack.back(), is where the search pauses: it is
  // handed to the caller instead of searched.
  virtual bool pause_at(const std::vector<Frame>& stack, const NodeRef& child);
  // child, just made below stack.back(), was searched already: what its
  // subtree counts is counted, and it does not go on the stack.
  virtual bool settled(const std::vector<Frame>& stack, const NodeRef& child);
  // node goes on the stack, above stack.back() unless stack is empty.
  virtual void entering(const std::vector<Frame>& stack, const NodeRef& node);
  // node, taken off the top of the stack, was closed.
  virtual void closed(const std::vector<Frame>& stack, const NodeRef& node);
};

// How a depth-first search below a node ended.
enum class SubtreeEnd {
  Done,          // every child searched
  Stopped,       // the observer asked to stop
  Paused,        // the hooks paused it at a child
  OrderMatters,  // the reduction found that it does not hold here
};

// The search's one depth-first loop: below an initial node, one child at a
// time, each node closed once its children are done, the initial node last.
// It leaves out the moves the reduction leaves out and, when asked to, the
// states from which no run can finish (search/dead_ends.h), then the children
// the hooks settle; with -f it draws the progress display now and then.
class DepthFirst {
 public:
  struct Setup {
    SearchHooks* hooks = nullptr;  // none: the plain search
    bool prune_dead_ends = false;
  };
  DepthFirst(SearchState& state, SearchObserver& observer, Setup setup);

  // Starts the search below start.node, leaving out what reduction, when given,
  // leaves out; the stack must be empty.
  void start(const InitialNode& start, Reduction* reduction = nullptr);
  // Goes on until the stack is empty or the search stops, pauses (the child in
  // *paused, which must then be given) or finds the reduction does not hold.
  SubtreeEnd run(NodeRef* paused = nullptr);
  const std::vector<Frame>& stack() const { return stack_; }
  // The segment that makes the nodes pushed from now on.
  void set_segment(std::int64_t segment) { segment_ = segment; }

 private:
  SearchState& state_;
  SearchObserver& observer_;
  Setup setup_;
  SearchHooks plain_;
  SearchHooks& hooks_;
  InitialNode start_;
  Reduction* reduction_ = nullptr;
  std::vector<Frame> stack_;
  std::int64_t segment_ = -1;
  std::uint32_t steps_ = 0;
};

// The plain depth-first search below start.node with reduction, leaving out
// dead ends and merging states (search/state_merging.h) when state's options
// say so.
SubtreeEnd search_below(SearchState& state, const InitialNode& start, SearchObserver& observer,
                        Reduction* reduction = nullptr);

}  // namespace analyser::search
