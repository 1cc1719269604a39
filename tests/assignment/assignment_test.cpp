#include "assignment/assignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace analyser {

namespace {

using enum GenKind;

const VarId kX{"x", "A", 1};
const VarId kY{"y", "A", 1};
const VarId kZ{"z", "B", 1};

Message vx() {
  return var(kX);
}
Message vy() {
  return var(kY);
}
Message vz() {
  return var(kZ);
}
Message n1() {
  return nonce("n", 1);
}

Assignment of(std::vector<Binding> b) {
  return assignment_of_bindings(std::move(b));
}

std::string printed(const Assignment& a) {
  std::ostringstream captured;
  print_assignment(captured, a);
  return captured.str();
}

std::string text(const Message& m) {
  return message_to_string(m);
}

// ---------------------------------------------------------------- building

TEST(ExtendTest, PutsNewBindingsInFront) {
  const Assignment a = extend(extend(empty_assignment(), vx(), n1()), vy(), vz());
  ASSERT_EQ(bindings(a).size(), 2u);
  EXPECT_EQ(bindings(a)[0], Binding(vy(), vz()));
  EXPECT_EQ(bindings(a)[1], Binding(vx(), n1()));
  EXPECT_FALSE(is_empty(a));
  EXPECT_TRUE(is_empty(empty_assignment()));
}

TEST(ExtendTest, SecondBindingOfAVariableIsDropped) {
  const Assignment a = extend(empty_assignment(), vx(), n1());
  const Assignment b = extend(a, vx(), nonce("m", 1));
  EXPECT_TRUE(std::ranges::equal(bindings(b), bindings(a)));
  EXPECT_EQ(apply(b, vx()), n1());
}

TEST(ExtendTest, GenVariablesAreBoundByIdentityKidAndKind) {
  const Message g = gen(kX, 2, Gen);
  Assignment a = extend(empty_assignment(), g, n1());
  a = extend(a, gen(kX, 3, Gen), agent("A", 1));   // another kid: another variable
  a = extend(a, gen(kX, 2, Name), agent("B", 1));  // another kind: another variable
  a = extend(a, gen(kX, 2, Gen), agent("C", 1));   // the same: dropped
  EXPECT_EQ(bindings(a).size(), 3u);
  EXPECT_EQ(apply(a, gen(kX, 2, Gen)), n1());
  EXPECT_EQ(apply(a, gen(kX, 3, Gen)), agent("A", 1));
  EXPECT_EQ(apply(a, gen(kX, 2, Name)), agent("B", 1));
}

TEST(ExtendTest, AVariableBoundToItselfCountsAsUnbound) {
  const Assignment a = of({{vx(), vx()}});
  const Assignment b = extend(a, vx(), n1());
  ASSERT_EQ(bindings(b).size(), 2u);
  EXPECT_EQ(bindings(b)[0], Binding(vx(), n1()));
}

TEST(ExtendTest, RefusesEverythingButVarAndGen) {
  const Assignment a = extend(empty_assignment(), vy(), n1());
  const std::vector<Message> refused = {
      bind_var(kX), agent("A", 0),    nonce("n", 0),   sym_key("k", 0), no_message(),
      pub_of(vx()), pair(vx(), vy()), enc(vx(), vy()), trick({}),
  };
  for (const Message& m : refused) {
    try {
      extend(a, m, n1());
      ADD_FAILURE() << "accepted " << text(m);
    } catch (const NeedVariable& e) {
      EXPECT_STREQ(e.description(), "Assignment.NeedVariable");
    }
  }
  EXPECT_EQ(bindings(a).size(), 1u);
}

TEST(AssignmentTest, OfBindingsKeepsOrderAndDuplicates) {
  const std::vector<Binding> b = {{vx(), n1()}, {vx(), vy()}, {vy(), vx()}};
  EXPECT_TRUE(std::ranges::equal(bindings(of(b)), b));
}

TEST(LookupTest, FirstBindingWinsAndUnboundGivesTheTermItself) {
  const std::vector<Binding> b = {{vx(), n1()}, {vx(), vy()}, {vy(), vz()}};
  EXPECT_EQ(lookup(b, vx()), n1());
  EXPECT_EQ(lookup(b, vy()), vz());  // one step only
  const Message unbound = vz();
  EXPECT_TRUE(lookup(b, unbound).same(unbound));
  EXPECT_EQ(lookup(b, bind_var(kX)), bind_var(kX));
}

// ---------------------------------------------------------------- apply

struct ApplyCase {
  const char* what;
  Assignment a;
  Message term;
  Message expected;
};

std::vector<ApplyCase> apply_cases() {
  const Message kk = sym_key("k", 1);
  return {
      {"variable", of({{vx(), n1()}}), vx(), n1()},
      {"chain to the end", of({{vx(), vy()}, {vy(), kk}}), enc(vx(), vy()), enc(kk, kk)},
      {"chain in the other binding order", of({{vy(), kk}, {vx(), vy()}}), vx(), kk},
      {"chain through a pair", of({{vx(), pair(vy(), vy())}, {vy(), n1()}}), vx(),
       pair(n1(), n1())},
      {"binding var unbound", of({{vy(), n1()}}), bind_var(kX), bind_var(kX)},
      {"binding var bound", of({{vx(), n1()}}), bind_var(kX), n1()},
      {"binding var looks up the plain variable", of({{bind_var(kX), n1()}}), bind_var(kX),
       bind_var(kX)},
      {"binding var inside a pattern", of({{vx(), n1()}}), pair(bind_var(kX), vx()),
       pair(n1(), n1())},
      {"public key of an agent", of({{vx(), agent("A", 1)}}), pub_of(vx()), pub_key("A", 1)},
      {"private key of an agent", of({{vx(), agent("A", 1)}}), priv_of(vx()), priv_key("A", 1)},
      {"public key of a nonce stays", of({{vx(), n1()}}), pub_of(vx()), pub_of(vx())},
      {"key of a chained agent", of({{vx(), vy()}, {vy(), agent("B", 2)}}),
       enc(n1(), priv_of(vx())), enc(n1(), priv_key("B", 2))},
      {"duplicate bindings: the first wins", of({{vx(), n1()}, {vx(), vy()}}), vx(), n1()},
      {"variable bound to a trick", of({{vx(), trick({})}}), vx(), trick({{vx(), trick({})}})},
      {"generated values in a pair", of({{gen(kY, 2, Name), agent("B", 1)}}),
       pair(gen(kY, 2, Name), enc(gen(kZ, 3, RGen), pub_of(gen(kY, 2, Name)))),
       pair(agent("B", 1), enc(gen(kZ, 3, RGen), pub_key("B", 1)))},
  };
}

TEST(ApplyTest, Table) {
  for (const ApplyCase& c : apply_cases()) EXPECT_EQ(apply(c.a, c.term), c.expected) << c.what;
}

TEST(ApplyTest, RenderingUnderAnAssignmentIsTheRenderingOfItsResult) {
  for (const ApplyCase& c : apply_cases()) {
    for (const Rendering r : {Rendering::Printed, Rendering::Label}) {
      std::string expected = "prefix ";
      std::string rendered = expected;
      append_message(expected, c.expected, r);
      append_applied(rendered, c.a, c.term, r);
      EXPECT_EQ(rendered, expected) << c.what;
    }
  }
  EXPECT_THROW(
      {
        std::string s;
        append_applied(s, of({{vx(), trick({})}}), pair(n1(), vx()), Rendering::Printed);
      },
      NoMeaning);
}

TEST(ApplyTest, ApplyOnceMakesOnePass) {
  const std::vector<Binding> b = {{vx(), vy()}, {vy(), n1()}};
  EXPECT_EQ(apply_once(b, pair(vx(), vy())), pair(vy(), n1()));
  EXPECT_EQ(apply_once(b, pub_of(vx())), pub_of(vy()));
}

TEST(ApplyTest, UnchangedTermsAreTheVerySameHandle) {
  const Assignment a = of({{vx(), n1()}, {gen(kY, 1, Name), agent("B", 1)}});
  const std::vector<Message> terms = {
      no_message(),
      agent("A", 1),
      enc(pair(agent("A", 1), n1()), pub_key("B", 1)),
      vz(),
      bind_var(kZ),
      pair(vz(), enc(vy(), sym_key("k", 1))),
      pub_of(vz()),
      pub_of(gen(kX, 1, SKey)),
      pub_of(gen(kZ, 1, Name)),
      gen(kZ, 2, Gen),
  };
  for (const Message& m : terms) {
    EXPECT_TRUE(apply(a, m).same(m)) << text(m);
    EXPECT_TRUE(apply(empty_assignment(), m).same(m)) << text(m);
  }
  const Message self = vz();
  EXPECT_TRUE(apply(of({{vz(), vz()}}), self).same(self));
}

// Terms whose variables are all unbound are passed over by a filter of bits:
// whatever bit a variable lands on, each form it takes in a term must still find
// its binding, alone or beside another variable bound in the same assignment.
TEST(ApplyTest, EveryFormOfABoundVariableIsSubstitutedWhateverItsFilterBit) {
  for (int i = 0; i < 200; ++i) {
    const VarId v{"v" + std::to_string(i), "A", 1};
    const Message g = gen(v, 3, Gen);
    const Assignment a = of({{var(v), n1()}, {g, agent("B", 1)}, {vz(), n1()}});
    const Assignment alone = of({{var(v), n1()}});
    EXPECT_EQ(apply(a, var(v)), n1()) << i;
    EXPECT_EQ(apply(alone, bind_var(v)), n1()) << i;
    EXPECT_EQ(apply(a, enc(pair(agent("A", 1), var(v)), pub_key("B", 1))),
              enc(pair(agent("A", 1), n1()), pub_key("B", 1)))
        << i;
    EXPECT_EQ(apply(a, pub_of(g)), pub_key("B", 1)) << i;
    EXPECT_EQ(apply(alone, pair(g, vz())), pair(g, vz())) << i;
  }
}

TEST(ApplyTest, TrickYieldsTheAssignmentsOwnBindings) {
  const std::vector<Binding> own = {{vx(), n1()}, {vy(), agent("A", 1)}};
  const Message carried = trick({{vz(), n1()}});
  EXPECT_EQ(apply(of(own), carried), trick(own));
  EXPECT_EQ(apply(of(own), trick({})), trick(own));
  EXPECT_EQ(apply(empty_assignment(), carried), trick({}));
}

TEST(ApplyTest, NestedTrickHasNoMeaning) {
  const std::vector<Message> terms = {
      pair(trick({}), n1()), pair(n1(), pair(vx(), trick({{vx(), n1()}}))), enc(n1(), trick({})),
      pub_of(trick({})),  // not a variable: left as it is
  };
  for (const Assignment& a : {empty_assignment(), of({{vx(), n1()}})}) {
    for (std::size_t i = 0; i + 1 < terms.size(); ++i) {
      try {
        apply(a, terms[i]);
        ADD_FAILURE() << "no failure for " << text(terms[i]);
      } catch (const NoMeaning& e) {
        EXPECT_STREQ(e.description(), "Assignment.NoMeaning");
      }
    }
    EXPECT_TRUE(apply(a, terms.back()).same(terms.back()));
  }
}

TEST(ApplyTest, CyclicBindingsFailInsteadOfLooping) {
  const Message gx = gen(kX, 1, Gen);
  const Message gy = gen(kY, 1, Name);
  struct Case {
    const char* what;
    Assignment a;
    Message term;
  };
  const std::vector<Case> cases = {
      {"self-referential", of({{vx(), pair(vx(), n1())}}), vx()},
      {"self-referential, nested", of({{vx(), pair(vx(), n1())}}), enc(n1(), pair(n1(), vx()))},
      {"two-cycle", of({{vx(), vy()}, {vy(), vx()}}), vx()},
      {"two-cycle under a key-of", of({{vx(), vy()}, {vy(), vx()}}), pub_of(vx())},
      {"three-cycle", of({{vx(), vy()}, {vy(), vz()}, {vz(), enc(n1(), vx())}}), vx()},
      {"generated value", of({{gx, pair(gx, n1())}}), gx},
      {"generated values through a key-of", of({{gx, gy}, {gy, gx}}), pub_of(gx)},
  };
  for (const Case& c : cases) {
    try {
      apply(c.a, c.term);
      ADD_FAILURE() << c.what;
    } catch (const CyclicBinding& e) {
      EXPECT_STREQ(e.description(), "Assignment.CyclicBinding");
    }
  }
}

TEST(ApplyTest, HarmlessCyclesAndLongChainsDoNotFail) {
  // A cycle the term does not reach, one hidden by an earlier binding, and
  // self-references that a key-of term does not resolve.
  EXPECT_EQ(apply(of({{vy(), vz()}, {vz(), vy()}}), pair(vx(), n1())), pair(vx(), n1()));
  const Message key_of_x = pub_of(vx());
  EXPECT_TRUE(apply(of({{vx(), pair(vx(), n1())}}), key_of_x).same(key_of_x));
  EXPECT_EQ(apply(of({{vx(), vy()}, {vy(), enc(n1(), vx())}}), key_of_x), pub_of(vy()));
  const Assignment shadowed = compose(of({{vx(), n1()}}), of({{vx(), pair(vx(), n1())}}));
  EXPECT_EQ(apply(shadowed, vx()), n1());
  // The longest acyclic chain, in the least favourable order.
  std::vector<Binding> chain;
  const int length = 60;
  for (int i = 0; i < length; ++i) {
    const Message next = i + 1 < length ? var(VarId{"v", "C", i + 1}) : agent("B", 7);
    chain.emplace_back(var(VarId{"v", "C", i}), next);
  }
  const Message start = pub_of(var(VarId{"v", "C", 0}));
  EXPECT_EQ(apply(of(chain), start), pub_key("B", 7));
  std::reverse(chain.begin(), chain.end());
  EXPECT_EQ(apply(of(chain), start), pub_key("B", 7));
}

// ---------------------------------------------------------------- PubOf / PrivOf

// The canonical form of PubOf/PrivOf after one pass, for every shape of the argument
// x and of its value r. 'K' is the atomic key of the agent, 'R' the key-of term
// rebuilt around r, 'M' the term unchanged (the very same handle).
TEST(KeyOfTest, Table) {
  const Message g_gen = gen(kX, 1, Gen);
  const Message g_rgen = gen(kX, 1, RGen);
  const Message g_name = gen(kX, 1, Name);
  const Message g_rname = gen(kX, 1, RName);
  const std::vector<std::pair<const char*, Message>> arguments = {
      {"var", vx()},
      {"gen", g_gen},
      {"rgen", g_rgen},
      {"name", g_name},
      {"rname", g_rname},
      {"skey", gen(kX, 1, SKey)},
      {"pmkey", gen(kX, 1, PMKey)},
      {"mpkey", gen(kX, 1, MPKey)},
  };
  const std::vector<std::pair<const char*, Message>> values = {
      {"agent", agent("B", 2)},
      {"var", vz()},
      {"gen name", gen(kZ, 2, Name)},
      {"gen rname", gen(kZ, 2, RName)},
      {"gen gen", gen(kZ, 2, Gen)},
      {"gen rgen", gen(kZ, 2, RGen)},
      {"gen skey", gen(kZ, 2, SKey)},
      {"gen mpkey", gen(kZ, 2, MPKey)},
      {"nonce", n1()},
      {"pair", pair(agent("B", 2), n1())},
      {"public key", pub_key("B", 2)},
  };
  // Rows: the arguments above; columns: the values above.
  const char* expected[] = {
      /* var   */ "KRRRRRRRMMM",
      /* gen   */ "KRRRMMMMRRR",
      /* rgen  */ "KRRRMMMMRRR",
      /* name  */ "KRMRRRRRRRR",
      /* rname */ "KRRMRRRRRRR",
      /* skey  */ "MMMMMMMMMMM",
      /* pmkey */ "MMMMMMMMMMM",
      /* mpkey */ "MMMMMMMMMMM",
  };
  for (std::size_t row = 0; row < arguments.size(); ++row) {
    const auto& [x_name, x] = arguments[row];
    for (std::size_t col = 0; col < values.size(); ++col) {
      const auto& [r_name, r] = values[col];
      const std::vector<Binding> s = {{x, r}};
      for (const bool pub : {true, false}) {
        const Message m = pub ? pub_of(x) : priv_of(x);
        const Message result = apply_once(s, m);
        const std::string where = std::string(x_name) + " bound to " + r_name;
        switch (expected[row][col]) {
          case 'K':
            EXPECT_EQ(result, pub ? pub_key("B", 2) : priv_key("B", 2)) << where;
            break;
          case 'R':
            EXPECT_EQ(result, pub ? pub_of(r) : priv_of(r)) << where;
            break;
          default:
            EXPECT_TRUE(result.same(m)) << where << " gave " << text(result);
        }
      }
    }
  }
}

TEST(KeyOfTest, UnboundOrNonVariableArgumentsAreLeftAlone) {
  const std::vector<Binding> s = {{vy(), agent("B", 1)}, {var(VarId{"x", "", 0}), n1()}};
  const std::vector<Message> terms = {
      pub_of(vx()),
      priv_of(gen(kX, 1, Name)),
      pub_of(gen(kX, 1, Gen)),
      pub_of(bind_var(kY)),  // binding occurrences are not resolved here
      pub_of(agent("B", 1)),
      priv_of(n1()),
  };
  for (const Message& m : terms) EXPECT_TRUE(apply_once(s, m).same(m)) << text(m);
}

TEST(KeyOfTest, NameValueLeftAloneEvenWhenBoundToAnotherName) {
  const Message x = gen(kX, 1, Name);
  const Message other = gen(kZ, 4, Name);
  const Message m = pub_of(x);
  EXPECT_TRUE(apply(of({{x, other}, {other, agent("B", 1)}}), m).same(m));
}

// ---------------------------------------------------------------- compose

TEST(ComposeTest, BindingsOfTheFirstComeFirst) {
  const Assignment a = of({{vx(), n1()}, {vy(), n1()}});
  const Assignment b = of({{vx(), agent("A", 1)}, {vz(), vx()}});
  const Assignment ab = compose(a, b);
  const std::vector<Binding> expected = {
      {vx(), n1()}, {vy(), n1()}, {vx(), agent("A", 1)}, {vz(), vx()}};
  EXPECT_TRUE(std::ranges::equal(bindings(ab), expected));
  EXPECT_EQ(apply(ab, vx()), n1());
  EXPECT_EQ(apply(ab, vz()), n1());
  EXPECT_EQ(apply(compose(b, a), vx()), agent("A", 1));
  EXPECT_TRUE(compose(empty_assignment(), b).same(b));
  EXPECT_TRUE(compose(a, empty_assignment()).same(a));
  EXPECT_TRUE(is_empty(compose(empty_assignment(), empty_assignment())));
}

// ---------------------------------------------------------------- vars_bound_to

TEST(VarsBoundToTest, Table) {
  const Assignment a = of({{vx(), n1()}, {vy(), agent("A", 1)}, {vz(), nonce("n", 1)}});
  struct Case {
    Message value;
    std::vector<Message> expected;
  };
  const std::vector<Case> cases = {
      {n1(), {vx(), vz()}},
      {agent("A", 1), {vy()}},
      {agent("A", 2), {}},
      {vx(), {}},
  };
  for (const Case& c : cases) EXPECT_EQ(vars_bound_to(a, c.value), c.expected) << text(c.value);
  EXPECT_TRUE(vars_bound_to(empty_assignment(), n1()).empty());
}

// ---------------------------------------------------------------- printing

TEST(PrintTest, BothForms) {
  struct Case {
    Assignment a;
    const char* printed;
    const char* label;
  };
  const std::vector<Case> cases = {
      {empty_assignment(), " .\n", "\\n"},
      {of({{vx(), n1()}}), "x_A_1 -> n_1\n .\n", "x_A_1 -> n_1\\n\\n"},
      {of({{gen(kX, 3, RGen), pair(agent("A", 1), n1())}, {vy(), enc(vz(), pub_key("B", 1))}}),
       "x_A_1(KR:3:gen) -> [A_1,n_1]\ny_A_1 -> {z_B_1}B_1+\n .\n",
       "x_A_1(KRG:3) -> A_1,n_1\\ny_A_1 -> {z_B_1}B_1+\\n\\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(printed(c.a), c.printed);
    EXPECT_EQ(assignment_to_string(c.a), c.label);
  }
}

}  // namespace

}  // namespace analyser
