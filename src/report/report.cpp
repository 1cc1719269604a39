#include "report/report.h"

#include "report/chart.h"

namespace analyser {

Report make_report(const AnalysisOptions& options, AnalysisResult result, Verdict verdict) {
  Report report;
  report.session_size = options.session_size;
  report.inputs = std::move(result.inputs);
  report.charts = charts_of(result);
  report.result = std::move(result);
  report.verdict = std::move(verdict);
  return report;
}

std::vector<std::string> charts_of(const AnalysisResult& result) {
  std::vector<std::string> charts;
  ChartRenderer renderer;
  for (const AttackGroup& group : result.attacks) {
    charts.push_back(renderer.svg(sequence_chart_dot(group.representative)));
  }
  return charts;
}

std::string verdict_word(ExitStatus status) {
  switch (status) {
    case kNoAttack:
      return "no-attack";
    case kAttackFound:
      return "attack";
    case kBadInput:
      return "bad-input";
    case kNothingChecked:
      break;
  }
  return "nothing-checked";
}

std::string claim_status_word(ClaimStatus status) {
  switch (status) {
    case ClaimStatus::Holds:
      return "holds";
    case ClaimStatus::Attack:
      return "attack";
    case ClaimStatus::NotChecked:
      break;
  }
  return "not-checked";
}

std::string search_end_word(SearchEnd end) {
  switch (end) {
    case SearchEnd::Complete:
      return "complete";
    case SearchEnd::FirstAttack:
      return "first-attack";
    case SearchEnd::TimeLimit:
      break;
  }
  return "time-limit";
}

}  // namespace analyser
