// The fixed model the whole-program targets analyse: the Needham-Schroeder
// public-key roles, their property, join components and intruder knowledge, in
// a temporary folder, with any one of its four files replaced by a fuzz input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fuzz {

enum FileKind { kPrincipals, kLogic, kJoin, kKnowledge };

// The longest replacement text of each kind of file: the search's size grows
// with the principals file, and the clause form is exponential in a formula's
// connectives by design, so formulas are kept short.
inline constexpr std::size_t kLongestText[] = {2048, 96, 96, 512};

// What an input replaces: the file that bits 0-1 of its first byte choose, by
// the text of the rest of it.
struct Replacement {
  FileKind kind;
  std::string_view text;
};
// None for an empty input or a text longer than kLongestText allows.
std::optional<Replacement> replacement_of(const std::uint8_t* data, std::size_t size);

class ModelFolder {
 public:
  // A new temporary folder, named after prefix, holding the four files.
  explicit ModelFolder(const std::string& prefix);
  ~ModelFolder();  // removes the folder and every file in it
  ModelFolder(const ModelFolder&) = delete;
  ModelFolder& operator=(const ModelFolder&) = delete;

  const std::string& folder() const { return dir_; }
  // The paths of the four files in the order of the command line (principals,
  // logic, join, knowledge).
  std::array<std::string, 4> files() const;
  // The same, the replaced one's being a file that holds text.
  std::array<std::string, 4> with(FileKind replaced, std::string_view text) const;
  // The path of a file of the folder.
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

}  // namespace fuzz
