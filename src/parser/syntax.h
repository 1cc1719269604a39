// What both hand-written parsers share: the pending syntax error (a code into
// the parser's own message table, and a detail) with its error line and its
// compiler-style diagnostic, and the comment-skipping token reader. Line
// comments run from "//" to the end of the line, block comments from "/*" to
// "*/" without nesting; both are recognised on tokens, so blanks may separate
// their two characters.
#pragma once

#include <string>

#include "parser/tokenizer.h"

namespace syntax {

// Codes with the same meaning in both parsers' tables.
inline constexpr int kOk = 0;
inline constexpr int kCommentNotOpened = 1;
inline constexpr int kCommentNotClosed = 2;
inline constexpr int kUnknownToken = 3;

// What a user reads about a syntax error: where it is, what was found there and
// what was expected instead. An empty text means there is none.
struct Diagnostic {
  tokenizer::Location where;
  std::string text;
};

// "FILE:LINE:COLUMN: error: TEXT\n".
std::string diagnostic_line(const Diagnostic& diagnostic);

// How a token is named in a diagnostic: 'abc', '+', a control byte as byte 0x0d,
// the end of the input as "end of file". Long identifiers are shortened.
std::string describe(const tokenizer::Token& token);

// Hints on the naming and term rules of both file kinds, appended to a
// diagnostic's text where the mistake is likely one of them.
inline constexpr const char* kNoncesAndKeysHint =
    "; names beginning with n are nonces and k keys; a variable must begin with another letter";
inline constexpr const char* kCapitalsHint = "; names in capital letters are agents and their keys";
inline constexpr const char* kRoleNameHint = "; a role name must be capital letters only";
inline constexpr const char* kNestedPairsHint = "; tuples are nested pairs: write (a,(b,c))";
inline constexpr const char* kEncryptedPairHint = "; to encrypt a pair write {(a,b)}k";
inline constexpr const char* kCompoundKeyHint = "; a key is a name, not a compound term";

// "LINE:COLUMN" of a location.
std::string line_and_column(const tokenizer::Location& at);

// "expected WHAT, found TOKEN".
std::string expected(const std::string& what, const tokenizer::Token& found);

// The pending error of one parser; every error but "Comment not closed" has an
// empty detail. The diagnostic explains the first cause met: an error that
// follows from it (an unclosed comment makes the input end early) keeps it.
struct ErrorState {
  int code = kOk;
  std::string detail;
  Diagnostic diagnostic;

  void record(int c, std::string d = "") {
    code = c;
    detail = std::move(d);
  }
  void diagnose(const tokenizer::Location& where, std::string text) {
    if (diagnostic.text.empty()) diagnostic = Diagnostic{where, std::move(text)};
  }
  void clear() { *this = ErrorState(); }
};

// " (line,column)" at the tokenizer's current position.
std::string position_text();

// "ER<code>: <message> <detail> " followed by the position text and "\n".
std::string error_line(const ErrorState& errors, const char* message);

// Reads the next token with comments skipped into *token, or returns the code of
// the error met (an Unknown character, a stray "*/") after diagnosing it. An
// input that ends inside a block comment records kCommentNotClosed with the
// opener's position, diagnoses it and yields EndOfInput.
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
