// Assignments: immutable substitutions from Var and Gen terms to terms.
//
// An Assignment is an ordered sequence of bindings, shared between copies and
// never changed.
//
// Ordering invariants:
//  1. extend puts its binding in front; compose(a, b) lists a's bindings, then
//     b's (a child state's assignment is its parent's followed by the step's).
//  2. When two bindings share a variable (possible after compose), the earlier
//     one wins in every lookup and substitution.
//  3. Printing and vars_bound_to follow binding order. The hash index of a store
//     only finds a variable's first binding and never decides an order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "message/message.h"
#include "utils/utils.h"

namespace analyser {

// "Assignment.NeedVariable": extend with something that is not a Var or Gen term.
class NeedVariable : public Failure {
 public:
  NeedVariable() : Failure("Assignment.NeedVariable") {}
};

// "Assignment.NoMeaning": a Trick below the top of a term being substituted.
class NoMeaning : public Failure {
 public:
  NoMeaning() : Failure("Assignment.NoMeaning") {}
};

// "Assignment.CyclicBinding": a variable bound, directly or through a chain, to a
// term that contains it; substituting it would never end.
class CyclicBinding : public Failure {
 public:
  CyclicBinding() : Failure("Assignment.CyclicBinding") {}
};

// A read-only view of the bindings of an assignment, in order.
using Bindings = std::span<const Binding>;

class Assignment {
 public:
  // The bindings of a family of assignments that share their beginning: each
  // assignment is a prefix of the store's bindings. Composing an assignment that
  // ends where the store ends appends to the store instead of copying it (a child
  // state extends its parent's assignment so), and within the capacity reserved
  // at creation only: the bindings never move, so views of shorter prefixes stay
  // valid and unchanged. The index lists the first binding of each variable, so
  // that it serves every prefix: a variable first bound at or after the end of a
  // prefix is not bound in it.
  //
  // A store with room to grow also counts the live assignments by their size,
  // so that the bindings no live assignment sees any more are taken back: in a
  // depth-first search the first child of a state appends to its parent's
  // store, and once its subtree is done, the next child appends in the same room
  // instead of copying the store.
  //
  // A store is one allocation, its bindings right behind it (then the counts by
  // size), and counts its handles without atomic operations, as terms do (see
  // TermPtr): a thread hands assignments to another only as private copies.
  struct alignas(Binding) Store {
    std::uint32_t handles = 0;       // the assignments that hold it
    std::uint32_t size = 0;          // the bindings made, from the first
    std::uint32_t capacity = 0;      // the room for bindings, fixed at creation
    std::uint32_t* views = nullptr;  // by size, the live assignments; none without room
    // Open addressing on the variable's hash, a power of two in size: each slot
    // holds 1 + the position of the first binding of a variable, or 0 when free.
    // Built on the first lookup in a long prefix, extended as the store grows.
    mutable std::vector<std::uint32_t> index;
    mutable std::size_t indexed = 0;  // bindings entered in the index

    Binding* bindings() { return reinterpret_cast<Binding*>(this + 1); }
    const Binding* bindings() const { return reinterpret_cast<const Binding*>(this + 1); }
  };

  // The empty assignment, which has no store. Inline: results of unification
  // start as one.
  Assignment() = default;
  // Exactly these bindings, in this order (not checked).
  explicit Assignment(std::vector<Binding> bindings);
  Bindings bindings() const {
    return view_.store() == nullptr ? Bindings()
                                    : Bindings(view_.store()->bindings(), view_.size());
  }
  bool is_empty() const { return view_.size() == 0; }
  // A filter of the variables bound: the variable_bit of each binding's
  // variable. A term whose variable_bits miss it holds no bound variable.
  std::uint64_t bound_bits() const { return bound_bits_; }
  bool same(const Assignment& other) const {
    return view_.store() == other.view_.store() && view_.size() == other.view_.size();
  }
  const Store& store() const { return *view_.store(); }  // not for the empty assignment

  friend bool operator==(const Assignment& a, const Assignment& b) {
    return a.same(b) || std::ranges::equal(a.bindings(), b.bindings());
  }
  friend Assignment compose(const Assignment& a, const Assignment& b);
  friend Assignment compose_growing(const Assignment& a, const Assignment& b);
  friend Assignment extend(const Assignment& a, const Message& var, const Message& value);

 private:
  // A counted handle on the first `size` bindings of a store; the last handle
  // on a store destroys it.
  class View {
   public:
    View() = default;
    View(Store* store, std::size_t size) : store_(store), size_(size) { hold(); }
    View(const View& other) : store_(other.store_), size_(other.size_) { hold(); }
    View(View&& other) noexcept
        : store_(std::exchange(other.store_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    View& operator=(View other) noexcept {
      std::swap(store_, other.store_);
      std::swap(size_, other.size_);
      return *this;
    }
    ~View() {
      if (store_ != nullptr) release();
    }
    Store* store() const { return store_; }
    std::size_t size() const { return size_; }

   private:
    void hold() const {
      if (store_ == nullptr) return;
      ++store_->handles;
      if (store_->views != nullptr) ++store_->views[size_];
    }
    void release() const;

    Store* store_ = nullptr;
    std::size_t size_ = 0;
  };

  // The first size bindings of store, whose variables have the bits given.
  Assignment(Store* store, std::size_t size, std::uint64_t bound_bits)
      : view_(store, size), bound_bits_(bound_bits) {}
  // a followed by b: appended to a's store when it has room, otherwise in a new
  // store with room for `room` more bindings.
  static Assignment joined(const Assignment& a, const Assignment& b, std::size_t room);

  View view_;  // of no store for the empty assignment
  std::uint64_t bound_bits_ = 0;
};

Assignment empty_assignment();
Assignment assignment_of_bindings(std::vector<Binding> bindings);
Bindings bindings(const Assignment& a);
bool is_empty(const Assignment& a);

// a with (var, value) in front when var is unbound in a; a unchanged otherwise.
// Throws NeedVariable unless var is a Var or a Gen term.
Assignment extend(const Assignment& a, const Message& var, const Message& value);

// Whether a has a binding for variable v.
bool is_bound(const Assignment& a, const Message& v);

// The value of the first binding whose variable equals t; t itself when none.
Message lookup(Bindings bindings, const Message& t);

// One substitution pass (canonicalising PubOf/PrivOf of agents).
Message apply_once(Bindings bindings, const Message& m);

// m with the bindings of a applied until nothing changes. Returns the very same
// handle when nothing changes. Throws NoMeaning for a nested Trick and
// CyclicBinding when the bindings would never reach a fixpoint.
Message apply(const Assignment& a, const Message& m);
// Appends the rendering of apply(a, m) to s without building it; throws as apply.
void append_applied(std::string& s, const Assignment& a, const Message& m, Rendering r);

// The bindings of a followed by those of b: lookups prefer a.
Assignment compose(const Assignment& a, const Assignment& b);

// a's bindings, copied by copier, in a store of its own: assignments extend
// their store in place, so one handed to another thread must not share it.
Assignment private_copy(const Assignment& a, TermCopier& copier);
// compose(a, b) for an assignment that will be extended again and again, as a
// state's is by the states below it: when it needs a new store, that store gets
// room for as many bindings again, so that the extensions append in place.
Assignment compose_growing(const Assignment& a, const Assignment& b);

// The variables of the bindings whose value equals value, in binding order.
std::vector<Message> vars_bound_to(const Assignment& a, const Message& value);

// "var -> value\n" per binding, then " .\n", on os.
void print_assignment(std::ostream& os, const Assignment& a);
// "var -> value\\n" per binding (label form), then one more "\\n".
std::string assignment_to_string(const Assignment& a);

}  // namespace analyser
