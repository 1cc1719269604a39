#include "report/files.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "utils/utils.h"

namespace analyser {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  if (!in.is_open() || in.bad()) throw sys_error(path + ": " + std::strerror(errno));
  return text;
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
    throw sys_error(path + ": " + std::strerror(errno));
  }
}

}  // namespace analyser
