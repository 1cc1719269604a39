// A shard's part of a tool-report run cut into shards, and the file it is kept
// in until the parts are merged.
//
// A run is cut into pieces as the threaded search cuts it (search/parallel.h);
// shard I of N searches the pieces k with k % N == I and keeps their segments,
// with the attack sets recorded in the analyser's provisional numbers (see
// report/threaded_search.h). The merge composes the sessions again from the
// model the parts carry, and reads every part's segments in depth-first order:
// the report is exactly that of the whole run.
//
// A part file is framed as shard files are (shard/records.h: every record
// checksummed, reads bounded); its first line's fields are
//   report <fingerprint> <shards> <index>
// and its records, each a JSON document:
//   M  the model: the analysis options that shape the search, and the inputs
//   S  a segment of the search
//   N  the end of this shard's share: the number of pieces, its search time
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/model.h"
#include "search/segments.h"

namespace analyser {

struct ShardSelection {
  std::int64_t index = 0;
  std::int64_t count = 1;
};

// What of the analysis options the search depends on.
struct ShardedOptions {
  std::int64_t session_size = 0;
  bool exhaustive = false;
  bool prune_dead_ends = true;
  bool knowledge_in_join = false;
};

struct ShardPart {
  ShardSelection shard;
  ShardedOptions options;
  std::vector<InputFile> inputs;
  std::vector<Segment> segments;  // in order; a segment's parts joined
  std::int64_t pieces = 0;        // of the whole run
  double search_seconds = 0.0;
};

// The part file's contents.
std::string encoded_part(const ShardPart& part);

// Reads the part file at path. Throws InputError, naming path, when it cannot
// be read, is not a part file, or is damaged in any byte.
ShardPart read_part(const std::string& path);

// The parts of one run, one per shard, in shard order. Throws InputError when
// they are not exactly one run's parts (another model or options, another
// number of shards, a shard missing or repeated).
std::vector<ShardPart> one_run(std::vector<ShardPart> parts, const std::vector<std::string>& paths);

}  // namespace analyser
