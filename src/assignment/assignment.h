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
#include "utils/prefix_store.h"
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

// The key of a binding in an assignment's store: its variable.
struct BindingKey {
  static std::size_t hash(const Binding& b) { return b.first.hash(); }
  static bool same(const Binding& a, const Binding& b) { return a.first == b.first; }
  // Prefixes up to this long are scanned; longer ones are looked up through the index.
  static constexpr std::size_t kScanLimit = 8;
};

class Assignment {
 public:
  // The bindings of a family of assignments that share their beginning: each
  // assignment is a view of a prefix of a store's bindings (see PrefixStore).
  // Composing an assignment that ends where the store ends appends to the store
  // instead of copying it: a child state extends its parent's assignment so.
  // Only a store made with room to grow counts its views and takes back the
  // bindings no live assignment sees. The index finds the first binding of each
  // variable: a variable first bound at or after the end of a prefix is not
  // bound in it. Counted without atomic operations, as terms are (see Handle): a
  // thread hands assignments to another only as private copies.
  using Store = PrefixStore<Binding, BindingKey>;

  // The empty assignment, which has no store. Inline: results of unification
  // start as one.
  Assignment() = default;
  // Exactly these bindings, in this order (not checked).
  explicit Assignment(std::vector<Binding> bindings);
  Bindings bindings() const { return view_.elements(); }
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
  // The first size bindings of store, whose variables have the bits given.
  Assignment(Handle<Store> store, std::size_t size, std::uint64_t bound_bits)
      : view_(std::move(store), static_cast<std::uint32_t>(size)), bound_bits_(bound_bits) {}
  // a followed by b: appended to a's store when it has room, otherwise in a new
  // store with room for `room` more bindings.
  static Assignment joined(const Assignment& a, const Assignment& b, std::size_t room);

  PrefixView<Store> view_;  // of no store for the empty assignment
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
