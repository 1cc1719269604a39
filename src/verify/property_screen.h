// A quick look at a finished run before the verifier's attack search: whether
// the property surely holds there, read from the formula itself rather than
// from its clause list. A conjunction of disjunctions over many instances (for
// all B, for all A: a_B = A implies not :> nb_B) has a clause list that grows
// exponentially with the instances; the formula grows with them, and so does
// the screen's cost.
//
// Why a "yes" is exact. Every literal of the formula is decided as the attack
// search would first decide it: its terms under the run's assignment, asked of
// the symbolic core (decide_literal). When every answer is fixed, that is, no
// solution or only solutions that bind nothing, the attack search never
// rewrites a literal and never adds a constraint, and of the branches a
// literal opens only those in which it takes that one truth value keep a store
// (excluding a solution that binds nothing leaves no store). So every literal
// is the same truth value wherever the search decides it. If the formula is
// then true, so is its disjunctive normal form, which only distributes And
// over Or: some clause has every literal true, and the search drops every item
// that gets past that clause, since an attack needs a false literal in each.
//
// Otherwise (a solution that binds something, a query the core fails on, or a
// formula that is false on the fixed values) the screen says nothing, and the
// attack search decides, exactly as without the screen.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "formula/formula.h"
#include "message/message.h"
#include "node/status.h"
#include "step/core.h"

namespace analyser {

class PropertyScreen {
 public:
  PropertyScreen() = default;  // says nothing about any run
  // expanded: a property as expand_for gives it, And and Or over literals.
  explicit PropertyScreen(const Formula& expanded);

  // True only when the attack search on the clause list of the expanded formula
  // (clause_form) finds nothing on a run that ends in status.
  bool surely_holds(SymbolicCore& core, const Status& status) const;

  // The same screen with f applied to every term of its literals: how another
  // thread gets a private copy.
  PropertyScreen with_terms(const std::function<Message(const Message&)>& f) const;

 private:
  enum class Op : std::uint8_t { Literal, True, False, And, Or };
  // Literal: operand is its index in literals_; And, Or: the number of values
  // they take from the top of the stack.
  struct Instruction {
    Op op;
    std::uint32_t operand;
  };

  void compile(const Formula& f, DistinctLiterals& distinct);
  void compile_operands(const Formula& f, FormulaTag connective, DistinctLiterals& distinct,
                        std::uint32_t& count);
  // The truth of each literal on status, when every one is fixed; false otherwise.
  bool fixed_truths(SymbolicCore& core, const Status& status, std::vector<char>& truths) const;

  std::vector<Formula> literals_;     // distinct
  std::vector<Instruction> program_;  // postfix; empty: says nothing
};

}  // namespace analyser
