// tool-report's command line: the model, the session size, the search's options
// and the reports to write.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "report/analysis.h"

namespace analyser {

// What the command line asks for.
struct ReportCommand {
  AnalysisOptions options;         // the input files are left for model_files to fill in
  std::vector<std::string> model;  // a model folder, or the four files
  std::string svg_dir;             // each empty unless asked for
  std::string json_file;
  std::string html_file;
  // One shard's share of the run, its part written to json_file.
  std::optional<ShardSelection> shard;
  // The shard parts to merge into the run's report, instead of a model.
  std::vector<std::string> merge_parts;
};

// Parses the arguments (the program's name left out; -max is taken for --max).
// With --merge, the arguments are the shard parts and the reports to write.
// Returns the command, or else the exit status after --help or --version (their
// text written on out, status 0; --version names version) or an error in the
// arguments (explained on err, status 2).
std::variant<ReportCommand, int> parse_command_line(const std::vector<std::string>& args,
                                                    const std::string& version, std::ostream& out,
                                                    std::ostream& err);

}  // namespace analyser
