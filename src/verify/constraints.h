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

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
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

// A set of constraints closed under chaining, most recently added first. A store
// never changes; adding to it makes a new store that shares the old one's
// constraints instead of copying them, so that a verification branching
// thousands of levels deep keeps each constraint once, not once per level. Like
// terms, stores are never shared between threads: a thread hands another only
// private copies.
class ConstraintStore {
  struct Segment;

 public:
  // Goes over the constraints, most recently added first.
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Constraint;
    using difference_type = std::ptrdiff_t;
    using pointer = const Constraint*;
    using reference = const Constraint&;

    Iterator() = default;
    reference operator*() const;
    pointer operator->() const { return &**this; }
    Iterator& operator++();
    Iterator operator++(int) {
      Iterator before = *this;
      ++*this;
      return before;
    }
    friend bool operator==(const Iterator&, const Iterator&) = default;

   private:
    friend class ConstraintStore;
    explicit Iterator(const Segment* segment) : segment_(segment) {}
    const Segment* segment_ = nullptr;  // null at the end
    std::size_t index_ = 0;             // within segment_, never past its end
  };
  using const_iterator = Iterator;
  using value_type = Constraint;

  ConstraintStore() = default;
  // Exactly these constraints, the most recent first (not closed under chaining).
  ConstraintStore(std::initializer_list<Constraint> newest_first);
  explicit ConstraintStore(std::vector<Constraint> newest_first);

  // This store with added in front, the last of added the most recent.
  ConstraintStore with(std::vector<Constraint> added) const;

  Iterator begin() const { return Iterator(newest_.get()); }
  Iterator end() const { return Iterator(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  friend bool operator==(const ConstraintStore& a, const ConstraintStore& b);

 private:
  // A run of constraints added together, in front of the older ones, which are
  // shared with every store grown from them.
  struct Segment {
    Segment(std::vector<Constraint> newest_first, std::shared_ptr<const Segment> older)
        : newest_first(std::move(newest_first)), older(std::move(older)) {}
    // Unlinks the chain it alone holds one segment at a time: a long chain must
    // not be freed by recursion.
    ~Segment();
    std::vector<Constraint> newest_first;  // never empty
    mutable std::shared_ptr<const Segment> older;
  };

  ConstraintStore(std::shared_ptr<const Segment> newest, std::size_t size)
      : newest_(std::move(newest)), size_(size) {}

  std::shared_ptr<const Segment> newest_;  // null for the empty store
  std::size_t size_ = 0;
};

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
