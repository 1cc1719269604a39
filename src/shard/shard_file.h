// Shard files: one process's share of a run that is cut into shards, and the
// merge that joins the shard files of a run into exactly the run's output.
//
// A shard file is framed as records.h says; its first line's fields are
//   <fingerprint> <shards> <index>
// (the fingerprint covers the command line and the input files' contents), and
// its records are:
//   T  text the run wrote on standard output outside the search
//   S  a segment of the search that this shard owns, or a part of one (see
//      segments.h); its output comes last, and the merge reads it from the
//      file again only when it writes it
//   R  the run's figures as its search starts
//   N  the number of pieces of the search, once this shard's share is done
//   X  the end: the exit status and the failure that ended the run, if any
// Piece k of the search, and so segments 2k and 2k + 1, belongs to shard
// k % shards.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "search/parallel.h"
#include "search/search.h"
#include "search/segments.h"
#include "shard/records.h"
#include "utils/utils.h"

namespace analyser::shard {

struct Header {
  std::string fingerprint;
  std::int64_t shards = 0;
  std::int64_t index = 0;
};

// The fingerprint of a run: how the search is cut, the arguments, and the
// contents of those that name readable regular files.
std::string fingerprint(const std::vector<std::string>& args);

// What the search's start fixed and what the merge needs to write the
// statistics: an R record.
struct RunFigures {
  std::int64_t last_node = 0;  // the counters' values when the search began
  std::int64_t last_kid = 0;
  std::int64_t max_node_id = 0;
  std::int64_t children_total = 0;
  std::int64_t starting_count = 0;
  std::vector<double> initial_branching;
  std::vector<std::int64_t> trace_lengths;
  SearchOptions options;
  double join_time = 0.0;
};

// Writes one shard file on out: the header at once, then records as the run
// produces them. text() is the stream the run writes its ordinary output to.
class Writer : public search::SegmentSink {
 public:
  Writer(std::ostream& out, const Header& header);
  ~Writer() override;
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  std::ostream& text() { return text_; }
  void take(Segment segment) override;
  void search_starts(const RunFigures& figures);
  // This shard's share is done; the run was cut into pieces.
  void search_done(std::int64_t pieces, double search_time);
  void end(int status, const std::optional<Failure>& failure);

 private:
  void record(char tag, const std::string& payload);
  void flush_text();

  std::ostream& out_;
  RecordWriter records_;
  std::ostringstream text_;  // what the run writes until the next record
};

// The figures of state at the start of its search.
RunFigures figures_at_start(const SearchState& state);

// Joins the shard files at paths into the run's output: standard output on out;
// on err the run's warnings, its verdict (a verification, when err_is_terminal),
// the statistics block (when the run had -f) and any fatal error. Returns the
// run's exit status. A set of files that is not exactly one run's shards, or
// any of them damaged, is refused with a message on err, and status 2, before
// anything is written on out.
int merge(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err,
          bool err_is_terminal = false);

}  // namespace analyser::shard
