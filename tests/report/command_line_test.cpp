#include "report/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

namespace analyser {

namespace {

struct Parsed {
  std::variant<ReportCommand, int> result;
  std::string out;
  std::string err;
};

Parsed parse(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  auto result = parse_command_line(args, "9.8.7", out, err);
  return {std::move(result), out.str(), err.str()};
}

TEST(ReportCommandLine, ReadsTheModelAndTheOptions) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> model;
    std::int64_t session_size;
    bool first_only;
    bool exhaustive;
    bool knowledge_in_join;
    std::optional<double> time_limit;
    std::string json_file;
  };
  const std::vector<Case> cases = {
      {{"m", "-max", "2"}, {"m"}, 2, false, false, false, std::nullopt, ""},
      {{"--max", "3", "m"}, {"m"}, 3, false, false, false, std::nullopt, ""},
      {{"p", "l", "j", "k", "--session", "1", "--first"},
       {"p", "l", "j", "k"},
       1,
       true,
       false,
       false,
       std::nullopt,
       ""},
      {{"m", "-max", "0", "--exhaustive", "--knowledge-in-join", "--time-limit", "0.5", "--json",
        "r.json"},
       {"m"},
       0,
       false,
       true,
       true,
       0.5,
       "r.json"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const Parsed parsed = parse(c.args);
    ASSERT_TRUE(std::holds_alternative<ReportCommand>(parsed.result)) << parsed.err;
    const ReportCommand& command = std::get<ReportCommand>(parsed.result);
    EXPECT_EQ(command.model, c.model);
    EXPECT_EQ(command.options.session_size, c.session_size);
    EXPECT_EQ(command.options.first_only, c.first_only);
    EXPECT_EQ(command.options.exhaustive, c.exhaustive);
    EXPECT_EQ(command.options.knowledge_in_join, c.knowledge_in_join);
    EXPECT_EQ(command.options.time_limit, c.time_limit);
    EXPECT_EQ(command.json_file, c.json_file);
    EXPECT_EQ(parsed.out + parsed.err, "");
  }
}

TEST(ReportCommandLine, EndsWithAStatusAndItsText) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;  // a part of what is written there
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--help"}, 0, "--time-limit SECONDS", ""},
      {{"--version"}, 0, "tool-report 9.8.7", ""},
      {{"m"}, 2, "", "tool-report: --max is required"},
      {{}, 2, "", "Run with --help for more information."},
      {{"m", "-max", "two"}, 2, "", "'two' is not a number"},
      {{"m", "-max", "-1"}, 2, "", "tool-report: "},
      {{"m", "-max", "1", "--time-limit", "0"}, 2, "", "tool-report: "},
      {{"m", "-max", "1", "--time-limit", "soon"}, 2, "", "'soon' is not a number of seconds"},
      {{"m", "-max", "1", "--colour"}, 2, "", "tool-report: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    const Parsed parsed = parse(c.args);
    ASSERT_TRUE(std::holds_alternative<int>(parsed.result));
    EXPECT_EQ(std::get<int>(parsed.result), c.status);
    EXPECT_NE(parsed.out.find(c.out), std::string::npos) << parsed.out;
    EXPECT_NE(parsed.err.find(c.err), std::string::npos) << parsed.err;
    if (c.out.empty()) {
      EXPECT_EQ(parsed.out, "");
    }
    if (c.err.empty()) {
      EXPECT_EQ(parsed.err, "");
    }
  }
}

}  // namespace

}  // namespace analyser

namespace analyser {

namespace {

// --shard names one shard of a count and needs the part's file; --merge takes
// the parts instead of a model.
TEST(ReportCommandLine, ShardsAndTheirMerge) {
  const struct {
    std::vector<std::string> args;
    std::optional<ShardSelection> shard;  // none: refused with status 2
  } cases[] = {
      {{"m", "-max", "2", "--shard", "0/3", "--json", "p"}, ShardSelection{0, 3}},
      {{"m", "-max", "2", "--shard", "2/3", "--json", "p"}, ShardSelection{2, 3}},
      {{"m", "-max", "2", "--shard", "3/3", "--json", "p"}, std::nullopt},
      {{"m", "-max", "2", "--shard", "-1/3", "--json", "p"}, std::nullopt},
      {{"m", "-max", "2", "--shard", "1/0", "--json", "p"}, std::nullopt},
      {{"m", "-max", "2", "--shard", "1/3x", "--json", "p"}, std::nullopt},
      {{"m", "-max", "2", "--shard", "1/3"}, std::nullopt},
      {{"m", "-max", "2", "--shard", "1/3", "--json", "p", "--html", "h"}, std::nullopt},
      {{"m", "-max", "2", "--shard", "1/3", "--json", "p", "--first"}, std::nullopt},
  };
  for (const auto& c : cases) {
    const Parsed p = parse(c.args);
    SCOPED_TRACE(c.args[4]);
    if (c.shard) {
      ASSERT_TRUE(std::holds_alternative<ReportCommand>(p.result)) << p.err;
      const ReportCommand& command = std::get<ReportCommand>(p.result);
      EXPECT_EQ(command.shard->index, c.shard->index);
      EXPECT_EQ(command.shard->count, c.shard->count);
    } else {
      ASSERT_TRUE(std::holds_alternative<int>(p.result));
      EXPECT_EQ(std::get<int>(p.result), 2);
      EXPECT_NE(p.err.find("tool-report: "), std::string::npos);
    }
  }
  const Parsed merge = parse({"--merge", "a", "b", "--html", "r.html"});
  ASSERT_TRUE(std::holds_alternative<ReportCommand>(merge.result)) << merge.err;
  const ReportCommand& command = std::get<ReportCommand>(merge.result);
  EXPECT_EQ(command.merge_parts, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(command.html_file, "r.html");
  EXPECT_TRUE(command.model.empty());
  EXPECT_EQ(std::get<int>(parse({"--merge"}).result), 2);
}

}  // namespace

}  // namespace analyser
