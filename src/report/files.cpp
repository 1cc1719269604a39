#include "report/files.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "utils/utils.h"

namespace analyser {

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
    throw sys_error(path + ": " + std::strerror(errno));
  }
}

}  // namespace analyser
