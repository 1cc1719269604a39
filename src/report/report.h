// Everything a written report holds: the bound, the four input files, the
// verdict, each distinct attack with its chart, and the statistics. The JSON
// and HTML writers show the same content.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/analysis.h"
#include "report/model.h"
#include "report/verdict.h"

namespace analyser {

struct Report {
  std::int64_t session_size = 0;
  std::vector<InputFile> inputs;  // in the order of the command line
  AnalysisResult result;
  Verdict verdict;
  std::vector<std::string> charts;  // the SVG chart of each of result.attacks
};

// The report of an analysis, its charts drawn; throws Failure when GraphViz
// refuses a chart.
Report make_report(const AnalysisOptions& options, AnalysisResult result, Verdict verdict);

// The SVG chart of each distinct attack, in the order of result.attacks.
std::vector<std::string> charts_of(const AnalysisResult& result);

// The words the written reports use for a verdict and for how the search ended.
std::string verdict_word(ExitStatus status);
std::string search_end_word(SearchEnd end);
// "holds", "attack" or "not-checked".
std::string claim_status_word(ClaimStatus status);

}  // namespace analyser
