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
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "fuzz_support.h"

using namespace analyser;

namespace {

enum FileKind { kPrincipals, kLogic, kJoin, kKnowledge };

const char* const kFixedTexts[] = {
    ("A : (b) [ out({(na,A)}b+) . in({(na,?y)}A-) . out({y}b+) ] ;\n"
     "B : (a) [ in({(?x,a)}B-) . out({(x,nb)}a+) . in({nb}B-) ] ;\n"),
    "forall B.i: (not :> nb_i) and (exists A.j: b_j = B_i) ;\n",
    "forall B.i: exists A.j: a_i = A_j ;\n",
    "I_0, I_0+, I_0- ;\n",
};
const char* const kFileNames[] = {"principals.txt", "logic.txt", "join.txt", "knowledge.txt"};
const std::size_t kMaxTextSize[] = {2048, 96, 96, 512};

const std::vector<std::vector<std::string>> kModes = {
    {"-T"}, {"-G", "15"}, {"-T", "-t"}, {"-V"}, {"-f"}, {"-G", "6", "-t"},
};
// The modes that write something for every trace come first.
constexpr std::size_t kModesWritingEveryTrace = 2;
constexpr std::size_t kOutputLimit = 1 << 18;

std::string g_dir;  // the run's files: the fixed four and input.txt

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void remove_files() {
  for (const char* name : kFileNames) std::remove((g_dir + "/" + name).c_str());
  std::remove((g_dir + "/input.txt").c_str());
  rmdir(g_dir.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  char dir[] = "/tmp/driver_fuzzer.XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  g_dir = dir;
  for (int k = kPrincipals; k <= kKnowledge; ++k) {
    write_file(g_dir + "/" + kFileNames[k], kFixedTexts[k]);
  }
  std::atexit(remove_files);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return -1;
  const auto replaced = static_cast<FileKind>(data[0] & 3);
  if (size - 1 > kMaxTextSize[replaced]) return -1;
  const std::size_t mode_count = replaced == kPrincipals ? kModesWritingEveryTrace : kModes.size();
  const std::vector<std::string>& mode = kModes[((data[0] & 0x7f) >> 2) % mode_count];
  const char* session_size = (data[0] & 0x80) ? "2" : "1";

  const std::string input = g_dir + "/input.txt";
  write_file(input, fuzz::as_text(data + 1, size - 1));
  std::vector<std::string> args = {"tool"};
  for (int k = kPrincipals; k <= kKnowledge; ++k) {
    args.push_back(k == replaced ? input : g_dir + "/" + kFileNames[k]);
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
