#include "knowledge/knowledge.h"

#include <string>
#include <unordered_set>

#include "utils/utils.h"

// The messages newest first, with a hash index beside them so that membership
// tests stay constant-time however many messages are known. The vector alone
// fixes every order; the index and the list of open messages only answer
// questions about it.
struct Knowledge::Data {
  std::int64_t kid = -1;
  std::vector<Message> messages;                   // newest first
  std::unordered_set<Message, MessageHash> index;  // the same messages, for knows
  std::vector<Message> open_messages;  // those an assignment can change (with variables)

  // Puts fresh messages in front, keeping their order.
  void prepend(const std::vector<Message>& fresh) {
    messages.insert(messages.begin(), fresh.begin(), fresh.end());
    for (const Message& m : fresh) note(m);
  }
  // Adds m to the index and, when it holds variables, to the open messages.
  void note(const Message& m) {
    index.insert(m);
    if (m.has_variables()) open_messages.push_back(m);
  }
};

namespace {

using Data = Knowledge::Data;

const std::shared_ptr<const Data>& empty_data() {
  static const std::shared_ptr<const Data> empty = std::make_shared<const Data>();
  return empty;
}

bool stored(const Data& d, const Message& m) {
  return d.index.count(m) != 0;
}

// Whether the intruder holds the other half of an asymmetric key, and whether
// it holds both halves of the pair of agent-like atom m (an Agent or a key).
bool knows_pub_half(const Data& d, const Message& m) {
  return stored(d, pub_key(m.name(), m.index()));
}
bool knows_priv_half(const Data& d, const Message& m) {
  return stored(d, priv_key(m.name(), m.index()));
}
bool knows_both_halves(const Data& d, const Message& m) {
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

void push_if_unknown(const Data& d, const Message& m, std::vector<Message>& found) {
  if (!stored(d, m)) found.push_back(m);
}

// Appends what the intruder learns from seeing m, given what d already holds:
// new atoms and generated values, the parts of pairs, the bodies of encryptions
// it can open, and the encryptions it cannot rebuild.
void decompose(const Data& d, const Message& m, std::vector<Message>& found) {
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

std::shared_ptr<Data> make_data(std::int64_t kid, std::vector<Message> messages) {
  auto d = std::make_shared<Data>();
  d->kid = kid;
  d->messages = std::move(messages);
  for (const Message& m : d->messages) d->note(m);
  return d;
}

bool derivable(const Knowledge& k, const Assignment& f, const Message& m) {
  switch (m.tag()) {
    case Tag::Gen:
      return true;
    case Tag::Enc: {
      const Message& key = m.key();
      if (key.is(Tag::SymKey) || key.is(Tag::PubKey) || key.is(Tag::PrivKey)) {
        if (derivable(k, f, m.body()) && derivable(k, f, inverse_key(key))) return true;
      }
      break;
    }
    case Tag::Pair:
      if (derivable(k, f, m.first()) && derivable(k, f, m.second())) return true;
      break;
    default:
      break;
  }
  // Some stored x with f(x) = m. A message without variables is its own image,
  // so only the open messages need f applied.
  const Data& d = *k.data();
  if (stored(d, m) && (f.is_empty() || !m.has_variables())) return true;
  if (f.is_empty()) return false;
  for (const Message& x : d.open_messages) {
    if (apply(f, x) == m) return true;
  }
  return false;
}

}  // namespace

Knowledge::Knowledge() : data_(empty_data()) {}

std::int64_t Knowledge::kid() const {
  return data_->kid;
}
const std::vector<Message>& Knowledge::messages() const {
  return data_->messages;
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
  return stored(*k.data(), m);
}

Knowledge learn(const Knowledge& k, const Message& m) {
  if (m.is(Tag::NoMessage)) return k;
  std::shared_ptr<Data> grown;  // k's data copied once something new is found
  const Data* current = k.data().get();
  for (;;) {
    // Everything m and the stored encryptions yield under what is known now.
    std::vector<Message> found;
    decompose(*current, m, found);
    for (const Message& e : current->messages) {
      if (e.is(Tag::Enc)) decompose(*current, e, found);
    }
    std::vector<Message> facts, ciphertexts;
    std::unordered_set<Message, MessageHash> seen;
    for (const Message& x : found) {
      if (!seen.insert(x).second || stored(*current, x)) continue;
      (x.is(Tag::Enc) ? ciphertexts : facts).push_back(x);
    }
    // New facts may open more encryptions: repeat until none appear; the
    // encryptions of the last pass are the ones kept.
    if (facts.empty() && ciphertexts.empty() && !grown) return k;
    if (!grown) grown = std::make_shared<Data>(*current);
    if (facts.empty()) {
      grown->prepend(ciphertexts);
      return Knowledge(std::move(grown));
    }
    grown->prepend(facts);
    current = grown.get();
  }
}

Knowledge map_messages(const Knowledge& k, const Assignment& f) {
  if (f.is_empty()) return k;
  return relabel(k, k.kid(), f);
}

Knowledge relabel(const Knowledge& k, std::int64_t new_kid, const Assignment& f) {
  std::vector<Message> mapped;
  mapped.reserve(k.messages().size());
  for (const Message& m : k.messages()) mapped.push_back(apply(f, m));
  return Knowledge(make_data(new_kid, std::move(mapped)));
}

std::vector<Message> known_agents(const Knowledge& k) {
  return messages_where(k, [](const Message& m) { return m.is(Tag::Agent); });
}

std::vector<Message> compromised_agents(const Knowledge& k) {
  const Data& d = *k.data();
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::Agent) && knows_both_halves(d, m); });
}

std::vector<Message> honest_agents(const Knowledge& k) {
  const Data& d = *k.data();
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::Agent) && !knows_both_halves(d, m); });
}

std::vector<Message> usable_pub_keys(const Knowledge& k) {
  const Data& d = *k.data();
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::PubKey) && knows_priv_half(d, m); });
}

std::vector<Message> known_sym_keys(const Knowledge& k) {
  return messages_where(k, [](const Message& m) { return m.is(Tag::SymKey); });
}

std::vector<Message> unpaired_pub_keys(const Knowledge& k) {
  const Data& d = *k.data();
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::PubKey) && !knows_priv_half(d, m); });
}

std::vector<Message> paired_priv_keys(const Knowledge& k) {
  std::vector<Message> result;
  for (const Message& m : usable_pub_keys(k)) result.push_back(inverse_key(m));
  return result;
}

std::vector<Message> unpaired_priv_keys(const Knowledge& k) {
  const Data& d = *k.data();
  return messages_where(
      k, [&](const Message& m) { return m.is(Tag::PrivKey) && !knows_pub_half(d, m); });
}

bool is_compromised(const Knowledge& k, const Message& a) {
  const Data& d = *k.data();
  return a.is(Tag::Agent) && stored(d, a) && knows_both_halves(d, a);
}

bool owns_usable_key_pair(const Knowledge& k, const Message& key) {
  return (key.is(Tag::PubKey) || key.is(Tag::PrivKey)) && knows_both_halves(*k.data(), key);
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
  const Data& d = *k.data();
  return any_message(k,
                     [&](const Message& m) { return m.is(Tag::PubKey) && knows_priv_half(d, m); });
}

bool has_compromised_agent(const Knowledge& k) {
  const Data& d = *k.data();
  return any_message(k,
                     [&](const Message& m) { return m.is(Tag::Agent) && knows_both_halves(d, m); });
}

std::vector<Message> encryptions_under(const Knowledge& k, const Message& key) {
  if (knows(k, key) && knows(k, inverse_key(key))) return {};
  return messages_where(k, [&](const Message& m) { return m.is(Tag::Enc) && m.key() == key; });
}

bool can_derive(const Knowledge& k, const Assignment& f, const Message& m) {
  return derivable(k, f, m);
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
  std::string s = "(" + std::to_string(k.kid()) + ")";
  const char* separator = "";
  for (const Message& m : k.messages()) {
    s += separator;
    s += message_to_string(m);
    separator = ", ";
  }
  return s + ".\\n\\n";
}
