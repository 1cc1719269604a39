#include "parser/syntax.h"

namespace analyser {

namespace syntax {

using tokenizer::Token;
using tokenizer::TokenKind;

namespace {

// " (line,column)".
std::string position_text(std::pair<std::int64_t, std::int64_t> position) {
  return " (" + std::to_string(position.first) + "," + std::to_string(position.second) + ")";
}

}  // namespace

std::string SyntaxError::error_line() const {
  return "ER" + std::to_string(details_.code) + ": " + details_.message + " " + details_.detail +
         " " + position_text({details_.line, details_.column}) + "\n";
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
  constexpr char kHex[] = "0123456789abcdef";
  return std::string("byte 0x") + kHex[c >> 4] + kHex[c & 15];
}

std::string expected(const std::string& what, const Token& found) {
  return "expected " + what + ", found " + describe(found);
}

std::string line_and_column(const tokenizer::Location& at) {
  return std::to_string(at.line) + ":" + std::to_string(at.column);
}

void TokenReader::record(int code, std::string detail) {
  code_ = code;
  detail_ = std::move(detail);
}

void TokenReader::diagnose(const tokenizer::Location& where, std::string text) {
  if (diagnostic_.text.empty()) diagnostic_ = Diagnostic{where, std::move(text)};
}

void TokenReader::fail(int code, const tokenizer::Location& where, std::string text) {
  diagnose(where, std::move(text));
  record(code);
  throw ParseAbort();
}

void TokenReader::clear() {
  record(kOk);
  diagnostic_ = Diagnostic();
}

SyntaxError TokenReader::error(bool has_error_line) const {
  const auto [line, column] = lexer_.position();
  return SyntaxError(
      exception_name_,
      SyntaxError::Details{code_, messages_[code_], detail_, line, column, diagnostic_},
      has_error_line);
}

Token TokenReader::read() {
  Token token;
  if (int code = scan_token(&token); code != kOk) {
    record(code);
    throw ParseAbort();
  }
  return token;
}

namespace {

std::string unknown_character(const Token& t) {
  const std::string found = describe(t);
  std::string text = "unexpected " + (found[0] == '\'' ? "character " + found : found);
  if (t.text == "_") text += "; an identifier begins with a letter or a digit";
  return text;
}

}  // namespace

// Skips a block comment whose "/*" (at opener) has just been read.
void TokenReader::skip_block_comment(const Token& opener) {
  const std::string opened_at = position_text(lexer_.position());
  for (;;) {
    Token t = lexer_.get_token();
    if (t.is(TokenKind::EndOfInput)) {
      record(kCommentNotClosed, opened_at);
      const bool same_file = opener.where.file == t.where.file;
      diagnose(t.where, "unexpected end of file inside a block comment opened at " +
                            (same_file ? "" : opener.where.file + ":") +
                            line_and_column(opener.where));
      return;
    }
    if (!t.is_symbol('*')) continue;
    Token after = lexer_.get_token();
    if (after.is_symbol('/')) return;
    lexer_.unget_token(after);
  }
}

// Reads the next token with comments skipped into *token, or returns the code of
// the error met after diagnosing it.
int TokenReader::scan_token(Token* token) {
  for (;;) {
    Token t = lexer_.get_token();
    if (t.is(TokenKind::Unknown)) {
      diagnose(t.where, unknown_character(t));
      return kUnknownToken;
    }
    *token = t;
    if (!t.is(TokenKind::Symbol)) return kOk;
    if (t.is_symbol('*')) {
      Token after = lexer_.get_token();
      if (after.is_symbol('/')) {
        diagnose(t.where, "found '*/' outside a comment; a comment opens with '/*'");
        return kCommentNotOpened;
      }
      lexer_.unget_token(after);
      return kOk;
    }
    if (!t.is_symbol('/')) return kOk;
    Token after = lexer_.get_token();
    if (after.is_symbol('/')) {
      lexer_.next_line();
    } else if (after.is_symbol('*')) {
      skip_block_comment(t);
    } else {
      lexer_.unget_token(after);
      return kOk;
    }
  }
}

std::optional<tokenizer::Location> locate_token(const tokenizer::SourceFile& file,
                                                const TokenMatch& matches) {
  static constexpr const char* kMessages[] = {"", "Comment not opened", "Comment not closed",
                                              "Unknown token"};
  tokenizer::Lexer lexer(file);
  TokenReader reader(lexer, kMessages, "locate_token");
  try {
    Token token = reader.read();
    while (!token.is(tokenizer::TokenKind::EndOfInput)) {
      Token next = reader.read();
      if (matches(token, next)) return token.where;
      token = std::move(next);
    }
  } catch (const ParseAbort&) {  // a character no token uses
  } catch (const Failure&) {     // the rest of the file could not be read
  }
  return std::nullopt;
}

}  // namespace syntax

}  // namespace analyser
