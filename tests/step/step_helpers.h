// Helpers shared by the step tests.
#pragma once

#include <string>
#include <vector>

#include "principal/context.h"

namespace analyser::step_tests {

// The identity of a variable as the parser reads it, before instantiation.
inline VarId parsed(const std::string& name) {
  return VarId{name, "", 0};
}

// The principals of c as name_instance, in context order.
inline std::vector<std::string> identities(const Context& c) {
  std::vector<std::string> result;
  for (const Principal& p : c) result.push_back(p.name() + "_" + std::to_string(p.instance()));
  return result;
}

}  // namespace analyser::step_tests
