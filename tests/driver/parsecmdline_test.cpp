#include "driver/parsecmdline.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

Settings parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tool");
  Settings settings = default_settings();
  parse_command_line(args, settings);
  return settings;
}

std::string usage(bool full) {
  std::ostringstream captured;
  print_usage(captured, full);
  return captured.str();
}

TEST(ParseCommandLine, DefaultsWhenNothingIsGiven) {
  const Settings s = parse({});
  EXPECT_EQ(s.search.mode, OutputMode::None);
  EXPECT_EQ(s.principals_file, "");
  EXPECT_EQ(s.knowledge_file, "");
  EXPECT_FALSE(s.search.terminal_only);
  EXPECT_EQ(s.graph_fields, GraphFields{});
  EXPECT_EQ(s.error, "");
  EXPECT_FALSE(s.help);
  EXPECT_EQ(s.search.session_size, 0);
  EXPECT_FALSE(s.interactive);
  EXPECT_FALSE(s.search.feedback);
}

TEST(ParseCommandLine, FilesAndOptionsMixed) {
  const Settings s = parse({"-f", "p", "-max", "3", "l", "-t", "j", "-i", "k", "-h"});
  EXPECT_EQ(s.principals_file, "p");
  EXPECT_EQ(s.logic_file, "l");
  EXPECT_EQ(s.join_file, "j");
  EXPECT_EQ(s.knowledge_file, "k");
  EXPECT_EQ(s.search.session_size, 3);
  EXPECT_TRUE(s.search.feedback);
  EXPECT_TRUE(s.search.terminal_only);
  EXPECT_TRUE(s.interactive);
  EXPECT_TRUE(s.help);
  EXPECT_EQ(s.error, "");
}

TEST(ParseCommandLine, LongOptionWords) {
  const Settings s =
      parse({"--feedback", "--help", "--interactive", "--terminal", "--session", "2"});
  EXPECT_TRUE(s.search.feedback);
  EXPECT_TRUE(s.help);
  EXPECT_TRUE(s.interactive);
  EXPECT_TRUE(s.search.terminal_only);
  EXPECT_EQ(s.search.session_size, 2);
  EXPECT_EQ(parse({"-nprinc", "4"}).search.session_size, 4);
}

TEST(ParseCommandLine, LastModeOptionWins) {
  struct Case {
    std::vector<std::string> args;
    OutputMode mode;
  };
  const std::vector<Case> cases = {
      {{"-T"}, OutputMode::Text},
      {{"-V"}, OutputMode::Verify},
      {{"-G", "0"}, OutputMode::Graph},
      {{"-T", "-V"}, OutputMode::Verify},
      {{"-V", "-T"}, OutputMode::Text},
      {{"-V", "-G", "3"}, OutputMode::Graph},
      {{"-G", "3", "-T"}, OutputMode::Text},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.args).search.mode, c.mode) << c.args.back();
}

TEST(ParseCommandLine, ErrorsStopTheScan) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"-G"}, "-G requires numeric option"},
      {{"-G", "five"}, "-G requires numeric option"},
      {{"-G", "+1"}, "-G requires numeric option"},
      {{"-max"}, "number of principal in a session required"},
      {{"-nprinc", "two"}, "number of principal in a session required"},
      {{"--session", ""}, "number of principal in a session required"},
      {{"-max", "+1"}, "number of principal in a session required"},
      {{"a", "b", "c", "d", "e"}, "don't know what to do with e"},
      {{"a", "b", "c", "d", "-VT"}, "don't know what to do with -VT"},
      {{"a", "b", "c", "d", "--"}, "don't know what to do with --"},
      // The first error is kept: the scan ends there.
      {{"-max", "x", "-G"}, "number of principal in a session required"},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.args).error, c.error) << c.args[0];
}

TEST(ParseCommandLine, OptionsAfterAnErrorAreNotRead) {
  const Settings s = parse({"-G", "x", "-f", "-max", "2"});
  EXPECT_EQ(s.search.mode, OutputMode::Graph);  // set before the number is read
  EXPECT_FALSE(s.search.feedback);
  EXPECT_EQ(s.search.session_size, 0);
}

TEST(ParseCommandLine, TheNumberIsConsumedEvenWhenItLooksLikeAnOption) {
  const Settings s = parse({"-max", "-1", "a"});
  EXPECT_EQ(s.search.session_size, -1);
  EXPECT_EQ(s.principals_file, "a");
}

TEST(ParseCommandLine, EmptyArgumentLeavesItsFieldEmpty) {
  const Settings s = parse({"", "a", "b", "c"});
  EXPECT_EQ(s.principals_file, "a");
  EXPECT_EQ(s.logic_file, "b");
  EXPECT_EQ(s.join_file, "c");
  EXPECT_EQ(s.knowledge_file, "");
  EXPECT_EQ(s.error, "");
  EXPECT_EQ(parse({"a", "b", "c", "d", ""}).error, "don't know what to do with ");
}

TEST(ParseInteger, Literals) {
  struct Case {
    std::string text;
    std::optional<std::int64_t> value;
  };
  const std::vector<Case> cases = {
      {"0", 0},
      {"17", 17},
      {"-8", -8},
      {"-0", 0},
      {"007", 7},
      {"1_", 1},
      {"0_1", 1},
      {"1_000_000", 1000000},
      {"0x1", 1},
      {"0xfF", 255},
      {"-0x10", -16},
      {"0o17", 15},
      {"0b101", 5},
      {"0b1_0", 2},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"0x7fffffffffffffff", INT64_MAX},
      {"-0x8000000000000000", INT64_MIN},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"+1", std::nullopt},
      {"--1", std::nullopt},
      {"_1", std::nullopt},
      {"0x", std::nullopt},
      {"0x_1", std::nullopt},
      {"0X1", std::nullopt},
      {"0b2", std::nullopt},
      {"0o8", std::nullopt},
      {"12a", std::nullopt},
      {"1.0", std::nullopt},
      {" 1", std::nullopt},
      {"two", std::nullopt},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt},
      {"0x8000000000000000", std::nullopt},
      {"0xffffffffffffffff", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_integer(c.text), c.value) << "'" << c.text << "'";
}

TEST(GraphFieldsOfInt, BitsAndOutOfRangeNumbers) {
  struct Case {
    std::int64_t n;
    GraphFields fields;  // context, action, knowledge, assignment
  };
  const std::vector<Case> cases = {
      {0, {false, false, false, false}},   {1, {false, false, false, true}},
      {2, {false, false, true, false}},    {4, {false, true, false, false}},
      {5, {false, true, false, true}},     {8, {true, false, false, false}},
      {12, {true, true, false, false}},    {15, {true, true, true, true}},
      {16, {true, false, false, false}},   {17, {true, false, false, true}},
      {-1, {false, false, false, false}},  {-8, {false, false, false, false}},
      {-15, {false, false, false, false}},
  };
  for (const Case& c : cases) EXPECT_EQ(graph_fields_of_int(c.n), c.fields) << c.n;
}

TEST(ParseCommandLine, GraphNumberSelectsFields) {
  EXPECT_EQ(parse({"-G", "5"}).graph_fields, (GraphFields{false, true, false, true}));
  EXPECT_EQ(parse({"-G", "0xf"}).graph_fields, (GraphFields{true, true, true, true}));
}

TEST(PrintUsage, ShortText) {
  EXPECT_EQ(usage(false),
            "\nUsage: tool principals logic join knowledge  [-GVT] [-max nprinc] [-if]\n\n");
}

TEST(PrintUsage, FullText) {
  EXPECT_EQ(usage(true),
            "\nUsage: tool principals logic join knowledge  [-GVT] [-max nprinc] [-if]\n\n"
            "\n   -T: Output is text representing the set of traces"
            "\n   -G param: Output is a GraphViz compliant file representing state space tree"
            "\n      param: a numeric value [0..15] specifing what to print. See manual"
            "\n   -V: Enable verification of formula. Output is the description of attacks"
            "\n   -t, --terminal: with -T prints out terminal traces only"
            "\n   -i, --interactive: with -V asks for continuation after the discovery of an "
            "attack"
            "\n   -f, --feedback: prints on stderr info on search status"
            "\n   -h, --help: print this help\n");
}

}  // namespace

}  // namespace analyser
