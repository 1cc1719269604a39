// tool-report: the analysis of the four input files as a verdict, the distinct
// attacks and, on request, their charts and a JSON or HTML report. The exit
// status tells a script the verdict (see report/verdict.h).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "report/analysis.h"
#include "report/chart.h"
#include "report/files.h"
#include "report/summary.h"
#include "report/verdict.h"
#include "utils/utils.h"

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

// A failure's description on one line.
std::string one_line(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

// The SVG chart of each distinct attack, in the order of result.attacks.
std::vector<std::string> charts_of(const AnalysisResult& result) {
  std::vector<std::string> charts;
  for (const AttackGroup& group : result.attacks) {
    charts.push_back(render_svg(sequence_chart_dot(group.representative)));
  }
  return charts;
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
  app.add_option("principals", options.principals_file, "the roles")->required();
  app.add_option("logic", options.logic_file, "the security property")->required();
  app.add_option("join", options.join_file, "how the principals of a session are bound")
      ->required();
  app.add_option("knowledge", options.knowledge_file, "the intruder's initial knowledge")
      ->required();
  app.add_option("--max,--session", options.session_size,
                 "the number of principals in a session (also -max N)")
      ->required()
      ->check(CLI::Range(std::int64_t{0}, std::numeric_limits<std::int64_t>::max()));
  app.add_flag("--first", options.first_only, "stop at the first attack");
  app.add_option("--time-limit", options.time_limit, "stop the search after SECONDS of wall time")
      ->type_name("SECONDS")
      ->check(CLI::PositiveNumber);
  std::string svg_dir;
  app.add_option("--svg-dir", svg_dir,
                 "write the chart of each distinct attack as DIR/attack-K.svg")
      ->type_name("DIR");
  try {
    app.parse(arguments(argc, argv));
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : kBadInput;
  }

  std::ostringstream diagnostics;  // the parsers' error lines, for standard error
  AnalysisResult result;
  try {
    ScopedOutput capture(diagnostics);
    result = analyse(options);
  } catch (const std::exception& e) {
    std::cerr << diagnostics.str() << "tool-report: bad input: " << one_line(e.what()) << "\n";
    return kBadInput;
  }
  const Verdict verdict = judge(result, options.session_size);
  write_summary(std::cout, result, verdict);
  std::cout.flush();
  try {
    if (!svg_dir.empty()) write_charts(svg_dir, charts_of(result));
  } catch (const std::exception& e) {
    std::cerr << "tool-report: " << one_line(e.what()) << "\n";
    return kBadInput;
  }
  return verdict.status;
}
