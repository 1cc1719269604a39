#include "search/symmetry.h"

#include <algorithm>

#include "knowledge/knowledge.h"
#include "node/action.h"
#include "principal/context.h"

namespace analyser {

namespace {

// Two instance numbers swapped, in terms and in what is built of terms.
class Swap {
 public:
  Swap(std::int64_t a, std::int64_t b) : a_(a), b_(b) {}

  std::int64_t instance(std::int64_t i) const { return i == a_ ? b_ : i == b_ ? a_ : i; }

  Message term(const Message& m) const {
    return renumbered(
        m, [this](std::int64_t i) { return instance(i); }, [](std::int64_t k) { return k; });
  }

  Process process(const Process& p) const {
    return map_terms([this](const Message& t) { return term(t); }, p);
  }

  Formula swapped_literal(const Formula& f) const {
    return map_literal_terms(f, [this](const Message& t) { return term(t); });
  }

  // Whether q is p with its instance, its parameters and its process swapped.
  bool swaps_into(const Principal& p, const Principal& q) const {
    if (p.name() != q.name() || instance(p.instance()) != q.instance() ||
        p.params().size() != q.params().size()) {
      return false;
    }
    for (std::size_t k = 0; k < p.params().size(); ++k) {
      if (term(var(p.params()[k])) != var(q.params()[k])) return false;
    }
    return process(p.process()) == q.process();
  }

  bool keeps(const Knowledge& k) const {
    const std::vector<Message> known = k.messages();
    return std::all_of(known.begin(), known.end(),
                       [&](const Message& m) { return knows(k, term(m)); });
  }

  bool keeps(const ConstraintStore& store) const {
    return std::all_of(store.begin(), store.end(), [&](const Constraint& c) {
      const Constraint swapped{term(c.variable), term(c.term), c.kind};
      return std::find(store.begin(), store.end(), swapped) != store.end();
    });
  }

  // Every clause, swapped, is a clause of the list: the same literals in any order.
  bool keeps(const ClauseList& clauses) const {
    return std::all_of(clauses.begin(), clauses.end(), [&](const Clause& clause) {
      Clause swapped;
      for (const Formula& literal : clause) swapped.push_back(swapped_literal(literal));
      return std::any_of(clauses.begin(), clauses.end(), [&](const Clause& other) {
        return other.size() == swapped.size() &&
               std::all_of(swapped.begin(), swapped.end(), [&](const Formula& l) {
                 return std::find(other.begin(), other.end(), l) != other.end();
               });
      });
    });
  }

 private:
  std::int64_t a_;
  std::int64_t b_;
};

bool alike_at_start(const InitialNode& start, const ClauseList& formula, const Principal& p,
                    const Principal& q) {
  const Swap swap(p.instance(), q.instance());
  if (!swap.swaps_into(p, q)) return false;
  const Status& s = start.node->status();
  for (const Principal& other : s.context) {
    if (other.instance() == p.instance() || other.instance() == q.instance()) continue;
    if (!(swap.process(other.process()) == other.process())) return false;
  }
  if (start.stores) {
    for (const ConstraintStore& store : *start.stores) {
      if (!swap.keeps(store)) return false;
    }
  }
  return swap.keeps(s.knowledge) && swap.keeps(formula);
}

const Principal* principal_of_instance(const Context& context, std::int64_t instance) {
  for (const Principal& p : context) {
    if (p.instance() == instance) return &p;
  }
  return nullptr;
}

// Some binding of a names instance a or instance b.
bool names_either(const Assignment& assignment, std::int64_t a, std::int64_t b) {
  const auto names = [&](const Message& m) {
    return mentions_instance(m, a) || mentions_instance(m, b);
  };
  for (const Binding& binding : bindings(assignment)) {
    if (names(binding.first) || names(binding.second)) return true;
  }
  return false;
}

}  // namespace

InterchangeableInstances::InterchangeableInstances(const InitialNode& start,
                                                   const ClauseList& formula)
    : start_(start.node), initial_(start.node->status().context) {
  for (std::size_t x = 0; x < initial_.size(); ++x) {
    for (std::size_t y = x + 1; y < initial_.size(); ++y) {
      const Principal& p = initial_[x];
      const Principal& q = initial_[y];
      if (alike_at_start(start, formula, p, q)) {
        alike_.emplace(std::min(p.instance(), q.instance()), std::max(p.instance(), q.instance()));
      }
    }
  }
}

InterchangeableInstances::InterchangeableInstances(const InitialNode& start, AlikePairs alike)
    : start_(start.node), initial_(start.node->status().context), alike_(std::move(alike)) {}

bool InterchangeableInstances::untouched(const Status& s, const Principal& p,
                                         const Principal& q) const {
  // A principal that never moved is still the initial node's own handle.
  const Principal* p0 = principal_of_instance(initial_, p.instance());
  const Principal* q0 = principal_of_instance(initial_, q.instance());
  return p0 != nullptr && q0 != nullptr && p0->same(p) && q0->same(q) &&
         !names_either(s.assignment, p.instance(), q.instance());
}

bool InterchangeableInstances::leaves_out(const Node& node, std::int64_t i) {
  if (i < 2 || alike_.empty()) return false;
  const Status& s = node.status();
  const Principal& p = nth_principal(s.context, i - 1);
  const Principal& q = nth_principal(s.context, i);
  const std::int64_t a = p.instance();
  const std::int64_t b = q.instance();
  if (alike_.count({std::min(a, b), std::max(a, b)}) == 0 || !untouched(s, p, q)) return false;
  left_out(1);
  return true;
}

namespace {

// Some input lies between node and start.
bool received_since(const Node& node, const Node& start) {
  for (const Node* n = &node; n != nullptr && n != &start; n = n->parent().get()) {
    if (n->action().kind == ActionKind::In) return true;
  }
  return false;
}

}  // namespace

void InterchangeableInstances::thin_outputs(const Node& node, std::int64_t i,
                                            std::vector<StepCandidate>& outputs) {
  if (alike_.empty()) return;
  if (i > 1 && !order_matters_ && received_since(node, *start_)) {
    order_matters_ = true;
  }
  if (outputs.size() < 2) return;
  const Status& s = node.status();
  std::vector<Swap> swaps;
  for (const auto& [a, b] : alike_) {
    const Principal* p = principal_of_instance(s.context, a);
    const Principal* q = principal_of_instance(s.context, b);
    if (p != nullptr && q != nullptr && p->process().tag() == ProcessTag::Input &&
        q->process().tag() == ProcessTag::Input && untouched(s, *p, *q)) {
      swaps.emplace_back(a, b);
    }
  }
  if (swaps.empty()) return;
  // The candidates of one prefix share the principal after it.
  struct Sent {
    Message message;
    Principal after;
  };
  std::vector<StepCandidate> kept;
  std::vector<Sent> sent;
  for (StepCandidate& c : outputs) {
    const Message m = exchanged_message(c);
    const bool swapped_earlier = std::any_of(swaps.begin(), swaps.end(), [&](const Swap& swap) {
      const Message other = swap.term(m);
      return other != m && std::any_of(sent.begin(), sent.end(), [&](const Sent& earlier) {
               return earlier.message == other && earlier.after == c.after;
             });
    });
    if (swapped_earlier) continue;
    sent.push_back(Sent{m, c.after});
    kept.push_back(std::move(c));
  }
  const auto dropped = static_cast<std::int64_t>(outputs.size() - kept.size());
  outputs = std::move(kept);
  left_out(dropped);
}

}  // namespace analyser
