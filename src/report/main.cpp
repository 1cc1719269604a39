// tool-report: the analysis of the four input files as a verdict, the distinct
// attacks and, on request, their charts and a JSON or HTML report. The exit
// status tells a script the verdict (see report/verdict.h).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "report/analysis.h"
#include "report/command_line.h"
#include "report/files.h"
#include "report/html_report.h"
#include "report/json_report.h"
#include "report/report.h"
#include "report/summary.h"
#include "report/verdict.h"
#include "run/parallelism.h"
#include "utils/utils.h"

using namespace analyser;

namespace {

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

void write_charts(const std::string& dir, const std::vector<std::string>& charts) {
  std::filesystem::create_directories(dir);
  for (std::size_t k = 0; k < charts.size(); ++k) {
    write_file((std::filesystem::path(dir) / ("attack-" + std::to_string(k + 1) + ".svg")).string(),
               charts[k]);
  }
}

// The analysis the command asks for, its verdict on standard output and the
// reports it asks for; the exit status. Stops, with status 2, as soon as a
// write to standard output or standard error fails.
int run(ReportCommand command) {
  AnalysisOptions& options = command.options;
  if (isatty(STDERR_FILENO) != 0) options.progress = &std::cerr;
  std::vector<std::string> thread_warnings;
  options.threads = threads_from(std::getenv, thread_warnings);
  for (const std::string& text : thread_warnings)
    std::cerr << "tool-report: warning: " << text << "\n";
  AnalysisResult result;
  try {
    const bool merging = !command.merge_parts.empty();
    std::vector<InputFile> files;
    if (merging) {
      for (const std::string& path : command.merge_parts) files.push_back({"shard part", path, ""});
    } else {
      files = model_files(command.model);
    }
    check_outputs(files, {{"--svg-dir", command.svg_dir},
                          {"--json", command.json_file},
                          {"--html", command.html_file}});
    if (merging) {
      std::vector<ShardPart> parts;
      for (const std::string& path : command.merge_parts) parts.push_back(read_part(path));
      parts = one_run(std::move(parts), command.merge_parts);
      options = options_of(parts.front(), options.threads);
      result = merged_analysis(parts, options.threads);
    } else {
      options.principals_file = files[0].path;
      options.logic_file = files[1].path;
      options.join_file = files[2].path;
      options.knowledge_file = files[3].path;
      if (command.shard) {
        // A shard writes its part and nothing else: the verdict is the merge's.
        write_file(command.json_file, encoded_part(analyse_shard(options, *command.shard)));
        return 0;
      }
      result = analyse(options);
    }
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
  // Warnings that could not be written must not pass for none.
  if (!std::cerr.flush()) return kBadInput;
  const Verdict verdict = judge(result, options.session_size);
  write_summary(std::cout, result, verdict);
  // A verdict that could not be written must not pass for one.
  if (!std::cout.flush()) {
    std::cerr << "tool-report: standard output cannot be written\n";
    return kBadInput;
  }
  if (command.svg_dir.empty() && command.json_file.empty() && command.html_file.empty())
    return verdict.status;
  try {
    const Report report = make_report(options, std::move(result), verdict);
    if (!command.svg_dir.empty()) write_charts(command.svg_dir, report.charts);
    if (!command.json_file.empty()) write_file(command.json_file, json_report(report));
    if (!command.html_file.empty()) write_file(command.html_file, html_report(report));
  } catch (const std::exception& e) {
    std::cerr << "tool-report: " << failure_text(e.what()) << "\n";
    return kBadInput;
  }
  return verdict.status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto parsed = parse_command_line(args, PROJECT_VERSION, std::cout, std::cerr);
  int status = std::holds_alternative<int>(parsed)
                   ? std::get<int>(parsed)
                   : run(std::move(std::get<ReportCommand>(parsed)));
  // Output that could not be written must not pass for a verdict: not the
  // usage text, and not a warning or an error on standard error, though nothing
  // can say so any more.
  if (!std::cout.flush() || !std::cerr.flush()) status = kBadInput;
  return status;
}
