#include "run/gviz.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assignment/assignment.h"
#include "knowledge/knowledge.h"
#include "message/message.h"
#include "node/action.h"
#include "principal/context.h"
#include "utils/utils.h"

namespace analyser {

namespace {

class GvizTest : public ::testing::Test {
 protected:
  NodeRef child_of(const NodeRef& parent, Status status) {
    NodeRef n = create_node(ids, std::move(status));
    set_parent(n, parent);
    return n;
  }

  // A chain of `length` nodes below a fresh root; returns the deepest.
  NodeRef chain(int length) {
    NodeRef n = create_node(ids, make_status({}, empty_assignment(), empty_knowledge()));
    for (int i = 1; i < length; ++i) {
      n = child_of(n, make_status({}, empty_assignment(), empty_knowledge()));
    }
    return n;
  }

  template <typename F>
  static std::string captured(F f) {
    std::ostringstream text;
    f(text);
    return text.str();
  }

  NodeIds ids;
};

TEST_F(GvizTest, HeaderAndFooter) {
  EXPECT_EQ(captured([](std::ostream& os) { graph_header(os, "prova"); }),
            "\n/*automatically generated*/\ndigraph prova{\nconcentrate=true\n ");
  EXPECT_EQ(captured([](std::ostream& os) { graph_footer(os); }), "\n}\n/*end of graph*/\n");
}

TEST_F(GvizTest, PathWithoutFieldsHasBlankLabels) {
  const NodeRef leaf = chain(3);
  EXPECT_EQ(captured([&](std::ostream& os) { write_path(os, leaf, GraphFields{}); }),
            "1\n1[label=\" \"]\n1 1 -> 2\n2[label=\" \"]\n2 -> 3\n3[label=\" \"]\n3 ");
}

TEST_F(GvizTest, RootAloneIsOneNodeStatement) {
  const NodeRef root = chain(1);
  EXPECT_EQ(captured([&](std::ostream& os) { write_path(os, root, GraphFields{}); }),
            "1\n1[label=\" \"]\n1 1 ");
}

TEST_F(GvizTest, ConsecutivePathsContinueAfterTheTrailingBlank) {
  const NodeRef root = chain(1);
  const NodeRef a = child_of(root, root->status());
  const NodeRef b = child_of(root, root->status());
  const std::string text = captured([&](std::ostream& os) {
    write_path(os, a, GraphFields{});
    write_path(os, b, GraphFields{});
  });
  EXPECT_EQ(text,
            "1\n1[label=\" \"]\n1 1 -> 2\n2[label=\" \"]\n2 "
            "1\n1[label=\" \"]\n1 1 -> 3\n3[label=\" \"]\n3 ");
}

TEST_F(GvizTest, LabelSectionsInFixedOrder) {
  const Message na = nonce("na", 1);
  const Knowledge k = learn(empty_knowledge(), na);
  const Assignment a = extend(empty_assignment(), var(VarId{"x", "A", 1}), na);
  const NodeRef n = create_node(ids, make_status({}, a, k));
  n->set_action(join_action("A", 1, empty_assignment()));
  const std::string action = "Action: " + action_to_string(n->action()) + "\\n\\n";
  const std::string context = "Context:\\n------------\\n" + context_to_string({}, a);
  const std::string knowledge = "Knowledge:\\n------------\\n" + knowledge_to_string(k);
  const std::string assignment = "Assignment:\\n------------\\n" + assignment_to_string(a);
  struct Case {
    GraphFields fields;
    std::string body;
  };
  const std::vector<Case> cases = {
      {{false, false, false, false}, " "},
      {{false, true, false, true}, action + assignment},
      {{true, false, false, false}, " " + context},
      {{false, false, true, false}, " " + knowledge},
      {{true, true, true, true}, action + context + knowledge + assignment},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(node_label(*n, c.fields), "\n1[label=\"" + c.body + "\"]\n1 ");
  }
}

TEST_F(GvizTest, LabelsHoldNoRawLineBreak) {
  const NodeRef n = create_node(ids, make_status({}, empty_assignment(), empty_knowledge()));
  const std::string label = node_label(*n, GraphFields{true, true, true, true});
  const std::string inside = label.substr(label.find('"'), label.rfind('"') - label.find('"'));
  EXPECT_EQ(inside.find('\n'), std::string::npos) << inside;
}

TEST_F(GvizTest, DeepPathIsWrittenWithoutRecursion) {
  const NodeRef leaf = chain(200000);
  const std::string text = captured([&](std::ostream& os) { write_path(os, leaf, GraphFields{}); });
  EXPECT_EQ(text.substr(0, 2), "1\n");
  EXPECT_NE(text.find("-> 200000\n200000[label=\" \"]\n200000 "), std::string::npos);
}

}  // namespace

}  // namespace analyser
