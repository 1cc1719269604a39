#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "shard/shard_file.h"
#include "utils/numeral.h"
#include "utils/utils.h"

namespace analyser {

namespace {

std::vector<std::string> example_args(const std::string& example,
                                      const std::vector<std::string>& options) {
  const std::string dir = std::string(EXAMPLES_DIR) + "/" + example + "/";
  std::vector<std::string> args = {"tool", dir + "principals.txt", dir + "logic.txt",
                                   dir + "join.txt", dir + "knowledge.txt"};
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

std::string file_contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Merged {
  std::string out;
  std::string err;
  int status = -1;
};

class Shards : public testing::Test {
 protected:
  // A folder of its own: the tests of this suite may run at the same time.
  void SetUp() override {
    std::string pattern = testing::TempDir() + "shards_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs args as shards of `total` and writes each shard file; returns their paths.
  // held_output: the bound past which a chunk writes its output in parts.
  std::vector<std::string> write_shards(const std::vector<std::string>& args, std::int64_t total,
                                        const std::string& name = "shard",
                                        std::optional<std::size_t> held_output = {}) {
    std::vector<std::string> paths;
    for (std::int64_t i = 0; i < total; ++i) {
      std::ostringstream out, err;
      run_driver(args, RunStreams{out, err}, Parallelism{2, total, i, held_output});
      paths.push_back(dir_ + name + "." + std::to_string(i));
      std::ofstream(paths.back(), std::ios::binary) << out.str();
    }
    return paths;
  }

  // Writes a shard file of `shards` made by hand: the segments, then the end of
  // its share of the search when pieces are given, then its end.
  std::string made_shard(const std::string& name, std::int64_t shards, std::int64_t index,
                         const std::vector<Segment>& segments, std::optional<std::int64_t> pieces) {
    const std::string path = dir_ + name;
    std::ofstream file(path, std::ios::binary);
    shard::Writer writer(file, {"0123456789abcdef", shards, index});
    writer.search_starts(shard::RunFigures{});
    std::optional<Failure> failure;
    try {
      for (const Segment& s : segments) writer.take(s);
    } catch (const Failure& f) {
      failure = f;
    }
    if (pieces) writer.search_done(*pieces, 0.0);
    writer.end(failure ? 2 : 0, failure);
    return path;
  }

  static Merged merge(const std::vector<std::string>& paths) {
    std::ostringstream out, err;
    const int status = shard::merge(paths, out, err);
    return {out.str(), err.str(), status};
  }

  static std::string whole_run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    run_driver(args, RunStreams{out, err}, Parallelism{1, 0, 0, {}});
    return out.str();
  }

  std::string dir_;
};

TEST_F(Shards, MergeIntoTheWholeRunsOutput) {
  for (const auto& options : std::vector<std::vector<std::string>>{
           {"-V", "-max", "3"}, {"-T", "-max", "2"}, {"-G", "15", "-max", "2"}}) {
    const auto args = example_args("nspk", options);
    for (std::int64_t total : {1, 3, 16}) {
      const Merged merged = merge(write_shards(args, total));
      EXPECT_EQ(merged.out, whole_run(args)) << options[0] << " in " << total << " shards";
      EXPECT_EQ(merged.status, 0);
      EXPECT_EQ(merged.err, "");
    }
  }
  // Chunks that write their output in parts, as they do past the bound.
  const auto args = example_args("nspk", {"-V", "-max", "4"});
  EXPECT_EQ(merge(write_shards(args, 3, "parts", 1)).out, whole_run(args));
}

TEST_F(Shards, MergeRefusesWhatIsNotOneRunsShards) {
  const auto paths = write_shards(example_args("nspk", {"-V", "-max", "3"}), 3);
  const auto other = write_shards(example_args("nsl", {"-V", "-max", "3"}), 3, "other");
  const std::string cut = dir_ + "cut";
  const std::string text = file_contents(paths[1]);
  std::ofstream(cut, std::ios::binary) << text.substr(0, text.size() / 2);
  const struct {
    std::vector<std::string> paths;
    std::string message;
  } cases[] = {
      {{paths[0], paths[2]}, "tool-merge: shard 1 of 3 is missing\n"},
      {{paths[0], paths[1], paths[1], paths[2]}, "is shard 1, as " + paths[1] + " is\n"},
      {{paths[0], cut, paths[2]}, "tool-merge: " + cut + ": is cut short\n"},
      {{paths[0], other[1], paths[2]}, "comes from a different run than " + paths[0] + "\n"},
      {{dir_ + "no-such-shard"}, "cannot be read: No such file or directory\n"},
      {{EXAMPLES_DIR "/nspk/logic.txt"}, "is not a shard file\n"},
  };
  for (const auto& c : cases) {
    const Merged merged = merge(c.paths);
    EXPECT_EQ(merged.status, 2) << c.message;
    EXPECT_EQ(merged.out, "") << c.message;
    EXPECT_TRUE(merged.err.ends_with(c.message)) << merged.err;
  }
}

// Shard files written segment by segment: a failure inside the search ends the
// merged run where it ends the run in one piece, whether or not the other
// shards finished theirs.
TEST_F(Shards, FailureInsideTheSearchEndsTheMergedRun) {
  const auto segment = [](std::int64_t index, const std::string& output, bool fails = false) {
    Segment s;
    s.index = index;
    s.output = output;
    s.live = {index};
    if (fails) s.failure = std::make_exception_ptr(Failure("Utils.UtilException", "select!\n"));
    return s;
  };
  const auto write = [&](std::int64_t shards, std::int64_t index,
                         const std::vector<Segment>& segments, std::optional<std::int64_t> pieces) {
    return made_shard("made." + std::to_string(shards) + "." + std::to_string(index), shards, index,
                      segments, pieces);
  };
  const Merged alone =
      merge({write(1, 0, {segment(0, "a"), segment(1, "b"), segment(2, "c"), segment(3, "d", true)},
                   std::nullopt)});
  const Merged in_two =
      merge({write(2, 0, {segment(0, "a"), segment(1, "b"), segment(4, "e")}, 3),
             write(2, 1, {segment(2, "c"), segment(3, "d", true)}, std::nullopt)});
  for (const Merged& merged : {alone, in_two}) {
    EXPECT_EQ(merged.out, "abcdselect!\n");
    EXPECT_EQ(merged.err, "Fatal error: exception Utils.UtilException\n");
    EXPECT_EQ(merged.status, 2);
  }
}

// A segment written in parts merges only whole: every part but the last holds
// output alone, and the last one is there.
TEST_F(Shards, MergeRefusesSegmentPartsThatCannotBe) {
  const auto part = [](std::int64_t index, const std::string& output, bool more) {
    Segment s;
    s.index = index;
    s.output = output;
    s.more = more;
    if (!more) s.live = {index};
    return s;
  };
  const auto merged = [&](const std::string& name, const std::vector<Segment>& segments) {
    return merge({made_shard(name, 1, 0, segments, 1)});
  };
  EXPECT_EQ(merged("whole", {part(0, "a", true), part(0, "b", false)}).out, "ab");
  Segment counted = part(0, "a", true);
  counted.tally.used[0] = 1;
  const struct {
    std::string name;
    std::vector<Segment> segments;
    std::string message;
  } cases[] = {
      {"cut", {part(0, "a", true)}, "tool-merge: segment 0 is cut short\n"},
      {"counted", {counted, part(0, "b", false)}, "holds a segment that cannot be\n"},
      {"twice", {part(0, "a", false), part(0, "b", false)}, "holds a segment twice\n"},
  };
  for (const auto& c : cases) {
    const Merged m = merged(c.name, c.segments);
    EXPECT_EQ(m.status, 2) << c.name;
    EXPECT_TRUE(m.err.ends_with(c.message)) << c.name << ": " << m.err;
  }
}

// A shard file changed in any one byte, wherever it is, is refused before the
// merge writes anything: 256 places spread over a real shard file, its first and
// last bytes among them, each with one bit flipped, a different bit each time.
TEST_F(Shards, MergeRefusesAShardChangedInAnyByte) {
  const auto paths = write_shards(example_args("nspk", {"-V", "-max", "3"}), 2);
  const std::string original = file_contents(paths[1]);
  ASSERT_GT(original.size(), 1000u);
  constexpr std::size_t kMutations = 256;
  for (std::size_t m = 0; m < kMutations; ++m) {
    const std::size_t at = m * (original.size() - 1) / (kMutations - 1);
    std::string changed = original;
    changed[at] = static_cast<char>(changed[at] ^ (1 << (m % 8)));
    std::ofstream(paths[1], std::ios::binary | std::ios::trunc) << changed;
    const Merged merged = merge(paths);
    EXPECT_EQ(merged.status, 2) << "byte " << at;
    EXPECT_EQ(merged.out, "") << "byte " << at;
    EXPECT_TRUE(merged.err.starts_with("tool-merge: " + paths[1] + ": ")) << merged.err;
  }
}

// Shard files whose records pass their checks but whose segments cannot be
// joined are refused before the merge writes anything, though the segments
// before the faulty one can be joined.
TEST_F(Shards, MergeWritesNothingBeforeItKnowsTheWholeRun) {
  const auto segment = [](std::int64_t index, const std::string& output) {
    Segment s;
    s.index = index;
    s.output = output;
    s.live = {index};
    return s;
  };
  const std::string later = numeral::text(numeral::provisional(numeral::Counter::Node, 7, 0));
  const Merged merged = merge({made_shard(
      "unjoinable", 1, 0, {segment(0, "a"), segment(1, "b"), segment(2, "node " + later)}, 2)});
  EXPECT_EQ(merged.status, 2);
  EXPECT_EQ(merged.out, "");
  EXPECT_EQ(merged.err, "tool-merge: segment 2 refers to numbers no shard gave\n");
}

}  // namespace

}  // namespace analyser
