// The principals file parser: role declarations, one after another, read from a
// lexer. The first syntax error ends the reading; parsing never resumes after
// one.
#pragma once

#include <optional>
#include <vector>

#include "parser/syntax.h"
#include "parser/tokenizer.h"
#include "principal/principal.h"

namespace analyser {

namespace parser {

struct PrincipalsFile {
  std::vector<Principal> principals;  // in file order
  // Set when the file ends inside a block comment, which hides the rest of the
  // file, declarations included: the file still counts as read.
  std::optional<syntax::Diagnostic> unclosed_comment;
};

// Every declaration up to the end of the input. Throws syntax::SyntaxError
// (exception name "Parser.ParseError") on the first syntax error, and
// Stack_overflow on nesting deeper than kMaxNesting.
PrincipalsFile parse_principals(tokenizer::Lexer& lexer);

}  // namespace parser

}  // namespace analyser
