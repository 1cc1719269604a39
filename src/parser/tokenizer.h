// The lexer of the input files: identifiers, one-character symbols and unknown
// characters, read line by line from one file's text.
//
// A run reads its four files one after another, and each file's lexer goes on
// where the previous one stopped: the line counter runs on across the files, and
// the rest of the line the previous file's parser left unread is scanned before
// the next file's first line (its tokens keep their location in their own
// file). That hand-over is a CarryOver, taken from one lexer and given to the
// next.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace analyser {

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
  // Where the token starts. EndOfInput stands just after the last character of
  // the file.
  Location where;

  bool is(TokenKind k) const { return kind == k; }
  bool is_symbol(char c) const { return kind == TokenKind::Symbol && text[0] == c; }
  bool is_ident(const char* s) const { return kind == TokenKind::Ident && text == s; }
};

// What one file's lexer hands to the next: the line it was scanning, how far
// into it, where that line stands in its own file, and the lines read so far by
// all files. The default is the start of a run.
struct CarryOver {
  std::string line;
  std::int64_t position = 0;
  Location line_start;
  std::int64_t lines_read = 0;
};

// One input file, read in full before it is scanned.
struct SourceFile {
  std::string name;  // the path as it was opened
  std::string text;  // every byte that could be read
  // The system's error text when reading stopped early (a directory). The lexer
  // throws it as Sys_error("<text>") when it needs a line that reaches past the
  // bytes read, so that everything before it is scanned first.
  std::string read_error;
};

// Reads the file at path. Throws Sys_error("<path>: <system error text>") when
// it cannot be opened.
SourceFile read_source_file(const std::string& path);

// Lines are split on line feeds only, so NUL bytes and lines of any length are
// kept whole; a carriage return right before a line feed goes with it. The
// scanned text must outlive the lexer.
class Lexer {
 public:
  // Scans text, named name in locations, after what carried holds.
  explicit Lexer(std::string_view text, std::string name = "text", CarryOver carried = {});
  explicit Lexer(const SourceFile& file, CarryOver carried = {});
  Lexer(SourceFile&&, CarryOver = {}) = delete;
  Lexer(const Lexer&) = delete;
  Lexer& operator=(const Lexer&) = delete;

  // The next token; never EndOfLine. Once the text is used up every call
  // returns EndOfInput and still counts a line.
  Token get_token();
  // Pushes back the token just read: Ident and Symbol move the position back by
  // the length of their text (throwing Invalid_argument("index out of bounds")
  // before the start of the line); other kinds change nothing.
  void unget_token(const Token& token);
  // Discards the rest of the current line and reads the next one.
  void next_line();
  // (lines read by the run so far, position in the current line), as the
  // parsers' error lines print it.
  std::pair<std::int64_t, std::int64_t> position() const;
  // What the lexer of the next file starts from.
  CarryOver carry_over() const;

 private:
  // The next line of the text, without its terminator; false at its end.
  bool read_line(std::string_view& line);
  Token make_token(TokenKind kind, std::string text, std::size_t start) const;
  Token scan();

  std::string_view text_;
  std::size_t next_line_start_ = 0;  // in text_
  std::string name_;
  std::string read_error_;
  std::string carried_line_;  // the previous file's line, while it is scanned
  std::string_view line_;     // into carried_line_ or text_
  std::int64_t position_ = 0;
  std::int64_t lines_read_ = 0;
  Location line_start_;  // the file and line of line_, at column 1
  std::int64_t file_lines_ = 0;
  bool exhausted_ = false;  // the last line read met the end of the text
  Location end_;            // where the text ends, as far as it has been read
};

}  // namespace tokenizer

}  // namespace analyser
