#include "node/node.h"

#include "utils/utils.h"

Node::Node(std::int64_t id, Status status) : status_(std::move(status)), id_(id) {}

Node::~Node() {
  NodeRef ancestor = std::move(parent_);
  while (ancestor && ancestor.use_count() == 1) {
    // Detach the next level first: destroying `ancestor` then frees one node only.
    NodeRef next = std::move(ancestor->parent_);
    ancestor = std::move(next);
  }
}

void Node::set_pending(std::vector<StepCandidate> candidates) {
  pending_ = std::move(candidates);
  pending_next_ = 0;
}

Node::Pending Node::next_pending(StepCandidate* out) {
  if (pending_next_ < pending_.size()) {
    *out = std::move(pending_[pending_next_++]);
    if (pending_next_ == pending_.size()) set_pending({});  // release the used batch
    return Pending::Candidate;
  }
  return outputs_found_ ? Pending::End : Pending::Refill;
}

NodeRef create_node(NodeIds& ids, Status status) {
  return std::make_shared<Node>(ids.next(), std::move(status));
}

void set_parent(const NodeRef& node, const NodeRef& parent) {
  node->parent_ = parent;
  ++parent->children_;
}

std::int64_t node_id(const NodeRef& node) {
  return node ? node->id() : -1;
}

bool is_final(const NodeRef& node) {
  return is_final(node->status());
}

void print_node(std::ostream& os, const NodeRef& node) {
  if (!node) {
    os << "\nNode: NULNODE\n";
    return;
  }
  os << "\n---------------------------------\nAction: ";
  print_action(os, node->action());
  os << "\n   ||\n   ||\n   \\/\n";
  os << "\n-----\nNode: id=" << node->id() << "\n-----\nSon of:" << node_id(node->parent()) << "\n";
  print_status(os, node->status());
}
