#include "node/action.h"

#include "utils/utils.h"

namespace analyser {

namespace {

bool is_exchange(const Action& a) {
  return a.kind == ActionKind::In || a.kind == ActionKind::Out;
}

// The message as exchanged in the step: the substitution applied.
Message exchanged(const Action& a) {
  return apply(a.substitution, a.message);
}

std::string identity_text(const Action& a) {
  return a.name + "_" + std::to_string(a.instance);
}

}  // namespace

Action no_action() {
  return Action{};
}

Action in_action(const std::string& name, std::int64_t instance, const Message& m,
                 const Assignment& substitution) {
  return Action{ActionKind::In, name, instance, m, substitution};
}

Action out_action(const std::string& name, std::int64_t instance, const Message& m,
                  const Assignment& substitution) {
  return Action{ActionKind::Out, name, instance, m, substitution};
}

Action join_action(const std::string& name, std::int64_t instance, const Assignment& a) {
  return Action{ActionKind::Join, name, instance, no_message(), a};
}

bool equal(const Action& a, const Action& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == ActionKind::NoAction) return true;
  return is_exchange(a) && exchanged(a) == exchanged(b);
}

void print_action(std::ostream& os, const Action& a) {
  switch (a.kind) {
    case ActionKind::NoAction:
      os << "0\n";
      return;
    case ActionKind::Join:
      os << "Join: " << identity_text(a) << "\n";
      return;
    case ActionKind::In:
    case ActionKind::Out: {
      const char* word = a.kind == ActionKind::In ? "In(" : "Out(";
      os << identity_text(a) << ": " << word;
      print_message(os, a.message);
      os << ")  --sigma-->  " << word;
      print_message(os, exchanged(a));
      os << ")\n";
      return;
    }
  }
}

std::string action_to_string(const Action& a) {
  switch (a.kind) {
    case ActionKind::NoAction:
      return "0";
    case ActionKind::Join:
      return "J(" + a.name + "," + std::to_string(a.instance) + ")";
    case ActionKind::In:
    case ActionKind::Out:
      return identity_text(a) + (a.kind == ActionKind::In ? ": I(" : ": O(") +
             message_to_string(exchanged(a)) + ")";
  }
  return "";
}

}  // namespace analyser
