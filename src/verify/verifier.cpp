#include "verify/verifier.h"

#include <algorithm>
#include <cassert>
#include <optional>
#include <ranges>
#include <utility>

#include "utils/utils.h"
#include "verify/verifier_steps.h"

namespace analyser {

namespace {

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
// the initial knowledge, as BindsTo alternatives; repeated lists removed.
std::vector<std::vector<Constraint>> generated_alternatives(const Assignment& a,
                                                            SymbolicCore& core) {
  std::vector<std::vector<Constraint>> lists;
  for (const Binding& b : bindings(a)) {
    // A binding to a term without variables or generated values gives nothing:
    // either it is its variable's first binding, and fixes it to that term, or
    // the first binding decides, and gives the same list or none.
    if (!b.first.is(Tag::Var) || !b.second.has_variables()) continue;
    const Message g = apply(a, b.first);
    if (!g.is(Tag::Gen) || g.kind() == GenKind::Gen || g.kind() == GenKind::RGen) continue;
    std::vector<Constraint> alternatives;
    for (const Candidate& c : core.synthesize_term(core.initial_knowledge(), a, g)) {
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

LaidOutClauses::LaidOutClauses() : LaidOutClauses(ClauseList{}) {}

LaidOutClauses::LaidOutClauses(ClauseList clauses, PropertyScreen screen)
    : clauses_(std::make_shared<const ClauseList>(std::move(clauses))),
      layout_(std::make_shared<const ClauseLayout>(*clauses_)),
      screen_(std::make_shared<const PropertyScreen>(std::move(screen))) {}

LaidOutClauses laid_out_property(const Formula& property, const Context& context) {
  const Formula expanded = expand_for(property, context);
  return LaidOutClauses(clause_form(expanded), PropertyScreen(expanded));
}

std::vector<LaidOutClauses> laid_out_claims(const std::vector<Formula>& claims,
                                            const Context& context) {
  std::vector<LaidOutClauses> laid_out;
  for (const Formula& claim : claims) laid_out.push_back(laid_out_property(claim, context));
  return laid_out;
}

ClauseLayout::ClauseLayout(const ClauseList& clauses) {
  DistinctLiterals distinct;
  for (const Clause& clause : clauses) {
    for (const Formula& literal : clause) {
      if (literal.is(FormulaTag::True) || literal.is(FormulaTag::False)) {
        entry_of_slot.push_back(kNoEntry);
        written.push_back(literal.is(FormulaTag::True) ? Truth::True : Truth::False);
        continue;
      }
      entry_of_slot.push_back(distinct.index(literal));
      written.push_back(Truth::Open);
    }
    clause_end.push_back(static_cast<std::uint32_t>(entry_of_slot.size()));
    false_written.push_back(std::ranges::any_of(
        clause, [](const Formula& literal) { return literal.is(FormulaTag::False); }));
  }
  literals = std::move(distinct).take();
}

VerifierSearch::VerifierSearch(std::shared_ptr<const ClauseLayout> layout,
                               const TraceQueries& queries, bool falsifying_only,
                               bool whole_results)
    : layout_(std::move(layout)),
      queries_(queries),
      falsifying_only_(falsifying_only),
      whole_results_(whole_results) {}

void VerifierSearch::start(const Assignment& a, std::vector<ConstraintStore> stores) {
  assert(empty() && "a search starts on an empty stack");
  Item item;
  auto literals = std::make_shared<std::vector<Formula>>();
  literals->reserve(layout_->literals.size());
  for (const Formula& literal : layout_->literals) {
    literals->push_back(is_empty(a) ? literal : map_literal_terms(literal, a));
  }
  item.literals = std::move(literals);
  item.open.assign(layout_->literals.size(), 0);
  for (std::uint32_t entry : layout_->entry_of_slot) {
    if (entry != ClauseLayout::kNoEntry) item.open[entry] += 1;
  }
  item.assignment = a;
  item.stores = std::move(stores);
  top_ = std::move(item);
}

VerifierSearch::Decision::~Decision() {
  utils::release_chain(
      std::move(before), [](const Decision& d) -> auto& { return d.before; });
}

Truth VerifierSearch::cursor_truth(const Item& item) const {
  if (item.decided && item.decided->slot == item.next_slot) return item.decided->truth;
  return layout_->written[item.next_slot];
}

void VerifierSearch::record(Item& item, Truth truth) {
  item.decided = std::make_shared<const Decision>(item.next_slot, truth, std::move(item.decided));
  if (truth == Truth::False) item.false_decided = true;
}

bool VerifierSearch::advance(Item& item) const {
  const auto clauses = static_cast<std::uint32_t>(layout_->clause_end.size());
  while (item.next_clause < clauses) {
    const std::uint32_t end = layout_->clause_end[item.next_clause];
    while (item.next_slot < end && cursor_truth(item) != Truth::Open) ++item.next_slot;
    if (item.next_slot < end) return true;
    if (falsifying_only_ && !item.false_decided && !layout_->false_written[item.next_clause]) {
      return false;
    }
    ++item.next_clause;
    item.false_decided = false;
  }
  return true;
}

void VerifierSearch::decide(Item& item) {
  const std::uint32_t entry = layout_->entry_of_slot[item.next_slot];
  const LiteralDecision d = decide_literal((*item.literals)[entry], queries_);
  item.open[entry] -= 1;
  if (d.solutions.empty()) {
    record(item, d.positive ? Truth::False : Truth::True);
    item.stores_checked = true;
    top_ = std::move(item);
    return;
  }
  // The solutions continue from the version in which the literal holds
  // (positive) or fails (negative); the other version is the item in which no
  // solution applies, pushed last so that it is explored first.
  const Truth under_solution = d.positive ? Truth::True : Truth::False;
  const Truth under_none = d.positive ? Truth::False : Truth::True;
  auto from = std::make_shared<Item>(Item{item.literals, item.open, item.decided, item.next_slot,
                                          item.next_clause, item.false_decided, item.assignment,
                                          std::move(item.stores), false});
  record(*from, under_solution);
  for (auto s = d.solutions.rbegin(); s != d.solutions.rend(); ++s) {
    pending_.push_back(PendingBranch{from, *s});
  }
  record(item, under_none);
  item.stores = excluding_all(d.solutions, from->stores);
  item.stores_checked = false;
  top_ = std::move(item);
}

VerifierSearch::Item VerifierSearch::built(const PendingBranch& branch) const {
  const Item& from = *branch.from;
  Item item{{},
            from.open,
            from.decided,
            from.next_slot,
            from.next_clause,
            from.false_decided,
            // Results that come with their stores only need no assignment on the way.
            whole_results_ ? compose_growing(from.assignment, branch.solution) : Assignment(),
            add_to_all(binds_to_constraints(bindings(branch.solution)), from.stores),
            false};
  // The literals are copied only once the solution changes one of them.
  std::shared_ptr<std::vector<Formula>> changed;
  for (std::size_t e = 0; e < from.literals->size(); ++e) {
    if (from.open[e] == 0) continue;
    const Formula& literal = (*from.literals)[e];
    Formula mapped = map_literal_terms(literal, branch.solution);
    if (mapped.same(literal)) continue;
    if (!changed) changed = std::make_shared<std::vector<Formula>>(*from.literals);
    (*changed)[e] = std::move(mapped);
  }
  item.literals = changed ? std::move(changed) : from.literals;
  return item;
}

std::optional<WorkItem> VerifierSearch::step() {
  if (empty()) throw StackException();
  Item item;
  if (top_) {
    item = std::move(*top_);
    top_.reset();
  } else {
    item = built(pending_.back());
    pending_.pop_back();
  }
  if (!item.stores_checked) drop_inconsistent(item.stores);
  if (item.stores.empty()) return std::nullopt;
  if (!advance(item)) return std::nullopt;
  if (item.next_clause == layout_->clause_end.size()) {
    if (layout_->clause_end.empty()) return std::nullopt;
    if (!whole_results_) return WorkItem{{}, {}, std::move(item.stores)};
    return written_out(item);
  }
  decide(item);
  return std::nullopt;
}

WorkItem VerifierSearch::written_out(const Item& item) const {
  WorkItem written{{}, item.assignment, item.stores};
  std::vector<Truth> truths = layout_->written;
  for (const Decision* d = item.decided.get(); d; d = d->before.get()) truths[d->slot] = d->truth;
  written.clauses.reserve(layout_->clause_end.size());
  std::uint32_t slot = 0;
  for (std::uint32_t end : layout_->clause_end) {
    Clause clause;
    clause.reserve(end - slot);
    for (; slot < end; ++slot) {
      switch (truths[slot]) {
        case Truth::True:
          clause.push_back(formula_true());
          break;
        case Truth::False:
          clause.push_back(formula_false());
          break;
        case Truth::Open:
          clause.push_back((*item.literals)[layout_->entry_of_slot[slot]]);
          break;
      }
    }
    written.clauses.push_back(std::move(clause));
  }
  return written;
}

std::vector<WorkItem> VerifierSearch::items() const {
  std::vector<WorkItem> written;
  for (const PendingBranch& branch : pending_) written.push_back(written_out(built(branch)));
  if (top_) written.push_back(written_out(*top_));
  return written;
}

namespace {

// verify; without whole_results the results keep only their stores, which is
// all that solving the join needs (its clause lists are long, and its results
// are all kept at once). A run that screen settles has no result.
std::vector<WorkItem> search_results(const std::shared_ptr<const ClauseLayout>& layout,
                                     const std::vector<ConstraintStore>& stores, SymbolicCore& core,
                                     const Status& status, bool wanted, bool whole_results,
                                     const PropertyScreen* screen = nullptr) {
  const Assignment& a = status.assignment;
  // Asked of the core before the screen, so that a run the screen settles has
  // asked every question the search asks before its first literal.
  const std::vector<std::vector<Constraint>> alternatives = generated_alternatives(a, core);
  if (screen != nullptr && screen->surely_holds(core, status)) return {};
  std::vector<ConstraintStore> initial_stores =
      add_to_all(binds_to_constraints(bindings(a)), stores);
  initial_stores = branch_all(alternatives, initial_stores);

  const TraceQueries queries{core, status};
  VerifierSearch search(layout, queries, wanted, whole_results);
  search.start(a, std::move(initial_stores));
  std::vector<WorkItem> results;
  while (!search.empty()) {
    std::optional<WorkItem> result = search.step();
    // Unwanted items are dropped as they come, so that they are never all kept at once.
    // (Searching for falsifying results only, every result already has a False in
    // each clause, written out or not.)
    if (result && (!whole_results || every_clause_false(result->clauses) == wanted) &&
        !result->stores.empty()) {
      results.push_back(std::move(*result));
    }
  }
  std::ranges::reverse(results);  // the latest discovery first
  return results;
}

}  // namespace

std::vector<WorkItem> verify(const ClauseList& clauses, const std::vector<ConstraintStore>& stores,
                             SymbolicCore& core, const Status& status, bool wanted) {
  return search_results(std::make_shared<const ClauseLayout>(clauses), stores, core, status, wanted,
                        true);
}

std::vector<WorkItem> attack_search(const LaidOutClauses& clauses,
                                    const std::vector<ConstraintStore>& stores, SymbolicCore& core,
                                    const Status& status) {
  return search_results(clauses.layout(), stores, core, status, true, true, &clauses.screen());
}

std::vector<JoinSolution> solve_join(const ClauseList& clauses, SymbolicCore& core,
                                     const Status& status) {
  std::vector<JoinSolution> solutions;
  const auto layout = std::make_shared<const ClauseLayout>(clauses);
  for (WorkItem& item : search_results(layout, {ConstraintStore{}}, core, status, true, false)) {
    const auto stores =
        std::make_shared<const std::vector<ConstraintStore>>(std::move(item.stores));
    for (Assignment& a : stores_to_assignments(*stores)) {
      solutions.push_back(JoinSolution{std::move(a), stores});
    }
  }
  return solutions;
}

}  // namespace analyser
