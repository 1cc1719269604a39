// tool-merge: joins the shard files of a run cut into shards (TOOL_TOTAL_SHARDS
// and TOOL_SHARD_INDEX) into exactly what the run writes in one piece.
#include <iostream>
#include <string>
#include <vector>

#include "shard/shard_file.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc < 2) {
    std::cerr << "usage: tool-merge SHARD_FILE...\n"
                 "Writes the standard output of the run whose shard files are given (all of\n"
                 "them, in any order) and, when the run had -f, its statistics on standard\n"
                 "error; exits with the run's status.\n";
    return 2;
  }
  return analyser::shard::merge(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                std::cerr);
}
