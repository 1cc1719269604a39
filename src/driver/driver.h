// The program as a callable function: the command line, the four input files in
// their fixed order, the analysis, and the report of a failure that ends the run.
//
// Results go to out() and the failure report to standard error. Every call starts
// from the initial run-wide state (tokenizer, both parsers' error state, node
// identifiers), so one process may run the program more than once (the fuzzer
// does).
#pragma once

#include <string>
#include <vector>

#include "logic/logic.h"
#include "message/message.h"
#include "principal/principal.h"
#include "search/settings.h"

// The contents of the four input files of a run.
struct Inputs {
  Formula formula;
  Formula join_components;
  std::vector<Message> knowledge;     // in file order
  std::vector<Principal> principals;  // in reverse file order
};

// Reads the four files of settings in their fixed order: formula, join
// components, knowledge, principals. A syntax error writes the parser's error
// line on out() and its diagnostic ("FILE:LINE:COLUMN: error: ...") on standard
// error, and throws the syntax failure that names the file; a file that
// cannot be read throws Sys_error. Later files are then not opened.
Inputs read_inputs(const Settings& settings);

// What the inputs hold that is most likely a slip, one text per finding (without
// a "warning: " prefix): names the formula and the join components use that no
// role declares, each behind the name of the file it is in.
std::vector<std::string> input_warnings(const Settings& settings, const Inputs& inputs);

// Puts the run-wide state (tokenizer, both parsers' error state) back as a run
// begins with it.
void reset_run_state();

// Runs the program on argv[0..argc). Returns the exit status: 0 after a normal
// run, a usage text or a command-line error; 2 after a failure that nothing
// handles, reported by report_failure.
int run_driver(int argc, char** argv);

// Flushes out(), writes "Fatal error: exception <description>\n" to standard
// error and returns the exit status of a failed run, 2.
int report_failure(const std::string& description);
