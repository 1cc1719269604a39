#include "step/join.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

#include "step_helpers.h"

namespace analyser {

namespace {

using Session = std::vector<std::int64_t>;

// The enumeration as defined recursively, to check the direct computation of
// any session against it.
std::vector<Session> reference_sessions(std::int64_t n, std::int64_t k) {
  std::vector<Session> result;
  if (n == 1) return {Session(static_cast<std::size_t>(k), 1)};
  if (n == 2) {
    for (std::int64_t j = k; j >= 0; --j) {
      Session s(static_cast<std::size_t>(k - j), 1);
      s.resize(static_cast<std::size_t>(k), 2);
      result.push_back(s);
    }
    return result;
  }
  for (std::int64_t i = 0; i <= k; ++i) {
    for (Session s : reference_sessions(n - 1, i)) {
      s.resize(static_cast<std::size_t>(k), n);
      result.push_back(s);
    }
  }
  return result;
}

struct SessionsCase {
  std::int64_t n;
  std::int64_t k;
  std::vector<Session> expected;
};

TEST(SessionsTest, EnumerationOrder) {
  const std::vector<SessionsCase> cases = {
      {1, 2, {{1, 1}}},
      {1, 1, {{1}}},
      {2, 1, {{2}, {1}}},
      {2, 2, {{2, 2}, {1, 2}, {1, 1}}},
      {2, 3, {{2, 2, 2}, {1, 2, 2}, {1, 1, 2}, {1, 1, 1}}},
      {3, 1, {{3}, {2}, {1}}},
      {3, 2, {{3, 3}, {2, 3}, {1, 3}, {2, 2}, {1, 2}, {1, 1}}},
      {0, 2, {}},
      {3, -1, {}},
  };
  for (const SessionsCase& c : cases) {
    EXPECT_EQ(sessions(c.n, c.k), c.expected) << c.n << " templates, size " << c.k;
  }
}

TEST(SessionsTest, AgreesWithRecursiveDefinitionForLargerPools) {
  for (std::int64_t n = 1; n <= 5; ++n) {
    for (std::int64_t k = 1; k <= 4; ++k) {
      EXPECT_EQ(sessions(n, k), reference_sessions(n, k)) << n << " templates, size " << k;
    }
  }
}

// As many templates as a generated principals file may declare: the session of
// any number is found in a bounded depth and in time that does not grow with
// the number of templates. Over n templates, the sessions of size 1 are [n]
// down to [1]; those of size 2 are, for t from n down to 1, [t, t] then [u, t]
// for u from t - 1 down to 1.
TEST(SessionsTest, ManyTemplates) {
  constexpr std::int64_t kTemplates = 100'000;
  const std::vector<Session> singles = sessions(kTemplates, 1);
  ASSERT_EQ(static_cast<std::int64_t>(singles.size()), kTemplates);
  for (std::int64_t j = 0; j < kTemplates; ++j) {
    ASSERT_EQ(singles[static_cast<std::size_t>(j)], Session{kTemplates - j}) << "session " << j;
  }
  constexpr std::int64_t kPairTemplates = 1'000;
  std::vector<Session> pairs;
  for (std::int64_t t = kPairTemplates; t >= 1; --t) {
    for (std::int64_t u = t; u >= 1; --u) pairs.push_back({u, t});
  }
  EXPECT_EQ(sessions(kPairTemplates, 2), pairs);
}

constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();

struct CountCase {
  std::int64_t n;
  std::int64_t k;
  std::int64_t expected;
};

TEST(SessionsTest, SessionCount) {
  const std::vector<CountCase> cases = {
      {1, 5, 1},
      {2, 3, 4},
      {3, 2, 6},
      {4, 3, 20},
      {5, 4, 70},
      {3, 0, 1},
      {0, 2, 0},
      {-1, 2, 0},
      {3, -1, 0},
      // Huge sizes answer at once: exact for one or two templates, saturated beyond.
      {1, kHuge, 1},
      {2, kHuge - 1, kHuge},
      {2, kHuge, kHuge},
      {3, kHuge, kHuge},
      {60, 60, kHuge},
  };
  for (const CountCase& c : cases) {
    EXPECT_EQ(session_count(c.n, c.k), c.expected) << c.n << " templates, size " << c.k;
  }
  for (std::int64_t n = 1; n <= 5; ++n) {
    for (std::int64_t k = 1; k <= 4; ++k) {
      EXPECT_EQ(session_count(n, k), static_cast<std::int64_t>(sessions(n, k).size()));
    }
  }
}

// Session composition over real principals and knowledge.

using step_tests::parsed;

Principal role(const std::string& name, const std::vector<VarId>& params, const Process& process) {
  return make_principal(name, 0, params, process);
}

// A role with no parameter that sends its own nonce.
Principal plain_role(const std::string& name) {
  return role(name, {}, output(nonce("n" + name, 0), nil_process()));
}

using step_tests::identities;

class JoinTest : public ::testing::Test {
 protected:
  NodeRef make_root() {
    return create_node(ids, Status{Context{}, empty_assignment(), fresh_knowledge(mgr)});
  }

  // The next session node below root, going on from the previous call on it.
  NodeRef next_join(const PrincipalPool& pool, const NodeRef& root) {
    return analyser::next_join(pool, core, ids, root, next_sessions[root->id()]);
  }
  std::map<std::int64_t, std::int64_t> next_sessions;  // by root id

  // The contexts of every session node below a fresh root, in order.
  std::vector<std::vector<std::string>> all_session_contexts(const PrincipalPool& pool) {
    NodeRef root = make_root();
    std::vector<std::vector<std::string>> result;
    while (NodeRef node = next_join(pool, root)) {
      result.push_back(identities(node->status().context));
    }
    return result;
  }

  SymbolicCore core;
  KnowledgeManager& mgr = core.knowledge_manager();
  NodeIds ids;
};

TEST_F(JoinTest, TwoTemplatesSizeOneGiveSecondTemplateFirst) {
  const PrincipalPool pool = make_pool({plain_role("B"), plain_role("A")}, 1);
  NodeRef root = make_root();
  NodeRef first = next_join(pool, root);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(identities(first->status().context), std::vector<std::string>{"A_1"});
  EXPECT_EQ(action_to_string(first->action()), "J(A,1)");
  EXPECT_TRUE(first->action().substitution.is_empty());
  EXPECT_EQ(first->parent(), root);
  NodeRef second = next_join(pool, root);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(identities(second->status().context), std::vector<std::string>{"B_1"});
  EXPECT_EQ(root->children(), 2);
  EXPECT_EQ(next_join(pool, root), nullptr);
  EXPECT_EQ(next_sessions[root->id()], -1);
  EXPECT_EQ(next_join(pool, root), nullptr);
  EXPECT_EQ(root->children(), 2);
}

TEST_F(JoinTest, InstancesArePositionsInTheSessionAndContextIsReversed) {
  const PrincipalPool pool = make_pool({plain_role("C"), plain_role("B"), plain_role("A")}, 2);
  const std::vector<std::vector<std::string>> expected = {
      {"A_2", "A_1"}, {"A_2", "B_1"}, {"A_2", "C_1"},
      {"B_2", "B_1"}, {"B_2", "C_1"}, {"C_2", "C_1"},
  };
  EXPECT_EQ(all_session_contexts(pool), expected);
}

TEST_F(JoinTest, SessionNodeIsOneNodeWithEveryParticipantsNameAndKey) {
  const PrincipalPool pool = make_pool({plain_role("B"), plain_role("A")}, 2);
  NodeRef root = make_root();
  NodeRef node = next_join(pool, root);  // session [2, 2]: A_1 then A_2
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->id(), 2);
  EXPECT_EQ(root->children(), 1);
  const Status& s = node->status();
  EXPECT_TRUE(s.assignment.is_empty());
  EXPECT_EQ(s.knowledge.messages(),
            (std::vector<Message>{agent("A", 2), pub_key("A", 2), agent("A", 1), pub_key("A", 1)}));
  EXPECT_EQ(s.knowledge.kid(), 2);  // root 0, one per participant
  EXPECT_EQ(action_to_string(node->action()), "J(A,1)");
  EXPECT_EQ(create_node(ids, Status{})->id(), 3);
}

TEST_F(JoinTest, NoSessionWithoutSizeOrTemplates) {
  const std::vector<PrincipalPool> pools = {
      make_pool({plain_role("A")}, 0),
      make_pool({}, 2),
      make_pool({plain_role("A")}, -1),
  };
  for (const PrincipalPool& pool : pools) {
    NodeRef root = make_root();
    EXPECT_EQ(next_join(pool, root), nullptr);
    EXPECT_EQ(next_sessions[root->id()], -1);
    EXPECT_EQ(root->children(), 0);
  }
}

// Closing parameters.

const VarId kKofA{"k", "A", 1};
const VarId kKbOfB{"kb", "B", 2};

// A sends its nonce under its shared-key parameter k; B receives under kb.
PrincipalPool key_sharing_pool() {
  Principal a =
      role("A", {parsed("k")}, output(enc(nonce("na", 0), var(parsed("k"))), nil_process()));
  Principal b = role("B", {parsed("kb")},
                     input(enc(bind_var(parsed("z")), var(parsed("kb"))), nil_process()));
  return make_pool({a, b}, 2);
}

// One initial node per solution, in order, as the search builds them.
std::vector<NodeRef> apply_join(SymbolicCore& core, NodeIds& ids, const NodeRef& session,
                                const std::vector<Assignment>& solutions) {
  std::vector<NodeRef> initial;
  for (const Assignment& s : solutions)
    initial.push_back(join_solution_node(core, ids, session, s));
  return initial;
}

class ApplyJoinTest : public JoinTest {
 protected:
  // Session [1, 2] of key_sharing_pool: A_1, then B_2 in front of it (node id 3).
  NodeRef mixed_session() {
    root = make_root();
    next_join(pool, root);  // [2, 2]
    NodeRef node = next_join(pool, root);
    EXPECT_EQ(identities(node->status().context), (std::vector<std::string>{"B_2", "A_1"}));
    return node;
  }

  PrincipalPool pool = key_sharing_pool();
  NodeRef root;
};

TEST_F(ApplyJoinTest, SharedKeyNamedAfterTheVariablesBoundToIt) {
  NodeRef session = mixed_session();
  const Assignment sigma = extend(empty_assignment(), var(kKbOfB), var(kKofA));
  const std::vector<NodeRef> initial = apply_join(core, ids, session, {sigma});
  ASSERT_EQ(initial.size(), 1u);

  const NodeRef& closed = initial[0];
  const NodeRef& checked = closed->parent();
  ASSERT_NE(checked, nullptr);
  EXPECT_EQ(checked->parent(), session);
  EXPECT_EQ(checked->id(), 4);
  EXPECT_EQ(closed->id(), 5);
  EXPECT_EQ(action_to_string(checked->action()), "J(Check Component,4)");
  EXPECT_EQ(checked->action().substitution, sigma);
  EXPECT_EQ(checked->status().assignment, sigma);
  EXPECT_EQ(checked->status().context, session->status().context);
  EXPECT_TRUE(checked->status().knowledge.same(session->status().knowledge));

  const Message key = sym_key("k2,1", 0);
  const Assignment a2(std::vector<Binding>{{var(kKofA), key}, {var(kKbOfB), var(kKofA)}});
  EXPECT_EQ(closed->status().assignment, a2);
  EXPECT_EQ(action_to_string(closed->action()), "J(Close Principals,5)");
  EXPECT_EQ(closed->action().substitution, a2);
  const Context& c = closed->status().context;
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(principal_to_string(c[0], empty_assignment()), "B_2: () [In({z_B_2}k2,1_0)]");
  EXPECT_EQ(principal_to_string(c[1], empty_assignment()), "A_1: () [Out({na_1}k2,1_0)]");
  EXPECT_TRUE(c[0].params().empty());
  EXPECT_TRUE(c[1].params().empty());
}

TEST_F(ApplyJoinTest, UnsharedKeysClosedPrincipalByPrincipalInContextOrder) {
  NodeRef session = mixed_session();
  const std::vector<NodeRef> initial = apply_join(core, ids, session, {empty_assignment()});
  ASSERT_EQ(initial.size(), 1u);
  const Assignment closing(
      std::vector<Binding>{{var(kKbOfB), sym_key("kkb", 2)}, {var(kKofA), sym_key("kk", 1)}});
  EXPECT_EQ(initial[0]->status().assignment, closing);
  EXPECT_EQ(initial[0]->parent()->status().assignment, empty_assignment());
}

TEST_F(ApplyJoinTest, OneInitialNodeBelowItsOwnCheckNodePerSolution) {
  NodeRef session = mixed_session();
  const Assignment sigma = extend(empty_assignment(), var(kKbOfB), var(kKofA));
  const std::vector<NodeRef> initial = apply_join(core, ids, session, {sigma, empty_assignment()});
  ASSERT_EQ(initial.size(), 2u);
  EXPECT_EQ(session->children(), 2);
  EXPECT_EQ(initial[0]->id(), 5);
  EXPECT_EQ(initial[1]->parent()->id(), 6);
  EXPECT_EQ(initial[1]->id(), 7);
  EXPECT_EQ(action_to_string(initial[1]->action()), "J(Close Principals,7)");
  EXPECT_EQ(initial[0]->parent()->children(), 1);
}

TEST_F(JoinTest, OtherParametersBecomeNamesChosenFromTheSessionKnowledge) {
  const Principal c = role("C", {parsed("x"), parsed("y")},
                           output(pair(var(parsed("x")), var(parsed("y"))), nil_process()));
  const PrincipalPool pool = make_pool({c}, 1);
  NodeRef root = make_root();
  NodeRef session = next_join(pool, root);
  ASSERT_NE(session, nullptr);
  const Knowledge& k = session->status().knowledge;
  ASSERT_EQ(k.kid(), 1);

  const std::vector<NodeRef> initial = apply_join(core, ids, session, {empty_assignment()});
  ASSERT_EQ(initial.size(), 1u);
  const VarId x{"x", "C", 1};
  const VarId y{"y", "C", 1};
  const Assignment closing(
      std::vector<Binding>{{var(x), gen(x, 1, GenKind::Name)}, {var(y), gen(y, 1, GenKind::Name)}});
  const Status& s = initial[0]->status();
  EXPECT_EQ(s.assignment, closing);
  EXPECT_EQ(s.knowledge.kid(), 2);  // registered anew under the closing assignment
  EXPECT_EQ(s.knowledge.messages(), k.messages());
  ASSERT_EQ(s.context.size(), 1u);
  EXPECT_TRUE(s.context[0].params().empty());
  EXPECT_EQ(s.context[0].process().term(),
            pair(gen(x, 1, GenKind::Name), gen(y, 1, GenKind::Name)));
}

TEST_F(JoinTest, ParametersBoundByTheSolutionAreNotClosed) {
  const Principal c = role("C", {parsed("x"), parsed("y")},
                           output(pair(var(parsed("x")), var(parsed("y"))), nil_process()));
  NodeRef root = make_root();
  NodeRef session = next_join(make_pool({c}, 1), root);
  ASSERT_NE(session, nullptr);
  const VarId x{"x", "C", 1};
  const VarId y{"y", "C", 1};
  const Assignment sigma = extend(empty_assignment(), var(x), agent("S", 0));
  const std::vector<NodeRef> initial = apply_join(core, ids, session, {sigma});
  ASSERT_EQ(initial.size(), 1u);
  const Assignment a2(
      std::vector<Binding>{{var(y), gen(y, 1, GenKind::Name)}, {var(x), agent("S", 0)}});
  EXPECT_EQ(initial[0]->status().assignment, a2);
}

}  // namespace

}  // namespace analyser
