#include "driver/driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

// What one run of the program printed and returned.
struct Outcome {
  std::string out;
  std::string err;
  int status = -1;

  friend bool operator==(const Outcome&, const Outcome&) = default;
};

// The program on args (its name first).
Outcome run_program(const std::vector<std::string>& args, const Parallelism& parallelism = {}) {
  std::ostringstream out_text, err_text;
  const int status = run_driver(args, RunStreams{out_text, err_text}, parallelism);
  return {out_text.str(), err_text.str(), status};
}

// A folder with a tiny protocol: one role sending a nonce, a formula and join
// components that always hold, and two terms of knowledge. Other files are
// written on demand.
class RunDriver : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "run_driver_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    write("principals.txt", "A : () [ out(na) ] ;\n");
    write("logic.txt", "true ;\n");
    write("join.txt", "true ;\n");
    write("knowledge.txt", "I_0, I_0+ ;\n");
    write("empty.txt", "");
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(path(name), std::ios::binary) << text;
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // The program on the four named files of the folder, then the options.
  Outcome run(const std::vector<std::string>& files, std::vector<std::string> options) {
    std::vector<std::string> args = {"tool"};
    for (const std::string& f : files) args.push_back(path(f));
    args.insert(args.end(), options.begin(), options.end());
    return run_program(args);
  }

  std::string dir_;
};

const std::vector<std::string> kFiles = {"principals.txt", "logic.txt", "join.txt",
                                         "knowledge.txt"};

std::vector<std::string> with(const std::string& name, std::size_t slot) {
  std::vector<std::string> files = kFiles;
  files[slot] = name;
  return files;
}

TEST_F(RunDriver, UsageAndCommandLineErrorsEndWithStatusZero) {
  EXPECT_EQ(run_program({"tool"}).status, 0);
  EXPECT_EQ(run_program({"tool"}).out,
            "\nUsage: tool principals logic join knowledge  [-GVT] [-max nprinc] [-if]\n\n");
  const Outcome bad_number = run(kFiles, {"-G", "x"});
  EXPECT_EQ(bad_number, (Outcome{"\n-G requires numeric option\n", "", 0}));
}

// Each file kind's failure: the error line (if any) on standard output, the
// diagnostic and the report on standard error, status 2; the files after the failing one unread.
TEST_F(RunDriver, FailuresAreReportedWithStatusTwo) {
  struct Case {
    std::vector<std::string> files;
    std::string out;
    std::string err;
  };
  const std::string missing = path("missing.txt");
  const std::string empty_at = path("empty.txt") + ":1:1: error: ";
  const std::vector<Case> cases = {
      {with("empty.txt", 1), "ER6: Missing ;   (1,0)\n",
       empty_at + "expected a formula, found end of file\n" +
           "Fatal error: exception Failure(\"\nSyntax error in parsing formula\n\")\n"},
      {with("empty.txt", 2), "ER6: Missing ;   (2,0)\n",
       empty_at + "expected a formula, found end of file\n" +
           "Fatal error: exception Failure(\"\nSyntax error in parsing join components\n\")\n"},
      {with("empty.txt", 3), "",
       empty_at + "expected a term, found end of file\n" +
           "Fatal error: exception Pl_parser.ParseError\n"},
      {with("missing.txt", 0), "",
       "Fatal error: exception Sys_error(\"" + missing + ": No such file or directory\")\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.files, {"-V", "-max", "1"}), (Outcome{c.out, c.err, 2})) << c.files[1];
  }
}

// A failed run leaves the parsers' error state, the tokenizer's line counter and
// the node identifiers behind; the next run in the same process must not see them.
TEST_F(RunDriver, EveryRunStartsFromTheInitialState) {
  const Outcome fresh = run(kFiles, {"-T", "-max", "1"});
  ASSERT_EQ(fresh.status, 0);
  EXPECT_NE(fresh.out.find("Node: id=1\n"), std::string::npos);

  const Outcome formula_error = run(with("empty.txt", 1), {"-T", "-max", "1"});
  EXPECT_EQ(formula_error.out, "ER6: Missing ;   (1,0)\n");
  EXPECT_EQ(run(with("empty.txt", 1), {"-T", "-max", "1"}), formula_error);

  EXPECT_EQ(run(kFiles, {"-T", "-max", "1"}), fresh);
  EXPECT_EQ(run(kFiles, {"-T", "-max", "1"}), fresh);
}

// Two analyses at once in one process: each must write exactly what it writes
// alone. Run under ThreadSanitizer in CI, this also finds any state the runs
// still share.

// The program on a bundled example, then the options.
Outcome run_example(const std::string& example, const std::vector<std::string>& options,
                    const Parallelism& parallelism = {}) {
  const std::string dir = std::string(EXAMPLES_DIR) + "/" + example + "/";
  std::vector<std::string> args = {"tool", dir + "principals.txt", dir + "logic.txt",
                                   dir + "join.txt", dir + "knowledge.txt"};
  args.insert(args.end(), options.begin(), options.end());
  return run_program(args, parallelism);
}

// The statistics block without its time and rate figures, which may differ.
std::string counts_of(const std::string& err) {
  const std::size_t start = err.find("\n\n-----");
  std::istringstream block(start == std::string::npos ? "" : err.substr(start));
  std::string kept, line;
  while (std::getline(block, line)) {
    if (line.find("time:") == std::string::npos && line.find("/s:") == std::string::npos) {
      kept += line + "\n";
    }
  }
  return kept;
}

struct Job {
  std::string example;
  std::vector<std::string> options;
};

TEST(ConcurrentRuns, EachWritesWhatItWritesAlone) {
  // Every output mode, a failing run, and runs of different sizes side by side.
  const std::vector<std::pair<Job, Job>> pairs = {
      {{"nspk", {"-V", "-max", "2"}}, {"nsl", {"-V", "-max", "2"}}},
      {{"nspk", {"-T", "-max", "2"}}, {"otway-rees", {"-G", "15", "-max", "2"}}},
      {{"nsl-oracle", {"-V", "-max", "2"}}, {"kerberos", {"-T", "-t", "-max", "2"}}},
      {{"nspk", {"-T", "-max", "3"}}, {"nsl", {"-T", "-max", "3"}}},
      {{"nspk", {"-V", "-max", "3"}}, {"nssk", {"-V", "-max", "1"}}},
      {{"no-such-example", {"-V", "-max", "2"}}, {"yahalom", {"-V", "-max", "2"}}},
  };
  for (const auto& [first, second] : pairs) {
    const Outcome first_alone = run_example(first.example, first.options);
    const Outcome second_alone = run_example(second.example, second.options);
    Outcome first_together, second_together;
    std::thread other(
        [&, &job = second] { second_together = run_example(job.example, job.options); });
    first_together = run_example(first.example, first.options);
    other.join();
    EXPECT_EQ(first_together, first_alone) << first.example;
    EXPECT_EQ(second_together, second_alone) << second.example;
  }
}

// The search on several threads writes what it writes on one: every mode, the
// statistics, and a run whose sessions end before any chunk is cut; also when
// chunks hand on their output in parts as it comes (a bound of one byte).
TEST(ConcurrentRuns, ThreadedSearchWritesWhatOneThreadWrites) {
  const std::vector<Job> jobs = {
      {"nspk", {"-V", "-max", "3", "-f"}}, {"nspk", {"-T", "-max", "3"}},
      {"nsl", {"-T", "-t", "-max", "3"}},  {"otway-rees", {"-G", "15", "-max", "2"}},
      {"kerberos", {"-max", "3", "-f"}},   {"nssk", {"-V", "-max", "1"}},
      {"yahalom", {"-V", "-max", "3"}},    {"no-such-example", {"-V", "-max", "2"}},
      {"nspk", {"-V", "-max", "4"}},       {"otway-rees", {"-T", "-t", "-max", "3"}},
  };
  for (const Job& job : jobs) {
    const Outcome alone = run_example(job.example, job.options, Parallelism{1, 0, 0, {}});
    for (const Parallelism& parallelism :
         {Parallelism{2, 0, 0, {}}, Parallelism{7, 0, 0, {}}, Parallelism{2, 0, 0, 1}}) {
      const Outcome threaded = run_example(job.example, job.options, parallelism);
      const std::string how = job.example + " on " + std::to_string(parallelism.threads) +
                              " threads, bound " +
                              std::to_string(parallelism.held_output.value_or(0));
      EXPECT_EQ(threaded.out, alone.out) << how;
      EXPECT_EQ(threaded.status, alone.status) << how;
      EXPECT_EQ(counts_of(threaded.err), counts_of(alone.err)) << how;
    }
  }
}

}  // namespace

}  // namespace analyser
