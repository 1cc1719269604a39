#include "driver/driver.h"

#include <algorithm>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/parsecmdline.h"
#include "node/node.h"
#include "run/gviz.h"
#include "run/inputs.h"
#include "run/printers.h"
#include "search/outcome.h"
#include "search/parallel.h"
#include "search/search.h"
#include "shard/shard_file.h"
#include "utils/utils.h"

namespace analyser {

namespace {

// What the finished run has to say beyond its output: why it checked nothing,
// and, for a person watching a verification, the verdict.
void write_outcome(const RunStreams& io, const SearchState& state) {
  const std::vector<std::string> warnings = run_warnings(state);
  const bool verdict = state.options.mode == OutputMode::Verify && io.err_is_terminal;
  if (warnings.empty() && !verdict) return;
  // The progress display leaves the cursor at the end of its line.
  if (state.options.feedback) io.err << "\n";
  for (const std::string& text : warnings) warn(io, text);
  if (verdict) io.err << verdict_line(state) << "\n";
  io.err << std::flush;
}

// The search, on as many threads as parallelism allows; what it writes does not
// depend on how many. A shard writes its share into shard instead.
void search_and_report(SearchState& state, const Settings& settings, const RunStreams& io,
                       const Parallelism& parallelism, shard::Writer* shard) {
  if (parallelism.threads <= 1 && !shard) {
    ReportPrinter printer(io.out, settings.graph_fields);
    search::run(state, printer);
    return;
  }
  const GraphFields fields = settings.graph_fields;
  const auto printer_for = [&](std::ostream& out) {
    return std::make_unique<ReportPrinter>(out, fields);
  };
  search::ParallelOptions options{parallelism.threads};
  if (parallelism.held_output) options.held_output = *parallelism.held_output;
  if (!shard) {
    search::RenumberingWriter writer(state, io.out);
    search::run_parallel(state, printer_for, options, writer);
    return;
  }
  shard->search_starts(shard::figures_at_start(state));
  options.shards = parallelism.shards;
  options.shard = parallelism.shard;
  const std::int64_t pieces = search::run_parallel(state, printer_for, options, *shard);
  shard->search_done(pieces, state.times.search_time);
}

void run(const std::vector<std::string>& args, const RunStreams& io, const Parallelism& parallelism,
         shard::Writer* shard) {
  Settings settings = default_settings();
  if (args.size() < 2) {
    print_usage(io.out, false);
    return;
  }
  parse_command_line(args, settings);
  if (!settings.error.empty()) {
    io.out << "\n" << settings.error << "\n";
    return;
  }
  if (settings.help) {
    print_usage(io.out, true);
    return;
  }
  if (settings.principals_file.empty() || settings.logic_file.empty() ||
      settings.join_file.empty() || settings.knowledge_file.empty()) {
    print_usage(io.out, false);
    return;
  }

  const Inputs inputs = read_inputs(settings, io);
  for (const std::string& text : input_warnings(settings, inputs)) warn(io, text);
  // The analysis pairs the knowledge terms and fails on a single one: say why.
  if (inputs.too_few_knowledge_terms) {
    report_diagnostic(io, *inputs.too_few_knowledge_terms, settings.knowledge_file);
  }
  SearchState state = search::create(inputs.principals, inputs.knowledge, settings.search, io.err);
  search::join(state, inputs.formula, inputs.join_components);
  const bool graph = settings.search.mode == OutputMode::Graph;
  if (graph) graph_header(io.out, "prova");
  search_and_report(state, settings, io, parallelism, shard);
  if (graph) graph_footer(io.out);
  if (shard) return;  // the merge writes what the whole run established
  write_outcome(io, state);
  if (settings.search.feedback) search::print_statistics(io.err, state);
}

}  // namespace

namespace {

// The run as one shard of parallelism.shards: its standard output becomes the
// shard file's text records.
int run_shard(const std::vector<std::string>& args, const RunStreams& io,
              const Parallelism& parallelism) {
  shard::Writer writer(io.out, {shard::fingerprint(args), parallelism.shards, parallelism.shard});
  const RunStreams framed{writer.text(), io.err, io.err_is_terminal};
  std::optional<Failure> failure;
  try {
    run(args, framed, parallelism, &writer);
  } catch (...) {
    failure = failure_from(std::current_exception());
  }
  const int status = failure ? report_failure(framed, *failure) : 0;
  writer.end(status, failure);
  return status;
}

}  // namespace

int run_driver(const std::vector<std::string>& args, const RunStreams& io,
               const Parallelism& parallelism) {
  if (parallelism.shards > 0) return run_shard(args, io, parallelism);
  try {
    run(args, io, parallelism, nullptr);
  } catch (...) {
    return report_failure(io, failure_from(std::current_exception()));
  }
  return 0;
}

int report_failure(const RunStreams& io, const Failure& failure) {
  io.out << failure.output() << std::flush;
  io.err << "Fatal error: exception " << failure.description() << "\n" << std::flush;
  return 2;
}

}  // namespace analyser
