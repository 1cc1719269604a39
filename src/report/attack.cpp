#include "report/attack.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "assignment/assignment.h"
#include "formula/formula.h"
#include "run/printers.h"
#include "utils/utils.h"
#include "verify/constraints.h"

namespace analyser {

namespace {

using Instances = std::set<std::int64_t>;

// What a printing function writes, as text.
template <typename Print>
std::string printed(Print print) {
  std::ostringstream text;
  print(text);
  return text.str();
}

std::string instance_name(const std::string& role, std::int64_t instance) {
  return role + "_" + std::to_string(instance);
}

// Walks every subterm of m; terms come from input files and the intruder's
// synthesis, whose nesting the parsers bound.
template <typename Visit>
void for_each_subterm(const Message& m, Visit visit) {
  visit(m);
  switch (m.tag()) {
    case Tag::Enc:
    case Tag::Pair:
    case Tag::PubOf:
    case Tag::PrivOf:
      for_each_subterm(m.first(), visit);
      if (!m.is(Tag::PubOf) && !m.is(Tag::PrivOf)) for_each_subterm(m.second(), visit);
      break;
    case Tag::Trick:
      for (const Binding& b : m.trick_bindings()) {
        for_each_subterm(b.first, visit);
        for_each_subterm(b.second, visit);
      }
      break;
    default:
      break;
  }
}

// The principal instances a term names (index 0 is no principal's).
Instances instances_named_in(const Message& m) {
  Instances found;
  for_each_subterm(m, [&](const Message& t) {
    if (t.is_atom() && t.index() != 0) found.insert(t.index());
    if ((t.is(Tag::Var) || t.is(Tag::BindVar) || t.is(Tag::Gen)) && t.var().instance != 0) {
      found.insert(t.var().instance);
    }
  });
  return found;
}

// The instances whose secrets (nonces, symmetric keys, private keys) occur in m:
// names and public keys are public and link nobody.
Instances secret_owners_in(const Message& m) {
  Instances found;
  for_each_subterm(m, [&](const Message& t) {
    if ((t.is(Tag::Nonce) || t.is(Tag::SymKey) || t.is(Tag::PrivKey)) && t.index() != 0) {
      found.insert(t.index());
    }
  });
  return found;
}

Instances instances_named_in(const Formula& literal) {
  Instances found;
  if (literal.is(FormulaTag::Equal) || literal.is(FormulaTag::NotEqual)) {
    found = instances_named_in(literal.variable());
  }
  if (literal.is(FormulaTag::Equal) || literal.is(FormulaTag::NotEqual) ||
      literal.is(FormulaTag::Derive) || literal.is(FormulaTag::NotDerive)) {
    const Instances in_term = instances_named_in(literal.term());
    found.insert(in_term.begin(), in_term.end());
  }
  return found;
}

// A message of the trace, with the attack's values filled in.
struct SentOrReceived {
  const Action* action;
  Message message;
};

// Instances joined whenever one handles a secret of another.
class SecretSharing {
 public:
  void join(std::int64_t a, std::int64_t b) { representative_[root(a)] = root(b); }
  bool linked(std::int64_t a, std::int64_t b) { return root(a) == root(b); }

 private:
  std::int64_t root(std::int64_t i) {
    auto it = representative_.try_emplace(i, i).first;
    if (it->second == i) return i;
    const std::int64_t r = root(it->second);
    representative_[i] = r;
    return r;
  }
  std::map<std::int64_t, std::int64_t> representative_;  // absent: its own root
};

// The victims are the instances that every literal of the reason names (or,
// when no instance is common to all, those any of them names); the involved
// instances are the victims and everyone who shared a secret with them,
// transitively.
Instances involved_instances(const Instances& session, const std::vector<SentOrReceived>& steps,
                             const std::vector<Formula>& reason) {
  SecretSharing sharing;
  for (const SentOrReceived& s : steps) {
    for (std::int64_t owner : secret_owners_in(s.message)) {
      if (session.count(owner) != 0) sharing.join(s.action->instance, owner);
    }
  }
  Instances common = session;
  Instances any;
  for (const Formula& literal : reason) {
    const Instances named = instances_named_in(literal);
    Instances both;
    std::set_intersection(common.begin(), common.end(), named.begin(), named.end(),
                          std::inserter(both, both.end()));
    common = both;
    for (std::int64_t i : named) {
      if (session.count(i) != 0) any.insert(i);
    }
  }
  const Instances& victims = !common.empty() && !reason.empty() ? common : any;
  if (victims.empty()) return session;
  Instances involved;
  for (std::int64_t i : session) {
    for (std::int64_t v : victims) {
      if (sharing.linked(i, v)) involved.insert(i);
    }
  }
  return involved;
}

// Instance numbers and knowledge identifiers of generated values replaced by 1,
// 2, ... in the order they are first met.
class Renumbering {
 public:
  Message apply(const Message& m) {
    return renumbered(
        m, [this](std::int64_t i) { return instance(i); },
        [this](std::int64_t k) { return kid(k); });
  }

  Formula apply(const Formula& literal) {
    return map_literal_terms(literal, [this](const Message& t) { return apply(t); });
  }

  std::int64_t instance(std::int64_t i) { return i == 0 ? 0 : number(instances_, i); }

 private:
  std::int64_t kid(std::int64_t k) { return number(kids_, k); }

  static std::int64_t number(std::map<std::int64_t, std::int64_t>& numbers, std::int64_t old) {
    return numbers.try_emplace(old, static_cast<std::int64_t>(numbers.size()) + 1).first->second;
  }

  std::map<std::int64_t, std::int64_t> instances_;
  std::map<std::int64_t, std::int64_t> kids_;
};

// The reason of an attack: a greedy choice of violated literals that falsifies
// every clause of the property. Each step takes the literal false in most of
// the clauses still standing; on a tie, the one whose tie_key comes first, then
// the earliest. Literals that are merely false as well (a second victim's
// secret, say) are left out.
std::vector<Formula> reason_of(const ClauseList& clauses, const ClauseList& evaluated,
                               const std::function<std::string(const Formula&)>& tie_key) {
  std::vector<Formula> reason;
  std::vector<bool> falsified(clauses.size(), false);
  const auto false_in = [&](std::size_t c, const Formula& literal) {
    for (std::size_t l = 0; l < clauses[c].size() && l < evaluated[c].size(); ++l) {
      if (evaluated[c][l].is(FormulaTag::False) && clauses[c][l] == literal) return true;
    }
    return false;
  };
  const std::vector<Formula> violated = violated_literals(clauses, evaluated);
  std::vector<std::string> keys;
  for (const Formula& literal : violated) keys.push_back(tie_key(literal));
  for (;;) {
    std::size_t best = violated.size();
    std::size_t best_hits = 0;
    for (std::size_t v = 0; v < violated.size(); ++v) {
      std::size_t hits = 0;
      for (std::size_t c = 0; c < clauses.size() && c < evaluated.size(); ++c) {
        if (!falsified[c] && false_in(c, violated[v])) ++hits;
      }
      if (hits > best_hits || (hits == best_hits && hits > 0 && keys[v] < keys[best])) {
        best = v;
        best_hits = hits;
      }
    }
    if (best == violated.size()) break;
    reason.push_back(violated[best]);
    for (std::size_t c = 0; c < clauses.size() && c < evaluated.size(); ++c) {
      if (false_in(c, violated[best])) falsified[c] = true;
    }
  }
  // A literal taken early is redundant once every clause it falsifies is
  // falsified by a later one too: left out, last taken first.
  for (std::size_t r = reason.size(); r-- > 0;) {
    const auto falsified_by_another = [&](std::size_t c) {
      for (std::size_t k = 0; k < reason.size(); ++k) {
        if (k != r && false_in(c, reason[k])) return true;
      }
      return false;
    };
    bool redundant = true;
    for (std::size_t c = 0; c < clauses.size() && c < evaluated.size() && redundant; ++c) {
      redundant = !false_in(c, reason[r]) || falsified_by_another(c);
    }
    if (redundant) reason.erase(reason.begin() + static_cast<std::ptrdiff_t>(r));
  }
  return reason;
}

bool names_only(const Instances& named, const Instances& allowed) {
  return std::includes(allowed.begin(), allowed.end(), named.begin(), named.end());
}

// The involved messages and the literals of the reason that name only involved
// instances, renumbered; the literals sorted, since their order follows the
// session's.
std::string attack_key(const std::vector<SentOrReceived>& involved_steps,
                       const std::vector<Formula>& reason, const Instances& involved) {
  Renumbering renumbering;
  std::string key;
  for (const SentOrReceived& s : involved_steps) {
    const Action& a = *s.action;
    const Message message = renumbering.apply(s.message);
    key += (a.kind == ActionKind::In ? "in " : "out ") + a.name + "_" +
           std::to_string(renumbering.instance(a.instance)) + " " +
           printed([&](std::ostream& os) { print_message(os, message); }) + "\n";
  }
  std::vector<std::string> literals;
  for (const Formula& literal : reason) {
    if (!names_only(instances_named_in(literal), involved)) continue;
    const Formula renamed = renumbering.apply(literal);
    literals.push_back(printed([&](std::ostream& os) { print_formula(os, renamed); }));
  }
  std::sort(literals.begin(), literals.end());
  for (const std::string& literal : literals) key += "violated " + literal + "\n";
  return key;
}

}  // namespace

namespace {

// The attack on a trace read under one model of one candidate.
struct Reading {
  std::vector<Formula> reason;
  std::vector<SentOrReceived> steps;
  Instances involved;
  std::string key;
};

Reading read_attack(const SearchState& state, const NodeRef& leaf, const WorkItem& candidate,
                    const Assignment& sigma, const Instances& session) {
  Reading r;
  for (const Node* n = leaf.get(); n != nullptr; n = n->parent().get()) {
    const Action& a = n->action();
    if (a.kind == ActionKind::In || a.kind == ActionKind::Out) {
      r.steps.push_back(SentOrReceived{&a, apply(sigma, a.message)});
    }
  }
  std::reverse(r.steps.begin(), r.steps.end());

  // Ties between literals are broken as the trace names instances, in order of
  // appearance, not by the session's instance numbers: runs that differ only by
  // a swap of two instances then give the same reason, and the same key.
  Renumbering by_appearance;
  for (const SentOrReceived& s : r.steps) {
    by_appearance.instance(s.action->instance);
    by_appearance.apply(s.message);
  }
  r.reason = reason_of(state.formula.clauses(), candidate.clauses, [&](const Formula& literal) {
    Renumbering renumbering = by_appearance;
    const Formula renamed = renumbering.apply(literal);
    return printed([&](std::ostream& os) { print_formula(os, renamed); });
  });
  r.involved = involved_instances(session, r.steps, r.reason);
  std::vector<SentOrReceived> involved_steps;
  for (const SentOrReceived& s : r.steps) {
    if (r.involved.count(s.action->instance) != 0) involved_steps.push_back(s);
  }
  r.key = attack_key(involved_steps, r.reason, r.involved);
  return r;
}

}  // namespace

Attack describe_attack(const SearchState& state, const NodeRef& leaf,
                       const std::vector<WorkItem>& candidates) {
  const auto j = static_cast<std::size_t>(state.subtree_index);
  const Context& context = state.starting_nodes[j]->status().context;
  Instances session;
  for (const Principal& p : context) session.insert(p.instance());

  // Of the readings under every model of every candidate, the one with the
  // smallest key: the order of the candidates and of their models follows the
  // order of the session's clauses, which a swap of instances changes.
  std::optional<Reading> best;
  for (const WorkItem& candidate : candidates) {
    std::vector<Assignment> models = stores_to_assignments(candidate.stores);
    if (models.empty()) models.push_back(empty_assignment());
    for (const Assignment& sigma : models) {
      Reading r = read_attack(state, leaf, candidate, sigma, session);
      if (!best || r.key < best->key) best = std::move(r);
    }
  }

  assert(best && "an attack set has at least one candidate");
  Attack attack;
  attack.attack_set = state.counts.attacks;
  attack.session = static_cast<std::int64_t>(j) + 1;
  for (const Formula& literal : best->reason) {
    attack.violated.push_back(printed([&](std::ostream& os) { print_formula(os, literal); }));
  }
  for (const SentOrReceived& s : best->steps) {
    if (best->involved.count(s.action->instance) == 0) continue;
    const std::string principal = instance_name(s.action->name, s.action->instance);
    const std::string message = printed([&](std::ostream& os) { print_message(os, s.message); });
    if (s.action->kind == ActionKind::In) {
      attack.exchanges.push_back(Exchange{"I", principal, message});
    } else {
      attack.exchanges.push_back(Exchange{principal, "I", message});
    }
  }
  for (const Principal& p : context) {
    if (best->involved.count(p.instance()) == 0) {
      attack.bystanders.push_back(instance_name(p.name(), p.instance()));
    }
  }
  attack.key = std::move(best->key);
  return attack;
}

std::string attack_set_report(const SearchState& state, const NodeRef& leaf,
                              const std::vector<WorkItem>& candidates) {
  return printed([&](std::ostream& os) { print_attack(os, state, leaf, candidates); });
}

}  // namespace analyser
