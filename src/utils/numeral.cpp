#include "utils/numeral.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "utils/utils.h"

namespace analyser::numeral {

namespace {

// Layout: bit 62 marks a provisional number, bits 60-61 hold the counter, bits
// 34-59 the segment and bits 0-33 the offset; it stays positive.
constexpr std::int64_t kFlag = std::int64_t{1} << 62;
constexpr int kCounterShift = 60;
constexpr int kSegmentShift = 34;

// A marker: this byte, then the number in 16 hexadecimal digits. The analyser's
// output never holds a control character of its own: names are letters, digits
// and underscores.
constexpr char kMarker = '\x01';
constexpr std::size_t kDigits = 16;

void append_marker(std::string& s, std::int64_t n) {
  static constexpr char kHex[] = "0123456789abcdef";
  char text[1 + kDigits];
  text[0] = kMarker;
  auto u = static_cast<std::uint64_t>(n);
  for (std::size_t i = kDigits; i > 0; --i, u >>= 4) text[i] = kHex[u & 15];
  s.append(text, sizeof text);
}

std::int64_t parse_marker(std::string_view digits) {
  std::uint64_t u = 0;
  for (char c : digits) u = u << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  return static_cast<std::int64_t>(u);
}

}  // namespace

std::int64_t provisional(Counter counter, std::int64_t segment, std::int64_t offset) {
  assert(segment >= 0 && segment <= kMaxSegment && offset >= 0 && offset <= kMaxOffset);
  return kFlag | static_cast<std::int64_t>(counter) << kCounterShift | segment << kSegmentShift |
         offset;
}

bool is_provisional(std::int64_t n) {
  return n > 0 && (n & kFlag) != 0;
}

Provisional decode(std::int64_t n) {
  return Provisional{static_cast<Counter>(n >> kCounterShift & 3), n >> kSegmentShift & kMaxSegment,
                     n & kMaxOffset};
}

std::ostream& operator<<(std::ostream& os, Numeral x) {
  if (!is_provisional(x.n)) return os << x.n;
  std::string s;
  append_marker(s, x.n);
  return os << s;
}

void append(std::string& s, std::int64_t n) {
  if (is_provisional(n)) {
    append_marker(s, n);
  } else {
    utils::append_decimal(s, n);
  }
}

std::string text(std::int64_t n) {
  std::string s;
  append(s, n);
  return s;
}

std::size_t whole_prefix(std::string_view text) {
  const std::size_t tail = std::min(text.size(), kDigits);
  const std::size_t cut = text.substr(text.size() - tail).rfind(kMarker);
  return cut == std::string_view::npos ? text.size() : text.size() - tail + cut;
}

void resolve(std::string_view text,
             const std::function<std::int64_t(const Provisional&)>& final_number,
             std::string& out) {
  while (!text.empty()) {
    const void* found = std::memchr(text.data(), kMarker, text.size());
    if (found == nullptr ||
        text.size() - (static_cast<const char*>(found) - text.data()) <= kDigits) {
      out += text;
      return;
    }
    const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    out += text.substr(0, at);
    out += std::to_string(final_number(decode(parse_marker(text.substr(at + 1, kDigits)))));
    text.remove_prefix(at + 1 + kDigits);
  }
}

}  // namespace analyser::numeral
