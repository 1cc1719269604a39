// Fuzz target: the whole program on a small fixed protocol (the Needham-Schroeder
// public-key roles, their property, join components and intruder knowledge) in
// which one of the four input files is replaced by the fuzz input.
//
// The first byte of the input chooses the replaced file (bits 0-1), the output
// mode (bits 2-6, modulo the number of modes allowed) and the session size (bit
// 7: 2, else 1); the remaining bytes are the file's text. Every input must end
// quickly:
// - the search's size grows with the principals file, so a replaced principals
//   file only runs in the modes that write every trace, under an output limit;
// - the clause form is exponential in the formula's connectives by design, so
//   replaced formula and join files are kept short.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "fuzz_support.h"
#include "model_folder.h"

using namespace analyser;

namespace {

const std::vector<std::vector<std::string>> kModes = {
    {"-T"}, {"-G", "15"}, {"-T", "-t"}, {"-V"}, {"-f"}, {"-G", "6", "-t"},
};
// The modes that write something for every trace come first.
constexpr std::size_t kModesWritingEveryTrace = 2;
constexpr std::size_t kOutputLimit = 1 << 18;

std::optional<fuzz::ModelFolder> g_model;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  g_model.emplace("driver_fuzzer");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto input = fuzz::replacement_of(data, size);
  if (!input) return -1;
  const std::size_t mode_count =
      input->kind == fuzz::kPrincipals ? kModesWritingEveryTrace : kModes.size();
  const std::vector<std::string>& mode = kModes[((data[0] & 0x7f) >> 2) % mode_count];
  const char* session_size = (data[0] & 0x80) ? "2" : "1";

  std::vector<std::string> args = {"tool"};
  for (std::string& path : g_model->with(input->kind, input->text)) {
    args.push_back(std::move(path));
  }
  args.insert(args.end(), mode.begin(), mode.end());
  args.insert(args.end(), {"-max", session_size});

  fuzz::SilencedOutput silenced(kOutputLimit);
  try {
    run_driver(args, RunStreams{silenced.out(), silenced.err()});
  } catch (const fuzz::OutputLimitReached&) {
  }
  return 0;
}
