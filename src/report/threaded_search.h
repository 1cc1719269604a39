// tool-report's search on several threads (search/parallel.h), with the
// attack sets grouped exactly as the search on one thread groups them.
//
// Each segment of the threaded search writes the attack sets it finds as
// records, in the analyser's provisional numbers; the records are read back in
// depth-first order, renumbered, into the run's groups. A segment describes
// only the first attack set of each group it meets; the others are a key and a
// session. The first attack set of a group in depth-first order is described
// in its segment, so every group's representative, count and sessions are
// those of one thread, and so are the statistics.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "report/attack_groups.h"
#include "search/search.h"
#include "search/segments.h"

namespace analyser {

struct Threads {
  int count = 1;
  // Chunks are the subtrees this many levels above a session's deepest leaves;
  // 0: a height that suits the reduced search.
  std::int64_t chunk_levels = 0;
};

// Searches state, as search::run would, on threads.count threads, adding each
// attack set to groups. Between segments, stop is asked whether to end the search:
// the run then ends Stopped, with state counting the segments taken. Where the
// symmetry reduction does not hold, the run ends OrderMatters, as run's does.
search::RunEnd search_on_threads(SearchState& state, Threads threads, AttackGroups& groups,
                                 const std::function<bool(const SearchState&)>& stop);

// A shard's share of that search: the pieces k with k % count == index, their
// segments kept (each one's parts joined) for read_segments. Returns the
// number of pieces of the whole run.
std::int64_t search_share(SearchState& state, Threads threads, std::int64_t index,
                          std::int64_t count, std::vector<Segment>& segments);

// Reads the segments of a search made elsewhere (the shares of every shard,
// in depth-first order) into groups and state, as search_on_threads would
// have. Throws InputError when they are not one whole search's.
search::RunEnd read_segments(SearchState& state, const std::vector<const Segment*>& segments,
                             AttackGroups& groups);

}  // namespace analyser
