// The parser of the formula, join components and knowledge files, reading from
// the shared tokenizer. Its error state (code and detail) is its own, shared by
// the three files and never reset during a run.
#pragma once

#include <string>
#include <vector>

#include "logic/logic.h"
#include "message/message.h"
#include "parser/syntax.h"
#include "utils/utils.h"

// "Pl_parser.ParseError": a syntax error (its code is recorded first).
class PlParseError : public Failure {
 public:
  PlParseError() : Failure("Pl_parser.ParseError") {}
};

// "Pl_parser.CantReduce": the formula stack cannot be reduced.
class PlCantReduce : public Failure {
 public:
  PlCantReduce() : Failure("Pl_parser.CantReduce") {}
};

namespace pl_parser {

// One formula up to and including ";". On a syntax error returns False with the
// error code set.
Formula parse_formula();
// term {"," term} ";", in file order. A syntax error throws PlParseError; more
// than kMaxNesting terms (they are paired into one nested term) Stack_overflow.
// The analysis needs two terms at least: a list of one is returned with a
// diagnostic left pending that says so (the error code stays 0).
std::vector<Message> parse_knowledge();
int error_code();
// "ER<code>: <message> <detail>  (<line>,<column>)\n".
std::string error_message();
// The pending error explained at its place in the file (empty text when none):
// set with the code, and also when PlParseError escapes parse_knowledge.
const syntax::Diagnostic& diagnostic();

// Back to the initial error state: code 0, empty detail (a new run in the same
// process).
void reset();

}  // namespace pl_parser
