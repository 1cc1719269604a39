// Helpers shared by the verify tests.
#pragma once

#include "verify/constraints.h"

namespace analyser::verify_tests {

// Short names for the two kinds of constraints, for tables of expected stores.
constexpr ConstraintKind B = ConstraintKind::BindsTo;
constexpr ConstraintKind E = ConstraintKind::Excludes;

}  // namespace analyser::verify_tests
