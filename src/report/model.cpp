#include "report/model.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>

namespace analyser {

namespace fs = std::filesystem;

namespace {

constexpr const char* kRoles[] = {"principals", "logic", "join", "knowledge"};

std::string single_quoted(const std::string& path) {
  return "'" + path + "'";
}

std::string named(const InputFile& file) {
  return file.role + " file " + single_quoted(file.path);
}

// The system's text for an error, as the rest of a sentence.
std::string error_text(int error) {
  switch (error) {
    case ENOENT:
      return "does not exist";
    case EISDIR:
      return "is a directory";
    case EACCES:
      return "cannot be read (permission denied)";
    default:
      break;
  }
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string text_of(const InputFile& file) {
  std::error_code ignored;
  if (fs::is_directory(file.path, ignored)) throw InputError(named(file) + ": is a directory");
  std::unique_ptr<std::FILE, FileCloser> in(std::fopen(file.path.c_str(), "rb"));
  if (!in) throw InputError(named(file) + ": " + error_text(errno));
  std::string text;
  char block[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(block, 1, sizeof block, in.get());
    if (n == 0) break;
    text.append(block, n);
  }
  if (std::ferror(in.get())) throw InputError(named(file) + ": " + error_text(errno));
  return text;
}

// The path as the file system resolves it, so that two spellings of one file
// compare equal.
fs::path resolved(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  fs::path canonical = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : canonical;
}

bool is_chart_in(const fs::path& path, const fs::path& chart_dir) {
  static const std::regex chart_name("attack-[0-9]+\\.svg");
  return path.parent_path() == chart_dir && std::regex_match(path.filename().string(), chart_name);
}

}  // namespace

std::vector<InputFile> model_files(const std::vector<std::string>& arguments) {
  std::vector<InputFile> files;
  if (arguments.size() == 1) {
    std::error_code ignored;
    if (!fs::is_directory(arguments[0], ignored)) {
      throw InputError(single_quoted(arguments[0]) +
                       " is not a model folder: give a folder holding principals.txt, "
                       "logic.txt, join.txt and knowledge.txt, or the four files");
    }
    for (std::size_t k = 0; k < 4; ++k) {
      files.push_back(
          InputFile{kRoles[k], (fs::path(arguments[0]) / kModelFileNames[k]).string(), ""});
    }
    return files;
  }
  if (arguments.size() != 4) {
    throw InputError(
        "expected a model folder or four files (principals logic join knowledge), "
        "found " +
        std::to_string(arguments.size()) + " arguments");
  }
  for (std::size_t k = 0; k < 4; ++k) files.push_back(InputFile{kRoles[k], arguments[k], ""});
  return files;
}

std::vector<InputFile> claim_files(const std::vector<std::string>& paths) {
  std::vector<InputFile> files;
  for (const std::string& path : paths) files.push_back(InputFile{kClaimRole, path, ""});
  return files;
}

void read_texts(std::vector<InputFile>& files) {
  for (InputFile& file : files) file.text = text_of(file);
}

void check_outputs(const std::vector<InputFile>& inputs, const std::vector<OutputPath>& outputs) {
  struct Place {
    std::string name;
    fs::path path;
  };
  std::vector<Place> taken;
  for (const InputFile& file : inputs) taken.push_back({"the " + named(file), resolved(file.path)});
  std::vector<fs::path> chart_dirs;
  for (const OutputPath& output : outputs) {
    if (output.option == "--svg-dir" && !output.path.empty())
      chart_dirs.push_back(resolved(output.path));
  }
  for (const OutputPath& output : outputs) {
    if (output.path.empty()) continue;
    const fs::path path = resolved(output.path);
    const std::string what = output.option + " " + single_quoted(output.path);
    for (const Place& place : taken) {
      if (place.path == path)
        throw InputError(what + " is " + place.name + ": choose another path");
    }
    if (output.option == "--svg-dir") {
      for (const Place& place : taken) {
        if (is_chart_in(place.path, path)) {
          throw InputError(what + " would hold its charts where " + place.name +
                           " is: choose another folder");
        }
      }
    } else {
      for (const fs::path& dir : chart_dirs) {
        if (is_chart_in(path, dir)) {
          throw InputError(what + " is where --svg-dir writes a chart: choose another path");
        }
      }
    }
    const bool folder = output.option == "--svg-dir";
    taken.push_back({"the " + output.option + (folder ? " folder" : " file"), path});
  }
}

}  // namespace analyser
