// How a run uses the machine: the threads of its search and, when it is one
// shard of a run split across processes, which one. Read from the environment,
// so that the command line stays as it is:
//  - TOOL_THREADS: the most threads the search uses, at least 1; every core by
//    default, and never more than the machine runs at once.
//  - TOOL_TOTAL_SHARDS and TOOL_SHARD_INDEX: the run is cut into that many
//    shards and this process analyses shard TOOL_SHARD_INDEX (from 0), writing
//    a shard file on standard output for tool-merge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace analyser {

struct Parallelism {
  int threads = 1;
  std::int64_t shards = 0;  // 0: not a shard
  std::int64_t shard = 0;
  // The most output the search's chunks hold between them while pieces before
  // them are unfinished: the search's own bound unless set (tests set a tiny one).
  std::optional<std::size_t> held_output;
};

// The parallelism the variables ask for, read through getenv. A thread count that
// is not a usable number adds a warning (without "warning: ") and is ignored; a
// shard selection that is not usable throws Failure, since the run would not
// write what its caller expects.
Parallelism parallelism_from(const std::function<const char*(const char*)>& getenv,
                             std::vector<std::string>& warnings);

// The thread count alone, as parallelism_from reads it.
int threads_from(const std::function<const char*(const char*)>& getenv,
                 std::vector<std::string>& warnings);

}  // namespace analyser
