// Numbers that a run hands out in depth-first order and prints: node
// identifiers, kids, trace numbers and attack numbers.
//
// A search that explores several subtrees at once cannot know, while it explores
// one, how many numbers the subtrees before it in depth-first order will use. It
// cuts the depth-first order into segments and hands out provisional numbers: the
// counter, the segment and the offset within the segment. Once the sizes of the
// segments before are known, the final number is the counter's value at the
// start of the segment plus the offset.
//
// A provisional number compares with another of the same counter as the final
// numbers will (segments follow the depth-first order) and is larger than every
// plain number, so that "the older of two kids" means the same in both. It
// prints as a marker that resolve() replaces; a plain number prints in decimal.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace analyser::numeral {

enum class Counter : std::uint8_t { Node = 0, Kid = 1, Trace = 2, Attack = 3 };
inline constexpr int kCounters = 4;

struct Provisional {
  Counter counter = Counter::Node;
  std::int64_t segment = 0;
  std::int64_t offset = 0;
};

inline constexpr std::int64_t kMaxSegment = (std::int64_t{1} << 26) - 1;
inline constexpr std::int64_t kMaxOffset = (std::int64_t{1} << 34) - 1;

// The provisional number of (counter, segment, offset); segment at most
// kMaxSegment and offset at most kMaxOffset.
std::int64_t provisional(Counter counter, std::int64_t segment, std::int64_t offset);
bool is_provisional(std::int64_t n);
Provisional decode(std::int64_t n);  // n provisional

// Streams n: its decimal form, or the marker of a provisional number.
struct Numeral {
  std::int64_t n;
};
std::ostream& operator<<(std::ostream& os, Numeral x);
void append(std::string& s, std::int64_t n);
std::string text(std::int64_t n);

// The length of the longest prefix of text that cuts no marker in two: where
// text may be split into parts that resolve() takes one at a time.
std::size_t whole_prefix(std::string_view text);

// Appends text to out with every marker replaced by the decimal form of
// final_number(its provisional number).
void resolve(std::string_view text,
             const std::function<std::int64_t(const Provisional&)>& final_number, std::string& out);

}  // namespace analyser::numeral
