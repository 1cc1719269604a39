#include "formula/formula.h"

#include <cassert>

#include "utils/utils.h"

namespace analyser {

// One formula node. Children are empty handles where the alternative has none;
// the accessors are only called on the alternatives that carry the field.
struct Formula::Node {
  FormulaTag tag;
  std::string index;      // Forall/Exists
  std::string principal;  // Forall/Exists
  Formula first;          // quantifier or Not body, And/Or left side
  Formula second;         // And/Or right side
  Message variable;       // Equal/NotEqual
  Message term;           // Equal/NotEqual/Derive/NotDerive

  explicit Node(FormulaTag t) : tag(t), first(nullptr), second(nullptr) {}
};

namespace {

using NodePtr = std::shared_ptr<Formula::Node>;

NodePtr make_node(FormulaTag tag) {
  return std::make_shared<Formula::Node>(tag);
}

const Formula& constant(bool value) {
  static const Formula::Node true_node(FormulaTag::True);
  static const Formula::Node false_node(FormulaTag::False);
  static const Formula true_formula(unowned(true_node));
  static const Formula false_formula(unowned(false_node));
  return value ? true_formula : false_formula;
}

Formula quantifier(FormulaTag tag, const std::string& index, const std::string& principal,
                   const Formula& body) {
  NodePtr n = make_node(tag);
  n->index = index;
  n->principal = principal;
  n->first = body;
  return Formula(std::move(n));
}

Formula connective(FormulaTag tag, const Formula& a, const Formula& b) {
  NodePtr n = make_node(tag);
  n->first = a;
  n->second = b;
  return Formula(std::move(n));
}

Formula comparison(FormulaTag tag, const Message& variable, const Message& term) {
  NodePtr n = make_node(tag);
  n->variable = variable;
  n->term = term;
  return Formula(std::move(n));
}

Formula knowledge_literal(FormulaTag tag, const Message& term) {
  NodePtr n = make_node(tag);
  n->term = term;
  return Formula(std::move(n));
}

bool is_quantifier(const Formula& f) {
  return f.is(FormulaTag::Forall) || f.is(FormulaTag::Exists);
}
bool is_connective(const Formula& f) {
  return f.is(FormulaTag::And) || f.is(FormulaTag::Or);
}
bool is_comparison(const Formula& f) {
  return f.is(FormulaTag::Equal) || f.is(FormulaTag::NotEqual);
}
bool is_knowledge_literal(const Formula& f) {
  return f.is(FormulaTag::Derive) || f.is(FormulaTag::NotDerive);
}

// The same alternative as f with new children; f itself when nothing changed.
Formula with_body(const Formula& f, const Formula& body) {
  if (body.same(f.body())) return f;
  if (f.is(FormulaTag::Not)) return not_formula(body);
  return quantifier(f.tag(), f.index(), f.principal(), body);
}

Formula with_sides(const Formula& f, const Formula& left, const Formula& right) {
  if (left.same(f.left()) && right.same(f.right())) return f;
  return connective(f.tag(), left, right);
}

// f with every term of a literal replaced by g(term); f itself when no term changes.
template <typename G>
Formula with_terms(const Formula& f, G g) {
  if (is_comparison(f)) {
    Message v = g(f.variable());
    Message t = g(f.term());
    if (v.same(f.variable()) && t.same(f.term())) return f;
    return comparison(f.tag(), v, t);
  }
  if (is_knowledge_literal(f)) {
    Message t = g(f.term());
    return t.same(f.term()) ? f : knowledge_literal(f.tag(), t);
  }
  return f;
}

// The alternative that negation turns tag into (Not has none and maps to itself).
FormulaTag opposite(FormulaTag tag) {
  switch (tag) {
    case FormulaTag::True:
      return FormulaTag::False;
    case FormulaTag::False:
      return FormulaTag::True;
    case FormulaTag::Forall:
      return FormulaTag::Exists;
    case FormulaTag::Exists:
      return FormulaTag::Forall;
    case FormulaTag::And:
      return FormulaTag::Or;
    case FormulaTag::Or:
      return FormulaTag::And;
    case FormulaTag::Equal:
      return FormulaTag::NotEqual;
    case FormulaTag::NotEqual:
      return FormulaTag::Equal;
    case FormulaTag::Derive:
      return FormulaTag::NotDerive;
    case FormulaTag::NotDerive:
      return FormulaTag::Derive;
    case FormulaTag::Not:
      break;
  }
  return FormulaTag::Not;
}

// The negation normal form of Not(g).
Formula negated_nnf(const Formula& g) {
  switch (g.tag()) {
    case FormulaTag::True:
    case FormulaTag::False:
      return constant(g.is(FormulaTag::False));
    case FormulaTag::Not:
      return to_nnf(g.body());
    case FormulaTag::Forall:
    case FormulaTag::Exists:
      return quantifier(opposite(g.tag()), g.index(), g.principal(), negated_nnf(g.body()));
    case FormulaTag::And:
    case FormulaTag::Or:
      return connective(opposite(g.tag()), negated_nnf(g.left()), negated_nnf(g.right()));
    case FormulaTag::Equal:
    case FormulaTag::NotEqual:
      return comparison(opposite(g.tag()), g.variable(), g.term());
    case FormulaTag::Derive:
    case FormulaTag::NotDerive:
      return knowledge_literal(opposite(g.tag()), g.term());
  }
  return g;
}

// Whether a nonce or key name is the placeholder "_" x "_" base of index x.
bool names_index_placeholder(const std::string& name, const std::string& x) {
  if (name.empty() || name[0] != '_') return false;
  const std::size_t u = name.rfind('_');
  return u >= 1 && name.compare(1, u - 1, x) == 0;
}

Message instantiate_var(const Message& v, const std::string& x, std::int64_t i,
                        const std::string& P) {
  if (v.var().owner != x) return v;
  return var(VarId{v.var().name, P, i});
}

void collect_literals(const Formula& f, Clause& clause) {
  if (f.is(FormulaTag::And)) {
    collect_literals(f.left(), clause);
    collect_literals(f.right(), clause);
  } else {
    clause.push_back(f);
  }
}

void collect_clauses(const Formula& f, ClauseList& clauses) {
  if (f.is(FormulaTag::Or)) {
    collect_clauses(f.left(), clauses);
    collect_clauses(f.right(), clauses);
  } else {
    Clause clause;
    collect_literals(f, clause);
    clauses.push_back(std::move(clause));
  }
}

bool contains(const Clause& clause, const Formula& literal) {
  for (const Formula& l : clause) {
    if (l == literal) return true;
  }
  return false;
}

bool included(const Clause& a, const Clause& b) {
  for (const Formula& l : a) {
    if (!contains(b, l)) return false;
  }
  return true;
}

// Same length and every literal of each occurs in the other.
bool is_repeat(const Clause& a, const Clause& b) {
  return a.size() == b.size() && included(a, b) && included(b, a);
}

ClauseList without_repeats(const ClauseList& clauses) {
  ClauseList kept;
  for (const Clause& c : clauses) {
    bool repeat = false;
    for (const Clause& k : kept) {
      if (is_repeat(k, c)) {
        repeat = true;
        break;
      }
    }
    if (!repeat) kept.push_back(c);
  }
  return kept;
}

}  // namespace

void print_formula(std::ostream& os, const Formula& f) {
  switch (f.tag()) {
    case FormulaTag::True:
      os << " T ";
      return;
    case FormulaTag::False:
      os << " F ";
      return;
    case FormulaTag::Forall:
    case FormulaTag::Exists:
      os << (f.is(FormulaTag::Forall) ? "{FA " : "{EX ") << f.index() << ':' << f.principal()
         << "| ";
      print_formula(os, f.body());
      os << '}';
      return;
    case FormulaTag::Not:
      os << "[not ";
      print_formula(os, f.body());
      os << ']';
      return;
    case FormulaTag::And:
      os << '{';
      print_formula(os, f.left());
      os << " and ";
      print_formula(os, f.right());
      os << '}';
      return;
    case FormulaTag::Or:
      os << '[';
      print_formula(os, f.left());
      os << " or ";
      print_formula(os, f.right());
      os << ']';
      return;
    case FormulaTag::Equal:
    case FormulaTag::NotEqual:
    case FormulaTag::Derive:
    case FormulaTag::NotDerive: {
      std::string text;
      append_literal(text, f, [](std::string& s, const Message& m) {
        append_message(s, m, Rendering::Printed);
      });
      os << text;
      return;
    }
  }
}

void append_literal(std::string& s, const Formula& literal,
                    const std::function<void(std::string&, const Message&)>& append_term) {
  if (literal.is(FormulaTag::Equal) || literal.is(FormulaTag::NotEqual)) {
    s += '(';
    append_term(s, literal.variable());
    s += literal.is(FormulaTag::Equal) ? " = " : " <> ";
    append_term(s, literal.term());
    s += ')';
  } else if (literal.is(FormulaTag::Derive) || literal.is(FormulaTag::NotDerive)) {
    s += literal.is(FormulaTag::Derive) ? "( K :> " : "( K !:> ";
    append_term(s, literal.term());
    s += ')';
  }
}

Formula::Formula() : node_(constant(true).node_) {}

FormulaTag Formula::tag() const {
  return node_->tag;
}
const std::string& Formula::index() const {
  return node_->index;
}
const std::string& Formula::principal() const {
  return node_->principal;
}
const Formula& Formula::body() const {
  return node_->first;
}
const Formula& Formula::left() const {
  return node_->first;
}
const Formula& Formula::right() const {
  return node_->second;
}
const Message& Formula::variable() const {
  return node_->variable;
}
const Message& Formula::term() const {
  return node_->term;
}

bool operator==(const Formula& a, const Formula& b) {
  if (a.same(b)) return true;
  if (a.tag() != b.tag()) return false;
  switch (a.tag()) {
    case FormulaTag::True:
    case FormulaTag::False:
      return true;
    case FormulaTag::Forall:
    case FormulaTag::Exists:
      return a.index() == b.index() && a.principal() == b.principal() && a.body() == b.body();
    case FormulaTag::Not:
      return a.body() == b.body();
    case FormulaTag::And:
    case FormulaTag::Or:
      return a.left() == b.left() && a.right() == b.right();
    case FormulaTag::Equal:
    case FormulaTag::NotEqual:
      return a.variable() == b.variable() && a.term() == b.term();
    case FormulaTag::Derive:
    case FormulaTag::NotDerive:
      return a.term() == b.term();
  }
  return false;
}

namespace {

// Equal literals have equal hashes.
std::size_t literal_hash(const Formula& literal) {
  std::size_t h = static_cast<std::size_t>(literal.tag());
  switch (literal.tag()) {
    case FormulaTag::Equal:
    case FormulaTag::NotEqual:
      h = h * 1000003u ^ literal.variable().hash();
      [[fallthrough]];
    case FormulaTag::Derive:
    case FormulaTag::NotDerive:
      return h * 1000003u ^ literal.term().hash();
    default:
      return h;
  }
}

}  // namespace

std::uint32_t DistinctLiterals::index(const Formula& literal) {
  const std::size_t h = literal_hash(literal);
  std::size_t i = 0;
  while (i < literals_.size() && !(hashes_[i] == h && literals_[i] == literal)) ++i;
  if (i == literals_.size()) {
    literals_.push_back(literal);
    hashes_.push_back(h);
  }
  return static_cast<std::uint32_t>(i);
}

Formula formula_true() {
  return constant(true);
}
Formula formula_false() {
  return constant(false);
}
Formula forall_formula(const std::string& index, const std::string& principal, const Formula& b) {
  return quantifier(FormulaTag::Forall, index, principal, b);
}
Formula exists_formula(const std::string& index, const std::string& principal, const Formula& b) {
  return quantifier(FormulaTag::Exists, index, principal, b);
}
Formula not_formula(const Formula& f) {
  NodePtr n = make_node(FormulaTag::Not);
  n->first = f;
  return Formula(std::move(n));
}
Formula and_formula(const Formula& a, const Formula& b) {
  return connective(FormulaTag::And, a, b);
}
Formula or_formula(const Formula& a, const Formula& b) {
  return connective(FormulaTag::Or, a, b);
}
Formula equal_formula(const Message& variable, const Message& term) {
  return comparison(FormulaTag::Equal, variable, term);
}
Formula not_equal_formula(const Message& variable, const Message& term) {
  return comparison(FormulaTag::NotEqual, variable, term);
}
Formula derive_formula(const Message& term) {
  return knowledge_literal(FormulaTag::Derive, term);
}
Formula not_derive_formula(const Message& term) {
  return knowledge_literal(FormulaTag::NotDerive, term);
}

void print_clauses(std::ostream& os, const ClauseList& clauses) {
  for (const Clause& clause : clauses) {
    for (const Formula& literal : clause) {
      print_formula(os, literal);
      os << '\n';
    }
    os << '\n';
  }
}

Message instantiate_term(const Message& t, const std::string& x, std::int64_t i,
                         const std::string& P) {
  switch (t.tag()) {
    case Tag::Agent:
    case Tag::PubKey:
    case Tag::PrivKey:
      if (t.name().size() == P.size() + x.size() && t.name().starts_with(P) &&
          t.name().ends_with(x)) {
        return atom(t.tag(), P, i);
      }
      return t;
    case Tag::Nonce:
    case Tag::SymKey:
      if (!names_index_placeholder(t.name(), x)) return t;
      return atom(t.tag(), t.name().substr(t.name().rfind('_') + 1), i);
    case Tag::Var:
      return instantiate_var(t, x, i, P);
    case Tag::PubOf:
    case Tag::PrivOf: {
      if (!t.argument().is(Tag::Var)) return t;
      Message v = instantiate_var(t.argument(), x, i, P);
      if (v.same(t.argument())) return t;
      return t.is(Tag::PubOf) ? pub_of(v) : priv_of(v);
    }
    case Tag::Enc:
    case Tag::Pair: {
      Message a = instantiate_term(t.first(), x, i, P);
      Message b = instantiate_term(t.second(), x, i, P);
      if (a.same(t.first()) && b.same(t.second())) return t;
      return t.is(Tag::Enc) ? enc(a, b) : pair(a, b);
    }
    default:
      return t;
  }
}

Formula instantiate(const Formula& f, const std::string& x, std::int64_t i, const std::string& P) {
  if (is_quantifier(f)) return with_body(f, instantiate(f.body(), x, i, P));
  if (is_connective(f)) {
    return with_sides(f, instantiate(f.left(), x, i, P), instantiate(f.right(), x, i, P));
  }
  // Not is left alone: only negation normal forms are instantiated.
  return with_terms(f, [&](const Message& t) { return instantiate_term(t, x, i, P); });
}

Formula to_nnf(const Formula& f) {
  if (f.is(FormulaTag::Not)) return negated_nnf(f.body());
  if (is_quantifier(f)) return with_body(f, to_nnf(f.body()));
  if (is_connective(f)) return with_sides(f, to_nnf(f.left()), to_nnf(f.right()));
  return f;
}

Formula expand_quantifiers(const Formula& f, const Context& context) {
  if (is_connective(f)) {
    return with_sides(f, expand_quantifiers(f.left(), context),
                      expand_quantifiers(f.right(), context));
  }
  if (!is_quantifier(f)) return f;
  const bool universal = f.is(FormulaTag::Forall);
  const Formula body = expand_quantifiers(f.body(), context);
  const std::vector<std::int64_t> instances = instances_named(context, f.principal());
  if (instances.empty()) return constant(universal);
  // Joined to the right, in instance order: b1 op (b2 op b3).
  Formula result = instantiate(body, f.index(), instances.back(), f.principal());
  for (std::size_t k = instances.size() - 1; k-- > 0;) {
    Formula instance = instantiate(body, f.index(), instances[k], f.principal());
    result = universal ? and_formula(instance, result) : or_formula(instance, result);
  }
  return result;
}

Formula to_dnf(const Formula& f) {
  if (f.is(FormulaTag::Or)) return with_sides(f, to_dnf(f.left()), to_dnf(f.right()));
  if (!f.is(FormulaTag::And)) return f;
  const Formula& a = f.left();
  const Formula& b = f.right();
  if (a.is(FormulaTag::Or)) {
    // The operands change order here: b comes first in both conjunctions.
    return or_formula(to_dnf(and_formula(b, a.left())), to_dnf(and_formula(b, a.right())));
  }
  if (b.is(FormulaTag::Or)) {
    return or_formula(to_dnf(and_formula(a, b.left())), to_dnf(and_formula(a, b.right())));
  }
  Formula a2 = to_dnf(a);
  Formula b2 = to_dnf(b);
  if (a2 == a && b2 == b) return with_sides(f, a2, b2);
  return to_dnf(and_formula(a2, b2));
}

ClauseList to_clauses(const Formula& f) {
  ClauseList clauses;
  collect_clauses(f, clauses);
  return clauses;
}

Formula expand_for(const Formula& f, const Context& context) {
  return expand_quantifiers(to_nnf(f), context);
}

ClauseList clause_form(const Formula& expanded) {
  return without_repeats(to_clauses(to_dnf(expanded)));
}

ClauseList prepare(const Formula& f, const Context& context) {
  return clause_form(expand_for(f, context));
}

ClauseList map_clause_terms(const ClauseList& clauses, const Assignment& a) {
  if (is_empty(a)) return clauses;
  ClauseList result;
  result.reserve(clauses.size());
  for (const Clause& clause : clauses) {
    Clause mapped;
    mapped.reserve(clause.size());
    for (const Formula& literal : clause) mapped.push_back(map_literal_terms(literal, a));
    result.push_back(std::move(mapped));
  }
  return result;
}

Formula map_literal_terms(const Formula& literal, const Assignment& a) {
  return with_terms(literal, [&](const Message& t) { return apply(a, t); });
}

Formula map_literal_terms(const Formula& literal, const std::function<Message(const Message&)>& f) {
  return with_terms(literal, f);
}

std::vector<Formula> violated_literals(const ClauseList& clauses, const ClauseList& evaluated) {
  assert(clauses.size() == evaluated.size());
  std::vector<Formula> violated;
  for (std::size_t c = 0; c < clauses.size() && c < evaluated.size(); ++c) {
    const Clause& clause = clauses[c];
    const Clause& decided = evaluated[c];
    assert(clause.size() == decided.size());
    for (std::size_t l = 0; l < clause.size() && l < decided.size(); ++l) {
      if (decided[l].is(FormulaTag::False) && !clause[l].is(FormulaTag::False)) {
        violated.push_back(clause[l]);
      }
    }
  }
  return utils::remove_duplicates(violated);
}

}  // namespace analyser
