// The statistics block of a run (-f), its progress display, and the clocks
// they read.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "search/state.h"

namespace analyser {

namespace search {

// The starting nodes whose join formula had no solution.
std::int64_t pruned_count(const SearchState& state);

// The statistics block of the run.
void print_statistics(std::ostream& os, const SearchState& state);

// The progress display on the feedback stream, when feedback is on. Redraws come at
// most a few times a second, so that what is written grows with time, not with
// the number of traces; the last one of a run (last_draw) is always written.
void print_progress(SearchState& state, bool last_draw = false);
// The progress display's text for the given seconds since the search began.
std::string progress_text(const SearchState& state, double elapsed);

// h:m:s of the ceiling of seconds, or "infinity" when that is not a meaningful
// non-negative number of hours.
std::string format_duration(double seconds);

// The process's processor time in seconds, and the calling thread's.
double process_seconds();
double thread_seconds();

}  // namespace search

}  // namespace analyser
