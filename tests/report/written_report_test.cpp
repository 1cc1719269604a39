#include <gtest/gtest.h>

#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "report/html_report.h"
#include "report/json_report.h"
#include "report/report.h"

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

TEST(HtmlReport, Escaping) {
  EXPECT_EQ(html_escaped("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
}

}  // namespace

}  // namespace analyser
