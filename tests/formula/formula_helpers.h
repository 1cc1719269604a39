// Helpers shared by the formula tests.
#pragma once

#include <sstream>
#include <string>

#include "formula/formula.h"

namespace analyser::formula_tests {

// f as print_formula writes it.
inline std::string printed(const Formula& f) {
  std::ostringstream captured;
  print_formula(captured, f);
  return captured.str();
}

}  // namespace analyser::formula_tests
