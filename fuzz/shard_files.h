// The inputs of the shard target: the shard files of one merge, one after the
// other, each as the run wrote it (see src/shard/records.h), and what the
// target's mutator sees in them.
//
// The input is cut into files where a line starts with "tool-shard ": each
// file's records are stepped over by the sizes their lines give, so a payload
// that holds such a line does not cut its file. Where a record line cannot be
// read, the rest of the input is the current file's.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The input as the texts of its shard files.
std::vector<std::string_view> split_shard_files(std::string_view input);

// A shard file as its parts, which join_shard_files writes back with checksums
// that pass, whatever was changed.
struct ShardRecord {
  char tag = 0;
  std::string payload;
};
struct ShardFile {
  std::string fields;  // of the first line, between the version and the checksum
  std::vector<ShardRecord> records;
};

// The parts of each file, or none when a file's framing is damaged (its
// checksums are not checked).
std::optional<std::vector<ShardFile>> parse_shard_files(std::string_view input);

// The files written back, one after the other, every checksum computed afresh.
std::string join_shard_files(const std::vector<ShardFile>& files);

}  // namespace fuzz
