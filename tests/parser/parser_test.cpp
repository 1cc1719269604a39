#include "parser/parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "parser/tokenizer.h"

namespace analyser {

namespace {

// What the driver sees after reading a principals text: the principals in
// reverse text order, then either the error line of a syntax error that has
// one or the description of a failure that escaped the parser.
struct Outcome {
  std::vector<Principal> principals;
  std::string error_line;
  std::string failure;
};

Outcome read_principals(tokenizer::Lexer& lexer) {
  Outcome result;
  try {
    result.principals = parser::parse_principals(lexer).principals;
    std::reverse(result.principals.begin(), result.principals.end());
  } catch (const syntax::SyntaxError& error) {
    if (error.has_error_line()) {
      result.error_line = error.error_line();
    } else {
      result.failure = error.description();
    }
  } catch (const Failure& f) {
    result.failure = f.description();
  }
  return result;
}

Outcome read_principals(const std::string& text) {
  tokenizer::Lexer lexer(text);
  return read_principals(lexer);
}

std::string text_of(const Principal& p) {
  return principal_to_string(p, empty_assignment());
}

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(ParserTest, DeclarationsBecomeTemplatesOfInstanceZero) {
  const std::vector<TextCase> cases = {
      {"A : ( ) [ ] ;", "A_0: () []"},
      {"B : ( x , y ) [ in ( x ) . out ( { y } K ) ] ;",
       "B_0: (x_B_0, y_B_0) [In(x_B_0).Out({y_B_0}K_0)]"},
      {"P:(a)[out(a)];", "P_0: (a_P_0) [Out(a_P_0)]"},
      {"P : ( Q , kx ) [ ] ;", "P_0: (Q_P_0, kx_P_0) []"},
  };
  for (const TextCase& c : cases) {
    Outcome o = read_principals(c.input);
    ASSERT_EQ(o.error_line + o.failure, "") << c.input;
    ASSERT_EQ(o.principals.size(), 1u);
    EXPECT_EQ(text_of(o.principals[0]), c.expected);
  }
}

TEST(ParserTest, ProcessOperatorsGroupByPrecedence) {
  const std::vector<TextCase> cases = {
      {"in(a) . out(b) + out(c) | out(d)", "((In(a_P_0).Out(b_P_0) + Out(c_P_0)) | Out(d_P_0))"},
      {"out(a) | out(b) + out(c)", "(Out(a_P_0) | (Out(b_P_0) + Out(c_P_0)))"},
      {"out(a) + out(b) + out(c)", "((Out(a_P_0) + Out(b_P_0)) + Out(c_P_0))"},
      {"out(a) | out(b) | out(c)", "((Out(a_P_0) | Out(b_P_0)) | Out(c_P_0))"},
      {"in(a) . out(b) . in(c)", "In(a_P_0).Out(b_P_0).In(c_P_0)"},
      {"in(a) . (out(b) + out(c))", "In(a_P_0).(Out(b_P_0) + Out(c_P_0))"},
      {"(out(a) | out(b)) + out(c)", "((Out(a_P_0) | Out(b_P_0)) + Out(c_P_0))"},
      {"((out(a)))", "Out(a_P_0)"},
  };
  for (const TextCase& c : cases) {
    Outcome o = read_principals("P : () [ " + c.input + " ] ;");
    ASSERT_EQ(o.error_line + o.failure, "") << c.input;
    EXPECT_EQ(process_to_string(o.principals.at(0).process()), c.expected) << c.input;
  }
}

TEST(ParserTest, AtomsAreClassifiedByTheirText) {
  const VarId x{"x", "P", 0};
  const struct {
    std::string term;
    Message expected;
  } cases[] = {
      {"A", agent("A", 0)},
      {"AB+", pub_key("AB", 0)},
      {"A -", priv_key("A", 0)},
      {"na", nonce("na", 0)},
      {"nA", nonce("nA", 0)},
      {"kab", sym_key("kab", 0)},
      {"x", var(x)},
      {"x+", pub_of(var(x))},
      {"x-", priv_of(var(x))},
      {"Na", var({"Na", "P", 0})},
      {"A_B", var({"A_B", "P", 0})},
      {"12ab", var({"12ab", "P", 0})},
      {"(x, (A, na))", pair(var(x), pair(agent("A", 0), nonce("na", 0)))},
      {"{x}kab", enc(var(x), sym_key("kab", 0))},
      {"{(x, na)}B+", enc(pair(var(x), nonce("na", 0)), pub_key("B", 0))},
      {"{{x}x+}x-", enc(enc(var(x), pub_of(var(x))), priv_of(var(x)))},
      {"?x", bind_var(x)},
      {"(?x, x)", pair(bind_var(x), var(x))},
  };
  for (const auto& c : cases) {
    Outcome o = read_principals("P : () [ in(" + c.term + ") ] ;");
    ASSERT_EQ(o.error_line + o.failure, "") << c.term;
    EXPECT_EQ(o.principals.at(0).process().term(), c.expected) << c.term;
  }
}

TEST(ParserTest, PrincipalsComeInReverseTextOrder) {
  Outcome o = read_principals("A : () [ ] ;\nB : () [ ] ;\nC : () [ out(a) ] ;\n");
  ASSERT_EQ(o.principals.size(), 3u);
  EXPECT_EQ(o.principals[0].name(), "C");
  EXPECT_EQ(o.principals[1].name(), "B");
  EXPECT_EQ(o.principals[2].name(), "A");
}

TEST(ParserTest, CommentsAreRecognisedAtTokenLevel) {
  const std::vector<std::string> accepted = {
      "// line comment ; #\nA : () [ ] ;",
      "A /* block */ : () [ ] ;",
      "A / * split opener and closer * / : () [ ] ;",
      "/* stars **/ A : () [ ] ; /* # $ unknowns inside ' */",
      "A : () [ out(/* between */ a) ] ; // trailing",
      "/*\nmany\nlines\n*/ A : () [ ] ;",
  };
  for (const std::string& text : accepted) {
    Outcome o = read_principals(text);
    EXPECT_EQ(o.error_line + o.failure, "") << text;
    EXPECT_EQ(o.principals.size(), 1u) << text;
  }
}

TEST(ParserTest, UnclosedCommentAfterTheLastDeclarationIsAccepted) {
  tokenizer::Lexer lexer("A : () [ ] ; /* never closed\n", "p");
  const parser::PrincipalsFile file = parser::parse_principals(lexer);
  EXPECT_EQ(file.principals.size(), 1u);
  ASSERT_TRUE(file.unclosed_comment.has_value());
  EXPECT_EQ(syntax::diagnostic_line(*file.unclosed_comment),
            "p:1:29: error: unexpected end of file inside a block comment opened at 1:14\n");
  tokenizer::Lexer closed("A : () [ ] ; /* closed */\n");
  EXPECT_FALSE(parser::parse_principals(closed).unclosed_comment.has_value());
}

TEST(ParserTest, EveryReachableErrorHasItsCodeMessageAndPosition) {
  const std::vector<TextCase> cases = {
      {"A : ( ) [ out(a) */ ] ;", "ER1: Comment not opened   (1,19)\n"},
      {"A : ( ) [ out(a#) ] ;", "ER3: Unknown token   (1,16)\n"},
      {"A : ( # ) [ ] ;", "ER3: Unknown token   (1,7)\n"},
      {"A : ( ) [ out(+) ] ;", "ER3: Unknown token   (1,15)\n"},
      {"A : ( ) [ in(?K) ] ;", "ER3: Unknown token   (1,15)\n"},
      {"A : ( ) [ in(?na) ] ;", "ER3: Unknown token   (1,16)\n"},
      {"A : ( ) [ foo ] ;", "ER3: Unknown token   (1,13)\n"},
      {"A : ( ) [ out(a) ; ] ;", "ER3: Unknown token   (1,18)\n"},
      {"A : ( ) [ out a ] ;", "ER4: Missing (   (1,15)\n"},
      {"A : x ) [ ] ;", "ER4: Missing (   (1,5)\n"},
      {"A : ( ) [ out(a ] ;", "ER5: Missing )   (1,17)\n"},
      {"A : ( ) [ out((a, b]) ] ;", "ER5: Missing )   (1,20)\n"},
      {"A : ( ) out", "ER6: Missing [   (1,11)\n"},
      {"A : ( ) [ out({a) ] ;", "ER9: Missing }   (1,17)\n"},
      {"A : ( ) [ out((na nb)) ] ;", "ER10: Missing ,   (1,20)\n"},
      {"A : ( ) [ out((a; b)) ] ;", "ER10: Missing ,   (1,17)\n"},
      {"A : ( ) [ ] x", "ER11: Missing ;   (1,13)\n"},
      {"A : ( ) [ out(a)", "ER11: Missing ;   (3,0)\n"},
      {"A x", "ER12: Missing :   (1,3)\n"},
      {"A ( ) [ ] ;", "ER12: Missing :   (1,3)\n"},
      {"A : ( ) [ out({a}(k, k)) ] ;", "ER13: Identifier expected   (1,18)\n"},
      {"A : ( ) [ in(?(a, b)) ] ;", "ER13: Identifier expected   (1,15)\n"},
      {"A : ( , x ) [ ] ;", "ER14: Unexpected token   (1,7)\n"},
      {"A : ( x , ) [ ] ;", "ER14: Unexpected token   (1,11)\n"},
      {"A : ( x y ) [ ] ;", "ER14: Unexpected token   (1,9)\n"},
      {"A : ( x", "ER14: Unexpected token   (2,0)\n"},
      {"A : ( ) [ out(B na) ] ;", "ER15: Wrong key   (1,18)\n"},
      {"A : ( ) [ out(x na) ] ;", "ER16: Wrong variable   (1,18)\n"},
      {"A : ( ) [ in(x) out(y) ] ;", "ER17: Malformed expression   (1,24)\n"},
      {"A : ( ) [ ) ] ;", "ER17: Malformed expression   (1,11)\n"},
      {"A : ( ) [ ( out(a) ] ;", "ER17: Malformed expression   (1,20)\n"},
      {"A : ( ) [ out(a) . ] ;", "ER17: Malformed expression   (1,20)\n"},
      {"A : ( ) [ out(a) + ] ;", "ER17: Malformed expression   (1,20)\n"},
      {"Alice : ( ) [ ] ;", "ER18: Principal name should be uppercase   (1,5)\n"},
      {"A1 : ( ) [ ] ;", "ER18: Principal name should be uppercase   (1,2)\n"},
      {"( ) [ ] ;", "ER18: Principal name should be uppercase   (1,1)\n"},
      {"A : ( ) [ in(?x+) ] ;", "ER19: A binding variable cannot occur as a key   (1,16)\n"},
      {"A : ( ) [ in(?x-) ] ;", "ER19: A binding variable cannot occur as a key   (1,16)\n"},
  };
  for (const TextCase& c : cases) {
    Outcome o = read_principals(c.input);
    EXPECT_EQ(o.failure, "") << c.input;
    EXPECT_EQ(o.error_line, c.expected) << c.input;
  }
}

TEST(ParserTest, ErrorLineCountsTheLinesOfEarlierInputs) {
  tokenizer::Lexer earlier("p\nq ;\n");
  while (!earlier.get_token().is_symbol(';')) {
  }
  tokenizer::Lexer lexer("A : ( ) [ out(a) ] x\n", "text", earlier.carry_over());
  Outcome o = read_principals(lexer);
  EXPECT_EQ(o.error_line, "ER11: Missing ;   (3,20)\n");
}

TEST(ParserTest, LaterDeclarationErrorStopsTheReading) {
  tokenizer::Lexer lexer("A : () [ ] ;\nb : () [ ] ;\nC : () [ ] ;\n");
  Outcome o = read_principals(lexer);
  EXPECT_TRUE(o.principals.empty());
  EXPECT_EQ(lexer.position().first, 2);
  EXPECT_EQ(o.error_line, "ER18: Principal name should be uppercase   (2,1)\n");
}

TEST(ParserTest, UnguardedReadsLetTheParseErrorEndTheRun) {
  const std::vector<TextCase> cases = {
      {"A : () [ ] ; #", "Parser.ParseError"},  {"A : () [ ] ; */", "Parser.ParseError"},
      {"A : ( ) # [ ] ;", "Parser.ParseError"}, {"A : ( ) [ ] */", "Parser.ParseError"},
      {"A : ( ) [ ] ;\r", "Parser.ParseError"},
  };
  for (const TextCase& c : cases) {
    Outcome o = read_principals(c.input);
    EXPECT_EQ(o.error_line, "") << c.input;
    EXPECT_EQ(o.failure, c.expected) << c.input;
  }
}

TEST(ParserTest, PushingBackASymbolIsPositionArithmetic) {
  // "/" is read after a one-token peek at "x"; pushing it back steps onto the
  // blank, so the "/" is lost and "x" is read where ")" was expected.
  Outcome o = read_principals("A : ( ) [ out(A / x) ] ;");
  EXPECT_EQ(o.error_line, "ER5: Missing )   (1,19)\n");
  // With the peeked token on the next line, stepping back leaves the line.
  o = read_principals("A : ( ) [ out(A /\nx) ] ;");
  EXPECT_EQ(o.failure, "Invalid_argument(\"index out of bounds\")");
}

std::string repeat(const std::string& s, int n) {
  std::string result;
  result.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) result += s;
  return result;
}

std::string nested_pairs(int depth) {
  return repeat("(", depth) + "a" + repeat(", a)", depth);
}

std::string nested_encryptions(int depth) {
  return repeat("{", depth) + "a" + repeat("}k", depth);
}

TEST(ParserTest, NestingUpToTheLimitIsAccepted) {
  const std::vector<std::string> processes = {
      "out(" + nested_pairs(kMaxNesting) + ")",
      "out(" + nested_encryptions(kMaxNesting) + ")",
      repeat("(", kMaxNesting) + "out(a)" + repeat(")", kMaxNesting),
      repeat("out(a) . ", kMaxNesting - 1) + "out(a)",
      repeat("out(a) + ", kMaxNesting - 1) + "out(a)",
  };
  for (const std::string& process : processes) {
    Outcome o = read_principals("P : () [ " + process + " ] ;");
    EXPECT_EQ(o.error_line + o.failure, "") << process.substr(0, 40);
  }
}

TEST(ParserTest, DeeperNestingEndsTheRunWithoutCrashing) {
  const int deep = 100'000;
  const std::vector<std::string> processes = {
      "out(" + nested_pairs(kMaxNesting + 1) + ")",
      "out(" + nested_pairs(deep) + ")",
      "out(" + nested_encryptions(deep) + ")",
      "in(" + repeat("(", deep),
      repeat("(", deep) + "out(a)" + repeat(")", deep),
      repeat("(", deep),
      repeat("out(a) . ", kMaxNesting) + "out(a)",
      repeat("out(a) . ", deep) + "out(a)",
      repeat("out(a) + ", deep) + "out(a)",
      repeat("out(a) | ", deep) + "out(a)",
  };
  for (const std::string& process : processes) {
    Outcome o = read_principals("P : () [ " + process + " ] ;");
    EXPECT_EQ(o.failure, "Stack_overflow") << process.substr(0, 40);
  }
}

TEST(ParserTest, SyntaxErrorCarriesItsCodePositionAndDiagnostic) {
  tokenizer::Lexer lexer("A : () [ ] ;\nB : () [ out(a) ] x\n", "p");
  try {
    parser::parse_principals(lexer);
    FAIL() << "no failure";
  } catch (const syntax::SyntaxError& error) {
    EXPECT_STREQ(error.description(), "Parser.ParseError");
    EXPECT_EQ(error.code(), 11);
    EXPECT_EQ(error.line(), 2);
    EXPECT_EQ(error.column(), 19);
    EXPECT_EQ(syntax::diagnostic_line(error.diagnostic()),
              "p:2:19: error: expected ';' after the declaration of 'B', found 'x'\n");
  }
}

}  // namespace

}  // namespace analyser
