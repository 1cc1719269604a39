#include "logic/verifier.h"

#include <algorithm>
#include <optional>
#include <ranges>
#include <stdexcept>
#include <utility>

#include "logic/verifier_steps.h"
#include "step/core.h"
#include "utils/utils.h"

namespace {

bool is_truth_value(const Formula& f) {
  return f.is(FormulaTag::True) || f.is(FormulaTag::False);
}

std::vector<Assignment> equality_solutions(const Formula& literal, const TraceQueries& queries) {
  return unify_terms(queries.mgr, queries.status.assignment, literal.variable(), literal.term());
}

std::vector<Assignment> derivation_solutions(const Formula& literal, const TraceQueries& queries) {
  std::vector<Assignment> solutions;
  for (Candidate& c : synthesize_term(queries.mgr, queries.status.knowledge,
                                      queries.status.assignment, literal.term())) {
    solutions.push_back(std::move(c.assignment));
  }
  return solutions;
}

// Decides one literal that is not a truth value into e. A positive literal
// (Equal, Derive) without solution is False, a negative one (NotEqual,
// NotDerive) True; with solutions it holds or fails per branch, and the status
// tells which version the branches continue from.
void decide_literal(const Formula& literal, const TraceQueries& queries, Evaluation& e) {
  bool positive = true;
  switch (literal.tag()) {
    case FormulaTag::Equal:
      e.solutions = equality_solutions(literal, queries);
      break;
    case FormulaTag::NotEqual:
      e.solutions = equality_solutions(literal, queries);
      positive = false;
      break;
    case FormulaTag::Derive:
      e.solutions = derivation_solutions(literal, queries);
      break;
    case FormulaTag::NotDerive:
      e.solutions = derivation_solutions(literal, queries);
      positive = false;
      break;
    default:
      throw std::logic_error("a clause holds a quantifier or a connective");
  }
  if (e.solutions.empty()) {
    e.holds_literal = e.fails_literal = positive ? formula_false() : formula_true();
    e.status = EvaluationStatus::Positive;
  } else {
    e.holds_literal = formula_true();
    e.fails_literal = formula_false();
    e.status = positive ? EvaluationStatus::Positive : EvaluationStatus::Negative;
  }
}

// Keeps the consistent stores, in order, in place.
void drop_inconsistent(std::vector<ConstraintStore>& stores) {
  std::erase_if(stores, [](const ConstraintStore& s) { return !is_consistent(s); });
}

// The stores in which no solution applies: for each solution, one store per
// binding, that binding excluded (a solution without bindings leaves none).
std::vector<ConstraintStore> excluding_all(const std::vector<Assignment>& solutions,
                                           const std::vector<ConstraintStore>& stores) {
  std::vector<std::vector<Constraint>> exclusions;
  exclusions.reserve(solutions.size());
  for (const Assignment& s : solutions) exclusions.push_back(excludes_constraints(bindings(s)));
  return branch_all(exclusions, stores);
}

// For each variable bound (through the assignment) to a generated value of a
// constrained kind, the concrete values the intruder could have supplied from
// the first knowledge, as BindsTo alternatives; repeated lists removed.
std::vector<std::vector<Constraint>> generated_alternatives(const Assignment& a,
                                                            KnowledgeManager& mgr) {
  const Knowledge first_knowledge = find_knowledge(mgr, 1);
  std::vector<std::vector<Constraint>> lists;
  for (const Binding& b : bindings(a)) {
    if (!b.first.is(Tag::Var)) continue;
    const Message g = apply(a, b.first);
    if (!g.is(Tag::Gen) || g.kind() == GenKind::Gen || g.kind() == GenKind::RGen) continue;
    std::vector<Constraint> alternatives;
    for (const Candidate& c : synthesize_term(mgr, first_knowledge, a, g)) {
      alternatives.push_back({g, c.message, ConstraintKind::BindsTo});
    }
    lists.push_back(std::move(alternatives));
  }
  return utils::remove_duplicates(lists);
}

bool every_clause_false(const ClauseList& clauses) {
  return std::ranges::all_of(clauses, [](const Clause& clause) {
    return std::ranges::any_of(clause, [](const Formula& f) { return f.is(FormulaTag::False); });
  });
}

}  // namespace

Evaluation evaluate_clauses(const ClauseList& clauses, const TraceQueries& queries) {
  Evaluation e;
  for (std::size_t i = 0; i < clauses.size(); ++i) {
    for (std::size_t j = 0; j < clauses[i].size(); ++j) {
      if (is_truth_value(clauses[i][j])) continue;
      e.clause = i;
      e.literal = j;
      decide_literal(clauses[i][j], queries, e);
      return e;
    }
  }
  return e;
}

ClauseList with_decided_literal(ClauseList clauses, const Evaluation& e, const Formula& literal) {
  if (e.status != EvaluationStatus::Decided) clauses[e.clause][e.literal] = literal;
  return clauses;
}

std::optional<WorkItem> verify_step(WorkStack& stack, const TraceQueries& queries) {
  if (stack.empty()) throw StackException();
  StackedItem top = std::move(stack.back());
  stack.pop_back();
  WorkItem& item = top.item;
  if (!top.stores_checked) drop_inconsistent(item.stores);
  if (item.stores.empty()) return std::nullopt;

  const Evaluation e = evaluate_clauses(item.clauses, queries);
  if (e.status == EvaluationStatus::Decided) {
    if (item.clauses.empty()) return std::nullopt;
    return std::move(item);
  }
  if (e.solutions.empty()) {
    // Decided without branching: both versions are the same.
    item.clauses = with_decided_literal(std::move(item.clauses), e, e.holds_literal);
    stack.push_back({std::move(item), true});
    return std::nullopt;
  }

  // Branches continue from the version in which the literal holds (Positive) or
  // fails (Negative) under each solution; the other version is the item in which
  // no solution applies, explored first.
  const bool positive = e.status == EvaluationStatus::Positive;
  ClauseList holds = with_decided_literal(item.clauses, e, e.holds_literal);
  ClauseList fails = with_decided_literal(std::move(item.clauses), e, e.fails_literal);
  const ClauseList& solved = positive ? holds : fails;
  for (auto s = e.solutions.rbegin(); s != e.solutions.rend(); ++s) {
    stack.push_back({WorkItem{map_clause_terms(solved, *s), compose(item.assignment, *s),
                              add_to_all(binds_to_constraints(bindings(*s)), item.stores)}});
  }
  std::vector<ConstraintStore> excluded = excluding_all(e.solutions, item.stores);
  stack.push_back({WorkItem{positive ? std::move(fails) : std::move(holds),
                            std::move(item.assignment), std::move(excluded)}});
  return std::nullopt;
}

std::vector<WorkItem> verify(const ClauseList& clauses, const std::vector<ConstraintStore>& stores,
                             KnowledgeManager& mgr, const NodeRef& node, bool wanted) {
  const Status& status = node->status();
  const Assignment& a = status.assignment;
  ClauseList instantiated = map_clause_terms(clauses, a);
  std::vector<ConstraintStore> initial_stores =
      add_to_all(binds_to_constraints(bindings(a)), stores);
  initial_stores = branch_all(generated_alternatives(a, mgr), initial_stores);

  WorkStack stack;
  stack.push_back({WorkItem{std::move(instantiated), a, std::move(initial_stores)}});
  const TraceQueries queries{mgr, status};
  std::vector<WorkItem> results;
  while (!stack.empty()) {
    std::optional<WorkItem> result = verify_step(stack, queries);
    // Unwanted items are dropped as they come, so that they are never all kept at once.
    if (result && every_clause_false(result->clauses) == wanted && !result->stores.empty()) {
      results.push_back(std::move(*result));
    }
  }
  std::ranges::reverse(results);  // the latest discovery first
  return results;
}

std::vector<WorkItem> attack_search(const ClauseList& clauses,
                                    const std::vector<ConstraintStore>& stores,
                                    KnowledgeManager& mgr, const NodeRef& node) {
  return verify(clauses, stores, mgr, node, true);
}

std::vector<std::pair<Assignment, std::vector<ConstraintStore>>> solve_join(
    const ClauseList& clauses, KnowledgeManager& mgr, const NodeRef& node) {
  std::vector<std::pair<Assignment, std::vector<ConstraintStore>>> solutions;
  for (const WorkItem& item : verify(clauses, {ConstraintStore{}}, mgr, node, true)) {
    for (Assignment& a : stores_to_assignments(item.stores)) {
      solutions.emplace_back(std::move(a), item.stores);
    }
  }
  return solutions;
}
