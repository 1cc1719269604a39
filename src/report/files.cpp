#include "report/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "utils/utils.h"

namespace analyser {

namespace {

// A new file beside path, open for writing, removed unless it is kept.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& path) {
    // O_EXCL: a name no other file has, which the process id and a count make likely.
    for (int attempt = 0; fd_ < 0; ++attempt) {
      name_ = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
      fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && (errno != EEXIST || attempt == 99)) fail(path);
    }
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Writes text, takes the mode of the file at path if there is one, flushes it
  // all to the disk and renames it over path.
  void replace(const std::string& path, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) fail(path, n < 0 ? errno : EIO);
      done += static_cast<std::size_t>(n);
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && ::fchmod(fd_, target.st_mode & 07777) != 0) {
      fail(path);
    }
    if (::fsync(fd_) != 0) fail(path);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(path);
    if (std::rename(name_.c_str(), path.c_str()) != 0) fail(path);
    kept_ = true;
  }

 private:
  [[noreturn]] static void fail(const std::string& path, int error = errno) {
    throw sys_error(path + ": " + std::strerror(error));
  }

  std::string name_;
  int fd_ = -1;
  bool kept_ = false;
};

}  // namespace

void write_file(const std::string& path, const std::string& text) {
  TemporaryFile(path).replace(path, text);
}

}  // namespace analyser
