// Intruder knowledge: what the intruder knows at one point of a trace.
//
// A Knowledge is an immutable, shared value: an identifier (its kid, -1 when not
// registered) and the known messages, kept closed under analysis by learn (pairs
// split, encryptions opened when their key is known). No Pair, variable,
// PubOf/PrivOf, Trick or NoMessage is ever stored at top level by learn.
//
// Ordering invariants:
//  1. The messages are kept newest first; messages(), every query that returns
//     messages and both printed forms list them in that order.
//  2. learn stores each pass of analysis's new facts as newer than everything
//     before, and the encryptions it cannot open after the last pass. Within a
//     pass the first found is the newest: what m yields (a pair's first part
//     before its second), then what the stored encryptions yield, newest first;
//     a message found twice keeps its first place.
//  3. relabel keeps every message in its place.
//  4. The hash index answers membership only and never decides an order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "assignment/assignment.h"
#include "message/message.h"

namespace analyser {

class Knowledge {
 public:
  // What the handles on a set count: the set's Data (kid, the messages with
  // their lookup index, answers found about them), defined where knowledge is
  // built, derives from it, so that copies of a knowledge are counted inline.
  struct Shared : Counted {
    static void destroy(const Shared* shared);  // see Handle
  };
  struct Data;

  // The empty, unregistered knowledge (kid -1).
  Knowledge();
  explicit Knowledge(Handle<const Shared> data) : data_(std::move(data)) {}

  std::int64_t kid() const;
  // Newest first (a copy: the search itself asks the queries below).
  std::vector<Message> messages() const;

  const Handle<const Shared>& data() const { return data_; }
  bool same(const Knowledge& other) const { return data_ == other.data_; }

 private:
  // Counted without atomic operations, as terms are (see Handle): a thread
  // hands knowledge to another only as private copies.
  Handle<const Shared> data_;  // never null
};

// A reference to a knowledge set that does not keep it alive, for tables that
// list sets without owning them (a knowledge manager's): it tells whether the set
// is gone and gives it back while it is not. A gone set keeps only its memory,
// until its last watch goes.
class KnowledgeWatch {
 public:
  KnowledgeWatch() = default;  // watches nothing: expired
  explicit KnowledgeWatch(const Knowledge& k);
  KnowledgeWatch(const KnowledgeWatch& other);
  KnowledgeWatch(KnowledgeWatch&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}
  KnowledgeWatch& operator=(KnowledgeWatch other) noexcept;
  ~KnowledgeWatch();

  bool expired() const;
  // The set watched; the empty, unregistered knowledge once it is gone.
  Knowledge knowledge() const;

 private:
  const Knowledge::Data* data_ = nullptr;
};

Knowledge empty_knowledge();
bool is_empty_knowledge(const Knowledge& k);  // no messages
bool is_absent(const Knowledge& k);           // kid -1

// Some stored message equals m; nothing is derived (a pair is never known).
bool knows(const Knowledge& k, const Message& m);

// The lists learning works in. Whoever learns again and again (a run's
// knowledge manager) keeps one and hands it to every call, so that learning
// allocates only what it keeps.
struct LearningScratch {
  std::vector<Message> found;        // what one pass yields, repetitions included
  std::vector<Message> facts;        // the new messages other than encryptions
  std::vector<Message> ciphertexts;  // the new encryptions
};

// k with m added and the result closed under analysis; same kid.
// learn(k, NoMessage) is k.
Knowledge learn(const Knowledge& k, const Message& m);

// k's messages, copied by copier, in the same order and under the same kid, in a
// store of its own: knowledge sets extend their store in place, so one handed
// to another thread must not share it.
Knowledge private_copy(const Knowledge& k, TermCopier& copier);
// k under new_kid, every message replaced by apply(f, message), order kept.
Knowledge relabel(const Knowledge& k, std::int64_t new_kid, const Assignment& f);
// learn(relabel(k, new_kid, f), m), without building the intermediate knowledge,
// working in scratch.
Knowledge relabel_and_learn(const Knowledge& k, std::int64_t new_kid, const Assignment& f,
                            const Message& m, LearningScratch& scratch);

// Queries, scanning the messages newest first.
std::vector<Message> known_agents(const Knowledge& k);
std::vector<Message> compromised_agents(const Knowledge& k);  // both key halves known
std::vector<Message> honest_agents(const Knowledge& k);
std::vector<Message> usable_pub_keys(const Knowledge& k);  // private half known
std::vector<Message> known_sym_keys(const Knowledge& k);
std::vector<Message> unpaired_pub_keys(const Knowledge& k);
std::vector<Message> paired_priv_keys(const Knowledge& k);
std::vector<Message> unpaired_priv_keys(const Knowledge& k);
bool is_compromised(const Knowledge& k, const Message& a);
bool owns_usable_key_pair(const Knowledge& k, const Message& key);
bool has_atomic_key(const Knowledge& k);
bool has_sym_key(const Knowledge& k);
bool has_key_pair(const Knowledge& k);
bool has_compromised_agent(const Knowledge& k);

// The stored encryptions under key that may_fit accepts, newest first; empty when
// both key and its inverse are known.
std::vector<Message> encryptions_under(const Knowledge& k, const Message& key,
                                       const std::function<bool(const Message&)>& may_fit);

// Whether the intruder can produce m from k, every stored message mapped by f.
bool can_derive(const Knowledge& k, const Assignment& f, const Message& m);

// "Kid: <kid>\n", one message a line, ".\n" on os.
void print_knowledge(std::ostream& os, const Knowledge& k);
// print_knowledge of relabel(k, k.kid(), f), without building it.
void print_knowledge(std::ostream& os, const Knowledge& k, const Assignment& f);
// "(<kid>)" then the messages in label form separated by ", ", then ".\\n\\n".
std::string knowledge_to_string(const Knowledge& k);

}  // namespace analyser
