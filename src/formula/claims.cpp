#include "formula/claims.h"

#include <algorithm>
#include <optional>

#include "formula/formula_parser.h"

namespace analyser {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// s with its white space runs made one blank and none at either end.
std::string squeezed(std::string_view s) {
  std::string out;
  bool blank = false;
  for (char c : s) {
    if (is_blank(c)) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

// Where each line of text starts, line 1 first.
std::vector<std::size_t> line_starts(std::string_view text) {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') starts.push_back(i + 1);
  }
  return starts;
}

// The offset in text of a location of the file, when it lies in the text.
std::optional<std::size_t> offset_of(const std::vector<std::size_t>& starts, std::string_view text,
                                     const tokenizer::Location& at) {
  if (at.line < 1 || at.column < 1 || static_cast<std::size_t>(at.line) > starts.size()) {
    return std::nullopt;
  }
  const std::size_t offset =
      starts[static_cast<std::size_t>(at.line - 1)] + static_cast<std::size_t>(at.column - 1);
  if (offset > text.size()) return std::nullopt;
  return offset;
}

// The name a block comment ending the gap before a formula gives it: the gap
// holds nothing but white space after that comment. A "/*" behind "//" on its
// line is part of a line comment, not a block comment.
std::string name_in(std::string_view gap) {
  std::size_t end = gap.size();
  while (end > 0 && is_blank(gap[end - 1])) --end;
  if (end < 4 || gap.substr(end - 2, 2) != "*/") return "";
  const std::size_t open = gap.rfind("/*", end - 4);
  if (open == std::string_view::npos) return "";
  const std::size_t line = gap.rfind('\n', open);
  const std::size_t line_start = line == std::string_view::npos ? 0 : line + 1;
  if (gap.substr(line_start, open - line_start).find("//") != std::string_view::npos) return "";
  return squeezed(gap.substr(open + 2, end - 2 - (open + 2)));
}

}  // namespace

std::vector<Claim> parse_claims(tokenizer::Lexer& lexer, std::string_view text) {
  const std::vector<std::size_t> starts = line_starts(text);
  std::vector<Claim> claims;
  std::size_t previous_end = 0;  // just after the last formula's ";"
  for (formula_parser::FormulaSpan& span : formula_parser::parse_formulas(lexer)) {
    Claim claim{std::move(span.formula), "", "", span.start};
    const std::optional<std::size_t> start = offset_of(starts, text, span.start);
    const std::optional<std::size_t> end = offset_of(starts, text, span.end);
    // A formula that begins on a line carried over from another file has no
    // text of its own here.
    if (start && end && *start <= *end && *end < text.size() && span.start.file == span.end.file) {
      const std::size_t gap_start = std::min(previous_end, *start);
      claim.name = name_in(text.substr(gap_start, *start - gap_start));
      claim.text = squeezed(text.substr(*start, *end + 1 - *start));
      previous_end = *end + 1;
    }
    claims.push_back(std::move(claim));
  }
  return claims;
}

}  // namespace analyser
