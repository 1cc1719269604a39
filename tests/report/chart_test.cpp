#include "report/chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

namespace analyser {

namespace {

Attack lowe() {
  Attack a;
  a.exchanges = {
      {"A_2", "I", "{[na_2,A_2]}I_0+"},  {"I", "B_1", "{[na_2,A_2]}B_1+"},
      {"B_1", "I", "{[na_2,nb_1]}A_2+"}, {"I", "A_2", "{[na_2,nb_1]}A_2+"},
      {"A_2", "I", "{nb_1}I_0+"},        {"I", "B_1", "{nb_1}B_1+"},
  };
  return a;
}

// Every match of the first group of pattern in text, in order.
std::vector<std::string> matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    found.push_back((*it)[1].str());
  }
  return found;
}

TEST(SequenceChart, LifelinesWithTheIntruderInTheMiddle) {
  struct Case {
    std::vector<Exchange> exchanges;
    std::vector<std::string> heads;
  };
  const std::vector<Case> cases = {
      {lowe().exchanges, {"A_2", "I", "B_1"}},
      {{{"I", "B_1", "m"}}, {"B_1", "I"}},
      {{{"A_1", "I", "m"}, {"I", "B_2", "m"}, {"I", "C_3", "m"}}, {"A_1", "B_2", "I", "C_3"}},
  };
  for (const Case& c : cases) {
    Attack a;
    a.exchanges = c.exchanges;
    EXPECT_EQ(matches(sequence_chart_dot(a), R"re(p\d+_0 \[shape=box.*label="([^"]*)")re"),
              c.heads);
  }
}

TEST(SequenceChart, OneLabelledArrowPerMessageDrawnLeftToRight) {
  const std::string dot = sequence_chart_dot(lowe());
  EXPECT_EQ(matches(dot, R"((p\d+_\d+ -> p\d+_\d+ \[label=.*)\];)"),
            (std::vector<std::string>{
                R"(p0_1 -> p1_1 [label="1. {[na_2,A_2]}I_0+")",
                R"(p1_2 -> p2_2 [label="2. {[na_2,A_2]}B_1+")",
                R"(p1_3 -> p2_3 [label="3. {[na_2,nb_1]}A_2+", dir=back)",
                R"(p0_4 -> p1_4 [label="4. {[na_2,nb_1]}A_2+", dir=back)",
                R"(p0_5 -> p1_5 [label="5. {nb_1}I_0+")",
                R"(p1_6 -> p2_6 [label="6. {nb_1}B_1+")",
            }));
}

TEST(SequenceChart, ArrowsAcrossALifelineAreChainsOfStraightSegments) {
  Attack a;
  a.exchanges = {{"A_1", "I", "m1"}, {"I", "B_2", "m2"}, {"I", "C_3", "m3"}, {"I", "A_1", "m4"}};
  // Lifelines A_1, B_2, I, C_3.
  EXPECT_EQ(matches(sequence_chart_dot(a), R"(  (p\d+_(\d+) -> p\d+_\2(?: \[[^\]]*\])?);\n)"),
            (std::vector<std::string>{
                R"(p0_1 -> p1_1 [dir=none])",
                R"(p1_1 -> p2_1 [label="1. m1"])",
                R"(p1_2 -> p2_2 [label="2. m2", dir=back])",
                R"(p2_3 -> p3_3 [label="3. m3"])",
                R"(p0_4 -> p1_4 [dir=back])",
                R"(p1_4 -> p2_4 [label="4. m4", dir=none])",
            }));
}

TEST(SequenceChart, LabelsAreQuotedForDot) {
  Attack a;
  a.exchanges = {{"A_1", "I", "say \"hi\" \\ bye"}};
  EXPECT_NE(sequence_chart_dot(a).find(R"(label="1. say \"hi\" \\ bye")"), std::string::npos);
}

TEST(SequenceChart, RenderedAsSvgWithEveryMessage) {
  const std::string svg = ChartRenderer().svg(sequence_chart_dot(lowe()));
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  std::vector<std::string> labels = matches(svg, R"(>(\d\. [^<]*)</text>)");
  std::sort(labels.begin(), labels.end());  // drawn in GraphViz's order
  EXPECT_EQ(labels, (std::vector<std::string>{"1. {[na_2,A_2]}I_0+", "2. {[na_2,A_2]}B_1+",
                                              "3. {[na_2,nb_1]}A_2+", "4. {[na_2,nb_1]}A_2+",
                                              "5. {nb_1}I_0+", "6. {nb_1}B_1+"}));
}

}  // namespace

}  // namespace analyser
