#include "verify/literal_decision.h"

#include <stdexcept>
#include <utility>

namespace analyser {

namespace {

std::vector<Assignment> equality_solutions(const Formula& literal, const TraceQueries& queries) {
  return queries.core.unify_terms(queries.status.assignment, literal.variable(), literal.term());
}

std::vector<Assignment> derivation_solutions(const Formula& literal, const TraceQueries& queries) {
  std::vector<Assignment> solutions;
  for (Candidate& c : queries.core.synthesize_term(queries.status.knowledge,
                                                   queries.status.assignment, literal.term())) {
    solutions.push_back(std::move(c.assignment));
  }
  return solutions;
}

}  // namespace

LiteralDecision decide_literal(const Formula& literal, const TraceQueries& queries) {
  switch (literal.tag()) {
    case FormulaTag::Equal:
      return {equality_solutions(literal, queries), true};
    case FormulaTag::NotEqual:
      return {equality_solutions(literal, queries), false};
    case FormulaTag::Derive:
      return {derivation_solutions(literal, queries), true};
    case FormulaTag::NotDerive:
      return {derivation_solutions(literal, queries), false};
    default:
      throw std::logic_error("a clause holds a quantifier or a connective");
  }
}

}  // namespace analyser
