#include "node/status.h"

namespace analyser {

Status make_status(Context context, Assignment assignment, Knowledge knowledge) {
  return Status{std::move(context), std::move(assignment), std::move(knowledge)};
}

bool is_final(const Status& s) {
  return all_finished(s.context);
}

void print_status(std::ostream& os, const Status& s) {
  os << "Status:\n{\nContext:\n";
  print_context(os, s.context, s.assignment);
  os << "\nAssignment:\n";
  print_assignment(os, s.assignment);
  os << "\nKnowledge:\n";
  print_knowledge(os, s.knowledge);
  os << "\n}\n";
}

}  // namespace analyser
