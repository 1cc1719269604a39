// The principals file parser: one role declaration at a time, reading from the
// shared tokenizer. Errors are recorded as a code (its own table) and reported by
// the driver; parsing never resumes after one.
#pragma once

#include <string>

#include "parser/syntax.h"
#include "principal/principal.h"
#include "utils/utils.h"

// "Parser.ParseError": a syntax error (its code is recorded first).
class ParseError : public Failure {
 public:
  ParseError() : Failure("Parser.ParseError") {}
};

// "Parser.CantReduce": the process expression cannot be reduced.
class CantReduce : public Failure {
 public:
  CantReduce() : Failure("Parser.CantReduce") {}
};

namespace parser {

// True unless the next token is the end of the input (the token is pushed back).
bool more_principals();
// One declaration. On an error returns the placeholder principal with the code set.
Principal parse_principal();
int error_code();
// "ER<code>: <message> <detail>  (<line>,<column>)\n".
std::string error_message();
// The pending error explained at its place in the file (empty text when none):
// set with the code, and also when a ParseError escapes parse_principal or
// more_principals.
const syntax::Diagnostic& diagnostic();

// Back to the initial error state: code 0, empty detail (a new run in the same
// process).
void reset();

}  // namespace parser
