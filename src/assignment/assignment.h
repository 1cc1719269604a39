// Assignments: immutable substitutions from Var and Gen terms to terms.
//
// An Assignment is an ordered sequence of bindings, the most recently added first;
// when two bindings share a variable (possible after compose) the earlier one
// wins. The sequence is shared between copies and never changed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "message/message.h"
#include "utils/utils.h"

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

class Assignment {
 public:
  // The bindings, and an index of their variables that a long list builds on its
  // first lookup so that lookups do not scan it (it never changes what they find).
  struct Data {
    std::vector<Binding> bindings;
    // Open addressing on the variable's hash, a power of two in size: each slot
    // holds 1 + the position of the first binding of a variable, or 0 when free.
    mutable std::vector<std::uint32_t> index;
  };

  // The empty assignment.
  Assignment();
  // Exactly these bindings, in this order (not checked).
  explicit Assignment(std::vector<Binding> bindings);

  const std::vector<Binding>& bindings() const { return data_->bindings; }
  bool is_empty() const { return bindings().empty(); }
  bool same(const Assignment& other) const { return data_ == other.data_; }
  const Data& data() const { return *data_; }

  friend bool operator==(const Assignment& a, const Assignment& b) {
    return a.same(b) || a.bindings() == b.bindings();
  }

 private:
  std::shared_ptr<const Data> data_;  // never null
};

Assignment empty_assignment();
Assignment assignment_of_bindings(std::vector<Binding> bindings);
const std::vector<Binding>& bindings(const Assignment& a);
bool is_empty(const Assignment& a);

// a with (var, value) in front when var is unbound in a; a unchanged otherwise.
// Throws NeedVariable unless var is a Var or a Gen term.
Assignment extend(const Assignment& a, const Message& var, const Message& value);

// The value of the first binding whose variable equals t; t itself when none.
Message lookup(const std::vector<Binding>& bindings, const Message& t);

// One substitution pass (canonicalising PubOf/PrivOf of agents).
Message apply_once(const std::vector<Binding>& bindings, const Message& m);

// m with the bindings of a applied until nothing changes. Returns the very same
// handle when nothing changes. Throws NoMeaning for a nested Trick and
// CyclicBinding when the bindings would never reach a fixpoint.
Message apply(const Assignment& a, const Message& m);

// The bindings of a followed by those of b: lookups prefer a.
Assignment compose(const Assignment& a, const Assignment& b);

// The variables of the bindings whose value equals value, in binding order.
std::vector<Message> vars_bound_to(const Assignment& a, const Message& value);

// "var -> value\n" per binding, then " .\n", on out().
void print_assignment(const Assignment& a);
// "var -> value\\n" per binding (label form), then one more "\\n".
std::string assignment_to_string(const Assignment& a);
