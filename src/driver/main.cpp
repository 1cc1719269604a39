// The program entry: standard output through a large buffer, then the driver.
// A failure that nothing handles ends the run with status 2, and so does a
// write to standard output or standard error that failed.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <streambuf>
#include <vector>

#include "driver/driver.h"
#include "utils/utils.h"

using namespace analyser;

namespace {

// Standard output through one large buffer: traces and graphs are long, and the
// search writes them a few bytes at a time. A quarter of a megabyte already makes
// the system calls rare; more would only add to the memory of every run that
// writes much.
class StdoutBuffer : public std::streambuf {
 public:
  StdoutBuffer() { setp(buffer_.get(), buffer_.get() + kSize); }
  ~StdoutBuffer() override { sync(); }

  // The system error of the first write that failed, 0 when none did.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    const char* p = pbase();
    while (p < pptr()) {
      const ssize_t written = ::write(STDOUT_FILENO, p, static_cast<std::size_t>(pptr() - p));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        if (error_ == 0) error_ = written < 0 ? errno : EIO;
        return -1;
      }
      p += written;
    }
    setp(buffer_.get(), buffer_.get() + kSize);
    return 0;
  }

 private:
  static constexpr std::size_t kSize = 1 << 18;  // 256 KiB
  // Left uninitialised: the system maps its pages only as output fills them, so
  // a run that writes little keeps its memory small.
  std::unique_ptr<char[]> buffer_{new char[kSize]};
  int error_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  StdoutBuffer stdout_buffer;
  std::streambuf* const original = std::cout.rdbuf(&stdout_buffer);
  const RunStreams io{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  std::vector<std::string> warnings;
  Parallelism parallelism;
  int status = 0;
  try {
    parallelism = parallelism_from(std::getenv, warnings);
    for (const std::string& text : warnings) std::cerr << "warning: " << text << "\n";
    status = run_driver(std::vector<std::string>(argv, argv + argc), io, parallelism);
  } catch (const Failure& failure) {
    status = report_failure(io, failure);
  }
  // Results that could not be written must not pass for a successful run.
  if (!std::cout.flush() && status == 0) {
    status = report_failure(io, sys_error(std::strerror(stdout_buffer.error())));
  }
  // Nor may warnings, statistics or a failure report that could not be written,
  // though nothing can say so any more.
  if (!std::cerr.flush()) status = 2;
  std::cout.rdbuf(original);
  return status;
}
