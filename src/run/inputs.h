// Reading a run's four input files in their fixed order, through the one
// lexer, and what the inputs hold that is most likely a slip: what the analyser
// and the report companion share before their searches.
//
// Ordering invariants:
//  1. The knowledge terms keep their file order; the principals come in reverse
//     file order, which numbers the role templates sessions are drawn from.
//  2. input_warnings lists the formula's findings, then the join components'.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "formula/claims.h"
#include "formula/formula.h"
#include "message/message.h"
#include "parser/syntax.h"
#include "parser/tokenizer.h"
#include "principal/principal.h"
#include "run/settings.h"

namespace analyser {

// The contents of the four input files of a run.
struct Inputs {
  Formula formula;  // the logic file's first formula
  // With settings.every_claim: every formula of the logic file, in order (the
  // first is formula); otherwise none.
  std::vector<Claim> claims;
  Formula join_components;
  std::vector<Message> knowledge;     // in file order
  std::vector<Principal> principals;  // in reverse file order
  // Set when the knowledge holds one term only, which the analysis cannot pair:
  // the explanation at the end of the knowledge file.
  std::optional<syntax::Diagnostic> too_few_knowledge_terms;
  // Set when the principals file ends inside a block comment, which hides the
  // declarations after it: where the comment opens.
  std::optional<syntax::Diagnostic> unclosed_comment;
};

// How a run gets the text of an input file from its path: by default it reads
// the file; a program that read its inputs already hands over the texts.
using SourceReader = std::function<tokenizer::SourceFile(const std::string& path)>;

// Where a run writes: standard output, standard error, and whether the latter
// is a terminal (a person watching a verification is told its verdict).
struct RunStreams {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal = false;
};

// Reads the four files of settings in their fixed order: formula, join
// components, knowledge, principals, each file's lexer going on from where the
// previous file's stopped (the line count and the unread rest of a line). A
// syntax error writes the parser's error line on io.out and its diagnostic
// ("FILE:LINE:COLUMN: error: ...") on io.err, and throws the syntax failure
// that names the file; an error without an error line is rethrown after its
// diagnostic. A file that cannot be read throws Sys_error. With
// settings.every_claim the logic file is read to its end, every formula a claim. Later files are
// then not opened. A principals file that ends inside a block comment is warned about on io.err.
Inputs read_inputs(const Settings& settings, const RunStreams& io,
                   const SourceReader& read_source = tokenizer::read_source_file);

// What the inputs hold that is most likely a slip, one text per finding (without
// a "warning: " prefix): names the formula and the join components use that no
// role declares, each behind the name of the file it is in.
std::vector<std::string> input_warnings(const Settings& settings, const Inputs& inputs);

// Writes "warning: TEXT" on io.err.
void warn(const RunStreams& io, const std::string& text);

// The compiler-style line of a syntax error met while reading the file at path,
// on io.err. The error may lie in the previous file: the rest of the line after
// the ";" that ends a file is read before the next file.
void report_diagnostic(const RunStreams& io, syntax::Diagnostic diagnostic,
                       const std::string& path);

}  // namespace analyser
