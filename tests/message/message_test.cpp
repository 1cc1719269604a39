#include "message/message.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

std::string printed(const Message& m) {
  std::ostringstream captured;
  print_message(captured, m);
  return captured.str();
}

const VarId kX{"x", "", 0};
const VarId kXa1{"x", "A", 1};
const VarId kY{"y", "", 0};

Message na1() {
  return nonce("na", 1);
}

// ---------------------------------------------------------------- renderings

TEST(RenderingTest, BothFormsOfEveryAlternative) {
  struct Case {
    Message term;
    const char* printed;
    const char* label;
  };
  const Message a1 = agent("A", 1);
  const std::vector<Case> cases = {
      {no_message(), ".", "."},
      {sym_key("kab", 0), "kab_0", "kab_0"},
      {agent("A", 1), "A_1", "A_1"},
      {pub_key("B", 2), "B_2+", "B_2+"},
      {priv_key("B", 2), "B_2-", "B_2-"},
      {nonce("na", 12), "na_12", "na_12"},
      {agent("A", -1), "A_-1", "A_-1"},
      {var(kX), "x__0", "x__0"},
      {var(VarId{"x", "A", 2}), "x_A_2", "x_A_2"},
      {bind_var(kXa1), "x_A_1", "x_A_1"},
      {gen(kXa1, 3, GenKind::Gen), "x_A_1(K:3:gen)", "x_A_1(KG:3)"},
      {gen(kXa1, 3, GenKind::RGen), "x_A_1(KR:3:gen)", "x_A_1(KRG:3)"},
      {gen(kXa1, 3, GenKind::SKey), "x_A_1(K:3:skey)", "x_A_1(KSK:3)"},
      {gen(kXa1, 3, GenKind::Name), "x_A_1(K:3:name)", "x_A_1(KN:3)"},
      {gen(kXa1, 3, GenKind::RName), "x_A_1(K:3:rname)", "x_A_1(KRN:3)"},
      {gen(kXa1, 3, GenKind::PMKey), "x_A_1(K:3:pmkey)", "x_A_1(KPM:3)"},
      {gen(kXa1, 17, GenKind::MPKey), "x_A_1(K:17:mpkey)", "x_A_1(KMP:17)"},
      {enc(na1(), sym_key("k", 1)), "{na_1}k_1", "{na_1}k_1"},
      {pair(a1, enc(na1(), pub_key("B", 1))), "[A_1,{na_1}B_1+]", "A_1,{na_1}B_1+"},
      {pair(var(VarId{"a", "", 0}), pair(var(VarId{"b", "", 0}), var(VarId{"c", "", 0}))),
       "[a__0,[b__0,c__0]]", "a__0,b__0,c__0"},
      {pair(pair(nonce("n", 0), nonce("m", 0)), nonce("o", 0)), "[[n_0,m_0],o_0]", "n_0,m_0,o_0"},
      {enc(pair(a1, na1()), var(kX)), "{[A_1,na_1]}x__0", "{A_1,na_1}x__0"},
      {pub_of(var(kXa1)), "x_A_1+", "x_A_1+"},
      {priv_of(var(kXa1)), "x_A_1-", "x_A_1-"},
      {pub_of(gen(kXa1, 2, GenKind::Name)), "x_A_1(K:2:name)+", "x_A_1(KN:2)+"},
      {priv_of(gen(kXa1, 2, GenKind::RGen)), "x_A_1(KR:2:gen)-", "x_A_1(KRG:2)-"},
      {enc(pair(gen(kX, 4, GenKind::Gen), na1()), pub_of(var(kX))), "{[x__0(K:4:gen),na_1]}x__0+",
       "{x__0(KG:4),na_1}x__0+"},
      {trick({}), "Trick", "Trick"},
      {trick({{var(kX), na1()}}), "Trick", "Trick"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(printed(c.term), c.printed);
    EXPECT_EQ(message_to_string(c.term), c.label);
  }
}

TEST(RenderingTest, VarIdsAndLists) {
  EXPECT_EQ(var_id_to_string(kXa1), "x_A_1");
  EXPECT_EQ(var_ids_to_string({}), "");
  EXPECT_EQ(var_ids_to_string({kXa1}), "x_A_1");
  EXPECT_EQ(var_ids_to_string({kXa1, kY}), "x_A_1, y__0");
  EXPECT_EQ(var_ids_to_string({kX, VarId{"y", "A", 1}, VarId{"z", "A", 10}}),
            "x__0, y_A_1, z_A_10");
}

// ---------------------------------------------------------------- key operations

// Relatives are reached through the atom they come from; each must outlive it.
TEST(KeyOperationsTest, RelativesOutliveTheAtomTheyCameFrom) {
  Message owner;
  {
    const Message key = agent_pub_key(agent("A", 1));
    owner = key_owner(inverse_key(key));
  }
  EXPECT_EQ(owner, agent("A", 1));
  EXPECT_EQ(owner.name(), "A");
  EXPECT_TRUE(agent_priv_key(owner).same(agent_priv_key(owner)));
}

TEST(KeyOperationsTest, Table) {
  const Message none = no_message();
  struct Case {
    Message term;
    Message inverse;
    Message owner;
    Message pub;
    Message priv;
  };
  const std::vector<Case> cases = {
      {sym_key("k", 0), sym_key("k", 0), none, none, none},
      {pub_key("A", 1), priv_key("A", 1), agent("A", 1), none, none},
      {priv_key("A", 1), pub_key("A", 1), agent("A", 1), none, none},
      {agent("A", 2), none, none, pub_key("A", 2), priv_key("A", 2)},
      {nonce("n", 0), none, none, none, none},
      {no_message(), none, none, none, none},
      {var(kX), none, none, none, none},
      {gen(kX, 1, GenKind::Name), none, none, none, none},
      {pub_of(var(kX)), none, none, none, none},
      {enc(na1(), sym_key("k", 0)), none, none, none, none},
  };
  for (const Case& c : cases) {
    const std::string term = message_to_string(c.term);
    EXPECT_EQ(inverse_key(c.term), c.inverse) << term;
    EXPECT_EQ(key_owner(c.term), c.owner) << term;
    EXPECT_EQ(agent_pub_key(c.term), c.pub) << term;
    EXPECT_EQ(agent_priv_key(c.term), c.priv) << term;
  }
}

TEST(KeyOperationsTest, InverseIsAnInvolutionOnKeys) {
  for (const Message& k : {pub_key("A", 1), priv_key("A", 1), sym_key("k", 3)}) {
    EXPECT_EQ(inverse_key(inverse_key(k)), k);
  }
}

TEST(KeyOperationsTest, Predicates) {
  struct Case {
    Message term;
    bool pub, priv, sym, agent_name, encryption, atom;
  };
  const std::vector<Case> cases = {
      {no_message(), false, false, false, false, false, false},
      {pub_key("A", 0), true, false, false, false, false, true},
      {priv_key("A", 0), false, true, false, false, false, true},
      {sym_key("k", 0), false, false, true, false, false, true},
      {agent("A", 0), false, false, false, true, false, true},
      {nonce("n", 0), false, false, false, false, false, true},
      {enc(na1(), sym_key("k", 0)), false, false, false, false, true, false},
      {pub_of(var(kX)), false, false, false, false, false, false},
      {var(kX), false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    const std::string term = message_to_string(c.term);
    EXPECT_EQ(is_pub_key(c.term), c.pub) << term;
    EXPECT_EQ(is_priv_key(c.term), c.priv) << term;
    EXPECT_EQ(is_sym_key(c.term), c.sym) << term;
    EXPECT_EQ(is_agent(c.term), c.agent_name) << term;
    EXPECT_EQ(is_enc(c.term), c.encryption) << term;
    EXPECT_EQ(c.term.is_atom(), c.atom) << term;
  }
}

// ---------------------------------------------------------------- validity

TEST(ValidityTest, CanBeKey) {
  struct Case {
    Message term;
    bool expected;
  };
  const Message g = gen(kX, 1, GenKind::Gen);
  const std::vector<Case> cases = {
      {sym_key("k", 0), true},
      {pub_key("A", 0), true},
      {priv_key("A", 0), true},
      {var(kX), true},
      {g, true},
      {pub_of(var(kX)), true},
      {priv_of(var(kX)), true},
      {pub_of(g), true},
      {priv_of(g), true},
      {no_message(), false},
      {agent("A", 0), false},
      {nonce("n", 0), false},
      {bind_var(kX), false},
      {enc(na1(), sym_key("k", 0)), false},
      {pair(sym_key("k", 0), sym_key("k", 0)), false},
      {trick({}), false},
      {pub_of(agent("A", 0)), false},
      {pub_of(bind_var(kX)), false},
      {priv_of(pub_of(var(kX))), false},
  };
  for (const Case& c : cases) EXPECT_EQ(can_be_key(c.term), c.expected) << printed(c.term);
}

TEST(ValidityTest, WellFormed) {
  struct Case {
    Message term;
    bool expected;
  };
  const Message m = pair(agent("A", 0), na1());
  const Message bad = enc(m, agent("A", 0));
  const std::vector<Case> cases = {
      {no_message(), true},
      {agent("A", 0), true},
      {enc(m, agent("A", 0)), false},
      {enc(m, nonce("n", 0)), false},
      {enc(m, pair(sym_key("k", 0), sym_key("k", 0))), false},
      {enc(m, enc(m, sym_key("k", 0))), false},
      {enc(m, pub_of(var(kX))), true},
      {enc(bad, pub_of(var(kX))), false},
      {enc(m, sym_key("k", 0)), true},
      {enc(m, var(kX)), true},
      {pair(m, bad), false},
      {pair(bad, m), false},
      {pair(m, enc(m, priv_key("B", 0))), true},
      {pub_of(sym_key("k", 0)), false},
      {pub_of(pub_key("A", 0)), false},
      {priv_of(priv_key("A", 0)), false},
      {pub_of(agent("A", 0)), true},
      {pub_of(var(kX)), true},
      // The argument of a key-of term is not examined further.
      {pub_of(bad), true},
      {trick({}), true},
  };
  for (const Case& c : cases) EXPECT_EQ(well_formed(c.term), c.expected) << printed(c.term);
}

// ---------------------------------------------------------------- kinds

using enum GenKind;

// Rows a, columns b, both in declaration order: gen rgen skey name rname pmkey mpkey.
const GenKind kKinds[] = {Gen, RGen, SKey, Name, RName, PMKey, MPKey};

TEST(KindTest, MeetPrefersLowerRankAndTheFirstOnTies) {
  const GenKind expected[7][7] = {
      /* gen   */ {Gen, RGen, SKey, Name, RName, PMKey, MPKey},
      /* rgen  */ {RGen, RGen, SKey, Name, RName, PMKey, MPKey},
      /* skey  */ {SKey, SKey, SKey, SKey, RName, PMKey, MPKey},
      /* name  */ {Name, Name, Name, Name, RName, PMKey, MPKey},
      /* rname */ {RName, RName, RName, RName, RName, PMKey, MPKey},
      /* pmkey */ {PMKey, PMKey, PMKey, PMKey, PMKey, PMKey, PMKey},
      /* mpkey */ {MPKey, MPKey, MPKey, MPKey, MPKey, MPKey, MPKey},
  };
  for (int a = 0; a < 7; ++a) {
    for (int b = 0; b < 7; ++b) {
      EXPECT_EQ(kind_meet(kKinds[a], kKinds[b]), expected[a][b]) << a << "," << b;
    }
  }
}

TEST(KindTest, CompatibleUnlessSymmetricKeyMeetsAName) {
  const bool T = true, F = false;
  const bool expected[7][7] = {
      /* gen   */ {T, T, T, T, T, T, T},
      /* rgen  */ {T, T, T, T, T, T, T},
      /* skey  */ {T, T, T, F, F, T, T},
      /* name  */ {T, T, F, T, T, T, T},
      /* rname */ {T, T, F, T, T, T, T},
      /* pmkey */ {T, T, T, T, T, T, T},
      /* mpkey */ {T, T, T, T, T, T, T},
  };
  for (int a = 0; a < 7; ++a) {
    for (int b = 0; b < 7; ++b) {
      EXPECT_EQ(kinds_compatible(kKinds[a], kKinds[b]), expected[a][b]) << a << "," << b;
    }
  }
}

TEST(KindTest, RequiredKind) {
  struct Case {
    const char* what;
    Message term;
    GenKind expected;
  };
  const Message m = na1();
  const Message vx = var(kX);
  const Message vy = var(kY);
  const std::vector<Case> cases = {
      {"absent", pair(m, vy), Gen},
      {"plain occurrence", pair(vx, m), Gen},
      {"key", enc(m, vx), SKey},
      {"key of another variable", enc(vx, vy), Gen},
      {"key, nested in a body", enc(enc(m, vx), sym_key("k", 0)), SKey},
      {"key, nested in a pair", pair(m, enc(m, vx)), SKey},
      {"public key of", pub_of(vx), Name},
      {"private key of", priv_of(vx), Name},
      {"key of another variable's key", pub_of(vy), Gen},
      {"encryption under its public key", enc(m, pub_of(vx)), Name},
      {"key tie: first component wins", pair(enc(m, vx), pub_of(vx)), SKey},
      {"name tie: first component wins", pair(pub_of(vx), enc(m, vx)), Name},
      {"body before key on a tie", enc(pub_of(vx), enc(m, vx)), Name},
      {"key occurrence as binding var", enc(m, bind_var(kX)), Gen},
      {"key occurrence as gen", enc(m, gen(kX, 1, Gen)), Gen},
      {"other owner", enc(m, var(kXa1)), Gen},
      {"trick", trick({{vx, m}}), Gen},
  };
  for (const Case& c : cases) EXPECT_EQ(required_kind(c.term, kX), c.expected) << c.what;
}

TEST(KindTest, ScopedVarIdTakesOwnerAndInstanceOfTheScope) {
  EXPECT_EQ(scoped_var_id({"B", 3}, kX), (VarId{"x", "B", 3}));
  EXPECT_EQ(scoped_var_id({"", 0}, kXa1), kX);
}

// ---------------------------------------------------------------- equality

TEST(EqualityTest, StructuralOverEveryField) {
  struct Case {
    Message a;
    Message b;
    bool equal;
  };
  const Message vx = var(kX);
  const std::vector<Case> cases = {
      {agent("A", 1), agent("A", 1), true},
      {agent("A", 1), agent("B", 1), false},
      {agent("A", 1), agent("A", 2), false},
      {agent("A", 1), nonce("A", 1), false},
      {pub_key("A", 1), priv_key("A", 1), false},
      {var(kX), var(kX), true},
      {var(kX), bind_var(kX), false},
      {var(kX), var(VarId{"x", "A", 0}), false},
      {var(kXa1), var(VarId{"x", "A", 2}), false},
      {gen(kX, 1, Gen), gen(kX, 1, Gen), true},
      {gen(kX, 1, Gen), gen(kX, 2, Gen), false},
      {gen(kX, 1, Gen), gen(kX, 1, RGen), false},
      {gen(kX, 1, Gen), var(kX), false},
      {enc(vx, na1()), enc(vx, na1()), true},
      {enc(vx, na1()), pair(vx, na1()), false},
      {enc(vx, na1()), enc(na1(), vx), false},
      {pair(pair(vx, vx), vx), pair(vx, pair(vx, vx)), false},
      {pub_of(vx), pub_of(var(kX)), true},
      {pub_of(vx), priv_of(vx), false},
      {no_message(), Message(), true},
      {no_message(), agent("", 0), false},
      {trick({}), trick({}), true},
      {trick({{vx, na1()}}), trick({{var(kX), nonce("na", 1)}}), true},
      {trick({{vx, na1()}}), trick({{vx, nonce("na", 2)}}), false},
      {trick({{vx, na1()}}), trick({}), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal) << printed(c.a) << " vs " << printed(c.b);
    EXPECT_EQ(c.a != c.b, !c.equal);
    EXPECT_EQ(c.b == c.a, c.equal);
    if (c.equal) {
      EXPECT_EQ(c.a.hash(), c.b.hash()) << printed(c.a);
    }
  }
}

TEST(EqualityTest, CopiesShareTheNodeAndBuiltTermsDoNot) {
  const Message a = pair(agent("A", 1), na1());
  const Message copy = a;
  const Message rebuilt = pair(agent("A", 1), na1());
  EXPECT_TRUE(copy.same(a));
  EXPECT_FALSE(rebuilt.same(a));
  EXPECT_EQ(rebuilt, a);
  EXPECT_TRUE(a.first().same(a.first()));
  EXPECT_TRUE(no_message().same(Message()));
  EXPECT_EQ(MessageHash{}(a), a.hash());
}

TEST(EqualityTest, AccessorsReturnTheSharedSubterms) {
  const Message body = pair(agent("A", 1), na1());
  const Message key = sym_key("k", 1);
  const Message e = enc(body, key);
  EXPECT_TRUE(e.body().same(body));
  EXPECT_TRUE(e.key().same(key));
  EXPECT_TRUE(pub_of(body).argument().same(body));
  const Message g = gen(kXa1, 5, MPKey);
  EXPECT_EQ(g.var(), kXa1);
  EXPECT_EQ(g.kid(), 5);
  EXPECT_EQ(g.kind(), MPKey);
  EXPECT_EQ(atom(Tag::PrivKey, "B", 4), priv_key("B", 4));
}

TEST(EqualityTest, DeepTermsCompareAndRender) {
  Message a = na1();
  Message b = na1();
  for (int i = 0; i < kMaxNesting; ++i) {
    a = pair(a, agent("A", i));
    b = pair(b, agent("A", i));
  }
  EXPECT_EQ(a, b);
  EXPECT_NE(a, pair(b, na1()));
  EXPECT_EQ(message_to_string(a).size(), printed(a).size() - 2 * kMaxNesting);
}

// ---------------------------------------------------------------- variables

TEST(HasVariablesTest, Table) {
  struct Case {
    Message term;
    bool expected;
  };
  const Message ground = enc(pair(agent("A", 1), na1()), pub_key("B", 1));
  const std::vector<Case> cases = {
      {no_message(), false},
      {sym_key("k", 0), false},
      {agent("A", 0), false},
      {pub_key("A", 0), false},
      {priv_key("A", 0), false},
      {nonce("n", 0), false},
      {ground, false},
      {pub_of(agent("A", 0)), false},
      {var(kX), true},
      {bind_var(kX), true},
      {gen(kX, 1, Gen), true},
      {trick({}), true},
      {pair(ground, var(kX)), true},
      {enc(ground, gen(kX, 1, SKey)), true},
      {enc(pair(ground, bind_var(kX)), sym_key("k", 0)), true},
      {pub_of(var(kX)), true},
      {pair(ground, pair(ground, trick({}))), true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.term.has_variables(), c.expected) << printed(c.term);
}

// Numbers 1, 2, ... handed out on first sight, as the reports renumber.
class FirstSight : public Numbering {
 public:
  std::int64_t instance(std::int64_t i) override { return i == 0 ? 0 : next(instances_, i); }
  std::int64_t kid(std::int64_t k) override { return next(kids_, k); }

 private:
  static std::int64_t next(std::map<std::int64_t, std::int64_t>& numbers, std::int64_t old) {
    return numbers.try_emplace(old, static_cast<std::int64_t>(numbers.size()) + 1).first->second;
  }
  std::map<std::int64_t, std::int64_t> instances_;
  std::map<std::int64_t, std::int64_t> kids_;
};

// The renumbered text is the text of the renumbered term, numbers handed out in
// the same order, for every kind of term.
TEST(RenderingTest, RenumberedTextIsTheTextOfTheRenumberedTerm) {
  const VarId x{"x", "B", 7};
  const VarId y{"y", "A", 3};
  const Message cases[] = {
      nonce("nb", 7),
      enc(pair(nonce("na", 3), agent("A", 3)), pub_key("B", 7)),
      pair(gen(x, 42, GenKind::RGen), gen(y, 40, GenKind::Name)),
      enc(var(y), priv_of(var(x))),
      pub_of(gen(y, 9, GenKind::PMKey)),
      pair(agent("I", 0), sym_key("kab", 12)),
      pair(trick({{var(x), nonce("n", 5)}}), nonce("n", 5)),
  };
  for (const Message& m : cases) {
    FirstSight direct;
    FirstSight built;
    std::string text;
    append_renumbered(text, m, direct);
    const Message renamed = renumbered(
        m, [&](std::int64_t i) { return built.instance(i); },
        [&](std::int64_t k) { return built.kid(k); });
    EXPECT_EQ(text, printed(renamed)) << printed(m);
  }
}

}  // namespace

}  // namespace analyser
