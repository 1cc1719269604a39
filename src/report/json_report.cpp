#include "report/json_report.h"

#include <nlohmann/json.hpp>
#include <variant>

#include "report/statistics_fields.h"

namespace analyser {

namespace {

// Keys keep the order in which they are set.
using Json = nlohmann::ordered_json;

Json statistics_json(const AnalysisStatistics& s) {
  Json j;
  for (const StatisticField& field : statistic_fields()) {
    std::visit([&](auto member) { j[field.key] = s.*member; }, field.member);
  }
  return j;
}

Json attack_json(const AttackGroup& group, std::size_t rank, const std::string& chart) {
  const Attack& a = group.representative;
  Json j;
  j["rank"] = rank;
  j["claim"] = a.claim + 1;
  j["count"] = group.count;
  j["sessions"] = group.sessions;
  j["attack_set"] = a.attack_set;
  j["session"] = a.session;
  j["violated"] = a.violated;
  j["messages"] = Json::array();
  for (const Exchange& e : a.exchanges) {
    j["messages"].push_back(Json{{"from", e.sender}, {"to", e.receiver}, {"message", e.message}});
  }
  j["not_involved"] = a.bystanders;
  j["report"] = a.report;
  j["chart_svg"] = chart;
  return j;
}

}  // namespace

std::string json_report(const Report& report) {
  const AnalysisResult& result = report.result;
  Json j;
  j["schema"] = "tool-report/1";
  j["verdict"] = {{"result", verdict_word(report.verdict.status)},
                  {"exit_status", static_cast<int>(report.verdict.status)},
                  {"search", search_end_word(result.end)},
                  {"text", report.verdict.line}};
  j["session_size"] = report.session_size;
  j["inputs"] = Json::array();
  for (const InputFile& f : report.inputs) {
    j["inputs"].push_back(Json{{"role", f.role}, {"path", f.path}, {"text", f.text}});
  }
  j["sessions"] = Json::array();
  for (const Session& s : result.sessions) {
    j["sessions"].push_back(
        Json{{"number", s.number}, {"principals", s.principals}, {"pruned", s.pruned}});
  }
  j["claims"] = Json::array();
  for (std::size_t k = 0; k < result.claims.size(); ++k) {
    const ClaimResult& c = result.claims[k];
    j["claims"].push_back(
        Json{{"number", k + 1},
             {"name", c.name.empty() ? Json(nullptr) : Json(c.name)},
             {"text", c.text},
             {"path", c.file},
             {"line", c.line},
             {"status", claim_status_word(c.status)},
             {"distinct_attacks", c.distinct_attacks},
             {"attack_sets", c.attack_sets},
             {"first_attack", c.first_attack == 0 ? Json(nullptr) : Json(c.first_attack)}});
  }
  j["attacks"] = Json::array();
  for (std::size_t i = 0; i < result.attacks.size(); ++i) {
    j["attacks"].push_back(attack_json(result.attacks[i], i + 1, report.charts.at(i)));
  }
  j["statistics"] = statistics_json(result.statistics);
  // Input files may hold any byte: invalid UTF-8 is replaced, not refused.
  return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace analyser
