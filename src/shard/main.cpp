// tool-merge: joins the shard files of a run cut into shards (TOOL_TOTAL_SHARDS
// and TOOL_SHARD_INDEX) into exactly what the run writes in one piece.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "shard/shard_file.h"

namespace {

constexpr const char* kUsage =
    "usage: tool-merge SHARD_FILE...\n"
    "Writes the standard output of the run whose shard files are given (all of\n"
    "them, in any order) and, when the run had -f, its statistics on standard\n"
    "error; exits with the run's status. Shard files that are missing, repeated,\n"
    "damaged or from another run are refused, with status 2, before anything is\n"
    "written.\n";

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  int status = 0;
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kUsage;
  } else {
    status = analyser::shard::merge(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
  }
  // Output that could not be written must not pass for a successful merge.
  if (!std::cout.flush() && status == 0) {
    std::cerr << "tool-merge: standard output could not be written\n";
    status = 2;
  }
  // Nor may the run's warnings, statistics or failure report, though nothing
  // can say so any more.
  if (!std::cerr.flush()) status = 2;
  return status;
}
