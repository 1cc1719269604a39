#include "step/core.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace analyser {

namespace {

// Terms. Variables and generated values carry a parsed identity, so that they
// print as name__0; generated values print their kid and kind.
VarId id(const std::string& name) {
  return VarId{name, "", 0};
}
Message X(const std::string& name) {
  return var(id(name));
}
Message BX(const std::string& name) {
  return bind_var(id(name));
}
Message G(const std::string& name, std::int64_t kid, GenKind kind = GenKind::Gen) {
  return gen(id(name), kid, kind);
}

constexpr GenKind kGen = GenKind::Gen;
constexpr GenKind kRGen = GenKind::RGen;
constexpr GenKind kSKey = GenKind::SKey;
constexpr GenKind kName = GenKind::Name;
constexpr GenKind kRName = GenKind::RName;
constexpr GenKind kPMKey = GenKind::PMKey;
constexpr GenKind kMPKey = GenKind::MPKey;

const Message A = agent("A", 1);
const Message B = agent("B", 1);
const Message C = agent("C", 1);
const Message N1 = nonce("n", 1);
const Message N2 = nonce("n", 2);
const Message N3 = nonce("n", 3);
const Message K1 = sym_key("k", 1);
const Message K2 = sym_key("k", 2);
const Message PUB_B = pub_key("B", 1);
const Message PRIV_B = priv_key("B", 1);
const Message PUB_C = pub_key("C", 1);
const Message PRIV_C = priv_key("C", 1);
const Message PUB_D = pub_key("D", 1);
const Message PRIV_D = priv_key("D", 1);
const Message PUB_E = pub_key("E", 1);

// Renderings of results: every binding in sequence order, so that a changed
// rule order or composition order shows.
std::string show(const Message& m) {
  std::ostringstream s;
  print_message(s, m);
  return s.str();
}

std::string show(const Assignment& a) {
  std::string s = "{";
  const char* separator = "";
  for (const Binding& b : a.bindings()) {
    s += separator + show(b.first) + "->" + show(b.second);
    separator = ", ";
  }
  return s + "}";
}

std::string show(const std::vector<Assignment>& as) {
  std::string s;
  for (const Assignment& a : as) s += (s.empty() ? "" : " ") + show(a);
  return s;
}

std::string show(const std::vector<Candidate>& cs) {
  std::string s;
  for (const Candidate& c : cs) {
    s += (s.empty() ? "" : " | ") + show(c.message) + " " + show(c.assignment);
  }
  return s;
}

// Each test gets its own manager; knowledge sets receive kids 0, 1, 2, ... in
// the order the test creates them, and stay alive for the whole test.
class CoreTest : public testing::Test {
 protected:
  // A registered knowledge that learnt ms from last to first, so that atoms are
  // stored in the order listed (newest first).
  Knowledge know(const std::vector<Message>& ms) {
    Knowledge k;
    for (auto it = ms.rbegin(); it != ms.rend(); ++it) k = learn(k, *it);
    alive_.push_back(
        derive_knowledge(core_.knowledge_manager(), k, empty_assignment(), no_message()));
    return alive_.back();
  }

  std::string unify_(const Message& m, const Message& p, const Assignment& ctx = {}) {
    return show(core_.unify(ctx, m, p));
  }
  std::string synthesize_(const Knowledge& k, const Message& t, const Assignment& ctx = {},
                          const Assignment& replay_bindings = {}) {
    return show(core_.synthesize(k, ctx, t, replay_bindings));
  }
  std::string refine_(const Message& t) { return show(core_.refine(t)); }
  std::string unify_terms_(const Message& m, const Message& p) {
    return show(core_.unify_terms(empty_assignment(), m, p));
  }
  std::string synthesize_term_(const Knowledge& k, const Message& t) {
    return show(core_.synthesize_term(k, empty_assignment(), t));
  }

  SymbolicCore core_;
  std::vector<Knowledge> alive_;
};

// One row: message, pattern, expected unifiers.
struct Row {
  Message m;
  Message p;
  std::string expected;
};

// ---------------------------------------------------------------- unify

using UnifyTest = CoreTest;

TEST_F(UnifyTest, ABindingPatternTakesAnyMessage) {
  for (const Message& m : {N1, no_message(), pair(A, X("y")), G("g", 7), enc(N1, X("k"))}) {
    EXPECT_EQ(unify_(m, BX("x")), "{x__0->" + show(m) + "}");
  }
}

TEST_F(UnifyTest, AtomsAndPatternKeys) {
  const std::vector<Row> rows = {
      {N1, N1, "{}"},
      {N1, N2, ""},
      {A, B, ""},
      // A pattern names the decryption key.
      {enc(N1, PUB_B), enc(BX("x"), PRIV_B), "{x__0->n_1}"},
      {enc(N1, PUB_B), enc(BX("x"), PUB_B), ""},
      {enc(N1, PRIV_B), enc(BX("x"), PUB_B), "{x__0->n_1}"},
      {enc(N1, PRIV_B), enc(BX("x"), PRIV_B), ""},
      {enc(N1, PUB_B), enc(BX("x"), priv_key("B", 2)), ""},
      {enc(N1, PUB_B), enc(BX("x"), PRIV_C), ""},
      {enc(N1, K1), enc(BX("x"), K1), "{x__0->n_1}"},
      {enc(N1, K1), enc(BX("x"), K2), ""},
      {enc(N1, K1), pair(BX("x"), BX("y")), ""},
      {enc(N1, K1), X("x"), ""},
      {pair(N1, A), pair(BX("x"), B), ""},
      {pair(N1, X("y")), pair(BX("x"), BX("z")), "{x__0->n_1, z__0->y__0}"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(unify_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
}

TEST_F(UnifyTest, GeneratedValuesMeetAtTheSmallerKidAndTheNarrowerKind) {
  const std::vector<Row> rows = {
      // Both gen: the pattern side only replays what the intruder knows.
      {G("x", 5), G("y", 3), "{y__0(K:3:gen)->x__0(KR:3:gen), x__0(K:5:gen)->x__0(K:3:gen)}"},
      // A value bound to itself still counts as unbound, so the pattern-side
      // binding is added in front.
      {G("x", 3), G("x", 3), "{x__0(K:3:gen)->x__0(KR:3:gen), x__0(K:3:gen)->x__0(K:3:gen)}"},
      {G("x", 1, kRGen), G("y", 1),
       "{y__0(K:1:gen)->x__0(KR:1:gen), x__0(KR:1:gen)->x__0(KR:1:gen)}"},
      {G("x", 3), G("y", 5, kName),
       "{y__0(K:5:name)->x__0(K:3:name), x__0(K:3:gen)->x__0(K:3:name)}"},
      {G("x", 6, kName), G("y", 5, kRName),
       "{y__0(K:5:rname)->x__0(K:5:rname), x__0(K:6:name)->x__0(K:5:rname)}"},
      // Equal rank: the message's kind wins.
      {G("x", 2, kPMKey), G("y", 4, kMPKey),
       "{y__0(K:4:mpkey)->x__0(K:2:pmkey), x__0(K:2:pmkey)->x__0(K:2:pmkey)}"},
      {G("x", 2, kMPKey), G("y", 4, kPMKey),
       "{y__0(K:4:pmkey)->x__0(K:2:mpkey), x__0(K:2:mpkey)->x__0(K:2:mpkey)}"},
      {G("x", 2, kSKey), G("y", 1, kPMKey),
       "{y__0(K:1:pmkey)->x__0(K:1:pmkey), x__0(K:2:skey)->x__0(K:1:pmkey)}"},
      // Incompatible kinds, and no fallback between two generated values.
      {G("x", 2, kSKey), G("y", 1, kName), ""},
      {G("x", 2, kRName), G("y", 1, kSKey), ""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(unify_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
}

TEST_F(UnifyTest, UnconstrainedValueAgainstTheKeyOfAName) {
  know({});
  know({A});
  const std::vector<Row> rows = {
      {G("x", 4), pub_of(G("y", 2, kName)),
       "{y__0(K:2:name)->y__0(K:2:name), x__0(K:4:gen)->x__0(K:2:name)+}"},
      {G("x", 1, kRGen), priv_of(G("y", 2, kRName)),
       "{y__0(K:2:rname)->y__0(K:1:rname), x__0(KR:1:gen)->x__0(K:1:rname)-}"},
      // Otherwise the synthesis from knowledge 1 decides: the key of a name
      // value cannot be built, that of an rname value is not a symmetric key.
      {G("x", 1, kSKey), pub_of(G("y", 2, kName)), ""},
      {G("x", 1, kSKey), pub_of(G("y", 2, kRName)), ""},
      {G("x", 1), pub_of(G("y", 2, kSKey)), ""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(unify_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
}

TEST_F(UnifyTest, KeyOfAGeneratedName) {
  know({});
  const std::vector<Row> rows = {
      {pub_of(G("a", 2, kName)), G("y", 4),
       "{y__0(K:4:gen)->a__0(K:2:name)+, a__0(K:2:name)->y__0(K:2:name)}"},
      {priv_of(G("a", 4, kRName)), G("y", 2, kRGen),
       "{y__0(KR:2:gen)->a__0(K:2:rname)-, a__0(K:4:rname)->y__0(K:2:rname)}"},
      {pub_of(G("a", 2, kName)), pub_of(G("b", 1, kRName)),
       "{b__0(K:1:rname)->a__0(K:1:rname), a__0(K:2:name)->a__0(K:1:rname)}"},
      {pub_of(G("a", 2, kName)), priv_of(G("b", 1, kRName)), ""},
      {pub_of(G("a", 2, kSKey)), pub_of(G("b", 1, kName)), ""},
      {pub_of(G("a", 2, kName)), X("z"), ""},
      {pub_of(G("a", 2, kName)), PUB_B, ""},
      // A generated pattern of another kind goes to the synthesis from its
      // knowledge (kid 0), which cannot build the key of an unconstrained value.
      {pub_of(G("a", 0)), G("y", 0), ""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(unify_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
}

TEST_F(UnifyTest, EncryptionsUnderGeneratedSymmetricKeys) {
  const Message l = G("l", 3, kSKey);
  const Message k = G("k", 5, kSKey);
  const std::vector<Row> rows = {
      // The keys are merged first, and the bodies unified under that merge;
      // the merge comes before the body's bindings.
      {enc(pair(N1, k), k), enc(pair(BX("x"), BX("z")), l),
       "{l__0(K:3:skey)->k__0(K:3:skey), k__0(K:5:skey)->k__0(K:3:skey), x__0->n_1, "
       "z__0->k__0(K:3:skey)}"},
      {enc(N1, k), enc(BX("x"), K1), ""},
      {enc(N1, k), enc(BX("x"), G("l", 3, kPMKey)), ""},
      {enc(N1, G("k", 5, kPMKey)), enc(BX("x"), G("l", 3, kPMKey)), ""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(unify_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
}

// Kinds decide which synthesized candidates a generated pattern accepts.
TEST_F(UnifyTest, KindsOfAGeneratedPatternFilterTheCandidates) {
  // C is compromised, D's key pair is known without D, A is honest.
  Knowledge k = know({A, C, PUB_C, PRIV_C, K1, PUB_D, PRIV_D, N1});
  ASSERT_EQ(k.kid(), 0);
  struct Case {
    Message m;
    GenKind kind;
    bool admitted;
  };
  const std::vector<Case> cases = {
      {N1, kGen, true},          {N1, kRGen, true},           {N1, kSKey, false},
      {N1, kName, false},        {K1, kSKey, true},           {K1, kPMKey, false},
      {A, kName, true},          {A, kRName, false},          {C, kRName, true},
      {C, kName, true},          {PUB_D, kPMKey, true},       {PUB_D, kMPKey, true},
      {PRIV_D, kPMKey, false},   {PRIV_D, kMPKey, false},     {PRIV_D, kRGen, true},
      {pair(N1, A), kGen, true}, {pair(N1, A), kRGen, false}, {N2, kGen, false},
  };
  for (const Case& c : cases) {
    const Message p = G("p", 0, c.kind);
    const std::string admitted = "{" + show(p) + "->" + show(c.m) + "}";
    EXPECT_EQ(unify_(c.m, p), c.admitted ? admitted : "") << show(c.m) << " / " << show(p);
    // The same filter when the generated value is the message.
    EXPECT_EQ(unify_(p, c.m), c.admitted ? admitted : "") << show(p) << " / " << show(c.m);
  }
}

TEST_F(UnifyTest, TheGeneratedValueOwnKnowledgeIsUsed) {
  know({A});  // kid 0
  know({B});  // kid 1
  EXPECT_EQ(unify_(A, G("p", 0, kName)), "{p__0(K:0:name)->A_1}");
  EXPECT_EQ(unify_(A, G("p", 1, kName)), "");
  EXPECT_EQ(unify_(G("m", 0, kName), A), "{m__0(K:0:name)->A_1}");
  EXPECT_EQ(unify_(G("m", 1, kName), A), "");
}

// The second components of a pair are unified under the context extended by
// the first components' unifier: here the first binds h, and only through h can
// knowledge 1 build the nonce.
TEST_F(UnifyTest, TheSecondComponentSeesTheFirstComponentBindings) {
  know({nonce("b", 1)});  // kid 0
  know({G("h", 0)});      // kid 1
  const Message m = pair(nonce("b", 1), G("g", 1));
  const Message p = pair(G("h", 0), nonce("b", 1));
  EXPECT_EQ(unify_(m, p), "{h__0(K:0:gen)->b_1, g__0(K:1:gen)->b_1}");
  EXPECT_EQ(unify_(G("g", 1), nonce("b", 1)), "");
  EXPECT_EQ(unify_(pair(nonce("b", 1), nonce("b", 1)), G("q", 0)), "{q__0(K:0:gen)->[b_1,b_1]}");
  EXPECT_EQ(unify_(pair(N1, nonce("b", 1)), G("q", 0)), "");
}

TEST_F(UnifyTest, UnregisteredKnowledgeFailsWithItsKid) {
  try {
    core_.unify(empty_assignment(), N1, G("p", 99));
    ADD_FAILURE() << "no failure";
  } catch (const NoKnowledge& e) {
    EXPECT_EQ(e.output(), "99\n");
  }
}

// ---------------------------------------------------------------- synthesize

using SynthesizeTest = CoreTest;

TEST_F(SynthesizeTest, AtomsBindingsAndGeneratedValues) {
  Knowledge empty = know({});
  Knowledge k = know({N1, A});
  ASSERT_EQ(k.kid(), 1);
  EXPECT_EQ(synthesize_(k, N1), "n_1 {}");
  EXPECT_EQ(synthesize_(k, N2), "");
  EXPECT_EQ(synthesize_(k, BX("x")), "x__0 {x__0->x__0(K:1:gen)}");
  EXPECT_EQ(synthesize_(empty, BX("x")), "");
  EXPECT_EQ(synthesize_(k, G("g", 3)), "g__0(KR:3:gen) {g__0(K:3:gen)->g__0(KR:3:gen)}");
  EXPECT_EQ(synthesize_(k, G("g", 3, kRGen)), "g__0(KR:3:gen) {}");
  EXPECT_EQ(synthesize_(k, G("g", 3, kSKey)), "g__0(K:3:skey) {}");
  EXPECT_EQ(synthesize_(k, pub_of(G("a", 3, kRName))), "a__0(K:3:rname)+ {}");
  EXPECT_EQ(synthesize_(k, pub_of(G("a", 3, kName))), "");
  EXPECT_EQ(synthesize_(k, X("y")), "");
  EXPECT_EQ(synthesize_(k, no_message()), "");
  EXPECT_EQ(synthesize_(k, pair(BX("x"), X("y"))), "");
}

// Built encryptions use the encryption key that fits the pattern; the known
// ciphertexts under that key whose body fits come after them.
TEST_F(SynthesizeTest, EncryptionsAreBuiltThenReplayed) {
  Knowledge k = know({PUB_B, enc(N1, PUB_B), enc(N2, PUB_B), enc(N3, PUB_C), N1});
  ASSERT_EQ(k.kid(), 0);
  EXPECT_EQ(synthesize_(k, enc(BX("x"), PRIV_B)),
            "{x__0}B_1+ {x__0->x__0(K:0:gen)} | {n_1}B_1+ {x__0->n_1} | {n_2}B_1+ {x__0->n_2}");
  EXPECT_EQ(synthesize_(k, enc(N1, PRIV_B)), "{n_1}B_1+ {} | {n_1}B_1+ {}");
  // The private key is needed to build under PubKey written in the pattern.
  EXPECT_EQ(synthesize_(k, enc(BX("x"), PUB_B)), "");

  Knowledge without_key = know({enc(N1, K1), N2});
  EXPECT_EQ(synthesize_(without_key, enc(BX("x"), K1)), "{n_1}k_1 {x__0->n_1}");
  Knowledge with_key = know({enc(N1, K1), K1});
  EXPECT_EQ(synthesize_(with_key, enc(BX("x"), K1)), "{x__0}k_1 {x__0->x__0(K:2:gen)}");
}

// Without the key, only the known ciphertexts whose body fits, newest first.
TEST_F(SynthesizeTest, KnownCiphertextsInOrder) {
  Knowledge k = know({enc(N1, K1), enc(pair(N2, N3), K1), enc(N3, K1)});
  EXPECT_EQ(synthesize_(k, enc(BX("x"), K1)),
            "{n_1}k_1 {x__0->n_1} | {[n_2,n_3]}k_1 {x__0->[n_2,n_3]} | {n_3}k_1 {x__0->n_3}");
  EXPECT_EQ(synthesize_(k, enc(pair(BX("x"), BX("y")), K1)),
            "{[n_2,n_3]}k_1 {x__0->n_2, y__0->n_3}");
  EXPECT_EQ(synthesize_(know({}), enc(BX("x"), K1)), "");
}

// A ciphertext stored while its generated value was open is replayed with the
// value the replay bindings fix; fixed to another generated value, the value is
// read as it stands unless fitting the pattern would bind it again.
TEST_F(SynthesizeTest, ReplayedCiphertextsAreReadUnderTheReplayBindings) {
  const Message g = G("g", 0);
  Knowledge k = know({enc(g, K1), K2});
  const Assignment to_nonce = extend(empty_assignment(), g, N1);
  const Assignment to_key = extend(empty_assignment(), g, G("h", 0, kSKey));
  const Message any = enc(BX("x"), K1);
  EXPECT_EQ(synthesize_(k, any), "{g__0(K:0:gen)}k_1 {x__0->g__0(K:0:gen)}");
  EXPECT_EQ(synthesize_(k, any, {}, to_nonce), "{n_1}k_1 {x__0->n_1}");
  EXPECT_EQ(synthesize_(k, any, {}, to_key), "{g__0(K:0:gen)}k_1 {x__0->g__0(K:0:gen)}");
  EXPECT_EQ(synthesize_(k, enc(K2, K1)), "{g__0(K:0:gen)}k_1 {g__0(K:0:gen)->k_2}");
  EXPECT_EQ(synthesize_(k, enc(K2, K1), {}, to_nonce), "");
  EXPECT_EQ(synthesize_(k, enc(K2, K1), {}, to_key), "{h__0(K:0:skey)}k_1 {h__0(K:0:skey)->k_2}");
}

// Replay passes over a ciphertext only where its body differs from the
// pattern's at a fixed atom, pair or encryption: a generated value, or a key of
// one, may still be read as what the replay bindings fix it to.
TEST_F(SynthesizeTest, ReplayPassesOverOnlyBodiesThatCannotFit) {
  const Message g = G("g", 0);
  const Message a = G("a", 0, kName);
  Knowledge k = know({enc(pair(N1, N2), K1), enc(pair(g, N2), K1), enc(pub_of(a), K1),
                      enc(enc(N1, PUB_B), K1), enc(N3, K1)});
  const Assignment fixed = extend(extend(empty_assignment(), g, N1), a, B);
  const std::vector<std::tuple<Message, Assignment, std::string>> rows = {
      {pair(N1, BX("y")), {}, "{[n_1,n_2]}k_1 {y__0->n_2}"},
      {pair(N1, BX("y")), fixed, "{[n_1,n_2]}k_1 {y__0->n_2} | {[n_1,n_2]}k_1 {y__0->n_2}"},
      {pair(N2, BX("y")), fixed, ""},
      {pub_of(G("b", 0, kName)),
       {},
       "{a__0(K:0:name)+}k_1 {b__0(K:0:name)->a__0(K:0:name), a__0(K:0:name)->a__0(K:0:name)}"},
      {enc(BX("y"), PRIV_B), {}, "{{n_1}B_1+}k_1 {y__0->n_1}"},
      {enc(BX("y"), PRIV_C), {}, ""},
      {N3, fixed, "{n_3}k_1 {}"},
  };
  for (const auto& [body, replay, expected] : rows) {
    EXPECT_EQ(synthesize_(k, enc(body, K1), {}, replay), expected) << show(body);
  }
}

TEST_F(SynthesizeTest, DerivabilityUsesTheContext) {
  Knowledge k = know({G("g", 0), N1});
  const Assignment ctx = extend(empty_assignment(), G("g", 0), K1);
  EXPECT_EQ(synthesize_(k, enc(N1, K1), ctx), "{n_1}k_1 {}");
  EXPECT_EQ(synthesize_(k, enc(N1, K1)), "");
}

TEST_F(SynthesizeTest, EncryptionsUnderGeneratedKeys) {
  Knowledge k = know({N1});
  const std::vector<std::pair<Message, std::string>> rows = {
      {G("k", 2, kPMKey), "{n_1}k__0(K:2:mpkey) {}"},
      {G("k", 2, kMPKey), "{n_1}k__0(K:2:pmkey) {}"},
      {G("k", 2, kSKey), "{n_1}k__0(K:2:skey) {}"},
      {G("k", 2), "{n_1}k__0(K:2:gen) {}"},
      {pub_of(G("a", 2, kRName)), "{n_1}a__0(K:2:rname)- {}"},
      {priv_of(G("a", 2, kRName)), "{n_1}a__0(K:2:rname)+ {}"},
      {pub_of(G("a", 2, kName)), ""},
      {A, ""},
      {X("k"), ""},
  };
  for (const auto& [key, expected] : rows) {
    EXPECT_EQ(synthesize_(k, enc(N1, key)), expected) << show(key);
  }
}

// The first component of a pair is refined so that the second can be built:
// here x is used as a key in the second component.
TEST_F(SynthesizeTest, PairsRefineTheFirstComponentForTheSecond) {
  Knowledge k = know({N1, K1, PUB_B, PRIV_B});
  EXPECT_EQ(synthesize_(k, pair(BX("x"), enc(N1, X("x")))),
            "[x__0,{n_1}x__0(K:0:skey)] {x__0(K:0:gen)->x__0(K:0:skey), x__0->x__0(K:0:gen)}"
            " | [x__0,{n_1}x__0(K:0:mpkey)] {x__0(K:0:gen)->x__0(K:0:pmkey), x__0->x__0(K:0:gen)}"
            " | [x__0,{n_1}x__0(K:0:pmkey)] {x__0(K:0:gen)->x__0(K:0:mpkey), x__0->x__0(K:0:gen)}");
}

TEST_F(SynthesizeTest, PairsInOrderOfTheFirstThenTheSecondComponent) {
  Knowledge k = know({PUB_B, enc(N1, PUB_B), enc(N2, PUB_B), N3});
  EXPECT_EQ(synthesize_(k, pair(enc(BX("x"), PRIV_B), BX("y"))),
            "[{x__0}B_1+,y__0] {x__0->x__0(K:0:gen), y__0->y__0(K:0:gen)}"
            " | [{n_1}B_1+,y__0] {x__0->n_1, y__0->y__0(K:0:gen)}"
            " | [{n_2}B_1+,y__0] {x__0->n_2, y__0->y__0(K:0:gen)}");
}

// ---------------------------------------------------------------- refine

using RefineTest = CoreTest;

TEST_F(RefineTest, GeneratedKeysBecomeKeyClassesOrKnownUnpairedKeys) {
  Knowledge few = know({K1, PUB_B});
  EXPECT_EQ(refine_(enc(N1, G("k", 0))), "{k__0(K:0:gen)->k__0(K:0:skey)} {k__0(K:0:gen)->B_1+}");
  // Classes first, then the unpaired public keys, then the unpaired private keys.
  Knowledge many = know({PRIV_D, PUB_E, PUB_B, K1, PUB_C, PRIV_C});
  ASSERT_EQ(many.kid(), 1);
  EXPECT_EQ(refine_(enc(N1, G("k", 1, kRGen))),
            "{k__0(KR:1:gen)->k__0(K:1:skey)} {k__0(KR:1:gen)->k__0(K:1:pmkey)} "
            "{k__0(KR:1:gen)->k__0(K:1:mpkey)} {k__0(KR:1:gen)->E_1+} "
            "{k__0(KR:1:gen)->B_1+} {k__0(KR:1:gen)->D_1-}");
  Knowledge pair_only = know({PUB_C, PRIV_C, N1});
  EXPECT_EQ(refine_(enc(N1, G("k", 2))),
            "{k__0(K:2:gen)->k__0(K:2:pmkey)} {k__0(K:2:gen)->k__0(K:2:mpkey)}");
}

TEST_F(RefineTest, WithoutAtomicKeysOnlyTheBodyIsRefined) {
  know({N1, A, enc(N2, K1)});
  EXPECT_EQ(refine_(enc(N1, G("k", 0))), "{}");
  EXPECT_EQ(refine_(enc(pair(N1, X("y")), G("k", 0))), "");
  // Keys of other kinds, and variables, are not refined either.
  EXPECT_EQ(refine_(enc(N1, G("k", 0, kSKey))), "{}");
  EXPECT_EQ(refine_(enc(N1, X("k"))), "{}");
}

TEST_F(RefineTest, TheBodyIsRefinedUnderEachKeyInnerBindingsFirst) {
  know({K1, A, B});
  EXPECT_EQ(refine_(enc(pair(N1, pub_of(G("a", 0, kName))), G("k", 0))),
            "{a__0(K:0:name)->A_1, k__0(K:0:gen)->k__0(K:0:skey)} "
            "{a__0(K:0:name)->B_1, k__0(K:0:gen)->k__0(K:0:skey)}");
}

TEST_F(RefineTest, NamesBecomeHonestAgentsOrOneCompromisedValue) {
  know({A, C, PUB_C, PRIV_C, B});
  EXPECT_EQ(refine_(pub_of(G("a", 0, kName))),
            "{a__0(K:0:name)->A_1} {a__0(K:0:name)->B_1} {a__0(K:0:name)->a__0(K:0:rname)}");
  EXPECT_EQ(refine_(priv_of(G("a", 0))),
            "{a__0(K:0:name)->A_1, a__0(K:0:gen)->a__0(K:0:name)} "
            "{a__0(K:0:name)->B_1, a__0(K:0:gen)->a__0(K:0:name)} "
            "{a__0(K:0:name)->a__0(K:0:rname), a__0(K:0:gen)->a__0(K:0:name)}");
  EXPECT_EQ(refine_(enc(N1, pub_of(G("a", 0, kName)))),
            "{a__0(K:0:name)->A_1} {a__0(K:0:name)->B_1} {a__0(K:0:name)->a__0(K:0:rname)}");
  EXPECT_EQ(refine_(enc(N1, priv_of(G("a", 0, kRGen)))),
            "{a__0(K:0:name)->A_1, a__0(KR:0:gen)->a__0(K:0:name)} "
            "{a__0(K:0:name)->B_1, a__0(KR:0:gen)->a__0(K:0:name)} "
            "{a__0(K:0:name)->a__0(K:0:rname), a__0(KR:0:gen)->a__0(K:0:name)}");
  EXPECT_EQ(refine_(enc(N1, pub_of(G("a", 0, kRName)))), "{}");
  EXPECT_EQ(refine_(pub_of(G("a", 0, kRName))), "{}");
}

TEST_F(RefineTest, KeysAreNotAgents) {
  know({A});
  EXPECT_EQ(refine_(pub_of(G("a", 0, kSKey))), "");
  EXPECT_EQ(refine_(priv_of(G("a", 0, kPMKey))), "");
  EXPECT_EQ(refine_(pub_of(X("a"))), "");
}

TEST_F(RefineTest, AtomsAndVariables) {
  for (const Message& t : {N1, A, K1, PUB_B, BX("x"), G("g", 5, kSKey)}) {
    EXPECT_EQ(refine_(t), "{}") << show(t);
  }
  for (const Message& t : {X("x"), no_message(), pair(N1, X("y")), pair(X("y"), N1)}) {
    EXPECT_EQ(refine_(t), "") << show(t);
  }
}

TEST_F(RefineTest, PairsComposeTheSecondBeforeTheFirst) {
  know({A, B});
  EXPECT_EQ(
      refine_(pair(pub_of(G("a", 0, kName)), pub_of(G("b", 0, kName)))),
      "{b__0(K:0:name)->A_1, a__0(K:0:name)->A_1} {b__0(K:0:name)->B_1, a__0(K:0:name)->A_1} "
      "{b__0(K:0:name)->A_1, a__0(K:0:name)->B_1} {b__0(K:0:name)->B_1, a__0(K:0:name)->B_1}");
  // The second component sees the choice made for the first.
  EXPECT_EQ(refine_(pair(pub_of(G("a", 0)), pub_of(G("a", 0)))),
            "{a__0(K:0:name)->A_1, a__0(K:0:gen)->a__0(K:0:name)} "
            "{a__0(K:0:name)->B_1, a__0(K:0:gen)->a__0(K:0:name)}");
}

// ---------------------------------------------------------------- unify_terms

using UnifyTermsTest = CoreTest;

TEST_F(UnifyTermsTest, VariablesAndKeysAsTheyStand) {
  know({});
  const std::vector<Row> rows = {
      {X("x"), N1, "{x__0->n_1}"},
      {N1, X("x"), "{x__0->n_1}"},
      {X("x"), X("y"), "{x__0->y__0}"},
      // No special rule for a binding occurrence.
      {N1, BX("x"), ""},
      {BX("x"), X("z"), "{z__0->x__0}"},
      {enc(N1, PUB_B), enc(X("x"), PUB_B), "{x__0->n_1}"},
      {enc(N1, PUB_B), enc(X("x"), PRIV_B), ""},
      {enc(N1, K1), enc(X("x"), K1), "{x__0->n_1}"},
      {enc(N1, K1), X("z"), "{z__0->{n_1}k_1}"},
      {enc(N1, K1), pair(N1, N1), ""},
      {pair(X("x"), N1), pair(N2, X("y")), "{x__0->n_2, y__0->n_1}"},
      {pair(X("x"), N1), X("z"), "{z__0->[x__0,n_1]}"},
      {pair(X("x"), N1), N1, ""},
      {pub_of(G("a", 2, kName)), X("z"), "{z__0->a__0(K:2:name)+}"},
      {pub_of(G("a", 2, kName)), G("y", 4),
       "{y__0(K:4:gen)->a__0(K:2:name)+, a__0(K:2:name)->y__0(K:2:name)}"},
      {G("x", 4), pub_of(G("y", 2, kName)),
       "{y__0(K:2:name)->y__0(K:2:name), x__0(K:4:gen)->x__0(K:2:name)+}"},
      {G("g", 0, kName), X("z"), "{z__0->g__0(K:0:name)}"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(unify_terms_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
  }
}

TEST_F(UnifyTermsTest, GeneratedValuesOfOneKindAreMadeConcrete) {
  know({});
  know({});
  Knowledge k = know({K1, K2, A, B, C, PUB_C, PRIV_C});
  ASSERT_EQ(k.kid(), 2);
  const std::vector<Row> rows = {
      {G("a", 5, kSKey), G("b", 2, kSKey),
       "{b__0(K:2:skey)->k_1, a__0(K:5:skey)->k_1} {b__0(K:2:skey)->k_2, a__0(K:5:skey)->k_2}"},
      {G("a", 2, kName), G("a", 2, kName),
       "{a__0(K:2:name)->A_1} {a__0(K:2:name)->B_1} {a__0(K:2:name)->C_1}"},
      {G("a", 3, kRName), G("b", 2, kRName), "{b__0(K:2:rname)->C_1, a__0(K:3:rname)->C_1}"},
      {G("a", 2, kPMKey), G("b", 2, kPMKey), "{b__0(K:2:pmkey)->C_1+, a__0(K:2:pmkey)->C_1+}"},
      {G("a", 2, kMPKey), G("b", 2, kMPKey), "{b__0(K:2:mpkey)->C_1-, a__0(K:2:mpkey)->C_1-}"},
      {G("a", 3), G("a", 3), "{}"},
      {G("a", 3, kRGen), G("b", 2, kRGen),
       "{b__0(KR:2:gen)->a__0(KR:2:gen), a__0(KR:3:gen)->a__0(KR:2:gen)}"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(unify_terms_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
  }
}

// The value of the narrower kind is made concrete; both are bound to it.
TEST_F(UnifyTermsTest, GeneratedValuesOfDifferentKinds) {
  know({});
  know({});
  know({K1, A, C, PUB_C, PRIV_C});
  const std::vector<Row> rows = {
      {G("a", 4, kName), G("b", 2, kRName),
       "{b__0(K:2:rname)->a__0(K:2:rname), a__0(K:4:name)->a__0(K:2:rname), "
       "b__0(K:2:rname)->C_1, b__0(K:2:rname)->C_1, a__0(K:2:name)->C_1}"},
      {G("a", 2, kRName), G("b", 4, kName),
       "{b__0(K:4:name)->a__0(K:2:rname), a__0(K:2:rname)->a__0(K:2:rname), "
       "a__0(K:2:rname)->C_1, a__0(K:2:rname)->C_1, b__0(K:2:name)->C_1}"},
      {G("a", 3), G("b", 2, kSKey),
       "{b__0(K:2:skey)->a__0(K:2:skey), a__0(K:3:gen)->a__0(K:2:skey), "
       "b__0(K:2:skey)->k_1, b__0(K:2:skey)->k_1, a__0(K:2:gen)->k_1}"},
      // An unconstrained narrower value is not made concrete.
      {G("a", 3), G("b", 2, kRGen),
       "{b__0(KR:2:gen)->a__0(KR:2:gen), a__0(K:3:gen)->a__0(KR:2:gen), "
       "b__0(KR:2:gen)->b__0(KR:2:gen), a__0(K:2:gen)->b__0(KR:2:gen)}"},
      {G("a", 3, kSKey), G("b", 2, kName), ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(unify_terms_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
  }
}

TEST_F(UnifyTermsTest, EncryptionsUnderGeneratedKeysMergeTheKeysFirst) {
  know({});
  know({});
  know({K1, K2});
  const std::vector<Row> rows = {
      {enc(N1, G("k", 2, kSKey)), enc(X("x"), G("l", 2, kSKey)),
       "{l__0(K:2:skey)->k_1, k__0(K:2:skey)->k_1, x__0->n_1} "
       "{l__0(K:2:skey)->k_2, k__0(K:2:skey)->k_2, x__0->n_1}"},
      {enc(N1, G("k", 2)), enc(X("x"), G("l", 2)), ""},
      {enc(N1, G("k", 2, kSKey)), enc(X("x"), G("l", 2, kPMKey)), ""},
      {enc(N1, G("k", 2, kSKey)), enc(X("x"), K1), ""},
      {enc(N1, G("k", 2)), X("z"), "{z__0->{n_1}k__0(K:2:gen)}"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(unify_terms_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
  }
}

TEST_F(UnifyTermsTest, GeneratedPatternAndMessageFallbacks) {
  know({K1, A, N1});
  const std::vector<Row> rows = {
      {N1, G("p", 0, kSKey), ""},
      {K1, G("p", 0, kSKey), "{p__0(K:0:skey)->k_1}"},
      {A, G("p", 0, kName), "{p__0(K:0:name)->A_1}"},
      {G("m", 0, kName), A, "{m__0(K:0:name)->A_1}"},
      {G("m", 0, kName), B, ""},
      {G("m", 0, kSKey), N1, ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(unify_terms_(r.m, r.p), r.expected) << show(r.m) << " / " << show(r.p);
  }
}

// ---------------------------------------------------------------- synthesize_term

using SynthesizeTermTest = CoreTest;

TEST_F(SynthesizeTermTest, UnboundVariablesNeedASymmetricKeyInTheInitialKnowledge) {
  know({});
  Knowledge one = know({N1});
  Knowledge keys = know({K1});
  core_.set_initial_knowledge(one);
  EXPECT_EQ(synthesize_term_(keys, X("x")), "");
  EXPECT_EQ(synthesize_term_(one, N1), "n_1 {}");
  EXPECT_EQ(synthesize_term_(one, N2), "");
  EXPECT_EQ(synthesize_term_(one, BX("x")), "");
  EXPECT_EQ(synthesize_term_(one, no_message()), "");
}

TEST_F(SynthesizeTermTest, UnboundVariableBecomesASymmetricKeyValue) {
  know({});
  Knowledge one = know({K1});
  core_.set_initial_knowledge(one);
  EXPECT_EQ(synthesize_term_(one, X("x")), "x__0(K:1:skey) {x__0->x__0(K:1:skey)}");
}

TEST_F(SynthesizeTermTest, GeneratedValuesAndKeysOfNames) {
  know({});
  know({});
  know({});
  Knowledge k = know({A, B, C, PUB_C, PRIV_C, K1});
  ASSERT_EQ(k.kid(), 3);
  const std::vector<std::pair<Message, std::string>> rows = {
      {G("v", 3, kName),
       "A_1 {v__0(K:3:name)->A_1} | B_1 {v__0(K:3:name)->B_1} | C_1 {v__0(K:3:name)->C_1}"},
      {G("v", 3, kRName), "C_1 {v__0(K:3:rname)->C_1}"},
      {G("v", 3, kSKey), "k_1 {v__0(K:3:skey)->k_1}"},
      {G("v", 3, kPMKey), "C_1+ {v__0(K:3:pmkey)->C_1+}"},
      {G("v", 3, kMPKey), "C_1- {v__0(K:3:mpkey)->C_1-}"},
      {G("v", 3), "v__0(K:3:gen) {}"},
      {G("v", 3, kRGen), "v__0(KR:3:gen) {}"},
      // The keys of a name value bind the rname value of the same identifier.
      {pub_of(G("a", 3, kName)),
       "A_1+ {a__0(K:3:rname)->A_1} | B_1+ {a__0(K:3:rname)->B_1} | C_1+ {a__0(K:3:rname)->C_1}"},
      {priv_of(G("a", 3, kRName)), "C_1- {a__0(K:3:rname)->C_1}"},
      {pub_of(G("a", 3, kSKey)), ""},
      {pub_of(X("a")), ""},
  };
  for (const auto& [target, expected] : rows) {
    EXPECT_EQ(synthesize_term_(k, target), expected) << show(target);
  }
}

// Candidates keep the key as written in the target, while derivability and
// replay use the encryption key, as the intruder synthesis does.
TEST_F(SynthesizeTermTest, EncryptionsUnderConcreteKeys) {
  know({});
  core_.set_initial_knowledge(know({}));  // no symmetric key: unbound variables give nothing
  Knowledge k = know({enc(N2, PRIV_B), PRIV_B, N1});
  EXPECT_EQ(synthesize_term_(k, enc(N1, PUB_B)), "{n_1}B_1+ {}");
  EXPECT_EQ(synthesize_(k, enc(N1, PUB_B)), "{n_1}B_1- {}");
  EXPECT_EQ(synthesize_term_(k, enc(X("z"), PUB_B)), "{n_2}B_1- {z__0->n_2}");
  EXPECT_EQ(synthesize_term_(k, enc(N1, PRIV_B)), "");
  Knowledge sym = know({K1, N1});
  EXPECT_EQ(synthesize_term_(sym, enc(N1, K1)), "{n_1}k_1 {}");
  EXPECT_EQ(synthesize_term_(sym, enc(N1, A)), "");
}

TEST_F(SynthesizeTermTest, EncryptionsUnderGeneratedKeysSynthesizeTheKeyFirst) {
  Knowledge k = know({A, B, K1, K2, N1});
  EXPECT_EQ(synthesize_term_(k, enc(N1, G("k", 0, kSKey))),
            "{n_1}k_1 {k__0(K:0:skey)->k_1} | {n_1}k_2 {k__0(K:0:skey)->k_2}");
  EXPECT_EQ(synthesize_term_(k, enc(G("k", 0, kSKey), G("k", 0, kSKey))),
            "{k_1}k_1 {k__0(K:0:skey)->k_1} | {k_2}k_2 {k__0(K:0:skey)->k_2}");
  EXPECT_EQ(synthesize_term_(k, enc(N1, pub_of(G("a", 0, kName)))),
            "{n_1}A_1+ {a__0(K:0:rname)->A_1} | {n_1}B_1+ {a__0(K:0:rname)->B_1}");
}

TEST_F(SynthesizeTermTest, PairsWithoutRefinement) {
  Knowledge k = know({A, B});
  EXPECT_EQ(synthesize_term_(k, pair(G("a", 0, kName), G("b", 0, kName))),
            "[A_1,A_1] {a__0(K:0:name)->A_1, b__0(K:0:name)->A_1}"
            " | [A_1,B_1] {a__0(K:0:name)->A_1, b__0(K:0:name)->B_1}"
            " | [B_1,A_1] {a__0(K:0:name)->B_1, b__0(K:0:name)->A_1}"
            " | [B_1,B_1] {a__0(K:0:name)->B_1, b__0(K:0:name)->B_1}");
  EXPECT_EQ(synthesize_term_(k, pair(G("a", 0, kName), G("a", 0, kName))),
            "[A_1,A_1] {a__0(K:0:name)->A_1} | [B_1,B_1] {a__0(K:0:name)->B_1}");
}

}  // namespace

}  // namespace analyser
