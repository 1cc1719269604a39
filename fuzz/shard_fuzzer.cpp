// Fuzz target: tool-merge's reading and joining of shard files. The input is
// the shard files of a merge one after the other (see shard_files.h); each is
// written to a file of its own and the files are merged. Any outcome but a
// crash is the merge's to choose: a merged run or a refusal with status 2.
//
// The records' checksums would stop nearly every changed input at the first
// record, so the mutator works on the files' structure: it changes a payload,
// the first line's fields, a tag, or the order and number of records and
// files, and writes the files back with checksums that pass. Now and then it
// changes the bytes as they are, checksums and all, so that the checks
// themselves are fuzzed too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "shard/shard_file.h"
#include "shard_files.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

// A merge of more files than this names a shard that is missing, or repeats one.
constexpr std::size_t kMostFiles = 6;
constexpr std::size_t kOutputLimit = 1 << 20;

std::string g_dir;  // the merge's files

std::string file_path(std::size_t k) {
  return g_dir + "/shard-" + std::to_string(k);
}

void remove_files() {
  std::error_code ignored;
  std::filesystem::remove_all(g_dir, ignored);
}

// text changed by libFuzzer's own mutations, at most max_size bytes long.
std::string mutated(std::string text, std::size_t max_size) {
  const std::size_t size = text.size();
  text.resize(std::max(max_size, size));
  text.resize(LLVMFuzzerMutate(reinterpret_cast<std::uint8_t*>(text.data()), size, text.size()));
  return text;
}

// One change to the structure of files, chosen by random; false when none could
// be made (no record to change, say).
bool change(std::vector<fuzz::ShardFile>& files, std::minstd_rand& random) {
  auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  fuzz::ShardFile& file = files[pick(files.size())];
  auto& records = file.records;
  switch (pick(7)) {
    case 0:
    case 1:
    case 2: {  // a payload: the most common change
      if (records.empty()) return false;
      std::string& payload = records[pick(records.size())].payload;
      payload = mutated(payload, payload.size() + 64);
      return true;
    }
    case 3: {  // the first line's fields, which hold no line feed
      std::string fields = mutated(file.fields, 60);
      if (fields.find('\n') != std::string::npos) return false;
      file.fields = std::move(fields);
      return true;
    }
    case 4: {
      if (records.empty()) return false;
      records[pick(records.size())].tag = "TSRNXQ"[pick(6)];
      return true;
    }
    case 5: {  // a record dropped, repeated or moved
      if (records.empty()) return false;
      const std::size_t k = pick(records.size());
      const fuzz::ShardRecord record = records[k];
      records.erase(records.begin() + static_cast<std::ptrdiff_t>(k));
      for (int copies = 0; copies < 2; ++copies) {
        if (pick(2) == 0) {
          records.insert(records.begin() + static_cast<std::ptrdiff_t>(pick(records.size() + 1)),
                         record);
        }
      }
      return true;
    }
    default: {  // a file dropped or repeated
      const std::size_t k = pick(files.size());
      if (pick(2) == 0 && files.size() > 1) {
        files.erase(files.begin() + static_cast<std::ptrdiff_t>(k));
      } else if (files.size() < kMostFiles) {
        files.push_back(files[k]);
      } else {
        return false;
      }
      return true;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  g_dir = fuzz::temporary_folder("shard_fuzzer");
  std::atexit(remove_files);
  return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t max_size, unsigned int seed) {
  std::minstd_rand random(seed);
  auto files = fuzz::parse_shard_files(fuzz::as_text(data, size));
  if (!files || files->empty() || random() % 10 == 0) return LLVMFuzzerMutate(data, size, max_size);
  for (int tries = 0; tries < 4 && !change(*files, random); ++tries) {
  }
  const std::string text = fuzz::join_shard_files(*files);
  if (text.size() > max_size) return LLVMFuzzerMutate(data, size, max_size);
  std::memcpy(data, text.data(), text.size());
  return text.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = fuzz::as_text(data, size);
  const std::vector<std::string_view> texts = fuzz::split_shard_files(input);
  if (texts.size() > kMostFiles) return -1;
  std::vector<std::string> paths;
  for (std::string_view text : texts) {
    paths.push_back(file_path(paths.size()));
    std::ofstream(paths.back(), std::ios::binary | std::ios::trunc) << text;
  }
  fuzz::SilencedOutput silenced(kOutputLimit);
  try {
    analyser::shard::merge(paths, silenced.out(), silenced.err());
  } catch (const fuzz::OutputLimitReached&) {
  }
  return 0;
}
