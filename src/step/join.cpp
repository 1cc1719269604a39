#include "step/join.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

namespace analyser {

namespace {

// The fewest templates m <= n such that session `index` of the enumeration over
// n templates and size k >= 1 uses none above m, and its number among the
// sessions over m templates. The sessions that use template n come first,
// session_count(n, k - 1) of them; those over the first m templates come last,
// session_count(m, k) of them. Answers in a number of steps that grows with the
// logarithm of n, not with n.
std::pair<std::int64_t, std::int64_t> templates_used(std::int64_t n, std::int64_t k,
                                                     std::int64_t index) {
  constexpr std::int64_t kSaturated = std::numeric_limits<std::int64_t>::max();
  // While the count saturates, the sessions without template n are found one
  // template at a time: what the counts say is exact only below saturation.
  while (n > 1 && session_count(n, k) == kSaturated) {
    const std::int64_t using_n = session_count(n, k - 1);
    if (index < using_n) return {n, index};
    index -= using_n;
    --n;
  }
  const std::int64_t total = session_count(n, k);
  std::int64_t low = 1;
  std::int64_t high = n;
  while (low < high) {  // the smallest m whose sessions include session `index`
    const std::int64_t middle = low + (high - low) / 2;
    if (total - session_count(middle, k) <= index) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return {low, index - (total - session_count(low, k))};
}

// Session number `index` (from 0) of the enumeration over n >= 1 templates and
// size k >= 0, built without enumerating the sessions before it. Over n
// templates, for i = 0, 1, ..., k: the sessions of size i over the first n - 1
// templates, each padded with template n up to size k. The session is filled
// from its end, one template at a time.
std::vector<std::int64_t> nth_session(std::int64_t n, std::int64_t k, std::int64_t index) {
  std::vector<std::int64_t> s(static_cast<std::size_t>(k), 1);
  std::int64_t size = k;  // s[0, size) is the session `index` over n templates
  while (size > 0 && n > 1) {
    std::tie(n, index) = templates_used(n, size, index);
    if (n == 1) break;
    // The session uses template n: find how many of its places it leaves to the
    // templates before n.
    std::int64_t i = 0;
    for (;; ++i) {
      const std::int64_t block = session_count(n - 1, i);
      if (index < block) break;
      index -= block;
    }
    std::fill(s.begin() + i, s.begin() + size, n);
    size = i;
    --n;
  }
  return s;
}

// The shared key that closes parameter v: named after the instances of the
// variables that a already binds to v when there are any, after v otherwise.
Message closing_sym_key(const VarId& v, const Assignment& a) {
  const std::vector<Message> sharers = vars_bound_to(a, var(v));
  if (sharers.empty()) return sym_key("k" + v.name, v.instance);
  std::string text = "k";
  for (const Message& w : sharers) {
    assert(w.is(Tag::Var) && "the join binds only variables to a parameter");
    text += std::to_string(w.var().instance) + ",";
  }
  return sym_key(text + std::to_string(v.instance), 0);
}

// One binding per parameter still unbound under a, principal by principal in
// context order and parameter by parameter in declaration order: shared keys get
// a key term, every other parameter a name the intruder chooses from knowledge kid.
Assignment closing_assignment(const Context& context, const Assignment& a, std::int64_t kid) {
  std::vector<Binding> closing;
  for (const Principal& p : context) {
    const Principal q = apply_to_principal(a, p);
    for (const VarId& v : q.params()) {
      Message value =
          param_kind(q, v) == GenKind::SKey ? closing_sym_key(v, a) : gen(v, kid, GenKind::Name);
      closing.emplace_back(var(v), std::move(value));
    }
  }
  return assignment_of_bindings(std::move(closing));
}

Context apply_to_context(const Assignment& a, const Context& context) {
  Context result;
  result.reserve(context.size());
  for (const Principal& p : context) result.push_back(apply_to_principal(a, p));
  return result;
}

NodeRef create_child(NodeIds& ids, const NodeRef& parent, Status status) {
  NodeRef node = create_node(ids, std::move(status));
  set_parent(node, parent);
  return node;
}

}  // namespace

std::int64_t session_count(std::int64_t n, std::int64_t k) {
  if (n < 1 || k < 0) return 0;
  // C(n + k - 1, k), the value of the recursive definition (1 for one template,
  // k + 1 for two, sums of the counts for one template less otherwise), computed
  // as C(m, r) with r the smaller of k and n - 1, so that the work follows the
  // smaller of the two however large the other is; saturates instead of
  // overflowing.
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const std::int64_t r = std::min(k, n - 1);
  if (r == 0) return 1;
  if (k > kMax - (n - 1)) return kMax;  // n + k - 1 itself would overflow
  const std::int64_t m = k + (n - 1);
  std::int64_t count = 1;
  for (std::int64_t i = 1; i <= r; ++i) {
    const std::int64_t factor = m - r + i;
    if (count > kMax / factor) return kMax;
    count = count * factor / i;  // exact: a product of i consecutive integers
  }
  return count;
}

std::vector<std::vector<std::int64_t>> sessions(std::int64_t n, std::int64_t k) {
  std::vector<std::vector<std::int64_t>> result;
  const std::int64_t count = session_count(n, k);
  for (std::int64_t index = 0; index < count; ++index) {
    result.push_back(nth_session(n, k, index));
  }
  return result;
}

NodeRef next_join(const PrincipalPool& pool, SymbolicCore& core, NodeIds& ids, const NodeRef& root,
                  std::int64_t& next_session) {
  const std::int64_t index = next_session;
  if (index == -1) return nullptr;
  const std::int64_t k = pool.max_instance;
  const Status& start = root->status();
  if (static_cast<std::int64_t>(start.context.size()) == k ||
      index >= session_count(pool.size(), k)) {
    next_session = -1;
    return nullptr;
  }
  const std::vector<std::int64_t> session = nth_session(pool.size(), k, index);
  next_session = index + 1;

  // The first participant creates the session node; the others join it in place.
  NodeRef node;
  Status current = start;
  for (std::int64_t j = 1; j <= k; ++j) {
    const Principal p = get_principal(pool, session[static_cast<std::size_t>(j - 1)] - 1, j);
    const auto [name, instance] = principal_identity(p);
    current.knowledge =
        derive_knowledge(core.knowledge_manager(), current.knowledge, empty_assignment(),
                         pair(agent(name, instance), pub_key(name, instance)));
    current.context.insert(current.context.begin(), p);
    if (j == 1) {
      node = create_child(ids, root, current);
      node->set_action(join_action(name, instance, empty_assignment()));
    } else {
      node->set_status(current);
    }
  }
  return node;
}

NodeRef join_solution_node(SymbolicCore& core, NodeIds& ids, const NodeRef& session_node,
                           const Assignment& solution) {
  const Status& session = session_node->status();
  const Assignment a1 = compose(session.assignment, solution);
  NodeRef checked = create_child(ids, session_node, Status{session.context, a1, session.knowledge});
  checked->set_action(join_action("Check Component", checked->id(), solution));

  const Assignment a2 =
      compose(closing_assignment(session.context, a1, session.knowledge.kid()), a1);
  Status closed{apply_to_context(a2, session.context), a2,
                derive_knowledge(core.knowledge_manager(), session.knowledge, a2, no_message())};
  NodeRef initial = create_child(ids, checked, std::move(closed));
  initial->set_action(join_action("Close Principals", initial->id(), a2));
  return initial;
}

}  // namespace analyser
