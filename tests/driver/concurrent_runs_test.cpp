// Two analyses at once in one process: each must write exactly what it writes
// alone. Run under ThreadSanitizer in CI, this also finds any state the runs
// still share.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver.h"

namespace analyser {

namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;

  friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome run(const std::string& example, const std::vector<std::string>& options) {
  const std::string dir = std::string(EXAMPLES_DIR) + "/" + example + "/";
  std::vector<std::string> args = {"tool", dir + "principals.txt", dir + "logic.txt",
                                   dir + "join.txt", dir + "knowledge.txt"};
  args.insert(args.end(), options.begin(), options.end());
  std::ostringstream out, err;
  const int status = run_driver(args, RunStreams{out, err});
  return {out.str(), err.str(), status};
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
    const Outcome first_alone = run(first.example, first.options);
    const Outcome second_alone = run(second.example, second.options);
    Outcome first_together, second_together;
    std::thread other([&] { second_together = run(second.example, second.options); });
    first_together = run(first.example, first.options);
    other.join();
    EXPECT_EQ(first_together, first_alone) << first.example;
    EXPECT_EQ(second_together, second_alone) << second.example;
  }
}

}  // namespace

}  // namespace analyser
