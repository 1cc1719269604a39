#include "report/attack.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

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
Instances involved_instances(const Instances& session, const std::vector<TraceEvent>& steps,
                             const std::vector<Formula>& reason) {
  SecretSharing sharing;
  for (const TraceEvent& s : steps) {
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
// 2, ... in the order they are first met, for renumbered texts.
class Renumbering : public Numbering {
 public:
  std::int64_t instance(std::int64_t i) override { return i == 0 ? 0 : number(instances_, i); }
  std::int64_t kid(std::int64_t k) override { return number(kids_, k); }

  void append(std::string& s, const Message& m) { append_renumbered(s, m, *this); }
  void append(std::string& s, const Formula& literal) {
    append_literal(s, literal, [this](std::string& text, const Message& m) { append(text, m); });
  }

 private:
  static std::int64_t number(std::vector<std::pair<std::int64_t, std::int64_t>>& numbers,
                             std::int64_t old) {
    for (const auto& [from, to] : numbers) {
      if (from == old) return to;
    }
    const auto next = static_cast<std::int64_t>(numbers.size()) + 1;
    numbers.emplace_back(old, next);
    return next;
  }

  std::vector<std::pair<std::int64_t, std::int64_t>> instances_;  // in order of first sight
  std::vector<std::pair<std::int64_t, std::int64_t>> kids_;
};

// A 128-bit digest of terms and literals with instance numbers and the kids of
// generated values renumbered 1, 2, ... in the order they are first met (an
// encryption's body before its key, a generated value's variable before its
// kid), without building the renumbered terms or any text: two digests are
// equal exactly when (but for a chance of 2^-128) the renumbered terms are.
// Names are hashed by FNV-1a, so that digests, and the choices made by
// comparing them, are the same on every platform.
class Digest {
 public:
  void word(std::uint64_t x) {
    high_ = mixed(high_ ^ x);
    low_ = mixed(low_ + x * 0x9e3779b97f4a7c15ULL + 1);
  }
  void text(const std::string& s) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    word(h);
  }
  std::int64_t instance(std::int64_t i) { return numbering_.instance(i); }

  void term(const Message& m) {
    word(static_cast<std::uint64_t>(m.tag()) + 1);
    switch (m.tag()) {
      case Tag::NoMessage:
        return;
      case Tag::Var:
      case Tag::BindVar:
      case Tag::Gen:
        text(m.var().name);
        text(m.var().owner);
        word(static_cast<std::uint64_t>(instance(m.var().instance)));
        if (m.is(Tag::Gen)) {
          word(static_cast<std::uint64_t>(numbering_.kid(m.kid())));
          word(static_cast<std::uint64_t>(m.kind()));
        }
        return;
      case Tag::Enc:
        term(m.body());
        term(m.key());
        return;
      case Tag::Pair:
        term(m.first());
        term(m.second());
        return;
      case Tag::PubOf:
      case Tag::PrivOf:
        term(m.argument());
        return;
      case Tag::Trick:
        for (const Binding& b : m.trick_bindings()) {
          term(b.first);
          term(b.second);
        }
        return;
      default:
        text(m.name());
        word(static_cast<std::uint64_t>(instance(m.index())));
        return;
    }
  }

  // The literal's kind and terms, the variable side of an equality first.
  void literal(const Formula& f) {
    word(static_cast<std::uint64_t>(f.tag()) + 100);
    if (f.is(FormulaTag::Equal) || f.is(FormulaTag::NotEqual)) term(f.variable());
    if (f.is(FormulaTag::Equal) || f.is(FormulaTag::NotEqual) || f.is(FormulaTag::Derive) ||
        f.is(FormulaTag::NotDerive)) {
      term(f.term());
    }
  }

  std::pair<std::uint64_t, std::uint64_t> value() const { return {high_, low_}; }

  // A digest of nothing yet that numbers on from where this one stands.
  Digest numbering_only() const {
    Digest d;
    d.numbering_ = numbering_;
    return d;
  }
  // Takes over the numbering of other, which numbered on from this one.
  void numbering_of(Digest&& other) { numbering_ = std::move(other.numbering_); }

  // The digest as a key: 16 bytes.
  std::string key() const {
    std::string k(16, '\0');
    for (int b = 0; b < 8; ++b) {
      k[b] = static_cast<char>(high_ >> (8 * b));
      k[8 + b] = static_cast<char>(low_ >> (8 * b));
    }
    return k;
  }

 private:
  static std::uint64_t mixed(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  Renumbering numbering_;
  std::uint64_t high_ = 0x243f6a8885a308d3ULL;
  std::uint64_t low_ = 0x13198a2e03707344ULL;
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
  // Tie keys are written only for the literals that tie.
  std::vector<std::optional<std::string>> keys(violated.size());
  const auto key = [&](std::size_t v) -> const std::string& {
    if (!keys[v]) keys[v] = tie_key(violated[v]);
    return *keys[v];
  };
  for (;;) {
    std::size_t best = violated.size();
    std::size_t best_hits = 0;
    for (std::size_t v = 0; v < violated.size(); ++v) {
      std::size_t hits = 0;
      for (std::size_t c = 0; c < clauses.size() && c < evaluated.size(); ++c) {
        if (!falsified[c] && false_in(c, violated[v])) ++hits;
      }
      if (hits > best_hits || (hits == best_hits && hits > 0 && key(v) < key(best))) {
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

// The key of an attack: the involved messages, in order, and the literals of the
// reason that name only involved instances, as a set, renumbered in that order.
// Its text decides which reading of an attack set shows it; attack_digest
// identifies it.
std::string text_key(const std::vector<TraceEvent>& involved_steps,
                     const std::vector<Formula>& reason, const Instances& involved) {
  Renumbering renumbering;
  std::string key;
  for (const TraceEvent& s : involved_steps) {
    const Action& a = *s.action;
    key += a.kind == ActionKind::In ? "in " : "out ";
    key += a.name;
    key += '_';
    key += std::to_string(renumbering.instance(a.instance));
    key += ' ';
    renumbering.append(key, s.message);
    key += '\n';
  }
  std::vector<std::string> literals;
  for (const Formula& literal : reason) {
    if (!names_only(instances_named_in(literal), involved)) continue;
    renumbering.append(literals.emplace_back(), literal);
  }
  std::sort(literals.begin(), literals.end());
  for (const std::string& literal : literals) key += "violated " + literal + "\n";
  return key;
}

// The digest of text_key's text: equal digests, equal keys.
std::string attack_digest(const std::vector<TraceEvent>& involved_steps,
                          const std::vector<Formula>& reason, const Instances& involved) {
  Digest digest;
  for (const TraceEvent& s : involved_steps) {
    const Action& a = *s.action;
    digest.word(a.kind == ActionKind::In ? 1 : 2);
    digest.text(a.name);
    digest.word(static_cast<std::uint64_t>(digest.instance(a.instance)));
    digest.term(s.message);
  }
  // The literals as a set: their digests sorted, each renumbered after the
  // ones before it in the reason, as text_key renumbers them.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> literals;
  for (const Formula& literal : reason) {
    if (!names_only(instances_named_in(literal), involved)) continue;
    Digest one = digest.numbering_only();
    one.literal(literal);
    literals.push_back(one.value());
    digest.numbering_of(std::move(one));
  }
  std::sort(literals.begin(), literals.end());
  for (const auto& [high, low] : literals) {
    digest.word(high);
    digest.word(low);
  }
  return digest.key();
}

}  // namespace

namespace {

// The attack on a trace read under one model of one candidate.
struct Reading {
  std::vector<Formula> reason;
  std::vector<TraceEvent> steps;
  std::vector<const Node*> step_nodes;  // the node each step led to
  Instances involved;
  std::vector<TraceEvent> involved_steps;
  std::size_t length = 0;  // events in the causal past
  std::string digest;      // its key
};

// The step of the variable's own instance that last changed its value, or none
// (a value the join gave it).
std::optional<std::size_t> binding_step(const Reading& r, const Message& variable) {
  const std::int64_t instance = variable.var().instance;
  std::optional<std::size_t> found;
  for (std::size_t p = 0; p < r.steps.size(); ++p) {
    if (r.steps[p].action->instance != instance) continue;
    const Node& after = *r.step_nodes[p];
    if (apply(after.status().assignment, variable) !=
        apply(after.parent()->status().assignment, variable)) {
      found = p;
    }
  }
  return found;
}

// The last step of the principal instance, or none.
std::optional<std::size_t> last_step(const Reading& r, std::int64_t instance) {
  std::optional<std::size_t> found;
  for (std::size_t p = 0; p < r.steps.size(); ++p) {
    if (r.steps[p].action->instance == instance) found = p;
  }
  return found;
}

// The causal past of the reason on r's trace: what the "not :>" literals
// reveal, the steps that bound the variables the literals speak of, and the
// runs of the principals an equality names as a value: "b_A_2 = B_1" fails
// about B_1's run, which finished without A_2 meaning it.
CausalPast causal_past_of(const Reading& r, const Assignment& sigma) {
  std::vector<Message> revealed;
  std::vector<std::size_t> seeds;
  const auto seed_bindings = [&](const Message& side) {
    for_each_subterm(side, [&](const Message& t) {
      if (!t.is(Tag::Var)) return;
      if (const auto step = binding_step(r, t)) seeds.push_back(*step);
    });
  };
  for (const Formula& literal : r.reason) {
    if (literal.is(FormulaTag::NotDerive)) revealed.push_back(apply(sigma, literal.term()));
    if (literal.is(FormulaTag::Equal) || literal.is(FormulaTag::NotEqual)) {
      seed_bindings(literal.variable());
      for_each_subterm(apply(sigma, literal.term()), [&](const Message& t) {
        if (!t.is(Tag::Agent)) return;
        if (const auto step = last_step(r, t.index())) seeds.push_back(*step);
      });
    }
    if (literal.is(FormulaTag::Equal) || literal.is(FormulaTag::NotEqual) ||
        literal.is(FormulaTag::Derive) || literal.is(FormulaTag::NotDerive)) {
      seed_bindings(literal.term());
    }
  }
  std::vector<Message> initial_knowledge;
  if (!r.step_nodes.empty()) {
    initial_knowledge = r.step_nodes.front()->parent()->status().knowledge.messages();
  }
  return causal_past(r.steps, initial_knowledge, revealed, seeds);
}

Reading read_attack(const SearchState& state, const NodeRef& leaf, const WorkItem& candidate,
                    const Assignment& sigma, const Instances& session, Grouping grouping) {
  Reading r;
  for (const Node* n = leaf.get(); n != nullptr; n = n->parent().get()) {
    const Action& a = n->action();
    if (a.kind == ActionKind::In || a.kind == ActionKind::Out) {
      r.steps.push_back(TraceEvent{&a, apply(sigma, a.message)});
      r.step_nodes.push_back(n);
    }
  }
  std::reverse(r.steps.begin(), r.steps.end());
  std::reverse(r.step_nodes.begin(), r.step_nodes.end());

  // Ties between literals are broken as the trace names instances, in order of
  // appearance, not by the session's instance numbers: runs that differ only by
  // a swap of two instances then give the same reason, and the same key.
  std::optional<Renumbering> by_appearance;
  // The claim violated: its clauses, prepared for the session.
  const ClauseList& claim = state.formulas.at(state.claim).clauses();
  r.reason = reason_of(claim, candidate.clauses, [&](const Formula& literal) {
    if (!by_appearance) {
      by_appearance.emplace();
      std::string unused;
      for (const TraceEvent& s : r.steps) {
        by_appearance->instance(s.action->instance);
        by_appearance->append(unused, s.message);
      }
    }
    Renumbering renumbering = *by_appearance;
    std::string text;
    renumbering.append(text, literal);
    return text;
  });
  if (grouping == Grouping::CausalPast) {
    const CausalPast past = causal_past_of(r, sigma);
    for (std::size_t p : past.events) {
      r.involved.insert(r.steps[p].action->instance);
      r.involved_steps.push_back(r.steps[p]);
    }
    r.length = past.events.size();
    r.digest = causal_key(r.steps, past, r.reason);
    return r;
  }
  r.involved = involved_instances(session, r.steps, r.reason);
  for (const TraceEvent& s : r.steps) {
    if (r.involved.count(s.action->instance) != 0) r.involved_steps.push_back(s);
  }
  r.digest = attack_digest(r.involved_steps, r.reason, r.involved);
  return r;
}

Instances session_instances(const SearchState& state) {
  Instances session;
  const auto j = static_cast<std::size_t>(state.subtree_index);
  for (const Principal& p : state.starting_nodes[j]->status().context) session.insert(p.instance());
  return session;
}

// Of the readings under every model of every candidate, the one with the
// smallest key: the order of the candidates and of their models follows the
// order of the session's clauses, which a swap of instances changes. The keys'
// texts are written only when there is a choice.
Reading chosen_reading(const SearchState& state, const NodeRef& leaf,
                       const std::vector<WorkItem>& candidates, Grouping grouping) {
  const Instances session = session_instances(state);
  std::vector<Reading> readings;
  for (const WorkItem& candidate : candidates) {
    std::vector<Assignment> models = stores_to_assignments(candidate.stores);
    if (models.empty()) models.push_back(empty_assignment());
    for (const Assignment& sigma : models) {
      readings.push_back(read_attack(state, leaf, candidate, sigma, session, grouping));
    }
  }
  assert(!readings.empty() && "an attack set has at least one candidate");
  if (grouping == Grouping::CausalPast) {
    const auto shorter = [](const Reading& a, const Reading& b) {
      return std::tie(a.length, a.digest) < std::tie(b.length, b.digest);
    };
    return std::move(*std::min_element(readings.begin(), readings.end(), shorter));
  }
  // Readings with equal digests have equal keys: the first of them stands for all.
  std::size_t best = 0;
  std::string best_key;
  for (std::size_t r = 1; r < readings.size(); ++r) {
    const auto same = [&](const Reading& earlier) { return earlier.digest == readings[r].digest; };
    if (std::any_of(readings.begin(), readings.begin() + static_cast<std::ptrdiff_t>(r), same)) {
      continue;
    }
    if (best_key.empty()) {
      best_key = text_key(readings[0].involved_steps, readings[0].reason, readings[0].involved);
    }
    std::string key =
        text_key(readings[r].involved_steps, readings[r].reason, readings[r].involved);
    if (key < best_key) {
      best = r;
      best_key = std::move(key);
    }
  }
  return std::move(readings[best]);
}

}  // namespace

AttackKey attack_key(const SearchState& state, const NodeRef& leaf,
                     const std::vector<WorkItem>& candidates, Grouping grouping) {
  Reading best = chosen_reading(state, leaf, candidates, grouping);
  return AttackKey{std::move(best.digest), best.length};
}

Attack describe_attack(const SearchState& state, const NodeRef& leaf,
                       const std::vector<WorkItem>& candidates, Grouping grouping) {
  const Reading best = chosen_reading(state, leaf, candidates, grouping);
  const auto j = static_cast<std::size_t>(state.subtree_index);
  Attack attack;
  attack.attack_set = state.counts.attacks;
  attack.session = static_cast<std::int64_t>(j) + 1;
  for (const Formula& literal : best.reason) {
    attack.violated.push_back(printed([&](std::ostream& os) { print_formula(os, literal); }));
  }
  for (const TraceEvent& s : best.involved_steps) {
    const std::string principal = instance_name(s.action->name, s.action->instance);
    const std::string message = printed([&](std::ostream& os) { print_message(os, s.message); });
    if (s.action->kind == ActionKind::In) {
      attack.exchanges.push_back(Exchange{"I", principal, message});
    } else {
      attack.exchanges.push_back(Exchange{principal, "I", message});
    }
  }
  for (const Principal& p : state.starting_nodes[j]->status().context) {
    if (best.involved.count(p.instance()) == 0) {
      attack.bystanders.push_back(instance_name(p.name(), p.instance()));
    }
  }
  attack.key = best.digest;
  attack.length = best.length;
  return attack;
}

std::string causal_key(const std::vector<TraceEvent>& trace, const CausalPast& past,
                       const std::vector<Formula>& reason) {
  constexpr std::size_t kNotTaken = static_cast<std::size_t>(-1);
  const std::size_t n = past.events.size();
  std::vector<std::size_t> position(n, kNotTaken);  // in the canonical order
  Digest digest;
  for (std::size_t taken = 0; taken < n; ++taken) {
    std::size_t best = kNotTaken;
    std::pair<std::uint64_t, std::uint64_t> best_value;
    Digest best_description;
    for (std::size_t e = 0; e < n; ++e) {
      const std::vector<std::size_t>& depends_on = past.depends_on[e];
      const auto not_taken = [&](std::size_t d) { return position[d] == kNotTaken; };
      if (position[e] != kNotTaken ||
          std::any_of(depends_on.begin(), depends_on.end(), not_taken)) {
        continue;
      }
      // The event renumbered after those taken, and where they stand in the order.
      Digest description = digest.numbering_only();
      const TraceEvent& event = trace[past.events[e]];
      description.word(event.action->kind == ActionKind::In ? 1 : 2);
      description.text(event.action->name);
      description.word(static_cast<std::uint64_t>(description.instance(event.action->instance)));
      description.term(event.message);
      std::vector<std::size_t> after;
      for (std::size_t d : depends_on) after.push_back(position[d]);
      std::sort(after.begin(), after.end());
      description.word(after.size());
      for (std::size_t a : after) description.word(a);
      if (best == kNotTaken || description.value() < best_value) {
        best = e;
        best_value = description.value();
        best_description = std::move(description);
      }
    }
    position[best] = taken;
    digest.word(best_value.first);
    digest.word(best_value.second);
    digest.numbering_of(std::move(best_description));
  }
  // The literals as a set, each renumbered after the events.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> literals;
  for (const Formula& literal : reason) {
    Digest one = digest.numbering_only();
    one.literal(literal);
    literals.push_back(one.value());
  }
  std::sort(literals.begin(), literals.end());
  for (const auto& [high, low] : literals) {
    digest.word(high);
    digest.word(low);
  }
  return digest.key();
}

std::string attack_set_report(const SearchState& state, const NodeRef& leaf,
                              const std::vector<WorkItem>& candidates) {
  return printed([&](std::ostream& os) { print_attack(os, state, leaf, candidates); });
}

}  // namespace analyser
