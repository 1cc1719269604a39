#include "report/verdict.h"

namespace analyser {

namespace {

std::string counted(std::int64_t n, const std::string& singular, const std::string& plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

// What was covered, and the bound the result holds within.
std::string coverage(const AnalysisResult& result, std::int64_t session_size) {
  // The sessions the join admits, as tool counts them; those it pruned hold no run.
  const AnalysisStatistics& s = result.statistics;
  std::string sessions = counted(s.sessions - s.pruned_sessions, "session", "sessions");
  std::string pruned;
  if (s.pruned_sessions > 0) {
    pruned = " (" + std::to_string(s.pruned_sessions) + " more pruned by the join)";
  }
  if (result.end != SearchEnd::Complete) {
    sessions =
        std::to_string(s.sessions_searched) + " of " + counted(s.sessions, "session", "sessions");
    pruned.clear();
  }
  const std::string up_to_swaps =
      s.moves_left_out > 0 ? ", up to swaps of interchangeable instances," : "";
  return counted(s.finished_runs, "finished run", "finished runs") + " verified" + up_to_swaps +
         " in " + sessions + " of " + counted(session_size, "principal", "principals") + pruned +
         "; the result is bounded by this session size";
}

std::string attack_head(const AnalysisResult& result) {
  std::string head = "attack found (" +
                     counted(static_cast<std::int64_t>(result.attacks.size()), "distinct attack",
                             "distinct attacks") +
                     " in " + counted(result.statistics.attack_sets, "attack set", "attack sets");
  if (result.end == SearchEnd::FirstAttack) head += ", stopped at the first";
  if (result.end == SearchEnd::TimeLimit) head += ", time limit reached";
  return head + ")";
}

}  // namespace

Verdict judge(const AnalysisResult& result, std::int64_t session_size) {
  Verdict v;
  std::string head;
  if (!result.attacks.empty()) {
    v.status = kAttackFound;
    head = attack_head(result);
  } else if (result.end == SearchEnd::TimeLimit) {
    v.status = kNothingChecked;
    head = "nothing concluded (time limit reached, no attack found so far)";
  } else if (result.statistics.finished_runs == 0) {
    v.status = kNothingChecked;
    head = result.statistics.sessions == 0 ? "nothing checked (no session)"
                                           : "nothing checked (no finished run)";
  } else {
    v.status = kNoAttack;
    head = "no attack found";
  }
  v.line = "Verdict: " + head + "; " + coverage(result, session_size) + ".";
  return v;
}

}  // namespace analyser
