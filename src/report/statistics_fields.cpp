#include "report/statistics_fields.h"

#include <cstdio>

namespace analyser {

namespace {

using S = AnalysisStatistics;

constexpr StatisticField kFields[] = {
    {"traces", "Traces", &S::traces},
    {"finished_runs", "Finished runs verified", &S::finished_runs},
    {"nodes", "Nodes", &S::nodes},
    {"sessions", "Sessions", &S::sessions},
    {"sessions_searched", "Sessions searched", &S::sessions_searched},
    {"pruned_sessions", "Pruned sessions", &S::pruned_sessions},
    {"attack_sets", "Attack sets", &S::attack_sets},
    {"join_seconds", "Join time (s)", &S::join_seconds},
    {"search_seconds", "Search time (s)", &S::search_seconds},
    {"verify_seconds", "Verify time (s)", &S::verify_seconds},
    {"moves_left_out", "Moves left out by the symmetry reduction", &S::moves_left_out},
    {"dead_ends_left_out", "Dead-end states left out", &S::dead_ends},
};

}  // namespace

std::span<const StatisticField> statistic_fields() {
  return kFields;
}

std::string statistic_text(const StatisticField& field, const AnalysisStatistics& s) {
  if (const auto* count = std::get_if<std::int64_t S::*>(&field.member)) {
    return std::to_string(s.**count);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", s.*std::get<double S::*>(field.member));
  return text;
}

}  // namespace analyser
