#include "bench/fixture.h"

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

#include "logic/pl_parser.h"
#include "parser/parser.h"
#include "parser/tokenizer.h"
#include "step/step.h"

namespace {

// One input file through the shared tokenizer; a syntax error is a broken example.
template <typename Parse, typename ErrorCode>
auto read(const std::string& path, Parse parse, ErrorCode error_code) {
  tokenizer::open_input(path);
  auto result = parse();
  if (error_code() != 0) throw std::runtime_error("syntax error in " + path);
  tokenizer::close_input();
  return result;
}

// The principals in reverse file order, as the driver gives them.
std::vector<Principal> read_principals(const std::string& path) {
  tokenizer::open_input(path);
  std::vector<Principal> principals;
  while (parser::more_principals()) {
    principals.push_back(parser::parse_principal());
    if (parser::error_code() != 0) throw std::runtime_error("syntax error in " + path);
  }
  tokenizer::close_input();
  std::reverse(principals.begin(), principals.end());
  return principals;
}

// The terms of the front prefixes of p (those a step can perform next).
void front_terms(const Process& p, std::vector<Message>& terms) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return;
    case ProcessTag::Input:
    case ProcessTag::Output:
      terms.push_back(p.term());
      return;
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      front_terms(p.left(), terms);
      front_terms(p.right(), terms);
      return;
  }
}

void all_terms(const Process& p, std::vector<Message>& terms) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return;
    case ProcessTag::Input:
    case ProcessTag::Output:
      terms.push_back(p.term());
      all_terms(p.next(), terms);
      return;
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      all_terms(p.left(), terms);
      all_terms(p.right(), terms);
      return;
  }
}

}  // namespace

Scenario::Scenario(const std::string& example, std::int64_t session_size) {
  const std::string dir = std::string(EXAMPLES_DIR) + "/" + example + "/";
  tokenizer::reset();
  const Formula formula = read(dir + "logic.txt", pl_parser::parse_formula, pl_parser::error_code);
  const Formula join = read(dir + "join.txt", pl_parser::parse_formula, pl_parser::error_code);
  const std::vector<Message> knowledge =
      read(dir + "knowledge.txt", pl_parser::parse_knowledge, pl_parser::error_code);
  const std::vector<Principal> principals = read_principals(dir + "principals.txt");

  Settings settings;
  settings.session_size = session_size;
  state_ = tracer::create(principals, knowledge, settings);
  tracer::join(state_, formula, join);
  for (const std::vector<InitialNode>& initial : state_.initial_nodes) {
    if (initial.empty()) continue;
    trace_.push_back(initial.front().node);
    while (NodeRef child = step(manager(), trace_.back())) trace_.push_back(std::move(child));
    return;
  }
  throw std::runtime_error(example + ": no session survives the join");
}

std::vector<std::pair<NodeRef, NodeRef>> Scenario::steps_of(ActionKind kind) const {
  std::vector<std::pair<NodeRef, NodeRef>> steps;
  for (std::size_t i = 1; i < trace_.size(); ++i) {
    if (trace_[i]->action().kind == kind) steps.emplace_back(trace_[i - 1], trace_[i]);
  }
  return steps;
}

Message Scenario::prefix_term(const NodeRef& parent, const NodeRef& child) {
  const Action& action = child->action();
  const Status& s = parent->status();
  for (const Principal& p : s.context) {
    if (p.name() != action.name || p.instance() != action.instance) continue;
    std::vector<Message> terms;
    front_terms(p.process(), terms);
    if (terms.empty()) break;
    return apply(s.assignment, terms.front());
  }
  throw std::runtime_error("the stepping principal has no prefix");
}

std::vector<Message> Scenario::process_terms() const {
  std::vector<Message> terms;
  for (const Principal& p : trace_.front()->status().context) all_terms(p.process(), terms);
  return terms;
}

Scenario& scenario(const std::string& example, std::int64_t session_size) {
  static std::map<std::pair<std::string, std::int64_t>, std::unique_ptr<Scenario>> built;
  std::unique_ptr<Scenario>& s = built[{example, session_size}];
  if (!s) s = std::make_unique<Scenario>(example, session_size);
  return *s;
}
