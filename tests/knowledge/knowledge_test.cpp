#include "knowledge/knowledge.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "knowledge_helpers.h"

namespace analyser {

namespace {

const Message A = agent("A", 1);
const Message B = agent("B", 1);
const Message C = agent("C", 1);
const Message NA = nonce("na", 1);
const Message NB = nonce("nb", 1);
const Message K = sym_key("k", 1);
const Message K2 = sym_key("k2", 1);
const Message PUB_B = pub_key("B", 1);
const Message PRIV_B = priv_key("B", 1);
const Message PUB_C = pub_key("C", 1);
const Message PRIV_C = priv_key("C", 1);

using knowledge_tests::all_under;
using knowledge_tests::g;
using knowledge_tests::texts;

Message v(const std::string& name) {
  return var(VarId{name, "A", 1});
}

Knowledge learn_all(const std::vector<Message>& ms, Knowledge k = empty_knowledge()) {
  for (const Message& m : ms) k = learn(k, m);
  return k;
}

std::string printed(const Knowledge& k) {
  std::ostringstream s;
  print_knowledge(s, k);
  return s.str();
}

// Learning: each case learns the messages in order, starting from nothing, and
// lists the stored messages newest first.
struct LearnCase {
  const char* what;
  std::vector<Message> learnt;
  std::vector<Message> stored;
};

class LearnTest : public testing::TestWithParam<LearnCase> {};

TEST_P(LearnTest, StoresTheAnalysedMessagesNewestFirst) {
  const LearnCase& c = GetParam();
  EXPECT_EQ(texts(learn_all(c.learnt).messages()), texts(c.stored)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LearnTest,
    testing::Values(
        LearnCase{"pair split in order", {pair(A, NA)}, {A, NA}},
        LearnCase{"newest first", {A, NA}, {NA, A}},
        LearnCase{"nested pair, duplicate part kept once", {pair(A, pair(NA, A))}, {A, NA}},
        LearnCase{"already known part dropped", {A, pair(NA, A)}, {NA, A}},
        LearnCase{"unknown key: stored whole", {enc(NA, K)}, {enc(NA, K)}},
        LearnCase{"late key opens the stored encryption, which stays",
                  {enc(NA, K), K},
                  {NA, K, enc(NA, K)}},
        LearnCase{"key in the same message: the encryption is opened and not stored",
                  {pair(enc(NA, K), K)},
                  {NA, K}},
        LearnCase{"keys learnt one by one open nested encryptions",
                  {enc(pair(NB, enc(NA, K2)), K), K, K2},
                  {NA, K2, enc(NA, K2), NB, K, enc(pair(NB, enc(NA, K2)), K)}},
        LearnCase{"inner key already known: the inner encryption is never stored",
                  {enc(pair(NB, enc(NA, K2)), K), K2, K},
                  {NB, NA, K, K2, enc(pair(NB, enc(NA, K2)), K)}},
        LearnCase{"public-key encryption without the private key",
                  {PUB_B, enc(NA, PUB_B)},
                  {enc(NA, PUB_B), PUB_B}},
        LearnCase{"public-key encryption, private key only: body and ciphertext",
                  {PRIV_B, enc(NA, PUB_B)},
                  {enc(NA, PUB_B), NA, PRIV_B}},
        LearnCase{"public-key encryption with both halves: body only",
                  {PRIV_B, PUB_B, enc(NA, PUB_B)},
                  {NA, PUB_B, PRIV_B}},
        LearnCase{"signature, public key only: body and ciphertext",
                  {PUB_B, enc(NA, PRIV_B)},
                  {enc(NA, PRIV_B), NA, PUB_B}},
        LearnCase{"signature without the public key", {enc(NA, PRIV_B)}, {enc(NA, PRIV_B)}},
        LearnCase{"private key learnt late opens a stored encryption",
                  {enc(NA, PUB_B), PRIV_B},
                  {NA, PRIV_B, enc(NA, PUB_B)}},
        LearnCase{"intruder-supplied key always opens", {enc(pair(NA, NB), g("x"))}, {NA, NB}},
        LearnCase{"public key of a generated value opens",
                  {enc(NA, pub_of(g("x"))), enc(NB, priv_of(g("y")))},
                  {NB, NA}},
        LearnCase{"keys that cannot open: agent, variable, key of a variable",
                  {enc(NA, A), enc(NA, v("x")), enc(NA, pub_of(v("x")))},
                  {enc(NA, pub_of(v("x"))), enc(NA, v("x")), enc(NA, A)}},
        LearnCase{"variables and non-atomic keys are never stored",
                  {pair(v("x"), pair(pub_of(g("y")), pair(bind_var(VarId{"z", "", 0}), NA)))},
                  {NA}},
        LearnCase{"generated values are stored", {pair(g("x"), A)}, {g("x"), A}}));

TEST(Learn, NothingNewOrNoMessageGivesTheSameKnowledge) {
  Knowledge k = learn_all({pair(A, NA), enc(NB, K)});
  EXPECT_TRUE(learn(k, pair(NA, A)).same(k));
  EXPECT_TRUE(learn(k, enc(NB, K)).same(k));
  EXPECT_TRUE(learn(k, no_message()).same(k));
}

TEST(Learn, KeepsTheKidAndLeavesTheOriginalUnchanged) {
  Knowledge k = relabel(learn(empty_knowledge(), A), 7, empty_assignment());
  Knowledge grown = learn(k, NA);
  EXPECT_EQ(grown.kid(), 7);
  EXPECT_EQ(texts(grown.messages()), texts({NA, A}));
  EXPECT_EQ(texts(k.messages()), texts({A}));
}

// A mapped knowledge may hold an encryption whose key has become known; the next
// learn re-examines it, and its body comes after what the new message yields.
TEST(Learn, ReexaminesStoredEncryptionsAfterTheNewMessage) {
  Knowledge k = learn_all({enc(NA, K), g("x")});
  Knowledge mapped = relabel(k, k.kid(), extend(empty_assignment(), g("x"), K));
  EXPECT_EQ(texts(mapped.messages()), texts({K, enc(NA, K)}));
  EXPECT_EQ(texts(learn(mapped, NB).messages()), texts({NB, NA, K, enc(NA, K)}));
}

TEST(Learn, ManyMessagesAreAllKeptNewestFirst) {
  Knowledge k;
  std::vector<Message> expected;
  for (int i = 0; i < 600; ++i) {
    Message n = nonce("n", i);
    k = learn(k, pair(n, enc(n, K)));
    expected.insert(expected.begin(), {enc(n, K), n});  // ciphertexts come last
  }
  EXPECT_EQ(k.messages().size(), 1200u);
  EXPECT_EQ(texts(k.messages()), texts(expected));
  // The key opens all 600 stored encryptions at once; they stay stored.
  Knowledge opened = learn(k, K);
  ASSERT_EQ(opened.messages().size(), 1201u);
  EXPECT_EQ(opened.messages().front(), K);
  EXPECT_TRUE(knows(opened, enc(nonce("n", 0), K)));
}

TEST(Knows, IsMembershipWithoutDerivation) {
  Knowledge k = learn_all({A, NA, g("x")});
  EXPECT_TRUE(knows(k, A));
  EXPECT_TRUE(knows(k, g("x")));
  EXPECT_FALSE(knows(k, pair(A, NA)));
  EXPECT_FALSE(knows(k, g("x", 1)));  // the kid is part of the value
  EXPECT_FALSE(knows(k, nonce("na", 2)));
}

TEST(EmptyKnowledge, IsAbsentAndEmpty) {
  Knowledge k = empty_knowledge();
  EXPECT_EQ(k.kid(), -1);
  EXPECT_TRUE(is_absent(k));
  EXPECT_TRUE(is_empty_knowledge(k));
  Knowledge registered = relabel(k, 0, empty_assignment());
  EXPECT_FALSE(is_absent(registered));
  EXPECT_TRUE(is_empty_knowledge(registered));
}

TEST(Relabel, MapsEveryMessageInOrderWithoutAnalysis) {
  Knowledge k = relabel(learn_all({g("x"), NA, g("y")}), 3, empty_assignment());
  Assignment f = extend(extend(empty_assignment(), g("x"), pair(A, B)), g("y"), NB);
  Knowledge moved = relabel(k, 9, f);
  EXPECT_EQ(moved.kid(), 9);
  EXPECT_EQ(texts(moved.messages()), texts({NB, NA, pair(A, B)}));
  EXPECT_TRUE(knows(moved, pair(A, B)));
  EXPECT_FALSE(knows(moved, A));
  EXPECT_EQ(k.kid(), 3);
  EXPECT_EQ(texts(k.messages()), texts({g("y"), NA, g("x")}));

  std::ostringstream mapped_then_printed;
  std::ostringstream printed_under_f;
  print_knowledge(mapped_then_printed, relabel(k, k.kid(), f));
  print_knowledge(printed_under_f, k, f);
  EXPECT_EQ(printed_under_f.str(), mapped_then_printed.str());
  EXPECT_EQ(printed_under_f.str(), "Kid: 3\nnb_1\nna_1\n[A_1,B_1]\n.\n");
}

// Queries on one knowledge where C is compromised (both key halves known), B has
// only its private key known, A has only its public key known.
class QueryTest : public testing::Test {
 protected:
  Knowledge k = learn_all({A, B, pub_key("A", 1), PRIV_B, C, PUB_C, K, PRIV_C, K2, enc(NA, K)});
};

TEST_F(QueryTest, AgentLists) {
  EXPECT_EQ(texts(known_agents(k)), texts({C, B, A}));
  EXPECT_EQ(texts(compromised_agents(k)), texts({C}));
  EXPECT_EQ(texts(honest_agents(k)), texts({B, A}));
  EXPECT_TRUE(is_compromised(k, C));
  EXPECT_FALSE(is_compromised(k, B));
  EXPECT_FALSE(is_compromised(k, PUB_C));
  EXPECT_TRUE(has_compromised_agent(k));
}

TEST_F(QueryTest, KeyLists) {
  EXPECT_EQ(texts(known_sym_keys(k)), texts({K2, K}));
  EXPECT_EQ(texts(usable_pub_keys(k)), texts({PUB_C}));
  EXPECT_EQ(texts(paired_priv_keys(k)), texts({PRIV_C}));
  EXPECT_EQ(texts(unpaired_pub_keys(k)), texts({pub_key("A", 1)}));
  EXPECT_EQ(texts(unpaired_priv_keys(k)), texts({PRIV_B}));
  EXPECT_TRUE(owns_usable_key_pair(k, PRIV_C));
  EXPECT_TRUE(owns_usable_key_pair(k, PUB_C));
  EXPECT_FALSE(owns_usable_key_pair(k, PUB_B));
  EXPECT_FALSE(owns_usable_key_pair(k, C));
}

TEST_F(QueryTest, EncryptionsUnder) {
  Knowledge with_pub = learn_all({enc(NB, PUB_B), enc(NA, pub_key("A", 1)), enc(A, PUB_B)});
  EXPECT_EQ(texts(all_under(with_pub, PUB_B)), texts({enc(A, PUB_B), enc(NB, PUB_B)}));
  // Only those the filter accepts, newest first still.
  EXPECT_EQ(texts(encryptions_under(with_pub, PUB_B,
                                    [](const Message& c) { return !c.body().is(Tag::Agent); })),
            texts({enc(NB, PUB_B)}));
  EXPECT_TRUE(all_under(with_pub, PRIV_B).empty());
  // One known half is not enough to make them rebuildable.
  EXPECT_EQ(all_under(learn(with_pub, PUB_B), PUB_B).size(), 2u);
  EXPECT_TRUE(all_under(learn_all({PUB_B, PRIV_B}, with_pub), PUB_B).empty());
  // The symmetric key is known, and it is its own inverse.
  EXPECT_TRUE(all_under(k, K).empty());
  Knowledge without_key = learn_all({enc(NA, K), enc(NB, K2), enc(NB, K)});
  EXPECT_EQ(texts(all_under(without_key, K)), texts({enc(NB, K), enc(NA, K)}));
}

struct PredicateCase {
  const char* what;
  std::vector<Message> learnt;
  bool atomic_key, sym_key, key_pair, compromised;
};

class PredicateTest : public testing::TestWithParam<PredicateCase> {};

TEST_P(PredicateTest, HasQueries) {
  const PredicateCase& c = GetParam();
  Knowledge k = learn_all(c.learnt);
  EXPECT_EQ(has_atomic_key(k), c.atomic_key) << c.what;
  EXPECT_EQ(has_sym_key(k), c.sym_key) << c.what;
  EXPECT_EQ(has_key_pair(k), c.key_pair) << c.what;
  EXPECT_EQ(has_compromised_agent(k), c.compromised) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PredicateTest,
    testing::Values(
        PredicateCase{"nothing", {}, false, false, false, false},
        PredicateCase{"agents and nonces", {A, NA, g("x")}, false, false, false, false},
        PredicateCase{"symmetric key", {K}, true, true, false, false},
        PredicateCase{"lone public key", {PUB_B}, true, false, false, false},
        PredicateCase{"lone private key", {PRIV_B}, true, false, false, false},
        PredicateCase{"key pair without agent", {PRIV_B, PUB_B}, true, false, true, false},
        PredicateCase{"pair of another agent", {B, PRIV_C, PUB_C}, true, false, true, false},
        PredicateCase{"compromised agent", {PRIV_B, B, PUB_B}, true, false, true, true},
        PredicateCase{"keys only inside a ciphertext", {enc(K, K2)}, false, false, false, false}));

// Derivability: each case learns the messages, then asks for one term under an
// assignment applied to the stored messages.
struct DeriveCase {
  const char* what;
  std::vector<Message> learnt;
  Assignment f;
  Message term;
  bool derivable;
};

class DeriveTest : public testing::TestWithParam<DeriveCase> {};

TEST_P(DeriveTest, CanDerive) {
  const DeriveCase& c = GetParam();
  EXPECT_EQ(can_derive(learn_all(c.learnt), c.f, c.term), c.derivable) << c.what;
}

const Assignment none = empty_assignment();

INSTANTIATE_TEST_SUITE_P(
    Cases, DeriveTest,
    testing::Values(
        DeriveCase{"known atom", {NA}, none, NA, true},
        DeriveCase{"unknown atom", {NB}, none, NA, false},
        DeriveCase{"generated value always", {}, none, g("x", 5, GenKind::SKey), true},
        DeriveCase{"pair with a generated value", {NA}, none, pair(NA, g("x")), true},
        DeriveCase{"pair with an unknown part", {NA}, none, pair(NA, NB), false},
        DeriveCase{"encryption under a public key needs the private key",
                   {NA, PRIV_B},
                   none,
                   enc(NA, PUB_B),
                   true},
        DeriveCase{"the public key itself does not do", {NA, PUB_B}, none, enc(NA, PUB_B), false},
        DeriveCase{
            "unless the ciphertext is stored", {PUB_B, enc(NA, PUB_B)}, none, enc(NA, PUB_B), true},
        DeriveCase{"signature needs the public key", {NA, PUB_B}, none, enc(NA, PRIV_B), true},
        DeriveCase{"symmetric encryption", {NA, K}, none, enc(pair(NA, g("x")), K), true},
        DeriveCase{
            "encryption under a generated key only if stored", {NA}, none, enc(NA, g("k")), false},
        DeriveCase{"generated value mapped to the nonce",
                   {g("x")},
                   extend(empty_assignment(), g("x"), NA),
                   NA,
                   true},
        DeriveCase{"pair of mapped values",
                   {g("x")},
                   extend(empty_assignment(), g("x"), NA),
                   pair(NA, NA),
                   true},
        DeriveCase{"a mapped key opens the way to encrypt",
                   {NA, g("x")},
                   extend(empty_assignment(), g("x"), K),
                   enc(NA, K),
                   true},
        DeriveCase{"variables only when stored as such", {NA}, none, v("x"), false},
        DeriveCase{"stored variable image",
                   {enc(NA, v("y"))},
                   extend(empty_assignment(), v("y"), K2),
                   enc(NA, K2),
                   true},
        DeriveCase{"stored ciphertext whose image differs",
                   {enc(NA, v("y"))},
                   extend(empty_assignment(), v("y"), K2),
                   enc(NA, v("y")),
                   false}));

TEST(PrintKnowledge, EmptyKnowledgeHasAPeriodAlone) {
  EXPECT_EQ(printed(empty_knowledge()), "Kid: -1\n.\n");
  EXPECT_EQ(knowledge_to_string(empty_knowledge()), "(-1).\\n\\n");
}

TEST(PrintKnowledge, BothRenderingsNewestFirst) {
  Knowledge k = relabel(learn_all({A, enc(pair(NA, NB), PUB_B), g("x", 2, GenKind::RGen)}), 12,
                        empty_assignment());
  EXPECT_EQ(printed(k), "Kid: 12\nx_I_1(KR:2:gen)\n{[na_1,nb_1]}B_1+\nA_1\n.\n");
  EXPECT_EQ(knowledge_to_string(k), "(12)x_I_1(KRG:2), {na_1,nb_1}B_1+, A_1.\\n\\n");
}

// A watch gives back the very set it watches while some handle keeps it, and
// the absent knowledge once none does; copies and moves watch the same set. The
// empty knowledge, which lives as long as the program, never expires.
TEST(KnowledgeWatchTest, GivesBackTheSetWhileItLives) {
  struct Case {
    const char* what;
    Knowledge (*make)();
    bool lives_on;  // after its last handle goes
  };
  const Case cases[] = {
      {"a learnt set", [] { return learn(empty_knowledge(), A); }, false},
      {"a relabelled empty set", [] { return relabel(empty_knowledge(), 3, empty_assignment()); },
       false},
      {"the empty knowledge", [] { return empty_knowledge(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KnowledgeWatch moved;
    std::optional<KnowledgeWatch> copy;
    {
      const Knowledge k = c.make();
      KnowledgeWatch watch(k);
      copy = watch;
      moved = std::move(watch);
      EXPECT_FALSE(moved.expired());
      EXPECT_TRUE(moved.knowledge().same(k));
      EXPECT_TRUE(copy->knowledge().same(k));
    }
    EXPECT_EQ(moved.expired(), !c.lives_on);
    EXPECT_EQ(copy->expired(), !c.lives_on);
    EXPECT_EQ(is_absent(moved.knowledge()), !c.lives_on || is_absent(c.make()));
    copy.reset();  // one watch fewer: the other still reads the set's state
    EXPECT_EQ(moved.expired(), !c.lives_on);
  }
}

}  // namespace

}  // namespace analyser
