#include "formula/name_check.h"

#include <algorithm>
#include <map>
#include <optional>

namespace analyser {

namespace {

// A role's variables: its parameters, then those its process binds or uses (a
// variable it only uses is bound by the join), in order of first appearance.
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
    if (t.is(Tag::BindVar) || t.is(Tag::Var)) add(t.var().name);
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
        role_named(f.principal(), f.principal());
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

  std::vector<NameFinding> found() && { return std::move(found_); }

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
    std::string written = v.name;
    written.append("_").append(v.owner);
    if (v.instance != 0) written.append("_").append(std::to_string(v.instance));
    std::string role = v.owner;
    if (const auto bound = scope_.find(v.owner); bound != scope_.end()) {
      role = bound->second;
    } else if (v.instance == 0 && !is_role_name(v.owner)) {
      note(NameProblem::UnboundIndex,
           "index " + v.owner + " of " + v.name + "_" + v.owner +
               " is bound by no quantifier (write forall ROLE." + v.owner + ": ...)",
           written);
      return;
    }
    if (!role_named(role, written)) return;
    const std::vector<std::string>& known = variables_.at(role);
    if (std::find(known.begin(), known.end(), v.name) == known.end()) {
      note(
          NameProblem::MissingVariable,
          "role " + role + " has no variable " + v.name + " (its variables: " + joined(known) + ")",
          written);
    }
  }

  // Whether role is declared; notes it, at written, when not.
  bool role_named(const std::string& role, const std::string& written) {
    if (variables_.count(role) != 0) return true;
    note(NameProblem::UndeclaredRole, "role " + role + " is declared by no principal", written);
    return false;
  }

  static bool is_role_name(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(),
                                     [](char c) { return (c >= 'A' && c <= 'Z') || c == '_'; });
  }

  void note(NameProblem problem, std::string text, const std::string& written) {
    const bool known = std::any_of(found_.begin(), found_.end(),
                                   [&](const NameFinding& f) { return f.text == text; });
    if (!known) found_.push_back(NameFinding{problem, std::move(text), written});
  }

  std::map<std::string, std::vector<std::string>> variables_;  // by role name
  std::map<std::string, std::string> scope_;  // index variable -> role of its quantifier
  std::vector<NameFinding> found_;
};

}  // namespace

std::vector<NameFinding> undeclared_names(const Formula& f, const std::vector<Principal>& roles) {
  Checker checker(roles);
  checker.formula(f);
  return std::move(checker).found();
}

bool speaks_of_knowledge(const Formula& f) {
  switch (f.tag()) {
    case FormulaTag::Derive:
    case FormulaTag::NotDerive:
      return true;
    case FormulaTag::Forall:
    case FormulaTag::Exists:
    case FormulaTag::Not:
      return speaks_of_knowledge(f.body());
    case FormulaTag::And:
    case FormulaTag::Or:
      return speaks_of_knowledge(f.left()) || speaks_of_knowledge(f.right());
    default:
      return false;
  }
}

}  // namespace analyser
