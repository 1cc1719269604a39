#include "shard/shard_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "knowledge/kmanager.h"
#include "search/outcome.h"

namespace analyser::shard {

namespace {

constexpr const char* kMagic = "tool-shard";
constexpr int kVersion = 1;

// What makes a file unreadable as a shard file.
class Damaged : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Payloads: numbers in decimal and strings as "<size>\n<bytes>", one field a line.
class Payload {
 public:
  void put(std::int64_t n) { text_ += std::to_string(n) + "\n"; }
  void put(double x) {
    char s[64];
    std::snprintf(s, sizeof s, "%a\n", x);
    text_ += s;
  }
  void put(const std::string& s) {
    put(static_cast<std::int64_t>(s.size()));
    text_ += s;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

class PayloadReader {
 public:
  explicit PayloadReader(std::string_view text) : text_(text) {}
  std::int64_t number() {
    const std::string field = line();
    std::size_t used = 0;
    try {
      const std::int64_t n = std::stoll(field, &used);
      if (used == field.size()) return n;
    } catch (const std::exception&) {
    }
    throw Damaged("a number was expected");
  }
  double real() {
    const std::string field = line();
    char* end = nullptr;
    const double x = std::strtod(field.c_str(), &end);
    if (field.empty() || end != field.c_str() + field.size())
      throw Damaged("a number was expected");
    return x;
  }
  std::string string() {
    const std::int64_t size = number();
    if (size < 0 || static_cast<std::size_t>(size) > text_.size())
      throw Damaged("a text is cut short");
    std::string s(text_.substr(0, static_cast<std::size_t>(size)));
    text_.remove_prefix(static_cast<std::size_t>(size));
    return s;
  }
  std::int64_t count() {
    const std::int64_t n = number();
    if (n < 0 || static_cast<std::size_t>(n) > text_.size()) throw Damaged("a list is cut short");
    return n;
  }
  void finish() const {
    if (!text_.empty()) throw Damaged("a record holds more than it should");
  }

 private:
  std::string line() {
    const std::size_t end = text_.find('\n');
    if (end == std::string_view::npos) throw Damaged("a record is cut short");
    std::string field(text_.substr(0, end));
    text_.remove_prefix(end + 1);
    return field;
  }
  std::string_view text_;
};

// FNV-1a, 64 bits: the same on every machine, unlike the standard library's hash.
void mix_in(std::uint64_t& h, std::string_view bytes) {
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ULL;
  h = (h ^ 0xff) * 1099511628211ULL;  // ends the field
}

std::string encode_segment(const Segment& s) {
  Payload p;
  p.put(s.index);
  p.put(s.session);
  for (std::int64_t used : s.tally.used) p.put(used);
  p.put(s.tally.terminal_traces);
  p.put(s.tally.expanded_nodes);
  p.put(s.tally.children_total);
  p.put(s.tally.max_branching);
  p.put(s.tally.min_branching);
  p.put(s.tally.verify_time);
  p.put(static_cast<std::int64_t>(s.live.size()));
  for (std::int64_t l : s.live) p.put(l);
  p.put(s.output);
  p.put(std::int64_t{s.failure ? 1 : 0});
  if (s.failure) {
    const Failure f = failure_from(s.failure);
    p.put(std::string(f.description()));
    p.put(f.output());
  }
  return p.text();
}

Segment decode_segment(std::string_view text) {
  PayloadReader r(text);
  Segment s;
  s.index = r.number();
  s.session = r.number();
  for (std::int64_t& used : s.tally.used) used = r.number();
  s.tally.terminal_traces = r.number();
  s.tally.expanded_nodes = r.number();
  s.tally.children_total = r.number();
  s.tally.max_branching = r.number();
  s.tally.min_branching = r.number();
  s.tally.verify_time = r.real();
  for (std::int64_t n = r.count(); n > 0; --n) s.live.push_back(r.number());
  if (!std::is_sorted(s.live.begin(), s.live.end()))
    throw Damaged("a segment's list is out of order");
  s.output = r.string();
  if (r.number() != 0) {
    std::string description = r.string();
    std::string output = r.string();
    s.failure = std::make_exception_ptr(Failure(description, output));
  }
  r.finish();
  if (s.index < 0) throw Damaged("a segment has no index");
  return s;
}

std::string encode_figures(const RunFigures& f) {
  Payload p;
  p.put(f.pieces);
  p.put(f.last_node);
  p.put(f.last_kid);
  p.put(f.max_node_id);
  p.put(f.children_total);
  p.put(f.starting_count);
  p.put(static_cast<std::int64_t>(f.initial_branching.size()));
  for (double b : f.initial_branching) p.put(b);
  p.put(static_cast<std::int64_t>(f.trace_lengths.size()));
  for (std::int64_t l : f.trace_lengths) p.put(l);
  p.put(static_cast<std::int64_t>(f.options.mode));
  p.put(std::int64_t{f.options.terminal_only ? 1 : 0});
  p.put(f.options.session_size);
  p.put(std::int64_t{f.options.feedback ? 1 : 0});
  p.put(f.join_time);
  p.put(f.search_time);
  p.put(f.verify_time);
  return p.text();
}

RunFigures decode_figures(std::string_view text) {
  PayloadReader r(text);
  RunFigures f;
  f.pieces = r.number();
  f.last_node = r.number();
  f.last_kid = r.number();
  f.max_node_id = r.number();
  f.children_total = r.number();
  f.starting_count = r.number();
  for (std::int64_t n = r.count(); n > 0; --n) f.initial_branching.push_back(r.real());
  for (std::int64_t n = r.count(); n > 0; --n) f.trace_lengths.push_back(r.number());
  const std::int64_t mode = r.number();
  if (mode < -1 || mode > 2) throw Damaged("unknown output mode");
  f.options.mode = static_cast<OutputMode>(mode);
  f.options.terminal_only = r.number() != 0;
  f.options.session_size = r.number();
  f.options.feedback = r.number() != 0;
  f.join_time = r.real();
  f.search_time = r.real();
  f.verify_time = r.real();
  r.finish();
  if (f.pieces < 1) throw Damaged("a run has at least one piece");
  return f;
}

// One shard file as read.
struct Contents {
  std::string path;
  Header header;
  std::vector<std::string> text_before;  // T records before any S or R
  std::vector<std::string> text_after;   // T records after R
  std::vector<Segment> segments;
  std::optional<RunFigures> figures;
  int status = 0;
  std::optional<Failure> failure;
};

Contents read_shard(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Damaged("cannot be read");
  Contents c;
  c.path = path;
  std::string line;
  if (!std::getline(in, line)) throw Damaged("is empty");
  {
    char magic[16] = {};
    char print[64] = {};
    int version = 0;
    long long shards = 0;
    long long index = 0;
    char extra = 0;
    if (std::sscanf(line.c_str(), "%15s %d %63s %lld %lld %c", magic, &version, print, &shards,
                    &index, &extra) != 5 ||
        std::string(magic) != kMagic) {
      throw Damaged("is not a shard file");
    }
    if (version != kVersion) throw Damaged("is a shard file of another version");
    if (shards < 1 || index < 0 || index >= shards) throw Damaged("names an impossible shard");
    c.header = Header{print, shards, index};
  }
  bool ended = false;
  bool in_search = false;
  while (std::getline(in, line)) {
    if (ended) throw Damaged("goes on after its end");
    char tag = 0;
    long long size = -1;
    char extra = 0;
    if (std::sscanf(line.c_str(), "%c %lld%c", &tag, &size, &extra) != 2 || size < 0) {
      throw Damaged("holds a record that cannot be read");
    }
    std::string payload(static_cast<std::size_t>(size), '\0');
    if (!in.read(payload.data(), size)) throw Damaged("is cut short");
    switch (tag) {
      case 'T':
        (c.figures ? c.text_after : in_search ? c.text_after : c.text_before).push_back(payload);
        break;
      case 'S':
        in_search = true;
        c.segments.push_back(decode_segment(payload));
        break;
      case 'R':
        if (c.figures) throw Damaged("holds two run records");
        in_search = true;
        c.figures = decode_figures(payload);
        break;
      case 'X': {
        PayloadReader r(payload);
        c.status = static_cast<int>(r.number());
        if (r.number() != 0) {
          std::string description = r.string();
          c.failure = Failure(description, r.string());
        }
        r.finish();
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

// Where the segments of the merged run are: by index.
using SegmentIndex = std::map<std::int64_t, const Segment*>;

SegmentIndex index_segments(const std::vector<Contents>& shards) {
  SegmentIndex index;
  const auto total = static_cast<std::int64_t>(shards.size());
  for (const Contents& c : shards) {
    for (const Segment& s : c.segments) {
      if ((s.index / 2) % total != c.header.index) {
        throw Damaged(c.path + " holds a segment of another shard");
      }
      if (!index.emplace(s.index, &s).second) throw Damaged(c.path + " holds a segment twice");
    }
  }
  return index;
}

// The state the merged run's statistics are written from.
SearchState merged_state(const RunFigures& f) {
  SearchState state;
  state.options = f.options;
  state.max_node_id = f.max_node_id;
  state.starting_count = f.starting_count;
  state.initial_branching = f.initial_branching;
  state.trace_lengths = f.trace_lengths;
  state.children_total = f.children_total;
  state.join_time = f.join_time;
  state.node_ids = NodeIds(f.last_node);
  return state;
}

int write_merged(const std::vector<Contents>& shards, std::ostream& out, std::ostream& err) {
  const Contents& first = shards.front();
  // A run that ended before its search wrote the same in every shard.
  std::optional<RunFigures> figures;
  for (const Contents& c : shards) {
    if (c.figures && !figures) figures = c.figures;
    if (c.figures &&
        (c.figures->pieces != figures->pieces || c.figures->last_node != figures->last_node)) {
      throw Damaged(c.path + " does not agree with the other shards on the run");
    }
  }
  const SegmentIndex segments = index_segments(shards);
  if (segments.empty() && !figures) {
    for (const std::string& text : first.text_before) out << text;
    out << std::flush;
    if (first.failure) err << "Fatal error: exception " << first.failure->description() << "\n";
    return first.status;
  }
  if (!figures) throw Damaged("no shard finished its search");
  // Every segment up to the end of the run, or to the one whose failure ended it.
  std::int64_t count = 2 * figures->pieces - 1;
  for (std::int64_t i = 0; i < count; ++i) {
    const auto found = segments.find(i);
    if (found == segments.end()) throw Damaged("segment " + std::to_string(i) + " is in no shard");
    if (found->second->failure) count = i + 1;
  }
  for (const std::string& text : first.text_before) out << text;
  SearchState state = merged_state(*figures);
  Renumbering numbers(figures->last_node, figures->last_kid);
  std::string text;
  for (std::int64_t i = 0; i < count; ++i) {
    const auto found = segments.find(i);
    text.clear();
    try {
      numbers.add(*found->second, state, text);
    } catch (const Failure& failure) {
      out << text << failure.output() << std::flush;
      err << "Fatal error: exception " << failure.description() << "\n";
      return 2;
    }
    out << text;
  }
  for (const std::string& t : first.text_after) out << t;
  out << std::flush;
  for (const Contents& c : shards) {
    if (c.figures) {
      state.search_time += c.figures->search_time;
      state.verify_time += c.figures->verify_time;
    }
  }
  if (state.options.feedback) {
    for (const std::string& warning : run_warnings(state)) err << "warning: " << warning << "\n";
    search::print_statistics(err, state);
  }
  return first.status;
}

}  // namespace

std::string fingerprint(const std::vector<std::string>& args) {
  std::uint64_t h = 14695981039346656037ULL;
  for (std::size_t i = 1; i < args.size(); ++i) {
    mix_in(h, args[i]);
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

Writer::Writer(std::ostream& out, const Header& header) : out_(out) {
  out_ << kMagic << " " << kVersion << " " << header.fingerprint << " " << header.shards << " "
       << header.index << "\n";
}

Writer::~Writer() = default;

void Writer::flush_text() {
  if (text_.tellp() <= 0) return;
  const std::string text = text_.str();
  text_.str("");
  out_ << "T " << text.size() << "\n" << text;
}

void Writer::record(char tag, const std::string& payload) {
  flush_text();
  out_ << tag << " " << payload.size() << "\n" << payload;
}

void Writer::take(Segment segment) {
  record('S', encode_segment(segment));
  out_ << std::flush;
  // The shard's own search stops where the run would; the merge reports it.
  if (segment.failure) std::rethrow_exception(segment.failure);
}

void Writer::figures(const RunFigures& figures) {
  record('R', encode_figures(figures));
}

void Writer::end(int status, const std::optional<Failure>& failure) {
  Payload p;
  p.put(std::int64_t{status});
  p.put(std::int64_t{failure ? 1 : 0});
  if (failure) {
    p.put(std::string(failure->description()));
    p.put(failure->output());
  }
  record('X', p.text());
  out_ << std::flush;
}

RunFigures figures_at_start(const SearchState& state) {
  RunFigures f;
  f.last_node = state.node_ids.last();
  f.last_kid = state.core->knowledge_manager().last_kid();
  f.max_node_id = state.max_node_id;
  f.children_total = state.children_total;
  f.starting_count = state.starting_count;
  f.initial_branching = state.initial_branching;
  f.trace_lengths = state.trace_lengths;
  f.options = state.options;
  f.join_time = state.join_time;
  return f;
}

int merge(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err) {
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
    std::vector<const Contents*> by_index(static_cast<std::size_t>(first.shards), nullptr);
    for (const Contents& c : shards) {
      current = c.path;
      if (c.header.fingerprint != first.fingerprint || c.header.shards != first.shards) {
        throw Damaged("comes from a different run than " + shards.front().path);
      }
      const Contents*& slot = by_index[static_cast<std::size_t>(c.header.index)];
      if (slot)
        throw Damaged("is shard " + std::to_string(c.header.index) + ", as " + slot->path + " is");
      slot = &c;
    }
    current.clear();
    for (std::size_t i = 0; i < by_index.size(); ++i) {
      if (by_index[i] == nullptr) {
        throw Damaged("shard " + std::to_string(i) + " of " + std::to_string(first.shards) +
                      " is missing");
      }
    }
    std::sort(shards.begin(), shards.end(),
              [](const Contents& a, const Contents& b) { return a.header.index < b.header.index; });
    return write_merged(shards, out, err);
  } catch (const Damaged& damaged) {
    out << std::flush;
    err << "tool-merge: " << (current.empty() ? "" : current + ": ") << damaged.what() << "\n";
    return 2;
  }
}

}  // namespace analyser::shard
