#include "parser/syntax.h"

namespace syntax {

using tokenizer::Token;
using tokenizer::TokenKind;

std::string position_text() {
  const auto [line, column] = tokenizer::current_position();
  return " (" + std::to_string(line) + "," + std::to_string(column) + ")";
}

std::string error_line(const ErrorState& errors, const char* message) {
  return "ER" + std::to_string(errors.code) + ": " + message + " " + errors.detail + " " +
         position_text() + "\n";
}

namespace {
// Skips a block comment whose "/*" has just been read.
void skip_block_comment(ErrorState& errors) {
  const std::string opened_at = position_text();
  for (;;) {
    Token t = tokenizer::get_token();
    if (t.is(TokenKind::EndOfInput)) {
      errors.record(kCommentNotClosed, opened_at);
      return;
    }
    if (!t.is_symbol('*')) continue;
    Token after = tokenizer::get_token();
    if (after.is_symbol('/')) return;
    tokenizer::unget_token(after);
  }
}
}  // namespace

int scan_token(ErrorState& errors, Token* token) {
  for (;;) {
    Token t = tokenizer::get_token();
    if (t.is(TokenKind::Unknown)) return kUnknownToken;
    *token = t;
    if (!t.is(TokenKind::Symbol)) return kOk;
    if (t.is_symbol('*')) {
      Token after = tokenizer::get_token();
      if (after.is_symbol('/')) return kCommentNotOpened;
      tokenizer::unget_token(after);
      return kOk;
    }
    if (!t.is_symbol('/')) return kOk;
    Token after = tokenizer::get_token();
    if (after.is_symbol('/')) {
      tokenizer::next_line();
    } else if (after.is_symbol('*')) {
      skip_block_comment(errors);
    } else {
      tokenizer::unget_token(after);
      return kOk;
    }
  }
}

}  // namespace syntax
