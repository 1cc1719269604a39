// One literal of a clause list decided against the state a trace ends in: the
// question the verifier asks the symbolic core for every literal it meets.
#pragma once

#include <vector>

#include "assignment/assignment.h"
#include "formula/formula.h"
#include "node/status.h"
#include "step/core.h"

namespace analyser {

// What literals are decided against: the trace's status (its assignment and the
// intruder's knowledge) and the run's symbolic core.
struct TraceQueries {
  SymbolicCore& core;
  const Status& status;
};

// A positive literal (Equal, Derive) holds under each of its solutions and fails
// where none applies; a negative one (NotEqual, NotDerive) the other way round.
// Without solutions it is simply False, or True.
struct LiteralDecision {
  std::vector<Assignment> solutions;  // in the order the symbolic core found them
  bool positive = true;
};

// The literal (Equal, NotEqual, Derive or NotDerive, its terms as they stand)
// against the trace: equalities by unification, derivability by synthesis under
// the status's assignment. The same literal on the same status always gets the
// same decision. Throws std::logic_error for any other formula.
LiteralDecision decide_literal(const Formula& literal, const TraceQueries& queries);

}  // namespace analyser
