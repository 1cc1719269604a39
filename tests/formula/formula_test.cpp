#include "formula/formula.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "formula_helpers.h"
#include "principal/principal.h"

namespace analyser {

namespace {

// ------------------------------------------------------------------ helpers

using formula_tests::printed;

std::string printed(const ClauseList& clauses) {
  std::ostringstream captured;
  print_clauses(captured, clauses);
  return captured.str();
}

Message xa1() {
  return var(VarId{"x", "A", 1});
}
Message na(std::int64_t i) {
  return nonce("na", i);
}
Formula knows(const Message& t) {
  return derive_formula(t);
}
// Distinct literals for the normal-form tests.
Formula p() {
  return knows(nonce("p", 1));
}
Formula q() {
  return knows(nonce("q", 1));
}
Formula r() {
  return knows(nonce("r", 1));
}
Formula s() {
  return knows(nonce("s", 1));
}

// A context of template-less principals with the given (name, instance) pairs.
Context context_of(const std::vector<std::pair<std::string, std::int64_t>>& principals) {
  Context c;
  for (const auto& [name, instance] : principals) {
    c.push_back(make_principal(name, instance, {}, nil_process()));
  }
  return c;
}

struct FormulaCase {
  Formula formula;
  std::string expected;
};

// ------------------------------------------------------------------ printing

TEST(PrintFormulaTest, WritesEveryAlternative) {
  const std::vector<FormulaCase> cases = {
      {formula_true(), " T "},
      {formula_false(), " F "},
      {forall_formula("i", "A", knows(na(1))), "{FA i:A| ( K :> na_1)}"},
      {exists_formula("j", "B", formula_true()), "{EX j:B|  T }"},
      {not_formula(formula_false()), "[not  F ]"},
      {and_formula(formula_true(), formula_false()), "{ T  and  F }"},
      {or_formula(formula_true(), formula_false()), "[ T  or  F ]"},
      {equal_formula(xa1(), na(1)), "(x_A_1 = na_1)"},
      {not_equal_formula(xa1(), agent("I", 0)), "(x_A_1 <> I_0)"},
      {knows(pair(agent("A", 1), enc(na(1), pub_key("B", 1)))), "( K :> [A_1,{na_1}B_1+])"},
      {not_derive_formula(priv_of(xa1())), "( K !:> x_A_1-)"},
      {or_formula(not_formula(and_formula(p(), q())), r()),
       "[[not {( K :> p_1) and ( K :> q_1)}] or ( K :> r_1)]"},
  };
  for (const FormulaCase& c : cases) EXPECT_EQ(printed(c.formula), c.expected);
}

TEST(PrintFormulaTest, DefaultFormulaIsTrue) {
  EXPECT_TRUE(Formula().is(FormulaTag::True));
  EXPECT_EQ(Formula(), formula_true());
}

TEST(PrintClausesTest, OneLiteralPerLineAndABlankLineAfterEachClause) {
  EXPECT_EQ(printed(ClauseList{{p(), q()}, {formula_false()}}),
            "( K :> p_1)\n( K :> q_1)\n\n F \n\n");
  EXPECT_EQ(printed(ClauseList{}), "");
  EXPECT_EQ(printed(ClauseList{{}}), "\n");
}

// ------------------------------------------------------------------ equality

TEST(FormulaEqualityTest, IsStructural) {
  EXPECT_EQ(and_formula(p(), q()), and_formula(p(), q()));
  EXPECT_NE(and_formula(p(), q()), and_formula(q(), p()));
  EXPECT_NE(and_formula(p(), q()), or_formula(p(), q()));
  EXPECT_NE(forall_formula("i", "A", p()), forall_formula("j", "A", p()));
  EXPECT_NE(forall_formula("i", "A", p()), forall_formula("i", "B", p()));
  EXPECT_NE(forall_formula("i", "A", p()), exists_formula("i", "A", p()));
  EXPECT_NE(equal_formula(xa1(), na(1)), not_equal_formula(xa1(), na(1)));
  EXPECT_NE(equal_formula(xa1(), na(1)), equal_formula(xa1(), na(2)));
  EXPECT_NE(knows(na(1)), not_derive_formula(na(1)));
}

// ------------------------------------------------------------------ instantiation

struct TermCase {
  Message term;
  Message expected;
};

TEST(InstantiateTermTest, ReplacesEveryPlaceholderOfTheIndex) {
  const Message yi = var(VarId{"y", "i", 0});
  const Message ya2 = var(VarId{"y", "A", 2});
  const std::vector<TermCase> cases = {
      {agent("Ai", 0), agent("A", 2)},
      {pub_key("Ai", 0), pub_key("A", 2)},
      {priv_key("Ai", 0), priv_key("A", 2)},
      {agent("Aj", 0), agent("Aj", 0)},
      {agent("Bi", 0), agent("Bi", 0)},
      {agent("A", 0), agent("A", 0)},
      {nonce("_i_na", 0), nonce("na", 2)},
      {sym_key("_i_kab", 0), sym_key("kab", 2)},
      {nonce("_j_na", 0), nonce("_j_na", 0)},
      {nonce("_ii_na", 0), nonce("_ii_na", 0)},
      {nonce("na", 0), nonce("na", 0)},
      // Only the last "_" separates the index from the base name.
      {nonce("_i_n_a", 0), nonce("_i_n_a", 0)},
      {yi, ya2},
      {var(VarId{"y", "i", 7}), ya2},
      {var(VarId{"y", "j", 0}), var(VarId{"y", "j", 0})},
      {pub_of(yi), pub_of(ya2)},
      {priv_of(yi), priv_of(ya2)},
      {pub_of(agent("Ai", 0)), pub_of(agent("Ai", 0))},
      {bind_var(VarId{"y", "i", 0}), bind_var(VarId{"y", "i", 0})},
      {gen(VarId{"y", "i", 0}, 3, GenKind::Gen), gen(VarId{"y", "i", 0}, 3, GenKind::Gen)},
      {pair(enc(nonce("_i_na", 0), pub_key("Ai", 0)), yi), pair(enc(na(2), pub_key("A", 2)), ya2)},
  };
  for (const TermCase& c : cases) {
    EXPECT_EQ(instantiate_term(c.term, "i", 2, "A"), c.expected) << message_to_string(c.term);
  }
}

TEST(InstantiateTermTest, ReturnsTheSameHandleWhenNothingChanges) {
  const Message t = pair(na(1), enc(agent("B", 1), sym_key("k", 1)));
  EXPECT_TRUE(instantiate_term(t, "i", 1, "A").same(t));
}

TEST(InstantiateTest, ReachesEveryTermButLeavesNotAlone) {
  const Message yi = var(VarId{"y", "i", 0});
  const Formula f = and_formula(
      exists_formula("j", "B", equal_formula(yi, nonce("_i_na", 0))),
      or_formula(not_equal_formula(yi, agent("Ai", 0)),
                 or_formula(not_derive_formula(nonce("_i_na", 0)), not_formula(knows(yi)))));
  EXPECT_EQ(printed(instantiate(f, "i", 3, "A")),
            "{{EX j:B| (y_A_3 = na_3)} and [(y_A_3 <> A_3) or [( K !:> na_3) or [not ( K :> "
            "y_i_0)]]]}");
}

// ------------------------------------------------------------------ negation normal form

TEST(ToNnfTest, PushesNegationsDownToTheLiterals) {
  const Formula eq = equal_formula(xa1(), na(1));
  const std::vector<FormulaCase> cases = {
      {not_formula(formula_true()), " F "},
      {not_formula(formula_false()), " T "},
      {not_formula(not_formula(p())), "( K :> p_1)"},
      {not_formula(p()), "( K !:> p_1)"},
      {not_formula(not_derive_formula(na(1))), "( K :> na_1)"},
      {not_formula(eq), "(x_A_1 <> na_1)"},
      {not_formula(not_equal_formula(xa1(), na(1))), "(x_A_1 = na_1)"},
      {not_formula(forall_formula("i", "A", p())), "{EX i:A| ( K !:> p_1)}"},
      {not_formula(exists_formula("i", "A", p())), "{FA i:A| ( K !:> p_1)}"},
      {not_formula(and_formula(p(), eq)), "[( K !:> p_1) or (x_A_1 <> na_1)]"},
      {not_formula(or_formula(p(), not_formula(q()))), "{( K !:> p_1) and ( K :> q_1)}"},
      {forall_formula("i", "A", or_formula(not_formula(p()), q())),
       "{FA i:A| [( K !:> p_1) or ( K :> q_1)]}"},
  };
  for (const FormulaCase& c : cases) EXPECT_EQ(printed(to_nnf(c.formula)), c.expected);
}

TEST(ToNnfTest, LeavesNegationFreeFormulasAsTheyAre) {
  const Formula f = forall_formula("i", "A", and_formula(p(), or_formula(q(), r())));
  EXPECT_TRUE(to_nnf(f).same(f));
}

// ------------------------------------------------------------------ quantifier expansion

TEST(ExpandQuantifiersTest, JoinsInstancesToTheRightInContextOrder) {
  const Formula body = knows(nonce("_i_na", 0));
  const Context c = context_of({{"A", 3}, {"B", 1}, {"A", 1}, {"A", 2}});
  EXPECT_EQ(printed(expand_quantifiers(forall_formula("i", "A", body), c)),
            "{( K :> na_3) and {( K :> na_1) and ( K :> na_2)}}");
  EXPECT_EQ(printed(expand_quantifiers(exists_formula("i", "A", body), c)),
            "[( K :> na_3) or [( K :> na_1) or ( K :> na_2)]]");
}

TEST(ExpandQuantifiersTest, NoInstanceGivesTheNeutralConstant) {
  const Context c = context_of({{"A", 1}});
  EXPECT_EQ(expand_quantifiers(forall_formula("i", "C", p()), c), formula_true());
  EXPECT_EQ(expand_quantifiers(exists_formula("i", "C", p()), c), formula_false());
  EXPECT_EQ(expand_quantifiers(forall_formula("i", "A", p()), Context{}), formula_true());
}

TEST(ExpandQuantifiersTest, OneInstanceGivesTheInstantiatedBody) {
  const Context c = context_of({{"B", 1}, {"A", 2}});
  EXPECT_EQ(
      printed(expand_quantifiers(
          forall_formula("i", "A", equal_formula(var(VarId{"x", "i", 0}), agent("Ai", 0))), c)),
      "(x_A_2 = A_2)");
}

TEST(ExpandQuantifiersTest, NestedQuantifiersAndConnectives) {
  const Context c = context_of({{"A", 1}, {"B", 1}, {"B", 2}});
  const Formula f = or_formula(
      p(),
      forall_formula(
          "i", "A",
          exists_formula("j", "B", equal_formula(var(VarId{"x", "i", 0}), nonce("_j_nb", 0)))));
  EXPECT_EQ(printed(expand_quantifiers(f, c)),
            "[( K :> p_1) or [(x_A_1 = nb_1) or (x_A_1 = nb_2)]]");
}

TEST(ExpandQuantifiersTest, InnerQuantifierIsExpandedBeforeTheOuterIndexIsReplaced) {
  // Both bind i: the inner one takes the placeholders, the outer finds none left.
  const Context c = context_of({{"A", 1}, {"A", 2}, {"B", 1}, {"B", 2}});
  const Formula f = forall_formula("i", "A", exists_formula("i", "B", knows(agent("Bi", 0))));
  EXPECT_EQ(printed(expand_quantifiers(f, c)),
            "{[( K :> B_1) or ( K :> B_2)] and [( K :> B_1) or ( K :> B_2)]}");
}

// ------------------------------------------------------------------ DNF and clauses

TEST(ToDnfTest, DistributesConjunctionOverDisjunction) {
  const std::vector<FormulaCase> cases = {
      // The right operand moves to the front when the left one is a disjunction.
      {and_formula(or_formula(p(), q()), r()),
       "[{( K :> r_1) and ( K :> p_1)} or {( K :> r_1) and ( K :> q_1)}]"},
      {and_formula(p(), or_formula(q(), r())),
       "[{( K :> p_1) and ( K :> q_1)} or {( K :> p_1) and ( K :> r_1)}]"},
      {or_formula(and_formula(p(), or_formula(q(), r())), s()),
       "[[{( K :> p_1) and ( K :> q_1)} or {( K :> p_1) and ( K :> r_1)}] or ( K :> s_1)]"},
      {and_formula(and_formula(or_formula(p(), q()), r()), s()),
       "[{( K :> s_1) and {( K :> r_1) and ( K :> p_1)}} or {( K :> s_1) and {( K :> r_1) and "
       "( K :> q_1)}}]"},
  };
  for (const FormulaCase& c : cases) EXPECT_EQ(printed(to_dnf(c.formula)), c.expected);
}

TEST(ToDnfTest, LeavesConjunctionsOfLiteralsAsTheyAre) {
  const Formula f = and_formula(and_formula(p(), q()), not_equal_formula(xa1(), na(1)));
  EXPECT_TRUE(to_dnf(f).same(f));
  const Formula literal = p();
  EXPECT_TRUE(to_dnf(literal).same(literal));
}

TEST(ToClausesTest, DisjunctionsSplitAndConjunctionsFlatten) {
  EXPECT_EQ(to_clauses(p()), (ClauseList{{p()}}));
  EXPECT_EQ(to_clauses(or_formula(and_formula(p(), and_formula(q(), r())), s())),
            (ClauseList{{p(), q(), r()}, {s()}}));
  EXPECT_EQ(to_clauses(and_formula(and_formula(p(), q()), and_formula(r(), s()))),
            (ClauseList{{p(), q(), r(), s()}}));
  EXPECT_EQ(to_clauses(or_formula(or_formula(p(), q()), r())), (ClauseList{{p()}, {q()}, {r()}}));
}

TEST(ToClausesTest, AndOverOrGivesRightOperandFirst) {
  EXPECT_EQ(to_clauses(to_dnf(and_formula(or_formula(p(), q()), r()))),
            (ClauseList{{r(), p()}, {r(), q()}}));
  EXPECT_EQ(to_clauses(to_dnf(and_formula(or_formula(p(), q()), or_formula(r(), s())))),
            (ClauseList{{p(), r()}, {p(), s()}, {q(), r()}, {q(), s()}}));
}

// ------------------------------------------------------------------ prepare

TEST(PrepareTest, NegatedUniversalGivesOneClausePerInstance) {
  const Context c = context_of({{"A", 1}, {"A", 2}});
  const ClauseList clauses =
      prepare(not_formula(forall_formula("i", "A", knows(nonce("_i_na", 0)))), c);
  EXPECT_EQ(clauses, (ClauseList{{not_derive_formula(na(1))}, {not_derive_formula(na(2))}}));
  EXPECT_EQ(printed(clauses), "( K !:> na_1)\n\n( K !:> na_2)\n\n");
}

TEST(PrepareTest, QuantifierWithoutInstancesGivesAConstantClause) {
  const Context c = context_of({{"A", 1}});
  EXPECT_EQ(prepare(forall_formula("i", "B", p()), c), (ClauseList{{formula_true()}}));
  EXPECT_EQ(prepare(exists_formula("i", "B", p()), c), (ClauseList{{formula_false()}}));
}

TEST(PrepareTest, RemovesRepeatedClausesKeepingTheFirst) {
  const Context c;
  // A permutation of an earlier clause is a repeat.
  EXPECT_EQ(prepare(or_formula(and_formula(p(), q()), or_formula(r(), and_formula(q(), p()))), c),
            (ClauseList{{p(), q()}, {r()}}));
  // Same length and mutual inclusion suffice, even with different multiplicities.
  EXPECT_EQ(prepare(or_formula(and_formula(p(), and_formula(p(), q())),
                               and_formula(p(), and_formula(q(), q()))),
                    c),
            (ClauseList{{p(), p(), q()}}));
  // A different length, or a literal missing on one side, is no repeat.
  EXPECT_EQ(prepare(or_formula(and_formula(p(), q()), and_formula(p(), and_formula(q(), p()))), c),
            (ClauseList{{p(), q()}, {p(), q(), p()}}));
  EXPECT_EQ(prepare(or_formula(and_formula(p(), p()), and_formula(p(), q())), c),
            (ClauseList{{p(), p()}, {p(), q()}}));
}

TEST(PrepareTest, NegatedJoinFormulaOfASession) {
  // not (forall B.i: exists A.j: a_i = A_j) over A_1, B_1, A_2.
  const Context c = context_of({{"A", 1}, {"B", 1}, {"A", 2}});
  const Formula join = forall_formula(
      "i", "B", exists_formula("j", "A", equal_formula(var(VarId{"a", "i", 0}), agent("Aj", 0))));
  EXPECT_EQ(printed(prepare(not_formula(join), c)), "(a_B_1 <> A_1)\n(a_B_1 <> A_2)\n\n");
}

TEST(PrepareTest, ListsTheClausesOfTheExpandedFormula) {
  // forall A.i: (na_i known or p) over A_1, A_2: the expansion is the formula the
  // clauses list, before any distribution.
  const Context c = context_of({{"A", 1}, {"A", 2}});
  const Formula f = forall_formula("i", "A", or_formula(knows(nonce("_i_na", 0)), p()));
  const Formula expanded = expand_for(f, c);
  EXPECT_EQ(expanded, and_formula(or_formula(knows(na(1)), p()), or_formula(knows(na(2)), p())));
  EXPECT_EQ(clause_form(expanded), prepare(f, c));
}

// ------------------------------------------------------------------ distinct literals

TEST(DistinctLiteralsTest, FindsEachLiteralByItsContent) {
  struct Case {
    Formula literal;
    std::uint32_t index;
  };
  const std::vector<Case> cases = {
      {p(), 0},
      {q(), 1},
      {knows(nonce("p", 1)), 0},  // another handle, the same content
      {not_derive_formula(nonce("p", 1)), 2},
      {equal_formula(xa1(), na(1)), 3},
      {equal_formula(xa1(), na(2)), 4},
      {equal_formula(var(VarId{"x", "A", 1}), nonce("na", 1)), 3},
      {not_equal_formula(xa1(), na(1)), 5},
      {q(), 1},
  };
  DistinctLiterals distinct;
  for (const Case& c : cases) EXPECT_EQ(distinct.index(c.literal), c.index) << printed(c.literal);
  const std::vector<Formula> literals = std::move(distinct).take();
  ASSERT_EQ(literals.size(), 6u);
  EXPECT_EQ(literals[5], not_equal_formula(xa1(), na(1)));
}

// ------------------------------------------------------------------ clause terms

TEST(MapClauseTermsTest, AppliesTheAssignmentToEveryTermOfEveryLiteral) {
  const Assignment a = extend(empty_assignment(), xa1(), agent("B", 1));
  const ClauseList clauses = {
      {equal_formula(xa1(), xa1()), formula_true()},
      {not_derive_formula(pair(xa1(), na(1))), not_equal_formula(var(VarId{"y", "A", 1}), xa1())},
  };
  EXPECT_EQ(printed(map_clause_terms(clauses, a)),
            "(B_1 = B_1)\n T \n\n( K !:> [B_1,na_1])\n(y_A_1 <> B_1)\n\n");
}

TEST(MapClauseTermsTest, UnchangedLiteralsKeepTheirHandles) {
  const Formula literal = knows(na(1));
  const ClauseList mapped =
      map_clause_terms({{literal}}, extend(empty_assignment(), xa1(), agent("B", 1)));
  EXPECT_TRUE(mapped[0][0].same(literal));
}

// ------------------------------------------------------------------ violated literals

TEST(ViolatedLiteralsTest, KeepsLiteralsEvaluatedFalseExceptFalseItself) {
  const Formula T = formula_true();
  const Formula F = formula_false();
  const ClauseList clauses = {{p(), F, q()}, {r(), p()}, {T, s()}};
  const ClauseList evaluated = {{F, F, T}, {F, F}, {F, T}};
  EXPECT_EQ(violated_literals(clauses, evaluated), (std::vector<Formula>{p(), r(), T}));
  EXPECT_TRUE(violated_literals({}, {}).empty());
}

// ------------------------------------------------------------------ depth

TEST(DeepFormulaTest, NestingAtTheParserLimitIsHandled) {
  // Each step adds three levels: And(Not(Not(f)), p).
  const int steps = (kMaxNesting - 2) / 3;
  Formula f = knows(nonce("_i_na", 0));
  for (int k = 0; k < steps; ++k) f = and_formula(not_formula(not_formula(f)), p());
  const Formula deep = forall_formula("i", "A", f);
  const ClauseList clauses = prepare(deep, context_of({{"A", 1}}));
  ASSERT_EQ(clauses.size(), 1u);
  ASSERT_EQ(clauses[0].size(), static_cast<std::size_t>(steps + 1));
  EXPECT_EQ(clauses[0][0], knows(na(1)));
  EXPECT_EQ(deep, forall_formula("i", "A", f));
  EXPECT_EQ(printed(deep).size(), printed(forall_formula("i", "A", f)).size());
}

}  // namespace

}  // namespace analyser
