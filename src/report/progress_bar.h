// The progress bar of a long analysis on a terminal: the sessions searched out
// of all sessions, the elapsed time and the rate of finished runs, redrawn in
// place at most four times a second.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "search/search.h"

namespace analyser {

class ProgressBar {
 public:
  // Draws on terminal; a disabled bar draws nothing.
  ProgressBar(std::ostream& terminal, bool enabled) : terminal_(terminal), enabled_(enabled) {}
  // Erases the bar's line when it was drawn.
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Redraws the bar for state when the last drawing is old enough.
  void update(const SearchState& state);

  // The bar's line while session `session` (from 1) of `sessions` is searched,
  // after seconds in which finished_runs runs were verified.
  static std::string line(std::int64_t session, std::int64_t sessions, double seconds,
                          std::int64_t finished_runs);

 private:
  using Clock = std::chrono::steady_clock;

  std::ostream& terminal_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_drawn_ = start_;
};

}  // namespace analyser
