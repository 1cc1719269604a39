// Constraint stores: the bindings a verification requires (BindsTo, "->") and
// forbids (Excludes, "\>"), closed under chaining; a sequence of stores is read as
// alternatives.
//
// Ordering invariants:
//  1. A store lists its constraints most recently added first. Adding c adds c,
//     then depth first what chaining derives (the last derived first); a
//     constraint the store already holds is not added again.
//  2. add_to_all adds from the last constraint to the first; branch keeps stores
//     outermost; branch_all branches over the last list first.
//  3. print_model prints the stores in order, each arranged with utils::group,
//     not a sort: exclusions and smaller variable keys move forward only as far
//     as group's rule takes them.
//  4. is_consistent sorts by hash only to answer yes or no; no store is reordered.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "assignment/assignment.h"
#include "message/message.h"

namespace analyser {

enum class ConstraintKind : std::uint8_t { BindsTo, Excludes };

struct Constraint {
  Message variable;
  Message term;
  ConstraintKind kind = ConstraintKind::BindsTo;

  friend bool operator==(const Constraint&, const Constraint&) = default;
};

// Most recently added first, closed under chaining.
using ConstraintStore = std::vector<Constraint>;

// (variable of c1, term of c2) when c2's variable is c1's term and they are not
// both Excludes: BindsTo for two BindsTo, Excludes for one of each; c1 otherwise.
Constraint compose_constraints(const Constraint& c1, const Constraint& c2);
// The constraints derived from adding c to store.
std::vector<Constraint> chain(const ConstraintStore& store, const Constraint& c);
ConstraintStore add_constraint(const ConstraintStore& store, const Constraint& c);
// Every constraint added to every store (from the last constraint to the first).
std::vector<ConstraintStore> add_to_all(const std::vector<Constraint>& constraints,
                                        const std::vector<ConstraintStore>& stores);
// One store per (store, alternative) pair, stores outermost.
std::vector<ConstraintStore> branch(const std::vector<ConstraintStore>& stores,
                                    const std::vector<Constraint>& alternatives);
// branch once per list, the last list first.
std::vector<ConstraintStore> branch_all(const std::vector<std::vector<Constraint>>& lists,
                                        const std::vector<ConstraintStore>& stores);
bool is_consistent(const ConstraintStore& store);
std::vector<ConstraintStore> consistent_stores(const std::vector<ConstraintStore>& stores);
// Each store's BindsTo constraints as an assignment, store order kept.
std::vector<Assignment> stores_to_assignments(const std::vector<ConstraintStore>& stores);
std::vector<Constraint> binds_to_constraints(Bindings pairs);
std::vector<Constraint> excludes_constraints(Bindings pairs);
// Each store as a sequence of one store.
std::vector<std::vector<ConstraintStore>> singletons(const std::vector<ConstraintStore>& stores);
// Every store, arranged by kind and variable, on os.
void print_model(std::ostream& os, const std::vector<ConstraintStore>& stores);

}  // namespace analyser
