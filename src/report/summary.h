// The companion's standard output: each distinct attack, most frequent first,
// then the verdict line. A model of several claims has its attacks claim by
// claim, each saying which claim it violates, and the table of the claims
// before the verdict line.
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

// How a claim's status reads: "holds within the bound", "attack", "not checked".
std::string claim_status_text(ClaimStatus status);

// "2" or "2 (its name)": claim k of the result, counted from 0, as it is named.
std::string claim_label(const AnalysisResult& result, std::size_t k);

// The claims as a table: a header line, then one line per claim (its number,
// status, distinct attacks, the rank of its first distinct attack, and its name
// and text), the columns aligned and two blanks apart, each line indented by
// two blanks.
std::vector<std::string> claims_table(const AnalysisResult& result);

}  // namespace analyser
