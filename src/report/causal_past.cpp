#include "report/causal_past.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <unordered_map>

namespace analyser {

namespace {

using Outputs = std::vector<std::size_t>;  // trace indices of outputs, increasing

constexpr std::size_t kNoPart = static_cast<std::size_t>(-1);

Outputs joined(const Outputs& a, const Outputs& b) {
  Outputs both;
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
  return both;
}

// The key that opens an encryption under key: a symmetric or generated key
// opens itself.
Message opening_key(const Message& key) {
  if (key.is(Tag::PubOf)) return priv_of(key.argument());
  if (key.is(Tag::PrivOf)) return pub_of(key.argument());
  const Message inverse = inverse_key(key);
  return inverse.is(Tag::NoMessage) ? key : inverse;
}

// The terms the intruder holds as the trace goes on, split and opened as far as
// its keys allow, each with the output it came from.
class HeldTerms {
 public:
  // The intruder learns m from the output at trace index output, or from the
  // start without one.
  void learn(const Message& m, std::optional<std::size_t> output) {
    add(m, output, kNoPart, Message());
    // A key just learnt may open an encryption learnt earlier.
    for (bool opened = true; opened;) {
      opened = false;
      for (std::size_t s = 0; s < sealed_.size(); ++s) {
        const std::size_t at = sealed_[s];
        const Message key = opening_key(held_[at].term.key());
        if (!derivable(key)) continue;
        sealed_.erase(sealed_.begin() + static_cast<std::ptrdiff_t>(s));
        add(held_[at].term.body(), output, at, key);
        opened = true;
        break;
      }
    }
  }

  // The outputs the intruder needs to derive t now: a held encryption is
  // replayed, anything else held comes from where it was taken, and what is not
  // held is composed.
  Outputs sources(const Message& t) {
    const auto held = index_.find(t);
    if (held != index_.end() && !t.is(Tag::Pair)) return sources_of_held(held->second);
    if (t.is(Tag::Pair) || t.is(Tag::Enc)) return joined(sources(t.first()), sources(t.second()));
    if (t.is(Tag::PubOf)) return sources(t.argument());
    return held != index_.end() ? sources_of_held(held->second) : Outputs();
  }

 private:
  struct Held {
    Message term;
    std::optional<std::size_t> output;  // none: known from the start
    std::size_t part_of;                // the held term it was taken out of, or kNoPart
    Message opened_with;                // the key that opened part_of, if an encryption
  };

  bool derivable(const Message& t) const {
    if (index_.count(t) != 0) return true;
    switch (t.tag()) {
      case Tag::NoMessage:
      case Tag::Var:
      case Tag::BindVar:
      case Tag::Gen:  // a value of the intruder's own making
        return true;
      case Tag::Pair:
      case Tag::Enc:
        return derivable(t.first()) && derivable(t.second());
      case Tag::PubOf:
        return derivable(t.argument());
      default:
        return false;
    }
  }

  void add(const Message& m, std::optional<std::size_t> output, std::size_t part_of,
           const Message& opened_with) {
    if (index_.count(m) != 0) return;
    const std::size_t at = held_.size();
    held_.push_back(Held{m, output, part_of, opened_with});
    index_.emplace(m, at);
    if (m.is(Tag::Pair)) {
      add(m.first(), output, at, Message());
      add(m.second(), output, at, Message());
    } else if (m.is(Tag::Enc)) {
      const Message key = opening_key(m.key());
      if (derivable(key)) {
        add(m.body(), output, at, key);
      } else {
        sealed_.push_back(at);
      }
    }
  }

  Outputs sources_of_held(std::size_t at) {
    if (const auto known = memo_.find(at); known != memo_.end()) return known->second;
    const Held& h = held_[at];
    Outputs found;
    if (h.output && h.part_of == kNoPart) {
      found = {*h.output};
    } else if (h.part_of != kNoPart) {
      found = sources_of_held(h.part_of);
      if (!h.opened_with.is(Tag::NoMessage)) found = joined(found, sources(h.opened_with));
    }
    memo_.emplace(at, found);
    return found;
  }

  std::vector<Held> held_;  // in the order learnt
  std::unordered_map<Message, std::size_t, MessageHash> index_;
  std::vector<std::size_t> sealed_;      // held encryptions not opened yet
  std::map<std::size_t, Outputs> memo_;  // sources_of_held's answers
};

}  // namespace

CausalPast causal_past(const std::vector<TraceEvent>& trace,
                       const std::vector<Message>& initial_knowledge,
                       const std::vector<Message>& revealed,
                       const std::vector<std::size_t>& seeds) {
  HeldTerms held;
  for (const Message& m : initial_knowledge) held.learn(m, std::nullopt);
  std::vector<Outputs> direct(trace.size());
  std::map<std::int64_t, std::size_t> last_of_instance;
  for (std::size_t p = 0; p < trace.size(); ++p) {
    const Action& a = *trace[p].action;
    if (a.kind == ActionKind::In) direct[p] = held.sources(trace[p].message);
    const auto [last, first_event] = last_of_instance.try_emplace(a.instance, p);
    if (!first_event) {
      direct[p] = joined(direct[p], {last->second});
      last->second = p;
    }
    if (a.kind == ActionKind::Out) held.learn(trace[p].message, p);
  }
  std::vector<bool> in_past(trace.size(), false);
  for (std::size_t s : seeds) in_past[s] = true;
  for (const Message& t : revealed) {
    for (std::size_t s : held.sources(t)) in_past[s] = true;
  }
  for (std::size_t p = trace.size(); p-- > 0;) {
    if (!in_past[p]) continue;
    for (std::size_t d : direct[p]) in_past[d] = true;
  }
  CausalPast past;
  std::vector<std::size_t> entry(trace.size(), 0);
  for (std::size_t p = 0; p < trace.size(); ++p) {
    if (!in_past[p]) continue;
    entry[p] = past.events.size();
    past.events.push_back(p);
    Outputs& depends_on = past.depends_on.emplace_back();
    for (std::size_t d : direct[p]) depends_on.push_back(entry[d]);
  }
  return past;
}

}  // namespace analyser
