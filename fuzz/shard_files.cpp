#include "shard_files.h"

#include <charconv>
#include <sstream>

#include "shard/records.h"

namespace fuzz {

namespace {

constexpr std::string_view kFileStart = "tool-shard ";

// The record at the start of text, "<tag> <size> <checksum>\n" and its payload:
// the tag, the payload's offset in text and its size; none when the line cannot
// be read or the payload is cut short.
struct RecordAt {
  char tag = 0;
  std::size_t offset = 0;
  std::size_t size = 0;
};
std::optional<RecordAt> record_at(std::string_view text) {
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos || end < 4 || text[1] != ' ') return std::nullopt;
  const std::string_view line = text.substr(0, end);
  const std::size_t blank = line.rfind(' ');
  std::size_t size = 0;
  const auto [stop, error] = std::from_chars(line.data() + 2, line.data() + blank, size);
  if (error != std::errc() || stop != line.data() + blank || size > text.size() - end - 1) {
    return std::nullopt;
  }
  return RecordAt{text[0], end + 1, size};
}

// The length of the file at the start of text.
std::size_t file_length(std::string_view text) {
  std::size_t at = text.find('\n');
  if (at == std::string_view::npos) return text.size();
  ++at;
  while (at < text.size() && !text.substr(at).starts_with(kFileStart)) {
    const auto record = record_at(text.substr(at));
    if (!record) return text.size();
    at += record->offset + record->size;
  }
  return at;
}

}  // namespace

std::vector<std::string_view> split_shard_files(std::string_view input) {
  std::vector<std::string_view> files;
  while (!input.empty()) {
    const std::size_t length = file_length(input);
    files.push_back(input.substr(0, length));
    input.remove_prefix(length);
  }
  return files;
}

std::optional<std::vector<ShardFile>> parse_shard_files(std::string_view input) {
  std::vector<ShardFile> parsed;
  for (std::string_view text : split_shard_files(input)) {
    const std::size_t end = text.find('\n');
    const std::string_view first = text.substr(0, end);
    const std::size_t version_end = first.find(' ', kFileStart.size());
    const std::size_t checksum = first.rfind(' ');
    if (end == std::string_view::npos || !first.starts_with(kFileStart) ||
        version_end == std::string_view::npos || checksum <= version_end) {
      return std::nullopt;
    }
    ShardFile& file = parsed.emplace_back();
    file.fields = std::string(first.substr(version_end + 1, checksum - version_end - 1));
    text.remove_prefix(end + 1);
    while (!text.empty()) {
      const auto record = record_at(text);
      if (!record) return std::nullopt;
      file.records.push_back({record->tag, std::string(text.substr(record->offset, record->size))});
      text.remove_prefix(record->offset + record->size);
    }
  }
  return parsed;
}

std::string join_shard_files(const std::vector<ShardFile>& files) {
  std::ostringstream out;
  for (const ShardFile& file : files) {
    analyser::shard::RecordWriter writer(out, file.fields);
    for (const ShardRecord& record : file.records) writer.write(record.tag, record.payload);
  }
  return out.str();
}

}  // namespace fuzz
