#include "search/statistics.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace analyser {

namespace search {

namespace {

// A count per second, truncated toward zero; 0 when no time was measured.
std::string rate_text(double count, double seconds) {
  if (seconds == 0.0) return "0";
  const double rate = std::trunc(count / seconds);
  if (!std::isfinite(rate) || rate == 0.0) return "0";
  char text[400];
  std::snprintf(text, sizeof text, "%.0f", rate);
  return text;
}

// %.12g, with "." added to a plain integer so that it still reads as a real.
std::string real_text(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%.12g", x);
  std::string s = text;
  if (s.find_first_not_of("-0123456789") == std::string::npos) s += ".";
  return s;
}

// x truncated toward zero; 0 for what is not a number of int64 range.
std::int64_t truncated(double x) {
  if (!std::isfinite(x) || std::fabs(x) >= 9.2e18) return 0;
  return static_cast<std::int64_t>(x);
}

double seconds_of(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

double process_seconds() {
  return seconds_of(CLOCK_PROCESS_CPUTIME_ID);
}

double thread_seconds() {
  return seconds_of(CLOCK_THREAD_CPUTIME_ID);
}

std::string format_duration(double seconds) {
  if (!std::isfinite(seconds)) return "infinity";
  const double whole = std::ceil(seconds);
  if (whole < std::numeric_limits<std::int32_t>::min() ||
      whole > std::numeric_limits<std::int32_t>::max()) {
    return "infinity";
  }
  const auto s = static_cast<std::int64_t>(whole);
  const std::int64_t h = s / 3600;
  const std::int64_t m = (s - 3600 * h) / 60;
  const std::int64_t sec = s - 3600 * h - 60 * m;
  if (h < 0) return "infinity";
  return std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(sec);
}

std::string progress_text(const SearchState& state, double elapsed) {
  // The nodes still to come, guessed from the branching seen so far: the
  // starting nodes already searched contribute nothing.
  double estimate = static_cast<double>(state.counts.max_node_id);
  const std::size_t count = std::min(state.initial_branching.size(), state.trace_lengths.size());
  for (std::size_t j = static_cast<std::size_t>(std::max<std::int64_t>(state.subtree_index, 0));
       j < count; ++j) {
    estimate += state.initial_branching[j] * std::pow(state.counts.branching_factor(),
                                                      static_cast<double>(state.trace_lengths[j]));
  }
  const double percent = static_cast<double>(state.counts.max_node_id) / estimate * 100.0;
  const double remaining = 100.0 * elapsed / percent - elapsed;
  return std::string(63, '\b') + std::to_string(truncated(percent)) + "%" + " elapsed " +
         format_duration(elapsed) + " " + "~ remaining " + format_duration(remaining) + " " +
         " subtree " + std::to_string(state.subtree_index + 1) + "/" +
         std::to_string(state.starting_count) + (state.progress.verifying ? " - V   " : " - S   ");
}

void print_progress(SearchState& state, bool last_draw) {
  constexpr double kSecondsBetweenDraws = 0.25;
  if (!state.options.feedback) return;
  const double now = process_seconds();
  if (!last_draw && now - state.progress.last_drawn < kSecondsBetweenDraws) return;
  state.progress.last_drawn = now;
  *state.progress.out << progress_text(state, now - state.times.search_time) << std::flush;
}

std::int64_t pruned_count(const SearchState& state) {
  return std::count(state.initial_branching.begin(), state.initial_branching.end(), 0.0);
}

void print_statistics(std::ostream& os, const SearchState& state) {
  const std::int64_t pruned = pruned_count(state);
  const double search_only = state.times.search_time - state.times.verify_time;
  os << "\n\n--------------------------------------------\nTotal traces: " << state.counts.traces
     << "\n"
     << "Total terminal traces: " << state.counts.terminal_traces << "\n"
     << "Total nodes: " << state.counts.max_node_id << "\n"
     << "Total starting nodes: " << state.starting_count << "\n"
     << "Total pruned starting nodes: " << pruned << "\n"
     << "\nTotal time: " << format_duration(state.times.search_time + state.times.join_time) << "\n"
     << "Search time: " << format_duration(search_only) << "\n"
     << "Join time: " << format_duration(state.times.join_time) << "\n"
     << "Verify time: " << format_duration(state.times.verify_time) << "\n"
     << "\nnode/s: " << rate_text(static_cast<double>(state.counts.max_node_id), search_only)
     << "\n"
     << "trace/s: " << rate_text(static_cast<double>(state.counts.traces), search_only) << "\n"
     << "verification/s: "
     << rate_text(static_cast<double>(state.counts.terminal_traces), state.times.verify_time)
     << "\n"
     << "branching factor: " << real_text(state.counts.branching_factor()) << ", ("
     << state.counts.children_total << "/" << state.counts.expanded_nodes << ")\n"
     << "max branching factor: " << state.counts.max_branching << "\n"
     << "min branching factor: " << state.counts.min_branching << "\n"
     << "initial branching factors: ";
  for (double b : state.initial_branching) os << truncated(b) << " ";
  os << "\n\ntrace length: ";
  for (std::int64_t length : state.trace_lengths) os << length << " ";
  os << "\n\n\nNumber of attacks: " << state.counts.attacks
     << "\n--------------------------------------------\n";
}

}  // namespace search

}  // namespace analyser
