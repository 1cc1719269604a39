// The statistics of an analysis as the written reports show them: one list of
// fields, in the order both the JSON and the HTML report give them, so that a
// statistic added to AnalysisStatistics is added to both by adding it here.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "report/analysis.h"

namespace analyser {

struct StatisticField {
  const char* key;    // the JSON key: "finished_runs"
  const char* label;  // the HTML row heading: "Finished runs verified"
  // The member it shows: a count, or processor seconds.
  std::variant<std::int64_t AnalysisStatistics::*, double AnalysisStatistics::*> member;
};

// Every statistic, each once, in the reports' order.
std::span<const StatisticField> statistic_fields();

// The field's value in s: a count as a whole number, seconds with three decimals.
std::string statistic_text(const StatisticField& field, const AnalysisStatistics& s);

}  // namespace analyser
