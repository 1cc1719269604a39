// tool-report's search on several threads (search/parallel.h), with the
// attack sets grouped exactly as the search on one thread groups them.
//
// Each segment of the threaded search writes the attack sets it finds as
// records, in the analyser's provisional numbers; the records are read back in
// depth-first order, renumbered, into the run's groups. A segment describes
// only the attack sets of a group that are shorter than every one of the group
// it met before; the others are a key, a length and a session. The shortest
// attack set of a group that comes first in depth-first order is shorter than
// every one before it, so it is described in its segment: every group's
// representative, count and sessions are those of one thread, and so are the
// statistics.
#pragma once

#include <functional>

#include "report/attack_groups.h"
#include "search/search.h"

namespace analyser {

struct Threads {
  int count = 1;
  // Chunks are the subtrees this many levels above a session's deepest leaves;
  // 0: a height that suits the reduced search.
  std::int64_t chunk_levels = 0;
};

// Searches state, as search::run would, on threads.count threads, adding each
// attack set, grouped as grouping says, to groups. Between segments, stop is asked whether to end
// the search: the run then ends Stopped, with state counting the segments taken. Where the symmetry
// reduction does not hold, the run ends OrderMatters, as run's does.
search::RunEnd search_on_threads(SearchState& state, Threads threads, Grouping grouping,
                                 AttackGroups& groups,
                                 const std::function<bool(const SearchState&)>& stop);

}  // namespace analyser
