#include "search/goal.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "assignment/assignment.h"
#include "knowledge/knowledge.h"
#include "principal/context.h"
#include "search/subtree.h"
#include "step/step.h"

namespace analyser::search {

namespace {

// The largest number of active principals the hunt tries.
constexpr std::size_t kMostActive = 3;

using Instances = std::vector<std::int64_t>;  // sorted

// The intruder can open what c sends: it is not encrypted, or encrypted under
// a key whose inverse it knows, or under a generated value that stands for such
// a key (the public key of a compromised agent, a key pair it owns).
bool intruder_opens(const Knowledge& k, const StepCandidate& c) {
  Message sent;
  try {
    sent = exchanged_message(c);
  } catch (const NoMeaning&) {
    return false;  // the child fails the same way, if the search ever makes it
  } catch (const CyclicBinding&) {
    return false;
  }
  if (!is_enc(sent)) return true;
  const Message& key = sent.second();
  if (key.is(Tag::PubOf) && key.first().is(Tag::Gen)) return key.first().kind() == GenKind::RName;
  if (key.is(Tag::Gen)) return key.kind() == GenKind::PMKey || key.kind() == GenKind::MPKey;
  const Message inverse = inverse_key(key);
  return !inverse.is(Tag::NoMessage) && knows(k, inverse);
}

// Until every active principal has finished, only they receive; then the others,
// one at a time in order of instance. Every principal still makes its outputs as
// soon as it can, as in the full search; an inactive one makes only one of them.
class ActivePrincipals : public Reduction {
 public:
  explicit ActivePrincipals(Instances active) : active_(std::move(active)) {}

  bool leaves_out(const Node& node, std::int64_t i) override {
    const Context& c = node.status().context;
    const std::int64_t mover = nth_principal(c, i).instance();
    if (is_active(mover)) return false;
    return std::any_of(c.begin(), c.end(), [&](const Principal& p) {
      return !is_finished(p) && (is_active(p.instance()) || p.instance() < mover);
    });
  }

  // An inactive principal sends only one of its outputs: the first that the
  // intruder can open, or else the first. Talking to the intruder, a principal
  // is the likeliest to finish without the others.
  void thin_outputs(const Node& node, std::int64_t i,
                    std::vector<StepCandidate>& outputs) override {
    if (outputs.empty() || is_active(nth_principal(node.status().context, i).instance())) return;
    const Knowledge& k = node.status().knowledge;
    const auto opened = std::find_if(outputs.begin(), outputs.end(),
                                     [&](const StepCandidate& c) { return intruder_opens(k, c); });
    StepCandidate kept = std::move(opened != outputs.end() ? *opened : outputs.front());
    outputs.clear();
    outputs.push_back(std::move(kept));
  }

  // Every active principal of c has finished.
  bool finished(const Context& c) const {
    return std::all_of(c.begin(), c.end(), [&](const Principal& p) {
      return !is_active(p.instance()) || is_finished(p);
    });
  }

  // The inactive principal of c whose turn it is: the unfinished one of the
  // smallest instance; 0 when all have finished.
  std::int64_t next_to_move(const Context& c) const {
    std::int64_t next = 0;
    for (const Principal& p : c) {
      if (!is_active(p.instance()) && !is_finished(p) && (next == 0 || p.instance() < next)) {
        next = p.instance();
      }
    }
    return next;
  }

  bool is_active(std::int64_t instance) const {
    return std::binary_search(active_.begin(), active_.end(), instance);
  }

 private:
  Instances active_;
};

// The runs below start in which only active's principals receive until they
// have all finished. A choice between inputs of another principal, which come
// once the active ones have finished, tries its next alternative only while no
// run has finished below it and, below the alternative tried last, the active
// principals finished and that principal was the one left unable to go on: one
// way for the others to finish is enough, where the active ones cannot finish
// the others' choices are taken not to help, and a principal that cannot finish
// is blamed on its own choices, not on those of the principals before it.
class OneWayToFinish : public SearchHooks {
 public:
  explicit OneWayToFinish(const ActivePrincipals& reduction) : reduction_(reduction) {}

  bool enough(const std::vector<Frame>&) override {
    const Flags& top = flags_.back();
    return top.mover != 0 && (top.run_finished || !top.actives_done || !top.mover_stuck);
  }

  void entering(const std::vector<Frame>& stack, const NodeRef& node) override {
    if (!stack.empty()) {
      Flags& parent = flags_.back();
      const std::int64_t mover = node->action().instance;
      if (!reduction_.is_active(mover)) parent.mover = mover;
      parent.actives_done = false;
      parent.mover_stuck = false;
    }
    flags_.emplace_back();
  }

  void closed(const std::vector<Frame>&, const NodeRef& node) override {
    flags_.pop_back();
    if (node->children() != 0) return;
    const Context& c = node->status().context;
    const bool actives_done = reduction_.finished(c);
    const bool run_finished = is_final(node);
    const std::int64_t stuck = actives_done ? reduction_.next_to_move(c) : 0;
    for (Flags& f : flags_) {
      f.actives_done = f.actives_done || actives_done;
      f.run_finished = f.run_finished || run_finished;
      f.mover_stuck = f.mover_stuck || (stuck != 0 && f.mover == stuck);
    }
  }

 private:
  // Beside each frame of the stack.
  struct Flags {
    std::int64_t mover = 0;     // the inactive principal its children move; 0: an active one
    bool run_finished = false;  // below it, a finished run
    // Below its last child: a leaf where the active principals finished, and one
    // where the mover was the one to go on.
    bool actives_done = false;
    bool mover_stuck = false;
  };

  const ActivePrincipals& reduction_;
  std::vector<Flags> flags_;
};

// The runs below start in which only active's principals receive until they
// have all finished. A choice between inputs of another principal, which come
// once the active ones have finished, tries its next alternative only while no
// run has finished below it and, below the alternative tried last, the active
// principals finished and that principal was the one left unable to go on: one
// way for the others to finish is enough, where the active ones cannot finish
// the others' choices are taken not to help, and a principal that cannot finish
// is blamed on its own choices, not on those of the principals before it.
// Returns false when the observer stopped it.
bool search_with_active(SearchState& state, const InitialNode& start, Instances active,
                        SearchObserver& observer) {
  ActivePrincipals reduction(std::move(active));
  OneWayToFinish hooks(reduction);
  DepthFirst search(state, observer, {&hooks, false});
  search.start(start, &reduction);
  return search.run() == SubtreeEnd::Done;
}

// Calls visit with every choice of k of the instances, in lexicographic order,
// until it returns false; returns false then, true otherwise.
template <typename Visit>
bool for_each_choice(const Instances& instances, std::size_t k, Visit visit) {
  const std::size_t n = instances.size();
  std::vector<std::size_t> pick(k);
  std::iota(pick.begin(), pick.end(), 0);
  for (;;) {
    Instances chosen;
    for (std::size_t i : pick) chosen.push_back(instances[i]);
    if (!visit(std::move(chosen))) return false;
    std::size_t i = k;
    while (i > 0 && pick[i - 1] == n - k + i - 1) --i;
    if (i == 0) return true;
    ++pick[i - 1];
    for (std::size_t j = i; j < k; ++j) pick[j] = pick[j - 1] + 1;
  }
}

// Some clause is true whatever the run: every literal of it is the constant true.
// An attack makes every clause false.
bool cannot_fail(const ClauseList& clauses) {
  return std::any_of(clauses.begin(), clauses.end(), [](const Clause& clause) {
    return std::all_of(clause.begin(), clause.end(),
                       [](const Formula& literal) { return literal.is(FormulaTag::True); });
  });
}

}  // namespace

bool hunt_attack(SearchState& state, SearchObserver& observer) {
  SessionWalk sessions(state, *state.core, state.formula);
  while (sessions.open_next()) {
    state.subtree_index = static_cast<std::int64_t>(sessions.index());
    if (cannot_fail(state.formula.clauses())) continue;
    const InitialNodes& initial = sessions.initial();
    for (std::size_t i = 0; i < initial.size(); ++i) {
      const InitialNode start = initial[i];
      Instances instances;
      for (const Principal& p : start.node->status().context) instances.push_back(p.instance());
      std::sort(instances.begin(), instances.end());
      // Fewer than all of them: with every principal active the hunt would be the
      // full search.
      const std::size_t too_many = std::min(kMostActive + 1, instances.size());
      for (std::size_t k = 1; k < too_many; ++k) {
        if (!for_each_choice(instances, k, [&](Instances active) {
              return search_with_active(state, start, std::move(active), observer);
            })) {
          return false;
        }
      }
    }
  }
  return true;
}

}  // namespace analyser::search
