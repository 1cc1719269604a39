#include "parser/tokenizer.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "utils/utils.h"

namespace analyser {

namespace tokenizer {
namespace {

enum class CharClass : std::uint8_t { White, IdentStart, IdentPart, Symbol, Other };

// The class of every byte. Identifier starts also continue identifiers; the
// underscore only continues one. Control characters (carriage return included)
// and bytes 127-255 belong to no class.
constexpr std::array<CharClass, 256> make_classes() {
  std::array<CharClass, 256> classes{};
  for (auto& c : classes) c = CharClass::Other;
  classes['\t'] = classes['\n'] = classes[' '] = CharClass::White;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = CharClass::IdentStart;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = CharClass::IdentStart;
  for (int c = '0'; c <= '9'; ++c) classes[c] = CharClass::IdentStart;
  classes['_'] = CharClass::IdentPart;
  for (unsigned char c : std::string_view("!&()*+,-./:;<=>?[]{|}")) classes[c] = CharClass::Symbol;
  return classes;
}

constexpr std::array<CharClass, 256> kClasses = make_classes();

CharClass class_of(char c) {
  return kClasses[static_cast<unsigned char>(c)];
}

bool continues_ident(char c) {
  CharClass k = class_of(c);
  return k == CharClass::IdentStart || k == CharClass::IdentPart;
}

// The system's text for the error number error (strerror's, without its
// shared buffer).
std::string system_error_text(int error) {
  return std::generic_category().message(error);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

SourceFile read_source_file(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw sys_error(path + ": " + system_error_text(errno));
  SourceFile source{path, "", ""};
  char block[1 << 16];
  for (;;) {
    std::size_t n = std::fread(block, 1, sizeof block, file.get());
    if (n == 0) {
      int error = errno;
      if (std::ferror(file.get())) source.read_error = system_error_text(error);
      return source;
    }
    source.text.append(block, n);
  }
}

// An empty file ends at its first line, column 1.
Lexer::Lexer(std::string_view text, std::string name, CarryOver carried)
    : text_(text),
      name_(std::move(name)),
      carried_line_(std::move(carried.line)),
      line_(carried_line_),
      position_(carried.position),
      lines_read_(carried.lines_read),
      line_start_(std::move(carried.line_start)),
      end_{name_, 1, 1} {}

Lexer::Lexer(const SourceFile& file, CarryOver carried)
    : Lexer(file.text, file.name, std::move(carried)) {
  read_error_ = file.read_error;
}

bool Lexer::read_line(std::string_view& line) {
  const std::size_t start = next_line_start_;
  const std::size_t end = text_.find('\n', start);
  if (end != std::string_view::npos) {
    const std::size_t stop = end > start && text_[end - 1] == '\r' ? end - 1 : end;
    line = text_.substr(start, stop - start);
    next_line_start_ = end + 1;
    return true;
  }
  if (!read_error_.empty()) throw sys_error(read_error_);
  if (start == text_.size()) return false;
  line = text_.substr(start);
  next_line_start_ = text_.size();
  return true;
}

Token Lexer::make_token(TokenKind kind, std::string text, std::size_t start) const {
  Location where = line_start_;
  where.column = static_cast<std::int64_t>(start) + 1;
  return Token{kind, std::move(text), std::move(where)};
}

// One token of the current line, EndOfLine when it is used up.
Token Lexer::scan() {
  const auto length = static_cast<std::int64_t>(line_.size());
  while (position_ < length) {
    const auto start = static_cast<std::size_t>(position_);
    char c = line_[start];
    switch (class_of(c)) {
      case CharClass::White:
        ++position_;
        continue;
      case CharClass::IdentStart: {
        std::size_t end = start + 1;
        while (end < line_.size() && continues_ident(line_[end])) ++end;
        position_ = static_cast<std::int64_t>(end);
        return make_token(TokenKind::Ident, std::string(line_.substr(start, end - start)), start);
      }
      case CharClass::Symbol:
        ++position_;
        return make_token(TokenKind::Symbol, std::string(1, c), start);
      case CharClass::IdentPart:
      case CharClass::Other:
        ++position_;
        return make_token(TokenKind::Unknown, std::string(1, c), start);
    }
  }
  return Token{TokenKind::EndOfLine, "", {}};
}

Token Lexer::get_token() {
  for (;;) {
    Token t = scan();
    if (!t.is(TokenKind::EndOfLine)) return t;
    next_line();
    if (exhausted_) return Token{TokenKind::EndOfInput, "", end_};
  }
}

void Lexer::unget_token(const Token& token) {
  if (!token.is(TokenKind::Ident) && !token.is(TokenKind::Symbol)) return;
  // Plain arithmetic on the position: after a line change the token may not be
  // where it stood, and stepping back before the line start is a failure.
  std::int64_t back = position_ - static_cast<std::int64_t>(token.text.size());
  if (back < 0) throw Failure("Invalid_argument(\"index out of bounds\")");
  position_ = back;
}

void Lexer::next_line() {
  ++lines_read_;
  position_ = 0;
  exhausted_ = !read_line(line_);
  if (exhausted_) {
    line_ = {};
    return;
  }
  ++file_lines_;
  line_start_ = Location{name_, file_lines_, 1};
  end_ = Location{name_, file_lines_, static_cast<std::int64_t>(line_.size()) + 1};
}

std::pair<std::int64_t, std::int64_t> Lexer::position() const {
  return {lines_read_, position_};
}

CarryOver Lexer::carry_over() const {
  return CarryOver{std::string(line_), position_, line_start_, lines_read_};
}

}  // namespace tokenizer

}  // namespace analyser
