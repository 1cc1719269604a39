// Names a formula uses that the protocol does not declare.
//
// A formula refers to roles by name (the role of a quantifier, the owner in
// x_A_1) and to their variables (y_i inside a quantifier over A, x_A_1). A typo
// in either is not a syntax error: the formula just speaks of something no run
// ever binds, and the verdict silently changes. These checks find such names so
// that the driver can warn about them.
#pragma once

#include <string>
#include <vector>

#include "formula/formula.h"
#include "principal/principal.h"

namespace analyser {

// An undeclared name: what is wrong, and the identifier as the formula file
// writes it ("R" for a quantified role, "bb_i" for a variable), so that a
// program can point at its first use.
enum class NameProblem { UndeclaredRole, UnboundIndex, MissingVariable };

struct NameFinding {
  NameProblem problem;
  std::string text;
  std::string identifier;
};

// One finding per undeclared name, in the order of first use in f, each naming
// the role and what it lacks: a quantified or owning role that no role of roles
// declares, an index used but bound by no quantifier, a variable its role does
// not have (its parameters and the variables its process binds).
std::vector<NameFinding> undeclared_names(const Formula& f, const std::vector<Principal>& roles);

// Whether f has a literal about the intruder's knowledge (":>").
bool speaks_of_knowledge(const Formula& f);

}  // namespace analyser
