#include "report/shard_part.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "shard/records.h"

namespace analyser {

namespace {

using nlohmann::json;

constexpr char kModel = 'M';
constexpr char kSegment = 'S';
constexpr char kDone = 'N';

json model_json(const ShardedOptions& o, const std::vector<InputFile>& files) {
  json inputs = json::array();
  for (const InputFile& f : files) {
    inputs.push_back({{"role", f.role}, {"path", f.path}, {"text", f.text}});
  }
  return {{"session_size", o.session_size},
          {"exhaustive", o.exhaustive},
          {"prune_dead_ends", o.prune_dead_ends},
          {"knowledge_in_join", o.knowledge_in_join},
          {"inputs", inputs}};
}

// The counts of a segment's tally, by name: one list for writing and reading.
template <typename Counts, typename Visit>
void count_fields(Counts& c, Visit visit) {
  visit("max_node_id", c.max_node_id);
  visit("traces", c.traces);
  visit("terminal_traces", c.terminal_traces);
  visit("attacks", c.attacks);
  visit("expanded_nodes", c.expanded_nodes);
  visit("children_total", c.children_total);
  visit("max_branching", c.max_branching);
  visit("min_branching", c.min_branching);
  visit("moves_left_out", c.moves_left_out);
  visit("dead_ends", c.dead_ends);
}

json segment_json(const Segment& s) {
  json counts = json::object();
  count_fields(s.tally.counts, [&](const char* name, std::int64_t n) { counts[name] = n; });
  json reductions = json::array();
  for (const ReductionTally& r : s.reductions) {
    reductions.push_back({r.session, r.initial, r.moves_left_out, r.order_matters});
  }
  return {{"index", s.index},
          {"session", s.session},
          {"used", s.tally.used},
          {"counts", counts},
          {"verify_seconds", s.tally.verify_time},
          {"live", s.live},
          {"reductions", reductions},
          {"output", s.output}};
}

Segment segment_of(const json& j) {
  Segment s;
  s.index = j.at("index").get<std::int64_t>();
  s.session = j.at("session").get<std::int64_t>();
  s.tally.used = j.at("used").get<decltype(s.tally.used)>();
  const json& counts = j.at("counts");
  count_fields(s.tally.counts,
               [&](const char* name, std::int64_t& n) { n = counts.at(name).get<std::int64_t>(); });
  s.tally.verify_time = j.at("verify_seconds").get<double>();
  s.live = j.at("live").get<std::vector<std::int64_t>>();
  for (const json& r : j.at("reductions")) {
    s.reductions.push_back(ReductionTally{r.at(0).get<std::int64_t>(), r.at(1).get<std::int64_t>(),
                                          r.at(2).get<std::int64_t>(), r.at(3).get<bool>()});
  }
  s.output = j.at("output").get<std::string>();
  if (s.index < 0 || s.session < 0 || !std::is_sorted(s.live.begin(), s.live.end())) {
    throw shard::Damaged("holds an impossible segment");
  }
  return s;
}

// The fingerprint of a run: its model and options, in the form the part keeps
// them, and how the search is cut.
std::string fingerprint(const json& model) {
  std::uint64_t h = 14695981039346656037ULL;  // FNV-1a: the same on every machine
  for (unsigned char c : model.dump()) h = (h ^ c) * 1099511628211ULL;
  std::ostringstream text;
  text << std::hex << h;
  return text.str();
}

// The part file's first line's fields; with index 0, what every part of a run shares.
std::string fields(const ShardPart& part, std::int64_t index) {
  return "report " + fingerprint(model_json(part.options, part.inputs)) + " " +
         std::to_string(part.shard.count) + " " + std::to_string(index);
}

ShardPart part_of(shard::RecordReader& file) {
  ShardPart part;
  bool done = false;
  while (const std::optional<shard::RecordPlace> place = file.next()) {
    if (done) throw shard::Damaged("goes on after its end");
    const json j = json::parse(file.payload(*place));
    switch (place->tag) {
      case kModel: {
        if (!part.inputs.empty()) throw shard::Damaged("holds two models");
        ShardedOptions& o = part.options;
        o.session_size = j.at("session_size").get<std::int64_t>();
        o.exhaustive = j.at("exhaustive").get<bool>();
        o.prune_dead_ends = j.at("prune_dead_ends").get<bool>();
        o.knowledge_in_join = j.at("knowledge_in_join").get<bool>();
        for (const json& f : j.at("inputs")) {
          part.inputs.push_back(InputFile{f.at("role").get<std::string>(),
                                          f.at("path").get<std::string>(),
                                          f.at("text").get<std::string>()});
        }
        if (part.inputs.size() != 4) throw shard::Damaged("holds a model without its four files");
        break;
      }
      case kSegment:
        if (part.inputs.empty()) throw shard::Damaged("holds a segment before its model");
        part.segments.push_back(segment_of(j));
        break;
      case kDone:
        part.pieces = j.at("pieces").get<std::int64_t>();
        part.search_seconds = j.at("search_seconds").get<double>();
        done = true;
        break;
      default:
        throw shard::Damaged("holds a record of unknown kind");
    }
  }
  if (!done) throw shard::Damaged("is cut short");
  return part;
}

}  // namespace

std::string encoded_part(const ShardPart& part) {
  std::ostringstream out;
  shard::RecordWriter file(out, fields(part, part.shard.index));
  file.write(kModel, model_json(part.options, part.inputs).dump());
  for (const Segment& s : part.segments) file.write(kSegment, segment_json(s).dump());
  file.write(kDone, json{{"pieces", part.pieces}, {"search_seconds", part.search_seconds}}.dump());
  return out.str();
}

ShardPart read_part(const std::string& path) {
  try {
    shard::RecordReader file(path);
    const std::string& first = file.fields();
    char kind[8] = {};
    char print[64] = {};
    long long count = 0;
    long long index = 0;
    char extra = 0;
    if (std::sscanf(first.c_str(), "%7s %63s %lld %lld %c", kind, print, &count, &index, &extra) !=
            4 ||
        std::string(kind) != "report") {
      throw shard::Damaged("is a shard file of tool, not a part of a tool-report run");
    }
    if (count < 1 || index < 0 || index >= count) throw shard::Damaged("names an impossible shard");
    ShardPart part = part_of(file);
    part.shard = ShardSelection{index, count};
    if (fields(part, index) != first) throw shard::Damaged("does not match its first line");
    return part;
  } catch (const shard::Damaged& damaged) {
    throw InputError("shard part '" + path + "': " + damaged.what());
  } catch (const json::exception&) {
    throw InputError("shard part '" + path + "': holds a damaged record");
  }
}

std::vector<ShardPart> one_run(std::vector<ShardPart> parts,
                               const std::vector<std::string>& paths) {
  if (parts.empty()) throw InputError("--merge: no shard part given");
  const std::int64_t count = parts.front().shard.count;
  const std::string run = fields(parts.front(), 0);
  std::vector<ShardPart> in_order(static_cast<std::size_t>(count));
  std::vector<bool> seen(static_cast<std::size_t>(count), false);
  for (std::size_t k = 0; k < parts.size(); ++k) {
    ShardPart& p = parts[k];
    const auto index = static_cast<std::size_t>(p.shard.index);
    if (fields(p, 0) != run || p.pieces != parts.front().pieces) {
      throw InputError("shard part '" + paths[k] + "': is a part of another run than '" +
                       paths.front() + "'");
    }
    if (seen[index])
      throw InputError("shard part '" + paths[k] + "': shard " + std::to_string(index) +
                       " is given twice");
    seen[index] = true;
    in_order[index] = std::move(p);
  }
  const auto missing = std::find(seen.begin(), seen.end(), false);
  if (missing != seen.end()) {
    throw InputError("--merge: shard " + std::to_string(missing - seen.begin()) + " of " +
                     std::to_string(count) + " is missing");
  }
  return in_order;
}

}  // namespace analyser
