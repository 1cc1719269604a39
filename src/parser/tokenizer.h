// The one tokenizer of a run. Its state (input channel, current line, line
// counter) is global and shared by the four input files, read one after another:
// the line counter runs on across files and an unread rest of a line is scanned
// before the next file's first line.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tokenizer {

enum class TokenKind : std::uint8_t { Ident, Symbol, Unknown, EndOfLine, EndOfInput };

// A place in an input file, for diagnostics: the file's name as it was opened,
// and the line within that file and the column (a byte offset), both from 1.
struct Location {
  std::string file;
  std::int64_t line = 0;
  std::int64_t column = 0;
};

struct Token {
  TokenKind kind = TokenKind::EndOfInput;
  std::string text;  // Ident: the run; Symbol and Unknown: the one character
  // Where the token starts. The rest of a line left unread by one file's parser
  // is scanned before the next file, but keeps the location in its own file.
  // EndOfInput stands just after the last character of the file.
  Location where;

  bool is(TokenKind k) const { return kind == k; }
  bool is_symbol(char c) const { return kind == TokenKind::Symbol && text[0] == c; }
  bool is_ident(const char* s) const { return kind == TokenKind::Ident && text == s; }
};

// The next token of the current input; never EndOfLine.
Token get_token();
// Pushes back the token just read: Ident and Symbol move the position back by the
// length of their text; other kinds change nothing.
void unget_token(const Token& token);
// Discards the rest of the current line and reads the next one.
void next_line();
// (line counter, position in the current line): the run-wide line count, for the
// parsers' error lines.
std::pair<std::int64_t, std::int64_t> current_position();

// Makes the file at path the input channel (the line buffer and counter go on).
// Throws Sys_error("<path>: <system error text>") when it cannot be opened; a
// read that fails later (a directory) throws Sys_error("<system error text>").
void open_input(const std::string& path);
void close_input();
// Makes text, named name in locations, the input channel (tests).
void set_input_text(const std::string& text, const std::string& name = "text");
// Back to the initial state: no input, empty line, counter 0 (tests).
void reset();

}  // namespace tokenizer
