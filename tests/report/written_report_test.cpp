#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/html_report.h"
#include "report/json_report.h"
#include "report/report.h"
#include "report/statistics_fields.h"
#include "text_matches.h"

namespace analyser {

namespace {

Report report_of_example(const std::string& name, std::int64_t session_size) {
  const std::string dir = std::string(EXAMPLES_DIR) + "/" + name + "/";
  AnalysisOptions options;
  options.principals_file = dir + "principals.txt";
  options.logic_file = dir + "logic.txt";
  options.join_file = dir + "join.txt";
  options.knowledge_file = dir + "knowledge.txt";
  options.session_size = session_size;
  options.all_attacks = true;  // nsl-oracle then has four attacks to lay out
  AnalysisResult result = analyse(options);
  const Verdict verdict = judge(result, session_size);
  return make_report(options, std::move(result), verdict);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(JsonReport, HoldsTheVerdictInputsAttacksAndStatistics) {
  const Report report = report_of_example("nsl-oracle", 2);
  const nlohmann::json j = nlohmann::json::parse(json_report(report));
  EXPECT_EQ(j["schema"], "tool-report/1");
  EXPECT_EQ(j["verdict"]["result"], "attack");
  EXPECT_EQ(j["verdict"]["exit_status"], 1);
  EXPECT_EQ(j["verdict"]["text"], report.verdict.line);
  EXPECT_EQ(j["session_size"], 2);
  ASSERT_EQ(j["inputs"].size(), 4u);
  EXPECT_EQ(j["inputs"][3]["role"], "knowledge");
  EXPECT_EQ(j["inputs"][3]["text"], report.inputs[3].text);
  ASSERT_EQ(j["attacks"].size(), 4u);
  EXPECT_EQ(j["attacks"][0]["count"], 2);
  EXPECT_EQ(j["attacks"][0]["sessions"], nlohmann::json::array({2}));
  EXPECT_EQ(j["attacks"][0]["messages"][0],
            (nlohmann::json{{"from", "A_2"}, {"to", "I"}, {"message", "{[na_2,A_2]}B_1+"}}));
  EXPECT_NE(j["attacks"][0]["chart_svg"].get<std::string>().find("<svg"), std::string::npos);
  EXPECT_EQ(j["statistics"]["attack_sets"], 5);
  EXPECT_EQ(j["statistics"]["finished_runs"], 15);
}

TEST(HtmlReport, OneChartPerDistinctAttackAndEveryInputEscaped) {
  const Report report = report_of_example("nsl-oracle", 2);
  const std::string html = html_report(report);
  EXPECT_EQ(occurrences(html, "<svg"), 4u);
  EXPECT_EQ(occurrences(html, "<section class=\"attack\""), 4u);
  EXPECT_EQ(occurrences(html, "<pre class=\"input\">"), 4u);
  EXPECT_NE(html.find(html_escaped(report.verdict.line)), std::string::npos);
  EXPECT_NE(html.find("A_2 -&gt; I: {[na_2,A_2]}B_1+"), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
}

TEST(HtmlReport, ATableOfTheAttacksLinksToEachAndEachLinksOnward) {
  const Report report = report_of_example("nsl-oracle", 2);
  const std::string html = html_report(report);
  // The table comes before the first attack, a row per attack linking to its section.
  const std::size_t table = html.find("<table class=\"attacks\">");
  ASSERT_NE(table, std::string::npos);
  EXPECT_LT(table, html.find("<section class=\"attack\""));
  EXPECT_EQ(matches(html.substr(table, html.find("</table>", table) - table),
                    R"re(<tr><td><a href="#(attack-\d+)">)re"),
            (std::vector<std::string>{"attack-1", "attack-2", "attack-3", "attack-4"}));
  // Each section links to its neighbours and to the top.
  struct Case {
    std::string section;
    std::vector<std::string> links;
  };
  const std::vector<Case> cases = {
      {"attack-1", {"attack-2", "top"}},
      {"attack-2", {"attack-1", "attack-3", "top"}},
      {"attack-4", {"attack-3", "top"}},
  };
  for (const Case& c : cases) {
    const std::size_t start = html.find("<section class=\"attack\" id=\"" + c.section + "\">");
    ASSERT_NE(start, std::string::npos) << c.section;
    const std::size_t nav = html.find("</nav>", start);
    EXPECT_EQ(matches(html.substr(start, nav - start), R"re(<a href="#([^"]*)")re"), c.links);
  }
}

TEST(HtmlReport, NoIdTwiceAndEveryLinkWithinThePageFindsItsTarget) {
  const std::string html = html_report(report_of_example("nsl-oracle", 2));
  std::vector<std::string> ids = matches(html, R"re(\sid="([^"]*)")re");
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end())
      << *std::adjacent_find(ids.begin(), ids.end());
  for (const std::string& target : matches(html, R"re(href="#([^"]*)")re")) {
    EXPECT_TRUE(std::binary_search(ids.begin(), ids.end(), target)) << target;
  }
}

TEST(HtmlReport, InputsFoldedSessionsListedAndEveryStatistic) {
  const Report report = report_of_example("nspk", 2);
  const std::string html = html_report(report);
  EXPECT_EQ(occurrences(html, "<details>\n<summary>"), 5u);  // four inputs, the sessions
  EXPECT_LT(html.find("<section id=\"inputs\">"), html.find("<section class=\"attack\""));
  std::vector<std::string> rows = matches(html, R"re(<tr><td>(\d+</td><td>[^<]*</td><td>\w+)<)re");
  ASSERT_EQ(rows.size(), report.result.sessions.size());
  for (const Session& s : report.result.sessions) {
    std::string principals;
    for (const std::string& p : s.principals) principals += (principals.empty() ? "" : " ") + p;
    EXPECT_EQ(rows[static_cast<std::size_t>(s.number - 1)], std::to_string(s.number) + "</td><td>" +
                                                                principals + "</td><td>" +
                                                                (s.pruned ? "pruned" : "kept"));
  }
  for (const StatisticField& field : statistic_fields()) {
    EXPECT_NE(html.find(std::string("<tr><th>") + field.label + "</th><td>" +
                        statistic_text(field, report.result.statistics) + "</td></tr>"),
              std::string::npos)
        << field.key;
  }
}

// A report of count distinct attacks in one session, attack K's full report
// "report of attack K", its chart an empty svg element.
Report report_of_attacks(std::size_t count) {
  Report report;
  report.result.sessions = {Session{1, {"A_1", "B_2"}, false}};
  for (std::size_t k = 1; k <= count; ++k) {
    AttackGroup group;
    group.count = 1;
    group.sessions = {1};
    group.representative.exchanges = {{"A_1", "I", "m"}};
    group.representative.report = "report of attack " + std::to_string(k);
    report.result.attacks.push_back(group);
    report.charts.push_back("<svg></svg>");
  }
  return report;
}

TEST(HtmlReport, FullReportsOfTheFirstTwentyAttacksOnly) {
  struct Case {
    std::size_t attacks;
    std::size_t reports;  // shown in full
  };
  for (const Case& c : std::vector<Case>{{1, 1}, {20, 20}, {21, 20}, {57, 20}}) {
    const std::string html = html_report(report_of_attacks(c.attacks));
    std::vector<std::string> shown = matches(html, R"re(report of attack (\d+))re");
    std::vector<std::string> expected;
    for (std::size_t k = 1; k <= c.reports; ++k) expected.push_back(std::to_string(k));
    EXPECT_EQ(shown, expected) << c.attacks;
    EXPECT_EQ(occurrences(html, "<p class=\"report-left-out\">"), c.attacks - c.reports);
  }
}

TEST(JsonReport, EveryStatisticInTheOrderOfTheFieldList) {
  const Report report = report_of_example("nspk", 2);
  const nlohmann::ordered_json j = nlohmann::ordered_json::parse(json_report(report));
  std::vector<std::string> keys;
  for (const auto& [key, value] : j["statistics"].items()) keys.push_back(key);
  std::vector<std::string> expected;
  for (const StatisticField& field : statistic_fields()) expected.push_back(field.key);
  EXPECT_EQ(keys, expected);
}

// One entry per claim, in order, each with the attacks filed under it; the
// attacks name their claim.
TEST(JsonReport, ClaimsOneEntryEach) {
  const std::string dir = std::string(EXAMPLES_DIR) + "/../tests/e2e/report-claims/";
  AnalysisOptions options;
  options.principals_file = dir + "principals.txt";
  options.logic_file = dir + "logic.txt";
  options.join_file = dir + "join.txt";
  options.knowledge_file = dir + "knowledge.txt";
  options.claim_files = {dir + "more-claims.txt"};
  options.session_size = 2;
  AnalysisResult result = analyse(options);
  const Verdict verdict = judge(result, 2);
  const nlohmann::json j =
      nlohmann::json::parse(json_report(make_report(options, result, verdict)));
  ASSERT_EQ(j["claims"].size(), 4u);
  EXPECT_EQ(j["claims"][0], (nlohmann::json{{"number", 1},
                                            {"name", "secrecy of nb"},
                                            {"text", "forall B.i: not :> nb_i ;"},
                                            {"path", dir + "logic.txt"},
                                            {"line", 4},
                                            {"status", "attack"},
                                            {"distinct_attacks", 1},
                                            {"attack_sets", 1},
                                            {"first_attack", 1}}));
  std::vector<std::string> statuses;
  for (const auto& claim : j["claims"]) statuses.push_back(claim["status"]);
  EXPECT_EQ(statuses, (std::vector<std::string>{"attack", "holds", "holds", "attack"}));
  EXPECT_EQ(j["claims"][1]["first_attack"], nullptr);
  EXPECT_EQ(j["claims"][3]["path"], dir + "more-claims.txt");
  EXPECT_EQ(j["claims"][3]["first_attack"], 2);
  ASSERT_EQ(j["attacks"].size(), 2u);
  EXPECT_EQ(j["attacks"][0]["claim"], 1);
  EXPECT_EQ(j["attacks"][1]["claim"], 4);
  EXPECT_EQ(j["inputs"][4]["role"], "claim");
  EXPECT_EQ(j["verdict"]["exit_status"], 1);

  const Report one = report_of_example("nspk", 2);
  const nlohmann::json k = nlohmann::json::parse(json_report(one));
  ASSERT_EQ(k["claims"].size(), 1u);
  EXPECT_EQ(k["claims"][0]["name"], nullptr);
  EXPECT_EQ(k["claims"][0]["text"], "forall B.i: (not :> nb_i) and (exists A.j: b_j = B_i) ;");
  EXPECT_EQ(k["claims"][0]["status"], "attack");
  EXPECT_EQ(k["attacks"][0]["claim"], 1);
}

TEST(HtmlReport, Escaping) {
  EXPECT_EQ(html_escaped("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
}

}  // namespace

}  // namespace analyser
