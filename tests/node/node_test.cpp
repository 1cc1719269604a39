#include "node/node.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "node/action.h"

namespace analyser {

namespace {

const VarId kX{"x", "A", 1};

Status empty_status() {
  return Status{Context{}, empty_assignment(), Knowledge()};
}

std::string printed_node(const NodeRef& node) {
  std::ostringstream text;
  print_node(text, node);
  return text.str();
}

std::string printed_action(const Action& a) {
  std::ostringstream text;
  print_action(text, a);
  return text.str();
}

class NodeTest : public ::testing::Test {
 protected:
  NodeIds ids;
};

TEST_F(NodeTest, IdentifiersFollowCreationOrderFromOne) {
  NodeRef root = create_node(ids, empty_status());
  NodeRef second = create_node(ids, empty_status());
  NodeRef third = create_node(ids, empty_status());
  EXPECT_EQ(root->id(), 1);
  EXPECT_EQ(second->id(), 2);
  EXPECT_EQ(third->id(), 3);
  EXPECT_EQ(node_id(third), 3);
  EXPECT_EQ(node_id(nullptr), -1);
}

TEST_F(NodeTest, SetParentLinksUpwardAndCountsChildren) {
  NodeRef root = create_node(ids, empty_status());
  NodeRef a = create_node(ids, empty_status());
  NodeRef b = create_node(ids, empty_status());
  set_parent(a, root);
  set_parent(b, root);
  EXPECT_EQ(a->parent(), root);
  EXPECT_EQ(b->parent(), root);
  EXPECT_EQ(root->children(), 2);
  EXPECT_EQ(a->children(), 0);
}

TEST_F(NodeTest, PrintsNullNode) {
  EXPECT_EQ(printed_node(nullptr), "\nNode: NULNODE\n");
}

TEST_F(NodeTest, PrintsRootWithMissingParent) {
  NodeRef root = create_node(ids, empty_status());
  EXPECT_EQ(printed_node(root),
            "\n---------------------------------\nAction: 0\n"
            "\n   ||\n   ||\n   \\/\n"
            "\n-----\nNode: id=1\n-----\nSon of:-1\n"
            "Status:\n{\nContext:\n\n\nAssignment:\n .\n\nKnowledge:\nKid: -1\n.\n\n}\n");
}

TEST_F(NodeTest, PrintsChildWithActionAndParentId) {
  NodeRef root = create_node(ids, empty_status());
  Assignment sigma = extend(empty_assignment(), var(kX), nonce("n", 2));
  NodeRef child = create_node(ids, Status{Context{}, sigma, Knowledge()});
  set_parent(child, root);
  child->set_action(in_action("A", 1, var(kX), sigma));
  EXPECT_EQ(printed_node(child),
            "\n---------------------------------\nAction: A_1: In(x_A_1)  --sigma-->  In(n_2)\n"
            "\n   ||\n   ||\n   \\/\n"
            "\n-----\nNode: id=2\n-----\nSon of:1\n"
            "Status:\n{\nContext:\n\n\nAssignment:\nx_A_1 -> n_2\n .\n\nKnowledge:\nKid: "
            "-1\n.\n\n}\n");
}

TEST_F(NodeTest, DroppingADeepChainDoesNotExhaustTheStack) {
  NodeRef leaf = create_node(ids, empty_status());
  for (int depth = 0; depth < 100000; ++depth) {
    NodeRef child = create_node(ids, empty_status());
    set_parent(child, leaf);
    leaf = std::move(child);
  }
  EXPECT_EQ(leaf->id(), 100001);
  leaf = nullptr;  // would recurse once per level without the iterative release
}

// Actions.

Assignment binding_x_to(const Message& value) {
  return extend(empty_assignment(), var(kX), value);
}

struct EqualCase {
  const char* what;
  Action a;
  Action b;
  bool expected;
};

TEST(ActionTest, EqualComparesSubstitutedMessagesOfSameDirection) {
  const Message n2 = nonce("N", 2);
  const std::vector<EqualCase> cases = {
      {"no actions", no_action(), no_action(), true},
      {"inputs of different principals, same substituted message",
       in_action("A", 1, var(kX), binding_x_to(n2)), in_action("B", 3, n2, empty_assignment()),
       true},
      {"outputs with equal substituted messages", out_action("A", 1, var(kX), binding_x_to(n2)),
       out_action("A", 1, n2, empty_assignment()), true},
      {"same message but input against output", in_action("A", 1, n2, empty_assignment()),
       out_action("A", 1, n2, empty_assignment()), false},
      {"inputs differing once substituted", in_action("A", 1, var(kX), binding_x_to(nonce("M", 2))),
       in_action("A", 1, var(kX), binding_x_to(n2)), false},
      {"same unsubstituted message, different substitutions",
       in_action("A", 1, var(kX), empty_assignment()), in_action("A", 1, var(kX), binding_x_to(n2)),
       false},
      {"joins are never equal", join_action("A", 1, empty_assignment()),
       join_action("A", 1, empty_assignment()), false},
      {"no action against input", no_action(), in_action("A", 1, n2, empty_assignment()), false},
  };
  for (const EqualCase& c : cases) {
    EXPECT_EQ(equal(c.a, c.b), c.expected) << c.what;
    EXPECT_EQ(equal(c.b, c.a), c.expected) << c.what << " (swapped)";
  }
}

struct TextCase {
  Action action;
  const char* printed;
  const char* label;
};

TEST(ActionTest, PrintAndLabelForms) {
  const VarId y{"y", "B", 2};
  const Assignment y_to_pair = extend(empty_assignment(), var(y), nonce("na", 1));
  const std::vector<TextCase> cases = {
      {no_action(), "0\n", "0"},
      {in_action("A", 1, var(kX), binding_x_to(nonce("N", 2))),
       "A_1: In(x_A_1)  --sigma-->  In(N_2)\n", "A_1: I(N_2)"},
      {out_action("B", 2, pair(agent("A", 1), var(y)), y_to_pair),
       "B_2: Out([A_1,y_B_2])  --sigma-->  Out([A_1,na_1])\n", "B_2: O(A_1,na_1)"},
      {out_action("B", 2, enc(var(y), pub_key("A", 1)), empty_assignment()),
       "B_2: Out({y_B_2}A_1+)  --sigma-->  Out({y_B_2}A_1+)\n", "B_2: O({y_B_2}A_1+)"},
      {join_action("A", 1, empty_assignment()), "Join: A_1\n", "J(A,1)"},
      {join_action("Check Component", 7, y_to_pair), "Join: Check Component_7\n",
       "J(Check Component,7)"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(printed_action(c.action), c.printed);
    EXPECT_EQ(action_to_string(c.action), c.label);
  }
}

}  // namespace

}  // namespace analyser
