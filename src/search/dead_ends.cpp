#include "search/dead_ends.h"

#include <algorithm>
#include <vector>

#include "assignment/assignment.h"
#include "knowledge/knowledge.h"
#include "message/message.h"
#include "principal/principal.h"

namespace analyser {

namespace {

using Messages = std::vector<Message>;

bool contains(const Messages& list, const Message& m) {
  return std::find(list.begin(), list.end(), m) != list.end();
}

// Calls visit on m and on every part of it, outermost first.
template <typename Visit>
void for_each_part(const Message& m, Visit& visit) {
  visit(m);
  switch (m.tag()) {
    case Tag::Enc:
    case Tag::Pair:
      for_each_part(m.first(), visit);
      for_each_part(m.second(), visit);
      return;
    case Tag::PubOf:
    case Tag::PrivOf:
      for_each_part(m.argument(), visit);
      return;
    default:
      return;
  }
}

// Whether m holds one of the secrets where the intruder could take it out, given
// the keys: anywhere but as the key of an encryption. The public or private key
// of a value (b+, b-) may turn out to be any agent's once the value is settled,
// so it counts as holding every secret key of its kind.
bool carries(const Message& m, const Messages& secrets) {
  const auto any_secret = [&](Tag tag) {
    return std::ranges::any_of(secrets, [tag](const Message& s) { return s.is(tag); });
  };
  switch (m.tag()) {
    case Tag::Enc:
      return carries(m.body(), secrets);
    case Tag::Pair:
      return carries(m.first(), secrets) || carries(m.second(), secrets);
    case Tag::PubOf:
      return any_secret(Tag::PubKey);
    case Tag::PrivOf:
      return any_secret(Tag::PrivKey);
    default:
      return m.is_atom() && contains(secrets, m);
  }
}

// A part that may stand for more than one message: a variable, a generated
// value, a key of a value, a trick.
bool is_open(const Message& m) {
  return !m.is_atom() && !m.is(Tag::Pair) && !m.is(Tag::Enc);
}

// Whether pattern part p might fit message part t: false only where their
// shapes or atoms differ for certain. Inside a pattern an encryption names the
// key that opens it.
bool may_fit(const Message& p, const Message& t) {
  if (is_open(p) || is_open(t)) return true;
  if (p.is_atom() || t.is_atom()) return p == t;
  if (p.tag() != t.tag()) return false;
  if (p.is(Tag::Enc) && is_atomic_key(p.key()) && is_atomic_key(t.key()) &&
      inverse_key(p.key()) != t.key()) {
    return false;
  }
  return may_fit(p.first(), t.first()) && (p.is(Tag::Enc) || may_fit(p.second(), t.second()));
}

// Whether some encryption of pattern may open one of the ciphertexts.
bool may_open(const Message& pattern, const Messages& ciphertexts) {
  if (ciphertexts.empty()) return false;
  bool opens = false;
  auto visit = [&](const Message& part) {
    if (opens || !part.is(Tag::Enc)) return;
    if (!is_atomic_key(part.key())) {
      opens = true;
      return;
    }
    const Message key = inverse_key(part.key());
    for (const Message& c : ciphertexts) {
      if (c.key() == key && may_fit(part.body(), c.body())) opens = true;
    }
  };
  for_each_part(pattern, visit);
  return opens;
}

// m under a; cheap when m holds nothing a can change.
Message under(const Assignment& a, const Message& m) {
  return m.has_variables() ? apply(a, m) : m;
}

// Calls visit(prefix term, is_input) on every prefix of p, under a.
template <typename Visit>
void for_each_prefix(const Process& p, const Assignment& a, Visit& visit) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return;
    case ProcessTag::Input:
    case ProcessTag::Output:
      visit(under(a, p.term()), p.tag() == ProcessTag::Input);
      for_each_prefix(p.next(), a, visit);
      return;
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      for_each_prefix(p.left(), a, visit);
      for_each_prefix(p.right(), a, visit);
      return;
  }
}

// The atoms of pattern that a message must carry, not counting the keys its
// encryptions name.
void carried_atoms(const Message& pattern, Messages& atoms) {
  if (pattern.is_atom()) {
    if (!contains(atoms, pattern)) atoms.push_back(pattern);
  } else if (pattern.is(Tag::Enc)) {
    carried_atoms(pattern.body(), atoms);
  } else if (pattern.is(Tag::Pair)) {
    carried_atoms(pattern.first(), atoms);
    carried_atoms(pattern.second(), atoms);
  }
}

// The test of one state, its stored messages read once.
class Sealing {
 public:
  explicit Sealing(const Status& s) : s_(s) {}

  // Whether value stays sealed, as the header says, while the principal at
  // index `waiting` of the context waits on pattern.
  bool sealed(const Message& value, std::size_t waiting, const Message& pattern);

 private:
  // The stored messages under the assignment; false when one holds a trick.
  bool read_stored();
  // The ciphertexts holding a secret, the keys that open them added to
  // secrets; false when one of those keys is not an atom or is derivable.
  bool find_ciphertexts(Messages& secrets, Messages& ciphertexts) const;

  const Status& s_;
  bool read_ = false;
  bool has_trick_ = false;
  Messages stored_;
};

bool Sealing::read_stored() {
  if (!read_) {
    read_ = true;
    stored_ = s_.knowledge.messages();
    for (Message& m : stored_) {
      m = under(s_.assignment, m);
      has_trick_ = has_trick_ || m.has_trick();
    }
  }
  return !has_trick_;
}

bool Sealing::find_ciphertexts(Messages& secrets, Messages& ciphertexts) const {
  bool failed = false;
  for (std::size_t i = 0; i < secrets.size() && !failed; ++i) {
    if (i > 0 && can_derive(s_.knowledge, s_.assignment, secrets[i])) return false;
    const Messages secret{secrets[i]};
    auto visit = [&](const Message& part) {
      if (failed || !part.is(Tag::Enc) || !carries(part, secret)) return;
      if (!is_atomic_key(part.key())) {
        failed = true;
        return;
      }
      if (!contains(ciphertexts, part)) ciphertexts.push_back(part);
      const Message opener = inverse_key(part.key());
      if (!contains(secrets, opener)) secrets.push_back(opener);
    };
    for (const Message& m : stored_) {
      if (carries(m, secret)) for_each_part(m, visit);
    }
  }
  return !failed;
}

bool Sealing::sealed(const Message& value, std::size_t waiting, const Message& pattern) {
  if (!read_stored()) return false;
  Messages secrets{value};
  Messages ciphertexts;
  if (!find_ciphertexts(secrets, ciphertexts) || may_open(pattern, ciphertexts)) return false;
  bool leaks = false;
  auto visit = [&](const Message& term, bool is_input) {
    if (leaks) return;
    leaks = term.has_trick() || (is_input ? may_open(term, ciphertexts) : carries(term, secrets));
  };
  for (std::size_t j = 0; j < s_.context.size() && !leaks; ++j) {
    if (j != waiting) for_each_prefix(s_.context[j].process(), s_.assignment, visit);
  }
  return !leaks;
}

}  // namespace

bool cannot_finish(const Status& s) {
  Sealing sealing(s);
  for (std::size_t i = 0; i < s.context.size(); ++i) {
    const Principal& p = s.context[i];
    const Process& process = p.process();
    if (process.tag() != ProcessTag::Input || !p.params().empty()) continue;
    const Message pattern = under(s.assignment, process.term());
    if (pattern.has_trick()) continue;
    Messages atoms;
    carried_atoms(pattern, atoms);
    for (const Message& atom : atoms) {
      if (!can_derive(s.knowledge, s.assignment, atom) && sealing.sealed(atom, i, pattern)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace analyser
