// The claims of a property file: every formula it holds, in order, each a
// property checked on its own. A block comment right before a formula names it
// (/* secrecy of nb */), and its text is kept as written for the reports.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formula/formula.h"
#include "parser/tokenizer.h"

namespace analyser {

struct Claim {
  Formula formula;
  // The text of the block comment that ends right before the formula, with
  // only white space between them, its white space runs made one blank; empty
  // when there is none.
  std::string name;
  // The formula as written, from its first token to its ";", white space runs
  // (line ends included) made one blank.
  std::string text;
  tokenizer::Location where;  // its first token
};

// Reads every formula of the file whose text the lexer scans (syntax errors as
// formula_parser::parse_formulas). text must be that file's whole text, which
// the names and texts are taken from.
std::vector<Claim> parse_claims(tokenizer::Lexer& lexer, std::string_view text);

}  // namespace analyser
