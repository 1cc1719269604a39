// Nodes: the states of the explored tree, the only mutable records of a run.
//
// A node links to its parent only, never to its children: it lives while it is on
// the search stack or is the parent of a live node, so memory follows the depth of
// the search. Identifiers come from one run-wide counter: the first node has id 1.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "node/action.h"
#include "node/status.h"
#include "principal/context.h"

// A candidate child computed by the step function: the principal as the context
// holds it, the action, and the principal with its process advanced.
struct StepCandidate {
  Principal before;
  Action action;
  Principal after;
};

class Node;
using NodeRef = std::shared_ptr<Node>;  // nullptr is the null node

// The identifiers of one run's nodes, handed out in creation order from 1.
class NodeIds {
 public:
  std::int64_t next() { return ++last_; }

 private:
  std::int64_t last_ = 0;  // the last identifier handed out
};

class Node {
 public:
  Node(std::int64_t id, Status status);
  // Releases a long chain of ancestors owned only through this node one by one,
  // so that dropping a deep trace never recurses once per level.
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  const Status& status() const { return status_; }
  void set_status(Status s) { status_ = std::move(s); }
  const NodeRef& parent() const { return parent_; }
  const Action& action() const { return action_; }
  void set_action(Action a) { action_ = std::move(a); }
  std::int64_t children() const { return children_; }
  std::int64_t id() const { return id_; }

  // Step-function bookkeeping.
  std::int64_t phase_index() const { return phase_index_; }
  void set_phase_index(std::int64_t i) { phase_index_ = i; }
  void set_pending(std::vector<StepCandidate> candidates);
  void mark_outputs_found() { outputs_found_ = true; }
  bool output_phase() const { return output_phase_; }
  void end_output_phase() { output_phase_ = false; }

  // Join-function bookkeeping.
  std::int64_t join_index() const { return join_index_; }
  void set_join_index(std::int64_t i) { join_index_ = i; }

  friend void set_parent(const NodeRef& node, const NodeRef& parent);

  // What next_pending found.
  enum class Pending { Candidate, Refill, End };
  // Removes the first pending candidate into *out; Refill when none is pending and
  // no outputs were found, End when none is pending but outputs were found.
  Pending next_pending(StepCandidate* out);

 private:
  Status status_;
  std::int64_t phase_index_ = 0;  // 1-based principal computed last; -1 when exhausted
  std::int64_t join_index_ = 0;   // next session to build; -1 when exhausted
  NodeRef parent_;                // owning link upward
  Action action_;                 // the action that led here
  std::vector<StepCandidate> pending_;
  std::size_t pending_next_ = 0;  // first candidate of pending_ not yet taken
  bool outputs_found_ = false;
  bool output_phase_ = true;
  std::int64_t children_ = 0;
  std::int64_t id_;
};

// A node with the next identifier of ids.
NodeRef create_node(NodeIds& ids, Status status);
// Links node below parent and counts it among parent's children.
void set_parent(const NodeRef& node, const NodeRef& parent);
std::int64_t node_id(const NodeRef& node);  // -1 for the null node
bool is_final(const NodeRef& node);
// The text-trace form of one node (or "\nNode: NULNODE\n"), on os.
void print_node(std::ostream& os, const NodeRef& node);
