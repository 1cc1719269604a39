#include "search/state_merging.h"

#include <xxhash.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "knowledge/kmanager.h"
#include "node/action.h"

namespace analyser {

namespace search {

namespace {

// Instance numbers as a key writes them: those listed are replaced, the others
// kept.
using Renaming = std::vector<std::pair<std::int64_t, std::int64_t>>;

std::int64_t renamed(const Renaming& renaming, std::int64_t instance) {
  for (const auto& [from, to] : renaming) {
    if (from == instance) return to;
  }
  return instance;
}

void append_number(std::string& out, std::int64_t n) {
  out.append(reinterpret_cast<const char*>(&n), sizeof n);
}

// A 128-bit hash of text, as 16 bytes.
std::string digest(const std::string& text) {
  const XXH128_hash_t hash = XXH3_128bits(text.data(), text.size());
  std::string bytes(sizeof hash, '\0');
  std::memcpy(bytes.data(), &hash, sizeof hash);
  return bytes;
}

}  // namespace

// Fingerprints of knowledge sets, by kid and the renaming they were written
// under (as bytes). What a kid names never changes, and kids are not handed out
// twice.
struct StateMerging::Fingerprints {
  std::map<std::pair<std::int64_t, std::string>, std::string> by_kid;
};

namespace {

using Fingerprints = StateMerging::Fingerprints;

std::string renaming_bytes(const Renaming& renaming) {
  std::string bytes;
  for (const auto& [from, to] : renaming) {
    append_number(bytes, from);
    append_number(bytes, to);
  }
  return bytes;
}

// Writes terms of a status as text that tells every two distinct terms apart,
// instances renamed, and each generated value named by a fingerprint of the
// knowledge it was generated against: its messages, as a set.
class KeyWriter {
 public:
  KeyWriter(const Status& s, KnowledgeManager& mgr, Renaming renaming, Fingerprints& fingerprints)
      : s_(s),
        mgr_(mgr),
        renaming_(std::move(renaming)),
        renaming_bytes_(renaming_bytes(renaming_)),
        fingerprints_(fingerprints) {}
  // A writer whose generated values are named by fingerprints that another
  // writer takes.
  KeyWriter(const Status& s, Renaming renaming, KeyWriter& fingerprinter)
      : s_(s),
        mgr_(fingerprinter.mgr_),
        renaming_(std::move(renaming)),
        fingerprints_(fingerprinter.fingerprints_),
        fingerprinter_(&fingerprinter) {}

  std::int64_t instance(std::int64_t i) const { return renamed(renaming_, i); }
  void term(std::string& out, const Message& m);
  void applied(std::string& out, const Message& m) { term(out, apply(s_.assignment, m)); }
  // The digest of m's text.
  std::string term_digest(const Message& m) {
    scratch_.clear();
    term(scratch_, m);
    return digest(scratch_);
  }
  void variable(std::string& out, const VarId& v) {
    out.append(v.name).push_back('\0');
    out.append(v.owner).push_back('\0');
    append_number(out, instance(v.instance));
  }

 private:
  // The digest of knowledge kid's messages, as a set.
  const std::string& fingerprint(std::int64_t kid);

  const Status& s_;
  KnowledgeManager& mgr_;
  Renaming renaming_;
  std::string renaming_bytes_;
  Fingerprints& fingerprints_;
  KeyWriter* fingerprinter_ = this;
  std::vector<std::int64_t> in_progress_;
  std::string scratch_;
};

// The digests of a set of texts, sorted, repetitions dropped, as one text.
std::string set_text(std::vector<std::string> digests) {
  std::sort(digests.begin(), digests.end());
  digests.erase(std::unique(digests.begin(), digests.end()), digests.end());
  std::string text;
  append_number(text, static_cast<std::int64_t>(digests.size()));
  for (const std::string& d : digests) text.append(d);
  return text;
}

void KeyWriter::term(std::string& out, const Message& m) {
  out.push_back(static_cast<char>('a' + static_cast<int>(m.tag())));
  if (m.is_atom()) {
    out.append(m.name()).push_back('\0');
    append_number(out, instance(m.index()));
    return;
  }
  switch (m.tag()) {
    case Tag::Var:
    case Tag::BindVar:
      variable(out, m.var());
      return;
    case Tag::Gen:
      variable(out, m.var());
      out.push_back(static_cast<char>('0' + static_cast<int>(m.kind())));
      out.append(fingerprinter_->fingerprint(m.kid()));
      return;
    case Tag::Enc:
    case Tag::Pair:
      term(out, m.first());
      term(out, m.second());
      return;
    case Tag::PubOf:
    case Tag::PrivOf:
      term(out, m.argument());
      return;
    case Tag::Trick:
      throw Failure("StateKey.Trick");
    default:
      return;
  }
}

const std::string& KeyWriter::fingerprint(std::int64_t kid) {
  std::pair<std::int64_t, std::string> key{kid, renaming_bytes_};
  if (const auto known = fingerprints_.by_kid.find(key); known != fingerprints_.by_kid.end()) {
    return known->second;
  }
  // A knowledge holds values generated against older ones only; anything else
  // is not named, and the status gets no key.
  if (std::ranges::any_of(in_progress_, [kid](std::int64_t open) { return kid >= open; })) {
    throw Failure("StateKey.Cycle");
  }
  in_progress_.push_back(kid);
  std::vector<std::string> lines;
  // Not in scratch_, which may hold the term that names this kid.
  std::string text;
  for (const Message& m : find_knowledge(mgr_, kid).messages()) {
    text.clear();
    term(text, m);
    lines.push_back(digest(text));
  }
  in_progress_.pop_back();
  return fingerprints_.by_kid.emplace(std::move(key), digest(set_text(std::move(lines))))
      .first->second;
}

// Whether p has a choice or a parallel branch left.
bool branches(const Process& p) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return false;
    case ProcessTag::Input:
    case ProcessTag::Output:
      return branches(p.next());
    default:
      return true;
  }
}

void append_process(std::string& out, const Process& p, KeyWriter& w) {
  out.push_back(static_cast<char>('0' + static_cast<int>(p.tag())));
  switch (p.tag()) {
    case ProcessTag::Nil:
      return;
    case ProcessTag::Input:
    case ProcessTag::Output:
      w.applied(out, p.term());
      append_process(out, p.next(), w);
      return;
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      append_process(out, p.left(), w);
      append_process(out, p.right(), w);
      return;
  }
}

bool is_initial(const Principal& p, const Context& initial) {
  return std::ranges::any_of(initial, [&](const Principal& q) { return q.same(p); });
}

std::string principal_text(const Principal& p, const Context& initial,
                           const std::vector<std::int64_t>& named, KeyWriter& w) {
  std::string text = p.name();
  text.push_back('\0');
  append_number(text, w.instance(p.instance()));
  text.push_back(is_initial(p, initial) ? 'I' : 'M');
  text.push_back(std::ranges::binary_search(named, p.instance()) ? 'N' : 'U');
  for (const VarId& v : p.params()) w.variable(text, v);
  text.push_back('|');
  append_process(text, p.process(), w);
  return text;
}

// Whether the order of the principals can decide nothing below a status (see
// the header).
bool order_is_moot(const Context& context, const Context& initial) {
  std::vector<std::string> untouched_roles;
  for (std::size_t i = 0; i < context.size(); ++i) {
    const Principal& p = context[i];
    if (branches(p.process())) return false;
    if (i > 0 && p.process().tag() == ProcessTag::Output) return false;
    if (!is_initial(p, initial)) continue;
    if (std::ranges::find(untouched_roles, p.name()) != untouched_roles.end()) return false;
    untouched_roles.push_back(p.name());
  }
  return true;
}

bool received_since(const Node& node, const Node& start) {
  for (const Node* n = &node; n != nullptr && n != &start; n = n->parent().get()) {
    if (n->action().kind == ActionKind::In) return true;
  }
  return false;
}

// The instances whose atoms or variables occur in m, with repetitions.
void instances_in(const Message& m, std::vector<std::int64_t>& instances) {
  if (m.is_atom()) {
    instances.push_back(m.index());
  } else if (m.is(Tag::Var) || m.is(Tag::BindVar) || m.is(Tag::Gen)) {
    instances.push_back(m.var().instance);
  } else if (m.is(Tag::Enc) || m.is(Tag::Pair)) {
    instances_in(m.first(), instances);
    instances_in(m.second(), instances);
  } else if (m.is(Tag::PubOf) || m.is(Tag::PrivOf)) {
    instances_in(m.argument(), instances);
  }
}

// A principal's variable and its value under the assignment. The values of
// generated values show in the values of variables and in the terms of the
// status, all written under the assignment.
struct Bound {
  Message variable;
  Message value;
};

std::vector<Bound> bound_variables(const Status& s) {
  std::vector<Bound> bound;
  for (const Binding& b : bindings(s.assignment)) {
    if (b.first.is(Tag::Var)) bound.push_back(Bound{b.first, apply(s.assignment, b.first)});
  }
  return bound;
}

// The instances that some binding names, which the symmetry reduction does not
// swap.
std::vector<std::int64_t> named_instances(const Status& s) {
  std::vector<std::int64_t> named;
  for (const Binding& b : bindings(s.assignment)) {
    if (b.second.has_trick()) throw Failure("StateKey.Trick");
    instances_in(b.first, named);
    instances_in(b.second, named);
  }
  std::sort(named.begin(), named.end());
  named.erase(std::unique(named.begin(), named.end()), named.end());
  return named;
}

std::string bound_digest(const Bound& b, KeyWriter& w) {
  std::string text;
  w.term(text, b.variable);
  w.term(text, b.value);
  return digest(text);
}

// What a status says of one instance, the other interchangeable instances not
// told apart: its principal, its variables' values and what the intruder knows
// that names it.
std::string signature(const Context& initial, const Principal& p,
                      const std::vector<std::int64_t>& named, const std::vector<Bound>& bound,
                      const std::vector<Message>& known, KeyWriter& w) {
  std::string text = principal_text(p, initial, named, w);
  std::vector<std::string> lines;
  for (const Bound& b : bound) {
    if (b.variable.var().instance == p.instance()) lines.push_back(bound_digest(b, w));
  }
  text.append(set_text(std::move(lines)));
  lines.clear();
  for (const Message& m : known) {
    if (mentions_instance(m, p.instance())) lines.push_back(w.term_digest(m));
  }
  return text.append(set_text(std::move(lines)));
}

}  // namespace

// The state's text, under a renaming of the interchangeable instances that
// lists, in each class, the instances in the order of their signatures.
std::string StateMerging::key_text(const Node& node) {
  const Status& s = node.status();
  const Context& initial = start_->status().context;
  KnowledgeManager& mgr = state_.core->knowledge_manager();
  const std::vector<Bound> bound = bound_variables(s);
  const std::vector<std::int64_t> named = named_instances(s);
  std::vector<Message> known;  // under the assignment
  for (const Message& m : s.knowledge.messages()) known.push_back(apply(s.assignment, m));
  // Signatures name the interchangeable instances -1, the one they describe -2.
  Renaming blind;
  for (const auto& members : classes_) {
    for (std::int64_t i : members) blind.emplace_back(i, -1);
  }
  if (fingerprints_->by_kid.size() > kMaxFingerprints) fingerprints_->by_kid.clear();
  KeyWriter blind_writer(s, mgr, blind, *fingerprints_);
  Renaming canonical;
  for (const std::vector<std::int64_t>& members : classes_) {
    std::vector<std::pair<std::string, std::int64_t>> signed_members;
    for (std::int64_t member : members) {
      Renaming self = blind;
      for (auto& [from, to] : self) to = from == member ? -2 : -1;
      KeyWriter w(s, std::move(self), blind_writer);
      const auto p = std::ranges::find_if(
          s.context, [member](const Principal& q) { return q.instance() == member; });
      if (p == s.context.end()) throw Failure("StateKey.NoPrincipal");
      signed_members.emplace_back(signature(initial, *p, named, bound, known, w), member);
    }
    std::sort(signed_members.begin(), signed_members.end());
    for (std::size_t k = 0; k < members.size(); ++k) {
      canonical.emplace_back(signed_members[k].second, members[k]);
    }
  }
  KeyWriter w(s, mgr, std::move(canonical), *fingerprints_);
  std::vector<std::string> principals;
  for (const Principal& p : s.context)
    principals.push_back(digest(principal_text(p, initial, named, w)));
  std::string key = received_since(node, *start_) ? "received\n" : "not received\n";
  if (order_is_moot(s.context, initial)) {
    key.append("any order\n").append(set_text(std::move(principals)));
  } else {
    for (const std::string& d : principals) key.append(d);
  }
  std::vector<std::string> lines;
  for (const Bound& b : bound) lines.push_back(bound_digest(b, w));
  key.append("bound\n").append(set_text(std::move(lines)));
  lines.clear();
  for (const Message& m : known) lines.push_back(w.term_digest(m));
  return key.append("known\n").append(set_text(std::move(lines)));
}

std::optional<StateKey> StateMerging::key(const Node& node) {
  std::string text;
  try {
    text = key_text(node);
  } catch (const Failure&) {
    return std::nullopt;
  }
  const XXH128_hash_t hash = XXH3_128bits(text.data(), text.size());
  return StateKey{hash.low64, hash.high64};
}

StateMerging::~StateMerging() = default;

StateMerging::StateMerging(SearchState& state, const InitialNode& start, const Reduction* reduction)
    : state_(state),
      start_(start.node),
      reduction_(reduction),
      fingerprints_(std::make_unique<Fingerprints>()) {
  if (reduction == nullptr) return;
  // The classes: the groups of instances that are interchangeable each with
  // each and with no other, so that permuting a class keeps the pairs the
  // reduction swaps.
  const Context& context = start.node->status().context;
  std::vector<std::int64_t> instances;
  for (const Principal& p : context) instances.push_back(p.instance());
  std::sort(instances.begin(), instances.end());
  std::vector<bool> placed(instances.size(), false);
  for (std::size_t x = 0; x < instances.size(); ++x) {
    if (placed[x]) continue;
    std::vector<std::int64_t> members{instances[x]};
    for (std::size_t y = x + 1; y < instances.size(); ++y) {
      if (reduction->interchangeable(instances[x], instances[y])) {
        members.push_back(instances[y]);
        placed[y] = true;
      }
    }
    const auto alike_within = [&](std::int64_t i) {
      const bool member = std::ranges::find(members, i) != members.end();
      return std::ranges::all_of(members, [&](std::int64_t m) {
        return m == i || reduction->interchangeable(m, i) == member;
      });
    };
    if (members.size() > 1 && std::ranges::all_of(instances, alike_within)) {
      classes_.push_back(std::move(members));
    }
  }
}

bool StateMerging::paying() {
  if (paying_ && keys_ >= kKeysOnTrial && nodes_saved_ < kNodesSavedPerKey * keys_) {
    paying_ = false;
    searched_.clear();
  }
  return paying_;
}

std::int64_t StateMerging::moves_left_out() const {
  return reduction_ != nullptr ? reduction_->moves_left_out() : 0;
}

bool StateMerging::settled(const std::vector<Frame>& stack, const NodeRef& child) {
  keyed_ = child.get();
  // A key costs about as much as ten steps: a state that is finished, or whose
  // runs are too short to hold many states, is searched without one.
  const std::int64_t session_moves =
      state_.trace_lengths[static_cast<std::size_t>(state_.subtree_index)];
  const std::int64_t moves_left = session_moves - (stack.back().depth + 1);
  key_ = std::nullopt;
  if (!paying() || is_final(child->status()) || moves_left < kMinMovesLeft) return false;
  key_ = key(*child);
  keys_ += 1;
  if (!key_) return false;
  const auto searched = searched_.find(*key_);
  if (searched == searched_.end()) return false;
  const Subtree& below = searched->second;
  nodes_saved_ += below.node_ids;
  state_.counts += below.counts;
  state_.counts.states_merged += 1;
  state_.node_ids = NodeIds(state_.node_ids.last() + below.node_ids);
  state_.counts.max_node_id = std::max(state_.counts.max_node_id, state_.node_ids.last());
  KnowledgeManager& mgr = state_.core->knowledge_manager();
  mgr.set_last_kid(mgr.last_kid() + below.kids);
  pass_extremes_up(below.counts.max_branching, below.counts.min_branching);
  return true;
}

void StateMerging::entering(const std::vector<Frame>&, const NodeRef& node) {
  Open open;
  if (keyed_ == node.get()) open.key = key_;  // the initial node has none
  keyed_ = nullptr;
  open.counts = state_.counts;
  open.last_node_id = state_.node_ids.last();
  open.last_kid = state_.core->knowledge_manager().last_kid();
  open.moves_left_out = moves_left_out();
  open_.push_back(open);
}

void StateMerging::pass_extremes_up(std::int64_t max_branching, std::int64_t min_branching) {
  if (open_.empty()) return;
  Open& above = open_.back();
  above.max_branching = std::max(above.max_branching, max_branching);
  if (min_branching != 0 && (above.min_branching == 0 || min_branching < above.min_branching)) {
    above.min_branching = min_branching;
  }
}

void StateMerging::closed(const std::vector<Frame>&, const NodeRef& node) {
  Open open = std::move(open_.back());
  open_.pop_back();
  if (node->children() != 0) {
    const std::int64_t children = node->children();
    open.max_branching = std::max(open.max_branching, children);
    if (open.min_branching == 0 || children < open.min_branching) open.min_branching = children;
  }
  pass_extremes_up(open.max_branching, open.min_branching);
  const SearchCounts& now = state_.counts;
  if (!paying_ || !open.key || now.attacks != open.counts.attacks ||
      searched_.size() >= kMaxMergedStates) {
    return;
  }
  Subtree below;
  SearchCounts& c = below.counts;
  c.traces = now.traces - open.counts.traces;
  c.terminal_traces = now.terminal_traces - open.counts.terminal_traces;
  c.expanded_nodes = now.expanded_nodes - open.counts.expanded_nodes;
  c.children_total = now.children_total - open.counts.children_total;
  c.max_branching = open.max_branching;
  c.min_branching = open.min_branching;
  // The moves left out below merged states are counted apart from the reduction's.
  c.moves_left_out =
      moves_left_out() - open.moves_left_out + now.moves_left_out - open.counts.moves_left_out;
  c.dead_ends = now.dead_ends - open.counts.dead_ends;
  below.node_ids = state_.node_ids.last() - open.last_node_id;
  below.kids = state_.core->knowledge_manager().last_kid() - open.last_kid;
  searched_.emplace(*open.key, below);
}

}  // namespace search

}  // namespace analyser
