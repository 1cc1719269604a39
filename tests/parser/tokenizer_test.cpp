#include "parser/tokenizer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "utils/utils.h"

namespace {

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

// Every token of the current input up to the end, in compact form.
std::vector<std::string> all_tokens() {
  std::vector<std::string> result;
  for (;;) {
    Token t = tokenizer::get_token();
    if (t.is(TokenKind::EndOfInput)) return result;
    result.push_back(show(t));
  }
}

std::vector<std::string> tokens_of(const std::string& text) {
  tokenizer::set_input_text(text);
  return all_tokens();
}

class TokenizerTest : public ::testing::Test {
 protected:
  void SetUp() override { tokenizer::reset(); }
  void TearDown() override { tokenizer::reset(); }
};

using Tokens = std::vector<std::string>;

struct ScanCase {
  std::string text;
  Tokens expected;
};

TEST_F(TokenizerTest, SplitsTextIntoTokensByCharacterClass) {
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
    tokenizer::reset();
    EXPECT_EQ(tokens_of(c.text), c.expected) << "text: " << c.text;
  }
}

TEST_F(TokenizerTest, CarriageReturnGoesOnlyWithAFollowingLineFeed) {
  const std::vector<ScanCase> cases = {
      {"a\r\nb\r\n", {"I:a", "I:b"}},
      {"a\rb\n", {"I:a", "U:\r", "I:b"}},
      {"a\r", {"I:a", "U:\r"}},
      {"a\r\r\n", {"I:a", "U:\r"}},
      {"\r\n\r\n", {}},
  };
  for (const ScanCase& c : cases) {
    tokenizer::reset();
    EXPECT_EQ(tokens_of(c.text), c.expected);
  }
}

TEST_F(TokenizerTest, BlankLinesAreSkippedAndEveryReadCountsALine) {
  tokenizer::set_input_text(" \t \n\n   abc\n");
  Token t = tokenizer::get_token();
  EXPECT_EQ(show(t), "I:abc");
  EXPECT_EQ(tokenizer::current_position(), std::make_pair(std::int64_t{3}, std::int64_t{6}));
}

TEST_F(TokenizerTest, PositionAfterAnIdentifierAtTheStartOfTheThirdLine) {
  tokenizer::set_input_text("x\ny\nabc d\n");
  tokenizer::get_token();
  tokenizer::get_token();
  tokenizer::get_token();
  EXPECT_EQ(tokenizer::current_position(), std::make_pair(std::int64_t{3}, std::int64_t{3}));
}

TEST_F(TokenizerTest, EmptyInputEndsAtOnceAndEveryFurtherReadCountsALine) {
  tokenizer::set_input_text("");
  EXPECT_TRUE(tokenizer::get_token().is(TokenKind::EndOfInput));
  EXPECT_EQ(tokenizer::current_position().first, 1);
  EXPECT_TRUE(tokenizer::get_token().is(TokenKind::EndOfInput));
  EXPECT_TRUE(tokenizer::get_token().is(TokenKind::EndOfInput));
  EXPECT_EQ(tokenizer::current_position(), std::make_pair(std::int64_t{3}, std::int64_t{0}));
}

TEST_F(TokenizerTest, LastLineWithoutLineFeedIsRead) {
  EXPECT_EQ(tokens_of("a\nb c"), (Tokens{"I:a", "I:b", "I:c"}));
  // Two lines and one read that meets the end.
  EXPECT_EQ(tokenizer::current_position().first, 3);
}

TEST_F(TokenizerTest, LineCounterAndUnreadRestRunOnAcrossInputs) {
  tokenizer::set_input_text("f ; rest\nnever\n");
  EXPECT_EQ(show(tokenizer::get_token()), "I:f");
  EXPECT_EQ(show(tokenizer::get_token()), "S:;");
  tokenizer::set_input_text("next\n");
  EXPECT_EQ(all_tokens(), (Tokens{"I:rest", "I:next"}));
  EXPECT_EQ(tokenizer::current_position().first, 3);
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
TEST_F(TokenizerTest, TokensAreLocatedInTheirOwnInput) {
  tokenizer::set_input_text("a\n\n  b ; rest\nnever\n", "first");
  EXPECT_EQ(located(tokenizer::get_token()), "first:1:1 a");
  Token b = tokenizer::get_token();
  tokenizer::unget_token(b);
  EXPECT_EQ(located(tokenizer::get_token()), "first:3:3 b");
  EXPECT_EQ(located(tokenizer::get_token()), "first:3:5 ;");
  tokenizer::set_input_text("\tc\r\nd+", "second");
  std::vector<std::string> rest;
  for (int i = 0; i < 6; ++i) rest.push_back(located(tokenizer::get_token()));
  EXPECT_EQ(rest, (Tokens{"first:3:7 rest", "second:1:2 c", "second:2:1 d", "second:2:2 +",
                          "second:2:3 $", "second:2:3 $"}));
}

TEST_F(TokenizerTest, TheEndOfAnInputIsAfterItsLastLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "t:1:1 $"},
      {"ab\n", "t:1:3 $"},
      {"ab\n\n", "t:2:1 $"},
      {"a\r\nbc\r\n", "t:2:3 $"},
  };
  for (const auto& [text, end] : cases) {
    tokenizer::reset();
    tokenizer::set_input_text(text, "t");
    all_tokens();
    EXPECT_EQ(located(tokenizer::get_token()), end) << text;
  }
}

TEST_F(TokenizerTest, UngetReadsIdentifiersAndSymbolsAgain) {
  tokenizer::set_input_text("abc + #");
  Token ident = tokenizer::get_token();
  tokenizer::unget_token(ident);
  EXPECT_EQ(show(tokenizer::get_token()), "I:abc");
  Token plus = tokenizer::get_token();
  tokenizer::unget_token(plus);
  EXPECT_EQ(show(tokenizer::get_token()), "S:+");
  Token unknown = tokenizer::get_token();
  auto before = tokenizer::current_position();
  tokenizer::unget_token(unknown);
  EXPECT_EQ(tokenizer::current_position(), before);
  Token end = tokenizer::get_token();
  before = tokenizer::current_position();
  tokenizer::unget_token(end);
  EXPECT_EQ(tokenizer::current_position(), before);
}

TEST_F(TokenizerTest, UngetMovesBackByTheTextLengthNotToTheTokenStart) {
  tokenizer::set_input_text("x   yz");
  Token x = tokenizer::get_token();
  Token yz = tokenizer::get_token();
  tokenizer::unget_token(yz);
  tokenizer::unget_token(x);  // lands on a blank after x, not on x
  EXPECT_EQ(tokenizer::current_position().second, 3);
  EXPECT_EQ(all_tokens(), (Tokens{"I:yz"}));
}

TEST_F(TokenizerTest, UngetBeforeTheLineStartEndsTheRun) {
  tokenizer::set_input_text("abc\nd\n");
  Token abc = tokenizer::get_token();
  tokenizer::get_token();
  try {
    tokenizer::unget_token(abc);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.description(), "Invalid_argument(\"index out of bounds\")");
  }
}

TEST_F(TokenizerTest, UngetOnTheEndOfInputBufferFails) {
  tokenizer::set_input_text("a");
  Token a = tokenizer::get_token();
  EXPECT_TRUE(tokenizer::get_token().is(TokenKind::EndOfInput));
  EXPECT_THROW(tokenizer::unget_token(a), Failure);
}

TEST_F(TokenizerTest, NextLineDropsTheRestOfTheLine) {
  tokenizer::set_input_text("a b c\nd\n");
  tokenizer::get_token();
  tokenizer::next_line();
  EXPECT_EQ(all_tokens(), (Tokens{"I:d"}));
}

TEST_F(TokenizerTest, VeryLongLineIsOneIdentifier) {
  const std::string word(3'000'000, 'w');
  EXPECT_EQ(tokens_of(word + "\n+"), (Tokens{"I:" + word, "S:+"}));
}

TEST_F(TokenizerTest, ClosedInputHasNoMoreLines) {
  tokenizer::set_input_text("a\nb\n");
  tokenizer::get_token();
  tokenizer::close_input();
  EXPECT_TRUE(tokenizer::get_token().is(TokenKind::EndOfInput));
}

// A file in the test's own temporary folder, removed afterwards.
class TokenizerFileTest : public TokenizerTest {
 protected:
  void SetUp() override {
    TokenizerTest::SetUp();
    folder_ =
        std::filesystem::temp_directory_path() /
        ("tokenizer_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    tokenizer::reset();
    std::filesystem::remove_all(folder_);
  }
  std::string write(const std::string& name, const std::string& bytes) {
    std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path folder_;
};

TEST_F(TokenizerFileTest, ReadsLinesOfAFileBinarySafely) {
  tokenizer::open_input(write("f.txt", std::string("a\r\nb\0c\r\nd\re", 11)));
  EXPECT_EQ(all_tokens(),
            (Tokens{"I:a", "I:b", std::string("U:\0", 3), "I:c", "I:d", "U:\r", "I:e"}));
}

TEST_F(TokenizerFileTest, LinesLongerThanOneReadBlockStayWhole) {
  std::string content;
  for (int i = 0; i < 40'000; ++i) content += "w" + std::to_string(i) + "\r\n";
  content += std::string(200'000, 'z');
  tokenizer::open_input(write("big.txt", content));
  std::vector<std::string> tokens = all_tokens();
  ASSERT_EQ(tokens.size(), 40'001u);
  EXPECT_EQ(tokens[39'999], "I:w39999");
  EXPECT_EQ(tokens.back(), "I:" + std::string(200'000, 'z'));
  EXPECT_EQ(tokenizer::current_position().first, 40'002);
}

TEST_F(TokenizerFileTest, MissingFileIsASystemError) {
  std::string path = (folder_ / "missing.txt").string();
  try {
    tokenizer::open_input(path);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.description()),
              "Sys_error(\"" + path + ": No such file or directory\")");
  }
}

TEST_F(TokenizerFileTest, DirectoryOpensButItsFirstReadFails) {
  tokenizer::open_input(folder_.string());
  try {
    tokenizer::get_token();
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.description(), "Sys_error(\"Is a directory\")");
  }
}

TEST_F(TokenizerFileTest, NextFileStartsAfterTheUnreadRestOfTheLine) {
  std::string first = write("a.txt", "x ; y\nz\n");
  std::string second = write("b.txt", "w\n");
  tokenizer::open_input(first);
  tokenizer::get_token();
  tokenizer::get_token();
  tokenizer::close_input();
  tokenizer::open_input(second);
  EXPECT_EQ(show(tokenizer::get_token()), "I:y");
  Token w = tokenizer::get_token();
  EXPECT_EQ(show(w), "I:w");
  EXPECT_EQ(tokenizer::current_position(), std::make_pair(std::int64_t{2}, std::int64_t{1}));
}

}  // namespace
