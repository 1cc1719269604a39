#include "shard/records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace analyser::shard {

namespace {

using Records = std::vector<std::pair<char, std::string>>;

// The text of a file with the first line's fields and the records.
std::string framed(const std::string& fields, const Records& records) {
  std::ostringstream out;
  RecordWriter writer(out, fields);
  for (const auto& [tag, payload] : records) writer.write(tag, payload);
  return out.str();
}

const Records kRecords = {{'T', "text\n"}, {'S', ""}, {'X', std::string(70'000, 'x')}};

class RecordFiles : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "records_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string file(const std::string& name, const std::string& contents) const {
    const std::string path = dir_ + name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }

  // The records of the file at path, or the text of the Damaged it throws.
  static std::pair<Records, std::string> read(const std::string& path) {
    Records records;
    try {
      RecordReader reader(path);
      EXPECT_EQ(reader.fields(), "fields 1 0");
      while (const auto place = reader.next())
        records.emplace_back(place->tag, reader.payload(*place));
    } catch (const Damaged& damaged) {
      return {records, damaged.what()};
    }
    return {records, ""};
  }

  std::string dir_;
};

TEST_F(RecordFiles, GiveBackWhatWasWritten) {
  const auto [records, damage] = read(file("whole", framed("fields 1 0", kRecords)));
  EXPECT_EQ(damage, "");
  EXPECT_EQ(records, kRecords);
}

// Each file, and what the reader says of it.
TEST_F(RecordFiles, AreRefusedForWhatIsWrongWithThem) {
  const std::string whole = framed("fields 1 0", kRecords);
  const std::size_t first_line = whole.find('\n') + 1;
  const std::string head = whole.substr(0, first_line);
  const std::string t_record = framed("fields 1 0", {kRecords[0]}).substr(first_line);
  // The T and S records of the whole file, in the other order.
  const std::size_t t_end = whole.find('\n', first_line) + 1 + kRecords[0].second.size();
  const std::size_t s_end = whole.find('\n', t_end) + 1 + kRecords[1].second.size();
  const std::string swapped = head + whole.substr(t_end, s_end - t_end) +
                              whole.substr(first_line, t_end - first_line) + whole.substr(s_end);
  std::string first_line_changed = whole;
  first_line_changed[whole.find("fields 1 0") + 9] = '1';
  std::string changed_payload = whole;
  changed_payload[whole.find("text")] = 'T';
  std::string upper_checksum = whole;
  for (std::size_t i = first_line + 4; i < first_line + 20; ++i) {
    upper_checksum[i] = static_cast<char>(std::toupper(upper_checksum[i]));
  }
  const std::string other_version =
      "tool-shard 2" + whole.substr(std::string("tool-shard 3").size());
  const std::string at = " at byte " + std::to_string(first_line);
  const struct {
    std::string name;
    std::string contents;
    std::string damage;
    std::size_t records_read;
  } cases[] = {
      {"empty", "", "is empty", 0},
      {"text", "principals : () [ ] ;\n", "is not a shard file", 0},
      {"no line feed", std::string(1000, 't'), "is not a shard file", 0},
      {"other version", other_version, "is a shard file of another version", 0},
      {"first line changed", first_line_changed, "has a damaged first line", 0},
      {"header only", head, "", 0},
      {"payload changed", changed_payload, "holds a damaged record" + at, 0},
      {"checksum in capitals", upper_checksum, "holds a record that cannot be read" + at, 0},
      {"size with a leading zero", head + "T 05" + t_record.substr(3),
       "holds a record that cannot be read" + at, 0},
      {"lower-case tag", head + "t" + t_record.substr(1), "holds a record that cannot be read" + at,
       0},
      // The checksums are chained: a record moved or taken from another file fails.
      {"records swapped", swapped, "holds a damaged record" + at, 0},
      {"record line cut", whole.substr(0, first_line + 3), "is cut short", 0},
      {"payload cut", whole.substr(0, whole.size() - 1), "is cut short", 2},
      {"line too long", head + std::string(kLongestLine + 1, '7') + "\n",
       "holds a record that cannot be read" + at, 0},
  };
  for (const auto& c : cases) {
    const auto [records, damage] = read(file("case", c.contents));
    EXPECT_EQ(damage, c.damage) << c.name;
    EXPECT_EQ(records.size(), c.records_read) << c.name;
  }
}

TEST_F(RecordFiles, AreNamedForWhatTheyAreWhenNoFiles) {
  const struct {
    std::string path;
    std::string damage;
  } cases[] = {
      {dir_, "is a directory"},
      {"/dev/zero", "is not a shard file (not a regular file)"},
      {dir_ + "missing", "cannot be read: No such file or directory"},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.path).second, c.damage) << c.path;
}

// A file changed in place after its records passed their checks fails them when
// it is read again.
TEST_F(RecordFiles, ChangedInPlaceFailWhenReadAgain) {
  const std::string whole = framed("fields 1 0", kRecords);
  const std::string path = file("whole", whole);
  RecordReader reader(path);
  const auto place = reader.next();
  ASSERT_TRUE(place);
  std::string changed = whole;
  changed[place->offset] = 'T';
  std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << changed;
  try {
    reader.payload(*place);
    FAIL() << "read";
  } catch (const Damaged& damaged) {
    EXPECT_EQ(std::string(damaged.what()), "changed while it was merged");
  }
}

}  // namespace

}  // namespace analyser::shard
