#include "node/node.h"

#include <algorithm>

#include "utils/numeral.h"
#include "utils/utils.h"

namespace analyser {

Node::Node(std::int64_t id, Status status) : status_(std::move(status)), id_(id) {}

Node::~Node() {
  utils::release_chain(std::move(parent_), [](Node& n) -> NodeRef& { return n.parent_; });
}

NodeRef create_node(NodeIds& ids, Status status) {
  return make_handle<Node>(ids.next(), std::move(status));
}

void set_parent(const NodeRef& node, const NodeRef& parent) {
  node->parent_ = parent;
  ++parent->children_;
}

NodeRef private_copy_of_path(const NodeRef& leaf, TermCopier& copier) {
  std::vector<const Node*> path;
  for (const Node* n = leaf.get(); n != nullptr; n = n->parent().get()) path.push_back(n);
  NodeRef copy;
  // A knowledge set often passes unchanged from parent to child. The original is
  // only pointed at: its handles are the other thread's to count.
  const Knowledge::Shared* original = nullptr;
  Knowledge knowledge;
  // So does a principal that does not move: its copy is shared as the original
  // is, and a principal that never moved is the same in the copy as well.
  const Context* parent_context = nullptr;
  Context parent_copy;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    const Status& s = (*it)->status();
    if (!copy || s.knowledge.data().get() != original) {
      original = s.knowledge.data().get();
      knowledge = private_copy(s.knowledge, copier);
    }
    Context context;
    for (const Principal& p : s.context) {
      const auto same = [&p](const Principal& q) { return q.same(p); };
      const auto kept = parent_context != nullptr
                            ? std::find_if(parent_context->begin(), parent_context->end(), same)
                            : s.context.end();
      context.push_back(parent_context != nullptr && kept != parent_context->end()
                            ? parent_copy[static_cast<std::size_t>(kept - parent_context->begin())]
                            : private_copy(p, copier));
    }
    parent_context = &s.context;
    parent_copy = context;
    auto node = make_handle<Node>(
        (*it)->id(), Status{std::move(context), private_copy(s.assignment, copier), knowledge});
    const Action& a = (*it)->action();
    node->set_action(Action{a.kind, a.name, a.instance, copier.copy(a.message),
                            private_copy(a.substitution, copier)});
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
