#include "assignment/assignment.h"

#include <memory>

namespace analyser {

namespace {

using Store = Assignment::Store;

// A store holding the bindings of first then those of then, with room for `room`
// more: the assignments that extend it append there.
Handle<Store> store_with_room(Bindings first, Bindings then, std::size_t room) {
  Handle<Store> store = Store::make(first.size() + then.size() + room, room != 0);
  for (const Binding& b : first) store->append(b);
  for (const Binding& b : then) store->append(b);
  return store;
}

// The value of the first binding among the first `size` of d whose variable
// satisfies is_it, among the candidates of hash.
template <typename Is>
const Message* find_binding(const Store& d, std::size_t size, std::size_t hash, Is is_it) {
  const Binding* b = d.find(static_cast<std::uint32_t>(size), hash,
                            [&is_it](const Binding& x) { return is_it(x.first); });
  return b == nullptr ? nullptr : &b->second;
}

// The value bound to t in a, or nullptr.
const Message* value_of(const Assignment& a, const Message& t) {
  if (a.is_empty()) return nullptr;
  return find_binding(a.store(), a.bindings().size(), t.hash(),
                      [&t](const Message& v) { return v == t; });
}

// The value bound to Var(v) in a for the variable v of a BindVar, or nullptr.
const Message* value_of_var(const Assignment& a, const Message& bind_var) {
  if (a.is_empty()) return nullptr;
  const VarId& v = bind_var.var();
  return find_binding(a.store(), a.bindings().size(), var_hash(bind_var),
                      [&v](const Message& x) { return x.is(Tag::Var) && x.var() == v; });
}

bool is_named(const Message& m) {
  return m.is(Tag::Gen) && (m.kind() == GenKind::Name || m.kind() == GenKind::RName);
}

// PubOf/PrivOf of x, resolved one step through lookup (t -> its value, t itself
// when unbound) and made canonical where the argument turns out to be an agent.
template <typename Lookup>
Message apply_key_of(const Lookup& lookup_value, const Message& m) {
  const Message& x = m.argument();
  const bool pub = m.is(Tag::PubOf);
  auto rebuilt = [&](const Message& r) {
    if (r.same(x)) return m;
    return pub ? pub_of(r) : priv_of(r);
  };
  if (!x.is(Tag::Var) && !x.is(Tag::Gen)) return m;
  if (x.is(Tag::Gen) && x.kind() != GenKind::Gen && x.kind() != GenKind::RGen && !is_named(x)) {
    return m;  // skey, pmkey, mpkey values are never agents
  }
  const Message& r = lookup_value(x);
  if (r.is(Tag::Agent)) return pub ? agent_pub_key(r) : agent_priv_key(r);
  if (r.is(Tag::Var)) return rebuilt(r);
  if (x.is(Tag::Var)) return r.is(Tag::Gen) ? rebuilt(r) : m;
  if (!is_named(x)) {  // x is a gen or rgen value
    return r.is(Tag::Gen) && !is_named(r) ? m : rebuilt(r);
  }
  // x is a name or rname value: a value of the same kind leaves m as it is.
  if (r.is(Tag::Gen) && r.kind() == x.kind()) return m;
  return rebuilt(r);
}

// Substitution to the fixpoint in one walk. Repeating whole passes until nothing
// changes reaches, position by position, the end of the chain of bindings that
// starts there: a position that one pass leaves alone never changes again, and
// what a pass makes of a position depends on that position only. So each
// position follows its own chain to the end, and the result is the fixpoint of
// the passes without the passes.
class Substitution {
 public:
  explicit Substitution(const Assignment& a) : a_(a), max_steps_(a.bindings().size() + 2) {}

  // top: m is the whole term (a Trick there stands for the assignment itself).
  Message resolve(const Message& m, bool top, std::size_t steps) const {
    // Holding no bound variable and no Trick, m stays as it is.
    if ((m.variable_bits() & a_.bound_bits()) == 0 && !m.has_trick()) return m;
    switch (m.tag()) {
      case Tag::Var:
      case Tag::Gen:
        return follow(m, value_of(a_, m), top, steps);
      case Tag::BindVar:
        return follow(m, value_of_var(a_, m), top, steps);
      case Tag::Enc:
      case Tag::Pair: {
        Message a = resolve(m.first(), false, steps);
        Message b = resolve(m.second(), false, steps);
        if (a.same(m.first()) && b.same(m.second())) return m;
        return m.is(Tag::Enc) ? enc(a, b) : pair(a, b);
      }
      case Tag::PubOf:
      case Tag::PrivOf: {
        const Message next = apply_key_of(
            [this](const Message& x) -> const Message& {
              const Message* value = value_of(a_, x);
              return value ? *value : x;
            },
            m);
        return follow(m, &next, top, steps);
      }
      case Tag::Trick:
        if (top) return trick({a_.bindings().begin(), a_.bindings().end()});
        throw NoMeaning();
      default:
        return m;
    }
  }

 private:
  // m was rewritten to *next (nullptr: m is left as it is).
  Message follow(const Message& m, const Message* next, bool top, std::size_t steps) const {
    if (next == nullptr || next->same(m) || *next == m) return m;
    if (steps >= max_steps_) throw CyclicBinding();
    return resolve(*next, top, steps + 1);
  }

  const Assignment& a_;
  const std::size_t max_steps_;  // no chain without a cycle is longer
};

}  // namespace

Assignment::Assignment(std::vector<Binding> bindings) : Assignment() {
  if (bindings.empty()) return;
  for (const Binding& b : bindings) bound_bits_ |= variable_bit(b.first.hash());
  Handle<Store> store = Store::make(bindings.size(), false);
  for (Binding& b : bindings) store->append(std::move(b));
  view_ = PrefixView<Store>(std::move(store), static_cast<std::uint32_t>(bindings.size()));
}

Assignment empty_assignment() {
  return Assignment();
}

Assignment assignment_of_bindings(std::vector<Binding> bindings) {
  return Assignment(std::move(bindings));
}

Bindings bindings(const Assignment& a) {
  return a.bindings();
}

bool is_empty(const Assignment& a) {
  return a.is_empty();
}

Assignment extend(const Assignment& a, const Message& variable, const Message& value) {
  if (!variable.is(Tag::Var) && !variable.is(Tag::Gen)) throw NeedVariable();
  const Message* bound = value_of(a, variable);
  if (bound != nullptr && *bound != variable) return a;
  const Binding first{variable, value};
  return Assignment(store_with_room({&first, 1}, a.bindings(), 0), a.bindings().size() + 1,
                    a.bound_bits_ | variable_bit(variable.hash()));
}

bool is_bound(const Assignment& a, const Message& v) {
  return value_of(a, v) != nullptr;
}

Message lookup(Bindings bindings, const Message& t) {
  for (const Binding& b : bindings) {
    if (b.first == t) return b.second;
  }
  return t;
}

Message apply_once(Bindings s, const Message& m) {
  if (!m.has_variables()) return m;
  switch (m.tag()) {
    case Tag::Var:
    case Tag::Gen:
      return lookup(s, m);
    case Tag::BindVar: {
      for (const Binding& b : s) {
        if (b.first.is(Tag::Var) && b.first.var() == m.var()) return b.second;
      }
      return m;
    }
    case Tag::Enc:
    case Tag::Pair: {
      Message a = apply_once(s, m.first());
      Message b = apply_once(s, m.second());
      if (a.same(m.first()) && b.same(m.second())) return m;
      return m.is(Tag::Enc) ? enc(a, b) : pair(a, b);
    }
    case Tag::PubOf:
    case Tag::PrivOf: {
      Message value;
      return apply_key_of(
          [&](const Message& x) -> const Message& {
            value = lookup(s, x);
            return value;
          },
          m);
    }
    case Tag::Trick:
      throw NoMeaning();
    default:
      return m;
  }
}

Message apply(const Assignment& a, const Message& m) {
  // The empty assignment changes nothing, but still rejects a nested Trick.
  if (a.is_empty() && !m.has_trick()) return m;
  return Substitution(a).resolve(m, true, 0);
}

void append_applied(std::string& s, const Assignment& a, const Message& m, Rendering r) {
  if (a.is_empty() && !m.has_trick()) return append_message(s, m, r);
  const Substitution substitution(a);
  const PartValue value = [&substitution](const Message& part, bool whole) {
    return substitution.resolve(part, whole, 0);
  };
  append_message(s, m, r, &value);
}

Assignment Assignment::joined(const Assignment& a, const Assignment& b, std::size_t room) {
  if (a.is_empty()) return b;
  if (b.is_empty()) return a;
  const std::size_t size = a.view_.size() + b.view_.size();
  Store& held = *a.view_.store();
  if (held.has_room_after(a.view_.size(), b.view_.size())) {
    // Nothing follows a in its store now: b goes there, where the bindings never
    // move (b may be a view of the same store), so no other prefix sees a change.
    for (const Binding& added : b.bindings()) held.append(added);
    return Assignment(a.view_.handle(), size, a.bound_bits_ | b.bound_bits_);
  }
  return Assignment(store_with_room(a.bindings(), b.bindings(), room), size,
                    a.bound_bits_ | b.bound_bits_);
}

Assignment compose(const Assignment& a, const Assignment& b) {
  return Assignment::joined(a, b, 0);
}

Assignment private_copy(const Assignment& a, TermCopier& copier) {
  if (a.is_empty()) return a;
  std::vector<Binding> copy;
  copy.reserve(a.bindings().size());
  for (const Binding& b : a.bindings())
    copy.emplace_back(copier.copy(b.first), copier.copy(b.second));
  return Assignment(std::move(copy));
}

Assignment compose_growing(const Assignment& a, const Assignment& b) {
  return Assignment::joined(a, b, a.bindings().size() + b.bindings().size());
}

std::vector<Message> vars_bound_to(const Assignment& a, const Message& value) {
  std::vector<Message> result;
  for (const Binding& b : a.bindings()) {
    if (b.second == value) result.push_back(b.first);
  }
  return result;
}

void print_assignment(std::ostream& os, const Assignment& a) {
  for (const Binding& b : a.bindings()) {
    print_message(os, b.first);
    os << " -> ";
    print_message(os, b.second);
    os << "\n";
  }
  os << " .\n";
}

std::string assignment_to_string(const Assignment& a) {
  std::string s;
  for (const Binding& b : a.bindings()) {
    s += message_to_string(b.first);
    s += " -> ";
    s += message_to_string(b.second);
    s += "\\n";
  }
  return s + "\\n";
}

}  // namespace analyser
