#include "formula/formula_parser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "parser/syntax.h"
#include "parser/tokenizer.h"

namespace analyser {

namespace formula_parser {
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

// The formula cannot be reduced: "Malformed expression".
struct CantReduce {};

// The explicit stack of the shift-reduce parser of formulas.

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
  Token start;            // the item's first token, for diagnostics
  Formula formula;        // Done
  int depth = 0;          // Done: nesting depth of formula
  std::string name;       // NameItem text, quantifier index variable
  std::string principal;  // quantifier
};

// The top of the stack is its back.
using Stack = std::vector<Item>;

// The reading of one formula, join components or knowledge file, and the
// pending error, whose codes index kMessages.
class FileReader {
 public:
  explicit FileReader(tokenizer::Lexer& lexer)
      : reader_(lexer, kMessages, "Pl_parser.ParseError") {}

  Formula parse_formula();
  std::vector<FormulaSpan> parse_formulas();
  KnowledgeFile parse_knowledge();

 private:
  // Records code with the diagnostic text about the place where, and throws.
  [[noreturn]] void fail(int code, const tokenizer::Location& where, std::string text) {
    reader_.fail(code, where, std::move(text));
  }
  Token read_token() { return reader_.read(); }
  [[noreturn]] void fail_missing_index(const std::string& s, const tokenizer::Location& where);
  Message variable_atom(const std::string& prefix, const std::string& index, const std::string& s,
                        const tokenizer::Location& where);
  Message atom_of_text(const std::string& s, const tokenizer::Location& where);
  Message atom_after(const Token& ident);
  Message read_key();
  void expect_symbol(char c, int code, const std::string& what, const char* hint_after_comma = "");
  Message read_term(int depth = 0);
  void diagnose_irreducible(const Stack& stack, const Token& at);
  void reduce_or_fail(Stack& stack, const Token& at);
  Token read_formula_token();
  Item read_binder(const Token& keyword);
  void shift_comparison(Stack& stack, const Token& op);
  void shift_close(Stack& stack, const Token& close);
  void shift_ident(Stack& stack, const Token& t);
  void shift_symbol(Stack& stack, const Token& t);
  Stack read_formula_stack(Token* end);
  Formula finish(Stack& stack, const Token& end);

  syntax::TokenReader reader_;
};

std::string quoted(const std::string& s) {
  return "'" + s + "'";
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

bool has_index(const std::string& s) {
  const std::size_t u = s.rfind('_');
  return u != std::string::npos && u + 1 < s.size();
}

// s split at its last "_" into (before, after), which has_index(s) guarantees.
std::pair<std::string, std::string> split_index(const std::string& s) {
  const std::size_t u = s.rfind('_');
  return {s.substr(0, u), s.substr(u + 1)};
}

// The atom text s, written at where, lacks an index: "Missing index", with the
// form it should take.
void FileReader::fail_missing_index(const std::string& s, const tokenizer::Location& where) {
  const bool signed_key = s.back() == '+' || s.back() == '-';
  std::string base = signed_key ? s.substr(0, s.size() - 1) : s;
  while (!base.empty() && base.back() == '_') base.pop_back();
  std::string example = base + "_1";
  if (!is_principal_name(base) && base[0] != 'n' && base[0] != 'k') example = base + "_A_1";
  if (signed_key) example += s.back();
  fail(kMissingIndex, where,
       "expected a name with an index such as " + example + ", found " + quoted(s));
}

// The variable prefix "_" index, or the index placeholder Var(prefix, index, 0);
// s is the whole atom text, written at where.
Message FileReader::variable_atom(const std::string& prefix, const std::string& index,
                                  const std::string& s, const tokenizer::Location& where) {
  if (std::optional<std::int64_t> n = parse_integer(index)) {
    if (!has_index(prefix)) {
      fail(kMissingIndex, where,
           "expected a variable with its role and instance such as " + prefix + "_A_" + index +
               ", found " + quoted(s));
    }
    auto [name, owner] = split_index(prefix);
    return var(VarId{std::move(name), std::move(owner), *n});
  }
  return var(VarId{prefix, index, 0});
}

// The naming convention of formula atoms: A_1 agent, A_1+ / A_1- its keys, na_2
// nonce, kab_1 key, x_A_1 variable; a non-numeric index names a quantifier's
// index variable (Ai, _i_na, Var(y, i, 0)). where is the place of s, for
// diagnostics.
Message FileReader::atom_of_text(const std::string& s, const tokenizer::Location& where) {
  if (!has_index(s)) fail_missing_index(s, where);
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
  if (sign == '+') return pub_of(variable_atom(prefix, bare, s, where));
  if (sign == '-') return priv_of(variable_atom(prefix, bare, s, where));
  return variable_atom(prefix, suffix, s, where);
}

// An identifier, with a following "+" or "-" appended, classified by its text.
Message FileReader::atom_after(const Token& ident) {
  std::string text = ident.text;
  Token next = read_token();
  if (next.is_symbol('+') || next.is_symbol('-')) {
    text += next.text;
  } else {
    reader_.unget(next);
  }
  return atom_of_text(text, ident.where);
}

// The key after the "}" of an encryption.
Message FileReader::read_key() {
  Token t = read_token();
  if (!t.is(TokenKind::Ident)) {
    const char* hint = t.is_symbol('(') ? syntax::kCompoundKeyHint : "";
    fail(kIdentifierExpected, t.where, syntax::expected("a key after '}'", t) + hint);
  }
  return atom_after(t);
}

// Reads one token and fails with code unless it is the symbol c; what names the
// expected symbol and its place, hint_after_comma helps when a "," was found.
void FileReader::expect_symbol(char c, int code, const std::string& what,
                               const char* hint_after_comma) {
  Token t = read_token();
  if (t.is_symbol(c)) return;
  fail(code, t.where, syntax::expected(what, t) + (t.is_symbol(',') ? hint_after_comma : ""));
}

// term := atom | "(" term "," term ")" | "{" term "}" atom. depth counts the
// enclosing pairs and encryptions.
Message FileReader::read_term(int depth) {
  if (depth > kMaxNesting) throw stack_overflow();
  Token t = read_token();
  if (t.is_symbol('(')) {
    Message first = read_term(depth + 1);
    expect_symbol(',', kMissingComma, "',' after the first component of the pair");
    Message second = read_term(depth + 1);
    expect_symbol(')', kMissingClose, "')' to close the pair", syntax::kNestedPairsHint);
    return pair(first, second);
  }
  if (t.is_symbol('{')) {
    Message body = read_term(depth + 1);
    expect_symbol('}', kMissingBrace, "'}' after the encrypted term", syntax::kEncryptedPairHint);
    return enc(body, read_key());
  }
  if (t.is(TokenKind::Ident)) return atom_after(t);
  fail(kUnexpectedToken, t.where, syntax::expected("a term", t));
}

// ---- Formulas ----

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

Item done(Formula f, int depth, Token start) {
  if (depth > kMaxNesting) throw stack_overflow();
  return Item{ItemKind::Done, std::move(start), std::move(f), depth, {}, {}};
}

Item mark(ItemKind kind, Token start) {
  return Item{kind, std::move(start), Formula(), 0, {}, {}};
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
    result = done(not_formula(f.formula), f.depth + 1, y.start);
  } else if (y.kind == ItemKind::ForallMark || y.kind == ItemKind::ExistsMark) {
    Formula q = y.kind == ItemKind::ForallMark ? forall_formula(y.name, y.principal, f.formula)
                                               : exists_formula(y.name, y.principal, f.formula);
    result = done(std::move(q), f.depth + 1, y.start);
  } else {
    if (n < 3 || stack[n - 3].kind != ItemKind::Done) return false;
    const Item& g = stack[n - 3];
    const int depth = std::max(g.depth, f.depth) + 1;
    switch (y.kind) {
      case ItemKind::AndMark:
        result = done(and_formula(g.formula, f.formula), depth, g.start);
        break;
      case ItemKind::OrMark:
        result = done(or_formula(g.formula, f.formula), depth, g.start);
        break;
      default:  // implication is kept as Or(Not g, f)
        result = done(or_formula(not_formula(g.formula), f.formula),
                      std::max(g.depth + 1, f.depth) + 1, g.start);
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

bool is_done(const Item& item) {
  return item.kind == ItemKind::Done;
}

// Why the stack cannot be reduced when the token at (")" or ";") is met, as a
// diagnostic about the item or token to blame.
void FileReader::diagnose_irreducible(const Stack& stack, const Token& at) {
  const std::size_t n = stack.size();
  if (n == 0 || (n == 1 && is_done(stack[0]))) {
    reader_.diagnose(at.where, "found ')' without a matching '('");
    return;
  }
  const Item& top = stack[n - 1];
  if (top.kind == ItemKind::NameItem) {
    reader_.diagnose(top.start.where,
                     syntax::expected("'=' or '<>' after " + quoted(top.name), at));
    return;
  }
  if (!is_done(top)) {
    reader_.diagnose(at.where, syntax::expected("a formula after " + quoted(top.start.text), at));
    return;
  }
  const Item& below = stack[n - 2];
  switch (below.kind) {
    case ItemKind::ParenMark:
      reader_.diagnose(at.where, syntax::expected("')' to close the '(' at " +
                                                      syntax::line_and_column(below.start.where),
                                                  at));
      return;
    case ItemKind::NameItem:
      reader_.diagnose(below.start.where,
                       syntax::expected("'=' or '<>' after " + quoted(below.name), top.start));
      return;
    case ItemKind::Done:
      reader_.diagnose(
          top.start.where,
          syntax::expected("'and', 'or' or 'implies' between two formulas", top.start));
      return;
    default:  // a binary operator with no formula before it
      reader_.diagnose(below.start.where, "expected a formula before " + quoted(below.start.text));
      return;
  }
}

// One reduction at the top level, on the way to the token at.
void FileReader::reduce_or_fail(Stack& stack, const Token& at) {
  if (reduce(stack, kTopLevel)) return;
  diagnose_irreducible(stack, at);
  throw CantReduce();
}

// The next formula token: ":>", "<>" and "=>" are joined from their two symbols.
Token FileReader::read_formula_token() {
  Token t = read_token();
  if (t.is_symbol(':') || t.is_symbol('<') || t.is_symbol('=')) {
    Token next = read_token();
    if (next.is_symbol('>')) {
      t.text += '>';
    } else {
      reader_.unget(next);
    }
  }
  return t;
}

// "P . x :" after the quantifier keyword: x ranges over the instances of
// principal P.
Item FileReader::read_binder(const Token& keyword) {
  const ItemKind kind = keyword.is_ident("forall") ? ItemKind::ForallMark : ItemKind::ExistsMark;
  const std::string role = "a role name after " + quoted(keyword.text);
  Token principal = read_token();
  Token dot = read_token();
  if (!principal.is(TokenKind::Ident)) {
    fail(kUnexpectedToken, principal.where, syntax::expected(role, principal));
  }
  if (!dot.is_symbol('.')) {
    fail(kMissingDot, dot.where,
         syntax::expected("'.' after the role name " + quoted(principal.text), dot));
  }
  if (!is_principal_name(principal.text)) {
    fail(kPrincipalNotUppercase, principal.where,
         syntax::expected(role, principal) + syntax::kRoleNameHint);
  }
  Token index = read_token();
  if (!index.is(TokenKind::Ident)) {
    fail(kUnexpectedToken, index.where,
         syntax::expected("an index variable after " + quoted(principal.text + "."), index));
  }
  if (Token colon = read_token(); !colon.is_symbol(':')) {
    fail(kMissingColon, colon.where,
         syntax::expected("':' after the index variable " + quoted(index.text), colon));
  }
  return Item{kind, keyword, Formula(), 0, index.text, principal.text};
}

// "name = term" or "name <> term" (operator op): the term is read before the
// name is classified.
void FileReader::shift_comparison(Stack& stack, const Token& op) {
  Message term = read_term();
  const Item name = stack.back();
  Message variable = atom_of_text(name.name, name.start.where);
  if (!variable.is(Tag::Var)) {
    const bool nonce_or_key = variable.is(Tag::Nonce) || variable.is(Tag::SymKey);
    const char* hint = nonce_or_key ? syntax::kNoncesAndKeysHint : syntax::kCapitalsHint;
    fail(kWrongVariable, name.start.where,
         syntax::expected("a variable before " + quoted(op.text), name.start) + hint);
  }
  const bool equal = op.text != "<>";
  stack.back() = done(equal ? equal_formula(variable, term) : not_equal_formula(variable, term), 1,
                      name.start);
}

bool name_on_top(const Stack& stack) {
  return !stack.empty() && stack.back().kind == ItemKind::NameItem;
}

void FileReader::shift_close(Stack& stack, const Token& close) {
  for (;;) {
    const std::size_t n = stack.size();
    if (n >= 2 && stack[n - 1].kind == ItemKind::Done && stack[n - 2].kind == ItemKind::ParenMark) {
      stack[n - 1].start = stack[n - 2].start;
      stack[n - 2] = std::move(stack[n - 1]);
      stack.pop_back();
      return;
    }
    reduce_or_fail(stack, close);
  }
}

void shift_operator(Stack& stack, ItemKind kind, int level, const Token& t) {
  reduce_all(stack, level);
  push(stack, mark(kind, t));
}

void FileReader::shift_ident(Stack& stack, const Token& t) {
  const std::string& s = t.text;
  if (s == "true" || s == "false") {
    push(stack, done(s == "true" ? formula_true() : formula_false(), 1, t));
  } else if (s == "not") {
    push(stack, mark(ItemKind::NotMark, t));
  } else if (s == "and") {
    shift_operator(stack, ItemKind::AndMark, kAndLevel, t);
  } else if (s == "or") {
    shift_operator(stack, ItemKind::OrMark, kOrLevel, t);
  } else if (s == "implies") {
    shift_operator(stack, ItemKind::ImpliesMark, kImpliesLevel, t);
  } else if (s == "forall" || s == "exists") {
    push(stack, read_binder(t));
  } else if (s == "derive") {
    push(stack, done(derive_formula(read_term()), 1, t));
  } else if (s == "equal" && name_on_top(stack)) {
    shift_comparison(stack, t);
  } else {
    push(stack, Item{ItemKind::NameItem, t, Formula(), 0, s, {}});
  }
}

void FileReader::shift_symbol(Stack& stack, const Token& t) {
  const std::string& s = t.text;
  if (s == "!") {
    push(stack, mark(ItemKind::NotMark, t));
  } else if (s == "&") {
    shift_operator(stack, ItemKind::AndMark, kAndLevel, t);
  } else if (s == "|") {
    shift_operator(stack, ItemKind::OrMark, kOrLevel, t);
  } else if (s == "=>") {
    shift_operator(stack, ItemKind::ImpliesMark, kImpliesLevel, t);
  } else if (s == ":>") {
    push(stack, done(derive_formula(read_term()), 1, t));
  } else if ((s == "=" || s == "<>") && name_on_top(stack)) {
    shift_comparison(stack, t);
  } else if (s == "(") {
    push(stack, mark(ItemKind::ParenMark, t));
  } else if (s == ")") {
    shift_close(stack, t);
  } else if (s == "=" || s == "<>") {
    fail(kUnknownToken, t.where, "expected a variable before " + quoted(s));
  } else {
    fail(kUnknownToken, t.where, "unexpected " + syntax::describe(t) + " in the formula");
  }
}

// Reads up to and including ";" (stored in *end) and returns the stack as it
// was before it.
Stack FileReader::read_formula_stack(Token* end) {
  Stack stack;
  for (;;) {
    Token t = read_formula_token();
    if (t.is(TokenKind::EndOfInput)) {
      const char* what = stack.empty() ? "a formula" : "';' at the end of the formula";
      fail(kMissingSemicolon, t.where, syntax::expected(what, t));
    }
    if (t.is_symbol(';')) {
      *end = t;
      return stack;
    }
    if (t.is(TokenKind::Ident)) {
      shift_ident(stack, t);
    } else {
      shift_symbol(stack, t);
    }
  }
}

// The formula of the stack read up to the ";" end.
Formula FileReader::finish(Stack& stack, const Token& end) {
  for (;;) {
    if (stack.empty()) fail(kMissingSemicolon, end.where, "expected a formula before ';'");
    if (stack.size() == 1 && stack.back().kind == ItemKind::Done) return stack.back().formula;
    reduce_or_fail(stack, end);
  }
}

Formula FileReader::parse_formula() {
  try {
    Token end;
    Stack stack = read_formula_stack(&end);
    return finish(stack, end);
  } catch (const syntax::ParseAbort&) {
    throw reader_.error(true);
  } catch (const CantReduce&) {
    reader_.record(kMalformedExpression);
    throw reader_.error(true);
  }
}

std::vector<FormulaSpan> FileReader::parse_formulas() {
  std::vector<FormulaSpan> formulas;
  try {
    for (;;) {
      const Token first = read_token();
      if (first.is(TokenKind::EndOfInput)) {
        if (reader_.code() == syntax::kCommentNotClosed) throw reader_.error(true);
        if (formulas.empty())
          fail(kMissingSemicolon, first.where, syntax::expected("a formula", first));
        return formulas;
      }
      reader_.unget(first);
      Token end;
      Stack stack = read_formula_stack(&end);
      formulas.push_back(FormulaSpan{finish(stack, end), first.where, end.where});
    }
  } catch (const syntax::ParseAbort&) {
    throw reader_.error(true);
  } catch (const CantReduce&) {
    reader_.record(kMalformedExpression);
    throw reader_.error(true);
  }
}

KnowledgeFile FileReader::parse_knowledge() {
  try {
    KnowledgeFile file;
    for (;;) {
      // The run pairs the terms into one right-nested term: their number is nesting.
      if (file.terms.size() >= static_cast<std::size_t>(kMaxNesting)) throw stack_overflow();
      file.terms.push_back(read_term());
      Token t = read_token();
      if (t.is_symbol(';')) {
        if (file.terms.size() == 1) {
          file.too_few_terms =
              syntax::Diagnostic{t.where, syntax::expected("',' and a second term", t) +
                                              "; the knowledge file needs at least two terms"};
        }
        return file;
      }
      if (!t.is_symbol(',')) {
        fail(kMissingSemicolon, t.where, syntax::expected("',' or ';' after the term", t));
      }
    }
  } catch (const syntax::ParseAbort&) {
    throw reader_.error(false);
  }
}

}  // namespace

Formula parse_formula(tokenizer::Lexer& lexer) {
  return FileReader(lexer).parse_formula();
}

std::vector<FormulaSpan> parse_formulas(tokenizer::Lexer& lexer) {
  return FileReader(lexer).parse_formulas();
}

KnowledgeFile parse_knowledge(tokenizer::Lexer& lexer) {
  return FileReader(lexer).parse_knowledge();
}

}  // namespace formula_parser

}  // namespace analyser
