// Nodes: the states of the explored tree, the only mutable records of a run.
//
// A node links to its parent only, never to its children: it lives while it is on
// the search stack or is the parent of a live node, so memory follows the depth of
// the search.
//
// Ordering invariants:
//  1. Identifiers come from one run-wide counter (NodeIds), handed out from 1 in
//     creation order and never reused: the first node has id 1, and the order in
//     which the run creates nodes (see search.h) fixes every identifier.
//  2. A node keeps no list of its children: their order is the order in which
//     the step function makes them; a path is the chain of parents of its leaf.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "node/action.h"
#include "node/status.h"
#include "principal/context.h"

namespace analyser {

class Node;
// nullptr is the null node. Counted without atomic operations, as terms are (see
// Handle): a thread hands nodes to another only as private copies of paths, and
// what it hands on it takes back and drops on its own turn.
using NodeRef = Handle<Node>;

// The identifiers of one run's nodes, handed out in creation order from 1.
class NodeIds {
 public:
  NodeIds() = default;
  // Identifiers after last, for nodes built again under the numbers they had.
  explicit NodeIds(std::int64_t last) : last_(last) {}
  std::int64_t next() { return ++last_; }
  std::int64_t last() const { return last_; }

 private:
  std::int64_t last_ = 0;  // the last identifier handed out
};

class Node : public Counted {
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

  friend void set_parent(const NodeRef& node, const NodeRef& parent);

 private:
  Status status_;
  NodeRef parent_;  // owning link upward
  Action action_;   // the action that led here
  std::int64_t children_ = 0;
  std::int64_t id_;
};

// A node with the next identifier of ids.
NodeRef create_node(NodeIds& ids, Status status);
// Links node below parent and counts it among parent's children.
void set_parent(const NodeRef& node, const NodeRef& parent);
// A copy of the path from the root to leaf for another thread: the same
// identifiers, states and actions, made of private copies (see TermCopier).
NodeRef private_copy_of_path(const NodeRef& leaf, TermCopier& copier);
std::int64_t node_id(const NodeRef& node);  // -1 for the null node
bool is_final(const NodeRef& node);
// The text-trace form of one node (or "\nNode: NULNODE\n"), on os.
void print_node(std::ostream& os, const NodeRef& node);

}  // namespace analyser
