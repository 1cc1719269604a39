#include "run/inputs.h"

#include <algorithm>

#include "formula/formula_parser.h"
#include "formula/name_check.h"
#include "parser/parser.h"
#include "utils/utils.h"

namespace analyser {

void warn(const RunStreams& io, const std::string& text) {
  io.err << "warning: " << text << "\n";
}

void report_diagnostic(const RunStreams& io, syntax::Diagnostic diagnostic,
                       const std::string& path) {
  if (diagnostic.text.empty()) return;
  if (diagnostic.where.file != path) {
    diagnostic.text += "; the rest of the line after the ';' that ends " + diagnostic.where.file +
                       " is read as the start of " + path;
  }
  io.err << syntax::diagnostic_line(diagnostic) << std::flush;
}

namespace {

// Ends the run on a syntax error met while reading the file at path: the
// error line (if the error has one) on io.out, the diagnostic on io.err, then
// the syntax failure failure_text names, or else the parser's own exception.
[[noreturn]] void report_syntax_error(const RunStreams& io, const syntax::SyntaxError& error,
                                      const std::string& path, const std::string& failure_text) {
  if (error.has_error_line()) io.out << error.error_line();
  report_diagnostic(io, error.diagnostic(), path);
  if (error.has_error_line()) throw syntax_failure(failure_text);
  throw error;
}

// Reads the file at path and parses it with parse, a function of the file's
// lexer, after the carry-over of the file read before it, which then becomes
// this file's.
template <typename Parse>
auto read_file(const RunStreams& io, const SourceReader& read_source, const std::string& path,
               tokenizer::CarryOver& carried, Parse parse, const std::string& failure_text) {
  const tokenizer::SourceFile file = read_source(path);
  tokenizer::Lexer lexer(file, std::move(carried));
  try {
    auto result = parse(lexer);
    carried = lexer.carry_over();
    return result;
  } catch (const syntax::SyntaxError& error) {
    report_syntax_error(io, error, path, failure_text);
  }
}

// The principals file at path, read by lexer, its principals in the reverse of
// their order in the file. A file that ends inside a block comment is warned
// about.
parser::PrincipalsFile principals_of(const RunStreams& io, const std::string& path,
                                     tokenizer::Lexer& lexer) {
  parser::PrincipalsFile file = parser::parse_principals(lexer);
  if (file.unclosed_comment) {
    warn(io, path + ": " + file.unclosed_comment->text + "; everything after it was ignored");
  }
  std::reverse(file.principals.begin(), file.principals.end());
  return file;
}

}  // namespace

std::vector<std::string> input_warnings(const Settings& settings, const Inputs& inputs) {
  std::vector<std::string> warnings;
  for (const NameFinding& finding : undeclared_names(inputs.formula, inputs.principals)) {
    warnings.push_back(settings.logic_file + ": " + finding.text);
  }
  for (const NameFinding& finding : undeclared_names(inputs.join_components, inputs.principals)) {
    warnings.push_back(settings.join_file + ": " + finding.text);
  }
  return warnings;
}

Inputs read_inputs(const Settings& settings, const RunStreams& io,
                   const SourceReader& read_source) {
  Inputs inputs;
  tokenizer::CarryOver carried;
  if (settings.every_claim) {
    // The claims' names and texts come from the file's text, read once.
    const tokenizer::SourceFile logic = read_source(settings.logic_file);
    inputs.claims = read_file(
        io, [&](const std::string&) { return logic; }, settings.logic_file, carried,
        [&](tokenizer::Lexer& lexer) { return parse_claims(lexer, logic.text); },
        "\nSyntax error in parsing formula\n");
    inputs.formula = inputs.claims.front().formula;
  } else {
    inputs.formula =
        read_file(io, read_source, settings.logic_file, carried, formula_parser::parse_formula,
                  "\nSyntax error in parsing formula\n");
  }
  inputs.join_components =
      read_file(io, read_source, settings.join_file, carried, formula_parser::parse_formula,
                "\nSyntax error in parsing join components\n");
  formula_parser::KnowledgeFile knowledge =
      read_file(io, read_source, settings.knowledge_file, carried, formula_parser::parse_knowledge,
                "\nSyntax error in parsing knowledge\n");
  inputs.knowledge = std::move(knowledge.terms);
  inputs.too_few_knowledge_terms = std::move(knowledge.too_few_terms);
  parser::PrincipalsFile principals = read_file(
      io, read_source, settings.principals_file, carried,
      [&](tokenizer::Lexer& lexer) { return principals_of(io, settings.principals_file, lexer); },
      "\nSyntax error in parsing principals\n");
  inputs.principals = std::move(principals.principals);
  inputs.unclosed_comment = std::move(principals.unclosed_comment);
  return inputs;
}

}  // namespace analyser
