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

std::string diagnostic_line(const Diagnostic& diagnostic) {
  const tokenizer::Location& at = diagnostic.where;
  return at.file + ":" + line_and_column(at) + ": error: " + diagnostic.text + "\n";
}

std::string describe(const Token& token) {
  constexpr std::size_t kLongest = 40;
  switch (token.kind) {
    case TokenKind::EndOfInput:
    case TokenKind::EndOfLine:
      return "end of file";
    case TokenKind::Ident:
      if (token.text.size() > kLongest) return "'" + token.text.substr(0, kLongest) + "...'";
      return "'" + token.text + "'";
    case TokenKind::Symbol:
    case TokenKind::Unknown:
      break;
  }
  const auto c = static_cast<unsigned char>(token.text[0]);
  if (c > ' ' && c < 127) return "'" + token.text + "'";
  static constexpr char kHex[] = "0123456789abcdef";
  return std::string("byte 0x") + kHex[c >> 4] + kHex[c & 15];
}

std::string expected(const std::string& what, const Token& found) {
  return "expected " + what + ", found " + describe(found);
}

std::string line_and_column(const tokenizer::Location& at) {
  return std::to_string(at.line) + ":" + std::to_string(at.column);
}

namespace {

// Skips a block comment whose "/*" (at opener) has just been read.
void skip_block_comment(ErrorState& errors, const Token& opener) {
  const std::string opened_at = position_text();
  for (;;) {
    Token t = tokenizer::get_token();
    if (t.is(TokenKind::EndOfInput)) {
      errors.record(kCommentNotClosed, opened_at);
      const bool same_file = opener.where.file == t.where.file;
      errors.diagnose(t.where, "unexpected end of file inside a block comment opened at " +
                                   (same_file ? "" : opener.where.file + ":") +
                                   line_and_column(opener.where));
      return;
    }
    if (!t.is_symbol('*')) continue;
    Token after = tokenizer::get_token();
    if (after.is_symbol('/')) return;
    tokenizer::unget_token(after);
  }
}

std::string unknown_character(const Token& t) {
  const std::string found = describe(t);
  std::string text = "unexpected " + (found[0] == '\'' ? "character " + found : found);
  if (t.text == "_") text += "; an identifier begins with a letter or a digit";
  return text;
}

}  // namespace

int scan_token(ErrorState& errors, Token* token) {
  for (;;) {
    Token t = tokenizer::get_token();
    if (t.is(TokenKind::Unknown)) {
      errors.diagnose(t.where, unknown_character(t));
      return kUnknownToken;
    }
    *token = t;
    if (!t.is(TokenKind::Symbol)) return kOk;
    if (t.is_symbol('*')) {
      Token after = tokenizer::get_token();
      if (after.is_symbol('/')) {
        errors.diagnose(t.where, "found '*/' outside a comment; a comment opens with '/*'");
        return kCommentNotOpened;
      }
      tokenizer::unget_token(after);
      return kOk;
    }
    if (!t.is_symbol('/')) return kOk;
    Token after = tokenizer::get_token();
    if (after.is_symbol('/')) {
      tokenizer::next_line();
    } else if (after.is_symbol('*')) {
      skip_block_comment(errors, t);
    } else {
      tokenizer::unget_token(after);
      return kOk;
    }
  }
}

}  // namespace syntax
