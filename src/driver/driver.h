// The program as a callable function: the command line, the four input files in
// their fixed order, the analysis, and the report of a failure that ends the run.
//
// A run writes only to the streams it is given: results on one, diagnostics,
// warnings, progress, statistics and the failure report on the other.
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

#include "driver/parallelism.h"
#include "driver/settings.h"
#include "formula/formula.h"
#include "message/message.h"
#include "parser/syntax.h"
#include "parser/tokenizer.h"
#include "principal/principal.h"
#include "utils/utils.h"

namespace analyser {

// The contents of the four input files of a run.
struct Inputs {
  Formula formula;
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
// diagnostic. A file that cannot be read throws Sys_error. Later files are then
// not opened. A principals file that ends inside a block comment is warned
// about on io.err.
Inputs read_inputs(const Settings& settings, const RunStreams& io,
                   const SourceReader& read_source = tokenizer::read_source_file);

// What the inputs hold that is most likely a slip, one text per finding (without
// a "warning: " prefix): names the formula and the join components use that no
// role declares, each behind the name of the file it is in.
std::vector<std::string> input_warnings(const Settings& settings, const Inputs& inputs);

// Runs the program on its arguments (the program's name first). Returns the
// exit status: 0 after a normal run, a usage text or a command-line error; 2
// after a failure that nothing handles, reported by report_failure.
// parallelism says how the search uses the machine (see parallelism.h).
int run_driver(const std::vector<std::string>& args, const RunStreams& io,
               const Parallelism& parallelism = {});

// Writes the failure's output on io.out and flushes it, writes "Fatal error:
// exception <description>\n" on io.err and returns the exit status of a failed
// run, 2.
int report_failure(const RunStreams& io, const Failure& failure);

}  // namespace analyser
