#include "report/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace analyser {

namespace {

constexpr int kWidth = 30;  // characters of the bar itself
constexpr std::chrono::milliseconds kRedrawEvery{250};

}  // namespace

ProgressBar::~ProgressBar() {
  if (drawn_) terminal_ << "\r" << std::string(line(0, 0, 0, 0).size(), ' ') << "\r" << std::flush;
}

void ProgressBar::update(const SearchState& state) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now - last_drawn_ < kRedrawEvery) return;
  last_drawn_ = now;
  terminal_ << "\r"
            << line(state.subtree_index + 1, state.starting_count,
                    std::chrono::duration<double>(now - start_).count(),
                    state.counts.terminal_traces)
            << std::flush;
  drawn_ = true;
}

std::string ProgressBar::line(std::int64_t session, std::int64_t sessions, double seconds,
                              std::int64_t finished_runs) {
  // The sessions before the current one are done.
  const double fraction =
      sessions > 0
          ? std::clamp(static_cast<double>(session - 1) / static_cast<double>(sessions), 0.0, 1.0)
          : 0.0;
  const int filled = static_cast<int>(fraction * kWidth);
  const auto whole = static_cast<long long>(seconds);
  const double rate = seconds > 0.0 ? static_cast<double>(finished_runs) / seconds : 0.0;
  char text[200];
  std::snprintf(text, sizeof text, "[%s%s] session %lld/%lld  %lld:%02lld:%02lld  %.0f runs/s   ",
                std::string(static_cast<std::size_t>(filled), '#').c_str(),
                std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(),
                static_cast<long long>(session), static_cast<long long>(sessions), whole / 3600,
                whole / 60 % 60, whole % 60, rate);
  return text;
}

}  // namespace analyser
