#include "report/chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text_matches.h"

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

TEST(SequenceChart, LongLabelsWrappedOrCutWithTheWholeMessageAsTooltip) {
  struct Case {
    std::string message;
    std::string label;    // as written in dot
    std::string tooltip;  // empty: none
  };
  const std::vector<Case> cases = {
      {"{nb_1}B_1+", R"(1. {nb_1}B_1+)", ""},
      // Broken after the last comma that keeps a line within 32 characters.
      {"{[na_1,[A_1,[B_2,kab_3]]]}kas_1", R"(1. {[na_1,[A_1,[B_2,\nkab_3]]]}kas_1)",
       "1. {[na_1,[A_1,[B_2,kab_3]]]}kas_1"},
      // No comma near enough: broken at 32 characters.
      {"{[" + std::string(55, 'k') + ",x]}",
       "1. {[" + std::string(27, 'k') + R"(\n)" + std::string(28, 'k') + ",x]}",
       "1. {[" + std::string(55, 'k') + ",x]}"},
      // Beyond four lines: cut short, ending in "...".
      {std::string(200, 'n'),
       "1. " + std::string(29, 'n') + R"(\n)" + std::string(32, 'n') + R"(\n)" +
           std::string(32, 'n') + R"(\n)" + std::string(29, 'n') + "...",
       "1. " + std::string(200, 'n')},
  };
  for (const Case& c : cases) {
    Attack a;
    a.exchanges = {{"A_1", "I", c.message}};
    const std::string dot = sequence_chart_dot(a);
    EXPECT_EQ(matches(dot, R"re(\[label="((?:[^"\\]|\\.)*)")re"),
              std::vector<std::string>{c.label});
    EXPECT_EQ(matches(dot, R"re(tooltip="((?:[^"\\]|\\.)*)")re"),
              c.tooltip.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.tooltip});
  }
}

TEST(SequenceChart, TheTooltipHoldsTheWholeMessageInTheSvg) {
  Attack a;
  a.exchanges = {{"A_1", "I", "{[na_1,[A_1,[B_2,kab_3]]]}kas_1"}};
  const std::string svg = ChartRenderer().svg(sequence_chart_dot(a));
  EXPECT_NE(svg.find("xlink:title=\"1. {[na_1,[A_1,[B_2,kab_3]]]}kas_1\""), std::string::npos);
  EXPECT_NE(svg.find(">1. {[na_1,[A_1,[B_2,</text>"), std::string::npos);
}

TEST(EmbeddableSvg, IdsAndReferencesPrefixedCommentsAndTitlesLeftOut) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"s(<?xml version="1.0"?><svg width="8pt"><g id="node1" class="node">)s",
       R"s(<svg width="8pt"><g id="a2-node1" class="node">)s"},
      {R"s(<svg><path fill="url(#l_3)" stroke="url(#r_4)"/>)s",
       R"s(<svg><path fill="url(#a2-l_3)" stroke="url(#a2-r_4)"/>)s"},
      {R"s(<svg><use xlink:href="#edge1"/><a href="#x">)s",
       R"s(<svg><use xlink:href="#a2-edge1"/><a href="#a2-x">)s"},
      // Text, attributes that merely end in "id" and links elsewhere stay as they are.
      {R"s(<svg><text grid="1">id="node1" url(#x)</text>)s",
       R"s(<svg><text grid="1">id="node1" url(#x)</text>)s"},
      {R"s(<svg><a xlink:href="https://example.org/#top">)s",
       R"s(<svg><a xlink:href="https://example.org/#top">)s"},
      {"<svg>\n<!-- p0_1&#45;&gt;p1_1 -->\n<g>\n<title>p0_1&#45;&gt;p1_1</title>\n<path/>\n</g>",
       "<svg>\n<g>\n<path/>\n</g>"},
      {"<svg><text>a &lt; b</text></svg>\n", "<svg><text>a &lt; b</text></svg>\n"},
      // Cut short: what there is, no more.
      {"<svg><g id=\"node1", "<svg><g id=\"a2-node1"},
      {"<svg><!-- p0_1", "<svg>"},
      {"no chart at all", ""},
  };
  for (const auto& [svg, expected] : cases) {
    EXPECT_EQ(embeddable_svg(svg, "a2-"), expected) << svg;
  }
}

TEST(EmbeddableSvg, TwoChartsShareNoIdOnceEachIsPrefixed) {
  const std::string svg = ChartRenderer().svg(sequence_chart_dot(lowe()));
  const std::vector<std::string> ids = matches(svg, R"re( id="([^"]*)")re");
  ASSERT_FALSE(ids.empty());
  std::vector<std::string> both = matches(embeddable_svg(svg, "a1-"), R"re( id="([^"]*)")re");
  const std::vector<std::string> second =
      matches(embeddable_svg(svg, "a2-"), R"re( id="([^"]*)")re");
  both.insert(both.end(), second.begin(), second.end());
  std::sort(both.begin(), both.end());
  EXPECT_EQ(std::adjacent_find(both.begin(), both.end()), both.end());
  EXPECT_EQ(both.size(), 2 * ids.size());
}

}  // namespace

}  // namespace analyser
