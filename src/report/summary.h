// The companion's standard output: each distinct attack, most frequent first,
// then the verdict line.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "report/analysis.h"
#include "report/verdict.h"

namespace analyser {

// "2 (B_1 A_2), 5 (B_1 A_2 A_3)", with at most limit sessions named before
// "and N more".
std::string sessions_text(const AttackGroup& group, const std::vector<Session>& sessions,
                          std::size_t limit);

void write_summary(std::ostream& os, const AnalysisResult& result, const Verdict& verdict);

}  // namespace analyser
