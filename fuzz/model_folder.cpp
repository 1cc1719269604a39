#include "model_folder.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "fuzz_support.h"

namespace fuzz {

namespace {

const char* const kFixedTexts[] = {
    ("A : (b) [ out({(na,A)}b+) . in({(na,?y)}A-) . out({y}b+) ] ;\n"
     "B : (a) [ in({(?x,a)}B-) . out({(x,nb)}a+) . in({nb}B-) ] ;\n"),
    "forall B.i: (not :> nb_i) and (exists A.j: b_j = B_i) ;\n",
    "forall B.i: exists A.j: a_i = A_j ;\n",
    "I_0, I_0+, I_0- ;\n",
};
const char* const kFileNames[] = {"principals.txt", "logic.txt", "join.txt", "knowledge.txt"};
const char* const kReplacement = "input.txt";

void write(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

std::optional<Replacement> replacement_of(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return std::nullopt;
  const auto kind = static_cast<FileKind>(data[0] & 3);
  if (size - 1 > kLongestText[kind]) return std::nullopt;
  return Replacement{kind, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)};
}

ModelFolder::ModelFolder(const std::string& prefix) : dir_(temporary_folder(prefix)) {
  for (int k = kPrincipals; k <= kKnowledge; ++k) write(path(kFileNames[k]), kFixedTexts[k]);
}

ModelFolder::~ModelFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::array<std::string, 4> ModelFolder::files() const {
  std::array<std::string, 4> paths;
  for (int k = kPrincipals; k <= kKnowledge; ++k) {
    paths[static_cast<std::size_t>(k)] = path(kFileNames[k]);
  }
  return paths;
}

std::array<std::string, 4> ModelFolder::with(FileKind replaced, std::string_view text) const {
  write(path(kReplacement), text);
  std::array<std::string, 4> paths = files();
  paths[replaced] = path(kReplacement);
  return paths;
}

}  // namespace fuzz
