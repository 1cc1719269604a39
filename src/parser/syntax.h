// What both hand-written parsers share: the syntax error that ends the reading
// of a file (a code into the parser's own message table, and a detail) with its
// error line and its compiler-style diagnostic, and the comment-skipping token
// reader that holds a parser's pending error. Line comments run from "//" to the
// end of the line, block comments from "/*" to "*/" without nesting; both are
// recognised on tokens, so blanks may separate their two characters.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "parser/tokenizer.h"
#include "utils/utils.h"

namespace analyser {

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

// A syntax error that ends the reading of an input file. It carries the code
// into its parser's message table, the lexer's position when it was met (as the
// error line prints it) and the diagnostic that explains it.
//
// Most errors are reported with the error line on standard output, and the run
// then ends with the syntax failure that names the file. The others (an unknown
// character or a stray "*/" where the parser reads the next declaration, its
// "[" or its ";", and any error in a knowledge file) have no error line: the run
// ends with the parser's exception name as the description, which is also
// description() for every SyntaxError.
class SyntaxError : public Failure {
 public:
  struct Details {
    int code = kOk;
    std::string message;  // the code's text in the parser's table
    std::string detail;   // empty but for "Comment not closed"
    std::int64_t line = 0;
    std::int64_t column = 0;
    Diagnostic diagnostic;
  };

  SyntaxError(const char* exception_name, Details details, bool has_error_line)
      : Failure(exception_name), details_(std::move(details)), has_error_line_(has_error_line) {}

  int code() const { return details_.code; }
  std::int64_t line() const { return details_.line; }
  std::int64_t column() const { return details_.column; }
  const Diagnostic& diagnostic() const { return details_.diagnostic; }
  bool has_error_line() const { return has_error_line_; }
  // "ER<code>: <message> <detail>  (<line>,<column>)\n".
  std::string error_line() const;

 private:
  Details details_;
  bool has_error_line_;
};

// Unwinds a parser to its entry point, which turns the reader's pending error
// into a SyntaxError; it never leaves a parser.
struct ParseAbort {};

// A parser's reading of tokens, with comments skipped, and its pending error:
// one per file read. Every error but "Comment not closed" has an empty detail.
// The diagnostic explains the first cause met: an error that follows from it
// (an unclosed comment makes the input end early) keeps it.
class TokenReader {
 public:
  // messages: the parser's table of error texts, indexed by code;
  // exception_name: how a run that ends on one of its errors names it.
  TokenReader(tokenizer::Lexer& lexer, const char* const* messages, const char* exception_name)
      : lexer_(lexer), messages_(messages), exception_name_(exception_name) {}

  // The next token with comments skipped. An Unknown character or a stray "*/"
  // is diagnosed, recorded and throws ParseAbort. An input that ends inside a
  // block comment records kCommentNotClosed with the opener's position,
  // diagnoses it and yields EndOfInput.
  tokenizer::Token read();
  void unget(const tokenizer::Token& token) { lexer_.unget_token(token); }

  void record(int code, std::string detail = "");
  // Keeps the diagnostic already pending, if any.
  void diagnose(const tokenizer::Location& where, std::string text);
  // Diagnoses, records code and throws ParseAbort.
  [[noreturn]] void fail(int code, const tokenizer::Location& where, std::string text);
  // No error pending.
  void clear();

  int code() const { return code_; }
  const Diagnostic& diagnostic() const { return diagnostic_; }
  // The pending error, at the lexer's current position.
  SyntaxError error(bool has_error_line) const;

 private:
  int scan_token(tokenizer::Token* token);
  void skip_block_comment(const tokenizer::Token& opener);

  tokenizer::Lexer& lexer_;
  const char* const* messages_;
  const char* exception_name_;
  int code_ = kOk;
  std::string detail_;
  Diagnostic diagnostic_;
};

// Where the first token of file, read on its own and with comments skipped,
// that matches starts; matches sees the token and the one after it. Nothing
// when no token before the end of the file, or before a character no token
// uses, matches.
using TokenMatch = std::function<bool(const tokenizer::Token&, const tokenizer::Token&)>;
std::optional<tokenizer::Location> locate_token(const tokenizer::SourceFile& file,
                                                const TokenMatch& matches);

}  // namespace syntax

}  // namespace analyser
