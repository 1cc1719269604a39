// The parser of the formula, join components and knowledge files, reading from
// a lexer. A syntax error ends the reading of the file.
#pragma once

#include <optional>
#include <vector>

#include "formula/formula.h"
#include "message/message.h"
#include "parser/syntax.h"
#include "parser/tokenizer.h"

namespace analyser {

namespace formula_parser {

// One formula up to and including ";". Throws syntax::SyntaxError (with an
// error line, exception name "Pl_parser.ParseError") on a syntax error, and
// Stack_overflow on nesting deeper than kMaxNesting.
Formula parse_formula(tokenizer::Lexer& lexer);

// A formula and where it stands in its file.
struct FormulaSpan {
  Formula formula;
  tokenizer::Location start;  // its first token
  tokenizer::Location end;    // the ";" that ends it
};

// Every formula up to the end of the input, in order, one at least: a file of
// several properties. Errors as parse_formula's; an input that ends inside a
// block comment after the last formula is one too ("Comment not closed"), since
// the comment may hide formulas.
std::vector<FormulaSpan> parse_formulas(tokenizer::Lexer& lexer);

struct KnowledgeFile {
  std::vector<Message> terms;  // in file order
  // The analysis needs two terms at least: a list of one comes with this
  // explanation, for the failure that follows.
  std::optional<syntax::Diagnostic> too_few_terms;
};

// term {"," term} ";". Throws syntax::SyntaxError (without an error line,
// exception name "Pl_parser.ParseError") on a syntax error; more than
// kMaxNesting terms (they are paired into one nested term) throw Stack_overflow.
KnowledgeFile parse_knowledge(tokenizer::Lexer& lexer);

}  // namespace formula_parser

}  // namespace analyser
