#include "formula/name_check.h"

#include <algorithm>
#include <map>
#include <optional>

namespace analyser {

namespace {

// A role's variables: its parameters, then what its process binds, in order of
// first appearance.
std::vector<std::string> role_variables(const Principal& role) {
  std::vector<std::string> names;
  const auto add = [&names](const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  };
  for (const VarId& v : role.params()) add(v.name);
  std::vector<Message> pending;
  map_terms(
      [&](const Message& t) {
        pending.push_back(t);
        return t;
      },
      role.process());
  while (!pending.empty()) {
    const Message t = pending.back();
    pending.pop_back();
    if (t.is(Tag::BindVar)) add(t.var().name);
    if (t.first().tag() != Tag::NoMessage) pending.push_back(t.first());
    if (t.second().tag() != Tag::NoMessage) pending.push_back(t.second());
  }
  return names;
}

std::string joined(const std::vector<std::string>& names) {
  if (names.empty()) return "none";
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

class Checker {
 public:
  explicit Checker(const std::vector<Principal>& roles) {
    for (const Principal& role : roles) variables_.emplace(role.name(), role_variables(role));
  }

  void formula(const Formula& f) {
    switch (f.tag()) {
      case FormulaTag::Forall:
      case FormulaTag::Exists: {
        role_named(f.principal());
        const auto outer = scope_.find(f.index());
        const std::optional<std::string> shadowed =
            outer == scope_.end() ? std::nullopt : std::optional(outer->second);
        scope_[f.index()] = f.principal();
        formula(f.body());
        if (shadowed) {
          scope_[f.index()] = *shadowed;
        } else {
          scope_.erase(f.index());
        }
        return;
      }
      case FormulaTag::Not:
        formula(f.body());
        return;
      case FormulaTag::And:
      case FormulaTag::Or:
        formula(f.left());
        formula(f.right());
        return;
      case FormulaTag::Equal:
      case FormulaTag::NotEqual:
        term(f.variable());
        term(f.term());
        return;
      case FormulaTag::Derive:
      case FormulaTag::NotDerive:
        term(f.term());
        return;
      case FormulaTag::True:
      case FormulaTag::False:
        return;
    }
  }

  std::vector<std::string> found() && { return std::move(found_); }

 private:
  void term(const Message& root) {
    std::vector<Message> pending{root};
    while (!pending.empty()) {
      const Message t = pending.back();
      pending.pop_back();
      if (t.is(Tag::Var)) variable(t.var());
      if (t.second().tag() != Tag::NoMessage) pending.push_back(t.second());
      if (t.first().tag() != Tag::NoMessage) pending.push_back(t.first());
    }
  }

  // x_A_1 names role A; y_i the role of the quantifier that binds i.
  void variable(const VarId& v) {
    std::string role = v.owner;
    if (const auto bound = scope_.find(v.owner); bound != scope_.end()) {
      role = bound->second;
    } else if (v.instance == 0 && !is_role_name(v.owner)) {
      note("index " + v.owner + " of " + v.name + "_" + v.owner +
           " is bound by no quantifier (write forall ROLE." + v.owner + ": ...)");
      return;
    }
    if (!role_named(role)) return;
    const std::vector<std::string>& known = variables_.at(role);
    if (std::find(known.begin(), known.end(), v.name) == known.end()) {
      note("role " + role + " has no variable " + v.name + " (its variables: " + joined(known) +
           ")");
    }
  }

  // Whether role is declared; notes it when not.
  bool role_named(const std::string& role) {
    if (variables_.count(role) != 0) return true;
    note("role " + role + " is declared by no principal");
    return false;
  }

  static bool is_role_name(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(),
                                     [](char c) { return (c >= 'A' && c <= 'Z') || c == '_'; });
  }

  void note(std::string text) {
    if (std::find(found_.begin(), found_.end(), text) == found_.end()) {
      found_.push_back(std::move(text));
    }
  }

  std::map<std::string, std::vector<std::string>> variables_;  // by role name
  std::map<std::string, std::string> scope_;  // index variable -> role of its quantifier
  std::vector<std::string> found_;
};

}  // namespace

std::vector<std::string> undeclared_names(const Formula& f, const std::vector<Principal>& roles) {
  Checker checker(roles);
  checker.formula(f);
  return std::move(checker).found();
}

}  // namespace analyser
