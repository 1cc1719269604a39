#include "shard/records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace analyser::shard {

namespace {

constexpr std::string_view kMagic = "tool-shard";
constexpr std::size_t kChecksumDigits = 16;
constexpr std::size_t kReadBlock = std::size_t{1} << 16;

std::string hex(std::uint64_t checksum) {
  char text[kChecksumDigits + 1];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(checksum));
  return text;
}

// The checksum of a line's text before its checksum, its line feed and then a
// payload given in pieces.
class Checksum {
 public:
  Checksum(std::uint64_t seed, std::string_view line) : state_(XXH3_createState()) {
    if (!state_) throw std::bad_alloc();
    XXH3_64bits_reset_withSeed(state_.get(), seed);
    add(line);
    add("\n");
  }
  void add(std::string_view bytes) { XXH3_64bits_update(state_.get(), bytes.data(), bytes.size()); }
  std::uint64_t value() const { return XXH3_64bits_digest(state_.get()); }

 private:
  struct Free {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
  };
  std::unique_ptr<XXH3_state_t, Free> state_;
};

// The number that text writes exactly as a writer writes one: decimal digits,
// no sign and no leading zero.
std::optional<std::uint64_t> number(std::string_view text) {
  std::uint64_t n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
      (text.size() > 1 && text[0] == '0')) {
    return std::nullopt;
  }
  return n;
}

// The checksum that text writes: 16 lowercase hexadecimal digits.
std::optional<std::uint64_t> checksum_of(std::string_view text) {
  if (text.size() != kChecksumDigits) return std::nullopt;
  std::uint64_t n = 0;
  for (char c : text) {
    const bool digit = c >= '0' && c <= '9';
    if (!digit && !(c >= 'a' && c <= 'f')) return std::nullopt;
    n = n * 16 + static_cast<std::uint64_t>(digit ? c - '0' : c - 'a' + 10);
  }
  return n;
}

// A line split at its last blank into its text and its checksum.
std::optional<std::pair<std::string_view, std::uint64_t>> split_checksum(std::string_view line) {
  const std::size_t blank = line.rfind(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const auto checksum = checksum_of(line.substr(blank + 1));
  if (!checksum) return std::nullopt;
  return std::make_pair(line.substr(0, blank), *checksum);
}

[[noreturn]] void unreadable(int error) {
  throw Damaged(std::string("cannot be read: ") + std::strerror(error));
}

}  // namespace

RecordWriter::RecordWriter(std::ostream& out, const std::string& fields) : out_(out) {
  const std::string line = std::string(kMagic) + " " + std::to_string(kVersion) + " " + fields;
  last_checksum_ = Checksum(0, line).value();
  out_ << line << " " << hex(last_checksum_) << "\n";
}

void RecordWriter::write(char tag, std::string_view payload) {
  const std::string line = std::string(1, tag) + " " + std::to_string(payload.size());
  Checksum checksum(last_checksum_, line);
  checksum.add(payload);
  last_checksum_ = checksum.value();
  out_ << line << " " << hex(last_checksum_) << "\n" << payload;
}

RecordReader::Descriptor::~Descriptor() {
  if (fd >= 0) ::close(fd);
}

RecordReader::RecordReader(const std::string& path) {
  // Not blocking: a named pipe with no writer would hold the merge up.
  file_.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file_.fd < 0) unreadable(errno);
  struct stat status {};
  if (::fstat(file_.fd, &status) != 0) unreadable(errno);
  if (S_ISDIR(status.st_mode)) throw Damaged("is a directory");
  // A shard file is read more than once, which a pipe or a device cannot be.
  if (!S_ISREG(status.st_mode)) throw Damaged("is not a shard file (not a regular file)");
  file_size_ = static_cast<std::uint64_t>(status.st_size);
  if (file_size_ == 0) throw Damaged("is empty");

  const Line first = line();
  const std::string_view text = first.text;
  const std::string magic = std::string(kMagic) + " ";
  if (!first.whole || !text.starts_with(magic)) throw Damaged("is not a shard file");
  const std::string_view rest = text.substr(magic.size());
  const std::size_t blank = rest.find(' ');
  if (number(rest.substr(0, blank)) != static_cast<std::uint64_t>(kVersion)) {
    throw Damaged("is a shard file of another version");
  }
  const auto split = split_checksum(text);
  if (!split || blank == std::string_view::npos || split->first.size() <= magic.size() + blank ||
      Checksum(0, split->first).value() != split->second) {
    throw Damaged("has a damaged first line");
  }
  fields_ = std::string(split->first.substr(magic.size() + blank + 1));
  last_checksum_ = split->second;
  offset_ = text.size() + 1;
}

RecordReader::~RecordReader() = default;

RecordReader::Line RecordReader::line() const {
  char buffer[kLongestLine];
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(kLongestLine, file_size_ - offset_));
  std::size_t got = 0;
  while (got < wanted) {
    const ssize_t n =
        ::pread(file_.fd, buffer + got, wanted - got, static_cast<off_t>(offset_ + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) unreadable(errno);
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  const std::string_view read(buffer, got);
  const std::size_t end = read.find('\n');
  if (end == std::string_view::npos) return {std::string(read), false};
  return {std::string(read.substr(0, end)), true};
}

std::optional<RecordPlace> RecordReader::next() {
  if (offset_ == file_size_) return std::nullopt;
  const std::string where = " at byte " + std::to_string(offset_);
  const Line read = line();
  if (!read.whole) {
    if (offset_ + read.text.size() >= file_size_) throw Damaged("is cut short");
    throw Damaged("holds a record that cannot be read" + where);
  }
  const auto split = split_checksum(read.text);
  const std::string_view text = split ? split->first : std::string_view();
  const bool tagged = text.size() > 2 && text[0] >= 'A' && text[0] <= 'Z' && text[1] == ' ';
  const auto size = tagged ? number(text.substr(2)) : std::nullopt;
  if (!size) throw Damaged("holds a record that cannot be read" + where);
  RecordPlace place;
  place.tag = text[0];
  place.offset = offset_ + read.text.size() + 1;
  place.size = *size;
  place.seed = last_checksum_;
  place.line = std::string(text);
  place.checksum = split->second;
  if (place.size > file_size_ - place.offset) throw Damaged("is cut short");
  if (!read_checked(place, [](std::string_view) {})) {
    throw Damaged("holds a damaged record" + where);
  }
  offset_ = place.offset + place.size;
  last_checksum_ = place.checksum;
  return place;
}

std::string RecordReader::payload(const RecordPlace& place) const {
  std::string payload;
  payload.reserve(static_cast<std::size_t>(place.size));  // a size that passed its check
  if (!read_checked(place, [&](std::string_view piece) { payload += piece; })) {
    throw Damaged("changed while it was merged");
  }
  return payload;
}

template <typename Take>
bool RecordReader::read_checked(const RecordPlace& place, Take take) const {
  Checksum checksum(place.seed, place.line);
  const auto block = std::make_unique<char[]>(kReadBlock);
  std::uint64_t done = 0;
  while (done < place.size) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlock, place.size - done));
    const ssize_t n =
        ::pread(file_.fd, block.get(), wanted, static_cast<off_t>(place.offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) unreadable(errno);
    if (n == 0) return false;  // the file is shorter than it was
    const std::string_view piece(block.get(), static_cast<std::size_t>(n));
    checksum.add(piece);
    take(piece);
    done += static_cast<std::uint64_t>(n);
  }
  return checksum.value() == place.checksum;
}

}  // namespace analyser::shard
