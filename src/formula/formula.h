// Formulas over traces and their clause form.
//
// A Formula is an immutable handle like Message. The formula file's property and
// the join components are prepared, per session, into a clause list: negation
// normal form, quantifiers expanded over the session's principal instances,
// disjunctive normal form, flattened into clauses (conjunctions of literals) read
// as their disjunction.
//
// Ordering invariants (the verifier decides literals in clause-list order):
//  1. A quantifier expands over the instances of its principal in context order,
//     joined to the right: b1 op (b2 op b3).
//  2. Distribution: (l or r) and b becomes (b and l) or (b and r), b first;
//     otherwise a and (l or r) becomes (a and l) or (a and r).
//  3. The clauses are the disjuncts left to right, the literals of each its
//     conjuncts left to right; of repeated clauses the first is kept.
//  4. violated_literals lists literals in clause order, first occurrences only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "assignment/assignment.h"
#include "message/message.h"
#include "principal/context.h"

namespace analyser {

enum class FormulaTag : std::uint8_t {
  True,
  False,
  Forall,
  Exists,
  Not,
  And,
  Or,
  Equal,
  NotEqual,
  Derive,
  NotDerive,
};

class Formula {
 public:
  struct Node;

  Formula();  // True
  explicit Formula(std::shared_ptr<const Node> node) : node_(std::move(node)) {}

  FormulaTag tag() const;
  bool is(FormulaTag t) const { return tag() == t; }
  // Forall/Exists: index variable, principal name and body.
  const std::string& index() const;
  const std::string& principal() const;
  const Formula& body() const;
  // Not: operand (as body()). And/Or: both sides.
  const Formula& left() const;
  const Formula& right() const;
  // Equal/NotEqual: the variable side and the term; Derive/NotDerive: term().
  const Message& variable() const;
  const Message& term() const;

  bool same(const Formula& other) const { return node_ == other.node_; }
  friend bool operator==(const Formula& a, const Formula& b);

 private:
  std::shared_ptr<const Node> node_;  // never null
};

Formula formula_true();
Formula formula_false();
Formula forall_formula(const std::string& index, const std::string& principal, const Formula& b);
Formula exists_formula(const std::string& index, const std::string& principal, const Formula& b);
Formula not_formula(const Formula& f);
Formula and_formula(const Formula& a, const Formula& b);
Formula or_formula(const Formula& a, const Formula& b);
Formula equal_formula(const Message& variable, const Message& term);
Formula not_equal_formula(const Message& variable, const Message& term);
Formula derive_formula(const Message& term);
Formula not_derive_formula(const Message& term);

// Distinct literals in order of first appearance, each found again by its
// content, as the verifier keeps them to decide each literal once.
class DistinctLiterals {
 public:
  // The position of literal, added at the end when it is new.
  std::uint32_t index(const Formula& literal);
  // The literals, in order.
  std::vector<Formula> take() && { return std::move(literals_); }

 private:
  std::vector<Formula> literals_;
  std::vector<std::size_t> hashes_;  // of each literal, a cheap test before comparing
};

// A conjunction of literals (True, False, Equal, NotEqual, Derive, NotDerive).
using Clause = std::vector<Formula>;
// A disjunction of clauses.
using ClauseList = std::vector<Clause>;

// Writes f on os, no line end.
void print_formula(std::ostream& os, const Formula& f);
// Appends the text print_formula writes for an equality or derivability
// literal, each of its terms written by append_term.
void append_literal(std::string& s, const Formula& literal,
                    const std::function<void(std::string&, const Message&)>& append_term);
// Each literal on a line, one more "\n" after each clause.
void print_clauses(std::ostream& os, const ClauseList& clauses);

// Index variable x replaced by instance i of principal P.
Message instantiate_term(const Message& t, const std::string& x, std::int64_t i,
                         const std::string& P);
Formula instantiate(const Formula& f, const std::string& x, std::int64_t i, const std::string& P);
Formula to_nnf(const Formula& f);
Formula expand_quantifiers(const Formula& f, const Context& context);
Formula to_dnf(const Formula& f);
ClauseList to_clauses(const Formula& f);
// f in negation normal form with its quantifiers expanded over the principals of
// context: a tree of And and Or over literals, which prepare lists as clauses.
Formula expand_for(const Formula& f, const Context& context);
// The clause list of an expanded formula (expand_for): its disjunctive normal
// form flattened, repeated clauses (same literals in any order) removed.
ClauseList clause_form(const Formula& expanded);
// The clause list of f for the traces of a session whose principals are context:
// clause_form(expand_for(f, context)).
ClauseList prepare(const Formula& f, const Context& context);

// a applied to every term of every literal.
ClauseList map_clause_terms(const ClauseList& clauses, const Assignment& a);
// a applied to the terms of one literal; the literal itself when none changes.
Formula map_literal_terms(const Formula& literal, const Assignment& a);
// f applied to the terms of one literal, the variable side of an equality first;
// the literal itself when none changes.
Formula map_literal_terms(const Formula& literal, const std::function<Message(const Message&)>& f);
// The literals whose evaluated counterpart is False (False itself excepted),
// repeats removed.
std::vector<Formula> violated_literals(const ClauseList& clauses, const ClauseList& evaluated);

}  // namespace analyser
