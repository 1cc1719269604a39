#include "verify/constraints.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <ranges>
#include <string>
#include <utility>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

// Whether c1 and c2 chain into a new constraint: c2 starts where c1 ends, and
// they are not both exclusions (x \> y and y \> z leave x and z unrelated).
bool composable(const Constraint& c1, const Constraint& c2) {
  return !(c1.kind == ConstraintKind::Excludes && c2.kind == ConstraintKind::Excludes) &&
         c2.variable == c1.term;
}

// Appends to out the constraints that adding c to a store derives; walk(f)
// calls f on the constraints of the store in store order (most recent first).
template <typename Walk>
void append_chained(const Walk& walk, const Constraint& c, std::vector<Constraint>& out) {
  walk([&](const Constraint& x) {
    if (composable(x, c)) out.push_back(compose_constraints(x, c));
  });
  walk([&](const Constraint& x) {
    if (composable(c, x)) out.push_back(compose_constraints(c, x));
  });
}

// A store being extended: the constraints added so far, oldest first, in front
// of the unchanged base store, which the finished store shares.
class GrowingStore {
 public:
  explicit GrowingStore(const ConstraintStore& base) : base_(base) {}

  // Adds c, then (depth first) every constraint derived by chaining, each checked
  // against the store as it stands when its turn comes: c first, then the derived
  // ones, the last derived one first. This is the recursive order of
  // add_constraint, run on an explicit stack so that long chains cannot exhaust
  // the call stack.
  void add(const Constraint& c) {
    std::vector<Constraint> pending{c};
    const auto walk = [this](const auto& f) { for_each_newest_first(f); };
    while (!pending.empty()) {
      Constraint next = std::move(pending.back());
      pending.pop_back();
      if (holds(next)) continue;
      append_chained(walk, next, pending);
      added_.push_back(std::move(next));
    }
  }

  ConstraintStore finish() && { return base_.with(std::move(added_)); }

 private:
  template <typename F>
  void for_each_newest_first(const F& f) const {
    for (auto x = added_.rbegin(); x != added_.rend(); ++x) f(*x);
    for (const Constraint& x : base_) f(x);
  }

  bool holds(const Constraint& c) const {
    return std::ranges::find(added_, c) != added_.end() ||
           std::ranges::find(base_, c) != base_.end();
  }

  const ConstraintStore& base_;
  std::vector<Constraint> added_;  // oldest first
};

std::vector<Constraint> constraints_of(Bindings pairs, ConstraintKind kind) {
  std::vector<Constraint> result;
  result.reserve(pairs.size());
  for (const auto& [variable, term] : pairs) result.push_back({variable, term, kind});
  return result;
}

std::size_t pair_hash(const Constraint& c) {
  return c.variable.hash() * 1000003u ^ c.term.hash();
}

// The printing key of a constraint's variable: instance in decimal followed by
// the name for a Var or Gen. Other variables (possible only through chaining)
// have the empty key.
std::string print_key(const Message& variable) {
  if (!variable.is(Tag::Var) && !variable.is(Tag::Gen)) return {};
  return std::to_string(variable.var().instance) + variable.var().name;
}

// The relation printed stores are arranged by with group: a binds and b
// excludes, or both have one kind and a's key is the greater. group puts the
// elements related to the first one ahead of the others, so exclusions and
// smaller keys move forward, but only as far as group's rule takes them.
bool arranged_before(const Constraint& a, const std::string& a_key, const Constraint& b,
                     const std::string& b_key) {
  if (a.kind == ConstraintKind::BindsTo && b.kind == ConstraintKind::Excludes) return true;
  return a.kind == b.kind && a_key > b_key;
}

void append_constraint(std::string& s, const Constraint& c) {
  if (!c.variable.is(Tag::Var) || c.term.is(Tag::Gen)) return;
  append_message(s, c.variable, Rendering::Printed);
  s += c.kind == ConstraintKind::BindsTo ? " -> " : " \\> ";
  append_message(s, c.term, Rendering::Printed);
  s += '\n';
}

void print_store(std::ostream& os, const ConstraintStore& stored) {
  const std::vector<Constraint> store(stored.begin(), stored.end());
  // Grouped by position, so that group copies small indices, not keys.
  std::vector<std::string> keys;
  std::vector<std::uint32_t> positions;
  keys.reserve(store.size());
  positions.reserve(store.size());
  for (const Constraint& c : store) {
    positions.push_back(static_cast<std::uint32_t>(keys.size()));
    keys.push_back(print_key(c.variable));
  }
  const auto before = [&](std::uint32_t a, std::uint32_t b) {
    return arranged_before(store[a], keys[a], store[b], keys[b]);
  };
  std::string s;
  for (const std::uint32_t i : utils::group(positions, before)) append_constraint(s, store[i]);
  s += '\n';
  os << s;
}

}  // namespace

ConstraintStore::Segment::~Segment() {
  utils::release_chain(
      std::move(older), [](const Segment& s) -> auto& { return s.older; });
}

const Constraint& ConstraintStore::Iterator::operator*() const {
  return segment_->newest_first[index_];
}

ConstraintStore::Iterator& ConstraintStore::Iterator::operator++() {
  if (++index_ == segment_->newest_first.size()) {
    segment_ = segment_->older.get();
    index_ = 0;
  }
  return *this;
}

ConstraintStore::ConstraintStore(std::initializer_list<Constraint> newest_first)
    : ConstraintStore(std::vector<Constraint>(newest_first)) {}

ConstraintStore::ConstraintStore(std::vector<Constraint> newest_first)
    : size_(newest_first.size()) {
  if (!newest_first.empty())
    newest_ = std::make_shared<const Segment>(std::move(newest_first), nullptr);
}

ConstraintStore ConstraintStore::with(std::vector<Constraint> added) const {
  if (added.empty()) return *this;
  const std::size_t size = size_ + added.size();
  std::ranges::reverse(added);
  added.shrink_to_fit();  // the segment is kept, often long after its store is made
  return ConstraintStore(std::make_shared<const Segment>(std::move(added), newest_), size);
}

bool operator==(const ConstraintStore& a, const ConstraintStore& b) {
  if (a.newest_ == b.newest_) return true;  // the same segments, and so the same size
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

Constraint compose_constraints(const Constraint& c1, const Constraint& c2) {
  if (!composable(c1, c2)) return c1;
  // Two bindings give a binding; a binding and an exclusion, an exclusion.
  const bool binds = c1.kind == ConstraintKind::BindsTo && c2.kind == ConstraintKind::BindsTo;
  return {c1.variable, c2.term, binds ? ConstraintKind::BindsTo : ConstraintKind::Excludes};
}

std::vector<Constraint> chain(const ConstraintStore& store, const Constraint& c) {
  std::vector<Constraint> derived;
  const auto walk = [&store](const auto& f) {
    for (const Constraint& x : store) f(x);
  };
  append_chained(walk, c, derived);
  return derived;
}

ConstraintStore add_constraint(const ConstraintStore& store, const Constraint& c) {
  GrowingStore grown(store);
  grown.add(c);
  return std::move(grown).finish();
}

std::vector<ConstraintStore> add_to_all(const std::vector<Constraint>& constraints,
                                        const std::vector<ConstraintStore>& stores) {
  if (constraints.empty()) return stores;
  std::vector<ConstraintStore> result;
  result.reserve(stores.size());
  for (const ConstraintStore& store : stores) {
    GrowingStore grown(store);
    for (auto c = constraints.rbegin(); c != constraints.rend(); ++c) grown.add(*c);
    result.push_back(std::move(grown).finish());
  }
  return result;
}

std::vector<ConstraintStore> branch(const std::vector<ConstraintStore>& stores,
                                    const std::vector<Constraint>& alternatives) {
  std::vector<ConstraintStore> result;
  result.reserve(stores.size() * alternatives.size());
  for (const ConstraintStore& store : stores) {
    for (const Constraint& c : alternatives) result.push_back(add_constraint(store, c));
  }
  return result;
}

std::vector<ConstraintStore> branch_all(const std::vector<std::vector<Constraint>>& lists,
                                        const std::vector<ConstraintStore>& stores) {
  if (lists.empty()) return stores;
  std::vector<ConstraintStore> result = branch(stores, lists.back());
  for (std::size_t i = lists.size() - 1; i-- > 0;) result = branch(result, lists[i]);
  return result;
}

bool is_consistent(const ConstraintStore& store) {
  const auto excluded = std::ranges::count(store, ConstraintKind::Excludes, &Constraint::kind);
  if (excluded == 0 || excluded == static_cast<std::ptrdiff_t>(store.size())) return true;
  // The BindsTo pairs sorted by hash; each Excludes pair is looked up among them.
  std::vector<std::pair<std::size_t, const Constraint*>> binds;
  binds.reserve(store.size() - static_cast<std::size_t>(excluded));
  for (const Constraint& c : store) {
    if (c.kind == ConstraintKind::BindsTo) binds.emplace_back(pair_hash(c), &c);
  }
  const auto hash_of = [](const auto& entry) { return entry.first; };
  std::ranges::sort(binds, {}, hash_of);
  for (const Constraint& c : store) {
    if (c.kind != ConstraintKind::Excludes) continue;
    const std::size_t h = pair_hash(c);
    for (auto it = std::ranges::lower_bound(binds, h, {}, hash_of);
         it != binds.end() && it->first == h; ++it) {
      if (it->second->variable == c.variable && it->second->term == c.term) return false;
    }
  }
  return true;
}

std::vector<ConstraintStore> consistent_stores(const std::vector<ConstraintStore>& stores) {
  std::vector<ConstraintStore> result;
  std::ranges::copy_if(stores, std::back_inserter(result), is_consistent);
  return result;
}

std::vector<Assignment> stores_to_assignments(const std::vector<ConstraintStore>& stores) {
  std::vector<Assignment> result;
  result.reserve(stores.size());
  for (const ConstraintStore& store : stores) {
    std::vector<Binding> pairs;
    for (const Constraint& c : store) {
      if (c.kind == ConstraintKind::BindsTo) pairs.emplace_back(c.variable, c.term);
    }
    result.push_back(assignment_of_bindings(std::move(pairs)));
  }
  return result;
}

std::vector<Constraint> binds_to_constraints(Bindings pairs) {
  return constraints_of(pairs, ConstraintKind::BindsTo);
}

std::vector<Constraint> excludes_constraints(Bindings pairs) {
  return constraints_of(pairs, ConstraintKind::Excludes);
}

std::vector<std::vector<ConstraintStore>> singletons(const std::vector<ConstraintStore>& stores) {
  std::vector<std::vector<ConstraintStore>> result;
  result.reserve(stores.size());
  for (const ConstraintStore& store : stores) result.push_back(std::vector<ConstraintStore>{store});
  return result;
}

void print_model(std::ostream& os, const std::vector<ConstraintStore>& stores) {
  for (const ConstraintStore& store : stores) print_store(os, store);
}

}  // namespace analyser
