// Actions: the labels of the edges of the state tree.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "assignment/assignment.h"
#include "message/message.h"

namespace analyser {

enum class ActionKind : std::uint8_t { NoAction, In, Out, Join };

// In/Out: the principal's identity, the message (the intruder's message for an
// input, the prefix's term for an output) and the substitution found by the step.
// Join: the identity (or "Check Component"/"Close Principals" and a node id) and
// the assignment; message unused.
struct Action {
  ActionKind kind = ActionKind::NoAction;
  std::string name;
  std::int64_t instance = 0;
  Message message;
  Assignment substitution;
};

Action no_action();
Action in_action(const std::string& name, std::int64_t instance, const Message& m,
                 const Assignment& substitution);
Action out_action(const std::string& name, std::int64_t instance, const Message& m,
                  const Assignment& substitution);
Action join_action(const std::string& name, std::int64_t instance, const Assignment& a);

// Both NoAction, or both In (or both Out) with equal substituted messages.
bool equal(const Action& a, const Action& b);
// The text-trace line, ending in "\n", on os.
void print_action(std::ostream& os, const Action& a);
// The one-line graph-label form.
std::string action_to_string(const Action& a);

}  // namespace analyser
