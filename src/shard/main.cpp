// tool-merge: joins the shard files of a run cut into shards (TOOL_TOTAL_SHARDS
// and TOOL_SHARD_INDEX) into exactly what the run writes in one piece.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "shard/command_line.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  int status =
      analyser::shard::run_merge_command(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
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
