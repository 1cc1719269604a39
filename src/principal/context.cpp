#include "principal/context.h"

#include <algorithm>
#include <iterator>

#include "utils/utils.h"

namespace analyser {

void no_principal_at(std::int64_t i) {
  // The run ends rather than reading out of range.
  if (i < 1) throw Failure("Invalid_argument(\"List.nth\")");
  throw Failure("Failure(\"nth\")");
}

Context replace_principal(const Context& c, const std::pair<Principal, Principal>& old_new) {
  const Principal& old = old_new.first;
  auto found = std::find_if(c.begin(), c.end(), [&old](const Principal& p) { return p == old; });
  Context result;
  result.reserve(c.size() + 1);
  result.push_back(old_new.second);
  result.insert(result.end(), std::make_reverse_iterator(found), c.rend());
  if (found != c.end()) result.insert(result.end(), found + 1, c.end());
  return result;
}

bool all_finished(const Context& c) {
  return std::all_of(c.begin(), c.end(), is_finished);
}

std::vector<std::int64_t> instances_named(const Context& c, const std::string& name) {
  std::vector<std::int64_t> result;
  for (const Principal& p : c) {
    if (p.name() == name) result.push_back(p.instance());
  }
  return result;
}

std::int64_t trace_length(const Context& c) {
  std::int64_t total = 0;
  for (const Principal& p : c) total += principal_max_actions(p);
  return total;
}

void print_context(std::ostream& os, const Context& c, const Assignment& a) {
  for (const Principal& p : c) {
    print_principal(os, p, a);
    os << "\n";
  }
  os << "\n";
}

std::string context_to_string(const Context& c, const Assignment& a) {
  std::string s;
  for (const Principal& p : c) {
    s += principal_to_string(p, a);
    s += "\\n";
  }
  s += "\\n";
  return s;
}

}  // namespace analyser
