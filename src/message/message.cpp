#include "message/message.h"

#include <functional>

#include "utils/utils.h"

struct Message::Node {
  Tag tag = Tag::NoMessage;
  GenKind kind = GenKind::Gen;
  bool has_variables = false;
  std::int64_t number = 0;  // atom index, or the kid of a Gen
  std::size_t hash = 0;
  std::string name;  // atoms
  VarId var;         // Var, BindVar, Gen
  Message first;     // Enc body, Pair first, PubOf/PrivOf argument
  Message second;    // Enc key, Pair second
  std::vector<Binding> bindings;  // Trick

  // The empty node: only the NoMessage singleton is built with it.
  Node() : first(nullptr), second(nullptr) {}
  explicit Node(Tag t) : tag(t) {}
};

namespace {

std::size_t mix(std::size_t seed, std::size_t value) {
  return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::size_t hash_var(const VarId& v) {
  std::size_t h = std::hash<std::string>{}(v.name);
  h = mix(h, std::hash<std::string>{}(v.owner));
  return mix(h, std::hash<std::int64_t>{}(v.instance));
}

const std::shared_ptr<const Message::Node>& no_message_node() {
  static const std::shared_ptr<const Message::Node> node = [] {
    auto n = std::make_shared<Message::Node>();
    n->first = Message(std::shared_ptr<const Message::Node>(n, n.get()));
    n->second = n->first;
    return std::shared_ptr<const Message::Node>(n);
  }();
  return node;
}

Message finish(std::shared_ptr<Message::Node> n) {
  std::size_t h = static_cast<std::size_t>(n->tag) * 1000003u;
  switch (n->tag) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
      h = mix(mix(h, std::hash<std::string>{}(n->name)), std::hash<std::int64_t>{}(n->number));
      break;
    case Tag::Var:
    case Tag::BindVar:
      h = mix(h, hash_var(n->var));
      n->has_variables = true;
      break;
    case Tag::Gen:
      h = mix(mix(mix(h, hash_var(n->var)), std::hash<std::int64_t>{}(n->number)),
              static_cast<std::size_t>(n->kind));
      n->has_variables = true;
      break;
    case Tag::Enc:
    case Tag::Pair:
      h = mix(mix(h, n->first.hash()), n->second.hash());
      n->has_variables = n->first.has_variables() || n->second.has_variables();
      break;
    case Tag::PubOf:
    case Tag::PrivOf:
      h = mix(h, n->first.hash());
      n->has_variables = n->first.has_variables();
      break;
    case Tag::Trick:
      for (const Binding& b : n->bindings) h = mix(mix(h, b.first.hash()), b.second.hash());
      n->has_variables = true;
      break;
    case Tag::NoMessage:
      break;
  }
  n->hash = h;
  return Message(std::move(n));
}

std::shared_ptr<Message::Node> make_node(Tag tag) {
  return std::make_shared<Message::Node>(tag);
}

bool deep_equal(const Message::Node& a, const Message::Node& b) {
  if (a.tag != b.tag || a.hash != b.hash) return false;
  switch (a.tag) {
    case Tag::NoMessage:
      return true;
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
      return a.number == b.number && a.name == b.name;
    case Tag::Var:
    case Tag::BindVar:
      return a.var == b.var;
    case Tag::Gen:
      return a.number == b.number && a.kind == b.kind && a.var == b.var;
    case Tag::Enc:
    case Tag::Pair:
      return a.first == b.first && a.second == b.second;
    case Tag::PubOf:
    case Tag::PrivOf:
      return a.first == b.first;
    case Tag::Trick:
      return a.bindings == b.bindings;
  }
  return false;
}

}  // namespace

Message::Message() : node_(no_message_node()) {}

Tag Message::tag() const { return node_->tag; }
bool Message::is_atom() const {
  switch (node_->tag) {
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
    case Tag::Nonce:
      return true;
    default:
      return false;
  }
}
const std::string& Message::name() const { return node_->name; }
std::int64_t Message::index() const { return node_->number; }
const VarId& Message::var() const { return node_->var; }
std::int64_t Message::kid() const { return node_->number; }
GenKind Message::kind() const { return node_->kind; }
const Message& Message::body() const { return node_->first; }
const Message& Message::key() const { return node_->second; }
const Message& Message::first() const { return node_->first; }
const Message& Message::second() const { return node_->second; }
const Message& Message::argument() const { return node_->first; }
const std::vector<Binding>& Message::trick_bindings() const { return node_->bindings; }
bool Message::has_variables() const { return node_->has_variables; }
std::size_t Message::hash() const { return node_->hash; }

bool operator==(const Message& a, const Message& b) {
  return a.node_ == b.node_ || deep_equal(*a.node_, *b.node_);
}

Message no_message() { return Message(no_message_node()); }

Message atom(Tag tag, const std::string& name, std::int64_t index) {
  auto n = make_node(tag);
  n->name = name;
  n->number = index;
  return finish(std::move(n));
}

Message sym_key(const std::string& name, std::int64_t index) { return atom(Tag::SymKey, name, index); }
Message agent(const std::string& name, std::int64_t index) { return atom(Tag::Agent, name, index); }
Message pub_key(const std::string& name, std::int64_t index) { return atom(Tag::PubKey, name, index); }
Message priv_key(const std::string& name, std::int64_t index) {
  return atom(Tag::PrivKey, name, index);
}
Message nonce(const std::string& name, std::int64_t index) { return atom(Tag::Nonce, name, index); }

Message var(const VarId& v) {
  auto n = make_node(Tag::Var);
  n->var = v;
  return finish(std::move(n));
}

Message bind_var(const VarId& v) {
  auto n = make_node(Tag::BindVar);
  n->var = v;
  return finish(std::move(n));
}

Message gen(const VarId& v, std::int64_t kid, GenKind kind) {
  auto n = make_node(Tag::Gen);
  n->var = v;
  n->number = kid;
  n->kind = kind;
  return finish(std::move(n));
}

namespace {
Message compound(Tag tag, const Message& a, const Message& b) {
  auto n = make_node(tag);
  n->first = a;
  n->second = b;
  return finish(std::move(n));
}
}  // namespace

Message enc(const Message& body, const Message& key) { return compound(Tag::Enc, body, key); }
Message pair(const Message& first, const Message& second) {
  return compound(Tag::Pair, first, second);
}
Message pub_of(const Message& x) { return compound(Tag::PubOf, x, no_message()); }
Message priv_of(const Message& x) { return compound(Tag::PrivOf, x, no_message()); }

Message trick(std::vector<Binding> bindings) {
  auto n = make_node(Tag::Trick);
  n->bindings = std::move(bindings);
  return finish(std::move(n));
}

Message inverse_key(const Message& m) {
  switch (m.tag()) {
    case Tag::SymKey:
      return m;
    case Tag::PubKey:
      return priv_key(m.name(), m.index());
    case Tag::PrivKey:
      return pub_key(m.name(), m.index());
    default:
      return no_message();
  }
}

Message key_owner(const Message& m) {
  if (m.is(Tag::PubKey) || m.is(Tag::PrivKey)) return agent(m.name(), m.index());
  return no_message();
}

Message agent_pub_key(const Message& m) {
  return m.is(Tag::Agent) ? pub_key(m.name(), m.index()) : no_message();
}

Message agent_priv_key(const Message& m) {
  return m.is(Tag::Agent) ? priv_key(m.name(), m.index()) : no_message();
}

bool is_pub_key(const Message& m) { return m.is(Tag::PubKey); }
bool is_priv_key(const Message& m) { return m.is(Tag::PrivKey); }
bool is_sym_key(const Message& m) { return m.is(Tag::SymKey); }
bool is_agent(const Message& m) { return m.is(Tag::Agent); }
bool is_enc(const Message& m) { return m.is(Tag::Enc); }

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

GenKind kind_meet(GenKind a, GenKind b) { return kind_rank(b) < kind_rank(a) ? b : a; }

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

void append_var_id(std::string& s, const VarId& v) {
  s += v.name;
  s += '_';
  s += v.owner;
  s += '_';
  s += std::to_string(v.instance);
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

// Both renderings; `label` selects the message_to_string form.
void render(std::string& s, const Message& m, bool label) {
  switch (m.tag()) {
    case Tag::NoMessage:
      s += '.';
      return;
    case Tag::SymKey:
    case Tag::Agent:
    case Tag::Nonce:
    case Tag::PubKey:
    case Tag::PrivKey:
      s += m.name();
      s += '_';
      s += std::to_string(m.index());
      if (m.is(Tag::PubKey)) s += '+';
      if (m.is(Tag::PrivKey)) s += '-';
      return;
    case Tag::Var:
    case Tag::BindVar:
      append_var_id(s, m.var());
      return;
    case Tag::Gen:
      append_var_id(s, m.var());
      if (label) {
        s += label_kind(m.kind());
        s += std::to_string(m.kid());
        s += ')';
      } else {
        s += m.kind() == GenKind::RGen ? "(KR:" : "(K:";
        s += std::to_string(m.kid());
        s += ':';
        s += printed_kind(m.kind());
        s += ')';
      }
      return;
    case Tag::Enc:
      s += '{';
      render(s, m.body(), label);
      s += '}';
      render(s, m.key(), label);
      return;
    case Tag::Pair:
      if (!label) s += '[';
      render(s, m.first(), label);
      s += ',';
      render(s, m.second(), label);
      if (!label) s += ']';
      return;
    case Tag::PubOf:
      render(s, m.argument(), label);
      s += '+';
      return;
    case Tag::PrivOf:
      render(s, m.argument(), label);
      s += '-';
      return;
    case Tag::Trick:
      s += "Trick";
      return;
  }
}

}  // namespace

void print_message(const Message& m) {
  std::string s;
  render(s, m, false);
  out() << s;
}

std::string message_to_string(const Message& m) {
  std::string s;
  render(s, m, true);
  return s;
}

std::string var_id_to_string(const VarId& v) {
  std::string s;
  append_var_id(s, v);
  return s;
}

void print_var_id(const VarId& v) { out() << var_id_to_string(v); }

std::string var_ids_to_string(const std::vector<VarId>& l) {
  std::string s;
  for (std::size_t i = 0; i < l.size(); ++i) {
    if (i > 0) s += ", ";
    append_var_id(s, l[i]);
  }
  return s;
}

void print_var_ids(const std::vector<VarId>& l) { out() << var_ids_to_string(l); }
