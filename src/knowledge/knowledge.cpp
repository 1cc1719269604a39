#include "knowledge/knowledge.h"

#include <algorithm>
#include <string>

#include "utils/utils.h"

// The messages newest first, with an index beside them so that membership tests
// stay constant-time however many messages are known. The vector alone fixes
// every order; the index and the list of open messages only answer questions
// about it. Knowledge sets that differ only in their kid share one Content.
struct Content {
  std::vector<Message> messages;  // newest first
  // Open addressing on the message hash, a power of two in size: each slot holds
  // 1 + the age of a message (its position counted from the oldest), 0 when free.
  // Ages do not change when newer messages are put in front.
  std::vector<std::uint32_t> index;
  std::vector<std::uint32_t> open;  // ages of the messages an assignment can change
  std::vector<std::uint32_t> encs;  // ages of the encryptions, oldest first
  // Made by learn and not mapped since: its stored encryptions were examined
  // against exactly these messages and opened what they could, so examining
  // them again yields nothing until a new fact is added.
  bool analysed = false;

  const Message& by_age(std::uint32_t age) const { return messages[messages.size() - 1 - age]; }

  // The stored message with this hash for which is_it holds, or nullptr.
  template <typename Is>
  const Message* find(std::size_t hash, Is is_it) const {
    const std::size_t mask = index.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      if (index[slot] == 0) return nullptr;
      const Message& m = by_age(index[slot] - 1);
      if (m.hash() == hash && is_it(m)) return &m;
    }
  }
  bool contains(const Message& m) const {
    return find(m.hash(), [&m](const Message& x) { return x == m; }) != nullptr;
  }
  // Indexes every message, a repeated one once.
  void build_index() {
    std::size_t size = 16;
    while (size < 2 * messages.size()) size *= 2;
    index.assign(size, 0);
    open.clear();
    encs.clear();
    for (std::uint32_t age = 0; age < messages.size(); ++age) note(age);
  }

  // Puts fresh messages in front, keeping their order, and indexes them.
  void prepend(const std::vector<Message>& fresh) {
    messages.insert(messages.begin(), fresh.begin(), fresh.end());
    index_newest(fresh.size());
  }

  // c with fresh messages in front, as c.prepend(fresh) makes it, built without
  // copying c's messages first and moving them again.
  static std::shared_ptr<Content> prepended(const Content& c, const std::vector<Message>& fresh) {
    auto grown = std::make_shared<Content>();
    grown->messages.reserve(fresh.size() + c.messages.size());
    grown->messages.assign(fresh.begin(), fresh.end());
    grown->messages.insert(grown->messages.end(), c.messages.begin(), c.messages.end());
    if (!grown->outgrows(c.index)) {
      grown->index = c.index;
      grown->open = c.open;
      grown->encs = c.encs;
    }
    grown->index_newest(fresh.size());
    return grown;
  }

 private:
  // Whether the messages are too many for an index of that size to stay sparse.
  bool outgrows(const std::vector<std::uint32_t>& table) const {
    return 2 * messages.size() > table.size();
  }

  // Indexes the newest count messages, or all of them when the index has to grow.
  void index_newest(std::size_t count) {
    if (outgrows(index)) return build_index();
    for (auto age = static_cast<std::uint32_t>(messages.size() - count); age < messages.size();
         ++age) {
      note(age);
    }
  }

  // Enters the message of this age in the index and the lists.
  void note(std::uint32_t age) {
    const Message& m = by_age(age);
    if (m.has_variables()) open.push_back(age);
    if (m.is(Tag::Enc)) encs.push_back(age);
    const std::size_t mask = index.size() - 1;
    for (std::size_t slot = m.hash() & mask;; slot = (slot + 1) & mask) {
      if (index[slot] == 0) {
        index[slot] = age + 1;
        return;
      }
      if (by_age(index[slot] - 1) == m) return;
    }
  }
};

struct Knowledge::Data {
  std::int64_t kid = -1;
  std::shared_ptr<const Content> content;  // never null
};

namespace {

using Data = Knowledge::Data;

const std::shared_ptr<const Content>& no_content() {
  static const std::shared_ptr<const Content> empty = [] {
    auto c = std::make_shared<Content>();
    c->build_index();
    c->analysed = true;  // no encryption to examine
    return c;
  }();
  return empty;
}

const std::shared_ptr<const Data>& empty_data() {
  static const std::shared_ptr<const Data> empty =
      std::make_shared<const Data>(Data{-1, no_content()});
  return empty;
}

std::shared_ptr<Content> make_content(std::vector<Message> messages) {
  auto c = std::make_shared<Content>();
  c->messages = std::move(messages);
  c->build_index();
  return c;
}

const Content& content(const Knowledge& k) {
  return *k.data()->content;
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

// The messages of k for which keep holds, in order.
template <typename Keep>
std::vector<Message> messages_where(const Knowledge& k, Keep keep) {
  std::vector<Message> result;
  for (const Message& m : k.messages()) {
    if (keep(m)) result.push_back(m);
  }
  return result;
}

template <typename Keep>
bool any_message(const Knowledge& k, Keep keep) {
  for (const Message& m : k.messages()) {
    if (keep(m)) return true;
  }
  return false;
}

void push_if_unknown(const Content& d, const Message& m, std::vector<Message>& found) {
  if (!stored(d, m)) found.push_back(m);
}

// Appends what the intruder learns from seeing m, given what d already holds:
// new atoms and generated values, the parts of pairs, the bodies of encryptions
// it can open, and the encryptions it cannot rebuild.
void decompose(const Content& d, const Message& m, std::vector<Message>& found) {
  switch (m.tag()) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
    case Tag::Gen:
      push_if_unknown(d, m, found);
      return;
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

// The messages of c, each mapped by f; nullptr when f changes none of them (only
// messages with variables can change).
std::shared_ptr<Content> mapped_content(const Content& c, const Assignment& f) {
  std::vector<Message> mapped;
  for (const std::uint32_t age : c.open) {
    const Message& m = c.by_age(age);
    Message image = apply(f, m);
    if (image.same(m)) continue;
    if (mapped.empty()) mapped = c.messages;
    mapped[c.messages.size() - 1 - age] = std::move(image);
  }
  if (mapped.empty()) return nullptr;
  return make_content(std::move(mapped));
}

// What learn adds to c for m: the passes of decompose until no new fact appears.
// nullptr when nothing is new. own is c itself when the caller has just made it
// and shares it with no one: it then grows in place instead of being copied.
std::shared_ptr<Content> learnt_content(const Content& c, std::shared_ptr<Content> own,
                                        const Message& m) {
  std::shared_ptr<Content> grown;  // made from c once something new is found
  const Content* current = &c;
  // Scratch lists, kept between calls so that learning allocates only what it keeps.
  static std::vector<Message> found, facts, ciphertexts;
  for (bool examined = current->analysed;; examined = false) {
    // Everything m and the stored encryptions yield under what is known now.
    found.clear();
    decompose(*current, m, found);
    if (!examined) {
      for (auto e = current->encs.rbegin(); e != current->encs.rend(); ++e) {
        decompose(*current, current->by_age(*e), found);
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
    if (facts.empty() && ciphertexts.empty() && !grown) return nullptr;
    const std::vector<Message>& fresh = facts.empty() ? ciphertexts : facts;
    if (grown) {
      grown->prepend(fresh);
    } else if (own) {
      grown = std::move(own);
      grown->prepend(fresh);
    } else {
      grown = Content::prepended(c, fresh);
    }
    grown->analysed = true;
    if (facts.empty()) return grown;
    current = grown.get();
  }
}

Knowledge with_content(std::int64_t kid, std::shared_ptr<const Content> c) {
  return Knowledge(std::make_shared<const Data>(Data{kid, std::move(c)}));
}

// Some stored x with f(x) = m. A message without variables is its own image, so
// only the open messages need f applied; is_m tells the images that are m.
template <typename Is>
bool stored_image(const Content& d, const Assignment& f, bool m_stored, bool m_closed, Is is_m) {
  if (m_stored && (f.is_empty() || m_closed)) return true;
  if (f.is_empty()) return false;
  for (const std::uint32_t age : d.open) {
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

std::int64_t Knowledge::kid() const {
  return data_->kid;
}
const std::vector<Message>& Knowledge::messages() const {
  return data_->content->messages;
}

Knowledge empty_knowledge() {
  return Knowledge();
}
std::int64_t kid(const Knowledge& k) {
  return k.kid();
}
bool is_empty_knowledge(const Knowledge& k) {
  return k.messages().empty();
}
bool is_absent(const Knowledge& k) {
  return k.kid() == -1;
}

bool knows(const Knowledge& k, const Message& m) {
  return stored(content(k), m);
}

Knowledge learn(const Knowledge& k, const Message& m) {
  if (m.is(Tag::NoMessage)) return k;
  std::shared_ptr<const Content> grown = learnt_content(content(k), nullptr, m);
  return grown ? with_content(k.kid(), std::move(grown)) : k;
}

Knowledge map_messages(const Knowledge& k, const Assignment& f) {
  if (f.is_empty()) return k;
  return relabel(k, k.kid(), f);
}

Knowledge relabel(const Knowledge& k, std::int64_t new_kid, const Assignment& f) {
  std::shared_ptr<const Content> mapped = mapped_content(content(k), f);
  return with_content(new_kid, mapped ? std::move(mapped) : k.data()->content);
}

Knowledge relabel_and_learn(const Knowledge& k, std::int64_t new_kid, const Assignment& f,
                            const Message& m) {
  std::shared_ptr<Content> mapped = mapped_content(content(k), f);
  std::shared_ptr<const Content> c = mapped ? mapped : k.data()->content;
  if (!m.is(Tag::NoMessage)) {
    // The mapped content is this function's own: learning may grow it in place.
    if (std::shared_ptr<Content> grown = learnt_content(*c, std::move(mapped), m)) {
      c = std::move(grown);
    }
  }
  return with_content(new_kid, std::move(c));
}

std::vector<Message> known_agents(const Knowledge& k) {
  return messages_where(k, [](const Message& m) { return m.is(Tag::Agent); });
}

std::vector<Message> compromised_agents(const Knowledge& k) {
  const Content& d = content(k);
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::Agent) && knows_both_halves(d, m); });
}

std::vector<Message> honest_agents(const Knowledge& k) {
  const Content& d = content(k);
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::Agent) && !knows_both_halves(d, m); });
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
  const Content& d = content(k);
  return any_message(k,
                     [&](const Message& m) { return m.is(Tag::Agent) && knows_both_halves(d, m); });
}

std::vector<Message> encryptions_under(const Knowledge& k, const Message& key) {
  const Content& d = content(k);
  const Message inverse = inverse_key(key);
  if (!inverse.is(Tag::NoMessage) && stored(d, key) && stored(d, inverse)) return {};
  std::vector<Message> result;
  for (auto e = d.encs.rbegin(); e != d.encs.rend(); ++e) {
    const Message& m = d.by_age(*e);
    if (m.key() == key) result.push_back(m);
  }
  return result;
}

bool can_derive(const Knowledge& k, const Assignment& f, const Message& m) {
  return derivable(content(k), f, m);
}

void print_knowledge(const Knowledge& k) {
  out() << "Kid: " << k.kid() << "\n";
  for (const Message& m : k.messages()) {
    print_message(m);
    out() << "\n";
  }
  out() << ".\n";
}

std::string knowledge_to_string(const Knowledge& k) {
  std::string s = "(";
  s += std::to_string(k.kid());
  s += ')';
  const char* separator = "";
  for (const Message& m : k.messages()) {
    s += separator;
    s += message_to_string(m);
    separator = ", ";
  }
  return s + ".\\n\\n";
}
