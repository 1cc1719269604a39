#include "message/message.h"

#include <array>
#include <cassert>
#include <functional>
#include <vector>

#include "utils/numeral.h"
#include "utils/utils.h"

namespace analyser {

namespace {

using Node = Message::Node;

// The nodes of the alternatives: each adds its own fields to the common ones, so
// that a node takes no more memory than its alternative needs.
struct AtomFamily;
struct AtomNode : Node {
  AtomFamily* family = nullptr;
};
// The five atoms of one name and index, SymKey to Nonce, built together: the
// search asks an atom for its relatives (a key's inverse and owner, an agent's
// keys) all the time, and each finds them here without a table. Each member
// counts its own handles; the family lives while some member has one.
struct AtomFamily {
  static constexpr std::size_t kSize = 5;
  static std::size_t position(Tag tag) {
    return static_cast<std::size_t>(tag) - static_cast<std::size_t>(Tag::SymKey);
  }
  std::string name;
  std::array<AtomNode, kSize> members;
  std::size_t live_members = 0;  // the members that have handles
};
struct VarNode : Node {
  VarId var;
};
struct TrickNode : Node {
  std::vector<Binding> bindings;
};

std::size_t mix(std::size_t seed, std::size_t value) {
  return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::size_t hash_var(const VarId& v) {
  std::size_t h = std::hash<std::string>{}(v.name);
  h = mix(h, std::hash<std::string>{}(v.owner));
  return mix(h, std::hash<std::int64_t>{}(v.instance));
}

std::size_t tag_seed(Tag tag) {
  return static_cast<std::size_t>(tag) * 1000003u;
}

// What accessors of fields an alternative lacks return.
const Message& none() {
  static const Message empty;
  return empty;
}
const std::string& no_name() {
  static const std::string empty;
  return empty;
}
const VarId& no_var() {
  static const VarId empty;
  return empty;
}
const std::vector<Binding>& no_bindings() {
  static const std::vector<Binding> empty;
  return empty;
}

// The atoms' alternatives follow each other, SymKey to Nonce.
bool is_atom_tag(Tag tag) {
  return tag >= Tag::SymKey && tag <= Tag::Nonce;
}
bool is_var_tag(Tag tag) {
  return tag == Tag::Var || tag == Tag::BindVar || tag == Tag::Gen;
}

const AtomNode& as_atom(const Node& n) {
  return static_cast<const AtomNode&>(n);
}
const VarNode& as_var(const Node& n) {
  return static_cast<const VarNode&>(n);
}
const CompoundNode& as_compound(const Node& n) {
  return static_cast<const CompoundNode&>(n);
}
const TrickNode& as_trick(const Node& n) {
  return static_cast<const TrickNode&>(n);
}

template <typename N>
Handle<N> make_node(Tag tag) {
  auto n = make_handle<N>();
  n->tag = tag;
  return n;
}

Message finish_var(Handle<VarNode> n) {
  const std::size_t v = hash_var(n->var);
  n->var_hash = mix(tag_seed(Tag::Var), v);
  std::size_t h = mix(tag_seed(n->tag), v);
  if (n->tag == Tag::Gen) {
    h = mix(mix(h, std::hash<std::int64_t>{}(n->number)), static_cast<std::size_t>(n->kind));
  }
  n->hash = h;
  n->variable_bits = variable_bit(n->tag == Tag::BindVar ? n->var_hash : h);
  return Message(std::move(n));
}

Message compound(Tag tag, const Message& a, const Message& b) {
  auto n = make_node<CompoundNode>(tag);
  n->first = a;
  n->second = b;
  std::size_t h = mix(tag_seed(tag), a.hash());
  if (tag == Tag::Enc || tag == Tag::Pair) h = mix(h, b.hash());
  n->hash = h;
  n->has_trick = a.has_trick() || b.has_trick();
  n->variable_bits = a.variable_bits() | b.variable_bits();
  return Message(std::move(n));
}

}  // namespace

void Message::Node::destroy(const Node* node) {
  switch (node->tag) {
    case Tag::Var:
    case Tag::BindVar:
    case Tag::Gen:
      delete &as_var(*node);
      return;
    case Tag::Enc:
    case Tag::Pair:
    case Tag::PubOf:
    case Tag::PrivOf:
      delete &as_compound(*node);
      return;
    case Tag::Trick:
      delete &as_trick(*node);
      return;
    default: {  // an atom: NoMessage is never counted
      AtomFamily* family = as_atom(*node).family;
      if (--family->live_members == 0) delete family;
    }
  }
}

bool Message::deep_equal(const Message& a, const Message& b) {
  const Node& x = *a.node_;
  const Node& y = *b.node_;
  if (x.tag != y.tag) return false;
  if (is_atom_tag(x.tag)) {
    return x.number == y.number && as_atom(x).family->name == as_atom(y).family->name;
  }
  switch (x.tag) {
    case Tag::Var:
    case Tag::BindVar:
      return as_var(x).var == as_var(y).var;
    case Tag::Gen:
      return x.number == y.number && x.kind == y.kind && as_var(x).var == as_var(y).var;
    case Tag::Enc:
    case Tag::Pair:
      return as_compound(x).first == as_compound(y).first &&
             as_compound(x).second == as_compound(y).second;
    case Tag::PubOf:
    case Tag::PrivOf:
      return as_compound(x).first == as_compound(y).first;
    case Tag::Trick:
      return as_trick(x).bindings == as_trick(y).bindings;
    default:  // NoMessage
      return true;
  }
}

const std::string& Message::name() const {
  return is_atom_tag(node_->tag) ? as_atom(*node_).family->name : no_name();
}
const VarId& Message::var() const {
  return is_var_tag(node_->tag) ? as_var(*node_).var : no_var();
}
const Message& Message::no_part() {
  return none();
}
const std::vector<Binding>& Message::trick_bindings() const {
  return node_->tag == Tag::Trick ? as_trick(*node_).bindings : no_bindings();
}

Message no_message() {
  return Message();
}

Message atom(Tag tag, const std::string& name, std::int64_t index) {
  assert(is_atom_tag(tag));
  auto* family = new AtomFamily{name, {}, 1};
  const std::size_t name_hash = std::hash<std::string>{}(name);
  for (std::size_t k = 0; k < AtomFamily::kSize; ++k) {
    AtomNode& n = family->members[k];
    n.tag = static_cast<Tag>(static_cast<std::size_t>(Tag::SymKey) + k);
    n.number = index;
    n.hash = mix(mix(tag_seed(n.tag), name_hash), std::hash<std::int64_t>{}(index));
    n.family = family;
  }
  return Message(Handle<const Node>(&family->members[AtomFamily::position(tag)]));
}

Message sym_key(const std::string& name, std::int64_t index) {
  return atom(Tag::SymKey, name, index);
}
Message agent(const std::string& name, std::int64_t index) {
  return atom(Tag::Agent, name, index);
}
Message pub_key(const std::string& name, std::int64_t index) {
  return atom(Tag::PubKey, name, index);
}
Message priv_key(const std::string& name, std::int64_t index) {
  return atom(Tag::PrivKey, name, index);
}
Message nonce(const std::string& name, std::int64_t index) {
  return atom(Tag::Nonce, name, index);
}

Message var(const VarId& v) {
  auto n = make_node<VarNode>(Tag::Var);
  n->var = v;
  return finish_var(std::move(n));
}

Message bind_var(const VarId& v) {
  auto n = make_node<VarNode>(Tag::BindVar);
  n->var = v;
  return finish_var(std::move(n));
}

Message gen(const VarId& v, std::int64_t kid, GenKind kind) {
  auto n = make_node<VarNode>(Tag::Gen);
  n->var = v;
  n->number = kid;
  n->kind = kind;
  return finish_var(std::move(n));
}

Message enc(const Message& body, const Message& key) {
  return compound(Tag::Enc, body, key);
}
Message pair(const Message& first, const Message& second) {
  return compound(Tag::Pair, first, second);
}
Message pub_of(const Message& x) {
  return compound(Tag::PubOf, x, no_message());
}
Message priv_of(const Message& x) {
  return compound(Tag::PrivOf, x, no_message());
}

Message trick(std::vector<Binding> bindings) {
  auto n = make_node<TrickNode>(Tag::Trick);
  std::size_t h = tag_seed(Tag::Trick);
  for (const Binding& b : bindings) h = mix(mix(h, b.first.hash()), b.second.hash());
  n->bindings = std::move(bindings);
  n->hash = h;
  n->has_trick = true;
  n->variable_bits = ~std::uint64_t{0};
  return Message(std::move(n));
}

Message renumbered(const Message& m, const std::function<std::int64_t(std::int64_t)>& instance,
                   const std::function<std::int64_t(std::int64_t)>& kid) {
  const auto var_id = [&](const VarId& v) { return VarId{v.name, v.owner, instance(v.instance)}; };
  const auto part = [&](const Message& t) { return renumbered(t, instance, kid); };
  switch (m.tag()) {
    case Tag::NoMessage:
      return m;
    case Tag::Var:
      return var(var_id(m.var()));
    case Tag::BindVar:
      return bind_var(var_id(m.var()));
    case Tag::Gen: {
      const VarId v = var_id(m.var());
      return gen(v, kid(m.kid()), m.kind());
    }
    case Tag::Enc: {
      const Message body = part(m.body());
      return enc(body, part(m.key()));
    }
    case Tag::Pair: {
      const Message first = part(m.first());
      return pair(first, part(m.second()));
    }
    case Tag::PubOf:
      return pub_of(part(m.argument()));
    case Tag::PrivOf:
      return priv_of(part(m.argument()));
    case Tag::Trick: {
      std::vector<Binding> bindings;
      for (const Binding& b : m.trick_bindings()) {
        Message variable = part(b.first);
        bindings.emplace_back(std::move(variable), part(b.second));
      }
      return trick(std::move(bindings));
    }
    default:
      return atom(m.tag(), m.name(), instance(m.index()));
  }
}

bool mentions_instance(const Message& m, std::int64_t instance) {
  switch (m.tag()) {
    case Tag::NoMessage:
      return false;
    case Tag::Var:
    case Tag::BindVar:
    case Tag::Gen:
      return m.var().instance == instance;
    case Tag::Enc:
    case Tag::Pair:
      return mentions_instance(m.first(), instance) || mentions_instance(m.second(), instance);
    case Tag::PubOf:
    case Tag::PrivOf:
      return mentions_instance(m.argument(), instance);
    case Tag::Trick:
      for (const Binding& b : m.trick_bindings()) {
        if (mentions_instance(b.first, instance) || mentions_instance(b.second, instance)) {
          return true;
        }
      }
      return false;
    default:
      return m.index() == instance;
  }
}

Message TermCopier::copy(const Message& m) {
  const Message::Node* original = &m.node();
  if (m.is(Tag::NoMessage)) return m;  // not counted
  if (const auto it = copies_.find(original); it != copies_.end()) return it->second;
  Message result;
  switch (m.tag()) {
    case Tag::Var:
      result = var(m.var());
      break;
    case Tag::BindVar:
      result = bind_var(m.var());
      break;
    case Tag::Gen:
      result = gen(m.var(), m.kid(), m.kind());
      break;
    case Tag::Enc:
      result = enc(copy(m.body()), copy(m.key()));
      break;
    case Tag::Pair:
      result = pair(copy(m.first()), copy(m.second()));
      break;
    case Tag::PubOf:
      result = pub_of(copy(m.argument()));
      break;
    case Tag::PrivOf:
      result = priv_of(copy(m.argument()));
      break;
    case Tag::Trick: {
      std::vector<Binding> bindings;
      for (const Binding& b : m.trick_bindings()) {
        bindings.emplace_back(copy(b.first), copy(b.second));
      }
      result = trick(std::move(bindings));
      break;
    }
    default:
      result = atom(m.tag(), m.name(), m.index());
  }
  copies_.emplace(original, result);
  return result;
}

namespace {

// The atom of the given alternative with the name and index of atom m.
Message related_atom(const Message& m, Tag tag) {
  AtomFamily& family = *as_atom(m.node()).family;
  Handle<const Node> member(&family.members[AtomFamily::position(tag)]);
  if (member.use_count() == 1) ++family.live_members;  // its first handle
  return Message(std::move(member));
}

}  // namespace

Message inverse_key(const Message& m) {
  switch (m.tag()) {
    case Tag::SymKey:
      return m;
    case Tag::PubKey:
      return related_atom(m, Tag::PrivKey);
    case Tag::PrivKey:
      return related_atom(m, Tag::PubKey);
    default:
      return no_message();
  }
}

Message key_owner(const Message& m) {
  if (m.is(Tag::PubKey) || m.is(Tag::PrivKey)) return related_atom(m, Tag::Agent);
  return no_message();
}

Message agent_pub_key(const Message& m) {
  return m.is(Tag::Agent) ? related_atom(m, Tag::PubKey) : no_message();
}

Message agent_priv_key(const Message& m) {
  return m.is(Tag::Agent) ? related_atom(m, Tag::PrivKey) : no_message();
}

bool is_pub_key(const Message& m) {
  return m.is(Tag::PubKey);
}
bool is_priv_key(const Message& m) {
  return m.is(Tag::PrivKey);
}
bool is_sym_key(const Message& m) {
  return m.is(Tag::SymKey);
}
bool is_agent(const Message& m) {
  return m.is(Tag::Agent);
}
bool is_enc(const Message& m) {
  return m.is(Tag::Enc);
}

bool can_be_key(const Message& m) {
  switch (m.tag()) {
    case Tag::SymKey:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Var:
    case Tag::Gen:
      return true;
    case Tag::PubOf:
    case Tag::PrivOf:
      return m.argument().is(Tag::Var) || m.argument().is(Tag::Gen);
    default:
      return false;
  }
}

bool well_formed(const Message& m) {
  switch (m.tag()) {
    case Tag::Enc:
      return well_formed(m.body()) && can_be_key(m.key());
    case Tag::Pair:
      return well_formed(m.first()) && well_formed(m.second());
    case Tag::PubOf:
    case Tag::PrivOf: {
      Tag t = m.argument().tag();
      return t != Tag::SymKey && t != Tag::PubKey && t != Tag::PrivKey;
    }
    default:
      return true;
  }
}

namespace {
int kind_rank(GenKind k) {
  switch (k) {
    case GenKind::Gen:
      return 4;
    case GenKind::RGen:
      return 3;
    case GenKind::SKey:
    case GenKind::Name:
      return 1;
    case GenKind::RName:
      return 0;
    case GenKind::PMKey:
    case GenKind::MPKey:
      return -1;
  }
  return 4;
}
}  // namespace

GenKind kind_meet(GenKind a, GenKind b) {
  return kind_rank(b) < kind_rank(a) ? b : a;
}

bool kinds_compatible(GenKind a, GenKind b) {
  auto named = [](GenKind k) { return k == GenKind::Name || k == GenKind::RName; };
  return !((a == GenKind::SKey && named(b)) || (b == GenKind::SKey && named(a)));
}

VarId scoped_var_id(const std::pair<std::string, std::int64_t>& scope, const VarId& v) {
  return VarId{v.name, scope.first, scope.second};
}

GenKind required_kind(const Message& m, const VarId& v) {
  switch (m.tag()) {
    case Tag::Enc:
      if (m.key().is(Tag::Var) && m.key().var() == v) return GenKind::SKey;
      return kind_meet(required_kind(m.body(), v), required_kind(m.key(), v));
    case Tag::Pair:
      return kind_meet(required_kind(m.first(), v), required_kind(m.second(), v));
    case Tag::PubOf:
    case Tag::PrivOf:
      return m.argument().is(Tag::Var) && m.argument().var() == v ? GenKind::Name : GenKind::Gen;
    default:
      return GenKind::Gen;
  }
}

namespace {

void append_var_id(std::string& s, const VarId& v, Numbering* numbering = nullptr) {
  s += v.name;
  s += '_';
  s += v.owner;
  s += '_';
  utils::append_decimal(s, numbering != nullptr ? numbering->instance(v.instance) : v.instance);
}

const char* printed_kind(GenKind k) {
  switch (k) {
    case GenKind::Gen:
      return "gen";
    case GenKind::RGen:
      return "gen";
    case GenKind::SKey:
      return "skey";
    case GenKind::Name:
      return "name";
    case GenKind::RName:
      return "rname";
    case GenKind::PMKey:
      return "pmkey";
    case GenKind::MPKey:
      return "mpkey";
  }
  return "gen";
}

const char* label_kind(GenKind k) {
  switch (k) {
    case GenKind::Gen:
      return "(KG:";
    case GenKind::RGen:
      return "(KRG:";
    case GenKind::SKey:
      return "(KSK:";
    case GenKind::Name:
      return "(KN:";
    case GenKind::RName:
      return "(KRN:";
    case GenKind::PMKey:
      return "(KPM:";
    case GenKind::MPKey:
      return "(KMP:";
  }
  return "(KG:";
}

// Numbers what a Trick's bindings hold, as renumbered does, though its text
// shows none of them.
void number_trick(const Message& m, Numbering& numbering);

// Both renderings; `label` selects the message_to_string form. See append_message
// for value; numbering, when given, renumbers as append_renumbered does.
void render(std::string& s, const Message& m, bool label, const PartValue* value, bool whole,
            Numbering* numbering = nullptr) {
  if (value != nullptr && m.has_variables() && !m.is(Tag::Enc) && !m.is(Tag::Pair)) {
    render(s, (*value)(m, whole), label, nullptr, whole);
    return;
  }
  if (m.is_atom()) {
    s += m.name();
    s += '_';
    utils::append_decimal(s, numbering != nullptr ? numbering->instance(m.index()) : m.index());
    if (m.is(Tag::PubKey)) s += '+';
    if (m.is(Tag::PrivKey)) s += '-';
    return;
  }
  switch (m.tag()) {
    case Tag::Var:
    case Tag::BindVar:
      append_var_id(s, m.var(), numbering);
      return;
    case Tag::Gen: {
      append_var_id(s, m.var(), numbering);
      const std::int64_t kid = numbering != nullptr ? numbering->kid(m.kid()) : m.kid();
      if (label) {
        s += label_kind(m.kind());
        numeral::append(s, kid);
        s += ')';
      } else {
        s += m.kind() == GenKind::RGen ? "(KR:" : "(K:";
        numeral::append(s, kid);
        s += ':';
        s += printed_kind(m.kind());
        s += ')';
      }
      return;
    }
    case Tag::Enc:
      s += '{';
      render(s, m.body(), label, value, false, numbering);
      s += '}';
      render(s, m.key(), label, value, false, numbering);
      return;
    case Tag::Pair:
      if (!label) s += '[';
      render(s, m.first(), label, value, false, numbering);
      s += ',';
      render(s, m.second(), label, value, false, numbering);
      if (!label) s += ']';
      return;
    case Tag::PubOf:
      render(s, m.argument(), label, nullptr, false, numbering);
      s += '+';
      return;
    case Tag::PrivOf:
      render(s, m.argument(), label, nullptr, false, numbering);
      s += '-';
      return;
    case Tag::Trick:
      if (numbering != nullptr) number_trick(m, *numbering);
      s += "Trick";
      return;
    default:  // NoMessage
      s += '.';
      return;
  }
}

void number_trick(const Message& m, Numbering& numbering) {
  std::string unused;
  for (const Binding& b : m.trick_bindings()) {
    render(unused, b.first, false, nullptr, false, &numbering);
    render(unused, b.second, false, nullptr, false, &numbering);
  }
}

}  // namespace

void append_renumbered(std::string& s, const Message& m, Numbering& numbering) {
  render(s, m, false, nullptr, true, &numbering);
}

void print_message(std::ostream& os, const Message& m) {
  std::string s;
  render(s, m, false, nullptr, true);
  os << s;
}

std::string message_to_string(const Message& m) {
  std::string s;
  render(s, m, true, nullptr, true);
  return s;
}

void append_message(std::string& s, const Message& m, Rendering r, const PartValue* value) {
  render(s, m, r == Rendering::Label, value, true);
}

std::string var_id_to_string(const VarId& v) {
  std::string s;
  append_var_id(s, v);
  return s;
}

std::string var_ids_to_string(const std::vector<VarId>& l) {
  std::string s;
  for (std::size_t i = 0; i < l.size(); ++i) {
    if (i > 0) s += ", ";
    append_var_id(s, l[i]);
  }
  return s;
}

}  // namespace analyser
