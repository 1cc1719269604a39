#include "shard/command_line.h"

#include "shard/shard_file.h"

namespace analyser::shard {

namespace {

constexpr const char* kUsage =
    "usage: tool-merge SHARD_FILE...\n"
    "Writes the standard output of the run whose shard files are given (all of\n"
    "them, in any order) and, when the run had -f, its statistics on standard\n"
    "error; exits with the run's status. Shard files that are missing, repeated,\n"
    "damaged or from another run are refused, with status 2, before anything is\n"
    "written.\n";

}  // namespace

int run_merge_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      bool err_is_terminal) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  return merge(args, out, err, err_is_terminal);
}

}  // namespace analyser::shard
