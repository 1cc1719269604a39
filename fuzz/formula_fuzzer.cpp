// Fuzz target: the input is a formula file followed by a join components file,
// both read from one lexer, one after the other; and then, on its own, a file
// of claims (every formula of it, with names and texts), as the report reads
// the logic file.
// Each formula read is rendered and brought to the normal forms the search
// uses, over a session of the Needham-Schroeder roles A and B.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formula/claims.h"
#include "formula/formula.h"
#include "fuzz_support.h"
#include "principal/context.h"
#include "principal/principal.h"

using namespace analyser;

namespace {

// A session of one A (instance 1) and one B (instance 2): quantifiers expand to
// one copy each, so expansion stays linear in the size of the formula.
Context session() {
  const VarId b{"b", "", 0};
  const VarId a{"a", "", 0};
  const Message first = pair(nonce("na", 0), agent("A", 0));
  const Process role_a =
      output(enc(first, pub_of(var(b))),
             input(enc(pair(nonce("na", 0), bind_var(VarId{"y", "", 0})), priv_key("A", 0)),
                   nil_process()));
  const Process role_b = input(enc(pair(bind_var(VarId{"x", "", 0}), var(a)), priv_key("B", 0)),
                               output(enc(nonce("nb", 0), pub_of(var(a))), nil_process()));
  return {make_principal("B", 2, {a}, role_b), make_principal("A", 1, {b}, role_a)};
}

// The clause form is exponential in the number of binary connectives by
// design; it is only built for formulas small enough to stay quick.
constexpr int kMaxConnectivesForClauses = 10;

int connectives(const Formula& f) {
  int count = 0;
  std::vector<const Formula*> todo{&f};
  while (!todo.empty()) {
    const Formula* g = todo.back();
    todo.pop_back();
    switch (g->tag()) {
      case FormulaTag::And:
      case FormulaTag::Or:
        ++count;
        todo.push_back(&g->left());
        todo.push_back(&g->right());
        break;
      case FormulaTag::Not:
      case FormulaTag::Forall:
      case FormulaTag::Exists:
        todo.push_back(&g->body());
        break;
      default:
        break;
    }
  }
  return count;
}

void inspect(std::ostream& os, const Formula& f, const Context& context) {
  print_formula(os, f);
  const Formula expanded = expand_quantifiers(to_nnf(f), context);
  print_formula(os, expanded);
  if (connectives(expanded) <= kMaxConnectivesForClauses) {
    print_clauses(os, prepare(f, context));
    print_clauses(os, prepare(not_formula(f), context));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Context context = session();
  fuzz::SilencedOutput silenced;
  const std::string text = fuzz::as_text(data, size);
  tokenizer::Lexer lexer(text);
  try {
    for (int file = 0; file < 2; ++file)
      inspect(silenced.out(), formula_parser::parse_formula(lexer), context);
  } catch (const syntax::SyntaxError& error) {
    fuzz::report(silenced.out(), error);
  } catch (const Failure& failure) {
    silenced.out() << failure.description();
  }
  tokenizer::Lexer claims_lexer(text);
  try {
    for (const Claim& claim : parse_claims(claims_lexer, text)) {
      silenced.out() << claim.name << claim.text;
      inspect(silenced.out(), claim.formula, context);
    }
  } catch (const syntax::SyntaxError& error) {
    fuzz::report(silenced.out(), error);
  } catch (const Failure& failure) {
    silenced.out() << failure.description();
  }
  return 0;
}
