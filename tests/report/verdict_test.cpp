#include "report/verdict.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace analyser {

namespace {

TEST(Verdict, StatusAndClosingLine) {
  struct Case {
    std::size_t distinct;
    SearchEnd end;
    std::int64_t finished_runs;
    std::int64_t sessions;
    std::int64_t searched;
    std::int64_t pruned;
    std::int64_t moves_left_out;
    ExitStatus status;
    std::string line;
  };
  const std::vector<Case> cases = {
      {0, SearchEnd::Complete, 10, 3, 3, 0, 0, kNoAttack,
       "Verdict: no attack found; 10 finished runs verified in 3 sessions of 2 principals; the "
       "result is bounded by this session size."},
      {1, SearchEnd::Complete, 1, 1, 1, 0, 0, kAttackFound,
       "Verdict: attack found (1 distinct attack in 4 attack sets); 1 finished run verified in 1 "
       "session of 2 principals; the result is bounded by this session size."},
      {2, SearchEnd::FirstAttack, 7, 3, 2, 0, 0, kAttackFound,
       "Verdict: attack found (2 distinct attacks in 4 attack sets, stopped at the first); 7 "
       "finished runs verified in 2 of 3 sessions of 2 principals; the result is bounded by "
       "this session size."},
      // An attack found before the time limit is still an attack.
      {1, SearchEnd::TimeLimit, 7, 3, 2, 0, 0, kAttackFound,
       "Verdict: attack found (1 distinct attack in 4 attack sets, time limit reached); 7 "
       "finished runs verified in 2 of 3 sessions of 2 principals; the result is bounded by "
       "this session size."},
      {0, SearchEnd::TimeLimit, 7, 3, 2, 0, 0, kNothingChecked,
       "Verdict: nothing concluded (time limit reached, no attack found so far); 7 finished runs "
       "verified in 2 of 3 sessions of 2 principals; the result is bounded by this session "
       "size."},
      {0, SearchEnd::Complete, 0, 0, 0, 0, 0, kNothingChecked,
       "Verdict: nothing checked (no session); 0 finished runs verified in 0 sessions of 2 "
       "principals; the result is bounded by this session size."},
      {0, SearchEnd::Complete, 0, 6, 6, 0, 0, kNothingChecked,
       "Verdict: nothing checked (no finished run); 0 finished runs verified in 6 sessions of 2 "
       "principals; the result is bounded by this session size."},
      // Sessions the join prunes are counted apart, as the analyser counts them.
      {0, SearchEnd::Complete, 10, 5, 5, 1, 0, kNoAttack,
       "Verdict: no attack found; 10 finished runs verified in 4 sessions of 2 principals (1 more "
       "pruned by the join); the result is bounded by this session size."},
      // Runs that only swap interchangeable instances were left out.
      {0, SearchEnd::Complete, 10, 3, 3, 0, 5, kNoAttack,
       "Verdict: no attack found; 10 finished runs verified, up to swaps of interchangeable "
       "instances, in 3 sessions of 2 principals; the result is bounded by this session size."},
  };
  for (const Case& c : cases) {
    AnalysisResult result;
    result.end = c.end;
    result.attacks.resize(c.distinct);
    result.statistics.attack_sets = c.distinct == 0 ? 0 : 4;
    result.statistics.finished_runs = c.finished_runs;
    result.statistics.sessions = c.sessions;
    result.statistics.sessions_searched = c.searched;
    result.statistics.pruned_sessions = c.pruned;
    result.statistics.moves_left_out = c.moves_left_out;
    const Verdict v = judge(result, 2);
    EXPECT_EQ(v.status, c.status) << c.line;
    EXPECT_EQ(v.line, c.line);
  }
}

}  // namespace

}  // namespace analyser
