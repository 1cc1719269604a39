// Fuzz target: the command lines of the three programs. The first byte of the
// input chooses the program (modulo 3: tool, tool-report, tool-merge) and, for
// tool, whether it runs whole or as shard 0 or 1 of 2 (bits 2-3); the remaining
// bytes are its arguments, one a line. These arguments stand for real files:
//   @P @L @J @K   the fixed model's principals, logic, join and knowledge files
//   @M            the model's folder
//   @0 @1         the two shard files of the fixed model's run with -V -max 1
// tool runs whole (run_driver), on session sizes of at most 2 so that each
// input ends quickly; tool-report's arguments are parsed and the files and
// outputs they name checked, as before an analysis, which the report target
// covers; tool-merge runs whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "driver/driver.h"
#include "driver/parsecmdline.h"
#include "fuzz_support.h"
#include "model_folder.h"
#include "report/command_line.h"
#include "report/model.h"
#include "shard/command_line.h"

using namespace analyser;

namespace {

constexpr std::int64_t kLargestSession = 2;
constexpr std::size_t kMostArguments = 16;
constexpr std::size_t kOutputLimit = 1 << 18;

std::optional<fuzz::ModelFolder> g_model;
std::map<std::string, std::string> g_files;  // what each @ argument stands for

// The fixed model's run as shard k of 2, written to the model's folder.
std::string write_shard(std::int64_t k) {
  std::vector<std::string> args = {"tool"};
  for (const std::string& path : g_model->files()) args.push_back(path);
  args.insert(args.end(), {"-V", "-max", "1"});
  std::ostringstream out, err;
  Parallelism parallelism;
  parallelism.shards = 2;
  parallelism.shard = k;
  if (run_driver(args, RunStreams{out, err}, parallelism) != 0) std::abort();
  const std::string path = g_model->path("shard-" + std::to_string(k));
  std::ofstream(path, std::ios::binary) << out.str();
  return path;
}

// The input's arguments, the @ names replaced; none when there are too many or
// one would make tool's search too large or read a device.
std::optional<std::vector<std::string>> arguments(std::string_view text) {
  std::vector<std::string> args;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string arg(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (const auto file = g_files.find(arg); file != g_files.end()) arg = file->second;
    if (arg.find("dev/") != std::string::npos || arg.find("proc/") != std::string::npos) {
      return std::nullopt;
    }
    const auto number = parse_integer(arg);
    const bool after_session = !args.empty() && (args.back() == "--session" ||
                                                 args.back() == "-max" || args.back() == "-nprinc");
    if (after_session && number && *number > kLargestSession) return std::nullopt;
    args.push_back(std::move(arg));
  }
  if (args.size() > kMostArguments) return std::nullopt;
  return args;
}

void run_tool(std::vector<std::string> args, std::uint8_t shard_choice,
              fuzz::SilencedOutput& silenced) {
  args.insert(args.begin(), "tool");
  Parallelism parallelism;
  if (shard_choice > 0) {
    parallelism.shards = 2;
    parallelism.shard = shard_choice - 1;
  }
  try {
    run_driver(args, RunStreams{silenced.out(), silenced.err()}, parallelism);
  } catch (const Failure& failure) {  // a shard's failures reach the caller
    silenced.err() << failure.description();
  }
}

void parse_report_command(const std::vector<std::string>& args, fuzz::SilencedOutput& silenced) {
  const auto parsed = parse_command_line(args, "0", silenced.out(), silenced.err());
  if (const auto* command = std::get_if<ReportCommand>(&parsed)) {
    try {
      const std::vector<InputFile> files = model_files(command->model);
      check_outputs(files, {{"--svg-dir", command->svg_dir},
                            {"--json", command->json_file},
                            {"--html", command->html_file}});
    } catch (const InputError& error) {
      for (const std::string& line : error.lines()) silenced.err() << line;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  g_model.emplace("command_line_fuzzer");
  const auto files = g_model->files();
  g_files = {{"@P", files[0]},      {"@L", files[1]},          {"@J", files[2]},
             {"@K", files[3]},      {"@M", g_model->folder()}, {"@0", write_shard(0)},
             {"@1", write_shard(1)}};
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return -1;
  const auto args = arguments(fuzz::as_text(data + 1, size - 1));
  if (!args) return -1;
  fuzz::SilencedOutput silenced(kOutputLimit);
  try {
    switch (data[0] % 3) {
      case 0:
        run_tool(*args, static_cast<std::uint8_t>((data[0] >> 2) % 3), silenced);
        break;
      case 1:
        parse_report_command(*args, silenced);
        break;
      default:
        shard::run_merge_command(*args, silenced.out(), silenced.err(), false);
    }
  } catch (const fuzz::OutputLimitReached&) {
  }
  return 0;
}
