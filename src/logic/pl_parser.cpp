#include "logic/pl_parser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "parser/syntax.h"
#include "parser/tokenizer.h"

namespace pl_parser {
namespace {

using tokenizer::Token;
using tokenizer::TokenKind;

constexpr const char* kMessages[] = {
    "Ok.",
    "Comment not opened",
    "Comment not closed",
    "Unknown token",
    "Missing (",
    "Missing )",
    "Missing ;",
    "Missing :",
    "Missing .",
    "Identifier expected",
    "Unexpected token",
    "Wrong key",
    "Wrong variable",
    "Malformed expression",
    "Principal name should be uppercase",
    "Missing variable in equality",
    "Missing ,",
    "Missing {",
    "Missing }",
    "Missing index",
};

enum Code {
  kUnknownToken = 3,
  kMissingClose = 5,
  kMissingSemicolon = 6,
  kMissingColon = 7,
  kMissingDot = 8,
  kIdentifierExpected = 9,
  kUnexpectedToken = 10,
  kWrongVariable = 12,
  kMalformedExpression = 13,
  kPrincipalNotUppercase = 14,
  kMissingComma = 16,
  kMissingBrace = 18,
  kMissingIndex = 19,
};

// The error state of the three files read by this parser, never reset; the codes
// index kMessages.
syntax::ErrorState errors;

void record(int code) {
  errors.record(code);
}

[[noreturn]] void fail(int code) {
  record(code);
  throw PlParseError();
}

Token read_token() {
  return syntax::read_token<PlParseError>(errors);
}

// ---- Terms ----

// Decimal digits, or a 0x, 0o or 0b prefix with digits of that base; the value
// must fit a signed 64-bit integer.
std::optional<std::int64_t> parse_integer(std::string_view s) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0') {
    if (s[1] == 'x') base = 16;
    if (s[1] == 'o') base = 8;
    if (s[1] == 'b') base = 2;
    if (base != 10) s.remove_prefix(2);
  }
  if (s.empty() || s[0] == '-') return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

bool is_principal_name(std::string_view s) {
  for (char c : s) {
    if (!((c >= 'A' && c <= 'Z') || c == '_')) return false;
  }
  return true;
}

// s split at its last "_" into (before, after); "Missing index" when there is no
// "_" or it ends s.
std::pair<std::string, std::string> split_index(const std::string& s) {
  const std::size_t u = s.rfind('_');
  if (u == std::string::npos || u + 1 == s.size()) fail(kMissingIndex);
  return {s.substr(0, u), s.substr(u + 1)};
}

// The variable prefix "_" index, or the index placeholder Var(prefix, index, 0).
Message variable_atom(const std::string& prefix, const std::string& index) {
  if (std::optional<std::int64_t> n = parse_integer(index)) {
    auto [name, owner] = split_index(prefix);
    return var(VarId{std::move(name), std::move(owner), *n});
  }
  return var(VarId{prefix, index, 0});
}

// The naming convention of formula atoms: A_1 agent, A_1+ / A_1- its keys, na_2
// nonce, kab_1 key, x_A_1 variable; a non-numeric index names a quantifier's
// index variable (Ai, _i_na, Var(y, i, 0)).
Message atom_of_text(const std::string& s) {
  const auto [prefix, suffix] = split_index(s);
  const char sign = s.back() == '+' || s.back() == '-' ? s.back() : '\0';
  const std::string bare = suffix.substr(0, suffix.size() - 1);
  if (is_principal_name(prefix)) {
    if (sign != '\0') {
      const Tag tag = sign == '+' ? Tag::PubKey : Tag::PrivKey;
      if (std::optional<std::int64_t> n = parse_integer(bare)) return atom(tag, prefix, *n);
      return atom(tag, prefix + bare, 0);
    }
    if (std::optional<std::int64_t> n = parse_integer(suffix)) return agent(prefix, *n);
    return agent(prefix + suffix, 0);
  }
  if (s[0] == 'n' || s[0] == 'k') {
    const Tag tag = s[0] == 'n' ? Tag::Nonce : Tag::SymKey;
    if (std::optional<std::int64_t> n = parse_integer(suffix)) return atom(tag, prefix, *n);
    return atom(tag, "_" + suffix + "_" + prefix, 0);
  }
  if (sign == '+') return pub_of(variable_atom(prefix, bare));
  if (sign == '-') return priv_of(variable_atom(prefix, bare));
  return variable_atom(prefix, suffix);
}

// An identifier, with a following "+" or "-" appended, classified by its text.
Message atom_after(const Token& ident) {
  std::string text = ident.text;
  Token next = read_token();
  if (next.is_symbol('+') || next.is_symbol('-')) {
    text += next.text;
  } else {
    tokenizer::unget_token(next);
  }
  return atom_of_text(text);
}

Message read_atom() {
  Token t = read_token();
  if (!t.is(TokenKind::Ident)) fail(kIdentifierExpected);
  return atom_after(t);
}

void expect_symbol(char c, int code) {
  if (!read_token().is_symbol(c)) fail(code);
}

// term := atom | "(" term "," term ")" | "{" term "}" atom. depth counts the
// enclosing pairs and encryptions.
Message read_term(int depth = 0) {
  if (depth > kMaxNesting) throw stack_overflow();
  Token t = read_token();
  if (t.is_symbol('(')) {
    Message first = read_term(depth + 1);
    expect_symbol(',', kMissingComma);
    Message second = read_term(depth + 1);
    expect_symbol(')', kMissingClose);
    return pair(first, second);
  }
  if (t.is_symbol('{')) {
    Message body = read_term(depth + 1);
    expect_symbol('}', kMissingBrace);
    return enc(body, read_atom());
  }
  if (t.is(TokenKind::Ident)) return atom_after(t);
  fail(kUnexpectedToken);
}

// ---- Formulas ----

enum class ItemKind : std::uint8_t {
  Done,
  ForallMark,
  ExistsMark,
  NameItem,
  NotMark,
  AndMark,
  OrMark,
  ImpliesMark,
  ParenMark,
};

struct Item {
  ItemKind kind = ItemKind::Done;
  Formula formula;        // Done
  int depth = 0;          // Done: nesting depth of formula
  std::string name;       // NameItem text, quantifier index variable
  std::string principal;  // quantifier
};

// The top of the stack is its back.
using Stack = std::vector<Item>;

// The level of a reduction: how far it may reach below the top.
constexpr int kAndLevel = 1;
constexpr int kOrLevel = 1;
constexpr int kImpliesLevel = 2;
constexpr int kTopLevel = 3;  // ")" and the end: everything, quantifiers included

int precedence(ItemKind kind) {
  switch (kind) {
    case ItemKind::NotMark:
      return 0;
    case ItemKind::AndMark:
    case ItemKind::OrMark:
      return 1;
    case ItemKind::ImpliesMark:
      return 2;
    case ItemKind::ForallMark:
    case ItemKind::ExistsMark:
      return 3;
    default:
      return -1;
  }
}

// Nesting deeper than the limit, on the stack or in a built formula, ends the run.
void push(Stack& stack, Item item) {
  stack.push_back(std::move(item));
  if (stack.size() > static_cast<std::size_t>(kMaxNesting)) throw stack_overflow();
}

Item done(Formula f, int depth) {
  if (depth > kMaxNesting) throw stack_overflow();
  return Item{ItemKind::Done, std::move(f), depth, {}, {}};
}

Item mark(ItemKind kind) {
  return Item{kind, Formula(), 0, {}, {}};
}

// One reduction on the top of the stack at the given level; false when none applies.
bool reduce(Stack& stack, int level) {
  const std::size_t n = stack.size();
  if (n < 2 || stack[n - 1].kind != ItemKind::Done) return false;
  const Item& f = stack[n - 1];
  const Item& y = stack[n - 2];
  const int prec = precedence(y.kind);
  if (prec < 0 || level < prec) return false;
  Item result;
  if (y.kind == ItemKind::NotMark) {
    result = done(not_formula(f.formula), f.depth + 1);
  } else if (y.kind == ItemKind::ForallMark || y.kind == ItemKind::ExistsMark) {
    Formula q = y.kind == ItemKind::ForallMark ? forall_formula(y.name, y.principal, f.formula)
                                               : exists_formula(y.name, y.principal, f.formula);
    result = done(std::move(q), f.depth + 1);
  } else {
    if (n < 3 || stack[n - 3].kind != ItemKind::Done) return false;
    const Item& g = stack[n - 3];
    const int depth = std::max(g.depth, f.depth) + 1;
    switch (y.kind) {
      case ItemKind::AndMark:
        result = done(and_formula(g.formula, f.formula), depth);
        break;
      case ItemKind::OrMark:
        result = done(or_formula(g.formula, f.formula), depth);
        break;
      default:  // implication is kept as Or(Not g, f)
        result =
            done(or_formula(not_formula(g.formula), f.formula), std::max(g.depth + 1, f.depth) + 1);
        break;
    }
    stack.pop_back();
  }
  stack.pop_back();
  stack.back() = std::move(result);
  return true;
}

void reduce_all(Stack& stack, int level) {
  while (reduce(stack, level)) {
  }
}

void reduce_or_fail(Stack& stack) {
  if (!reduce(stack, kTopLevel)) throw PlCantReduce();
}

// The next formula token: ":>", "<>" and "=>" are joined from their two symbols.
Token read_formula_token() {
  Token t = read_token();
  if (t.is_symbol(':') || t.is_symbol('<') || t.is_symbol('=')) {
    Token next = read_token();
    if (next.is_symbol('>')) {
      t.text += '>';
    } else {
      tokenizer::unget_token(next);
    }
  }
  return t;
}

// "P . x :" after forall/exists: x ranges over the instances of principal P.
Item read_binder(ItemKind kind) {
  Token principal = read_token();
  Token dot = read_token();
  if (!principal.is(TokenKind::Ident)) fail(kUnexpectedToken);
  if (!dot.is_symbol('.')) fail(kMissingDot);
  if (!is_principal_name(principal.text)) fail(kPrincipalNotUppercase);
  Token index = read_token();
  if (!index.is(TokenKind::Ident)) fail(kUnexpectedToken);
  if (!read_token().is_symbol(':')) fail(kMissingColon);
  return Item{kind, Formula(), 0, index.text, principal.text};
}

// "name = term" or "name <> term": the term is read before the name is classified.
void shift_comparison(Stack& stack, bool equal) {
  Message term = read_term();
  Message variable = atom_of_text(stack.back().name);
  if (!variable.is(Tag::Var)) fail(kWrongVariable);
  stack.back() = done(equal ? equal_formula(variable, term) : not_equal_formula(variable, term), 1);
}

bool name_on_top(const Stack& stack) {
  return !stack.empty() && stack.back().kind == ItemKind::NameItem;
}

void shift_close(Stack& stack) {
  for (;;) {
    const std::size_t n = stack.size();
    if (n >= 2 && stack[n - 1].kind == ItemKind::Done && stack[n - 2].kind == ItemKind::ParenMark) {
      stack[n - 2] = std::move(stack[n - 1]);
      stack.pop_back();
      return;
    }
    reduce_or_fail(stack);
  }
}

void shift_operator(Stack& stack, ItemKind kind, int level) {
  reduce_all(stack, level);
  push(stack, mark(kind));
}

void shift_ident(Stack& stack, const Token& t) {
  const std::string& s = t.text;
  if (s == "true" || s == "false") {
    push(stack, done(s == "true" ? formula_true() : formula_false(), 1));
  } else if (s == "not") {
    push(stack, mark(ItemKind::NotMark));
  } else if (s == "and") {
    shift_operator(stack, ItemKind::AndMark, kAndLevel);
  } else if (s == "or") {
    shift_operator(stack, ItemKind::OrMark, kOrLevel);
  } else if (s == "implies") {
    shift_operator(stack, ItemKind::ImpliesMark, kImpliesLevel);
  } else if (s == "forall" || s == "exists") {
    push(stack, read_binder(s == "forall" ? ItemKind::ForallMark : ItemKind::ExistsMark));
  } else if (s == "derive") {
    push(stack, done(derive_formula(read_term()), 1));
  } else if (s == "equal" && name_on_top(stack)) {
    shift_comparison(stack, true);
  } else {
    push(stack, Item{ItemKind::NameItem, Formula(), 0, s, {}});
  }
}

void shift_symbol(Stack& stack, const Token& t) {
  const std::string& s = t.text;
  if (s == "!") {
    push(stack, mark(ItemKind::NotMark));
  } else if (s == "&") {
    shift_operator(stack, ItemKind::AndMark, kAndLevel);
  } else if (s == "|") {
    shift_operator(stack, ItemKind::OrMark, kOrLevel);
  } else if (s == "=>") {
    shift_operator(stack, ItemKind::ImpliesMark, kImpliesLevel);
  } else if (s == ":>") {
    push(stack, done(derive_formula(read_term()), 1));
  } else if ((s == "=" || s == "<>") && name_on_top(stack)) {
    shift_comparison(stack, s == "=");
  } else if (s == "(") {
    push(stack, mark(ItemKind::ParenMark));
  } else if (s == ")") {
    shift_close(stack);
  } else {
    fail(kUnknownToken);
  }
}

// Reads up to and including ";" and returns the stack as it was before it.
Stack read_formula_stack() {
  Stack stack;
  for (;;) {
    Token t = read_formula_token();
    if (t.is(TokenKind::EndOfInput)) fail(kMissingSemicolon);
    if (t.is_symbol(';')) return stack;
    if (t.is(TokenKind::Ident)) {
      shift_ident(stack, t);
    } else {
      shift_symbol(stack, t);
    }
  }
}

Formula finish(Stack& stack) {
  for (;;) {
    if (stack.empty()) fail(kMissingSemicolon);
    if (stack.size() == 1 && stack.back().kind == ItemKind::Done) return stack.back().formula;
    reduce_or_fail(stack);
  }
}

}  // namespace

Formula parse_formula() {
  try {
    Stack stack = read_formula_stack();
    return finish(stack);
  } catch (const PlParseError&) {
    return formula_false();
  } catch (const PlCantReduce&) {
    record(kMalformedExpression);
    return formula_false();
  }
}

std::vector<Message> parse_knowledge() {
  std::vector<Message> terms;
  for (;;) {
    // The run pairs the terms into one right-nested term: their number is nesting.
    if (terms.size() >= static_cast<std::size_t>(kMaxNesting)) throw stack_overflow();
    terms.push_back(read_term());
    Token t = read_token();
    if (t.is_symbol(';')) return terms;
    if (!t.is_symbol(',')) fail(kMissingSemicolon);
  }
}

int error_code() {
  return errors.code;
}

void reset() {
  errors = syntax::ErrorState();
}

std::string error_message() {
  return syntax::error_line(errors, kMessages[errors.code]);
}

}  // namespace pl_parser
