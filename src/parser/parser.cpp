#include "parser/parser.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "parser/syntax.h"
#include "parser/tokenizer.h"

namespace analyser {

namespace parser {
namespace {

using tokenizer::Token;
using tokenizer::TokenKind;

constexpr std::array<const char*, 20> kMessages = {
    "Ok.",
    "Comment not opened",
    "Comment not closed",
    "Unknown token",
    "Missing (",
    "Missing )",
    "Missing [",
    "Missing ]",
    "Missing {",
    "Missing }",
    "Missing ,",
    "Missing ;",
    "Missing :",
    "Identifier expected",
    "Unexpected token",
    "Wrong key",
    "Wrong variable",
    "Malformed expression",
    "Principal name should be uppercase",
    "A binding variable cannot occur as a key",
};

enum Code : int {
  kUnknownToken = 3,
  kMissingOpenParen = 4,
  kMissingCloseParen = 5,
  kMissingOpenBracket = 6,
  kMissingCloseBrace = 9,
  kMissingComma = 10,
  kMissingSemicolon = 11,
  kMissingColon = 12,
  kIdentifierExpected = 13,
  kUnexpectedToken = 14,
  kWrongKey = 15,
  kWrongVariable = 16,
  kMalformedExpression = 17,
  kNameNotUppercase = 18,
  kBindingAsKey = 19,
};

constexpr const char* kExceptionName = "Parser.ParseError";

// The process expression cannot be reduced: "Malformed expression".
struct CantReduce {};

// The explicit stack of the shift-reduce parser of process expressions.

enum class ItemKind : std::uint8_t { In, Out, Reduced, Dot, Open, Plus, Bar, Close };

struct Item {
  ItemKind kind;
  Token start;      // the item's first token, for diagnostics
  Message term;     // In, Out
  Process process;  // Reduced
  int height = 0;   // Reduced: the depth of the process tree
};

// The stack, top at the back.
using Stack = std::vector<Item>;

// Only the "+" level differs: there a parallel composition is not reduced, so
// that "+" binds tighter than "|".
enum class Level : std::uint8_t { Plus, Other };

// The reading of one principals file: its declarations one at a time, and the
// pending error, whose codes index kMessages.
class DeclarationReader {
 public:
  explicit DeclarationReader(tokenizer::Lexer& lexer)
      : reader_(lexer, kMessages.data(), kExceptionName) {}

  // True unless the next token is the end of the input (the token is pushed back).
  bool more_principals();
  Principal parse_principal();
  // After more_principals returned false: the diagnostic of the block comment
  // the input ended in, if any.
  std::optional<syntax::Diagnostic> unclosed_comment() const;

 private:
  // Records code with the diagnostic text about the token at, and throws.
  [[noreturn]] void fail(int code, const Token& at, std::string text) {
    reader_.fail(code, at.where, std::move(text));
  }
  Token read_token() { return reader_.read(); }
  // A read outside the parts whose errors have an error line.
  Token read_unguarded();
  void expect_symbol(char c, int code, const std::string& what,
                     const std::string& hint_after_comma = "");
  Message uppercase_atom(const std::string& s);
  Message variable_atom(const std::string& s);
  Message atom_of(const Token& t, const std::string& what);
  Message read_key();
  Message binding_variable();
  Message read_term(int depth);
  std::vector<VarId> read_parameters();
  void diagnose_irreducible(const Stack& s, const Token& at);
  void reduce(Stack& s, Level level, const Token& at);
  void shift_prefix(Stack& s, const Token& prefix);
  void shift(const Token& t, Stack& s, int& open);
  Process read_process(const std::string& name);
  std::pair<std::string, std::vector<VarId>> read_heading();

  syntax::TokenReader reader_;
};

bool only_uppercase(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::string quoted(const std::string& s) {
  return "'" + s + "'";
}

// Reads one token and fails with code unless it is the symbol c; what names the
// expected symbol and its place.
void DeclarationReader::expect_symbol(char c, int code, const std::string& what,
                                      const std::string& hint_after_comma) {
  Token t = read_token();
  if (t.is_symbol(c)) return;
  fail(code, t, syntax::expected(what, t) + (t.is_symbol(',') ? hint_after_comma : ""));
}

// A key or name written in capitals: "+" and "-" make it a key, another symbol
// ends it (pushed back); anything but a symbol after it is an error.
Message DeclarationReader::uppercase_atom(const std::string& s) {
  Token next = read_token();
  if (!next.is(TokenKind::Symbol)) {
    fail(kWrongKey, next, syntax::expected("'+', '-' or a delimiter after " + quoted(s), next));
  }
  if (next.is_symbol('+')) return pub_key(s, 0);
  if (next.is_symbol('-')) return priv_key(s, 0);
  reader_.unget(next);
  return agent(s, 0);
}

Message DeclarationReader::variable_atom(const std::string& s) {
  Token next = read_token();
  if (!next.is(TokenKind::Symbol)) {
    fail(kWrongVariable, next,
         syntax::expected("'+', '-' or a delimiter after the variable " + quoted(s), next));
  }
  Message v = var(VarId{s, "", 0});
  if (next.is_symbol('+')) return pub_of(v);
  if (next.is_symbol('-')) return priv_of(v);
  reader_.unget(next);
  return v;
}

// An atom, classified by the text of the identifier token t; what names the
// expected atom when t is not an identifier.
Message DeclarationReader::atom_of(const Token& t, const std::string& what) {
  if (!t.is(TokenKind::Ident)) fail(kIdentifierExpected, t, syntax::expected(what, t));
  const std::string& s = t.text;
  if (only_uppercase(s)) return uppercase_atom(s);
  if (s[0] == 'n') return nonce(s, 0);
  if (s[0] == 'k') return sym_key(s, 0);
  return variable_atom(s);
}

// The key after the "}" of an encryption.
Message DeclarationReader::read_key() {
  Token t = read_token();
  if (t.is_symbol('(')) {
    fail(kIdentifierExpected, t, syntax::expected("a key after '}'", t) + syntax::kCompoundKeyHint);
  }
  return atom_of(t, "a key after '}'");
}

// "?" atom: only a plain variable may be bound.
Message DeclarationReader::binding_variable() {
  Token t = read_token();
  Message a = atom_of(t, "a variable after '?'");
  if (a.is(Tag::Var)) return bind_var(a.var());
  if ((a.is(Tag::PubOf) || a.is(Tag::PrivOf)) && a.argument().is(Tag::Var)) {
    const std::string key = t.text + (a.is(Tag::PubOf) ? "+" : "-");
    fail(kBindingAsKey, t, "expected a plain variable after '?', found the key " + quoted(key));
  }
  const char* hint =
      a.is(Tag::Nonce) || a.is(Tag::SymKey) ? syntax::kNoncesAndKeysHint : syntax::kCapitalsHint;
  fail(kUnknownToken, t, syntax::expected("a variable after '?'", t) + hint);
}

// term := atom | "(" term "," term ")" | "{" term "}" atom | "?" atom.
// `depth` counts the enclosing pairs and encryptions.
Message DeclarationReader::read_term(int depth) {
  Token t = read_token();
  if (t.is_symbol('(') || t.is_symbol('{')) {
    if (depth >= kMaxNesting) throw stack_overflow();
    if (t.is_symbol('(')) {
      Message first = read_term(depth + 1);
      expect_symbol(',', kMissingComma, "',' after the first component of the pair");
      Message second = read_term(depth + 1);
      expect_symbol(')', kMissingCloseParen, "')' to close the pair", syntax::kNestedPairsHint);
      return pair(first, second);
    }
    Message body = read_term(depth + 1);
    expect_symbol('}', kMissingCloseBrace, "'}' after the encrypted term",
                  syntax::kEncryptedPairHint);
    return enc(body, read_key());
  }
  if (t.is_symbol('?')) return binding_variable();
  if (t.is(TokenKind::Ident)) return atom_of(t, "a term");
  fail(kUnknownToken, t, syntax::expected("a term", t));
}

// Identifiers separated by commas, up to a ")" that is left unread.
std::vector<VarId> DeclarationReader::read_parameters() {
  std::vector<VarId> params;
  for (;;) {
    Token t = read_token();
    if (t.is(TokenKind::Ident)) {
      Token next = read_token();
      if (!next.is_symbol(',') && !next.is_symbol(')')) {
        fail(kUnexpectedToken, next,
             syntax::expected("',' or ')' after the parameter " + quoted(t.text), next));
      }
      reader_.unget(next);
      params.push_back(VarId{t.text, "", 0});
    } else if (t.is_symbol(')')) {
      reader_.unget(t);
      return params;
    } else if (t.is_symbol(',') && !params.empty()) {
      Token next = read_token();
      if (!next.is(TokenKind::Ident)) {
        fail(kUnexpectedToken, next, syntax::expected("a parameter name after ','", next));
      }
      reader_.unget(next);
    } else {
      fail(kUnexpectedToken, t, syntax::expected("a parameter name or ')'", t));
    }
  }
}

// ---- Process expressions: a shift-reduce parser over an explicit stack. ----

bool kind_at(const Stack& s, std::size_t from_top, ItemKind kind) {
  return s.size() > from_top && s[s.size() - 1 - from_top].kind == kind;
}

bool is_marker(ItemKind kind) {
  return kind == ItemKind::Dot || kind == ItemKind::Open || kind == ItemKind::Plus ||
         kind == ItemKind::Bar;
}

bool is_process(ItemKind kind) {
  return kind == ItemKind::In || kind == ItemKind::Out || kind == ItemKind::Reduced;
}

// Replaces the top `count` items by Reduced(p), which starts where the lowest of
// them did. Process trees deeper than the nesting limit are refused so that
// every later walk over them stays bounded.
void replace_top(Stack& s, std::size_t count, Process p, int height) {
  if (height > kMaxNesting) throw stack_overflow();
  Token start = s[s.size() - count].start;
  s.resize(s.size() - count);
  s.push_back(Item{ItemKind::Reduced, std::move(start), Message(), std::move(p), height});
}

// One reduction on the top of the stack; false when none applies.
bool try_reduce(Stack& s, Level level) {
  if (kind_at(s, 0, ItemKind::In) || kind_at(s, 0, ItemKind::Out)) {
    const Item& top = s.back();
    Process p =
        top.kind == ItemKind::In ? input(top.term, nil_process()) : output(top.term, nil_process());
    replace_top(s, 1, std::move(p), 1);
    return true;
  }
  if (!kind_at(s, 0, ItemKind::Reduced)) return false;
  const Item& top = s.back();
  const Item* below = s.size() >= 3 ? &s[s.size() - 3] : nullptr;
  if (kind_at(s, 1, ItemKind::Dot) && below &&
      (below->kind == ItemKind::In || below->kind == ItemKind::Out)) {
    Process p = below->kind == ItemKind::In ? input(below->term, top.process)
                                            : output(below->term, top.process);
    replace_top(s, 3, std::move(p), top.height + 1);
    return true;
  }
  const bool plus = kind_at(s, 1, ItemKind::Plus);
  const bool bar = kind_at(s, 1, ItemKind::Bar) && level != Level::Plus;
  if ((plus || bar) && below && below->kind == ItemKind::Reduced) {
    Process p = plus ? choice(below->process, top.process) : parallel(below->process, top.process);
    replace_top(s, 3, std::move(p), std::max(below->height, top.height) + 1);
    return true;
  }
  return false;
}

// Why the stack cannot be reduced when the token at (")" or "]") is met, as a
// diagnostic about the item or token to blame.
void DeclarationReader::diagnose_irreducible(const Stack& s, const Token& at) {
  if (s.empty() || (s.size() == 1 && is_process(s.back().kind))) {
    reader_.diagnose(at.where, "found ')' without a matching '('");
    return;
  }
  const Item& top = s.back();
  if (is_marker(top.kind)) {
    reader_.diagnose(at.where, syntax::expected("a process after " + quoted(top.start.text), at));
    return;
  }
  const Item& below = s[s.size() - 2];
  if (below.kind == ItemKind::Open) {
    reader_.diagnose(
        at.where, syntax::expected(
                      "')' to close the '(' at " + syntax::line_and_column(below.start.where), at));
  } else if (below.kind == ItemKind::Dot) {
    reader_.diagnose(below.start.where, "expected 'in(...)' or 'out(...)' before '.'");
  } else if (is_marker(below.kind)) {
    reader_.diagnose(below.start.where, "expected a process before " + quoted(below.start.text));
  } else {
    reader_.diagnose(top.start.where,
                     syntax::expected("'.', '+' or '|' between two processes", top.start));
  }
}

// One reduction, on the way to the token at; CantReduce when none applies.
void DeclarationReader::reduce(Stack& s, Level level, const Token& at) {
  if (try_reduce(s, level)) return;
  diagnose_irreducible(s, at);
  throw CantReduce();
}

void push_marker(Stack& s, ItemKind kind, const Token& t) {
  s.push_back(Item{kind, t, Message(), Process(), 0});
}

// "in" or "out" followed by a parenthesised term.
void DeclarationReader::shift_prefix(Stack& s, const Token& prefix) {
  expect_symbol('(', kMissingOpenParen, "'(' after '" + prefix.text + "'");
  Message term = read_term(0);
  expect_symbol(')', kMissingCloseParen, "')' after the message of '" + prefix.text + "'",
                "; a message of several parts is a pair: write " + prefix.text + "((a,b))");
  const ItemKind kind = prefix.is_ident("in") ? ItemKind::In : ItemKind::Out;
  s.push_back(Item{kind, prefix, std::move(term), Process(), 0});
}

// `open` counts the process parentheses not yet closed.
void DeclarationReader::shift(const Token& t, Stack& s, int& open) {
  if (t.is_ident("in") || t.is_ident("out")) {
    shift_prefix(s, t);
  } else if (t.is_symbol('(')) {
    if (open >= kMaxNesting) throw stack_overflow();
    ++open;
    push_marker(s, ItemKind::Open, t);
  } else if (t.is_symbol('.')) {
    push_marker(s, ItemKind::Dot, t);
  } else if (t.is_symbol(']')) {
    push_marker(s, ItemKind::Close, t);
  } else if (t.is_symbol(')')) {
    while (!(kind_at(s, 0, ItemKind::Reduced) && kind_at(s, 1, ItemKind::Open))) {
      reduce(s, Level::Other, t);
    }
    s.back().start = s[s.size() - 2].start;
    s.erase(s.end() - 2);
    --open;
  } else if (t.is_symbol('+') || t.is_symbol('|')) {
    const bool plus = t.is_symbol('+');
    while (try_reduce(s, plus ? Level::Plus : Level::Other)) {
    }
    push_marker(s, plus ? ItemKind::Plus : ItemKind::Bar, t);
  } else {
    fail(kUnknownToken, t, syntax::expected("'in', 'out' or an operator in the process", t));
  }
}

// The process of role name up to and including the closing "]". An empty
// expression is Nil with "Missing ;" recorded (a following ";" clears it); the
// end of the input drops everything read so far.
Process DeclarationReader::read_process(const std::string& name) {
  Stack s;
  int open = 0;
  Token t;
  for (;;) {
    t = read_token();
    if (t.is(TokenKind::EndOfInput)) {
      reader_.diagnose(
          t.where, "unexpected end of file in the process of " + quoted(name) + ", expected ']'");
      s.clear();
      break;
    }
    shift(t, s, open);
    if (kind_at(s, 0, ItemKind::Close)) {
      s.pop_back();
      break;
    }
  }
  for (;;) {
    if (s.empty()) {
      reader_.record(kMissingSemicolon);
      return nil_process();
    }
    if (s.size() == 1 && s.back().kind == ItemKind::Reduced) return s.back().process;
    reduce(s, Level::Other, t);
  }
}

// The part of a declaration whose errors are reported through the code:
// "NAME" ":" "(" params ")".
std::pair<std::string, std::vector<VarId>> DeclarationReader::read_heading() {
  Token name = read_token();
  if (!name.is(TokenKind::Ident) || !only_uppercase(name.text)) {
    const char* hint = name.is(TokenKind::Ident) ? syntax::kRoleNameHint : "";
    fail(kNameNotUppercase, name, syntax::expected("a role name", name) + hint);
  }
  expect_symbol(':', kMissingColon, "':' after the role name " + quoted(name.text));
  expect_symbol('(', kMissingOpenParen, "'(' to open the parameters of " + quoted(name.text));
  std::vector<VarId> params = read_parameters();
  expect_symbol(')', kMissingCloseParen, "')' to close the parameters");
  return {name.text, std::move(params)};
}

Token DeclarationReader::read_unguarded() {
  try {
    return read_token();
  } catch (const syntax::ParseAbort&) {
    throw reader_.error(false);
  }
}

bool DeclarationReader::more_principals() {
  Token t = read_unguarded();
  reader_.unget(t);
  return !t.is(TokenKind::EndOfInput);
}

Principal DeclarationReader::parse_principal() {
  std::pair<std::string, std::vector<VarId>> heading;
  Process process;
  try {
    heading = read_heading();
  } catch (const syntax::ParseAbort&) {
    throw reader_.error(true);
  }
  const std::string& name = heading.first;
  // The reads of "[" and ";" are outside the guarded parts: an Unknown
  // character or a stray "*/" there has no error line.
  if (Token t = read_unguarded(); !t.is_symbol('[')) {
    reader_.diagnose(t.where, syntax::expected("'[' to open the process of " + quoted(name), t));
    reader_.record(kMissingOpenBracket);
    throw reader_.error(true);
  }
  try {
    process = read_process(name);
  } catch (const syntax::ParseAbort&) {
    throw reader_.error(true);
  } catch (const CantReduce&) {
    reader_.record(kMalformedExpression);
    throw reader_.error(true);
  }
  if (Token t = read_unguarded(); !t.is_symbol(';')) {
    reader_.diagnose(t.where, syntax::expected("';' after the declaration of " + quoted(name), t));
    reader_.record(kMissingSemicolon);
    throw reader_.error(true);
  }
  reader_.clear();
  return make_principal(name, 0, heading.second, process);
}

std::optional<syntax::Diagnostic> DeclarationReader::unclosed_comment() const {
  if (reader_.code() != syntax::kCommentNotClosed) return std::nullopt;
  return reader_.diagnostic();
}

}  // namespace

PrincipalsFile parse_principals(tokenizer::Lexer& lexer) {
  DeclarationReader reader(lexer);
  PrincipalsFile file;
  while (reader.more_principals()) file.principals.push_back(reader.parse_principal());
  file.unclosed_comment = reader.unclosed_comment();
  return file;
}

}  // namespace parser

}  // namespace analyser
