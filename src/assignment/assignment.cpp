#include "assignment/assignment.h"

namespace {
const std::shared_ptr<const std::vector<Binding>>& no_bindings() {
  static const auto empty = std::make_shared<const std::vector<Binding>>();
  return empty;
}

bool is_named(const Message& m) {
  return m.is(Tag::Gen) && (m.kind() == GenKind::Name || m.kind() == GenKind::RName);
}

// PubOf/PrivOf of x, resolved through the bindings and made canonical where the
// argument turns out to be an agent.
Message apply_key_of(const std::vector<Binding>& s, const Message& m) {
  const Message& x = m.argument();
  const bool pub = m.is(Tag::PubOf);
  auto rebuilt = [&](const Message& r) {
    if (r.same(x)) return m;
    return pub ? pub_of(r) : priv_of(r);
  };
  if (!x.is(Tag::Var) && !x.is(Tag::Gen)) return m;
  if (x.is(Tag::Gen) && x.kind() != GenKind::Gen && x.kind() != GenKind::RGen &&
      !is_named(x)) {
    return m;  // skey, pmkey, mpkey values are never agents
  }
  Message r = lookup(s, x);
  if (r.is(Tag::Agent)) return pub ? pub_key(r.name(), r.index()) : priv_key(r.name(), r.index());
  if (r.is(Tag::Var)) return rebuilt(r);
  if (x.is(Tag::Var)) return r.is(Tag::Gen) ? rebuilt(r) : m;
  if (!is_named(x)) {  // x is a gen or rgen value
    return r.is(Tag::Gen) && !is_named(r) ? m : rebuilt(r);
  }
  // x is a name or rname value: a value of the same kind leaves m as it is.
  if (r.is(Tag::Gen) && r.kind() == x.kind()) return m;
  return rebuilt(r);
}
}  // namespace

Assignment::Assignment() : bindings_(no_bindings()) {}

Assignment::Assignment(std::vector<Binding> bindings)
    : bindings_(bindings.empty() ? no_bindings()
                                 : std::make_shared<const std::vector<Binding>>(std::move(bindings))) {}

Assignment empty_assignment() { return Assignment(); }

Assignment assignment_of_bindings(std::vector<Binding> bindings) {
  return Assignment(std::move(bindings));
}

const std::vector<Binding>& bindings(const Assignment& a) { return a.bindings(); }

bool is_empty(const Assignment& a) { return a.is_empty(); }

Assignment extend(const Assignment& a, const Message& variable, const Message& value) {
  if (!variable.is(Tag::Var) && !variable.is(Tag::Gen)) throw NeedVariable();
  if (lookup(a.bindings(), variable) != variable) return a;
  std::vector<Binding> b;
  b.reserve(a.bindings().size() + 1);
  b.emplace_back(variable, value);
  b.insert(b.end(), a.bindings().begin(), a.bindings().end());
  return Assignment(std::move(b));
}

Message lookup(const std::vector<Binding>& bindings, const Message& t) {
  for (const Binding& b : bindings) {
    if (b.first == t) return b.second;
  }
  return t;
}

Message apply_once(const std::vector<Binding>& s, const Message& m) {
  if (!m.has_variables()) return m;
  switch (m.tag()) {
    case Tag::Var:
    case Tag::Gen:
      return lookup(s, m);
    case Tag::BindVar: {
      const Message v = var(m.var());
      for (const Binding& b : s) {
        if (b.first == v) return b.second;
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
    case Tag::PrivOf:
      return apply_key_of(s, m);
    case Tag::Trick:
      throw NoMeaning();
    default:
      return m;
  }
}

Message apply(const Assignment& a, const Message& m) {
  const std::vector<Binding>& s = a.bindings();
  // Without cycles every pass resolves one more link of the longest chain of
  // bindings, so a fixpoint comes within this many passes.
  const std::size_t max_passes = s.size() + 2;
  Message current = m;
  for (std::size_t pass = 0;; ++pass) {
    if (current.is(Tag::Trick)) return trick(s);
    // No shortcut for the empty assignment: its pass still rejects a nested Trick.
    Message next = apply_once(s, current);
    if (next.same(current) || next == current) return current;
    if (pass >= max_passes) throw CyclicBinding();
    current = next;
  }
}

Assignment compose(const Assignment& a, const Assignment& b) {
  if (a.is_empty()) return b;
  if (b.is_empty()) return a;
  std::vector<Binding> s;
  s.reserve(a.bindings().size() + b.bindings().size());
  s.insert(s.end(), a.bindings().begin(), a.bindings().end());
  s.insert(s.end(), b.bindings().begin(), b.bindings().end());
  return Assignment(std::move(s));
}

std::vector<Message> vars_bound_to(const Assignment& a, const Message& value) {
  std::vector<Message> result;
  for (const Binding& b : a.bindings()) {
    if (b.second == value) result.push_back(b.first);
  }
  return result;
}

void print_assignment(const Assignment& a) {
  for (const Binding& b : a.bindings()) {
    print_message(b.first);
    out() << " -> ";
    print_message(b.second);
    out() << "\n";
  }
  out() << " .\n";
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
