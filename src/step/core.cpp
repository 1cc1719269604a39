#include "step/core.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace analyser {

namespace {

using Assignments = std::vector<Assignment>;
using Candidates = std::vector<Candidate>;

template <typename T>
void append(std::vector<T>& to, std::vector<T>&& from) {
  if (to.empty()) {
    to = std::move(from);
    return;
  }
  to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

// {x -> y} and {x -> y, z -> w}: the second binding comes first, and is dropped
// when z is x.
Assignment bind(const Message& x, const Message& y) {
  return extend(empty_assignment(), x, y);
}
Assignment bind(const Message& x, const Message& y, const Message& z, const Message& w) {
  return extend(bind(x, y), z, w);
}

bool is_key_of(const Message& m) {
  return m.is(Tag::PubOf) || m.is(Tag::PrivOf);
}
bool is_var_or_gen(const Message& m) {
  return m.is(Tag::Var) || m.is(Tag::Gen);
}
bool is_unconstrained(GenKind k) {
  return k == GenKind::Gen || k == GenKind::RGen;
}
bool is_named(GenKind k) {
  return k == GenKind::Name || k == GenKind::RName;
}
bool is_gen_of_kind(const Message& m, GenKind k) {
  return m.is(Tag::Gen) && m.kind() == k;
}

// PubOf(x) when tag is PubOf, PrivOf(x) otherwise.
Message key_of(Tag tag, const Message& x) {
  return tag == Tag::PubOf ? pub_of(x) : priv_of(x);
}

// Whether a pattern written with pattern_key opens a message encrypted under
// key: a pattern names the decryption key (PrivKey for PubKey and the reverse;
// a symmetric key opens itself).
bool decrypts(const Message& pattern_key, const Message& key) {
  const Tag wanted = key.is(Tag::PubKey)    ? Tag::PrivKey
                     : key.is(Tag::PrivKey) ? Tag::PubKey
                                            : Tag::SymKey;
  return pattern_key.is(wanted) && pattern_key.index() == key.index() &&
         pattern_key.name() == key.name();
}

std::int64_t min_kid(const Message& a, const Message& b) {
  return std::min(a.kid(), b.kid());
}

// Whether a generated value of kind may stand for the candidate t built from K.
bool admits(const Knowledge& k, GenKind kind, const Message& t) {
  switch (kind) {
    case GenKind::Gen:
      return true;
    case GenKind::RGen:
      return knows(k, t);
    case GenKind::SKey:
      return t.is(Tag::SymKey);
    case GenKind::Name:
      return t.is(Tag::Agent);
    case GenKind::RName:
      return is_compromised(k, t);
    case GenKind::PMKey:
    case GenKind::MPKey:  // the public halves, as for pmkey
      return t.is(Tag::PubKey) && owns_usable_key_pair(k, t);
  }
  return false;
}

// The concrete values known in k that a generated value of kind stands for.
std::vector<Message> concrete_values(const Knowledge& k, GenKind kind) {
  switch (kind) {
    case GenKind::SKey:
      return known_sym_keys(k);
    case GenKind::Name:
      return known_agents(k);
    case GenKind::RName:
      return compromised_agents(k);
    case GenKind::PMKey:
      return usable_pub_keys(k);
    case GenKind::MPKey:
      return paired_priv_keys(k);
    default:
      return {};
  }
}

Candidates with_key(Candidates candidates, const Message& key) {
  for (Candidate& c : candidates) c.message = enc(c.message, key);
  return candidates;
}

// For each known ciphertext in order, one candidate per unifier of its body (the
// message side) with the expected body: unify_body(body of the ciphertext).
template <typename UnifyBody>
Candidates replayed(const std::vector<Message>& ciphertexts, UnifyBody unify_body) {
  Candidates result;
  for (const Message& c : ciphertexts) {
    for (Assignment& tau : unify_body(c.body())) result.push_back({c, std::move(tau)});
  }
  return result;
}

// t with every variable or generated value that a fixes to something other than
// a generated value replaced by what it is fixed to.
Message with_fixed_values(const Assignment& a, const Message& t) {
  if (!t.has_variables()) return t;
  switch (t.tag()) {
    case Tag::Var:
    case Tag::Gen: {
      Message value = apply(a, t);
      return value.is(Tag::Gen) ? t : value;
    }
    case Tag::Enc:
    case Tag::Pair: {
      Message first = with_fixed_values(a, t.first());
      Message second = with_fixed_values(a, t.second());
      if (first.same(t.first()) && second.same(t.second())) return t;
      return t.is(Tag::Enc) ? enc(first, second) : pair(first, second);
    }
    case Tag::PubOf:
    case Tag::PrivOf: {
      Message argument = with_fixed_values(a, t.argument());
      if (argument.same(t.argument())) return t;
      return t.is(Tag::PubOf) ? pub_of(argument) : priv_of(argument);
    }
    default:
      return t;
  }
}

// An unconstrained value m against PubOf/PrivOf of a name value: m becomes that
// key, both under the smaller kid. Empty when p is not of that shape.
Assignments unconstrained_against_key_of(const Message& m, const Message& p) {
  if (!is_key_of(p) || !is_unconstrained(m.kind())) return {};
  const Message& x = p.argument();
  if (!x.is(Tag::Gen) || !is_named(x.kind())) return {};
  const std::int64_t n = min_kid(m, x);
  return {bind(m, key_of(p.tag(), gen(m.var(), n, x.kind())), x, gen(x.var(), n, x.kind()))};
}

// m is PubOf/PrivOf of a generated value. other handles a generated pattern that
// no rule here covers.
template <typename Other>
Assignments key_of_generated(const Message& m, const Message& p, Other other) {
  const Message& x = m.argument();
  if (p.is(Tag::Gen)) {
    if (!is_unconstrained(p.kind()) || !is_named(x.kind())) return other();
    const std::int64_t n = min_kid(x, p);
    return {bind(x, gen(p.var(), n, x.kind()), p, key_of(m.tag(), gen(x.var(), n, x.kind())))};
  }
  if (!p.is(m.tag()) || !p.argument().is(Tag::Gen)) return {};
  const Message& y = p.argument();
  if (!kinds_compatible(x.kind(), y.kind())) return {};
  const Message g = gen(x.var(), min_kid(x, y), kind_meet(x.kind(), y.kind()));
  return {bind(x, g, y, g)};
}

// ---- Refinement ----

Message as_name(const Message& x) {
  return gen(x.var(), x.kid(), GenKind::Name);
}

// The keys a generated value used as an encryption key can be. Known symmetric
// keys and complete key pairs are each represented by one generated key.
std::vector<Message> key_candidates(const Knowledge& k, const Message& x) {
  std::vector<Message> result;
  if (has_sym_key(k)) result.push_back(gen(x.var(), x.kid(), GenKind::SKey));
  if (has_key_pair(k)) {
    result.push_back(gen(x.var(), x.kid(), GenKind::PMKey));
    result.push_back(gen(x.var(), x.kid(), GenKind::MPKey));
  }
  append(result, unpaired_pub_keys(k));
  append(result, unpaired_priv_keys(k));
  return result;
}

// Narrows the generated values of a term to the forms their use allows, each
// from the knowledge it was generated from.
class Refiner {
 public:
  explicit Refiner(KnowledgeManager& mgr) : mgr_(mgr) {}

  Assignments refine(const Message& t);

 private:
  // Generated value g replaced by each candidate in turn, t refined under it.
  Assignments refine_each(const Message& g, const std::vector<Message>& candidates,
                          const Message& t);
  Assignments refine_encryption(const Message& t);
  Assignments refine_key_of(const Message& t);
  // The agents a name value x can be: the honest ones one by one, and the
  // compromised ones as a single rname value.
  std::vector<Message> agent_candidates(const Message& x);

  KnowledgeManager& mgr_;
};

Assignments Refiner::refine(const Message& t) {
  // Atoms, binding occurrences and generated values refine to nothing.
  if (refines_to_nothing(t)) return {empty_assignment()};
  switch (t.tag()) {
    case Tag::Pair: {
      Assignments result;
      for (const Assignment& sigma : refine(t.first())) {
        for (const Assignment& tau : refine(apply(sigma, t.second()))) {
          result.push_back(compose(tau, sigma));
        }
      }
      return result;
    }
    case Tag::Enc:
      return refine_encryption(t);
    case Tag::PubOf:
    case Tag::PrivOf:
      return refine_key_of(t);
    default:  // NoMessage, Var, Trick
      return {};
  }
}

Assignments Refiner::refine_each(const Message& g, const std::vector<Message>& candidates,
                                 const Message& t) {
  Assignments result;
  // refine(t), once a candidate has shown that t does not hold g: then t is the
  // same term whatever g stands for (every candidate differs from g), and
  // refines the same way.
  std::optional<Assignments> refined_alike;
  for (const Message& c : candidates) {
    const Assignment sigma = bind(g, c);
    if (!refined_alike) {
      const Message applied = apply(sigma, t);
      if (!applied.same(t)) {
        for (const Assignment& tau : refine(applied)) result.push_back(compose(tau, sigma));
        continue;
      }
      refined_alike = refine(t);
    }
    for (const Assignment& tau : *refined_alike) result.push_back(compose(tau, sigma));
  }
  return result;
}

std::vector<Message> Refiner::agent_candidates(const Message& x) {
  const Knowledge k = find_knowledge(mgr_, x.kid());
  std::vector<Message> result = honest_agents(k);
  if (has_compromised_agent(k)) result.push_back(gen(x.var(), x.kid(), GenKind::RName));
  return result;
}

Assignments Refiner::refine_encryption(const Message& t) {
  const Message& key = t.key();
  const Message& body = t.body();
  if (key.is(Tag::Gen) && is_unconstrained(key.kind())) {
    const Knowledge k = find_knowledge(mgr_, key.kid());
    if (has_atomic_key(k)) return refine_each(key, key_candidates(k, key), body);
  } else if (is_key_of(key) && key.argument().is(Tag::Gen)) {
    const Message& x = key.argument();
    if (x.kind() == GenKind::Name) return refine_each(x, agent_candidates(x), body);
    if (is_unconstrained(x.kind())) return refine_each(x, {as_name(x)}, t);
  }
  return refine(body);
}

Assignments Refiner::refine_key_of(const Message& t) {
  const Message& x = t.argument();
  if (!x.is(Tag::Gen)) return {};
  switch (x.kind()) {
    case GenKind::Name: {
      Assignments result;
      for (const Message& c : agent_candidates(x)) result.push_back(bind(x, c));
      return result;
    }
    case GenKind::RName:
      return {empty_assignment()};
    case GenKind::Gen:
    case GenKind::RGen:
      return refine_each(x, {as_name(x)}, t);
    default:  // keys are not agents
      return {};
  }
}

// ---- The two rule sets ----
//
// A rule set answers, for the unifier below, what the two uses of the core do
// differently; everything else the unifier does the same way for both.

template <typename Rules>
class Unifier;

// The rules of a receiving principal's pattern. A binding occurrence takes any
// message; a pattern names the key that opens an encryption; two generated
// values meet at the narrower kind, and the intruder's inputs are generated
// values; the ciphertexts it replays are read under the replay bindings.
struct ReceivingRules {
  // See SymbolicCore::synthesize; nullptr or empty: none.
  const Assignment* replay_bindings;

  static constexpr bool kBindingOccurrences = true;  // ?x in a pattern takes any message
  static constexpr bool kVariablesBind = false;      // an unbound variable fits nothing
  static constexpr bool kSecondSeesFirst = true;     // see Unifier::unify_seconds
  static constexpr bool kRefinesPairs = true;        // see Unifier::synthesize_pair

  // Whether a message encrypted under atomic key opens with the pattern's key.
  static bool opens(const Message& pattern_key, const Message& key) {
    return decrypts(pattern_key, key);
  }
  // Whether encryptions under generated keys of kind are unified key with key.
  static bool unifies_keys_of(GenKind kind) { return kind == GenKind::SKey; }
  // The key of the encryptions the intruder builds for a pattern written with
  // key, which it needs encryption_key to build.
  static const Message& built_key(const Message& /*key*/, const Message& encryption_key) {
    return encryption_key;
  }

  // Two generated values.
  Assignments meet_generated(Unifier<ReceivingRules>& u, const Assignment& ctx, const Message& m,
                             const Message& p) const;
  // The target is a variable (a binding occurrence or not), a generated value,
  // PubOf/PrivOf, or an encryption under a key that is not an atom.
  Candidates synthesize_variable(const Knowledge& k, const Message& target) const;
  Candidates synthesize_generated(Unifier<ReceivingRules>& u, const Message& target) const;
  Candidates synthesize_key_of(Unifier<ReceivingRules>& u, const Message& target) const;
  Candidates synthesize_under_symbolic_key(Unifier<ReceivingRules>& u, const Knowledge& k,
                                           const Assignment& ctx, const Message& target) const;
  // Whether known ciphertext c may fit a pattern's body: not when they are
  // apart at a rigid position, which spares reading and unifying most of them.
  static bool may_replay(const Message& c, const Message& body);
  // For each known ciphertext in order, each unifier of its body with body.
  Candidates replay(Unifier<ReceivingRules>& u, const Assignment& ctx,
                    const std::vector<Message>& ciphertexts, const Message& body) const;
};

// The verifier's rules for the terms of a formula. Variables take any term; keys
// are compared as they stand; generated values are made concrete; the
// ciphertexts replayed are read as they stand on the trace.
struct VerifyingRules {
  const Knowledge& initial;  // where an unbound variable finds its symmetric keys

  static constexpr bool kBindingOccurrences = false;
  static constexpr bool kVariablesBind = true;
  static constexpr bool kSecondSeesFirst = false;
  static constexpr bool kRefinesPairs = false;

  static bool opens(const Message& pattern_key, const Message& key) { return pattern_key == key; }
  static bool unifies_keys_of(GenKind kind) {
    return kind == GenKind::SKey || kind == GenKind::PMKey || kind == GenKind::MPKey;
  }
  // Derivability and replay use the encryption key; the built candidates keep
  // the key as written, the way the verifier compares keys.
  static const Message& built_key(const Message& key, const Message& /*encryption_key*/) {
    return key;
  }

  Assignments meet_generated(Unifier<VerifyingRules>& u, const Assignment& ctx, const Message& m,
                             const Message& p) const;
  Candidates synthesize_variable(const Knowledge& k, const Message& target) const;
  Candidates synthesize_generated(Unifier<VerifyingRules>& u, const Message& target) const;
  Candidates synthesize_key_of(Unifier<VerifyingRules>& u, const Message& target) const;
  Candidates synthesize_under_symbolic_key(Unifier<VerifyingRules>& u, const Knowledge& k,
                                           const Assignment& ctx, const Message& target) const;
  static bool may_replay(const Message& /*c*/, const Message& /*body*/) { return true; }
  Candidates replay(Unifier<VerifyingRules>& u, const Assignment& ctx,
                    const std::vector<Message>& ciphertexts, const Message& body) const;
};

// ---- The unifier ----

// unify and synthesize form one recursive group under one rule set; generated
// values find the knowledge they were generated from through the manager.
template <typename Rules>
class Unifier {
 public:
  Unifier(KnowledgeManager& mgr, Rules rules) : mgr_(mgr), rules_(rules) {}

  // Every way message m can be made to fit pattern p.
  Assignments unify(const Assignment& ctx, const Message& m, const Message& p);
  // The messages the intruder can build from k that fit target.
  Candidates synthesize(const Knowledge& k, const Assignment& ctx, const Message& target);

  Knowledge knowledge(std::int64_t kid) { return find_knowledge(mgr_, kid); }

 private:
  // m facing p where no rule for m's shape applies.
  Assignments fallback(const Assignment& ctx, const Message& m, const Message& p);
  // The pattern is a generated value facing structure; otherwise as below.
  Assignments generated_pattern(const Assignment& ctx, const Message& m, const Message& p);
  // The message is a generated value facing structure.
  Assignments generated_message(const Assignment& ctx, const Message& m, const Message& p);
  // Generated value g bound to every candidate for target that the intruder
  // could build from g's knowledge and that g's kind admits.
  Assignments bind_synthesized(const Assignment& ctx, const Message& g, const Message& target);

  Assignments unify_generated(const Assignment& ctx, const Message& m, const Message& p);
  Assignments unify_encryption(const Assignment& ctx, const Message& m, const Message& p);
  Assignments unify_pair(const Assignment& ctx, const Message& m, const Message& p);
  // The unifiers of the second components of pairs m and p, sigma unifying the
  // first ones.
  Assignments unify_seconds(const Assignment& ctx, const Assignment& sigma, const Message& m,
                            const Message& p);

  Candidates synthesize_encryption(const Knowledge& k, const Assignment& ctx,
                                   const Message& target);
  Candidates synthesize_pair(const Knowledge& k, const Assignment& ctx, const Message& target);

  KnowledgeManager& mgr_;
  Rules rules_;
};

template <typename Rules>
Assignments Unifier<Rules>::unify(const Assignment& ctx, const Message& m, const Message& p) {
  if constexpr (Rules::kBindingOccurrences) {
    if (p.is(Tag::BindVar)) return {bind(var(p.var()), m)};
  }
  if (m.is_atom()) {
    if (p == m) return {empty_assignment()};
    return fallback(ctx, m, p);
  }
  switch (m.tag()) {
    case Tag::Var:
      if constexpr (Rules::kVariablesBind) return {bind(m, p)};
      return fallback(ctx, m, p);
    case Tag::Gen:
      return unify_generated(ctx, m, p);
    case Tag::Enc:
      return unify_encryption(ctx, m, p);
    case Tag::Pair:
      return unify_pair(ctx, m, p);
    case Tag::PubOf:
    case Tag::PrivOf:
      if (!m.argument().is(Tag::Gen) || p.is(Tag::Var)) return fallback(ctx, m, p);
      return key_of_generated(m, p, [&] { return fallback(ctx, m, p); });
    default:  // NoMessage, BindVar, Trick
      return fallback(ctx, m, p);
  }
}

template <typename Rules>
Assignments Unifier<Rules>::fallback(const Assignment& ctx, const Message& m, const Message& p) {
  if constexpr (Rules::kVariablesBind) {
    if (p.is(Tag::Var)) return {bind(p, m)};
  }
  return generated_pattern(ctx, m, p);
}

template <typename Rules>
Assignments Unifier<Rules>::generated_pattern(const Assignment& ctx, const Message& m,
                                              const Message& p) {
  if (!p.is(Tag::Gen)) return generated_message(ctx, m, p);
  if (m.is(Tag::Gen)) return {};
  return bind_synthesized(ctx, p, m);
}

template <typename Rules>
Assignments Unifier<Rules>::generated_message(const Assignment& ctx, const Message& m,
                                              const Message& p) {
  if (!m.is(Tag::Gen) || p.is(Tag::Gen)) return {};
  return bind_synthesized(ctx, m, p);
}

template <typename Rules>
Assignments Unifier<Rules>::bind_synthesized(const Assignment& ctx, const Message& g,
                                             const Message& target) {
  const Knowledge k = knowledge(g.kid());
  Assignments result;
  for (const Candidate& c : synthesize(k, ctx, target)) {
    if (admits(k, g.kind(), c.message)) result.push_back(compose(c.assignment, bind(g, c.message)));
  }
  return result;
}

template <typename Rules>
Assignments Unifier<Rules>::unify_generated(const Assignment& ctx, const Message& m,
                                            const Message& p) {
  if (p.is(Tag::Gen)) return rules_.meet_generated(*this, ctx, m, p);
  if (p.is(Tag::Var)) return fallback(ctx, m, p);
  Assignments as_key = unconstrained_against_key_of(m, p);
  if (!as_key.empty()) return as_key;
  return generated_message(ctx, m, p);
}

template <typename Rules>
Assignments Unifier<Rules>::unify_encryption(const Assignment& ctx, const Message& m,
                                             const Message& p) {
  const Message& key = m.key();
  if (is_atomic_key(key)) {
    if (p.is(Tag::Enc) && Rules::opens(p.key(), key)) return unify(ctx, m.body(), p.body());
    return is_var_or_gen(p) ? fallback(ctx, m, p) : Assignments{};
  }
  if (!key.is(Tag::Gen) || is_var_or_gen(p)) return fallback(ctx, m, p);
  if (!Rules::unifies_keys_of(key.kind()) || !p.is(Tag::Enc) ||
      !is_gen_of_kind(p.key(), key.kind())) {
    return {};
  }
  // The keys are unified first, and the bodies under each unifier of the keys.
  Assignments result;
  for (const Assignment& sigma : unify(ctx, key, p.key())) {
    for (const Assignment& tau : unify(ctx, apply(sigma, m.body()), apply(sigma, p.body()))) {
      result.push_back(compose(sigma, tau));
    }
  }
  return result;
}

template <typename Rules>
Assignments Unifier<Rules>::unify_pair(const Assignment& ctx, const Message& m, const Message& p) {
  if (!p.is(Tag::Pair)) return is_var_or_gen(p) ? fallback(ctx, m, p) : Assignments{};
  Assignments result;
  for (const Assignment& sigma : unify(ctx, m.first(), p.first())) {
    for (const Assignment& tau : unify_seconds(ctx, sigma, m, p)) {
      result.push_back(compose(sigma, tau));
    }
  }
  return result;
}

template <typename Rules>
Assignments Unifier<Rules>::unify_seconds(const Assignment& ctx, const Assignment& sigma,
                                          const Message& m, const Message& p) {
  if constexpr (Rules::kSecondSeesFirst) {
    // The second components see what the first ones bound.
    return unify(compose(ctx, sigma), apply(sigma, m.second()), apply(sigma, p.second()));
  } else {
    return unify(ctx, apply(sigma, m.second()), apply(sigma, p.second()));
  }
}

template <typename Rules>
Candidates Unifier<Rules>::synthesize(const Knowledge& k, const Assignment& ctx,
                                      const Message& target) {
  if (target.is_atom()) {
    if (can_derive(k, ctx, target)) return {{target, empty_assignment()}};
    return {};
  }
  switch (target.tag()) {
    case Tag::BindVar:
    case Tag::Var:
      return rules_.synthesize_variable(k, target);
    case Tag::Gen:
      return rules_.synthesize_generated(*this, target);
    case Tag::Enc:
      return synthesize_encryption(k, ctx, target);
    case Tag::Pair:
      return synthesize_pair(k, ctx, target);
    case Tag::PubOf:
    case Tag::PrivOf:
      return rules_.synthesize_key_of(*this, target);
    default:  // NoMessage, Trick
      return {};
  }
}

template <typename Rules>
Candidates Unifier<Rules>::synthesize_encryption(const Knowledge& k, const Assignment& ctx,
                                                 const Message& target) {
  const Message& key = target.key();
  if (!is_atomic_key(key)) return rules_.synthesize_under_symbolic_key(*this, k, ctx, target);
  // Built with the encryption key when the intruder can derive it, then replayed.
  const Message& body = target.body();
  const Message e = inverse_key(key);
  Candidates result;
  if (can_derive(k, ctx, e)) result = with_key(synthesize(k, ctx, body), Rules::built_key(key, e));
  const std::vector<Message> known =
      encryptions_under(k, e, [&](const Message& c) { return rules_.may_replay(c, body); });
  if (!known.empty()) append(result, rules_.replay(*this, ctx, known, body));
  return result;
}

template <typename Rules>
Candidates Unifier<Rules>::synthesize_pair(const Knowledge& k, const Assignment& ctx,
                                           const Message& target) {
  const Message& second = target.second();
  Candidates firsts = synthesize(k, ctx, target.first());
  if (firsts.empty()) return firsts;
  if constexpr (Rules::kRefinesPairs) {
    // The first components, each refined so that the second can be built.
    Candidates refined;
    for (const Candidate& c : firsts) {
      for (const Assignment& tau : Refiner(mgr_).refine(apply(c.assignment, second))) {
        refined.push_back({apply(tau, c.message), compose(tau, c.assignment)});
      }
    }
    firsts = std::move(refined);
  }
  Candidates result;
  for (const Candidate& c1 : firsts) {
    for (Candidate& c2 : synthesize(k, ctx, apply(c1.assignment, second))) {
      result.push_back({pair(c1.message, c2.message), compose(c1.assignment, c2.assignment)});
    }
  }
  return result;
}

// ---- The receiving rules ----

Assignments ReceivingRules::meet_generated(Unifier<ReceivingRules>& /*u*/,
                                           const Assignment& /*ctx*/, const Message& m,
                                           const Message& p) const {
  const std::int64_t n = min_kid(m, p);
  if (m.kind() == GenKind::Gen && p.kind() == GenKind::Gen) {
    // The message side stays gen, the pattern side only replays what is known.
    return {bind(m, gen(m.var(), n, GenKind::Gen), p, gen(m.var(), n, GenKind::RGen))};
  }
  if (!kinds_compatible(m.kind(), p.kind())) return {};
  const Message g = gen(m.var(), n, kind_meet(m.kind(), p.kind()));
  return {bind(m, g, p, g)};
}

Candidates ReceivingRules::synthesize_variable(const Knowledge& k, const Message& target) const {
  // An unbound variable cannot be produced.
  if (!target.is(Tag::BindVar) || is_empty_knowledge(k)) return {};
  // An unconstrained input gets a fresh value generated from this knowledge.
  const Message x = var(target.var());
  return {{x, bind(x, gen(target.var(), k.kid(), GenKind::Gen))}};
}

Candidates ReceivingRules::synthesize_generated(Unifier<ReceivingRules>& /*u*/,
                                                const Message& target) const {
  if (target.kind() != GenKind::Gen) return {{target, empty_assignment()}};
  const Message replayed = gen(target.var(), target.kid(), GenKind::RGen);
  return {{replayed, bind(target, replayed)}};
}

Candidates ReceivingRules::synthesize_key_of(Unifier<ReceivingRules>& /*u*/,
                                             const Message& target) const {
  if (is_gen_of_kind(target.argument(), GenKind::RName)) return {{target, empty_assignment()}};
  return {};
}

Candidates ReceivingRules::synthesize_under_symbolic_key(Unifier<ReceivingRules>& u,
                                                         const Knowledge& k, const Assignment& ctx,
                                                         const Message& target) const {
  const Message& key = target.key();
  const Message& body = target.body();
  if (key.is(Tag::Gen)) {
    // The receiver decrypts with one half of a pair: the sender used the other.
    GenKind kind = key.kind();
    if (kind == GenKind::PMKey) {
      kind = GenKind::MPKey;
    } else if (kind == GenKind::MPKey) {
      kind = GenKind::PMKey;
    }
    return with_key(u.synthesize(k, ctx, body), gen(key.var(), key.kid(), kind));
  }
  if (is_key_of(key) && is_gen_of_kind(key.argument(), GenKind::RName)) {
    const Tag other = key.is(Tag::PubOf) ? Tag::PrivOf : Tag::PubOf;
    return with_key(u.synthesize(k, ctx, body), key_of(other, key.argument()));
  }
  return {};
}

// Whether a pattern p and a message m differ where neither holds a variable or
// a generated value: at an atom, or between a pair, an encryption under an
// atomic key and an atom. Whatever those stand for, the receiving rules then
// unify nothing, and substituting them leaves the difference as it is.
bool surely_apart(const Message& m, const Message& p) {
  const auto rigid = [](const Message& t) {
    return t.is_atom() || t.is(Tag::Pair) || t.is(Tag::Enc);
  };
  if (!rigid(m) || !rigid(p)) return false;
  if (m.is_atom() || p.is_atom()) return !(m == p);
  if (m.tag() != p.tag()) return true;
  if (m.is(Tag::Pair)) {
    return surely_apart(m.first(), p.first()) || surely_apart(m.second(), p.second());
  }
  if (!is_atomic_key(m.key()) || !p.key().is_atom()) return false;
  return !decrypts(p.key(), m.key()) || surely_apart(m.body(), p.body());
}

bool ReceivingRules::may_replay(const Message& c, const Message& body) {
  return !surely_apart(c.body(), body);
}

Candidates ReceivingRules::replay(Unifier<ReceivingRules>& u, const Assignment& ctx,
                                  const std::vector<Message>& ciphertexts,
                                  const Message& body) const {
  const auto unify_body = [&](const Message& known_body) { return u.unify(ctx, known_body, body); };
  if (replay_bindings == nullptr || is_empty(*replay_bindings)) {
    return replayed(ciphertexts, unify_body);
  }
  const Assignment& fixed = *replay_bindings;
  // A unifier that binds a generated value the run has already bound treats a
  // value as open that is not: the ciphertext is then read with every binding
  // applied, narrowed generated values included.
  const auto rebinds = [&fixed](const Assignment& tau) {
    return std::ranges::any_of(bindings(tau), [&fixed](const Binding& b) {
      return b.first.is(Tag::Gen) && !apply(fixed, b.first).same(b.first);
    });
  };
  Candidates result;
  for (const Message& c : ciphertexts) {
    Message sent = with_fixed_values(fixed, c);
    std::vector<Assignment> unifiers = unify_body(sent.body());
    if (std::ranges::any_of(unifiers, rebinds)) {
      sent = apply(fixed, c);
      unifiers = unify_body(sent.body());
    }
    for (Assignment& tau : unifiers) result.push_back({sent, std::move(tau)});
  }
  return result;
}

// ---- The verifying rules ----

Assignments VerifyingRules::meet_generated(Unifier<VerifyingRules>& u, const Assignment& ctx,
                                           const Message& m, const Message& p) const {
  if (p.kind() != m.kind()) {
    // Different, compatible kinds: the value of the narrower kind is made
    // concrete, and both are bound to each concrete value.
    if (!kinds_compatible(m.kind(), p.kind())) return {};
    const GenKind meet = kind_meet(m.kind(), p.kind());
    const std::int64_t n = min_kid(m, p);
    const Message g = gen(m.var(), n, m.kind());
    const Message g2 = gen(p.var(), n, p.kind());
    const Message& narrow = meet == m.kind() ? g : g2;
    const Message& other = meet == m.kind() ? g2 : g;
    const Message joint = gen(m.var(), n, meet);
    const Assignment sigma0 = bind(m, joint, p, joint);
    const Knowledge k = u.knowledge(n);
    Assignments result;
    for (const Candidate& c : u.synthesize(k, ctx, narrow)) {
      result.push_back(
          compose(compose(sigma0, c.assignment), bind(other, c.message, narrow, c.message)));
    }
    return result;
  }
  const std::int64_t n = min_kid(m, p);
  if (is_unconstrained(m.kind())) {
    if (p == m) return {empty_assignment()};
    const Message g = gen(m.var(), n, m.kind());
    return {bind(m, g, p, g)};
  }
  Assignments result;
  for (const Message& x : concrete_values(u.knowledge(n), m.kind())) {
    result.push_back(bind(m, x, p, x));
  }
  return result;
}

Candidates VerifyingRules::synthesize_variable(const Knowledge& /*k*/,
                                               const Message& target) const {
  // No special rule for a binding occurrence.
  if (!target.is(Tag::Var)) return {};
  // An unbound variable stands for a symmetric key of the initial knowledge.
  if (!has_sym_key(initial)) return {};
  const Message key = gen(target.var(), initial.kid(), GenKind::SKey);
  return {{key, bind(target, key)}};
}

Candidates VerifyingRules::synthesize_generated(Unifier<VerifyingRules>& u,
                                                const Message& target) const {
  if (is_unconstrained(target.kind())) return {{target, empty_assignment()}};
  Candidates result;
  for (const Message& x : concrete_values(u.knowledge(target.kid()), target.kind())) {
    result.push_back({x, bind(target, x)});
  }
  return result;
}

Candidates VerifyingRules::synthesize_key_of(Unifier<VerifyingRules>& u,
                                             const Message& target) const {
  // PubOf/PrivOf of a name or rname value: the keys of the agents it can be,
  // each binding the rname value of the same identifier and kid to the agent.
  const Message& x = target.argument();
  if (!x.is(Tag::Gen) || !is_named(x.kind())) return {};
  const Knowledge k = u.knowledge(x.kid());
  const Message compromised = gen(x.var(), x.kid(), GenKind::RName);
  Candidates result;
  for (const Message& a : x.kind() == GenKind::Name ? known_agents(k) : compromised_agents(k)) {
    Message key = target.is(Tag::PubOf) ? agent_pub_key(a) : agent_priv_key(a);
    result.push_back({std::move(key), bind(compromised, a)});
  }
  return result;
}

Candidates VerifyingRules::synthesize_under_symbolic_key(Unifier<VerifyingRules>& u,
                                                         const Knowledge& k, const Assignment& ctx,
                                                         const Message& target) const {
  const Message& key = target.key();
  const Message& body = target.body();
  if (!key.is(Tag::Gen) && !(is_key_of(key) && key.argument().is(Tag::Gen))) return {};
  // The key first, then the body under each choice of key.
  Candidates result;
  for (const Candidate& ck : u.synthesize(k, ctx, key)) {
    for (const Candidate& cb : u.synthesize(k, ctx, apply(ck.assignment, body))) {
      result.push_back({enc(cb.message, ck.message), compose(ck.assignment, cb.assignment)});
    }
  }
  return result;
}

Candidates VerifyingRules::replay(Unifier<VerifyingRules>& u, const Assignment& ctx,
                                  const std::vector<Message>& ciphertexts,
                                  const Message& body) const {
  // The ciphertexts as they stand on the trace: a value fixed after one was
  // learnt must not be fixed a second time to make it fit.
  std::vector<Message> current;
  current.reserve(ciphertexts.size());
  for (const Message& c : ciphertexts) current.push_back(apply(ctx, c));
  return replayed(current,
                  [&](const Message& known_body) { return u.unify(ctx, known_body, body); });
}

}  // namespace

// Read from t's shape: t holds no generated value that refinement narrows,
// nothing refinement refuses, and no key that substituting would fail on. Spares
// building the lists of the recursion for the many terms refinement leaves alone.
bool refines_to_nothing(const Message& t) {
  if (t.is_atom()) return true;
  switch (t.tag()) {
    case Tag::BindVar:
    case Tag::Gen:
      return true;
    case Tag::Pair:
      return refines_to_nothing(t.first()) && refines_to_nothing(t.second());
    case Tag::Enc: {
      const Message& key = t.key();
      const bool plain_key = key.is_atom() || key.is(Tag::Var) || key.is(Tag::BindVar) ||
                             (key.is(Tag::Gen) && !is_unconstrained(key.kind())) ||
                             (is_key_of(key) && !key.argument().is(Tag::Gen));
      return plain_key && refines_to_nothing(t.body());
    }
    default:
      return false;
  }
}

std::vector<Assignment> SymbolicCore::unify(const Assignment& ctx, const Message& m,
                                            const Message& p) {
  return Unifier(mgr_, ReceivingRules{nullptr}).unify(ctx, m, p);
}

std::vector<Candidate> SymbolicCore::synthesize(const Knowledge& k, const Assignment& ctx,
                                                const Message& target,
                                                const Assignment& replay_bindings) {
  return Unifier(mgr_, ReceivingRules{&replay_bindings}).synthesize(k, ctx, target);
}

std::vector<Assignment> SymbolicCore::refine(const Message& t) {
  return Refiner(mgr_).refine(t);
}

std::vector<Assignment> SymbolicCore::unify_terms(const Assignment& ctx, const Message& m,
                                                  const Message& p) {
  return Unifier(mgr_, VerifyingRules{initial_}).unify(ctx, m, p);
}

std::vector<Candidate> SymbolicCore::synthesize_term(const Knowledge& k, const Assignment& ctx,
                                                     const Message& target) {
  return Unifier(mgr_, VerifyingRules{initial_}).synthesize(k, ctx, target);
}

}  // namespace analyser
