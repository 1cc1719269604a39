#include "knowledge/knowledge.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "utils/numeral.h"
#include "utils/prefix_store.h"
#include "utils/utils.h"

namespace analyser {

// The elements of a span from the last to the first. (std::views::reverse would
// do, but the fuzz build's compiler cannot build it against this library.)
template <typename T>
struct Backwards {
  std::span<const T> elements;
  auto begin() const { return elements.rbegin(); }
  auto end() const { return elements.rend(); }
};

// The messages of knowledge sets that extend one another, oldest first (the
// position of a message is its age), in a prefix store: each knowledge set sees
// the oldest messages of a store up to its size (its Content), learning appends
// to the store where it can, and membership tests stay constant-time however
// many messages are known. The messages alone fix every order; the index and
// the lists of ages only answer questions about them.
//
// A store is changed by the thread that searches with it only; another thread
// may copy the messages of a set that stays alive meanwhile, which appending and
// taking back, both past every live set, leave as they are.
struct MessageKey {
  static std::size_t hash(const Message& m) { return m.hash(); }
  static bool same(const Message& a, const Message& b) { return a == b; }
  static constexpr std::size_t kScanLimit = 0;
};

// The ages of the messages of a store that some questions ask about, ascending.
struct MessageLists {
  std::vector<std::uint32_t> open;  // the messages an assignment can change
  std::vector<std::uint32_t> encs;  // the encryptions
  // Beside each entry of encs, the hash of its key: looking for the encryptions
  // under a key compares numbers until one may match.
  std::vector<std::size_t> enc_key_hashes;
  std::vector<std::uint32_t> agents;  // the agent names

  void added(std::uint32_t age, const Message& m) {
    if (m.has_variables()) open.push_back(age);
    if (m.is(Tag::Enc)) {
      encs.push_back(age);
      enc_key_hashes.push_back(m.key().hash());
    }
    if (m.is(Tag::Agent)) agents.push_back(age);
  }
  void removed(std::uint32_t age) {
    if (!open.empty() && open.back() == age) open.pop_back();
    if (!encs.empty() && encs.back() == age) {
      encs.pop_back();
      enc_key_hashes.pop_back();
    }
    if (!agents.empty() && agents.back() == age) agents.pop_back();
  }
};

using Store = PrefixStore<Message, MessageKey, MessageLists>;

// The least room a store that holds something is made with: the sets learnt
// along a trace then share one store for long, and a small store costs little.
constexpr std::size_t kMinimumRoom = 32;

// What one knowledge set knows: the oldest `size` messages of a store.
struct Content {
  PrefixView<Store> view;          // never of no store
  std::uint32_t open_count = 0;    // the entries of the store's open list below size
  std::uint32_t encs_count = 0;    // the entries of its encs list below size
  std::uint32_t agents_count = 0;  // the entries of its agents list below size
  // Made by learn and not mapped since: its stored encryptions were examined
  // against exactly these messages and opened what they could, so examining
  // them again yields nothing until a new fact is added.
  bool analysed = false;

  // A content of exactly these messages, oldest first, in a store with room for
  // as many more (and at least the minimum; none when there are no messages).
  static Content of(std::span<const Message> oldest_first) {
    const std::size_t room = oldest_first.empty() ? 0 : std::max(oldest_first.size(), kMinimumRoom);
    return whole(stored(oldest_first, room));
  }
  // The content of store, which outlives every copy and is counted by none: the
  // empty knowledge's, which every thread copies. A store without room is never
  // changed through its views: nothing is appended to it or taken back, it
  // counts no views, and lookups in its empty views scan nothing.
  static Content of_unowned(const Store& store) {
    return whole(Handle<Store>::unowned(const_cast<Store&>(store)));
  }

  std::uint32_t size() const { return view.size(); }
  const MessageLists& lists() const { return view.store()->extra(); }
  const Message& by_age(std::uint32_t age) const { return view.store()->elements()[age]; }
  std::span<const Message> oldest_first() const { return view.elements(); }
  Backwards<Message> newest_first() const { return {oldest_first()}; }
  std::span<const std::uint32_t> open() const { return {lists().open.data(), open_count}; }
  std::span<const std::uint32_t> encs() const { return {lists().encs.data(), encs_count}; }
  std::span<const std::uint32_t> agents() const { return {lists().agents.data(), agents_count}; }

  bool contains(const Message& m) const {
    return view.store()->find(size(), m.hash(), [&m](const Message& x) { return x == m; }) !=
           nullptr;
  }

  // This content with fresh messages added, fresh.front() the newest of all:
  // appended to the store when it has room after this view, otherwise in a new
  // store. Not analysed.
  Content with_newest(const std::vector<Message>& fresh) const {
    Handle<Store> target = view.handle();
    if (!target->has_room_after(size(), fresh.size())) {
      target = stored(oldest_first(), std::max(size() + fresh.size(), kMinimumRoom));
    }
    for (auto m = fresh.rbegin(); m != fresh.rend(); ++m) target->append(*m);
    return whole(std::move(target));
  }

 private:
  // A store of the messages (oldest first) with room for `room` more.
  static Handle<Store> stored(std::span<const Message> oldest_first, std::size_t room) {
    Handle<Store> store = Store::make(oldest_first.size() + room, room != 0);
    for (const Message& m : oldest_first) store->append(m);
    return store;
  }
  // Every message of store, not analysed.
  static Content whole(Handle<Store> store) {
    const std::uint32_t size = store->size();
    const MessageLists& lists = store->extra();
    const auto open = static_cast<std::uint32_t>(lists.open.size());
    const auto encs = static_cast<std::uint32_t>(lists.encs.size());
    const auto agents = static_cast<std::uint32_t>(lists.agents.size());
    return Content{PrefixView<Store>(std::move(store), size), open, encs, agents, false};
  }
};

// A knowledge set: its content's view counts it among its store's live views.
struct Knowledge::Data : Knowledge::Shared {
  std::int64_t kid = -1;
  Content content;
  // What refining a name, and verifying a run that holds one, ask of the
  // knowledge it was generated from, again and again: found on the first
  // question. Only the thread that searches with a set asks it questions (others
  // only copy its messages).
  mutable std::optional<std::vector<Message>> honest_agents;
  mutable std::optional<std::vector<Message>> compromised_agents;
  mutable std::optional<bool> has_compromised_agent;
  // The watches on the set (see KnowledgeWatch). A watched set that loses its
  // last handle lets go of its messages and is gone; the last watch destroys it.
  mutable std::uint32_t watches = 0;
  bool gone = false;

  Data(std::int64_t k, Content c) : kid(k), content(std::move(c)) {}
  Data(const Data&) = delete;
  Data& operator=(const Data&) = delete;
};

void Knowledge::Shared::destroy(const Shared* shared) {
  const auto* data = static_cast<const Data*>(shared);
  if (data->watches == 0) {
    delete data;
    return;
  }
  // Made by make_handle, so not a const object.
  Data& d = const_cast<Data&>(*data);
  d.content.view = {};
  d.honest_agents.reset();
  d.compromised_agents.reset();
  d.gone = true;
}

namespace {

using Data = Knowledge::Data;

const Handle<const Data>& empty_data() {
  static const Store nothing;  // without room
  static const Data none = [] {
    Content c = Content::of_unowned(nothing);
    c.analysed = true;  // no encryption to examine
    return Data{-1, std::move(c)};
  }();
  static const Handle<const Data> empty = Handle<const Data>::unowned(none);
  return empty;
}

const Data& data_of(const Knowledge& k) {
  return static_cast<const Data&>(*k.data());
}

const Content& content(const Knowledge& k) {
  return data_of(k).content;
}

bool stored(const Content& d, const Message& m) {
  return d.contains(m);
}

// Whether the intruder holds the other half of an asymmetric key, and whether
// it holds both halves of the pair of agent-like atom m (an Agent or a key).
bool knows_pub_half(const Content& d, const Message& m) {
  return d.contains(m.is(Tag::PubKey) ? m : m.is(Tag::PrivKey) ? inverse_key(m) : agent_pub_key(m));
}
bool knows_priv_half(const Content& d, const Message& m) {
  return d.contains(m.is(Tag::PrivKey)  ? m
                    : m.is(Tag::PubKey) ? inverse_key(m)
                                        : agent_priv_key(m));
}
bool knows_both_halves(const Content& d, const Message& m) {
  return knows_pub_half(d, m) && knows_priv_half(d, m);
}

// The messages of k for which keep holds, newest first.
template <typename Keep>
std::vector<Message> messages_where(const Knowledge& k, Keep keep) {
  std::vector<Message> result;
  for (const Message& m : content(k).newest_first()) {
    if (keep(m)) result.push_back(m);
  }
  return result;
}

// The agent names of k for which keep holds, newest first.
template <typename Keep>
std::vector<Message> agents_where(const Knowledge& k, Keep keep) {
  const Content& d = content(k);
  std::vector<Message> result;
  for (const std::uint32_t age : Backwards<std::uint32_t>{d.agents()}) {
    if (keep(d.by_age(age))) result.push_back(d.by_age(age));
  }
  return result;
}

template <typename Keep>
bool any_message(const Knowledge& k, Keep keep) {
  const auto messages = content(k).newest_first();
  return std::any_of(messages.begin(), messages.end(), keep);
}

void push_if_unknown(const Content& d, const Message& m, std::vector<Message>& found) {
  if (!stored(d, m)) found.push_back(m);
}

// Appends what the intruder learns from seeing m, given what d already holds:
// new atoms and generated values, the parts of pairs, the bodies of encryptions
// it can open, and the encryptions it cannot rebuild.
void decompose(const Content& d, const Message& m, std::vector<Message>& found) {
  if (m.is_atom() || m.is(Tag::Gen)) {
    push_if_unknown(d, m, found);
    return;
  }
  switch (m.tag()) {
    case Tag::Pair:
      decompose(d, m.first(), found);
      decompose(d, m.second(), found);
      return;
    case Tag::Enc:
      break;
    default:  // variables and non-atomic keys are never stored
      return;
  }
  const Message& key = m.key();
  switch (key.tag()) {
    case Tag::SymKey:
      if (stored(d, key)) return decompose(d, m.body(), found);
      break;
    case Tag::PubKey:
    case Tag::PrivKey: {
      const bool pub = key.is(Tag::PubKey);
      if (!(pub ? knows_priv_half(d, key) : knows_pub_half(d, key))) break;
      // Opened; without the encryption key itself the intruder cannot rebuild
      // the ciphertext, so it keeps it as well.
      if (!stored(d, key)) push_if_unknown(d, m, found);
      return decompose(d, m.body(), found);
    }
    case Tag::Gen:
      return decompose(d, m.body(), found);  // a key the intruder supplied always opens
    case Tag::PubOf:
    case Tag::PrivOf:
      if (key.argument().is(Tag::Gen)) return decompose(d, m.body(), found);
      break;
    default:
      break;
  }
  push_if_unknown(d, m, found);
}

// The messages of c, each mapped by f; nothing when f changes none of them (only
// messages with variables can change).
std::optional<Content> mapped_content(const Content& c, const Assignment& f) {
  std::vector<Message> mapped;
  for (const std::uint32_t age : c.open()) {
    const Message& m = c.by_age(age);
    Message image = apply(f, m);
    if (image.same(m)) continue;
    if (mapped.empty()) mapped.assign(c.oldest_first().begin(), c.oldest_first().end());
    mapped[age] = std::move(image);
  }
  if (mapped.empty()) return std::nullopt;
  return Content::of(mapped);
}

// What learn adds to c for m: the passes of decompose until no new fact appears.
// Nothing when nothing is new.
std::optional<Content> learnt_content(const Content& c, const Message& m,
                                      LearningScratch& scratch) {
  std::optional<Content> grown;  // made from c once something new is found
  const Content* current = &c;
  auto& [found, facts, ciphertexts] = scratch;
  for (bool examined = current->analysed;; examined = false) {
    // Everything m and the stored encryptions yield under what is known now.
    found.clear();
    decompose(*current, m, found);
    if (!examined) {
      for (const std::uint32_t e : Backwards<std::uint32_t>{current->encs()}) {
        decompose(*current, current->by_age(e), found);
      }
    }
    // found holds nothing known yet; keep the first of repeated elements.
    facts.clear();
    ciphertexts.clear();
    for (std::size_t i = 0; i < found.size(); ++i) {
      const Message& x = found[i];
      if (std::find(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(i), x) !=
          found.begin() + static_cast<std::ptrdiff_t>(i)) {
        continue;
      }
      (x.is(Tag::Enc) ? ciphertexts : facts).push_back(x);
    }
    // New facts may open more encryptions: repeat until none appear; the
    // encryptions of the last pass are the ones kept.
    if (facts.empty() && ciphertexts.empty() && !grown) return std::nullopt;
    grown = current->with_newest(facts.empty() ? ciphertexts : facts);
    grown->analysed = true;
    if (facts.empty()) return grown;
    current = &*grown;
  }
}

Knowledge with_content(std::int64_t kid, Content c) {
  return Knowledge(make_handle<const Data>(kid, std::move(c)));
}

// Some stored x with f(x) = m. A message without variables is its own image, so
// only the open messages need f applied; is_m tells the images that are m.
template <typename Is>
bool stored_image(const Content& d, const Assignment& f, bool m_stored, bool m_closed, Is is_m) {
  if (m_stored && (f.is_empty() || m_closed)) return true;
  if (f.is_empty()) return false;
  for (const std::uint32_t age : d.open()) {
    if (is_m(apply(f, d.by_age(age)))) return true;
  }
  return false;
}

bool derivable(const Content& d, const Assignment& f, const Message& m) {
  switch (m.tag()) {
    case Tag::Gen:
      return true;
    case Tag::Enc: {
      // The inverse of the key, an atom, is produced only as a stored image.
      const Message inverse = inverse_key(m.key());
      if (!inverse.is(Tag::NoMessage) && derivable(d, f, m.body()) &&
          stored_image(d, f, stored(d, inverse), true,
                       [&inverse](const Message& x) { return x == inverse; })) {
        return true;
      }
      break;
    }
    case Tag::Pair:
      if (derivable(d, f, m.first()) && derivable(d, f, m.second())) return true;
      break;
    default:
      break;
  }
  return stored_image(d, f, stored(d, m), !m.has_variables(),
                      [&m](const Message& x) { return x == m; });
}

}  // namespace

Knowledge::Knowledge() : data_(empty_data()) {}

// The empty knowledge's data lives as long as the program, and its watches count
// nothing: every thread watches it.
KnowledgeWatch::KnowledgeWatch(const Knowledge& k) : data_(&data_of(k)) {
  if (data_ != empty_data().get()) ++data_->watches;
}

KnowledgeWatch::KnowledgeWatch(const KnowledgeWatch& other) : data_(other.data_) {
  if (data_ != nullptr && data_ != empty_data().get()) ++data_->watches;
}

KnowledgeWatch& KnowledgeWatch::operator=(KnowledgeWatch other) noexcept {
  std::swap(data_, other.data_);
  return *this;
}

KnowledgeWatch::~KnowledgeWatch() {
  if (data_ == nullptr || data_ == empty_data().get()) return;
  if (--data_->watches == 0 && data_->gone) delete data_;
}

bool KnowledgeWatch::expired() const {
  return data_ == nullptr || data_->gone;
}

Knowledge KnowledgeWatch::knowledge() const {
  return expired() ? empty_knowledge() : Knowledge(Handle<const Knowledge::Data>(data_));
}

std::int64_t Knowledge::kid() const {
  return data_of(*this).kid;
}
std::vector<Message> Knowledge::messages() const {
  const auto newest_first = content(*this).newest_first();
  return {newest_first.begin(), newest_first.end()};
}

Knowledge empty_knowledge() {
  return Knowledge();
}
bool is_empty_knowledge(const Knowledge& k) {
  return content(k).size() == 0;
}
bool is_absent(const Knowledge& k) {
  return k.kid() == -1;
}

bool knows(const Knowledge& k, const Message& m) {
  return stored(content(k), m);
}

Knowledge learn(const Knowledge& k, const Message& m) {
  if (m.is(Tag::NoMessage)) return k;
  LearningScratch scratch;
  std::optional<Content> grown = learnt_content(content(k), m, scratch);
  return grown ? with_content(k.kid(), std::move(*grown)) : k;
}

Knowledge private_copy(const Knowledge& k, TermCopier& copier) {
  if (is_absent(k)) return k;
  std::vector<Message> messages;
  for (const Message& m : content(k).oldest_first()) messages.push_back(copier.copy(m));
  Content c = Content::of(messages);
  c.analysed = content(k).analysed;
  return with_content(k.kid(), std::move(c));
}

Knowledge relabel(const Knowledge& k, std::int64_t new_kid, const Assignment& f) {
  std::optional<Content> mapped = mapped_content(content(k), f);
  return with_content(new_kid, mapped ? std::move(*mapped) : content(k));
}

Knowledge relabel_and_learn(const Knowledge& k, std::int64_t new_kid, const Assignment& f,
                            const Message& m, LearningScratch& scratch) {
  std::optional<Content> c = mapped_content(content(k), f);
  if (!c) c = content(k);
  if (!m.is(Tag::NoMessage)) {
    if (std::optional<Content> grown = learnt_content(*c, m, scratch)) c = std::move(grown);
  }
  return with_content(new_kid, std::move(*c));
}

std::vector<Message> known_agents(const Knowledge& k) {
  return agents_where(k, [](const Message&) { return true; });
}

std::vector<Message> compromised_agents(const Knowledge& k) {
  std::optional<std::vector<Message>>& known = data_of(k).compromised_agents;
  if (!known) {
    const Content& d = content(k);
    known = agents_where(k, [&](const Message& m) { return knows_both_halves(d, m); });
  }
  return *known;
}

std::vector<Message> honest_agents(const Knowledge& k) {
  std::optional<std::vector<Message>>& known = data_of(k).honest_agents;
  if (!known) {
    const Content& d = content(k);
    known = agents_where(k, [&](const Message& m) { return !knows_both_halves(d, m); });
  }
  return *known;
}

std::vector<Message> usable_pub_keys(const Knowledge& k) {
  const Content& d = content(k);
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::PubKey) && knows_priv_half(d, m); });
}

std::vector<Message> known_sym_keys(const Knowledge& k) {
  return messages_where(k, [](const Message& m) { return m.is(Tag::SymKey); });
}

std::vector<Message> unpaired_pub_keys(const Knowledge& k) {
  const Content& d = content(k);
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::PubKey) && !knows_priv_half(d, m); });
}

std::vector<Message> paired_priv_keys(const Knowledge& k) {
  std::vector<Message> result;
  for (const Message& m : usable_pub_keys(k)) result.push_back(inverse_key(m));
  return result;
}

std::vector<Message> unpaired_priv_keys(const Knowledge& k) {
  const Content& d = content(k);
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::PrivKey) && !knows_pub_half(d, m); });
}

bool is_compromised(const Knowledge& k, const Message& a) {
  const Content& d = content(k);
  return a.is(Tag::Agent) && stored(d, a) && knows_both_halves(d, a);
}

bool owns_usable_key_pair(const Knowledge& k, const Message& key) {
  return (key.is(Tag::PubKey) || key.is(Tag::PrivKey)) && knows_both_halves(content(k), key);
}

bool has_atomic_key(const Knowledge& k) {
  return any_message(k, [](const Message& m) {
    return m.is(Tag::SymKey) || m.is(Tag::PubKey) || m.is(Tag::PrivKey);
  });
}

bool has_sym_key(const Knowledge& k) {
  return any_message(k, [](const Message& m) { return m.is(Tag::SymKey); });
}

bool has_key_pair(const Knowledge& k) {
  const Content& d = content(k);
  return any_message(k,
                     [&](const Message& m) { return m.is(Tag::PubKey) && knows_priv_half(d, m); });
}

bool has_compromised_agent(const Knowledge& k) {
  std::optional<bool>& known = data_of(k).has_compromised_agent;
  if (!known) {
    const Content& d = content(k);
    known = std::ranges::any_of(
        d.agents(), [&](std::uint32_t age) { return knows_both_halves(d, d.by_age(age)); });
  }
  return *known;
}

std::vector<Message> encryptions_under(const Knowledge& k, const Message& key,
                                       const std::function<bool(const Message&)>& may_fit) {
  const Content& d = content(k);
  const std::size_t key_hash = key.hash();
  const std::vector<std::size_t>& hashes = d.lists().enc_key_hashes;
  std::vector<Message> result;
  for (std::size_t i = d.encs_count; i-- > 0;) {
    if (hashes[i] != key_hash) continue;
    const Message& m = d.by_age(d.lists().encs[i]);
    if (m.key() == key && may_fit(m)) result.push_back(m);
  }
  // The pair of keys is looked up only when some encryption was found.
  if (result.empty()) return result;
  const Message inverse = inverse_key(key);
  if (!inverse.is(Tag::NoMessage) && stored(d, key) && stored(d, inverse)) result.clear();
  return result;
}

bool can_derive(const Knowledge& k, const Assignment& f, const Message& m) {
  return derivable(content(k), f, m);
}

void print_knowledge(std::ostream& os, const Knowledge& k) {
  print_knowledge(os, k, empty_assignment());
}

void print_knowledge(std::ostream& os, const Knowledge& k, const Assignment& f) {
  std::string s = "Kid: ";
  numeral::append(s, k.kid());
  s += '\n';
  for (const Message& m : content(k).newest_first()) {
    if (f.is_empty()) {
      append_message(s, m, Rendering::Printed);
    } else {
      append_applied(s, f, m, Rendering::Printed);
    }
    s += '\n';
  }
  s += ".\n";
  os << s;
}

std::string knowledge_to_string(const Knowledge& k) {
  std::string s = "(";
  numeral::append(s, k.kid());
  s += ')';
  const char* separator = "";
  for (const Message& m : content(k).newest_first()) {
    s += separator;
    s += message_to_string(m);
    separator = ", ";
  }
  return s + ".\\n\\n";
}

}  // namespace analyser
