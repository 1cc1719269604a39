// The companion's verdict: the closing line and the exit status a script can
// branch on.
#pragma once

#include <string>

#include "report/analysis.h"

namespace analyser {

enum ExitStatus : int {
  kNoAttack = 0,        // every finished run within the bound was verified: no attack
  kAttackFound = 1,     // at least one attack set
  kBadInput = 2,        // the command line or an input file is wrong
  kNothingChecked = 3,  // no finished run verified, or the time limit cut the search short
};

struct Verdict {
  ExitStatus status = kNothingChecked;
  std::string line;  // one line, no line end
};

// An attack found stands even when the search was cut short; no attack found
// means something only when the search was complete and verified a run.
Verdict judge(const AnalysisResult& result, std::int64_t session_size);

}  // namespace analyser
