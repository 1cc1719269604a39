#include "run/printers.h"

#include <algorithm>

#include "assignment/assignment.h"
#include "formula/formula.h"
#include "knowledge/knowledge.h"
#include "node/action.h"
#include "principal/context.h"
#include "run/gviz.h"
#include "utils/numeral.h"
#include "verify/constraints.h"

namespace analyser {

namespace {

// The nodes from the root down to leaf.
std::vector<NodeRef> path_from_root(const NodeRef& leaf) {
  std::vector<NodeRef> path;
  for (NodeRef n = leaf; n; n = n->parent()) path.push_back(n);
  std::reverse(path.begin(), path.end());
  return path;
}

void print_intruder_line(std::ostream& os, const Action& action, const Assignment& sigma) {
  if (action.kind != ActionKind::In && action.kind != ActionKind::Out) return;
  std::string s = action.kind == ActionKind::In ? "I -> " : "";
  s += action.name;
  s += '_';
  utils::append_decimal(s, action.instance);
  s += action.kind == ActionKind::In ? ": " : " -> I: ";
  append_applied(s, sigma, action.message, Rendering::Printed);
  s += '\n';
  os << s;
}

}  // namespace

void print_trace(std::ostream& os, const SearchState& state, const NodeRef& leaf) {
  os << "\n-------\n Trace (" << numeral::Numeral{state.counts.traces}
     << ")|<<---------------------------|\n-------\n\n";
  for (const NodeRef& n : path_from_root(leaf)) print_node(os, n);
}

void print_attack(std::ostream& os, const SearchState& state, const NodeRef& leaf,
                  const std::vector<WorkItem>& candidates) {
  static const char* const kRule =
      "\n--------------------------------------------------------------\n\n";
  const auto j = static_cast<std::size_t>(state.subtree_index);
  const ClauseList& formula = state.formulas.at(state.claim).clauses();
  const Context& context = state.starting_nodes[j]->status().context;
  const std::vector<NodeRef> path = path_from_root(leaf);
  os << "  ATTACK SET " << numeral::Numeral{state.counts.attacks} << kRule;
  for (const WorkItem& candidate : candidates) {
    os << "Violated Constraints:\n";
    for (const Formula& literal : violated_literals(formula, candidate.clauses)) {
      print_formula(os, literal);
      os << "\n";
    }
    os << "\n";
    const std::vector<Assignment> sigmas = stores_to_assignments(candidate.stores);
    const std::vector<std::vector<ConstraintStore>> models = singletons(candidate.stores);
    for (std::size_t i = 0; i < std::min(sigmas.size(), models.size()); ++i) {
      const Assignment& sigma = sigmas[i];
      os << "\n***************\n"
         << "Context:\n";
      print_context(os, context, sigma);
      os << "Knowledge:\n";
      print_knowledge(os, leaf->status().knowledge, sigma);
      os << "\nModel:\n";
      print_model(os, models[i]);
      os << "Intruder:\n";
      for (std::size_t k = 1; k < path.size(); ++k)
        print_intruder_line(os, path[k]->action(), sigma);
    }
    os << "\n"
       << "\n***************\n";
  }
  os << "\n" << kRule;
  os.flush();
}

void ReportPrinter::attack_found(const SearchState& state, const NodeRef& leaf,
                                 const std::vector<WorkItem>& candidates) {
  print_attack(os_, state, leaf, candidates);
}

void ReportPrinter::trace_found(const SearchState& state, const NodeRef& leaf) {
  print_trace(os_, state, leaf);
}

void ReportPrinter::graph_path_found(const NodeRef& leaf) {
  write_path(os_, leaf, fields_);
}

}  // namespace analyser
