#include "search/outcome.h"

#include "search/statistics.h"

namespace analyser {

namespace {

std::string counted(std::int64_t n, const std::string& singular, const std::string& plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

}  // namespace

std::vector<std::string> run_warnings(const SearchState& state) {
  const std::int64_t size = state.options.session_size;
  if (size < 1) {
    return {"session size " + std::to_string(size) +
            " is below 1: no session was built and nothing was analysed (use -max 1 or more)"};
  }
  if (state.starting_count == 0) {
    return {"no session could be built: the principals file declares no role"};
  }
  if (search::pruned_count(state) == state.starting_count) {
    return {"the join formula prunes every session (" +
            counted(state.starting_count, "session", "sessions") +
            "): nothing was searched; check the join file"};
  }
  if (state.options.mode == OutputMode::Verify && state.counts.terminal_traces == 0) {
    return {
        "no run reached its end, so nothing was verified; look for a pattern that can "
        "never be received, for example a variable written without its '?'"};
  }
  return {};
}

std::string verdict_line(const SearchState& state) {
  const std::string found =
      state.counts.attacks == 0
          ? "no attack found"
          : counted(state.counts.attacks, "attack set", "attack sets") + " found (see the report)";
  return "verdict: " + found + "; " +
         counted(state.counts.terminal_traces, "finished run", "finished runs") + " verified in " +
         counted(state.starting_count - search::pruned_count(state), "session", "sessions") +
         " of " + counted(state.options.session_size, "principal", "principals") +
         "; the result holds for sessions of this size only";
}

}  // namespace analyser
