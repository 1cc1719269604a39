// tool-report: the analysis of the four input files as a verdict, the distinct
// attacks and, on request, their charts and a JSON or HTML report. The exit
// status tells a script the verdict (see report/verdict.h).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "report/analysis.h"
#include "report/files.h"
#include "report/html_report.h"
#include "report/json_report.h"
#include "report/report.h"
#include "report/summary.h"
#include "report/verdict.h"
#include "utils/utils.h"

using namespace analyser;

namespace {

// The analyser writes the session size as -max; the parser knows it as --max.
std::vector<std::string> arguments(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::string& a : args) {
    if (a == "-max") a = "--max";
  }
  std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
  return args;
}

// A failure's description on one line: the text of a Failure("...") alone.
std::string failure_text(std::string description) {
  if (description == "Stack_overflow") {
    return "an input nests deeper than 2000 levels (parentheses, braces, process or formula "
           "operators) or lists more than 2000 knowledge terms";
  }
  const std::string prefix = "Failure(\"";
  const std::string suffix = "\")";
  if (description.rfind(prefix, 0) == 0 && description.size() >= prefix.size() + suffix.size() &&
      description.compare(description.size() - suffix.size(), suffix.size(), suffix) == 0) {
    description =
        description.substr(prefix.size(), description.size() - prefix.size() - suffix.size());
  }
  std::string line;
  for (char c : description) {
    if (c != '\n') line += c;
  }
  return line;
}

// A validator that names a value that is not a number, as CLI11's own checks
// do not.
CLI::Validator number(const std::string& what) {
  return CLI::Validator(
      [what](std::string& value) -> std::string {
        std::istringstream in(value);
        double number = 0;
        if (in >> number && in.peek() == std::char_traits<char>::eof()) return "";
        return "'" + value + "' is not " + what;
      },
      "");
}

void write_charts(const std::string& dir, const std::vector<std::string>& charts) {
  std::filesystem::create_directories(dir);
  for (std::size_t k = 0; k < charts.size(); ++k) {
    write_file((std::filesystem::path(dir) / ("attack-" + std::to_string(k + 1) + ".svg")).string(),
               charts[k]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Analyses a security protocol within a bounded session size and reports the\n"
      "verdict and each distinct attack. Exit status: 0 no attack within the bound,\n"
      "1 attack found, 2 bad input, 3 nothing checked (no session, no finished run,\n"
      "or the time limit cut the search short without an attack).",
      "tool-report"};
  app.set_version_flag("--version", std::string("tool-report ") + PROJECT_VERSION);
  AnalysisOptions options;
  std::vector<std::string> model;
  app.add_option("model", model,
                 "a model folder (principals.txt, logic.txt, join.txt, knowledge.txt), or the "
                 "principals (the roles), logic (the security property), join (how the "
                 "principals of a session are bound) and knowledge (the intruder's initial "
                 "knowledge) files")
      ->required();
  app.add_option("--max,--session", options.session_size,
                 "the number of principals in a session (also -max N)")
      ->required()
      ->check(number("a number"))
      ->check(CLI::Range(std::int64_t{0}, std::numeric_limits<std::int64_t>::max()));
  app.add_flag("--first", options.first_only, "stop at the first attack");
  app.add_flag("--exhaustive", options.exhaustive,
               "explore every run, also those that only swap interchangeable instances");
  app.add_option("--time-limit", options.time_limit, "stop the search after SECONDS of wall time")
      ->type_name("SECONDS")
      ->check(number("a number of seconds"))
      ->check(CLI::PositiveNumber);
  app.add_flag("--knowledge-in-join", options.knowledge_in_join,
               "accept a join formula about the intruder's knowledge (':>')");
  std::string svg_dir;
  app.add_option("--svg-dir", svg_dir,
                 "write the chart of each distinct attack as DIR/attack-K.svg")
      ->type_name("DIR");
  std::string json_file;
  app.add_option("--json", json_file, "write the report as JSON to FILE")->type_name("FILE");
  std::string html_file;
  app.add_option("--html", html_file, "write the report as one HTML page to FILE")
      ->type_name("FILE");
  try {
    app.parse(arguments(argc, argv));
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    std::cerr << "tool-report: " << e.what() << "\nRun with --help for more information.\n";
    return kBadInput;
  }

  if (isatty(STDERR_FILENO) != 0) options.progress = &std::cerr;
  AnalysisResult result;
  try {
    const std::vector<InputFile> files = model_files(model);
    check_outputs(files, {{"--svg-dir", svg_dir}, {"--json", json_file}, {"--html", html_file}});
    options.principals_file = files[0].path;
    options.logic_file = files[1].path;
    options.join_file = files[2].path;
    options.knowledge_file = files[3].path;
    result = analyse(options);
  } catch (const InputError& e) {
    for (const std::string& line : e.lines()) {
      std::cerr << (e.located() ? "" : "tool-report: ") << line << "\n";
    }
    return kBadInput;
  } catch (const std::bad_alloc&) {  // a session size beyond what memory holds, say
    std::cerr << "tool-report: out of memory\n";
    return kBadInput;
  } catch (const std::exception& e) {
    std::cerr << "tool-report: bad input: " << failure_text(e.what()) << "\n";
    return kBadInput;
  }
  for (const std::string& text : result.warnings)
    std::cerr << "tool-report: warning: " << text << "\n";
  const Verdict verdict = judge(result, options.session_size);
  write_summary(std::cout, result, verdict);
  // A verdict that could not be written must not pass for one.
  if (!std::cout.flush()) {
    std::cerr << "tool-report: standard output cannot be written\n";
    return kBadInput;
  }
  if (svg_dir.empty() && json_file.empty() && html_file.empty()) return verdict.status;
  try {
    const Report report = make_report(options, std::move(result), verdict);
    if (!svg_dir.empty()) write_charts(svg_dir, report.charts);
    if (!json_file.empty()) write_file(json_file, json_report(report));
    if (!html_file.empty()) write_file(html_file, html_report(report));
  } catch (const std::exception& e) {
    std::cerr << "tool-report: " << failure_text(e.what()) << "\n";
    return kBadInput;
  }
  return verdict.status;
}
