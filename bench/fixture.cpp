#include "bench/fixture.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

#include "run/inputs.h"
#include "search/subtree.h"
#include "step/step.h"

namespace analyser {

namespace {

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

}  // namespace

Scenario::Scenario(const std::string& example, std::int64_t session_size) {
  const std::string dir = std::string(EXAMPLES_DIR) + "/" + example + "/";
  Settings settings;
  settings.logic_file = dir + "logic.txt";
  settings.join_file = dir + "join.txt";
  settings.knowledge_file = dir + "knowledge.txt";
  settings.principals_file = dir + "principals.txt";
  settings.search.session_size = session_size;
  const Inputs inputs = read_inputs(settings, RunStreams{std::cerr, std::cerr});
  state_ = search::create(inputs.principals, inputs.knowledge, settings.search, std::cerr);
  search::join(state_, inputs.formula, inputs.join_components);
  for (std::size_t j = 0; j < state_.starting_nodes.size(); ++j) {
    const search::InitialNodes initial(state_, core(), j);
    if (initial.size() == 0) continue;
    trace_.push_back(initial[0].node);
    for (StepCursor cursor; NodeRef child = step(core(), node_ids(), trace_.back(), cursor);
         cursor = StepCursor()) {
      trace_.push_back(std::move(child));
    }
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
  const auto collect = [&terms](const Message& t) {
    terms.push_back(t);
    return t;
  };
  for (const Principal& p : trace_.front()->status().context) map_terms(collect, p.process());
  return terms;
}

Scenario& scenario(const std::string& example, std::int64_t session_size) {
  static std::map<std::pair<std::string, std::int64_t>, std::unique_ptr<Scenario>> built;
  std::unique_ptr<Scenario>& s = built[{example, session_size}];
  if (!s) s = std::make_unique<Scenario>(example, session_size);
  return *s;
}

}  // namespace analyser
