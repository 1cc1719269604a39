// Fuzz target: tool-report's whole analysis of the fixed model (model_folder.h)
// with one of its four files replaced by the fuzz input, at session size 2: the
// files read and checked, the sessions searched and verified, the attacks
// grouped, then the verdict, the summary and the JSON and HTML reports with
// their charts. A refused input (InputError) or a failure of the analyser
// (Failure) is an outcome; only crashes and sanitizer reports are findings.
//
// The first byte of the input chooses the replaced file (bits 0-1) and the
// options: --first (bit 2), --exhaustive (bit 3) and --knowledge-in-join
// (bit 4); the remaining bytes are the file's text. Each search stops after
// kSearchSeconds, as --time-limit stops it, so that every input ends quickly.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "model_folder.h"
#include "report/analysis.h"
#include "report/html_report.h"
#include "report/json_report.h"
#include "report/report.h"
#include "report/summary.h"
#include "report/verdict.h"

using namespace analyser;

namespace {

constexpr double kSearchSeconds = 0.02;

std::optional<fuzz::ModelFolder> g_model;

// Redirects std::cerr, where the analysis writes its search's feedback, while
// it lives.
class SilencedStandardError {
 public:
  explicit SilencedStandardError(std::ostream& sink) : saved_(std::cerr.rdbuf(sink.rdbuf())) {}
  ~SilencedStandardError() { std::cerr.rdbuf(saved_); }
  SilencedStandardError(const SilencedStandardError&) = delete;
  SilencedStandardError& operator=(const SilencedStandardError&) = delete;

 private:
  std::streambuf* saved_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  g_model.emplace("report_fuzzer");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto input = fuzz::replacement_of(data, size);
  if (!input) return -1;
  const auto paths = g_model->with(input->kind, input->text);
  AnalysisOptions options;
  options.principals_file = paths[0];
  options.logic_file = paths[1];
  options.join_file = paths[2];
  options.knowledge_file = paths[3];
  options.session_size = 2;
  options.first_only = (data[0] & 4) != 0;
  options.exhaustive = (data[0] & 8) != 0;
  options.knowledge_in_join = (data[0] & 16) != 0;
  options.time_limit = kSearchSeconds;

  fuzz::SilencedOutput silenced;
  const SilencedStandardError quiet(silenced.err());
  try {
    AnalysisResult result = analyse(options);
    const Verdict verdict = judge(result, options.session_size);
    write_summary(silenced.out(), result, verdict);
    const Report report = make_report(options, std::move(result), verdict);
    silenced.out() << json_report(report) << html_report(report);
  } catch (const InputError& error) {
    for (const std::string& line : error.lines()) silenced.out() << line;
  } catch (const Failure& failure) {
    silenced.out() << failure.description();
  }
  return 0;
}
