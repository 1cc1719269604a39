#include "parser/tokenizer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

using tokenizer::Lexer;
using tokenizer::Token;
using tokenizer::TokenKind;

// A token in a compact printable form: "I:abc", "S:+", "U:\x01", "$" for the end.
std::string show(const Token& t) {
  switch (t.kind) {
    case TokenKind::Ident:
      return "I:" + t.text;
    case TokenKind::Symbol:
      return "S:" + t.text;
    case TokenKind::Unknown:
      return "U:" + t.text;
    case TokenKind::EndOfLine:
      return "EOL";
    case TokenKind::EndOfInput:
      return "$";
  }
  return "?";
}

// Every token of lexer up to the end, in compact form.
std::vector<std::string> all_tokens(Lexer& lexer) {
  std::vector<std::string> result;
  for (;;) {
    Token t = lexer.get_token();
    if (t.is(TokenKind::EndOfInput)) return result;
    result.push_back(show(t));
  }
}

std::vector<std::string> tokens_of(const std::string& text) {
  Lexer lexer(text);
  return all_tokens(lexer);
}

using Position = std::pair<std::int64_t, std::int64_t>;

using Tokens = std::vector<std::string>;

struct ScanCase {
  std::string text;
  Tokens expected;
};

TEST(LexerTest, SplitsTextIntoTokensByCharacterClass) {
  const std::vector<ScanCase> cases = {
      {"_x", {"U:_", "I:x"}},
      {"x_1", {"I:x_1"}},
      {"12ab", {"I:12ab"}},
      {"A+", {"I:A", "S:+"}},
      {"K:>", {"I:K", "S::", "S:>"}},
      {"/*", {"S:/", "S:*"}},
      {"a__b_ c", {"I:a__b_", "I:c"}},
      {"!&()*+,-./:;<=>?[]{|}",
       {"S:!", "S:&", "S:(", "S:)", "S:*", "S:+", "S:,", "S:-", "S:.", "S:/", "S::",
        "S:;", "S:<", "S:=", "S:>", "S:?", "S:[", "S:]", "S:{", "S:|", "S:}"}},
      {"\"#$%'@\\^`~", {"U:\"", "U:#", "U:$", "U:%", "U:'", "U:@", "U:\\", "U:^", "U:`", "U:~"}},
      {" \t a \t", {"I:a"}},
      {"a\x0b"
       "b",
       {"I:a", "U:\x0b", "I:b"}},
      {std::string("a\0b", 3), {"I:a", std::string("U:\0", 3), "I:b"}},
      {"\x7f\x80\xe9\xff", {"U:\x7f", "U:\x80", "U:\xe9", "U:\xff"}},
      {"caf\xc3\xa9", {"I:caf", "U:\xc3", "U:\xa9"}},
  };
  for (const ScanCase& c : cases) {
    EXPECT_EQ(tokens_of(c.text), c.expected) << "text: " << c.text;
  }
}

TEST(LexerTest, CarriageReturnGoesOnlyWithAFollowingLineFeed) {
  const std::vector<ScanCase> cases = {
      {"a\r\nb\r\n", {"I:a", "I:b"}},
      {"a\rb\n", {"I:a", "U:\r", "I:b"}},
      {"a\r", {"I:a", "U:\r"}},
      {"a\r\r\n", {"I:a", "U:\r"}},
      {"\r\n\r\n", {}},
  };
  for (const ScanCase& c : cases) {
    EXPECT_EQ(tokens_of(c.text), c.expected);
  }
}

TEST(LexerTest, BlankLinesAreSkippedAndEveryReadCountsALine) {
  Lexer lexer(" \t \n\n   abc\n");
  EXPECT_EQ(show(lexer.get_token()), "I:abc");
  EXPECT_EQ(lexer.position(), Position(3, 6));
}

TEST(LexerTest, PositionAfterAnIdentifierAtTheStartOfTheThirdLine) {
  Lexer lexer("x\ny\nabc d\n");
  lexer.get_token();
  lexer.get_token();
  lexer.get_token();
  EXPECT_EQ(lexer.position(), Position(3, 3));
}

TEST(LexerTest, EmptyInputEndsAtOnceAndEveryFurtherReadCountsALine) {
  Lexer lexer("");
  EXPECT_TRUE(lexer.get_token().is(TokenKind::EndOfInput));
  EXPECT_EQ(lexer.position().first, 1);
  EXPECT_TRUE(lexer.get_token().is(TokenKind::EndOfInput));
  EXPECT_TRUE(lexer.get_token().is(TokenKind::EndOfInput));
  EXPECT_EQ(lexer.position(), Position(3, 0));
}

TEST(LexerTest, LastLineWithoutLineFeedIsRead) {
  Lexer lexer("a\nb c");
  EXPECT_EQ(all_tokens(lexer), (Tokens{"I:a", "I:b", "I:c"}));
  // Two lines and one read that meets the end.
  EXPECT_EQ(lexer.position().first, 3);
}

TEST(LexerTest, LineCounterAndUnreadRestRunOnAcrossInputs) {
  Lexer first("f ; rest\nnever\n");
  EXPECT_EQ(show(first.get_token()), "I:f");
  EXPECT_EQ(show(first.get_token()), "S:;");
  Lexer second("next\n", "text", first.carry_over());
  EXPECT_EQ(all_tokens(second), (Tokens{"I:rest", "I:next"}));
  EXPECT_EQ(second.position().first, 3);
}

TEST(LexerTest, AnInputThatStoppedAtItsEndHandsOverNothingButItsLineCount) {
  Lexer first("a\n");
  all_tokens(first);
  Lexer second("b", "text", first.carry_over());
  EXPECT_EQ(all_tokens(second), (Tokens{"I:b"}));
  EXPECT_EQ(second.position().first, 4);
}

// "file:line:column text" of a token, "$" standing for the end of the input.
std::string located(const Token& t) {
  const tokenizer::Location& at = t.where;
  return at.file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + " " +
         (t.is(TokenKind::EndOfInput) ? "$" : t.text);
}

// Lines and columns count within each input; the unread rest of the first
// input's line keeps its own place; the end stands after the last character and
// stays there however often it is read.
TEST(LexerTest, TokensAreLocatedInTheirOwnInput) {
  Lexer first("a\n\n  b ; rest\nnever\n", "first");
  EXPECT_EQ(located(first.get_token()), "first:1:1 a");
  Token b = first.get_token();
  first.unget_token(b);
  EXPECT_EQ(located(first.get_token()), "first:3:3 b");
  EXPECT_EQ(located(first.get_token()), "first:3:5 ;");
  Lexer second("\tc\r\nd+", "second", first.carry_over());
  std::vector<std::string> rest;
  for (int i = 0; i < 6; ++i) rest.push_back(located(second.get_token()));
  EXPECT_EQ(rest, (Tokens{"first:3:7 rest", "second:1:2 c", "second:2:1 d", "second:2:2 +",
                          "second:2:3 $", "second:2:3 $"}));
}

TEST(LexerTest, TheEndOfAnInputIsAfterItsLastLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "t:1:1 $"},
      {"ab\n", "t:1:3 $"},
      {"ab\n\n", "t:2:1 $"},
      {"a\r\nbc\r\n", "t:2:3 $"},
  };
  for (const auto& [text, end] : cases) {
    Lexer lexer(text, "t");
    all_tokens(lexer);
    EXPECT_EQ(located(lexer.get_token()), end) << text;
  }
}

TEST(LexerTest, UngetReadsIdentifiersAndSymbolsAgain) {
  Lexer lexer("abc + #");
  Token ident = lexer.get_token();
  lexer.unget_token(ident);
  EXPECT_EQ(show(lexer.get_token()), "I:abc");
  Token plus = lexer.get_token();
  lexer.unget_token(plus);
  EXPECT_EQ(show(lexer.get_token()), "S:+");
  Token unknown = lexer.get_token();
  Position before = lexer.position();
  lexer.unget_token(unknown);
  EXPECT_EQ(lexer.position(), before);
  Token end = lexer.get_token();
  before = lexer.position();
  lexer.unget_token(end);
  EXPECT_EQ(lexer.position(), before);
}

TEST(LexerTest, UngetMovesBackByTheTextLengthNotToTheTokenStart) {
  Lexer lexer("x   yz");
  Token x = lexer.get_token();
  Token yz = lexer.get_token();
  lexer.unget_token(yz);
  lexer.unget_token(x);  // lands on a blank after x, not on x
  EXPECT_EQ(lexer.position().second, 3);
  EXPECT_EQ(all_tokens(lexer), (Tokens{"I:yz"}));
}

TEST(LexerTest, UngetBeforeTheLineStartEndsTheRun) {
  Lexer lexer("abc\nd\n");
  Token abc = lexer.get_token();
  lexer.get_token();
  try {
    lexer.unget_token(abc);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.description(), "Invalid_argument(\"index out of bounds\")");
  }
}

TEST(LexerTest, UngetOnTheEndOfInputBufferFails) {
  Lexer lexer("a");
  Token a = lexer.get_token();
  EXPECT_TRUE(lexer.get_token().is(TokenKind::EndOfInput));
  EXPECT_THROW(lexer.unget_token(a), Failure);
}

TEST(LexerTest, NextLineDropsTheRestOfTheLine) {
  Lexer lexer("a b c\nd\n");
  lexer.get_token();
  lexer.next_line();
  EXPECT_EQ(all_tokens(lexer), (Tokens{"I:d"}));
}

TEST(LexerTest, VeryLongLineIsOneIdentifier) {
  const std::string word(3'000'000, 'w');
  EXPECT_EQ(tokens_of(word + "\n+"), (Tokens{"I:" + word, "S:+"}));
}

// A file in the test's own temporary folder, removed afterwards.
class SourceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("tokenizer_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string write(const std::string& name, const std::string& bytes) {
    std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path folder_;
};

TEST_F(SourceFileTest, ReadsLinesOfAFileBinarySafely) {
  const tokenizer::SourceFile file =
      tokenizer::read_source_file(write("f.txt", std::string("a\r\nb\0c\r\nd\re", 11)));
  Lexer lexer(file);
  EXPECT_EQ(all_tokens(lexer),
            (Tokens{"I:a", "I:b", std::string("U:\0", 3), "I:c", "I:d", "U:\r", "I:e"}));
}

TEST_F(SourceFileTest, LinesLongerThanOneReadBlockStayWhole) {
  std::string content;
  for (int i = 0; i < 40'000; ++i) content += "w" + std::to_string(i) + "\r\n";
  content += std::string(200'000, 'z');
  const tokenizer::SourceFile file = tokenizer::read_source_file(write("big.txt", content));
  Lexer lexer(file);
  std::vector<std::string> tokens = all_tokens(lexer);
  ASSERT_EQ(tokens.size(), 40'001u);
  EXPECT_EQ(tokens[39'999], "I:w39999");
  EXPECT_EQ(tokens.back(), "I:" + std::string(200'000, 'z'));
  EXPECT_EQ(lexer.position().first, 40'002);
}

TEST_F(SourceFileTest, MissingFileIsASystemError) {
  std::string path = (folder_ / "missing.txt").string();
  try {
    tokenizer::read_source_file(path);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.description()),
              "Sys_error(\"" + path + ": No such file or directory\")");
  }
}

// A directory opens, but reading it fails: the failure comes when the lexer
// needs the directory's first line, after the line handed over to it.
TEST_F(SourceFileTest, DirectoryFailsWhenItsFirstLineIsNeeded) {
  Lexer first("x ; y\n");
  first.get_token();
  first.get_token();
  const tokenizer::SourceFile directory = tokenizer::read_source_file(folder_.string());
  Lexer lexer(directory, first.carry_over());
  EXPECT_EQ(show(lexer.get_token()), "I:y");
  try {
    lexer.get_token();
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.description(), "Sys_error(\"Is a directory\")");
  }
}

TEST_F(SourceFileTest, NextFileStartsAfterTheUnreadRestOfTheLine) {
  const tokenizer::SourceFile first = tokenizer::read_source_file(write("a.txt", "x ; y\nz\n"));
  const tokenizer::SourceFile second = tokenizer::read_source_file(write("b.txt", "w\n"));
  Lexer first_lexer(first);
  first_lexer.get_token();
  first_lexer.get_token();
  Lexer second_lexer(second, first_lexer.carry_over());
  EXPECT_EQ(show(second_lexer.get_token()), "I:y");
  Token w = second_lexer.get_token();
  EXPECT_EQ(show(w), "I:w");
  EXPECT_EQ(second_lexer.position(), Position(2, 1));
}

}  // namespace

}  // namespace analyser
