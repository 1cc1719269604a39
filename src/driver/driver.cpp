#include "driver/driver.h"

#include <algorithm>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/gviz.h"
#include "driver/parsecmdline.h"
#include "logic/pl_parser.h"
#include "node/node.h"
#include "parser/parser.h"
#include "parser/tokenizer.h"
#include "search/tracer.h"
#include "utils/utils.h"

namespace {

// Opens path as the tokenizer's input, parses it with parse, and ends the run
// with failure_text after the parser's report when parse leaves an error code.
template <typename Parse, typename ErrorCode, typename ErrorMessage>
auto read_file(const std::string& path, Parse parse, ErrorCode error_code,
               ErrorMessage error_message, const std::string& failure_text) {
  tokenizer::open_input(path);
  auto result = parse();
  if (error_code() != 0) {
    out() << error_message();
    throw syntax_failure(failure_text);
  }
  tokenizer::close_input();
  return result;
}

// Principals in the reverse of their order in the file.
std::vector<Principal> read_principals(const std::string& path) {
  tokenizer::open_input(path);
  std::vector<Principal> principals;
  while (parser::more_principals()) {
    principals.push_back(parser::parse_principal());
    if (parser::error_code() != 0) {
      out() << parser::error_message();
      throw syntax_failure("\nSyntax error in parsing principals\n");
    }
  }
  tokenizer::close_input();
  std::reverse(principals.begin(), principals.end());
  return principals;
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
  SearchState state = tracer::create(inputs.principals, inputs.knowledge, settings);
  tracer::join(state, inputs.formula, inputs.join_components);
  const bool graph = settings.mode == OutputMode::Graph;
  if (graph) graph_header("prova");
  PrintingObserver printer;
  tracer::search(state, printer);
  if (graph) graph_footer();
  if (settings.feedback) tracer::print_statistics(std::cerr, state);
}

}  // namespace

void reset_run_state() {
  tokenizer::reset();
  parser::reset();
  pl_parser::reset();
  reset_node_ids();
}

Inputs read_inputs(const Settings& settings) {
  Inputs inputs;
  inputs.formula = read_file(settings.logic_file, pl_parser::parse_formula, pl_parser::error_code,
                             pl_parser::error_message, "\nSyntax error in parsing formula\n");
  inputs.join_components =
      read_file(settings.join_file, pl_parser::parse_formula, pl_parser::error_code,
                pl_parser::error_message, "\nSyntax error in parsing join components\n");
  inputs.knowledge =
      read_file(settings.knowledge_file, pl_parser::parse_knowledge, pl_parser::error_code,
                pl_parser::error_message, "\nSyntax error in parsing knowledge\n");
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
