#include "report/threaded_search.h"

#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "report/attack.h"
#include "report/model.h"
#include "search/parallel.h"
#include "search/statistics.h"
#include "utils/numeral.h"

namespace analyser {

namespace {

// A record is lines, each a tag letter and an escaped field; an attack set of
// a group already described is one line, a described one ends with a line ".".
// Fields keep the analyser's markers of provisional numbers as they are, so
// that the segments' renumbering resolves them.
constexpr char kAttackSet = 'h';  // claim, session, key, length
constexpr char kDescribed = 'n';  // claim, session, key, length, attack set number; then the fields
constexpr char kViolated = 'v';
constexpr char kSender = 's';
constexpr char kReceiver = 't';
constexpr char kMessage = 'm';
constexpr char kBystander = 'b';
constexpr char kReport = 'r';
constexpr std::string_view kEnd = "\n.\n";

void append_escaped(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
}

std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      out += text[++i] == 'n' ? '\n' : text[i];
    } else {
      out += text[i];
    }
  }
  return out;
}

void append_field(std::string& out, char tag, std::string_view text) {
  out += tag;
  append_escaped(out, text);
  out += '\n';
}

const char kHex[] = "0123456789abcdef";

// The key, a digest of any bytes, as text that holds no marker.
std::string hex(const std::string& key) {
  std::string text;
  for (unsigned char c : key) {
    text += kHex[c >> 4];
    text += kHex[c & 15];
  }
  return text;
}

std::string unhex(std::string_view text) {
  const auto digit = [](char c) { return static_cast<int>(std::string_view(kHex).find(c)); };
  std::string key;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    key += static_cast<char>(digit(text[i]) * 16 + digit(text[i + 1]));
  }
  return key;
}

// Writes the attack sets of one segment's search as records.
class AttackRecorder : public SearchObserver {
 public:
  AttackRecorder(std::ostream& out, Grouping grouping) : out_(out), grouping_(grouping) {}

  void attack_found(const SearchState& state, const NodeRef& leaf,
                    const std::vector<WorkItem>& candidates) override {
    const std::string head =
        std::to_string(state.claim) + " " + std::to_string(state.subtree_index + 1) + " ";
    const AttackKey key = attack_key(state, leaf, candidates, grouping_);
    std::string record;
    const auto [shortest, is_new] =
        shortest_described_.try_emplace({state.claim, key.key}, key.length);
    const std::string key_text = hex(key.key) + " " + std::to_string(key.length);
    if (!is_new && key.length >= shortest->second) {
      record.append(1, kAttackSet).append(head).append(key_text).append("\n");
      out_ << record;
      return;
    }
    shortest->second = key.length;
    const Attack attack = describe_attack(state, leaf, candidates, grouping_);
    record.append(1, kDescribed).append(head).append(key_text).append(" ");
    numeral::append(record, attack.attack_set);
    record += '\n';
    for (const std::string& literal : attack.violated) append_field(record, kViolated, literal);
    for (const Exchange& e : attack.exchanges) {
      append_field(record, kSender, e.sender);
      append_field(record, kReceiver, e.receiver);
      append_field(record, kMessage, e.message);
    }
    for (const std::string& b : attack.bystanders) append_field(record, kBystander, b);
    append_field(record, kReport, attack_set_report(state, leaf, candidates));
    record += '.';
    record += '\n';
    out_ << record;
  }
  void trace_found(const SearchState&, const NodeRef&) override {}
  void graph_path_found(const NodeRef&) override {}

 private:
  std::ostream& out_;
  Grouping grouping_;
  // The keys of the groups described here, by claim, with the length of the
  // shortest attack set described; a walker's observer serves every segment
  // of the walk, which come in depth-first order.
  std::map<std::pair<std::size_t, std::string>, std::size_t> shortest_described_;
};

// The reductions thin the tree out: its subtrees hold fewer runs for their
// height, so chunks are cut higher up, or the cost of setting a chunk up (its
// private copies, the first description of each group it meets) would weigh;
// and states merge only within a chunk, so the larger the chunks, the more of
// them merge. Measured on two cores: nspk-heavy -max 5 on two threads 1.86 s
// at 22 levels against 2.11 s at 12 (2.59 s on one thread), nsl-heavy -max 6
// 0.66 s against 1.44 s (0.84 s on one).
constexpr std::int64_t kChunkLevels = search::kChunkLevels + 13;

// Thrown from the sink to end the search when stop says so.
struct StoppedBetweenSegments {};

// Reads the segments' records, in order and renumbered, into groups.
class AttackRecordReader : public search::SegmentSink {
 public:
  AttackRecordReader(SearchState& state, std::vector<AttackGroups>& groups,
                     const std::function<bool(const SearchState&)>& stop)
      : state_(state),
        groups_(groups),
        stop_(stop),
        numbers_(state.node_ids.last(), state.core->knowledge_manager().last_kid()) {}

  void take(Segment segment) override {
    state_.subtree_index = segment.session;
    numbers_.add(segment, state_, pending_);
    read_records();
    if (!segment.more && stop_(state_)) throw StoppedBetweenSegments{};
  }

  bool reduction_failed() const { return numbers_.reduction_failed(); }

 private:
  // Reads the records that pending_ holds whole, leaving the rest.
  void read_records() {
    std::size_t at = 0;
    while (at < pending_.size()) {
      const std::size_t line_end = pending_.find('\n', at);
      if (line_end == std::string::npos) break;
      const std::string_view head(pending_.data() + at + 1, line_end - at - 1);
      std::istringstream numbers{std::string(head)};
      std::size_t claim = 0;
      std::int64_t session = 0;
      std::string digest;
      std::size_t length = 0;
      numbers >> claim >> session >> digest >> length;
      const AttackKey key{unhex(digest), length};
      if (pending_[at] == kAttackSet) {
        // A segment describes every attack set shorter than those of its
        // group it met before, which the groups hold already.
        if (!groups_.at(claim).add_to_group(key, session)) {
          throw std::logic_error("an attack set of a group no segment described");
        }
        at = line_end + 1;
        continue;
      }
      const std::size_t end = pending_.find(kEnd, line_end);
      if (end == std::string::npos) break;
      Attack attack = described(std::string_view(pending_).substr(line_end + 1, end - line_end));
      numbers >> attack.attack_set;
      attack.claim = claim;
      attack.session = session;
      attack.key = key.key;
      attack.length = key.length;
      groups_.at(claim).add(std::move(attack));
      at = end + kEnd.size();
    }
    pending_.erase(0, at);
  }

  // The described attack's fields.
  static Attack described(std::string_view fields) {
    Attack attack;
    while (!fields.empty()) {
      const std::size_t line_end = fields.find('\n');
      const char tag = fields[0];
      std::string field = unescaped(fields.substr(1, line_end - 1));
      fields.remove_prefix(line_end + 1);
      switch (tag) {
        case kViolated:
          attack.violated.push_back(std::move(field));
          break;
        case kSender:
          attack.exchanges.push_back(Exchange{std::move(field), "", ""});
          break;
        case kReceiver:
          attack.exchanges.back().receiver = std::move(field);
          break;
        case kMessage:
          attack.exchanges.back().message = std::move(field);
          break;
        case kBystander:
          attack.bystanders.push_back(std::move(field));
          break;
        case kReport:
          attack.report = std::move(field);
          break;
        default:
          throw std::logic_error("an attack record with an unknown field");
      }
    }
    return attack;
  }

  SearchState& state_;
  std::vector<AttackGroups>& groups_;  // by claim
  const std::function<bool(const SearchState&)> stop_;
  Renumbering numbers_;
  std::string pending_;  // renumbered records not yet read whole
};

search::ObserverFactory recorder_for(Grouping grouping) {
  return [grouping](std::ostream& out) {
    return std::unique_ptr<SearchObserver>(std::make_unique<AttackRecorder>(out, grouping));
  };
}

search::ParallelOptions parallel_options(Threads threads) {
  return search::ParallelOptions{
      .threads = threads.count,
      .chunk_levels = threads.chunk_levels > 0 ? threads.chunk_levels : kChunkLevels};
}

// Keeps the segments of a shard's share, each one's parts joined.
class SegmentKeeper : public search::SegmentSink {
 public:
  explicit SegmentKeeper(std::vector<Segment>& segments) : segments_(segments) {}
  void take(Segment segment) override {
    if (segment.failure) std::rethrow_exception(segment.failure);
    if (!segments_.empty() && segments_.back().index == segment.index && segments_.back().more) {
      segment.output.insert(0, segments_.back().output);
      segments_.pop_back();
    }
    segments_.push_back(std::move(segment));
  }

 private:
  std::vector<Segment>& segments_;
};

}  // namespace

std::int64_t search_share(SearchState& state, Threads threads, Grouping grouping,
                          std::int64_t index, std::int64_t count, std::vector<Segment>& segments) {
  SegmentKeeper keeper(segments);
  search::ParallelOptions options = parallel_options(threads);
  options.shards = count;
  options.shard = index;
  return search::run_parallel(state, recorder_for(grouping), options, keeper);
}

search::RunEnd read_segments(SearchState& state, const std::vector<const Segment*>& segments,
                             std::vector<AttackGroups>& groups) {
  const auto never = [](const SearchState&) { return false; };
  AttackRecordReader reader(state, groups, never);
  for (const Segment* segment : segments) {
    try {
      reader.take(*segment);
    } catch (const std::logic_error&) {
      throw InputError("--merge: segment " + std::to_string(segment->index) +
                       " refers to what no shard holds");
    }
  }
  state.subtree_index = std::ssize(state.starting_nodes) - 1;
  return reader.reduction_failed() ? search::RunEnd::OrderMatters : search::RunEnd::Complete;
}

search::RunEnd search_on_threads(SearchState& state, Threads threads, Grouping grouping,
                                 std::vector<AttackGroups>& groups,
                                 const std::function<bool(const SearchState&)>& stop) {
  AttackRecordReader reader(state, groups, stop);
  const double start = search::process_seconds();
  try {
    search::run_parallel(state, recorder_for(grouping), parallel_options(threads), reader);
  } catch (const StoppedBetweenSegments&) {
    state.times.search_time = search::process_seconds() - start;
    return search::RunEnd::Stopped;
  }
  return reader.reduction_failed() ? search::RunEnd::OrderMatters : search::RunEnd::Complete;
}

}  // namespace analyser
