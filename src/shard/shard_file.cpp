#include "shard/shard_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "knowledge/kmanager.h"
#include "search/outcome.h"

namespace analyser::shard {

namespace {

// Payloads: numbers in decimal, strings as "<size>\n<bytes>", lists as their
// size then their elements, one field a line.
class Payload {
 public:
  void operator()(std::int64_t n) { text_ += std::to_string(n) + "\n"; }
  void operator()(bool b) { (*this)(std::int64_t{b ? 1 : 0}); }
  void operator()(OutputMode m) { (*this)(static_cast<std::int64_t>(m)); }
  void operator()(double x) {
    char s[64];
    std::snprintf(s, sizeof s, "%a\n", x);
    text_ += s;
  }
  void operator()(const std::string& s) {
    (*this)(static_cast<std::int64_t>(s.size()));
    text_ += s;
  }
  template <typename T>
  void operator()(const std::vector<T>& list) {
    (*this)(static_cast<std::int64_t>(list.size()));
    for (const T& x : list) (*this)(x);
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

class PayloadReader {
 public:
  explicit PayloadReader(std::string_view text) : text_(text) {}
  void operator()(std::int64_t& n) {
    const std::string field = line();
    std::size_t used = 0;
    try {
      n = std::stoll(field, &used);
      if (used == field.size()) return;
    } catch (const std::exception&) {
    }
    throw Damaged("a number was expected");
  }
  void operator()(bool& b) {
    std::int64_t n = 0;
    (*this)(n);
    b = n != 0;
  }
  void operator()(OutputMode& m) {
    std::int64_t n = 0;
    (*this)(n);
    if (n < -1 || n > 2) throw Damaged("unknown output mode");
    m = static_cast<OutputMode>(n);
  }
  void operator()(double& x) {
    const std::string field = line();
    char* end = nullptr;
    x = std::strtod(field.c_str(), &end);
    if (field.empty() || end != field.c_str() + field.size())
      throw Damaged("a number was expected");
  }
  void operator()(std::string& s) {
    const std::int64_t size = count();
    s.assign(text_.substr(0, static_cast<std::size_t>(size)));
    text_.remove_prefix(static_cast<std::size_t>(size));
  }
  template <typename T>
  void operator()(std::vector<T>& list) {
    list.resize(static_cast<std::size_t>(count()));
    for (T& x : list) (*this)(x);
  }
  void finish() const {
    if (!text_.empty()) throw Damaged("a record holds more than it should");
  }

 private:
  // A size that what is left could hold.
  std::int64_t count() {
    std::int64_t n = 0;
    (*this)(n);
    if (n < 0 || static_cast<std::size_t>(n) > text_.size()) throw Damaged("a record is cut short");
    return n;
  }
  std::string line() {
    const std::size_t end = text_.find('\n');
    if (end == std::string_view::npos) throw Damaged("a record is cut short");
    std::string field(text_.substr(0, end));
    text_.remove_prefix(end + 1);
    return field;
  }
  std::string_view text_;
};

// The fields of the records, in their order in the file: one function serves
// both writing (Payload) and reading (PayloadReader), so the two cannot drift
// apart.
template <typename Io, typename S>
void segment_fields(Io& io, S& s) {
  io(s.index);
  io(s.session);
  for (auto& used : s.tally.used) io(used);
  io(s.tally.counts.terminal_traces);
  io(s.tally.counts.expanded_nodes);
  io(s.tally.counts.children_total);
  io(s.tally.counts.max_branching);
  io(s.tally.counts.min_branching);
  io(s.tally.verify_time);
  io(s.live);
  io(s.more);
}

template <typename Io, typename F>
void figure_fields(Io& io, F& f) {
  io(f.last_node);
  io(f.last_kid);
  io(f.max_node_id);
  io(f.children_total);
  io(f.starting_count);
  io(f.initial_branching);
  io(f.trace_lengths);
  io(f.options.mode);
  io(f.options.terminal_only);
  io(f.options.session_size);
  io(f.options.feedback);
  io(f.join_time);
}

// The figures that are fields of the run's state as its search starts, each with
// that field: one list for taking them from a state and for giving them back.
template <typename F, typename S, typename Visit>
void state_fields(F& f, S& state, Visit visit) {
  visit(f.max_node_id, state.counts.max_node_id);
  visit(f.children_total, state.counts.children_total);
  visit(f.starting_count, state.starting_count);
  visit(f.initial_branching, state.initial_branching);
  visit(f.trace_lengths, state.trace_lengths);
  visit(f.options, state.options);
  visit(f.join_time, state.times.join_time);
}

// An N record.
struct SearchDone {
  std::int64_t pieces = 0;
  double search_time = 0.0;
};

template <typename Io, typename D>
void done_fields(Io& io, D& d) {
  io(d.pieces);
  io(d.search_time);
}

// A failure as (description, output), after a flag saying whether there is one.
template <typename Io>
void failure_fields(Io& io, std::string& description, std::string& output) {
  io(description);
  io(output);
}

// FNV-1a, 64 bits: the same on every machine, unlike the standard library's hash.
void mix_in(std::uint64_t& h, std::string_view bytes) {
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ULL;
  h = (h ^ 0xff) * 1099511628211ULL;  // ends the field
}

// A segment's output comes last in its record, so that the merge can leave it
// in the file until it writes it.
std::string encode_segment(const Segment& s) {
  Payload p;
  segment_fields(p, s);
  p(s.failure != nullptr);
  if (s.failure) {
    const Failure f = failure_from(s.failure);
    std::string description = f.description();
    std::string output = f.output();
    failure_fields(p, description, output);
  }
  p(s.output);
  return p.text();
}

Segment decode_segment(std::string_view text) {
  PayloadReader r(text);
  Segment s;
  segment_fields(r, s);
  bool failed = false;
  r(failed);
  if (failed) {
    std::string description, output;
    failure_fields(r, description, output);
    s.failure = std::make_exception_ptr(Failure(description, output));
  }
  r(s.output);
  r.finish();
  // A part before the last carries output only.
  const bool bare_part = s.tally.used == Tally{}.used && s.live.empty() && !s.failure;
  if (s.index < 0 || !std::is_sorted(s.live.begin(), s.live.end()) || (s.more && !bare_part)) {
    throw Damaged("holds a segment that cannot be");
  }
  return s;
}

std::string encode_figures(const RunFigures& f) {
  Payload p;
  figure_fields(p, f);
  return p.text();
}

RunFigures decode_figures(std::string_view text) {
  PayloadReader r(text);
  RunFigures f;
  figure_fields(r, f);
  r.finish();
  return f;
}

SearchDone decode_done(std::string_view text) {
  PayloadReader r(text);
  SearchDone d;
  done_fields(r, d);
  r.finish();
  if (d.pieces < 1) throw Damaged("holds a run of no piece");
  return d;
}

// A segment as read, its output left in the file: a run's output can be far
// larger than memory.
struct StoredSegment {
  Segment segment;  // without its output
  RecordPlace place;
};

// One shard file as read, still open: text and output are read again from it
// when they are written.
struct Contents {
  std::string path;
  std::unique_ptr<RecordReader> file;
  Header header;
  std::vector<RecordPlace> text_before;  // T records before the search
  std::vector<RecordPlace> text_after;   // T records after a complete search
  std::vector<StoredSegment> segments;
  std::optional<RunFigures> figures;
  std::optional<SearchDone> done;
  int status = 0;
  std::optional<Failure> failure;

  // The payload at place, read again.
  std::string payload(const RecordPlace& place) const {
    try {
      return file->payload(place);
    } catch (const Damaged& damaged) {
      throw Damaged(path + " " + damaged.what());
    }
  }
};

// The fields of a shard file's first line: "<fingerprint> <shards> <index>".
Header header_of(const std::string& fields) {
  if (fields.rfind("report ", 0) == 0) {
    throw Damaged("is a part of a tool-report run: merge it with tool-report --merge");
  }
  char print[64] = {};
  long long shards = 0;
  long long index = 0;
  char extra = 0;
  if (std::sscanf(fields.c_str(), "%63s %lld %lld %c", print, &shards, &index, &extra) != 3) {
    throw Damaged("has a damaged first line");
  }
  if (shards < 1 || index < 0 || index >= shards) throw Damaged("names an impossible shard");
  return Header{print, shards, index};
}

Contents read_shard(const std::string& path) {
  Contents c;
  c.path = path;
  c.file = std::make_unique<RecordReader>(path);
  c.header = header_of(c.file->fields());
  bool ended = false;
  while (const std::optional<RecordPlace> place = c.file->next()) {
    if (ended) throw Damaged("goes on after its end");
    switch (place->tag) {
      case 'T':
        // What a failed search leaves after its segments is the merge's to write.
        if (!c.figures) {
          c.text_before.push_back(*place);
        } else if (c.done) {
          c.text_after.push_back(*place);
        }
        break;
      case 'S': {
        if (!c.figures || c.done) throw Damaged("holds a segment outside the search");
        StoredSegment& stored = c.segments.emplace_back();
        stored.segment = decode_segment(c.file->payload(*place));
        std::string().swap(stored.segment.output);
        stored.place = *place;
        break;
      }
      case 'R':
        if (c.figures) throw Damaged("holds two run records");
        c.figures = decode_figures(c.file->payload(*place));
        break;
      case 'N':
        if (!c.figures || c.done) throw Damaged("ends a search it did not start");
        c.done = decode_done(c.file->payload(*place));
        break;
      case 'X': {
        const std::string payload = c.file->payload(*place);
        PayloadReader r(payload);
        std::int64_t status = 0;
        bool failed = false;
        r(status);
        r(failed);
        if (failed) {
          std::string description, output;
          failure_fields(r, description, output);
          c.failure = Failure(description, output);
        }
        r.finish();
        c.status = static_cast<int>(status);
        ended = true;
        break;
      }
      default:
        throw Damaged("holds a record of unknown kind");
    }
  }
  if (!ended) throw Damaged("is cut short");
  return c;
}

// A part of a segment and the shard file it is in.
struct StoredPart {
  const Contents* shard;
  const StoredSegment* stored;
  const Segment& segment() const { return stored->segment; }
};

// Where the segments of the merged run are: by index, each as its parts in order.
using SegmentIndex = std::map<std::int64_t, std::vector<StoredPart>>;

SegmentIndex index_segments(const std::vector<Contents>& shards) {
  SegmentIndex index;
  const auto total = static_cast<std::int64_t>(shards.size());
  for (const Contents& c : shards) {
    for (const StoredSegment& stored : c.segments) {
      const Segment& s = stored.segment;
      if ((s.index / 2) % total != c.header.index) {
        throw Damaged(c.path + " holds a segment of another shard");
      }
      std::vector<StoredPart>& parts = index[s.index];
      if (!parts.empty() && !parts.back().segment().more) {
        throw Damaged(c.path + " holds a segment twice");
      }
      parts.push_back({&c, &stored});
    }
  }
  for (const auto& [i, parts] : index) {
    if (parts.back().segment().more) {
      throw Damaged("segment " + std::to_string(i) + " is cut short");
    }
  }
  return index;
}

// The part's segment, with its output.
Segment read_segment(const StoredPart& part) {
  return decode_segment(part.shard->payload(part.stored->place));
}

// The state the merged run's statistics are written from.
SearchState merged_state(const RunFigures& f) {
  SearchState state;
  state_fields(f, state, [](const auto& figure, auto& field) { field = figure; });
  state.node_ids = NodeIds(f.last_node);
  return state;
}

// The number of segments to write: all of a complete run's, or those up to the
// one whose failure ended it.
std::int64_t segments_to_write(const SegmentIndex& segments, std::optional<std::int64_t> pieces) {
  const std::int64_t all = pieces ? 2 * *pieces - 1 : std::numeric_limits<std::int64_t>::max();
  for (std::int64_t i = 0; i < all; ++i) {
    const auto found = segments.find(i);
    if (found == segments.end()) {
      throw Damaged(pieces ? "segment " + std::to_string(i) + " is in no shard"
                           : "the shards end before the run does");
    }
    if (found->second.back().segment().failure) return i + 1;
  }
  return all;
}

int write_merged(const std::vector<Contents>& shards, std::ostream& out, std::ostream& err,
                 bool err_is_terminal) {
  const Contents& first = shards.front();
  // A run that ends before its search ends alike in every shard.
  if (!first.figures) {
    for (const RecordPlace& text : first.text_before) out << first.payload(text);
    out << std::flush;
    if (first.failure) err << "Fatal error: exception " << first.failure->description() << "\n";
    return first.status;
  }
  const RunFigures& figures = *first.figures;
  std::optional<std::int64_t> pieces;
  double search_time = 0.0;
  for (const Contents& c : shards) {
    if (!c.figures || c.figures->last_node != figures.last_node ||
        c.figures->last_kid != figures.last_kid ||
        (c.done && pieces && c.done->pieces != *pieces)) {
      throw Damaged(c.path + " does not agree with " + first.path + " on the run");
    }
    if (c.done) {
      pieces = c.done->pieces;
      search_time += c.done->search_time;
    }
  }
  const SegmentIndex segments = index_segments(shards);
  const std::int64_t count = segments_to_write(segments, pieces);
  for (const RecordPlace& text : first.text_before) out << first.payload(text);
  SearchState state = merged_state(figures);
  Renumbering numbers(figures.last_node, figures.last_kid);
  std::string text;
  for (std::int64_t i = 0; i < count; ++i) {
    for (const StoredPart& part : segments.at(i)) {
      const Segment segment = read_segment(part);
      text.clear();
      try {
        numbers.add(segment, state, text);
      } catch (const Failure& failure) {
        out << text << failure.output() << std::flush;
        err << "Fatal error: exception " << failure.description() << "\n";
        return 2;
      } catch (const std::logic_error&) {
        throw Damaged("segment " + std::to_string(i) + " refers to numbers no shard gave");
      }
      out << text;
    }
  }
  for (const RecordPlace& t : first.text_after) out << first.payload(t);
  out << std::flush;
  state.times.search_time = search_time;
  // What the run says beyond its output, as a run in one piece says it.
  const std::vector<std::string> warnings = run_warnings(state);
  const bool verdict = state.options.mode == OutputMode::Verify && err_is_terminal;
  for (const std::string& warning : warnings) err << "warning: " << warning << "\n";
  if (verdict) err << verdict_line(state) << "\n";
  if (state.options.feedback) search::print_statistics(err, state);
  return first.status;
}

}  // namespace

std::string fingerprint(const std::vector<std::string>& args) {
  std::uint64_t h = 14695981039346656037ULL;
  mix_in(h, std::to_string(search::kChunkLevels));  // runs cut otherwise do not join
  for (std::size_t i = 1; i < args.size(); ++i) {
    mix_in(h, args[i]);
    // Only regular files: reading a directory throws, and a FIFO would be
    // emptied before the run reads it. The run itself reports either.
    std::error_code error;
    if (!std::filesystem::is_regular_file(args[i], error)) continue;
    std::ifstream in(args[i], std::ios::binary);
    if (in) {
      const std::string contents((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
      mix_in(h, contents);
    }
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

Writer::Writer(std::ostream& out, const Header& header)
    : out_(out),
      records_(out, header.fingerprint + " " + std::to_string(header.shards) + " " +
                        std::to_string(header.index)) {}

Writer::~Writer() = default;

void Writer::flush_text() {
  if (text_.tellp() <= 0) return;
  const std::string text = text_.str();
  text_.str("");
  records_.write('T', text);
}

void Writer::record(char tag, const std::string& payload) {
  flush_text();
  records_.write(tag, payload);
}

void Writer::take(Segment segment) {
  record('S', encode_segment(segment));
  out_ << std::flush;
  // The shard's own search stops where the run would; the merge reports it.
  if (segment.failure) std::rethrow_exception(segment.failure);
}

void Writer::search_starts(const RunFigures& figures) {
  record('R', encode_figures(figures));
}

void Writer::search_done(std::int64_t pieces, double search_time) {
  Payload p;
  const SearchDone done{pieces, search_time};
  done_fields(p, done);
  record('N', p.text());
}

void Writer::end(int status, const std::optional<Failure>& failure) {
  Payload p;
  p(std::int64_t{status});
  p(failure.has_value());
  if (failure) {
    std::string description = failure->description();
    std::string output = failure->output();
    failure_fields(p, description, output);
  }
  record('X', p.text());
  out_ << std::flush;
}

RunFigures figures_at_start(const SearchState& state) {
  RunFigures f;
  f.last_node = state.node_ids.last();
  f.last_kid = state.core->knowledge_manager().last_kid();
  state_fields(f, state, [](auto& figure, const auto& field) { figure = field; });
  return f;
}

int merge(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err,
          bool err_is_terminal) {
  std::vector<Contents> shards;
  std::string current;
  try {
    for (const std::string& path : paths) {
      current = path;
      shards.push_back(read_shard(path));
    }
    current.clear();
    if (shards.empty()) throw Damaged("no shard file given");
    const Header& first = shards.front().header;
    std::map<std::int64_t, const Contents*> by_index;
    for (const Contents& c : shards) {
      current = c.path;
      if (c.header.fingerprint != first.fingerprint || c.header.shards != first.shards) {
        throw Damaged("comes from a different run than " + shards.front().path);
      }
      const auto [slot, fresh] = by_index.emplace(c.header.index, &c);
      if (!fresh) {
        throw Damaged("is shard " + std::to_string(c.header.index) + ", as " + slot->second->path +
                      " is");
      }
    }
    current.clear();
    for (std::int64_t i = 0; i < first.shards; ++i) {
      if (!by_index.contains(i)) {
        throw Damaged("shard " + std::to_string(i) + " of " + std::to_string(first.shards) +
                      " is missing");
      }
    }
    std::sort(shards.begin(), shards.end(),
              [](const Contents& a, const Contents& b) { return a.header.index < b.header.index; });
    // All that can be found wrong with the shards is found before anything is
    // written: a first merge writes nowhere. Only a file changed in place since
    // can fail the second, which its checksums tell.
    std::ostream nowhere(nullptr);
    write_merged(shards, nowhere, nowhere, err_is_terminal);
    return write_merged(shards, out, err, err_is_terminal);
  } catch (const Damaged& damaged) {
    out << std::flush;
    err << "tool-merge: " << (current.empty() ? "" : current + ": ") << damaged.what() << "\n";
    return 2;
  } catch (const std::exception& e) {  // memory exhausted: a file claims more than it holds
    out << std::flush;
    err << "tool-merge: " << (current.empty() ? "" : current + ": ") << e.what() << "\n";
    return 2;
  }
}

}  // namespace analyser::shard
