// What the fuzz targets share: the check of the syntax errors the parsers
// report, and output sinks that keep the analyser's writing off the
// terminal while still exercising every rendering.
//
// A target ends each input with the analyser's specified outcome: a result or a
// Failure (the report of a run that stops). Only crashes, sanitizer reports,
// inputs that take too long and syntax errors reported without a diagnostic are
// findings.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <streambuf>
#include <string>

#include "formula/formula_parser.h"
#include "parser/parser.h"
#include "parser/tokenizer.h"
#include "utils/utils.h"

using namespace analyser;

namespace fuzz {

// Thrown when the analyser has written more than a target allows: a search that
// writes a report per trace is stopped this way instead of running for long. It
// is no std::exception, so that it passes the driver's failure report (which
// would write to the failed stream) and reaches the target itself.
struct OutputLimitReached {};

// Discards what is written; past `limit` bytes every write throws OutputLimitReached.
class CountingSink : public std::streambuf {
 public:
  explicit CountingSink(std::size_t limit = std::numeric_limits<std::size_t>::max())
      : limit_(limit) {}

 protected:
  std::streamsize xsputn(const char* /*s*/, std::streamsize n) override {
    count(static_cast<std::size_t>(n));
    return n;
  }
  int_type overflow(int_type c) override {
    count(1);
    return traits_type::not_eof(c);
  }

 private:
  void count(std::size_t n) {
    written_ += n;
    if (written_ > limit_) throw OutputLimitReached();
  }

  std::size_t limit_;
  std::size_t written_ = 0;
};

// The streams a target writes to: standard output into a CountingSink with the
// given limit (the limit's exception passes through the stream), standard error
// into a plain sink.
class SilencedOutput {
 public:
  explicit SilencedOutput(std::size_t limit = std::numeric_limits<std::size_t>::max())
      : out_sink_(limit), out_stream_(&out_sink_), err_stream_(&err_sink_) {
    out_stream_.exceptions(std::ios::badbit);
  }
  SilencedOutput(const SilencedOutput&) = delete;
  SilencedOutput& operator=(const SilencedOutput&) = delete;

  std::ostream& out() { return out_stream_; }
  std::ostream& err() { return err_stream_; }

 private:
  CountingSink out_sink_;
  std::ostream out_stream_;
  CountingSink err_sink_;
  std::ostream err_stream_;
};
// Every syntax error the analyser reports must also be explained at its place in
// the file: a reported error without its diagnostic is a finding.
inline void require_diagnostic(const syntax::Diagnostic& diagnostic) {
  if (diagnostic.text.empty() || diagnostic.where.line < 1 || diagnostic.where.column < 1) {
    std::abort();
  }
}

// A new folder for a target's files, named after prefix: in memory (/dev/shm)
// where the system has it, since a file written and closed on a disk for each
// input costs more than most inputs' runs; else in /tmp.
inline std::string temporary_folder(const std::string& prefix) {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
  std::string dir = base + prefix + ".XXXXXX";
  if (!mkdtemp(dir.data())) std::abort();
  return dir;
}

inline std::string as_text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// A syntax error as the run reports it: its error line, or else the parser's
// exception name; it must come with its diagnostic.
inline void report(std::ostream& os, const syntax::SyntaxError& error) {
  require_diagnostic(error.diagnostic());
  os << (error.has_error_line() ? error.error_line() : std::string(error.description()));
}

}  // namespace fuzz
