#include "node/status.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "principal/process.h"

namespace analyser {

namespace {

VarId owned(const std::string& name, const std::string& owner, std::int64_t instance) {
  return VarId{name, owner, instance};
}

Principal role(const std::string& name, std::int64_t instance) {
  return make_principal(name, instance, {}, output(nonce("n", 0), nil_process()));
}

TEST(StatusTest, FinalWhenEveryPrincipalFinishedBindingsOrNot) {
  Assignment some = extend(empty_assignment(), var(VarId{"x", "", 0}), nonce("n", 1));
  EXPECT_TRUE(is_final(make_status({}, some, empty_knowledge())));
  // A run that bound nothing, an output-only role say, still reached its end.
  EXPECT_TRUE(is_final(make_status({}, empty_assignment(), empty_knowledge())));
  EXPECT_FALSE(is_final(make_status({role("P", 1)}, some, empty_knowledge())));
  const Context finished = {make_principal("Q", 1, {}, nil_process())};
  EXPECT_TRUE(is_final(make_status(finished, some, empty_knowledge())));
}

std::string printed(const Status& s) {
  std::ostringstream os;
  print_status(os, s);
  return os.str();
}

TEST(StatusTest, PrintingShowsContextAssignmentAndKnowledge) {
  Assignment a = extend(empty_assignment(), var(owned("x", "P", 1)), nonce("n", 1));
  Status s = make_status({role("P", 1)}, a, learn(empty_knowledge(), agent("I", 0)));
  EXPECT_EQ(printed(s),
            "Status:\n{\nContext:\nP_1: () [Out(n_1)]\n\n"
            "\nAssignment:\nx_P_1 -> n_1\n .\n"
            "\nKnowledge:\nKid: -1\nI_0\n.\n"
            "\n}\n");
}

}  // namespace

}  // namespace analyser
