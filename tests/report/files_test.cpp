#include "report/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

class WriteFile : public testing::Test {
 protected:
  // A folder of its own: the tests of this suite may run at the same time.
  void SetUp() override {
    std::string pattern = testing::TempDir() + "write_file_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
    path_ = dir_ + "report.html";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The names of the files in the folder.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  std::string dir_;
  std::string path_;
};

TEST_F(WriteFile, ReplacesTheContentsAndKeepsTheMode) {
  write_file(path_, "old contents, longer than the new");
  ASSERT_EQ(chmod(path_.c_str(), 0640), 0);
  write_file(path_, "new contents");
  EXPECT_EQ(read_file(path_), "new contents");
  struct stat status {};
  ASSERT_EQ(stat(path_.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(files(), std::vector<std::string>{"report.html"});
}

// A write that fails half-way, here on the limit of a file's size as it would on
// a full disk, leaves the file as it was and nothing beside it.
TEST_F(WriteFile, AFailedWriteLeavesTheFileAsItWas) {
  write_file(path_, "old contents");
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit small{4096, limit.rlim_max};
  const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string failure;
  try {
    write_file(path_, std::string(100'000, 'x'));
  } catch (const Failure& f) {
    failure = f.description();
  }
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous_handler);
  EXPECT_EQ(failure, "Sys_error(\"" + path_ + ": File too large\")");
  EXPECT_EQ(read_file(path_), "old contents");
  EXPECT_EQ(files(), std::vector<std::string>{"report.html"});
}

TEST_F(WriteFile, AFolderThatIsNotThereIsNamed) {
  const std::string path = dir_ + "missing/report.json";
  try {
    write_file(path, "{}");
    FAIL() << "written";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.description()),
              "Sys_error(\"" + path + ": No such file or directory\")");
  }
  EXPECT_TRUE(files().empty());
}

}  // namespace

}  // namespace analyser
