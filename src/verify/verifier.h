// The verifier: decides a clause list on the state a trace ends in, in every
// consistent way that state allows, with an explicit stack of work items, and
// returns the ways that give the wanted outcome.
//
// Ordering invariants:
//  1. Literals are decided one at a time, clause after clause, left to right.
//  2. A literal with solutions splits the item: the branch in which none applies
//     is explored first, then one branch per solution, in the symbolic core's order.
//  3. The starting stores are the given ones with the trace's bindings added,
//     branched (branch_all) over the concrete values of each constrained
//     generated value.
//  4. Results are returned in reverse order of discovery: the order of the
//     candidates of an attack report and, store by store, of the join solutions.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "formula/formula.h"
#include "node/status.h"
#include "principal/context.h"
#include "step/core.h"
#include "verify/constraints.h"
#include "verify/property_screen.h"

namespace analyser {

struct ClauseLayout;  // verifier_steps.h

// A clause list laid out once for the verifier: a session's property is decided
// on every finished run of the session. Prepared from the property's formula, it
// keeps that formula's screen too (verify/property_screen.h).
class LaidOutClauses {
 public:
  LaidOutClauses();  // no clause
  explicit LaidOutClauses(ClauseList clauses, PropertyScreen screen = {});

  const ClauseList& clauses() const { return *clauses_; }
  const std::shared_ptr<const ClauseLayout>& layout() const { return layout_; }
  const PropertyScreen& screen() const { return *screen_; }

 private:
  std::shared_ptr<const ClauseList> clauses_;
  std::shared_ptr<const ClauseLayout> layout_;
  std::shared_ptr<const PropertyScreen> screen_;
};

// The property prepared for the finished runs of a session whose principals are
// context: its clause list (prepare) and its screen.
LaidOutClauses laid_out_property(const Formula& property, const Context& context);
// Each of several properties (claims) laid out so, in order.
std::vector<LaidOutClauses> laid_out_claims(const std::vector<Formula>& claims,
                                            const Context& context);

struct WorkItem {
  ClauseList clauses;  // decided literals replaced by True or False
  Assignment assignment;
  std::vector<ConstraintStore> stores;
};

// The result items (every literal decided) whose clauses all contain False when
// wanted is true, or not, when wanted is false; items without stores are dropped.
// Results come in reverse order of discovery.
std::vector<WorkItem> verify(const ClauseList& clauses, const std::vector<ConstraintStore>& stores,
                             SymbolicCore& core, const Status& status, bool wanted);
// verify with wanted true: every way of making every clause false. A run on
// which the clauses' screen finds that the property surely holds has none and
// is not searched.
std::vector<WorkItem> attack_search(const LaidOutClauses& clauses,
                                    const std::vector<ConstraintStore>& stores, SymbolicCore& core,
                                    const Status& status);
// One way of making the (negated join) clauses false on a session's state: the
// bindings of one store of a result item, and the item's whole stores, shared by
// the solutions of that item (an item of n stores gives n solutions).
struct JoinSolution {
  Assignment assignment;
  std::shared_ptr<const std::vector<ConstraintStore>> stores;
};
// Per result item and store, in order.
std::vector<JoinSolution> solve_join(const ClauseList& clauses, SymbolicCore& core,
                                     const Status& status);

}  // namespace analyser
