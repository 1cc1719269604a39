#include "report/slips.h"

#include "formula/name_check.h"

namespace analyser {

namespace {

using tokenizer::Location;
using tokenizer::Token;
using tokenizer::TokenKind;

const InputFile& file_of(const std::vector<InputFile>& model, const std::string& role) {
  for (const InputFile& file : model) {
    if (file.role == role) return file;
  }
  return model.front();
}

const InputFile& file_at(const std::vector<InputFile>& model, const std::string& path) {
  for (const InputFile& file : model) {
    if (file.path == path) return file;
  }
  return file_of(model, "logic");
}

// Where the first token of file that matches starts; the file's start when
// none does.
Location first(const InputFile& file, const syntax::TokenMatch& matches) {
  const tokenizer::SourceFile source{file.path, file.text, ""};
  return syntax::locate_token(source, matches).value_or(Location{file.path, 1, 1});
}

bool at_or_after(const Location& at, const Location& from) {
  return at.line > from.line || (at.line == from.line && at.column >= from.column);
}

// The identifier's first occurrence in file from the place from on.
Location first_identifier(const InputFile& file, const std::string& identifier,
                          const Location& from) {
  return first(file, [&](const Token& token, const Token&) {
    return token.kind == TokenKind::Ident && token.text == identifier &&
           at_or_after(token.where, from);
  });
}

// Why a role may be missing beyond a misspelling: the principals file ends
// inside a comment that hides the declarations after it.
std::string hidden_declarations(const Inputs& inputs) {
  if (!inputs.unclosed_comment) return "";
  const syntax::Diagnostic& comment = *inputs.unclosed_comment;
  return "; " + comment.where.file + ": " + comment.text +
         ", which hides the declarations after it";
}

// The slips of formula, which stands in file from the place from on.
void add_name_slips(std::vector<syntax::Diagnostic>& slips, const InputFile& file,
                    const Location& from, const Formula& formula, const Inputs& inputs) {
  for (const NameFinding& finding : undeclared_names(formula, inputs.principals)) {
    std::string text = finding.text;
    if (finding.problem == NameProblem::UndeclaredRole) text += hidden_declarations(inputs);
    slips.push_back({first_identifier(file, finding.identifier, from), text});
  }
}

}  // namespace

std::vector<syntax::Diagnostic> model_slips(const std::vector<InputFile>& model,
                                            const Inputs& inputs, const std::vector<Claim>& claims,
                                            bool knowledge_in_join) {
  std::vector<syntax::Diagnostic> slips;
  const InputFile& join = file_of(model, "join");
  const Location start{"", 1, 1};
  if (claims.empty()) add_name_slips(slips, file_of(model, "logic"), start, inputs.formula, inputs);
  for (const Claim& claim : claims) {
    add_name_slips(slips, file_at(model, claim.where.file), claim.where, claim.formula, inputs);
  }
  add_name_slips(slips, join, start, inputs.join_components, inputs);
  if (!knowledge_in_join && speaks_of_knowledge(inputs.join_components)) {
    const Location at = first(join, [](const Token& token, const Token& next) {
      return token.is_symbol(':') && next.is_symbol('>');
    });
    slips.push_back(
        {at,
         "the join formula speaks of the intruder's knowledge (':>'), but when sessions are "
         "composed the intruder knows only names and public keys: did you swap the logic and "
         "join files? (--knowledge-in-join accepts it)"});
  }
  return slips;
}

}  // namespace analyser
