#include "node/node.h"

#include "utils/numeral.h"
#include "utils/utils.h"

namespace analyser {

Node::Node(std::int64_t id, Status status) : status_(std::move(status)), id_(id) {}

Node::~Node() {
  NodeRef ancestor = std::move(parent_);
  while (ancestor && ancestor.use_count() == 1) {
    // Detach the next level first: destroying `ancestor` then frees one node only.
    NodeRef next = std::move(ancestor->parent_);
    ancestor = std::move(next);
  }
}

NodeRef create_node(NodeIds& ids, Status status) {
  return std::make_shared<Node>(ids.next(), std::move(status));
}

void set_parent(const NodeRef& node, const NodeRef& parent) {
  node->parent_ = parent;
  ++parent->children_;
}

NodeRef copy_path(const NodeRef& leaf) {
  std::vector<const Node*> path;
  for (const Node* n = leaf.get(); n != nullptr; n = n->parent().get()) path.push_back(n);
  NodeRef copy;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    const Status& s = (*it)->status();
    auto node =
        std::make_shared<Node>((*it)->id(), Status{s.context, detached(s.assignment), s.knowledge});
    node->set_action((*it)->action());
    if (copy) set_parent(node, copy);
    copy = std::move(node);
  }
  return copy;
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
  os << "\n-----\nNode: id=" << numeral::Numeral{node->id()}
     << "\n-----\nSon of:" << numeral::Numeral{node_id(node->parent())} << "\n";
  print_status(os, node->status());
}

}  // namespace analyser
