#include "driver/driver.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/gviz.h"
#include "driver/parsecmdline.h"
#include "logic/name_check.h"
#include "logic/pl_parser.h"
#include "node/node.h"
#include "parser/parser.h"
#include "parser/tokenizer.h"
#include "search/outcome.h"
#include "search/tracer.h"
#include "utils/utils.h"

namespace {

void warn(const std::string& text) {
  std::cerr << "warning: " << text << "\n";
}

// The compiler-style line of a syntax error met while reading the file at path,
// on standard error. The error may lie in the previous file: the rest of the line
// after the ";" that ends a file is read before the next file.
void report_diagnostic(syntax::Diagnostic diagnostic, const std::string& path) {
  if (diagnostic.text.empty()) return;
  if (diagnostic.where.file != path) {
    diagnostic.text += "; the rest of the line after the ';' that ends " + diagnostic.where.file +
                       " is read as the start of " + path;
  }
  std::cerr << syntax::diagnostic_line(diagnostic) << std::flush;
}

// Opens path as the tokenizer's input, parses it with parse (an entry of
// pl_parser), and ends the run with failure_text after the parser's reports when
// parse leaves an error code. A parse error that escapes parse is reported, then
// goes on.
template <typename Parse>
auto read_file(const std::string& path, Parse parse, const std::string& failure_text) {
  tokenizer::open_input(path);
  try {
    auto result = parse();
    if (pl_parser::error_code() != 0) {
      out() << pl_parser::error_message();
      report_diagnostic(pl_parser::diagnostic(), path);
      throw syntax_failure(failure_text);
    }
    tokenizer::close_input();
    return result;
  } catch (const PlParseError&) {
    report_diagnostic(pl_parser::diagnostic(), path);
    throw;
  }
}

// Principals in the reverse of their order in the file.
std::vector<Principal> read_principals(const std::string& path) {
  tokenizer::open_input(path);
  std::vector<Principal> principals;
  try {
    while (parser::more_principals()) {
      principals.push_back(parser::parse_principal());
      if (parser::error_code() != 0) {
        out() << parser::error_message();
        report_diagnostic(parser::diagnostic(), path);
        throw syntax_failure("\nSyntax error in parsing principals\n");
      }
    }
  } catch (const ParseError&) {
    report_diagnostic(parser::diagnostic(), path);
    throw;
  }
  // A block comment left open after the last declaration hides the rest of the
  // file, declarations included; the file still counts as read.
  if (parser::error_code() == syntax::kCommentNotClosed) {
    warn(path + ": " + parser::diagnostic().text + "; everything after it was ignored");
  }
  tokenizer::close_input();
  std::reverse(principals.begin(), principals.end());
  return principals;
}

// What the finished run has to say beyond its output: why it checked nothing,
// and, for a person watching a verification, the verdict.
void write_outcome(const SearchState& state) {
  const std::vector<std::string> warnings = run_warnings(state);
  const bool verdict = state.settings.mode == OutputMode::Verify && isatty(STDERR_FILENO);
  if (warnings.empty() && !verdict) return;
  // The progress display leaves the cursor at the end of its line.
  if (state.settings.feedback) std::cerr << "\n";
  for (const std::string& text : warnings) warn(text);
  if (verdict) std::cerr << verdict_line(state) << "\n";
  std::cerr << std::flush;
}

// Writes every report on standard output the moment the search finds it.
class PrintingObserver : public SearchObserver {
 public:
  void attack_found(const SearchState& state, const NodeRef& leaf,
                    const std::vector<WorkItem>& candidates) override {
    tracer::print_attack(state, leaf, candidates);
  }
  void trace_found(const SearchState& state, const NodeRef& leaf) override {
    tracer::print_trace(state, leaf);
  }
  void graph_path_found(const NodeRef& leaf, const GraphFields& fields) override {
    write_path(leaf, fields);
  }
};

void run(const std::vector<std::string>& args) {
  Settings settings = default_settings();
  if (args.size() < 2) {
    print_usage(false);
    return;
  }
  parse_command_line(args, settings);
  if (!settings.error.empty()) {
    out() << "\n" << settings.error << "\n";
    return;
  }
  if (settings.help) {
    print_usage(true);
    return;
  }
  if (settings.principals_file.empty() || settings.logic_file.empty() ||
      settings.join_file.empty() || settings.knowledge_file.empty()) {
    print_usage(false);
    return;
  }

  const Inputs inputs = read_inputs(settings);
  for (const std::string& text : input_warnings(settings, inputs)) warn(text);
  // The analysis pairs the knowledge terms and fails on a single one: say why.
  if (inputs.knowledge.size() == 1) {
    report_diagnostic(pl_parser::diagnostic(), settings.knowledge_file);
  }
  SearchState state = tracer::create(inputs.principals, inputs.knowledge, settings);
  tracer::join(state, inputs.formula, inputs.join_components);
  const bool graph = settings.mode == OutputMode::Graph;
  if (graph) graph_header("prova");
  PrintingObserver printer;
  tracer::search(state, printer);
  if (graph) graph_footer();
  write_outcome(state);
  if (settings.feedback) tracer::print_statistics(std::cerr, state);
}

}  // namespace

void reset_run_state() {
  tokenizer::reset();
  parser::reset();
  pl_parser::reset();
}

std::vector<std::string> input_warnings(const Settings& settings, const Inputs& inputs) {
  std::vector<std::string> warnings;
  for (const std::string& text : undeclared_names(inputs.formula, inputs.principals)) {
    warnings.push_back(settings.logic_file + ": " + text);
  }
  for (const std::string& text : undeclared_names(inputs.join_components, inputs.principals)) {
    warnings.push_back(settings.join_file + ": " + text);
  }
  return warnings;
}

Inputs read_inputs(const Settings& settings) {
  Inputs inputs;
  inputs.formula = read_file(settings.logic_file, pl_parser::parse_formula,
                             "\nSyntax error in parsing formula\n");
  inputs.join_components = read_file(settings.join_file, pl_parser::parse_formula,
                                     "\nSyntax error in parsing join components\n");
  inputs.knowledge = read_file(settings.knowledge_file, pl_parser::parse_knowledge,
                               "\nSyntax error in parsing knowledge\n");
  inputs.principals = read_principals(settings.principals_file);
  return inputs;
}

int run_driver(int argc, char** argv) {
  reset_run_state();
  try {
    run(std::vector<std::string>(argv, argv + argc));
  } catch (const Failure& failure) {
    return report_failure(failure.description());
  } catch (const std::bad_alloc&) {
    return report_failure("Out_of_memory");
  } catch (const std::length_error&) {  // a size beyond what memory can hold
    return report_failure("Out_of_memory");
  } catch (const std::exception& e) {
    return report_failure(e.what());
  }
  return 0;
}

int report_failure(const std::string& description) {
  out().flush();
  std::cerr << "Fatal error: exception " << description << "\n" << std::flush;
  return 2;
}
