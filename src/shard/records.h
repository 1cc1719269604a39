// The framing of a shard file: checksummed records that a reader can trust.
//
// A file is a first line
//   tool-shard <version> <fields> <checksum>
// then records, each a line "<tag> <size> <checksum>" and size bytes of payload.
// A tag is one capital letter, a size a decimal number without leading zeros,
// a checksum 16 lowercase hexadecimal digits: XXH3 (64 bits) of the line's text
// before the checksum, a line feed and the payload, seeded with the checksum
// before it (that of the first line for the first record). So a record that is
// changed, lost, moved or taken from another file fails its check, and so do
// all after it.
//
// A reader reads nothing it has not bounded: lines are at most kLongestLine
// bytes, a payload is no longer than what is left of the file, and no byte of a
// payload is handed out before the whole payload has passed its check.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace analyser::shard {

// What makes a file unreadable as a shard file; the text says what, without the
// file's name.
class Damaged : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The longest first line or record line a shard file holds, line feed included.
inline constexpr std::size_t kLongestLine = 128;
// The version of the format, which the first line names: files of another one
// are refused. It covers the payloads' formats too.
inline constexpr int kVersion = 3;

// Writes the first line at once, then each record as it is given.
class RecordWriter {
 public:
  // fields: the first line's text between the version and the checksum; no line
  // feed, at most kLongestLine - 50 bytes.
  RecordWriter(std::ostream& out, const std::string& fields);
  void write(char tag, std::string_view payload);

 private:
  std::ostream& out_;
  std::uint64_t last_checksum_;  // seeds the next record's
};

// Where a record's payload is in its file, and what checks it.
struct RecordPlace {
  char tag = 0;
  std::uint64_t offset = 0;  // of the payload
  std::uint64_t size = 0;
  std::uint64_t seed = 0;      // the checksum before the record's
  std::string line;            // the record's line before its checksum
  std::uint64_t checksum = 0;  // the record's own
};

// Reads one shard file, which stays open (by descriptor, not by name) until the
// reader is destroyed: a file replaced under the same name meanwhile is not
// seen, and one changed in place fails the checks when it is read again.
class RecordReader {
 public:
  // Opens path and checks its first line. Throws Damaged when path cannot be
  // opened, is a directory or not a regular file, is empty, is not a shard file,
  // is one of another version, or its first line is damaged.
  explicit RecordReader(const std::string& path);
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // The fields of the first line.
  const std::string& fields() const { return fields_; }

  // The next record, whose payload has passed its check, or none at the end of
  // the file. Throws Damaged for a record that is cut short, cannot be read or
  // fails its check.
  std::optional<RecordPlace> next();

  // The payload of a record that next() gave, read again and checked again;
  // throws Damaged when it no longer passes.
  std::string payload(const RecordPlace& place) const;

 private:
  // Closes the file however the reader ends, in its constructor too.
  struct Descriptor {
    ~Descriptor();
    int fd = -1;
  };
  // Up to kLongestLine bytes from offset_: to the first line feed, which is left
  // out, when whole.
  struct Line {
    std::string text;
    bool whole = false;
  };
  Line line() const;
  // Reads the payload at place, handing it to take in pieces as it goes; whether
  // it was all there and passed its check.
  template <typename Take>
  bool read_checked(const RecordPlace& place, Take take) const;

  Descriptor file_;
  std::uint64_t file_size_ = 0;  // when opened: what any size is checked against
  std::uint64_t offset_ = 0;     // where the next line starts
  std::uint64_t last_checksum_ = 0;
  std::string fields_;
};

}  // namespace analyser::shard
