// Message terms: the immutable values that principals and the intruder exchange.
//
// A Message is a cheap handle on a shared, immutable node. Nodes are built only
// through the factory functions below and are never changed; subterms are shared,
// never copied. Equality is deep structural equality over every field, with a
// pointer-identity fast path and a hash computed once per node.
//
// Ordering invariants:
//  1. Hash and equality never decide an order. A hash is computed from the term's
//     content alone, never from an address, and serves only lookups that answer
//     yes or no or find the first match of a sequence; nothing that reaches the
//     output is ordered by it.
//  2. kind_meet decides by rank alone (the lower wins); on a tie it keeps its
//     first argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "utils/counted.h"

namespace analyser {

// The alternatives of a term, in their fixed order.
enum class Tag : std::uint8_t {
  NoMessage,
  SymKey,
  Agent,
  PubKey,
  PrivKey,
  Nonce,
  Var,
  BindVar,
  Gen,
  Enc,
  Pair,
  PubOf,
  PrivOf,
  Trick,
};

// What sort of value an intruder-supplied term (Gen) has to be.
enum class GenKind : std::uint8_t { Gen, RGen, SKey, Name, RName, PMKey, MPKey };

// The identity of a variable: a parsed variable has owner "" and instance 0 until
// its principal is instantiated.
struct VarId {
  std::string name;
  std::string owner;
  std::int64_t instance = 0;

  friend bool operator==(const VarId&, const VarId&) = default;
};

class Message;
// A (variable, value) pair of an assignment; also carried by Trick terms.
using Binding = std::pair<Message, Message>;

class Message {
 public:
  // The shared node behind a handle: the fields of every alternative here, those
  // of its own alternative in the derived node message.cpp builds.
  struct Node : Counted {
    // Destroys the node as the node of its alternative (see Handle).
    static void destroy(const Node* node);

    Tag tag = Tag::NoMessage;
    GenKind kind = GenKind::Gen;
    bool has_trick = false;
    std::int64_t number = 0;          // atom index, or the kid of a Gen
    std::size_t hash = 0;             // computed once, when the node is built
    std::size_t var_hash = 0;         // Var, BindVar, Gen: the hash of var(var)
    std::uint64_t variable_bits = 0;  // see Message::variable_bits
  };

  // NoMessage. Inline, and without counting: every default part of every term
  // node starts as one.
  Message() : node_(no_message_node()) {}

  Tag tag() const { return node_->tag; }
  bool is(Tag t) const { return tag() == t; }
  // SymKey, Agent, PubKey, PrivKey or Nonce, whose alternatives follow each other.
  bool is_atom() const { return tag() >= Tag::SymKey && tag() <= Tag::Nonce; }

  // SymKey, Agent, PubKey, PrivKey, Nonce.
  const std::string& name() const;
  std::int64_t index() const { return node_->number; }
  // Var, BindVar, Gen.
  const VarId& var() const;
  // Gen.
  std::int64_t kid() const { return node_->number; }
  GenKind kind() const { return node_->kind; }
  // Enc: body and key. Pair: first and second. PubOf/PrivOf: argument().
  const Message& body() const { return first(); }
  const Message& key() const { return second(); }
  const Message& first() const;
  const Message& second() const;
  const Message& argument() const { return first(); }
  // Trick.
  const std::vector<Binding>& trick_bindings() const;

  // False for terms that hold no Var, BindVar, Gen or Trick anywhere: applying an
  // assignment to them never changes them.
  bool has_variables() const { return node_->variable_bits != 0; }
  // Whether a Trick occurs anywhere in the term.
  bool has_trick() const { return node_->has_trick; }
  // A filter of the variables the term holds: the variable_bit of each Var and
  // Gen term's hash, and of the Var hash of each BindVar. A variable whose bit is
  // not set does not occur in the term. All bits for a Trick.
  std::uint64_t variable_bits() const { return node_->variable_bits; }
  std::size_t hash() const { return node_->hash; }
  // The very same node: cheaper than ==, and what "unchanged" means for
  // operations that return their argument when they change nothing.
  bool same(const Message& other) const { return node_ == other.node_; }

  friend bool operator==(const Message& a, const Message& b) {
    return a.node_ == b.node_ || (a.node_->hash == b.node_->hash && deep_equal(a, b));
  }
  friend bool operator!=(const Message& a, const Message& b) { return !(a == b); }

  explicit Message(Handle<const Node> node) : node_(std::move(node)) {}
  const Node& node() const { return *node_; }

 private:
  // Structural equality of two terms of equal hash.
  static bool deep_equal(const Message& a, const Message& b);
  // Enc, Pair, PubOf, PrivOf: the terms whose node holds two parts.
  bool is_compound() const {
    return tag() == Tag::Enc || tag() == Tag::Pair || tag() == Tag::PubOf || tag() == Tag::PrivOf;
  }
  // What the part accessors return for a term without parts: NoMessage.
  static const Message& no_part();
  // The node of NoMessage, one for the whole program, its handles not counted.
  static const Handle<const Node>& no_message_node() {
    static const Node none;
    static const Handle<const Node> node = Handle<const Node>::unowned(none);
    return node;
  }

  Handle<const Node> node_;  // never null
};

// The node of an Enc (body, key), Pair, PubOf or PrivOf (argument, NoMessage)
// term; built by the factories only. The parts are read on every step of every
// walk over a term, so their accessors are inline.
struct CompoundNode : Message::Node {
  Message first;
  Message second;
};

inline const Message& Message::first() const {
  return is_compound() ? static_cast<const CompoundNode&>(*node_).first : no_part();
}
inline const Message& Message::second() const {
  return is_compound() ? static_cast<const CompoundNode&>(*node_).second : no_part();
}

struct MessageHash {
  std::size_t operator()(const Message& m) const { return m.hash(); }
};

// Factories, one per alternative.
Message no_message();
Message sym_key(const std::string& name, std::int64_t index);
Message agent(const std::string& name, std::int64_t index);
Message pub_key(const std::string& name, std::int64_t index);
Message priv_key(const std::string& name, std::int64_t index);
Message nonce(const std::string& name, std::int64_t index);
// An atom of the given alternative (SymKey, Agent, PubKey, PrivKey or Nonce).
Message atom(Tag tag, const std::string& name, std::int64_t index);
Message var(const VarId& v);
Message bind_var(const VarId& v);
Message gen(const VarId& v, std::int64_t kid, GenKind kind);
Message enc(const Message& body, const Message& key);
Message pair(const Message& first, const Message& second);
Message pub_of(const Message& x);
Message priv_of(const Message& x);
Message trick(std::vector<Binding> bindings);

// The bit of a variable with this hash in the filters of terms and assignments.
inline std::uint64_t variable_bit(std::size_t hash) {
  return std::uint64_t{1} << ((hash * 0x9E3779B97F4A7C15u) >> 58);
}

// The hash that var(m.var()) has for a Var, BindVar or Gen term m: indexes find
// such terms without building them.
inline std::size_t var_hash(const Message& m) {
  return m.node().var_hash;
}

// Copies of terms that share no node with the originals, for handing values to
// another thread: nodes are counted handles, and threads that keep copying the
// same terms would all write to the same counters. The private_copy functions of
// the other values build on it. A node met again is copied once.
class TermCopier {
 public:
  Message copy(const Message& m);

 private:
  std::unordered_map<const Message::Node*, Message> copies_;
};

// m with the instance number of every atom and variable replaced by instance(n)
// and the kid of every Gen term by kid(k). Both are called in reading order (a Gen
// term's variable before its kid, an encryption's body before its key), so that
// numberings handed out on first sight follow the term.
Message renumbered(const Message& m, const std::function<std::int64_t(std::int64_t)>& instance,
                   const std::function<std::int64_t(std::int64_t)>& kid);
// Some atom or variable of m belongs to the given instance.
bool mentions_instance(const Message& m, std::int64_t instance);

// Key operations. inverse_key: SymKey itself, PubKey <-> PrivKey, else NoMessage.
Message inverse_key(const Message& m);
// PubKey/PrivKey (n, i) -> Agent (n, i); else NoMessage.
Message key_owner(const Message& m);
// Agent (n, i) -> PubKey / PrivKey (n, i); else NoMessage.
Message agent_pub_key(const Message& m);
Message agent_priv_key(const Message& m);
bool is_pub_key(const Message& m);
bool is_priv_key(const Message& m);
bool is_sym_key(const Message& m);
// SymKey, PubKey or PrivKey: a key that is an atom. Inline: unification asks
// it of every encryption it meets.
inline bool is_atomic_key(const Message& m) {
  return m.is(Tag::SymKey) || m.is(Tag::PubKey) || m.is(Tag::PrivKey);
}
bool is_agent(const Message& m);
bool is_enc(const Message& m);

// Validity: keys must be SymKey, PubKey, PrivKey, Var, Gen or PubOf/PrivOf of a
// Var or Gen; PubOf/PrivOf may not wrap an atomic key.
bool can_be_key(const Message& m);
bool well_formed(const Message& m);

// Kinds: the rank-based meet (lower rank wins, the first argument on a tie) and
// compatibility (skey never meets name or rname).
GenKind kind_meet(GenKind a, GenKind b);
bool kinds_compatible(GenKind a, GenKind b);

// The variable v with the owner and instance of scope.
VarId scoped_var_id(const std::pair<std::string, std::int64_t>& scope, const VarId& v);
// The kind that the uses of variable v inside m demand (gen when unconstrained).
GenKind required_kind(const Message& m, const VarId& v);

// Renderings. print_message writes to os with no line end; message_to_string
// is the label form (pairs without brackets, Gen kinds abbreviated).
void print_message(std::ostream& os, const Message& m);
std::string message_to_string(const Message& m);

// The numbers a renumbered rendering writes in place of instance numbers and
// the kids of generated values; asked in reading order (an encryption's body
// before its key, a generated value's variable before its kid), as renumbered
// asks its functions.
class Numbering {
 public:
  virtual ~Numbering() = default;
  virtual std::int64_t instance(std::int64_t i) = 0;
  virtual std::int64_t kid(std::int64_t k) = 0;
};

// Appends print_message's text of m renumbered by numbering, without building
// the renumbered term.
void append_renumbered(std::string& s, const Message& m, Numbering& numbering);

// The two renderings, for append_message.
enum class Rendering { Printed, Label };

// What a part of a term stands for where it is rendered: called on the parts
// that hold variables and are not an Enc or a Pair, `whole` when the part is the
// whole term rendered.
using PartValue = std::function<Message(const Message& part, bool whole)>;

// Appends the rendering of m to s. With value, the rendering of the term that m
// becomes when each such part is replaced by value(part, whole), without building it:
// printing a term under an assignment then allocates nothing for its structure.
void append_message(std::string& s, const Message& m, Rendering r,
                    const PartValue* value = nullptr);
std::string var_id_to_string(const VarId& v);
std::string var_ids_to_string(const std::vector<VarId>& l);

}  // namespace analyser
