#include "principal/principal.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "principal/context.h"
#include "principal/process.h"

namespace analyser {

namespace {

VarId parsed(const std::string& name) {
  return VarId{name, "", 0};
}
VarId owned(const std::string& name, const std::string& owner, std::int64_t instance) {
  return VarId{name, owner, instance};
}

// What f writes on the stream it is given.
template <typename F>
std::string captured(F f) {
  std::ostringstream stream;
  f(stream);
  return stream.str();
}

// ---- Processes ----

TEST(ProcessTest, TextShowsPrefixesAndOperators) {
  const VarId x = owned("x", "B", 1);
  const struct {
    Process process;
    std::string text;
  } cases[] = {
      {nil_process(), ""},
      {input(var(x), output(pair(agent("A", 1), var(x)), nil_process())),
       "In(x_B_1).Out(A_1,x_B_1)"},
      {choice(nil_process(), output(nonce("n", 1), nil_process())), "( + Out(n_1))"},
      {parallel(input(bind_var(x), nil_process()), choice(output(pub_of(var(x)), nil_process()),
                                                          output(priv_key("A", 1), nil_process()))),
       "(In(x_B_1) | (Out(x_B_1+) + Out(A_1-)))"},
      {output(gen(x, 3, GenKind::RGen), nil_process()), "Out(x_B_1(KRG:3))"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(process_to_string(c.process), c.text);
    EXPECT_EQ(captured([&](std::ostream& os) { print_process(os, c.process); }), c.text);
  }
}

TEST(ProcessTest, MaxActionsTakesTheLongerChoiceAndSumsParallels) {
  const Message a = nonce("a", 0);
  EXPECT_EQ(max_actions(nil_process()), 0);
  EXPECT_EQ(max_actions(parallel(input(a, output(a, nil_process())),
                                 choice(output(a, nil_process()), nil_process()))),
            3);
  EXPECT_EQ(max_actions(choice(output(a, nil_process()), input(a, input(a, nil_process())))), 2);
}

TEST(ProcessTest, WellFormedFailsOnAnyBadKey) {
  const Message m = nonce("m", 0);
  const Process good = input(enc(m, pub_of(var(parsed("x")))), output(enc(m, sym_key("k", 0)), {}));
  EXPECT_TRUE(process_well_formed(nil_process()));
  EXPECT_TRUE(process_well_formed(good));
  EXPECT_FALSE(process_well_formed(choice(good, output(enc(m, agent("A", 0)), {}))));
  EXPECT_FALSE(process_well_formed(parallel(output(enc(m, nonce("n", 0)), {}), good)));
}

TEST(ProcessTest, MappingThatChangesNothingKeepsTheSameTree) {
  const Process p =
      parallel(input(var(parsed("x")), nil_process()), output(nonce("n", 0), nil_process()));
  EXPECT_TRUE(map_terms([](const Message& t) { return t; }, p).same(p));
  EXPECT_TRUE(apply_to_process(empty_assignment(), p).same(p));
  Assignment unrelated = extend(empty_assignment(), var(parsed("z")), nonce("n", 1));
  EXPECT_TRUE(apply_to_process(unrelated, p).same(p));
}

TEST(ProcessTest, MappingRewritesEveryTermAndKeepsTheShape) {
  const VarId x = parsed("x");
  const Process p =
      choice(input(bind_var(x), output(var(x), nil_process())),
             parallel(output(nonce("n", 0), nil_process()), output(pub_of(var(x)), nil_process())));
  Assignment a = extend(empty_assignment(), var(x), agent("A", 2));
  Process q = apply_to_process(a, p);
  EXPECT_EQ(process_to_string(q), "(In(A_2).Out(A_2) + (Out(n_0) | Out(A_2+)))");
  // The untouched subtree is shared, not rebuilt.
  EXPECT_TRUE(q.right().left().same(p.right().left()));
}

TEST(ProcessTest, EqualityIsStructural) {
  const Process a = input(var(parsed("x")), output(nonce("n", 0), nil_process()));
  const Process b = input(var(parsed("x")), output(nonce("n", 0), nil_process()));
  EXPECT_EQ(a, b);
  EXPECT_FALSE(a == output(var(parsed("x")), output(nonce("n", 0), nil_process())));
  EXPECT_FALSE(choice(a, b) == parallel(a, b));
  EXPECT_EQ(nil_process(), Process());
}

// ---- Principals ----

// Template B with params (x) and In(?y).Out({y}kab).
Principal template_b() {
  return make_principal(
      "B", 0, {parsed("x")},
      input(bind_var(parsed("y")), output(enc(var(parsed("y")), sym_key("kab", 0)), {})));
}

TEST(PrincipalTest, DrawingAnInstanceScopesNamesKeysAndVariables) {
  Principal b3 = make_principal("B", 3, template_b().params(), template_b().process());
  EXPECT_EQ(b3.params(), (std::vector<VarId>{owned("x", "B", 3)}));
  EXPECT_EQ(principal_to_string(b3, empty_assignment()),
            "B_3: (x_B_3) [In(y_B_3).Out({y_B_3}kab_3)]");
  EXPECT_EQ(principal_identity(b3), std::make_pair(std::string("B"), std::int64_t{3}));
}

TEST(PrincipalTest, InstantiationRewritesEveryAlternativeAsFixed) {
  const VarId v = parsed("v");
  const Message g = gen(owned("g", "I", 0), 4, GenKind::Name);
  const Process p =
      output(pair(pair(agent("A", 0), pub_key("S", 7)),
                  pair(pair(priv_of(var(v)), pub_of(g)), pair(g, pair(trick({}), no_message())))),
             nil_process());
  Principal q = make_principal("Q", 2, {}, p);
  EXPECT_EQ(q.process().term(), pair(pair(agent("A", 2), pub_key("S", 2)),
                                     pair(pair(priv_of(var(owned("v", "Q", 2))), pub_of(g)),
                                          pair(g, pair(trick({}), no_message())))));
}

TEST(PrincipalTest, PlaceholderIsEmptyNamedInstanceMinusOne) {
  Principal p;
  EXPECT_EQ(p.name(), "");
  EXPECT_EQ(p.instance(), -1);
  EXPECT_TRUE(p.params().empty());
  EXPECT_TRUE(p.process().is_nil());
  EXPECT_EQ(p, make_principal("", -1, {}, nil_process()));
}

TEST(PrincipalTest, BindingAParameterRemovesItAndFinishesTheRole) {
  Principal b =
      make_principal("B", 3, {parsed("x"), parsed("w")}, output(var(parsed("w")), nil_process()));
  Assignment a = extend(empty_assignment(), var(owned("x", "B", 3)), nonce("n", 1));
  Principal bound = apply_to_principal(a, b);
  EXPECT_EQ(bound.params(), (std::vector<VarId>{owned("w", "B", 3)}));
  EXPECT_FALSE(is_finished(bound));
  Principal done = make_principal("B", 3, {parsed("x")}, nil_process());
  EXPECT_FALSE(is_finished(done));
  EXPECT_TRUE(is_finished(apply_to_principal(a, done)));
}

TEST(PrincipalTest, ParameterBoundToItselfStaysAParameter) {
  Principal b = make_principal("B", 1, {parsed("x")}, nil_process());
  const Message x = var(owned("x", "B", 1));
  Principal same = apply_to_principal(extend(empty_assignment(), x, x), b);
  EXPECT_EQ(same.params().size(), 1u);
}

TEST(PrincipalTest, ApplyingAnAssignmentThatChangesNothingReturnsThePrincipalItself) {
  Principal b = make_principal("B", 3, {parsed("x")}, template_b().process());
  EXPECT_TRUE(apply_to_principal(empty_assignment(), b).same(b));
  Assignment unrelated = extend(empty_assignment(), var(owned("x", "A", 3)), nonce("n", 1));
  EXPECT_TRUE(apply_to_principal(unrelated, b).same(b));
  Assignment related = extend(empty_assignment(), var(owned("y", "B", 3)), nonce("n", 1));
  Principal changed = apply_to_principal(related, b);
  EXPECT_FALSE(changed.same(b));
  EXPECT_EQ(principal_to_string(changed, empty_assignment()),
            "B_3: (x_B_3) [In(n_1).Out({n_1}kab_3)]");
}

TEST(PrincipalTest, TextAndPrintingApplyTheAssignmentFirst) {
  Principal b = make_principal("B", 3, {parsed("x")}, template_b().process());
  Assignment a = extend(empty_assignment(), var(owned("x", "B", 3)), agent("A", 1));
  const std::string text = "B_3: () [In(y_B_3).Out({y_B_3}kab_3)]";
  EXPECT_EQ(principal_to_string(b, a), text);
  EXPECT_EQ(captured([&](std::ostream& os) { print_principal(os, b, a); }), text);
}

TEST(PrincipalTest, ParamKindIsDecidedByTheFirstConstrainingPrefix) {
  const VarId v = owned("v", "P", 0);
  const Message m = nonce("m", 0);
  auto kind_in = [&](const Process& p) {
    return param_kind(make_principal("P", 0, {parsed("v")}, p), v);
  };
  auto send = [](const Message& t, const Process& rest) { return output(t, rest); };
  const Message v_key = enc(m, var(parsed("v")));
  const Message v_owner = pub_of(var(parsed("v")));
  EXPECT_EQ(kind_in(send(v_key, send(v_owner, {}))), GenKind::SKey);
  EXPECT_EQ(kind_in(send(v_owner, send(v_key, {}))), GenKind::Name);
  EXPECT_EQ(kind_in(send(m, send(v_owner, {}))), GenKind::Name);
  EXPECT_EQ(kind_in(send(m, {})), GenKind::Gen);
  EXPECT_EQ(kind_in(choice(send(v_key, {}), send(v_owner, {}))), GenKind::SKey);
  EXPECT_EQ(kind_in(choice(send(v_owner, {}), send(v_key, {}))), GenKind::Name);
  EXPECT_EQ(kind_in(parallel(send(m, {}), send(v_owner, {}))), GenKind::Name);
  // Not a parameter: gen, even when used as a key.
  Principal p = make_principal("P", 0, {}, send(v_key, {}));
  EXPECT_EQ(param_kind(p, v), GenKind::Gen);
}

TEST(PrincipalTest, WellFormedAndMaxActionsLookAtTheProcess) {
  Principal p = make_principal("P", 1, {}, output(enc(nonce("m", 0), agent("A", 0)), {}));
  EXPECT_FALSE(principal_well_formed(p));
  EXPECT_EQ(principal_max_actions(template_b()), 2);
}

// ---- Pool ----

TEST(PoolTest, DrawsTemplatesByPositionUpToTheInstanceLimit) {
  PrincipalPool pool = make_pool({template_b(), make_principal("A", 0, {}, nil_process())}, 2);
  EXPECT_EQ(pool.size(), 2);
  EXPECT_EQ(pool.max_instance, 2);
  EXPECT_EQ(principal_to_string(get_principal(pool, 1, 2), empty_assignment()), "A_2: () []");
  EXPECT_EQ(get_principal(pool, 0, 1).params(), (std::vector<VarId>{owned("x", "B", 1)}));
}

TEST(PoolTest, MissingTemplateFailsWithSelectAndALimitWithout) {
  PrincipalPool pool = make_pool({template_b()}, 2);
  const auto output_of = [&](std::int64_t i, std::int64_t n) {
    try {
      get_principal(pool, i, n);
    } catch (const NoMorePrinc& e) {
      EXPECT_STREQ(e.description(), "Princpool.NoMorePrinc");
      return e.output();
    }
    ADD_FAILURE() << "no failure";
    return std::string();
  };
  EXPECT_EQ(output_of(0, 3), "");
  EXPECT_EQ(output_of(5, 3), "");
  EXPECT_EQ(output_of(1, 1), "select!\n");
  EXPECT_EQ(output_of(-1, 1), "select!\n");
}

// ---- Contexts and statuses ----

Principal role(const std::string& name, std::int64_t instance) {
  return make_principal(name, instance, {}, output(nonce("n", 0), nil_process()));
}

std::vector<std::string> names(const Context& c) {
  std::vector<std::string> result;
  for (const Principal& p : c) result.push_back(p.name() + std::to_string(p.instance()));
  return result;
}

TEST(ContextTest, ReplacingReversesWhatStoodBefore) {
  const Context c = {role("P", 1), role("P", 2), role("P", 3), role("P", 4)};
  const Principal fresh = role("N", 9);
  const struct {
    Principal old;
    std::vector<std::string> expected;
  } cases[] = {
      {role("P", 1), {"N9", "P2", "P3", "P4"}},
      {role("P", 3), {"N9", "P2", "P1", "P4"}},
      {role("P", 4), {"N9", "P3", "P2", "P1"}},
      {role("Q", 1), {"N9", "P4", "P3", "P2", "P1"}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(names(replace_principal(c, {k.old, fresh})), k.expected);
  }
  EXPECT_EQ(names(replace_principal({}, {role("P", 1), fresh})), (std::vector<std::string>{"N9"}));
}

TEST(ContextTest, ReplacingFindsTheFirstStructurallyEqualPrincipal) {
  const Context c = {role("Q", 1), role("P", 1), role("R", 1), role("P", 1)};
  EXPECT_EQ(names(replace_principal(c, {role("P", 1), role("N", 0)})),
            (std::vector<std::string>{"N0", "Q1", "R1", "P1"}));
}

TEST(ContextTest, QueriesOverThePrincipals) {
  const Context c = {role("P", 2), make_principal("Q", 1, {}, nil_process()), role("P", 1)};
  EXPECT_EQ(&nth_principal(c, 2), &c[1]);
  EXPECT_THROW(nth_principal(c, 0), Failure);
  EXPECT_THROW(nth_principal(c, 4), Failure);
  EXPECT_EQ(instances_named(c, "P"), (std::vector<std::int64_t>{2, 1}));
  EXPECT_TRUE(instances_named(c, "R").empty());
  EXPECT_EQ(trace_length(c), 2);
  EXPECT_EQ(trace_length({}), 0);
  EXPECT_TRUE(all_finished({}));
  EXPECT_FALSE(all_finished(c));
  EXPECT_TRUE(all_finished({c[1]}));
}

TEST(ContextTest, PrintedAndLabelForms) {
  const Context c = {role("P", 2), make_principal("Q", 1, {parsed("x")}, nil_process())};
  Assignment a = extend(empty_assignment(), var(owned("x", "Q", 1)), nonce("n", 1));
  EXPECT_EQ(captured([&](std::ostream& os) { print_context(os, c, a); }),
            "P_2: () [Out(n_2)]\nQ_1: () []\n\n");
  EXPECT_EQ(context_to_string(c, empty_assignment()), "P_2: () [Out(n_2)]\\nQ_1: (x_Q_1) []\\n\\n");
  EXPECT_EQ(context_to_string({}, a), "\\n");
  EXPECT_EQ(captured([&](std::ostream& os) { print_context(os, {}, a); }), "\n");
}

}  // namespace

}  // namespace analyser
