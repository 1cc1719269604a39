// Contexts: the principals of a state. An immutable value.
//
// Ordering invariants:
//  1. The context order is the order in which the step function visits the
//     principals (nth_principal counts from 1), in which instances_named lists
//     instances, and in which the principals are printed.
//  2. After a step the principal that moved comes first, then those before it in
//     reverse order, then those after it (replace_principal): the order changes
//     from state to state and is part of the state.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "assignment/assignment.h"
#include "principal/principal.h"

namespace analyser {

using Context = std::vector<Principal>;

// Ends the run for an index nth_principal does not have: the step function only
// asks for existing ones, so a wrong one is a bug in the caller.
[[noreturn]] void no_principal_at(std::int64_t i);

// The i-th principal, from 1. Inline: the step function asks it of every
// principal of every state.
inline const Principal& nth_principal(const Context& c, std::int64_t i) {
  if (i < 1 || i > static_cast<std::int64_t>(c.size())) no_principal_at(i);
  return c[static_cast<std::size_t>(i - 1)];
}
// new, then the elements before the first one equal to old in reverse order, then
// those after it; new followed by all of c reversed when old does not occur.
Context replace_principal(const Context& c, const std::pair<Principal, Principal>& old_new);
bool all_finished(const Context& c);
// Instance numbers of the principals named name, in context order.
std::vector<std::int64_t> instances_named(const Context& c, const std::string& name);
// Sum of the principals' maximal numbers of actions.
std::int64_t trace_length(const Context& c);
// Each principal under a, one a line, then one more "\n".
void print_context(std::ostream& os, const Context& c, const Assignment& a);
// Each principal under a followed by "\\n", then one more "\\n".
std::string context_to_string(const Context& c, const Assignment& a);

}  // namespace analyser
