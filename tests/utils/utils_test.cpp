#include "utils/utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace analyser {

namespace {

// Runs body, which must throw UtilException, and returns the output it carries.
template <typename Body>
std::string util_failure_output(Body body) {
  try {
    body();
  } catch (const UtilException& e) {
    return e.output();
  }
  ADD_FAILURE() << "no UtilException";
  return "";
}

using Ints = std::vector<int>;

// ---------------------------------------------------------------- failures

TEST(FailureTest, DescriptionsAreTheUserFacingNames) {
  struct Case {
    Failure failure;
    const char* description;
  };
  const std::vector<Case> cases = {
      {UtilException(), "Utils.UtilException"},
      {StackException(), "Thestack.StackException"},
      {syntax_failure("\nSyntax error in parsing principals\n"),
       "Failure(\"\nSyntax error in parsing principals\n\")"},
      {sys_error("nofile: No such file or directory"),
       "Sys_error(\"nofile: No such file or directory\")"},
      {stack_overflow(), "Stack_overflow"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(c.failure.description(), c.description);
    EXPECT_STREQ(c.failure.what(), c.description);
  }
}

TEST(FailureTest, NamedConditionsAreFailures) {
  EXPECT_THROW(throw UtilException(), Failure);
  EXPECT_THROW(throw StackException(), Failure);
}

// ---------------------------------------------------------------- select

TEST(SelectTest, InRangeReturnsElement) {
  const Ints l = {10, 20, 30};
  for (std::int64_t n : {0, 1, 2}) EXPECT_EQ(utils::select(l, n), l[static_cast<std::size_t>(n)]);
}

TEST(SelectTest, OutOfRangeThrowsWithDiagnostic) {
  struct Case {
    Ints list;
    std::int64_t n;
  };
  const std::vector<Case> cases = {
      {{1, 2}, 2}, {{1, 2}, 3}, {{1, 2}, -1},     {{}, 0},
      {{}, -5},    {{7}, 1},    {{7}, INT64_MAX}, {{7}, INT64_MIN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(util_failure_output([&] { utils::select(c.list, c.n); }), "select!\n")
        << "n = " << c.n << ", length " << c.list.size();
  }
}

// ---------------------------------------------------------------- head

TEST(HeadTest, FirstElementOrDiagnostic) {
  EXPECT_EQ(utils::head(Ints{4, 5}), 4);
  EXPECT_EQ(util_failure_output([] { utils::head(Ints{}); }), "head!\n");
}

// ---------------------------------------------------------------- fold2

TEST(Fold2Test, NestsToTheRight) {
  const auto show = [](const std::string& x, const std::string& acc) {
    return "f(" + x + "," + acc + ")";
  };
  struct Case {
    std::vector<std::string> list;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{"x", "y"}, "f(x,y)"},
      {{"a", "b", "c"}, "f(a,f(b,c))"},
      {{"a", "b", "c", "d"}, "f(a,f(b,f(c,d)))"},
  };
  for (const Case& c : cases) EXPECT_EQ(utils::fold2(c.list, show), c.expected);
}

TEST(Fold2Test, AppliesFromTheLastElementToTheFirst) {
  std::vector<int> calls;
  const auto record = [&](int x, int acc) {
    calls.push_back(x);
    return x + acc;
  };
  EXPECT_EQ(utils::fold2(Ints{1, 2, 3, 4}, record), 10);
  EXPECT_EQ(calls, (Ints{3, 2, 1}));
}

TEST(Fold2Test, TooShortPrintsItsOwnDiagnostic) {
  const auto plus = [](int x, int y) { return x + y; };
  EXPECT_EQ(util_failure_output([&] { utils::fold2(Ints{1}, plus); }), "fold2_1!\n");
  EXPECT_EQ(util_failure_output([&] { utils::fold2(Ints{}, plus); }), "fold2_2!\n");
}

// ---------------------------------------------------------------- group

TEST(GroupTest, Table) {
  const auto at_most = [](int x, int y) { return y <= x; };
  const auto same_parity = [](int x, int y) { return x % 2 == y % 2; };
  const auto same_mod3 = [](int x, int y) { return x % 3 == y % 3; };
  const auto less = [](int x, int y) { return x < y; };
  const auto never = [](int, int) { return false; };
  struct Case {
    const char* what;
    Ints input;
    std::function<bool(int, int)> relation;
    Ints expected;
  };
  const std::vector<Case> cases = {
      {"empty", {}, same_parity, {}},
      {"not a sort: all related to the first", {3, 1, 2}, at_most, {3, 1, 2}},
      {"classes in order of first appearance", {1, 2, 3, 4, 5}, same_parity, {1, 3, 5, 2, 4}},
      {"second class split recursively", {1, 2, 3, 4}, same_mod3, {1, 4, 2, 3}},
      {"three classes", {6, 1, 2, 3, 4, 5}, same_mod3, {6, 3, 1, 4, 2, 5}},
      // With a relation that does not hold for x itself, x lands among the others.
      {"irreflexive relation", {1, 2}, less, {2, 1}},
      {"nothing related", {1, 2, 3}, never, {1, 2, 3}},
  };
  for (const Case& c : cases) EXPECT_EQ(utils::group(c.input, c.relation), c.expected) << c.what;
}

// ---------------------------------------------------------------- remove_duplicates

TEST(RemoveDuplicatesTest, KeepsFirstOccurrences) {
  struct Case {
    std::vector<std::string> input;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{"a"}, {"a"}},
      {{"a", "b", "a", "c", "b"}, {"a", "b", "c"}},
      {{"c", "c", "c"}, {"c"}},
      {{"b", "a"}, {"b", "a"}},
  };
  for (const Case& c : cases) EXPECT_EQ(utils::remove_duplicates(c.input), c.expected);
}

}  // namespace

}  // namespace analyser
