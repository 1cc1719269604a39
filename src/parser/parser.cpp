#include "parser/parser.h"

#include <algorithm>
#include <array>
#include <vector>

#include "parser/syntax.h"
#include "parser/tokenizer.h"

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
  kOk = 0,
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

// The pending error; the codes index kMessages.
syntax::ErrorState errors;

void record(int code) {
  errors.record(code);
}

[[noreturn]] void fail(int code) {
  record(code);
  throw ParseError();
}

Token read_token() {
  return syntax::read_token<ParseError>(errors);
}

bool only_uppercase(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Reads one token and fails with code unless it is the symbol c.
void expect_symbol(char c, int code) {
  if (!read_token().is_symbol(c)) fail(code);
}

// A key or name written in capitals: "+" and "-" make it a key, another symbol
// ends it (pushed back); anything but a symbol after it is an error.
Message uppercase_atom(const std::string& s) {
  Token next = read_token();
  if (!next.is(TokenKind::Symbol)) fail(kWrongKey);
  if (next.is_symbol('+')) return pub_key(s, 0);
  if (next.is_symbol('-')) return priv_key(s, 0);
  tokenizer::unget_token(next);
  return agent(s, 0);
}

Message variable_atom(const std::string& s) {
  Token next = read_token();
  if (!next.is(TokenKind::Symbol)) fail(kWrongVariable);
  Message v = var(VarId{s, "", 0});
  if (next.is_symbol('+')) return pub_of(v);
  if (next.is_symbol('-')) return priv_of(v);
  tokenizer::unget_token(next);
  return v;
}

// An atom, classified by the text of the identifier token t.
Message atom_of(const Token& t) {
  if (!t.is(TokenKind::Ident)) fail(kIdentifierExpected);
  const std::string& s = t.text;
  if (only_uppercase(s)) return uppercase_atom(s);
  if (s[0] == 'n') return nonce(s, 0);
  if (s[0] == 'k') return sym_key(s, 0);
  return variable_atom(s);
}

Message read_atom() {
  return atom_of(read_token());
}

// term := atom | "(" term "," term ")" | "{" term "}" atom | "?" atom.
// `depth` counts the enclosing pairs and encryptions.
Message read_term(int depth) {
  Token t = read_token();
  if (t.is_symbol('(') || t.is_symbol('{')) {
    if (depth >= kMaxNesting) throw stack_overflow();
    if (t.is_symbol('(')) {
      Message first = read_term(depth + 1);
      expect_symbol(',', kMissingComma);
      Message second = read_term(depth + 1);
      expect_symbol(')', kMissingCloseParen);
      return pair(first, second);
    }
    Message body = read_term(depth + 1);
    expect_symbol('}', kMissingCloseBrace);
    return enc(body, read_atom());
  }
  if (t.is_symbol('?')) {
    Message a = read_atom();
    if (a.is(Tag::Var)) return bind_var(a.var());
    if ((a.is(Tag::PubOf) || a.is(Tag::PrivOf)) && a.argument().is(Tag::Var)) fail(kBindingAsKey);
    fail(kUnknownToken);
  }
  if (t.is(TokenKind::Ident)) return atom_of(t);
  fail(kUnknownToken);
}

// Identifiers separated by commas, up to a ")" that is left unread.
std::vector<VarId> read_parameters() {
  std::vector<VarId> params;
  for (;;) {
    Token t = read_token();
    if (t.is(TokenKind::Ident)) {
      Token next = read_token();
      if (!next.is_symbol(',') && !next.is_symbol(')')) fail(kUnexpectedToken);
      tokenizer::unget_token(next);
      params.push_back(VarId{t.text, "", 0});
    } else if (t.is_symbol(')')) {
      tokenizer::unget_token(t);
      return params;
    } else if (t.is_symbol(',') && !params.empty()) {
      Token next = read_token();
      if (!next.is(TokenKind::Ident)) fail(kUnexpectedToken);
      tokenizer::unget_token(next);
    } else {
      fail(kUnexpectedToken);
    }
  }
}

// ---- Process expressions: a shift-reduce parser over an explicit stack. ----

enum class ItemKind : std::uint8_t { In, Out, Reduced, Dot, Open, Plus, Bar, Close };

struct Item {
  ItemKind kind;
  Message term;     // In, Out
  Process process;  // Reduced
  int height = 0;   // Reduced: the depth of the process tree
};

// The stack, top at the back.
using Stack = std::vector<Item>;

// Only the "+" level differs: there a parallel composition is not reduced, so
// that "+" binds tighter than "|".
enum class Level : std::uint8_t { Plus, Other };

bool kind_at(const Stack& s, std::size_t from_top, ItemKind kind) {
  return s.size() > from_top && s[s.size() - 1 - from_top].kind == kind;
}

// Replaces the top `count` items by Reduced(p). Process trees deeper than the
// nesting limit are refused so that every later walk over them stays bounded.
void replace_top(Stack& s, std::size_t count, Process p, int height) {
  if (height > kMaxNesting) throw stack_overflow();
  s.resize(s.size() - count);
  s.push_back(Item{ItemKind::Reduced, Message(), std::move(p), height});
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

void reduce(Stack& s, Level level) {
  if (!try_reduce(s, level)) throw CantReduce();
}

void push_marker(Stack& s, ItemKind kind) {
  s.push_back(Item{kind, Message(), Process(), 0});
}

// "in" or "out" followed by a parenthesised term.
void shift_prefix(Stack& s, ItemKind kind) {
  expect_symbol('(', kMissingOpenParen);
  Message term = read_term(0);
  expect_symbol(')', kMissingCloseParen);
  s.push_back(Item{kind, std::move(term), Process(), 0});
}

// `open` counts the process parentheses not yet closed.
void shift(const Token& t, Stack& s, int& open) {
  if (t.is_ident("in") || t.is_ident("out")) {
    shift_prefix(s, t.is_ident("in") ? ItemKind::In : ItemKind::Out);
  } else if (t.is_symbol('(')) {
    if (open >= kMaxNesting) throw stack_overflow();
    ++open;
    push_marker(s, ItemKind::Open);
  } else if (t.is_symbol('.')) {
    push_marker(s, ItemKind::Dot);
  } else if (t.is_symbol(']')) {
    push_marker(s, ItemKind::Close);
  } else if (t.is_symbol(')')) {
    while (!(kind_at(s, 0, ItemKind::Reduced) && kind_at(s, 1, ItemKind::Open))) {
      reduce(s, Level::Other);
    }
    s.erase(s.end() - 2);
    --open;
  } else if (t.is_symbol('+') || t.is_symbol('|')) {
    const bool plus = t.is_symbol('+');
    while (try_reduce(s, plus ? Level::Plus : Level::Other)) {
    }
    push_marker(s, plus ? ItemKind::Plus : ItemKind::Bar);
  } else {
    fail(kUnknownToken);
  }
}

// The process up to and including the closing "]". An empty expression is Nil
// with "Missing ;" recorded (a following ";" clears it); the end of the input
// drops everything read so far.
Process read_process() {
  Stack s;
  int open = 0;
  for (;;) {
    Token t = read_token();
    if (t.is(TokenKind::EndOfInput)) {
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
      record(kMissingSemicolon);
      return nil_process();
    }
    if (s.size() == 1 && s.back().kind == ItemKind::Reduced) return s.back().process;
    reduce(s, Level::Other);
  }
}

// The part of a declaration whose errors are reported through the code:
// "NAME" ":" "(" params ")".
std::pair<std::string, std::vector<VarId>> read_heading() {
  Token name = read_token();
  if (!name.is(TokenKind::Ident) || !only_uppercase(name.text)) fail(kNameNotUppercase);
  expect_symbol(':', kMissingColon);
  expect_symbol('(', kMissingOpenParen);
  std::vector<VarId> params = read_parameters();
  expect_symbol(')', kMissingCloseParen);
  return {name.text, std::move(params)};
}

}  // namespace

bool more_principals() {
  Token t = read_token();
  tokenizer::unget_token(t);
  return !t.is(TokenKind::EndOfInput);
}

Principal parse_principal() {
  std::pair<std::string, std::vector<VarId>> heading;
  Process process;
  try {
    heading = read_heading();
  } catch (const ParseError&) {
    return Principal();
  }
  // The reads of "[" and ";" are outside the guarded parts: a ParseError there
  // (an Unknown character, a stray "*/") ends the run.
  if (!read_token().is_symbol('[')) {
    record(kMissingOpenBracket);
    return Principal();
  }
  try {
    process = read_process();
  } catch (const ParseError&) {
    return Principal();
  } catch (const CantReduce&) {
    record(kMalformedExpression);
    return Principal();
  }
  if (!read_token().is_symbol(';')) {
    record(kMissingSemicolon);
    return Principal();
  }
  record(kOk);
  return make_principal(heading.first, 0, heading.second, process);
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

}  // namespace parser
