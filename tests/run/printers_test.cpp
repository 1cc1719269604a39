#include "run/printers.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assignment/assignment.h"
#include "formula/formula.h"
#include "knowledge/knowledge.h"
#include "message/message.h"
#include "node/action.h"
#include "principal/context.h"
#include "verify/constraints.h"

namespace analyser {

namespace {

// Everything f writes on the stream it is given.
template <typename F>
std::string captured(F f) {
  std::ostringstream text;
  f(text);
  return text.str();
}

// A hand-made trace: root, a session node, an input and an output of A_1.
struct Trace {
  NodeRef root, session, input, output;
};

Trace make_trace(const Message& x, const Message& na) {
  NodeIds ids;
  Trace t;
  const Status status = make_status({}, empty_assignment(), learn(empty_knowledge(), na));
  t.root = create_node(ids, status);
  t.session = create_node(ids, status);
  set_parent(t.session, t.root);
  t.session->set_action(join_action("A", 1, empty_assignment()));
  t.input = create_node(ids, status);
  set_parent(t.input, t.session);
  t.input->set_action(in_action("A", 1, x, empty_assignment()));
  t.output = create_node(ids, status);
  set_parent(t.output, t.input);
  t.output->set_action(out_action("A", 1, pair(x, na), empty_assignment()));
  return t;
}

TEST(PrintTrace, HeaderThenEveryNodeFromTheRoot) {
  const Message x = var(VarId{"x", "A", 1});
  const Trace t = make_trace(x, nonce("na", 1));
  SearchState s;
  s.counts.traces = 3;
  const std::string nodes = captured([&](std::ostream& os) {
    for (const NodeRef& n : {t.root, t.session, t.input, t.output}) print_node(os, n);
  });
  EXPECT_EQ(captured([&](std::ostream& os) { print_trace(os, s, t.output); }),
            "\n-------\n Trace (3)|<<---------------------------|\n-------\n\n" + nodes);
}

TEST(PrintAttack, ReportLayout) {
  const Message x = var(VarId{"x", "A", 1});
  const Message na = nonce("na", 1);
  const Trace t = make_trace(x, na);
  SearchState s;
  s.counts.attacks = 1;
  s.subtree_index = 0;
  s.starting_nodes = {t.session};
  const Formula secret = derive_formula(na);
  s.formulas = {LaidOutClauses({{secret}})};
  const ConstraintStore store = {Constraint{x, na, ConstraintKind::BindsTo}};
  WorkItem candidate{{{formula_false()}}, empty_assignment(), {store}};

  const Assignment sigma = stores_to_assignments({store}).front();
  const std::string pieces = captured([&](std::ostream& os) {
    print_formula(os, secret);
    os << "|";
    print_context(os, t.session->status().context, sigma);
    os << "|";
    print_knowledge(os, t.output->status().knowledge, sigma);
    os << "|";
    print_model(os, {store});
    os << "|";
    print_message(os, apply(sigma, x));
    os << "|";
    print_message(os, apply(sigma, pair(x, na)));
  });
  std::vector<std::string> part;
  std::stringstream split(pieces);
  for (std::string item; std::getline(split, item, '|');) part.push_back(item);
  ASSERT_EQ(part.size(), 6u);
  const std::string rule = "\n--------------------------------------------------------------\n\n";
  const std::string one_pair = "\n***************\nContext:\n" + part[1] + "Knowledge:\n" +
                               part[2] + "\nModel:\n" + part[3] +
                               "Intruder:\nI -> A_1: " + part[4] + "\nA_1 -> I: " + part[5] + "\n";
  const std::string one_candidate =
      "Violated Constraints:\n" + part[0] + "\n\n" + one_pair + "\n\n***************\n";
  EXPECT_EQ(captured([&](std::ostream& os) { print_attack(os, s, t.output, {candidate}); }),
            "  ATTACK SET 1" + rule + one_candidate + "\n" + rule);
  EXPECT_EQ(captured([&](std::ostream& os) {
              print_attack(os, s, t.output, {candidate, candidate});
            }),
            "  ATTACK SET 1" + rule + one_candidate + one_candidate + "\n" + rule);
}

TEST(PrintAttack, JoinOnlyTraceHasNoIntruderLine) {
  const Message na = nonce("na", 1);
  const Trace t = make_trace(var(VarId{"x", "A", 1}), na);
  SearchState s;
  s.counts.attacks = 2;
  s.starting_nodes = {t.session};
  s.formulas = {LaidOutClauses({{derive_formula(na)}})};
  const WorkItem candidate{{{formula_false()}}, empty_assignment(), {ConstraintStore{}}};
  const std::string text =
      captured([&](std::ostream& os) { print_attack(os, s, t.session, {candidate}); });
  EXPECT_EQ(text.substr(0, 14), "  ATTACK SET 2");
  EXPECT_NE(text.find("Intruder:\n\n\n***************\n\n"), std::string::npos) << text;
}

}  // namespace

}  // namespace analyser
