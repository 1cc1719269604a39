// What both hand-written parsers share: the pending syntax error (a code into
// the parser's own message table, and a detail) with its error line, and the
// comment-skipping token reader. Line comments run from "//" to the end of the
// line, block comments from "/*" to "*/" without nesting; both are recognised on
// tokens, so blanks may separate their two characters.
#pragma once

#include <string>

#include "parser/tokenizer.h"

namespace syntax {

// Codes with the same meaning in both parsers' tables.
inline constexpr int kOk = 0;
inline constexpr int kCommentNotOpened = 1;
inline constexpr int kCommentNotClosed = 2;
inline constexpr int kUnknownToken = 3;

// The pending error of one parser; every error but "Comment not closed" has an
// empty detail.
struct ErrorState {
  int code = kOk;
  std::string detail;

  void record(int c, std::string d = "") {
    code = c;
    detail = std::move(d);
  }
};

// " (line,column)" at the tokenizer's current position.
std::string position_text();

// "ER<code>: <message> <detail> " followed by the position text and "\n".
std::string error_line(const ErrorState& errors, const char* message);

// Reads the next token with comments skipped into *token, or returns the code of
// the error met (an Unknown character, a stray "*/"). An input that ends inside
// a block comment records kCommentNotClosed with the opener's position and
// yields EndOfInput.
int scan_token(ErrorState& errors, tokenizer::Token* token);

// scan_token that records an error and throws Error.
template <typename Error>
tokenizer::Token read_token(ErrorState& errors) {
  tokenizer::Token token;
  if (int code = scan_token(errors, &token); code != kOk) {
    errors.record(code);
    throw Error();
  }
  return token;
}

}  // namespace syntax
