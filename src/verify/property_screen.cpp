#include "verify/property_screen.h"

#include <algorithm>

#include "utils/utils.h"
#include "verify/literal_decision.h"

namespace analyser {

PropertyScreen::PropertyScreen(const Formula& expanded) {
  DistinctLiterals distinct;
  compile(expanded, distinct);
  literals_ = std::move(distinct).take();
}

void PropertyScreen::compile(const Formula& f, DistinctLiterals& distinct) {
  switch (f.tag()) {
    case FormulaTag::True:
      program_.push_back({Op::True, 0});
      return;
    case FormulaTag::False:
      program_.push_back({Op::False, 0});
      return;
    case FormulaTag::And:
    case FormulaTag::Or: {
      std::uint32_t count = 0;
      compile_operands(f, f.tag(), distinct, count);
      program_.push_back({f.is(FormulaTag::And) ? Op::And : Op::Or, count});
      return;
    }
    default:  // a literal: an expanded formula holds no quantifier and no Not
      program_.push_back({Op::Literal, distinct.index(f)});
      return;
  }
}

// A chain of one connective, (a and (b and c)), becomes one instruction of three
// operands.
void PropertyScreen::compile_operands(const Formula& f, FormulaTag connective,
                                      DistinctLiterals& distinct, std::uint32_t& count) {
  if (f.is(connective)) {
    compile_operands(f.left(), connective, distinct, count);
    compile_operands(f.right(), connective, distinct, count);
    return;
  }
  compile(f, distinct);
  ++count;
}

bool PropertyScreen::fixed_truths(SymbolicCore& core, const Status& status,
                                  std::vector<char>& truths) const {
  const TraceQueries queries{core, status};
  truths.reserve(literals_.size());
  try {
    for (const Formula& literal : literals_) {
      const LiteralDecision d =
          decide_literal(map_literal_terms(literal, status.assignment), queries);
      if (std::ranges::any_of(d.solutions, [](const Assignment& s) { return !is_empty(s); })) {
        return false;
      }
      truths.push_back(d.positive == !d.solutions.empty());
    }
  } catch (const Failure&) {
    // Left to the attack search, which fails the same way if it asks the same
    // question, and may never ask it.
    return false;
  }
  return true;
}

bool PropertyScreen::surely_holds(SymbolicCore& core, const Status& status) const {
  if (program_.empty()) return false;
  std::vector<char> truths;
  if (!fixed_truths(core, status, truths)) return false;
  std::vector<char> values;  // the stack of the postfix program
  for (const Instruction& i : program_) {
    switch (i.op) {
      case Op::Literal:
        values.push_back(truths[i.operand]);
        break;
      case Op::True:
      case Op::False:
        values.push_back(i.op == Op::True);
        break;
      case Op::And:
      case Op::Or: {
        const auto operands = values.end() - i.operand;
        const bool value = i.op == Op::And
                               ? std::all_of(operands, values.end(), [](char v) { return v != 0; })
                               : std::any_of(operands, values.end(), [](char v) { return v != 0; });
        values.erase(operands, values.end());
        values.push_back(value);
        break;
      }
    }
  }
  return values.back() != 0;
}

PropertyScreen PropertyScreen::with_terms(const std::function<Message(const Message&)>& f) const {
  PropertyScreen copy;
  copy.program_ = program_;
  copy.literals_.reserve(literals_.size());
  for (const Formula& literal : literals_) copy.literals_.push_back(map_literal_terms(literal, f));
  return copy;
}

}  // namespace analyser
