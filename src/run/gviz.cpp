#include "run/gviz.h"

#include <vector>

#include "assignment/assignment.h"
#include "knowledge/knowledge.h"
#include "node/action.h"
#include "principal/context.h"
#include "utils/numeral.h"
#include "utils/utils.h"

namespace analyser {

void graph_header(std::ostream& os, const std::string& name) {
  os << "\n/*automatically generated*/\ndigraph " << name << "{\nconcentrate=true\n ";
}

void graph_footer(std::ostream& os) {
  os << "\n}\n/*end of graph*/\n";
}

std::string node_label(const Node& n, const GraphFields& fields) {
  // Inside a label a line break is the two characters backslash and n.
  std::string id;
  numeral::append(id, n.id());
  const Status& s = n.status();
  std::string label = "\n" + id + "[label=\"";
  if (fields.action) {
    label += "Action: " + action_to_string(n.action()) + "\\n\\n";
  } else {
    label += " ";
  }
  if (fields.context) {
    label += "Context:\\n------------\\n" + context_to_string(s.context, s.assignment);
  }
  if (fields.knowledge) {
    label += "Knowledge:\\n------------\\n" + knowledge_to_string(s.knowledge);
  }
  if (fields.assignment) {
    label += "Assignment:\\n------------\\n" + assignment_to_string(s.assignment);
  }
  label += "\"]\n" + id + " ";
  return label;
}

void write_path(std::ostream& os, const NodeRef& leaf, const GraphFields& fields) {
  // Collected upward and written downward: a path can be deeper than recursion allows.
  std::vector<const Node*> path;
  for (const Node* n = leaf.get(); n != nullptr; n = n->parent().get()) path.push_back(n);
  if (path.empty()) return;
  const Node& root = *path.back();
  const numeral::Numeral root_id{root.id()};
  os << root_id << node_label(root, fields) << root_id << " ";
  for (auto it = path.rbegin() + 1; it != path.rend(); ++it) {
    os << "-> " << numeral::Numeral{(*it)->id()} << node_label(**it, fields);
  }
}

}  // namespace analyser
