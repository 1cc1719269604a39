#include "report/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <sstream>

#include "report/verdict.h"

namespace analyser {

namespace {

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

// "I/N" with 0 <= I < N, or none.
std::optional<ShardSelection> shard_of(const std::string& text) {
  long long index = -1;
  long long count = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%lld/%lld%c", &index, &count, &extra) != 2 || count < 1 ||
      index < 0 || index >= count || text.find_first_not_of("0123456789/") != std::string::npos) {
    return std::nullopt;
  }
  return ShardSelection{index, count};
}

void add_report_files(CLI::App& app, ReportCommand& command) {
  app.add_option("--svg-dir", command.svg_dir,
                 "write the chart of each distinct attack as DIR/attack-K.svg")
      ->type_name("DIR");
  app.add_option("--json", command.json_file,
                 "write the report as JSON to FILE (with --shard: the shard's part)")
      ->type_name("FILE");
  app.add_option("--html", command.html_file, "write the report as one HTML page to FILE")
      ->type_name("FILE");
}

// Parses reversed arguments with app; the status after --help, --version or an
// error, or none.
std::optional<int> parse(CLI::App& app, std::vector<std::string> reversed, std::ostream& out,
                         std::ostream& err) {
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, out, err);  // --help, --version
    err << "tool-report: " << e.what() << "\nRun with --help for more information.\n";
    return kBadInput;
  }
  return std::nullopt;
}

std::variant<ReportCommand, int> parse_merge(const std::vector<std::string>& reversed,
                                             std::ostream& out, std::ostream& err) {
  CLI::App app{
      "Merges the parts of a run cut into shards (tool-report ... --shard I/N --json\n"
      "PART) into the report of the whole run.",
      "tool-report --merge"};
  ReportCommand command;
  app.add_option("--merge", command.merge_parts, "the shard parts, one per shard")
      ->required()
      ->expected(1, -1)
      ->type_name("PART");
  add_report_files(app, command);
  if (const auto status = parse(app, reversed, out, err)) return *status;
  return command;
}

}  // namespace

std::variant<ReportCommand, int> parse_command_line(const std::vector<std::string>& args,
                                                    const std::string& version, std::ostream& out,
                                                    std::ostream& err) {
  CLI::App app{
      "Analyses a security protocol within a bounded session size and reports the\n"
      "verdict and each distinct attack. Exit status: 0 no attack within the bound,\n"
      "1 attack found, 2 bad input, 3 nothing checked (no session, no finished run,\n"
      "or the time limit cut the search short without an attack).",
      "tool-report"};
  app.set_version_flag("--version", "tool-report " + version);
  ReportCommand command;
  AnalysisOptions& options = command.options;
  app.add_option("model", command.model,
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
  app.add_option("--time-limit", options.time_limit,
                 "stop after SECONDS of wall time, composing sessions included")
      ->type_name("SECONDS")
      ->check(number("a number of seconds"))
      ->check(CLI::PositiveNumber);
  app.add_flag("--knowledge-in-join", options.knowledge_in_join,
               "accept a join formula about the intruder's knowledge (':>')");
  add_report_files(app, command);
  std::string shard;
  app.add_option("--shard", shard,
                 "search shard I of N of the run and write its part to --json FILE, for "
                 "--merge")
      ->type_name("I/N");
  app.add_flag("--merge")->description(
      "merge shard parts: tool-report --merge PART... (see --merge --help)");

  // The analyser writes the session size as -max; the parser knows it as --max.
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  std::replace(reversed.begin(), reversed.end(), std::string("-max"), std::string("--max"));
  if (std::find(args.begin(), args.end(), "--merge") != args.end()) {
    return parse_merge(reversed, out, err);
  }
  if (const auto status = parse(app, reversed, out, err)) return *status;
  if (!shard.empty()) {
    command.shard = shard_of(shard);
    const char* wrong = !command.shard ? "--shard takes I/N, a shard index below a count"
                        : command.json_file.empty()
                            ? "--shard writes the shard's part to --json FILE: give it"
                        : !command.html_file.empty() || !command.svg_dir.empty()
                            ? "--shard writes only the shard's part; --merge writes the reports"
                        : options.first_only || options.time_limit
                            ? "--shard searches its share to the end: it takes no --first or "
                              "--time-limit"
                            : nullptr;
    if (wrong != nullptr) {
      err << "tool-report: " << wrong << "\nRun with --help for more information.\n";
      return kBadInput;
    }
  }
  return command;
}

}  // namespace analyser
