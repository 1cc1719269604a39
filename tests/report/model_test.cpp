#include "report/model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace analyser {

namespace {

namespace fs = std::filesystem;

// A fresh folder holding a model's four files, each holding its own name.
fs::path model_folder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("tool-report-model-test-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* file : kModelFileNames) std::ofstream(dir / file) << file;
  return dir;
}

std::string refusal(const std::function<void()>& f) {
  try {
    f();
  } catch (const InputError& e) {
    EXPECT_FALSE(e.located());
    return e.what();
  }
  return "";
}

TEST(ModelFiles, AFolderOrFourFiles) {
  const fs::path dir = model_folder("folder");
  std::vector<InputFile> files = model_files({dir.string()});
  read_texts(files);
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[1].role, "logic");
  EXPECT_EQ(files[1].path, (dir / "logic.txt").string());
  EXPECT_EQ(files[1].text, "logic.txt");
  EXPECT_EQ(files[3].text, "knowledge.txt");

  files = model_files({"w", "x", "y", "z"});
  EXPECT_EQ(files[2].role, "join");
  EXPECT_EQ(files[2].path, "y");

  EXPECT_EQ(refusal([] {
              model_files({"a", "b"});
            }),
            "expected a model folder or four files (principals logic join knowledge), found 2 "
            "arguments");
  const std::string file = (dir / "logic.txt").string();
  EXPECT_EQ(refusal([&] { model_files({file}); }).substr(0, file.size() + 24),
            "'" + file + "' is not a model folder");
}

TEST(ModelFiles, AFileThatCannotBeReadIsNamedByItsRole) {
  const fs::path dir = model_folder("unreadable");
  const struct {
    fs::path logic;
    std::string why;
  } cases[] = {
      {dir, "is a directory"},
      {dir / "missing.txt", "does not exist"},
  };
  for (const auto& c : cases) {
    std::vector<InputFile> files =
        model_files({(dir / "principals.txt").string(), c.logic.string(),
                     (dir / "join.txt").string(), (dir / "knowledge.txt").string()});
    EXPECT_EQ(refusal([&] { read_texts(files); }),
              "logic file '" + c.logic.string() + "': " + c.why);
  }
}

TEST(Outputs, NoneReplacesAnInputOrAnotherOutput) {
  const fs::path dir = model_folder("outputs");
  const std::vector<InputFile> inputs = model_files({dir.string()});
  const std::string principals = (dir / "principals.txt").string();
  const std::string same_principals = (dir / "." / "principals.txt").string();
  const std::string html = (dir / "report.html").string();
  const std::string charts = (dir / "charts").string();
  const struct {
    std::vector<OutputPath> outputs;
    std::string refusal;  // empty: accepted
  } cases[] = {
      {{{"--html", html}, {"--json", (dir / "report.json").string()}, {"--svg-dir", charts}}, ""},
      {{{"--html", ""}, {"--json", ""}}, ""},
      {{{"--html", same_principals}},
       "--html '" + same_principals + "' is the principals file '" + principals +
           "': choose another path"},
      {{{"--json", html}, {"--html", html}},
       "--html '" + html + "' is the --json file: choose another path"},
      {{{"--svg-dir", charts}, {"--json", charts + "/attack-2.svg"}},
       "--json '" + charts +
           "/attack-2.svg' is where --svg-dir writes a chart: choose another "
           "path"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(refusal([&] { check_outputs(inputs, c.outputs); }), c.refusal);
  }
}

}  // namespace

}  // namespace analyser
