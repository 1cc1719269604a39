#include "parser/tokenizer.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "utils/utils.h"

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

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// The input channel: the lines of a file or of a text held in memory. Lines are
// split on line feeds only, so NUL bytes and lines of any length are kept whole;
// a carriage return right before a line feed goes with it.
class Channel {
 public:
  Channel() = default;
  explicit Channel(std::string text) : data_(std::move(text)) {}
  explicit Channel(std::FILE* file) : file_(file) {}

  // The next line without its terminator; false at the end of the input.
  bool read_line(std::string& line) {
    for (;;) {
      std::size_t end = data_.find('\n', scanned_);
      if (end != std::string::npos) {
        std::size_t stop = end > start_ && data_[end - 1] == '\r' ? end - 1 : end;
        line.assign(data_, start_, stop - start_);
        start_ = scanned_ = end + 1;
        return true;
      }
      scanned_ = data_.size();
      if (!fill()) break;
    }
    if (start_ == data_.size()) return false;
    line.assign(data_, start_, std::string::npos);
    start_ = scanned_ = data_.size();
    return true;
  }

 private:
  // Appends the next block of the file; false at its end. A failed read (a
  // directory, a device error) ends the run with the system's text.
  bool fill() {
    if (!file_) return false;
    data_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
    char block[1 << 16];
    std::size_t n = std::fread(block, 1, sizeof block, file_.get());
    if (n == 0) {
      int error = errno;
      if (std::ferror(file_.get())) throw sys_error(std::strerror(error));
      file_.reset();
      return false;
    }
    data_.append(block, n);
    return true;
  }

  std::unique_ptr<std::FILE, FileCloser> file_;  // null for text and once exhausted
  std::string data_;                             // read but not yet returned, from start_
  std::size_t start_ = 0;                        // first byte of the next line
  std::size_t scanned_ = 0;  // data_ before this holds no line feed after start_
};

// The one tokenizer state of the run. A length of -1 marks the end of the input.
struct State {
  Channel channel;
  std::string buffer;
  std::int64_t position = 0;
  std::int64_t length = 0;
  std::int64_t line = 0;
  Location line_start;  // the file and line of buffer, at column 1
  // The channel's name, the lines read from it, and where its end lies once a
  // read has met it.
  std::string channel_name;
  std::int64_t channel_lines = 0;
  Location channel_end;
};

State& state() {
  static State s;
  return s;
}

// A token that starts at index start of the current line.
Token make_token(TokenKind kind, std::string text, std::size_t start) {
  Location where = state().line_start;
  where.column = static_cast<std::int64_t>(start) + 1;
  return Token{kind, std::move(text), std::move(where)};
}

// One token of the current line, EndOfLine when it is used up.
Token scan() {
  State& s = state();
  while (s.position < s.length) {
    const auto start = static_cast<std::size_t>(s.position);
    char c = s.buffer[start];
    switch (class_of(c)) {
      case CharClass::White:
        ++s.position;
        continue;
      case CharClass::IdentStart: {
        std::size_t end = start + 1;
        const auto length = static_cast<std::size_t>(s.length);
        while (end < length && continues_ident(s.buffer[end])) ++end;
        s.position = static_cast<std::int64_t>(end);
        return make_token(TokenKind::Ident, s.buffer.substr(start, end - start), start);
      }
      case CharClass::Symbol:
        ++s.position;
        return make_token(TokenKind::Symbol, std::string(1, c), start);
      case CharClass::IdentPart:
      case CharClass::Other:
        ++s.position;
        return make_token(TokenKind::Unknown, std::string(1, c), start);
    }
  }
  return Token{TokenKind::EndOfLine, "", {}};
}

// An empty file ends at its first line, column 1.
void install(Channel channel, const std::string& name) {
  State& s = state();
  s.channel = std::move(channel);
  s.channel_name = name;
  s.channel_lines = 0;
  s.channel_end = Location{name, 1, 1};
}

}  // namespace

Token get_token() {
  for (;;) {
    Token t = scan();
    if (!t.is(TokenKind::EndOfLine)) return t;
    next_line();
    if (state().length == -1) return Token{TokenKind::EndOfInput, "", state().channel_end};
  }
}

void unget_token(const Token& token) {
  if (!token.is(TokenKind::Ident) && !token.is(TokenKind::Symbol)) return;
  State& s = state();
  // Plain arithmetic on the position: after a line change the token may not be
  // where it stood, and stepping back before the line start is a failure.
  std::int64_t back = s.position - static_cast<std::int64_t>(token.text.size());
  if (back < 0) throw Failure("Invalid_argument(\"index out of bounds\")");
  s.position = back;
}

void next_line() {
  State& s = state();
  ++s.line;
  s.position = 0;
  if (s.channel.read_line(s.buffer)) {
    s.length = static_cast<std::int64_t>(s.buffer.size());
    ++s.channel_lines;
    s.line_start = Location{s.channel_name, s.channel_lines, 1};
    s.channel_end = Location{s.channel_name, s.channel_lines, s.length + 1};
  } else {
    s.buffer.clear();
    s.length = -1;
  }
}

std::pair<std::int64_t, std::int64_t> current_position() {
  return {state().line, state().position};
}

void open_input(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw sys_error(path + ": " + std::strerror(errno));
  install(Channel(file), path);
}

void close_input() {
  state().channel = Channel();
}

void set_input_text(const std::string& text, const std::string& name) {
  install(Channel(text), name);
}

void reset() {
  state() = State();
}

}  // namespace tokenizer
