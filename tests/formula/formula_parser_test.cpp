#include "formula/formula_parser.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "formula_helpers.h"
#include "parser/tokenizer.h"

namespace analyser {

namespace {

using formula_tests::printed;

std::string parsed(const std::string& text) {
  tokenizer::Lexer lexer(text);
  return printed(formula_parser::parse_formula(lexer));
}

std::vector<Message> knowledge_of(const std::string& text) {
  tokenizer::Lexer lexer(text);
  return formula_parser::parse_knowledge(lexer).terms;
}

// The syntax error that parse ends with on text.
template <typename Parse>
syntax::SyntaxError syntax_error(const std::string& text, Parse parse) {
  tokenizer::Lexer lexer(text);
  try {
    parse(lexer);
  } catch (const syntax::SyntaxError& error) {
    return error;
  }
  ADD_FAILURE() << "no syntax error: " << text;
  return syntax::SyntaxError("none", {}, false);
}

// The error line of parsing text as a formula, which has one.
std::string formula_error(const std::string& text) {
  const syntax::SyntaxError error = syntax_error(text, formula_parser::parse_formula);
  EXPECT_TRUE(error.has_error_line()) << text;
  return error.error_line();
}

// The error line of parsing text as a knowledge list, which the run does not
// print: the knowledge parser's errors end the run as its exception.
std::string knowledge_error(const std::string& text) {
  const syntax::SyntaxError error = syntax_error(text, formula_parser::parse_knowledge);
  EXPECT_FALSE(error.has_error_line()) << text;
  return error.error_line();
}

std::string repeated(const std::string& s, int n) {
  std::string result;
  for (int k = 0; k < n; ++k) result += s;
  return result;
}

// The description of the failure that parsing text with parse ends with.
template <typename Parse>
std::string failure_of(const std::string& text, Parse parse) {
  tokenizer::Lexer lexer(text);
  try {
    parse(lexer);
  } catch (const Failure& failure) {
    return failure.description();
  }
  return "no failure";
}

std::string formula_failure(const std::string& text) {
  return failure_of(text, formula_parser::parse_formula);
}

std::string knowledge_failure(const std::string& text) {
  return failure_of(text, formula_parser::parse_knowledge);
}

struct TextCase {
  std::string text;
  std::string expected;
};

// ------------------------------------------------------------------ error lines

TEST(PlParserErrorTest, FormulaErrorLines) {
  const std::vector<TextCase> cases = {
      {"true */ ;", "ER1: Comment not opened   (1,7)\n"},
      {"true # ;", "ER3: Unknown token   (1,6)\n"},
      {"_x ;", "ER3: Unknown token   (1,1)\n"},
      {"true . ;", "ER3: Unknown token   (1,6)\n"},
      // "=" and "<>" need a name before them; the look-ahead for "=>" is pushed back.
      {"= na_1 ;", "ER3: Unknown token   (1,2)\n"},
      {"true <> x ;", "ER3: Unknown token   (1,7)\n"},
      {"x_A_1 <> na_1 , true ;", "ER3: Unknown token   (1,15)\n"},
      {":> (na_1, nb_1 ;", "ER5: Missing )   (1,16)\n"},
      {";", "ER6: Missing ;   (1,1)\n"},
      {"", "ER6: Missing ;   (1,0)\n"},
      {"true", "ER6: Missing ;   (2,0)\n"},
      // An unclosed comment ends the input: the missing ";" is what is reported.
      {"true /* open", "ER6: Missing ;   (3,0)\n"},
      {"forall A.i true ;", "ER7: Missing :   (1,15)\n"},
      // The binder's ":" is read alone, leaving the ">" of ":>" to the body.
      {"forall A.i :> na_1 ;", "ER3: Unknown token   (1,13)\n"},
      {"forall A i : true ;", "ER8: Missing .   (1,10)\n"},
      {"forall A:x: true ;", "ER8: Missing .   (1,9)\n"},
      {"forall A\n i : true ;", "ER8: Missing .   (2,2)\n"},
      {":> {na_1}(x) ;", "ER9: Identifier expected   (1,10)\n"},
      {":> ) ;", "ER10: Unexpected token   (1,4)\n"},
      {"x_A_1 = ;", "ER10: Unexpected token   (1,9)\n"},
      {"forall . i: true ;", "ER10: Unexpected token   (1,10)\n"},
      {"forall A.(: true ;", "ER10: Unexpected token   (1,10)\n"},
      {"A_1 = x_B_1 ;", "ER12: Wrong variable   (1,12)\n"},
      {"na_1 <> x_B_1 ;", "ER12: Wrong variable   (1,14)\n"},
      {"( true ;", "ER13: Malformed expression   (1,8)\n"},
      {"true true ;", "ER13: Malformed expression   (1,11)\n"},
      {"x_A_1 ;", "ER13: Malformed expression   (1,7)\n"},
      {"true and ;", "ER13: Malformed expression   (1,10)\n"},
      {"true ) ;", "ER13: Malformed expression   (1,6)\n"},
      {"True ;", "ER13: Malformed expression   (1,6)\n"},
      {"equal ;", "ER13: Malformed expression   (1,7)\n"},
      {"forall a.i: true ;", "ER14: Principal name should be uppercase   (1,9)\n"},
      {"forall A1.i: true ;", "ER14: Principal name should be uppercase   (1,10)\n"},
      {":> (na_1 nb_1) ;", "ER16: Missing ,   (1,13)\n"},
      {":> {na_1 kab_1 ;", "ER18: Missing }   (1,14)\n"},
      // The term on the right is read before the name on the left is classified.
      {"x = (na_1, nb_1) ;", "ER19: Missing index   (1,16)\n"},
      {":> na ;", "ER19: Missing index   (1,6)\n"},
      {"a_1 = na_1 ;", "ER19: Missing index   (1,11)\n"},
      {"x__1 = na_1 ;", "ER19: Missing index   (1,12)\n"},
      {":> A_ ;", "ER19: Missing index   (1,6)\n"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(formula_error(c.text), c.expected) << c.text;
}

TEST(PlParserErrorTest, KnowledgeErrorLines) {
  const std::vector<TextCase> cases = {
      {"A_1 , B_1 , A_1+ , I_0-", "ER6: Missing ;   (2,0)\n"},
      {"A_1 B_1 ;", "ER6: Missing ;   (1,7)\n"},
      {"A_1 @ ;", "ER3: Unknown token   (1,5)\n"},
      {"A_1, ) ;", "ER10: Unexpected token   (1,6)\n"},
      {"A_1, {na_1} ;", "ER9: Identifier expected   (1,13)\n"},
      {"(A_1 B_1) ;", "ER16: Missing ,   (1,8)\n"},
      {"(A_1, B_1 ;", "ER5: Missing )   (1,11)\n"},
      {"{A_1 B_1 ;", "ER18: Missing }   (1,8)\n"},
      {"Ab_1 ;", "ER19: Missing index   (1,5)\n"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(knowledge_error(c.text), c.expected) << c.text;
}

TEST(PlParserErrorTest, FailureNamesAndCodes) {
  const syntax::SyntaxError knowledge = syntax_error("A_1 B_1 ;", formula_parser::parse_knowledge);
  EXPECT_STREQ(knowledge.description(), "Pl_parser.ParseError");
  EXPECT_EQ(knowledge.code(), 6);
  const syntax::SyntaxError formula = syntax_error("true true ;", formula_parser::parse_formula);
  EXPECT_STREQ(formula.description(), "Pl_parser.ParseError");
  EXPECT_EQ(formula.code(), 13);
  EXPECT_EQ(formula.line(), 1);
  EXPECT_EQ(formula.column(), 11);
  EXPECT_EQ(syntax::diagnostic_line(formula.diagnostic()),
            "text:1:6: error: expected 'and', 'or' or 'implies' between two formulas, found "
            "'true'\n");
}

TEST(PlParserErrorTest, TheRestOfTheLineIsLeftForTheNextFile) {
  tokenizer::Lexer lexer("true ; ;");
  EXPECT_EQ(printed(formula_parser::parse_formula(lexer)), " T ");
  // The next formula starts at the second ";": an empty formula.
  try {
    formula_parser::parse_formula(lexer);
    FAIL() << "no failure";
  } catch (const syntax::SyntaxError& error) {
    EXPECT_EQ(error.error_line(), "ER6: Missing ;   (1,8)\n");
  }
}

TEST(PlParserKnowledgeTest, OneTermComesWithItsExplanation) {
  tokenizer::Lexer lexer("A_1 ;", "k");
  const formula_parser::KnowledgeFile one = formula_parser::parse_knowledge(lexer);
  EXPECT_EQ(one.terms, std::vector<Message>{agent("A", 1)});
  ASSERT_TRUE(one.too_few_terms.has_value());
  EXPECT_EQ(syntax::diagnostic_line(*one.too_few_terms),
            "k:1:5: error: expected ',' and a second term, found ';'; the knowledge file needs at "
            "least two terms\n");
  tokenizer::Lexer two_lexer("A_1, B_1 ;");
  EXPECT_FALSE(formula_parser::parse_knowledge(two_lexer).too_few_terms.has_value());
}

// ------------------------------------------------------------------ grouping

TEST(PlParserGroupingTest, PrecedenceAndAssociativity) {
  const std::vector<TextCase> cases = {
      // and/or share one precedence and group to the left.
      {":> na_1 or :> nb_1 and :> nc_1 ;", "{[( K :> na_1) or ( K :> nb_1)] and ( K :> nc_1)}"},
      {":> na_1 and :> nb_1 or :> nc_1 ;", "[{( K :> na_1) and ( K :> nb_1)} or ( K :> nc_1)]"},
      {"true & false | true ;", "[{ T  and  F } or  T ]"},
      // Implication is looser, groups to the left and is stored as Or(Not p, q).
      {":> na_1 implies :> nb_1 implies :> nc_1 ;",
       "[[not [[not ( K :> na_1)] or ( K :> nb_1)]] or ( K :> nc_1)]"},
      {":> na_1 => :> nb_1 and :> nc_1 ;",
       "[[not ( K :> na_1)] or {( K :> nb_1) and ( K :> nc_1)}]"},
      {":> na_1 and :> nb_1 implies :> nc_1 ;",
       "[[not {( K :> na_1) and ( K :> nb_1)}] or ( K :> nc_1)]"},
      // not binds tightest.
      {"not :> na_1 and :> nb_1 ;", "{[not ( K :> na_1)] and ( K :> nb_1)}"},
      {"not not true ;", "[not [not  T ]]"},
      {"not :> kab_1 ;", "[not ( K :> kab_1)]"},
      {"! derive kab_1 ;", "[not ( K :> kab_1)]"},
      // A quantifier's body reaches the enclosing parenthesis or the end.
      {"forall A.i: :> na_i and :> nb_i ;", "{FA i:A| {( K :> _i_na_0) and ( K :> _i_nb_0)}}"},
      {"forall A.i: true implies false ;", "{FA i:A| [[not  T ] or  F ]}"},
      {"(forall A.i: :> na_i) and true ;", "{{FA i:A| ( K :> _i_na_0)} and  T }"},
      {"true and forall A.i: false or true ;", "{ T  and {FA i:A| [ F  or  T ]}}"},
      {"not forall A.i: true ;", "[not {FA i:A|  T }]"},
      {"exists A_B.j: true ;", "{EX j:A_B|  T }"},
      {"((true)) ;", " T "},
      {"false ;", " F "},
  };
  for (const TextCase& c : cases) EXPECT_EQ(parsed(c.text), c.expected) << c.text;
}

TEST(PlParserGroupingTest, OperatorsCommentsAndBlanks) {
  const std::vector<TextCase> cases = {
      {"x_A_1 equal na_1 ;", "(x_A_1 = na_1)"},
      {"x_A_1 = na_1 ;", "(x_A_1 = na_1)"},
      {"x_A_1 <> na_1 ;", "(x_A_1 <> na_1)"},
      // The reader skips blanks, so split operators still join.
      {"x_A_1 < > na_1 ;", "(x_A_1 <> na_1)"},
      {"true and : > na_1 ;", "{ T  and ( K :> na_1)}"},
      {"true = > false ;", "[[not  T ] or  F ]"},
      {"/* c */ true // line\n and /* x\n y */ false ;", "{ T  and  F }"},
      {"/ * blanks inside the opener * / true ;", " T "},
      {"true /* a * b */ ;", " T "},
      {"forall\tA\n.\ni\n:\ntrue\n;", "{FA i:A|  T }"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(parsed(c.text), c.expected) << c.text;
}

TEST(PlParserGroupingTest, QuantifiedComparisonKeepsIndexPlaceholders) {
  tokenizer::Lexer first("forall A.i: exists B.j: ( x_i = nb_j ) ;");
  EXPECT_EQ(
      formula_parser::parse_formula(first),
      forall_formula(
          "i", "A",
          exists_formula("j", "B", equal_formula(var(VarId{"x", "i", 0}), nonce("_j_nb", 0)))));
  tokenizer::Lexer second("forall A.i: x_A_i = A_i ;");
  EXPECT_EQ(formula_parser::parse_formula(second),
            forall_formula("i", "A", equal_formula(var(VarId{"x_A", "i", 0}), agent("Ai", 0))));
}

// ------------------------------------------------------------------ atoms

struct AtomCase {
  std::string text;
  Message expected;
};

TEST(PlParserAtomTest, NamingConventions) {
  const std::int64_t max = std::numeric_limits<std::int64_t>::max();
  const std::vector<AtomCase> cases = {
      {"A_1", agent("A", 1)},
      {"A_1+", pub_key("A", 1)},
      {"A_1 -", priv_key("A", 1)},
      {"I_0", agent("I", 0)},
      {"AB_C_2", agent("AB_C", 2)},
      {"A_i", agent("Ai", 0)},
      {"A_i+", pub_key("Ai", 0)},
      {"A_i-", priv_key("Ai", 0)},
      {"na_2", nonce("na", 2)},
      {"kab_1", sym_key("kab", 1)},
      {"na_i", nonce("_i_na", 0)},
      {"kab_j", sym_key("_j_kab", 0)},
      {"n_b_0", nonce("n_b", 0)},
      {"x_A_1", var(VarId{"x", "A", 1})},
      {"x_A_1+", pub_of(var(VarId{"x", "A", 1}))},
      {"x_A_1-", priv_of(var(VarId{"x", "A", 1}))},
      {"y_i", var(VarId{"y", "i", 0})},
      {"y_i+", pub_of(var(VarId{"y", "i", 0}))},
      {"y_i-", priv_of(var(VarId{"y", "i", 0}))},
      {"x_A_i", var(VarId{"x_A", "i", 0})},
      {"x_A_B_3", var(VarId{"x_A", "B", 3})},
      // Index literals: decimal, 0x, 0o, 0b; anything else is a name.
      {"na_007", nonce("na", 7)},
      {"na_0x1F", nonce("na", 31)},
      {"na_0o17", nonce("na", 15)},
      {"na_0b101", nonce("na", 5)},
      {"na_0X1", nonce("_0X1_na", 0)},
      {"na_0b2", nonce("_0b2_na", 0)},
      {"na_0x", nonce("_0x_na", 0)},
      {"A_9223372036854775807", agent("A", max)},
      {"A_9223372036854775808", agent("A9223372036854775808", 0)},
      {"A_0x7fffffffffffffff", agent("A", max)},
      {"A_0x8000000000000000", agent("A0x8000000000000000", 0)},
      // A sign after a nonce's index makes the index a name.
      {"na_1+", nonce("_1+_na", 0)},
      {"{na_1}A_1+", enc(nonce("na", 1), pub_key("A", 1))},
      {"(A_1, (na_1, B_1))", pair(agent("A", 1), pair(nonce("na", 1), agent("B", 1)))},
      {"{(na_1, x_B_1)}kab_1",
       enc(pair(nonce("na", 1), var(VarId{"x", "B", 1})), sym_key("kab", 1))},
  };
  for (const AtomCase& c : cases) {
    const std::vector<Message> terms = knowledge_of(c.text + " ;");
    ASSERT_EQ(terms.size(), 1u) << c.text;
    EXPECT_EQ(terms[0], c.expected) << c.text << " gave " << message_to_string(terms[0]);
  }
}

// ------------------------------------------------------------------ knowledge

TEST(PlParserKnowledgeTest, TermsInFileOrder) {
  EXPECT_EQ(
      knowledge_of("A_1 , B_1 , A_1+ , I_0- ;"),
      (std::vector<Message>{agent("A", 1), agent("B", 1), pub_key("A", 1), priv_key("I", 0)}));
  EXPECT_EQ(knowledge_of("/*note*/\nI_0\t,I_0\t+\n\t,\n  I_0 - ; // rest"),
            (std::vector<Message>{agent("I", 0), pub_key("I", 0), priv_key("I", 0)}));
}

// ------------------------------------------------------------------ nesting

TEST(PlParserNestingTest, DeepInputEndsAsStackOverflow) {
  const int deep = 100000;
  EXPECT_EQ(formula_failure(repeated("(", deep) + "true ;"), "Stack_overflow");
  EXPECT_EQ(formula_failure(repeated("not ", deep) + "true ;"), "Stack_overflow");
  EXPECT_EQ(formula_failure(repeated("forall A.i: ", deep) + "true ;"), "Stack_overflow");
  EXPECT_EQ(formula_failure(repeated("true and ", deep) + "true ;"), "Stack_overflow");
  EXPECT_EQ(formula_failure(":> " + repeated("(", deep) + "na_1"), "Stack_overflow");
  EXPECT_EQ(knowledge_failure(repeated("{", deep) + "na_1"), "Stack_overflow");
}

TEST(PlParserNestingTest, NestingUpToTheLimitIsAccepted) {
  const int limit = kMaxNesting;
  EXPECT_EQ(formula_failure(repeated("not ", limit - 1) + "true ;"), "no failure");
  EXPECT_EQ(formula_failure(repeated("not ", limit) + "true ;"), "Stack_overflow");
  EXPECT_EQ(formula_failure(repeated("true and ", limit - 1) + "true ;"), "no failure");
  EXPECT_EQ(formula_failure(repeated("true and ", limit) + "true ;"), "Stack_overflow");
  EXPECT_EQ(knowledge_failure(repeated("(na_1, ", limit) + "na_1" + repeated(")", limit) + ";"),
            "no failure");
  EXPECT_EQ(
      knowledge_failure(repeated("(na_1, ", limit + 1) + "na_1" + repeated(")", limit + 1) + ";"),
      "Stack_overflow");
}

}  // namespace

}  // namespace analyser
