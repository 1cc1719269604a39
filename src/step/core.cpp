#include "step/core.h"

#include <algorithm>
#include <iterator>

namespace {

using Assignments = std::vector<Assignment>;
using Candidates = std::vector<Candidate>;

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

// synthesize or synthesize_term: the two groups share their fallbacks.
using Synthesis = Candidates (*)(KnowledgeManager&, const Knowledge&, const Assignment&,
                                 const Message&);

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

bool is_atomic_key(const Message& m) {
  return m.is(Tag::SymKey) || m.is(Tag::PubKey) || m.is(Tag::PrivKey);
}
bool is_key_of(const Message& m) {
  return m.is(Tag::PubOf) || m.is(Tag::PrivOf);
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

// Generated value g bound to every candidate for target that the intruder could
// build from g's knowledge and that g's kind admits.
Assignments bind_synthesized(KnowledgeManager& mgr, Synthesis synthesis, const Assignment& ctx,
                             const Message& g, const Message& target) {
  const Knowledge k = find_knowledge(mgr, g.kid());
  Assignments result;
  for (const Candidate& c : synthesis(mgr, k, ctx, target)) {
    if (admits(k, g.kind(), c.message)) result.push_back(compose(c.assignment, bind(g, c.message)));
  }
  return result;
}

// The message is a generated value facing structure.
Assignments generated_message(KnowledgeManager& mgr, Synthesis synthesis, const Assignment& ctx,
                              const Message& m, const Message& p) {
  if (!m.is(Tag::Gen) || p.is(Tag::Gen)) return {};
  return bind_synthesized(mgr, synthesis, ctx, m, p);
}

// The pattern is a generated value facing structure; otherwise as above.
Assignments generated_pattern(KnowledgeManager& mgr, Synthesis synthesis, const Assignment& ctx,
                              const Message& m, const Message& p) {
  if (!p.is(Tag::Gen)) return generated_message(mgr, synthesis, ctx, m, p);
  if (m.is(Tag::Gen)) return {};
  return bind_synthesized(mgr, synthesis, ctx, p, m);
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

// ---- Unification with receiver patterns ----

Assignments unify_fallback(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                           const Message& p) {
  return generated_pattern(mgr, synthesize, ctx, m, p);
}

Assignments unify_generated(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                            const Message& p) {
  if (p.is(Tag::Gen)) {
    const std::int64_t n = min_kid(m, p);
    if (m.kind() == GenKind::Gen && p.kind() == GenKind::Gen) {
      // The message side stays gen, the pattern side only replays what is known.
      return {bind(m, gen(m.var(), n, GenKind::Gen), p, gen(m.var(), n, GenKind::RGen))};
    }
    if (!kinds_compatible(m.kind(), p.kind())) return {};
    const Message g = gen(m.var(), n, kind_meet(m.kind(), p.kind()));
    return {bind(m, g, p, g)};
  }
  Assignments as_key = unconstrained_against_key_of(m, p);
  if (!as_key.empty()) return as_key;
  return generated_message(mgr, synthesize, ctx, m, p);
}

Assignments unify_encryption(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                             const Message& p) {
  const Message& key = m.key();
  if (is_atomic_key(key)) {
    if (p.is(Tag::Enc) && decrypts(p.key(), key)) return unify(mgr, ctx, m.body(), p.body());
    return p.is(Tag::Gen) ? unify_fallback(mgr, ctx, m, p) : Assignments{};
  }
  if (!is_gen_of_kind(key, GenKind::SKey)) return unify_fallback(mgr, ctx, m, p);
  if (p.is(Tag::Enc) && is_gen_of_kind(p.key(), GenKind::SKey)) {
    const Message g = gen(key.var(), min_kid(key, p.key()), GenKind::SKey);
    const Assignment sigma = bind(key, g, p.key(), g);
    Assignments result = unify(mgr, ctx, apply(sigma, m.body()), apply(sigma, p.body()));
    for (Assignment& tau : result) tau = compose(sigma, tau);
    return result;
  }
  return p.is(Tag::Gen) ? unify_fallback(mgr, ctx, m, p) : Assignments{};
}

Assignments unify_pair(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                       const Message& p) {
  if (!p.is(Tag::Pair)) return p.is(Tag::Gen) ? unify_fallback(mgr, ctx, m, p) : Assignments{};
  Assignments result;
  for (const Assignment& sigma : unify(mgr, ctx, m.first(), p.first())) {
    // The second components see what the first ones bound.
    for (const Assignment& tau :
         unify(mgr, compose(ctx, sigma), apply(sigma, m.second()), apply(sigma, p.second()))) {
      result.push_back(compose(sigma, tau));
    }
  }
  return result;
}

// ---- Intruder synthesis ----

Candidates synthesize_encryption(KnowledgeManager& mgr, const Knowledge& k, const Assignment& ctx,
                                 const Message& target) {
  const Message& key = target.key();
  const Message& body = target.body();
  if (is_atomic_key(key)) {
    const Message e = inverse_key(key);
    Candidates result;
    if (can_derive(k, ctx, e)) result = with_key(synthesize(mgr, k, ctx, body), e);
    append(result, unify_ciphertexts(mgr, k, ctx, encryptions_under(k, e), body));
    return result;
  }
  if (key.is(Tag::Gen)) {
    // The receiver decrypts with one half of a pair: the sender used the other.
    GenKind kind = key.kind();
    if (kind == GenKind::PMKey) {
      kind = GenKind::MPKey;
    } else if (kind == GenKind::MPKey) {
      kind = GenKind::PMKey;
    }
    return with_key(synthesize(mgr, k, ctx, body), gen(key.var(), key.kid(), kind));
  }
  if (is_key_of(key) && is_gen_of_kind(key.argument(), GenKind::RName)) {
    const Tag other = key.is(Tag::PubOf) ? Tag::PrivOf : Tag::PubOf;
    return with_key(synthesize(mgr, k, ctx, body), key_of(other, key.argument()));
  }
  return {};
}

Candidates synthesize_pair(KnowledgeManager& mgr, const Knowledge& k, const Assignment& ctx,
                           const Message& target) {
  const Message& second = target.second();
  // The first components, each refined so that the second can be built.
  Candidates firsts;
  for (const Candidate& c : synthesize(mgr, k, ctx, target.first())) {
    for (const Assignment& tau : refine(mgr, c.assignment, apply(c.assignment, second))) {
      firsts.push_back({apply(tau, c.message), compose(tau, c.assignment)});
    }
  }
  Candidates result;
  for (const Candidate& c1 : firsts) {
    for (Candidate& c2 : synthesize(mgr, k, ctx, apply(c1.assignment, second))) {
      result.push_back({pair(c1.message, c2.message), compose(c1.assignment, c2.assignment)});
    }
  }
  return result;
}

// ---- Refinement ----

// Generated value g replaced by each candidate in turn, t refined under it.
Assignments refine_each(KnowledgeManager& mgr, const Assignment& ctx, const Message& g,
                        const std::vector<Message>& candidates, const Message& t) {
  Assignments result;
  for (const Message& c : candidates) {
    const Assignment sigma = bind(g, c);
    for (const Assignment& tau : refine(mgr, ctx, apply(sigma, t))) {
      result.push_back(compose(tau, sigma));
    }
  }
  return result;
}

// The agents a name value x can be: the honest ones one by one, and the
// compromised ones as a single rname value.
std::vector<Message> agent_candidates(KnowledgeManager& mgr, const Message& x) {
  const Knowledge k = find_knowledge(mgr, x.kid());
  std::vector<Message> result = honest_agents(k);
  if (has_compromised_agent(k)) result.push_back(gen(x.var(), x.kid(), GenKind::RName));
  return result;
}

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

Assignments refine_encryption(KnowledgeManager& mgr, const Assignment& ctx, const Message& t) {
  const Message& key = t.key();
  const Message& body = t.body();
  if (key.is(Tag::Gen) && is_unconstrained(key.kind())) {
    const Knowledge k = find_knowledge(mgr, key.kid());
    if (has_atomic_key(k)) return refine_each(mgr, ctx, key, key_candidates(k, key), body);
  } else if (is_key_of(key) && key.argument().is(Tag::Gen)) {
    const Message& x = key.argument();
    if (x.kind() == GenKind::Name) return refine_each(mgr, ctx, x, agent_candidates(mgr, x), body);
    if (is_unconstrained(x.kind())) return refine_each(mgr, ctx, x, {as_name(x)}, t);
  }
  return refine(mgr, ctx, body);
}

Assignments refine_key_of(KnowledgeManager& mgr, const Assignment& ctx, const Message& t) {
  const Message& x = t.argument();
  if (!x.is(Tag::Gen)) return {};
  switch (x.kind()) {
    case GenKind::Name: {
      Assignments result;
      for (const Message& c : agent_candidates(mgr, x)) result.push_back(bind(x, c));
      return result;
    }
    case GenKind::RName:
      return {empty_assignment()};
    case GenKind::Gen:
    case GenKind::RGen:
      return refine_each(mgr, ctx, x, {as_name(x)}, t);
    default:  // keys are not agents
      return {};
  }
}

// ---- The verifier's variants ----

Assignments terms_fallback(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                           const Message& p) {
  if (p.is(Tag::Var)) return {bind(p, m)};
  return generated_pattern(mgr, synthesize_term, ctx, m, p);
}

bool is_var_or_gen(const Message& m) {
  return m.is(Tag::Var) || m.is(Tag::Gen);
}

// Two generated values of different, compatible kinds: the one of the narrower
// kind is made concrete, and both are bound to each concrete value.
Assignments unify_terms_kinds(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                              const Message& p) {
  if (!kinds_compatible(m.kind(), p.kind())) return {};
  const GenKind meet = kind_meet(m.kind(), p.kind());
  const std::int64_t n = min_kid(m, p);
  const Message g = gen(m.var(), n, m.kind());
  const Message g2 = gen(p.var(), n, p.kind());
  const Message& narrow = meet == m.kind() ? g : g2;
  const Message& other = meet == m.kind() ? g2 : g;
  const Message joint = gen(m.var(), n, meet);
  const Assignment sigma0 = bind(m, joint, p, joint);
  const Knowledge k = find_knowledge(mgr, n);
  Assignments result;
  for (const Candidate& c : synthesize_term(mgr, k, ctx, narrow)) {
    result.push_back(
        compose(compose(sigma0, c.assignment), bind(other, c.message, narrow, c.message)));
  }
  return result;
}

Assignments unify_terms_generated(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                                  const Message& p) {
  if (p.is(Tag::Gen)) {
    if (p.kind() != m.kind()) return unify_terms_kinds(mgr, ctx, m, p);
    const std::int64_t n = min_kid(m, p);
    if (is_unconstrained(m.kind())) {
      if (p == m) return {empty_assignment()};
      const Message g = gen(m.var(), n, m.kind());
      return {bind(m, g, p, g)};
    }
    Assignments result;
    for (const Message& x : concrete_values(find_knowledge(mgr, n), m.kind())) {
      result.push_back(bind(m, x, p, x));
    }
    return result;
  }
  if (p.is(Tag::Var)) return terms_fallback(mgr, ctx, m, p);
  Assignments as_key = unconstrained_against_key_of(m, p);
  if (!as_key.empty()) return as_key;
  return generated_message(mgr, synthesize_term, ctx, m, p);
}

Assignments unify_terms_encryption(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                                   const Message& p) {
  const Message& key = m.key();
  if (is_atomic_key(key)) {
    // Keys are compared as they stand.
    if (p.is(Tag::Enc) && p.key() == key) return unify_terms(mgr, ctx, m.body(), p.body());
    return is_var_or_gen(p) ? terms_fallback(mgr, ctx, m, p) : Assignments{};
  }
  if (!key.is(Tag::Gen) || is_var_or_gen(p)) return terms_fallback(mgr, ctx, m, p);
  const GenKind kind = key.kind();
  const bool key_kind = kind == GenKind::SKey || kind == GenKind::PMKey || kind == GenKind::MPKey;
  if (!key_kind || !p.is(Tag::Enc) || !is_gen_of_kind(p.key(), kind)) return {};
  Assignments result;
  for (const Assignment& sigma : unify_terms(mgr, ctx, key, p.key())) {
    for (const Assignment& tau :
         unify_terms(mgr, ctx, apply(sigma, m.body()), apply(sigma, p.body()))) {
      result.push_back(compose(sigma, tau));
    }
  }
  return result;
}

Assignments unify_terms_pair(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                             const Message& p) {
  if (!p.is(Tag::Pair)) return is_var_or_gen(p) ? terms_fallback(mgr, ctx, m, p) : Assignments{};
  Assignments result;
  for (const Assignment& sigma : unify_terms(mgr, ctx, m.first(), p.first())) {
    for (const Assignment& tau :
         unify_terms(mgr, ctx, apply(sigma, m.second()), apply(sigma, p.second()))) {
      result.push_back(compose(sigma, tau));
    }
  }
  return result;
}

Candidates synthesize_term_encryption(KnowledgeManager& mgr, const Knowledge& k,
                                      const Assignment& ctx, const Message& target) {
  const Message& key = target.key();
  const Message& body = target.body();
  if (is_atomic_key(key)) {
    // Derivability and replay use the encryption key; the built candidates keep
    // the key as written, the way the verifier compares keys.
    const Message e = inverse_key(key);
    Candidates result;
    if (can_derive(k, ctx, e)) result = with_key(synthesize_term(mgr, k, ctx, body), key);
    append(result, unify_terms_ciphertexts(mgr, k, ctx, encryptions_under(k, e), body));
    return result;
  }
  if (!key.is(Tag::Gen) && !(is_key_of(key) && key.argument().is(Tag::Gen))) return {};
  Candidates result;
  for (const Candidate& ck : synthesize_term(mgr, k, ctx, key)) {
    for (const Candidate& cb : synthesize_term(mgr, k, ctx, apply(ck.assignment, body))) {
      result.push_back({enc(cb.message, ck.message), compose(ck.assignment, cb.assignment)});
    }
  }
  return result;
}

// PubOf/PrivOf of a name or rname value: the keys of the agents it can be, each
// binding the rname value of the same identifier and kid to the agent.
Candidates synthesize_term_key_of(KnowledgeManager& mgr, const Message& target) {
  const Message& x = target.argument();
  if (!x.is(Tag::Gen) || !is_named(x.kind())) return {};
  const Knowledge k = find_knowledge(mgr, x.kid());
  const Message compromised = gen(x.var(), x.kid(), GenKind::RName);
  Candidates result;
  for (const Message& a : x.kind() == GenKind::Name ? known_agents(k) : compromised_agents(k)) {
    Message key = target.is(Tag::PubOf) ? agent_pub_key(a) : agent_priv_key(a);
    result.push_back({std::move(key), bind(compromised, a)});
  }
  return result;
}

}  // namespace

// Read from t's shape: t holds no generated value that refinement narrows,
// nothing refinement refuses, and no key that substituting would fail on. Spares
// building the lists of the recursion for the many terms refinement leaves alone.
bool refines_to_nothing(const Message& t) {
  switch (t.tag()) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
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

std::vector<Assignment> unify(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                              const Message& p) {
  if (p.is(Tag::BindVar)) return {bind(var(p.var()), m)};
  switch (m.tag()) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
      if (p == m) return {empty_assignment()};
      return unify_fallback(mgr, ctx, m, p);
    case Tag::Gen:
      return unify_generated(mgr, ctx, m, p);
    case Tag::Enc:
      return unify_encryption(mgr, ctx, m, p);
    case Tag::Pair:
      return unify_pair(mgr, ctx, m, p);
    case Tag::PubOf:
    case Tag::PrivOf:
      if (!m.argument().is(Tag::Gen)) return unify_fallback(mgr, ctx, m, p);
      return key_of_generated(m, p, [&] { return unify_fallback(mgr, ctx, m, p); });
    default:  // NoMessage, Var, BindVar, Trick
      return unify_fallback(mgr, ctx, m, p);
  }
}

namespace {

thread_local const Assignment* replay_bindings = nullptr;

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

}  // namespace

ReplayBindings::ReplayBindings(const Assignment& node_assignment) : outer_(replay_bindings) {
  replay_bindings = &node_assignment;
}

ReplayBindings::~ReplayBindings() {
  replay_bindings = outer_;
}

std::vector<Candidate> unify_ciphertexts(KnowledgeManager& mgr, const Knowledge& /*k*/,
                                         const Assignment& ctx,
                                         const std::vector<Message>& ciphertexts,
                                         const Message& body) {
  const auto unify_body = [&](const Message& known_body) {
    return unify(mgr, ctx, known_body, body);
  };
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

std::vector<Candidate> synthesize(KnowledgeManager& mgr, const Knowledge& k, const Assignment& ctx,
                                  const Message& target) {
  switch (target.tag()) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
      if (can_derive(k, ctx, target)) return {{target, empty_assignment()}};
      return {};
    case Tag::BindVar: {
      // An unconstrained input gets a fresh value generated from this knowledge.
      if (is_empty_knowledge(k)) return {};
      const Message x = var(target.var());
      return {{x, bind(x, gen(target.var(), kid(k), GenKind::Gen))}};
    }
    case Tag::Gen: {
      if (target.kind() != GenKind::Gen) return {{target, empty_assignment()}};
      const Message replayed = gen(target.var(), target.kid(), GenKind::RGen);
      return {{replayed, bind(target, replayed)}};
    }
    case Tag::Enc:
      return synthesize_encryption(mgr, k, ctx, target);
    case Tag::Pair:
      return synthesize_pair(mgr, k, ctx, target);
    case Tag::PubOf:
    case Tag::PrivOf:
      if (is_gen_of_kind(target.argument(), GenKind::RName)) {
        return {{target, empty_assignment()}};
      }
      return {};
    default:  // NoMessage, Var, Trick: an unbound variable cannot be produced
      return {};
  }
}

std::vector<Assignment> refine(KnowledgeManager& mgr, const Assignment& ctx, const Message& t) {
  if (refines_to_nothing(t)) return {empty_assignment()};
  switch (t.tag()) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
    case Tag::BindVar:
    case Tag::Gen:
      return {empty_assignment()};
    case Tag::Pair: {
      Assignments result;
      for (const Assignment& sigma : refine(mgr, ctx, t.first())) {
        for (const Assignment& tau : refine(mgr, ctx, apply(sigma, t.second()))) {
          result.push_back(compose(tau, sigma));
        }
      }
      return result;
    }
    case Tag::Enc:
      return refine_encryption(mgr, ctx, t);
    case Tag::PubOf:
    case Tag::PrivOf:
      return refine_key_of(mgr, ctx, t);
    default:  // NoMessage, Var, Trick
      return {};
  }
}

std::vector<Assignment> unify_terms(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                                    const Message& p) {
  switch (m.tag()) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
      if (p == m) return {empty_assignment()};
      return terms_fallback(mgr, ctx, m, p);
    case Tag::Var:
      return {bind(m, p)};
    case Tag::Gen:
      return unify_terms_generated(mgr, ctx, m, p);
    case Tag::Enc:
      return unify_terms_encryption(mgr, ctx, m, p);
    case Tag::Pair:
      return unify_terms_pair(mgr, ctx, m, p);
    case Tag::PubOf:
    case Tag::PrivOf:
      if (!m.argument().is(Tag::Gen) || p.is(Tag::Var)) return terms_fallback(mgr, ctx, m, p);
      return key_of_generated(m, p, [&] { return terms_fallback(mgr, ctx, m, p); });
    default:  // NoMessage, BindVar, Trick
      return terms_fallback(mgr, ctx, m, p);
  }
}

std::vector<Candidate> unify_terms_ciphertexts(KnowledgeManager& mgr, const Knowledge& /*k*/,
                                               const Assignment& ctx,
                                               const std::vector<Message>& ciphertexts,
                                               const Message& body) {
  // The ciphertexts as they stand on the trace: a value fixed after one was
  // learnt must not be fixed a second time to make it fit.
  std::vector<Message> current;
  current.reserve(ciphertexts.size());
  for (const Message& c : ciphertexts) current.push_back(apply(ctx, c));
  return replayed(current, [&](const Message& known_body) {
    return unify_terms(mgr, ctx, known_body, body);
  });
}

std::vector<Candidate> synthesize_term(KnowledgeManager& mgr, const Knowledge& k,
                                       const Assignment& ctx, const Message& target) {
  switch (target.tag()) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
      if (can_derive(k, ctx, target)) return {{target, empty_assignment()}};
      return {};
    case Tag::Var: {
      // An unbound variable stands for a symmetric key of the initial knowledge.
      if (!has_sym_key(find_knowledge(mgr, 1))) return {};
      const Message key = gen(target.var(), 1, GenKind::SKey);
      return {{key, bind(target, key)}};
    }
    case Tag::Gen: {
      if (is_unconstrained(target.kind())) return {{target, empty_assignment()}};
      Candidates result;
      for (const Message& x : concrete_values(find_knowledge(mgr, target.kid()), target.kind())) {
        result.push_back({x, bind(target, x)});
      }
      return result;
    }
    case Tag::Enc:
      return synthesize_term_encryption(mgr, k, ctx, target);
    case Tag::Pair: {
      Candidates result;
      for (const Candidate& c1 : synthesize_term(mgr, k, ctx, target.first())) {
        for (const Candidate& c2 :
             synthesize_term(mgr, k, ctx, apply(c1.assignment, target.second()))) {
          result.push_back({pair(c1.message, c2.message), compose(c1.assignment, c2.assignment)});
        }
      }
      return result;
    }
    case Tag::PubOf:
    case Tag::PrivOf:
      return synthesize_term_key_of(mgr, target);
    default:  // NoMessage, BindVar, Trick
      return {};
  }
}
