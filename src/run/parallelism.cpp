#include "run/parallelism.h"

#include <charconv>
#include <optional>

#include "utils/utils.h"

namespace analyser {

namespace {

// The whole of text as a number in [low, high], or none.
std::optional<std::int64_t> number_in(const char* text, std::int64_t low, std::int64_t high) {
  const std::string_view s(text);
  std::int64_t n = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (s.empty() || error != std::errc() || end != s.data() + s.size() || n < low || n > high) {
    return std::nullopt;
  }
  return n;
}

constexpr std::int64_t kMaxThreads = 4096;
constexpr std::int64_t kMaxShards = 1'000'000;

// A variable set to nothing counts as not set.
const char* variable(const std::function<const char*(const char*)>& getenv, const char* name) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

int threads_from(const std::function<const char*(const char*)>& getenv,
                 std::vector<std::string>& warnings) {
  const int every_core = usable_cores();
  const char* text = variable(getenv, "TOOL_THREADS");
  if (text == nullptr) return every_core;
  if (const auto n = number_in(text, 1, kMaxThreads)) return static_cast<int>(*n);
  warnings.push_back("TOOL_THREADS=" + std::string(text) +
                     " is not a number of threads from 1 to " + std::to_string(kMaxThreads) +
                     "; using " + std::to_string(every_core));
  return every_core;
}

Parallelism parallelism_from(const std::function<const char*(const char*)>& getenv,
                             std::vector<std::string>& warnings) {
  Parallelism p;
  p.threads = threads_from(getenv, warnings);
  const char* total = variable(getenv, "TOOL_TOTAL_SHARDS");
  const char* index = variable(getenv, "TOOL_SHARD_INDEX");
  if (total == nullptr && index == nullptr) return p;
  const auto shards = total ? number_in(total, 1, kMaxShards) : std::nullopt;
  const auto shard = shards && index ? number_in(index, 0, *shards - 1) : std::nullopt;
  if (!shards || !shard) {
    throw Failure(
        "Invalid_argument(\"TOOL_TOTAL_SHARDS and TOOL_SHARD_INDEX must both be set, to a "
        "number of shards from 1 to " +
        std::to_string(kMaxShards) + " and an index below it\")");
  }
  p.shards = *shards;
  p.shard = *shard;
  return p;
}

}  // namespace analyser
