#include "search/segments.h"

#include <algorithm>
#include <stdexcept>

#include "knowledge/kmanager.h"

namespace analyser {

using numeral::Counter;

void begin_segment(SearchState& state, std::int64_t index) {
  state.node_ids = NodeIds(numeral::provisional(Counter::Node, index, 0));
  state.core->knowledge_manager().set_last_kid(numeral::provisional(Counter::Kid, index, 0));
  state.counts = SearchCounts{};
  state.counts.traces = numeral::provisional(Counter::Trace, index, 0);
  state.counts.attacks = numeral::provisional(Counter::Attack, index, 0);
  state.times.verify_time = 0.0;
}

Tally tally_of(const SearchState& state, std::int64_t index) {
  Tally t;
  t[Counter::Node] = state.node_ids.last() - numeral::provisional(Counter::Node, index, 0);
  t[Counter::Kid] =
      state.core->knowledge_manager().last_kid() - numeral::provisional(Counter::Kid, index, 0);
  t[Counter::Trace] = state.counts.traces - numeral::provisional(Counter::Trace, index, 0);
  t[Counter::Attack] = state.counts.attacks - numeral::provisional(Counter::Attack, index, 0);
  // A segment must stay within its numbers' range, or they would run into the next.
  for (std::int64_t used : t.used) {
    if (used > numeral::kMaxOffset) throw Failure("Search.SegmentTooLarge");
  }
  t.counts = state.counts;
  t.verify_time = state.times.verify_time;
  return t;
}

Renumbering::Renumbering(std::int64_t last_node, std::int64_t last_kid) {
  last_[static_cast<std::size_t>(Counter::Node)] = last_node;
  last_[static_cast<std::size_t>(Counter::Kid)] = last_kid;
}

std::int64_t Renumbering::final_number(const numeral::Provisional& p) const {
  const auto it = std::lower_bound(
      starts_.begin(), starts_.end(), p.segment,
      [](const std::pair<std::int64_t, Values>& start, std::int64_t s) { return start.first < s; });
  if (it == starts_.end() || it->first != p.segment) {
    throw std::logic_error("a segment refers to numbers of a segment no longer open");
  }
  return it->second[static_cast<std::size_t>(p.counter)] + p.offset;
}

void Renumbering::add(const Segment& segment, SearchState& state, std::string& out) {
  if (starts_.empty() || starts_.back().first != segment.index) {
    starts_.emplace_back(segment.index, last_);
  }
  numeral::resolve(
      segment.output, [this](const numeral::Provisional& p) { return final_number(p); }, out);
  if (segment.more) return;
  const Tally& t = segment.tally;
  if (t[Counter::Node] > 0) {
    const std::int64_t last_node = last_[static_cast<std::size_t>(Counter::Node)];
    state.counts.max_node_id = std::max(state.counts.max_node_id, last_node + t[Counter::Node]);
  }
  for (std::size_t c = 0; c < last_.size(); ++c) last_[c] += t.used[c];
  SearchCounts counted = t.counts;
  counted.max_node_id = 0;
  counted.traces = t[Counter::Trace];
  counted.attacks = t[Counter::Attack];
  state.counts += counted;
  state.times.verify_time += t.verify_time;
  for (const ReductionTally& r : segment.reductions) {
    ReductionTally& seen = reductions_[{r.session, r.initial}];
    seen.moves_left_out += r.moves_left_out;
    seen.order_matters = seen.order_matters || r.order_matters;
    if (seen.order_matters && seen.moves_left_out > 0) reduction_failed_ = true;
  }
  if (segment.failure) {
    try {
      std::rethrow_exception(segment.failure);
    } catch (const Failure& failure) {
      std::string line;
      numeral::resolve(
          failure.output(), [this](const numeral::Provisional& p) { return final_number(p); },
          line);
      throw Failure(failure.description(), line);
    }
  }
  std::erase_if(starts_, [&](const std::pair<std::int64_t, Values>& start) {
    return !std::binary_search(segment.live.begin(), segment.live.end(), start.first);
  });
}

}  // namespace analyser
