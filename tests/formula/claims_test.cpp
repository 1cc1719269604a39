#include "formula/claims.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formula/formula_parser.h"
#include "formula_helpers.h"
#include "parser/syntax.h"
#include "parser/tokenizer.h"

namespace analyser {

namespace {

using formula_tests::printed;

// A claim as a test states it: its name, text (whose formula the claim's must
// be), and the line and column of its first token.
struct ExpectedClaim {
  std::string name;
  std::string text;
  std::int64_t line;
  std::int64_t column;
};

std::string formula_of(const std::string& text) {
  tokenizer::Lexer lexer(text);
  return printed(formula_parser::parse_formula(lexer));
}

std::vector<Claim> claims_of(const std::string& text) {
  tokenizer::Lexer lexer(text, "logic.txt");
  return parse_claims(lexer, text);
}

TEST(Claims, EveryFormulaInOrderNamedByTheCommentBeforeIt) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<ExpectedClaim> claims;
  };
  const std::vector<Case> cases = {
      {"one formula, no name", "true ;\n", {{"", "true ;", 1, 1}}},
      {"a line comment names nothing",
       "// the property\nnot :> na_1 ;\n",
       {{"", "not :> na_1 ;", 2, 1}}},
      {"three formulas, two named",
       "/* secrecy */\nnot :> na_1 ;\ntrue ;\n  /*  agreement\n  of A */ false ;",
       {{"secrecy", "not :> na_1 ;", 2, 1},
        {"", "true ;", 3, 1},
        {"agreement of A", "false ;", 5, 11}}},
      {"two on one line, the second named",
       "true ; /* b */ false ;\n",
       {{"", "true ;", 1, 1}, {"b", "false ;", 1, 16}}},
      {"the last of two comments names it", "/* a */ /* b */ true ;\n", {{"b", "true ;", 1, 17}}},
      {"a comment followed by a line comment names nothing",
       "/* a */\n// note\ntrue ;\n",
       {{"", "true ;", 3, 1}}},
      {"a block comment inside a line comment names nothing",
       "// see /* a */\ntrue ;\n",
       {{"", "true ;", 2, 1}}},
      {"the text of a formula on several lines, on one",
       "forall A.i:\n   not :> na_i\n ;\n/* after the last */\n",
       {{"", "forall A.i: not :> na_i ;", 1, 1}}},
      {"an empty comment names nothing", "/**/ true ;", {{"", "true ;", 1, 6}}},
      {"a comment after a formula names the next one only",
       "true ; /* x */\n\nfalse ;\n",
       {{"", "true ;", 1, 1}, {"x", "false ;", 3, 1}}},
      {"carriage returns are white space",
       "/* a\r\n b */\r\ntrue\r\n;\r\n",
       {{"a b", "true ;", 3, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<Claim> claims = claims_of(c.text);
    ASSERT_EQ(claims.size(), c.claims.size());
    for (std::size_t k = 0; k < claims.size(); ++k) {
      EXPECT_EQ(claims[k].name, c.claims[k].name) << k;
      EXPECT_EQ(claims[k].text, c.claims[k].text) << k;
      EXPECT_EQ(claims[k].where.file, "logic.txt");
      EXPECT_EQ(claims[k].where.line, c.claims[k].line) << k;
      EXPECT_EQ(claims[k].where.column, c.claims[k].column) << k;
      EXPECT_EQ(printed(claims[k].formula), formula_of(c.claims[k].text)) << k;
    }
  }
}

// A file of claims ends only at its end: whatever is not a formula there is an
// error at its place, and so is a comment left open, which may hide claims.
TEST(Claims, AnythingButFormulasIsAnError) {
  struct Case {
    const char* what;
    std::string text;
    std::string diagnostic;
  };
  const std::vector<Case> cases = {
      {"nothing", "// only a comment\n",
       "logic.txt:1:18: error: expected a formula, found end of file\n"},
      {"a second formula without ';'", "true ;\nfalse\n",
       "logic.txt:2:6: error: expected ';' at the end of the formula, found end of file\n"},
      {"notes after the formula", "true ;\nsee the paper\n",
       "logic.txt:2:14: error: expected ';' at the end of the formula, found end of file\n"},
      {"a comment left open after the last formula", "true ;\n/* false ;\n",
       "logic.txt:2:11: error: unexpected end of file inside a block comment opened at 2:1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      claims_of(c.text);
      ADD_FAILURE() << "no error";
    } catch (const syntax::SyntaxError& error) {
      const std::string line = syntax::diagnostic_line(error.diagnostic());
      EXPECT_EQ(line.substr(0, c.diagnostic.size()), c.diagnostic) << line;
    }
  }
}

}  // namespace

}  // namespace analyser
