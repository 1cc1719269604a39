#include "report/analysis.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

namespace fs = std::filesystem;

// The four input files of a protocol, written to a fresh folder.
struct Protocol {
  std::string principals;
  std::string logic;
  std::string join;
  std::string knowledge = "I_0, I_0+, I_0- ;\n";
};

AnalysisOptions write_protocol(const std::string& name, const Protocol& p,
                               std::int64_t session_size) {
  const fs::path dir = fs::temp_directory_path() / ("tool-report-test-" + name);
  fs::create_directories(dir);
  AnalysisOptions options;
  const auto write = [&](const char* file, const std::string& text) {
    std::ofstream(dir / file) << text;
    return (dir / file).string();
  };
  options.principals_file = write("principals.txt", p.principals);
  options.logic_file = write("logic.txt", p.logic);
  options.join_file = write("join.txt", p.join);
  options.knowledge_file = write("knowledge.txt", p.knowledge);
  options.session_size = session_size;
  return options;
}

AnalysisOptions example(const std::string& name, std::int64_t session_size) {
  const fs::path dir = fs::path(EXAMPLES_DIR) / name;
  AnalysisOptions options;
  options.principals_file = (dir / "principals.txt").string();
  options.logic_file = (dir / "logic.txt").string();
  options.join_file = (dir / "join.txt").string();
  options.knowledge_file = (dir / "knowledge.txt").string();
  options.session_size = session_size;
  return options;
}

// Each initiator takes any value from the intruder and sends it back with its
// nonce to a partner of the intruder's choice: every instance can be the victim,
// and the generated value's knowledge identifier differs from run to run.
const Protocol kEcho = {"A : (b) [ in(?x) . out({(x,na)}b+) ] ;\n", "forall A.i: not :> na_i ;\n",
                        "true ;\n"};

std::vector<std::string> lines(const std::vector<Exchange>& exchanges) {
  std::vector<std::string> text;
  for (const Exchange& e : exchanges)
    text.push_back(e.sender + " -> " + e.receiver + ": " + e.message);
  return text;
}

TEST(DistinctAttacks, LowesAttackIsOneAttackWhateverTheSessionSize) {
  struct Case {
    std::int64_t session_size;
    std::int64_t attack_sets;
    std::set<std::int64_t> sessions;
    std::vector<std::string> bystanders;
  };
  const std::vector<Case> cases = {
      {2, 1, {2}, {}},
      {3, 16, {2}, {"A_2"}},
      {4, 360, {2, 3}, {"A_3", "A_2"}},
  };
  for (const Case& c : cases) {
    const AnalysisResult result = analyse(example("nspk", c.session_size), std::cerr);
    ASSERT_EQ(result.attacks.size(), 1u) << c.session_size;
    const AttackGroup& group = result.attacks.front();
    EXPECT_EQ(group.count, c.attack_sets) << c.session_size;
    EXPECT_EQ(group.sessions, c.sessions) << c.session_size;
    EXPECT_EQ(group.representative.bystanders, c.bystanders) << c.session_size;
    EXPECT_EQ(group.representative.exchanges.size(), 6u) << c.session_size;
    EXPECT_EQ(result.statistics.attack_sets, c.attack_sets);
  }
}

TEST(DistinctAttacks, RepresentativeShowsTheFirstAttackSetAsFound) {
  const AnalysisResult result = analyse(example("nspk", 2), std::cerr);
  ASSERT_EQ(result.attacks.size(), 1u);
  const Attack& a = result.attacks.front().representative;
  EXPECT_EQ(lines(a.exchanges), (std::vector<std::string>{
                                    "A_2 -> I: {[na_2,A_2]}I_0+",
                                    "I -> B_1: {[na_2,A_2]}B_1+",
                                    "B_1 -> I: {[na_2,nb_1]}A_2+",
                                    "I -> A_2: {[na_2,nb_1]}A_2+",
                                    "A_2 -> I: {nb_1}I_0+",
                                    "I -> B_1: {nb_1}B_1+",
                                }));
  EXPECT_EQ(a.violated, (std::vector<std::string>{"( K !:> nb_1)"}));
  EXPECT_EQ(a.report.rfind("  ATTACK SET 1\n", 0), 0u);
}

TEST(DistinctAttacks, InstanceNumbersAndKnowledgeIdentifiersDoNotSeparateAttacks) {
  const AnalysisResult result = analyse(write_protocol("echo", kEcho, 2), std::cerr);
  ASSERT_EQ(result.attacks.size(), 1u);
  EXPECT_EQ(result.attacks.front().count, 10);
  // The sets differ in the victim (A_1 or A_2) and in the knowledge the
  // intruder's value was made from.
  EXPECT_EQ(lines(result.attacks.front().representative.exchanges),
            (std::vector<std::string>{"I -> A_1: x_A_1(K:5:gen)",
                                      "A_1 -> I: {[x_A_1(K:5:gen),na_1]}I_0+"}));
}

TEST(DistinctAttacks, DifferentOrdersOfOneInstancesMessagesStayApart) {
  // The responder's two parallel branches run in either order.
  const AnalysisResult result = analyse(example("nsl-oracle", 2), std::cerr);
  EXPECT_EQ(result.statistics.attack_sets, 5);
  ASSERT_EQ(result.attacks.size(), 4u);
  EXPECT_EQ(result.attacks[0].count, 2);  // most frequent first
  // Then the others in the order they were found.
  EXPECT_LT(result.attacks[1].representative.attack_set,
            result.attacks[2].representative.attack_set);
  EXPECT_LT(result.attacks[2].representative.attack_set,
            result.attacks[3].representative.attack_set);
}

TEST(Analysis, FirstOnlyStopsAtTheFirstAttackSet) {
  AnalysisOptions options = example("nspk", 3);
  options.first_only = true;
  const AnalysisResult result = analyse(options, std::cerr);
  EXPECT_EQ(result.end, SearchEnd::FirstAttack);
  EXPECT_EQ(result.statistics.attack_sets, 1);
  EXPECT_LT(result.statistics.finished_runs, 80);
}

TEST(Analysis, TimeLimitStopsTheSearch) {
  AnalysisOptions options = example("nspk", 4);
  options.time_limit = 1e-9;
  const AnalysisResult result = analyse(options, std::cerr);
  EXPECT_EQ(result.end, SearchEnd::TimeLimit);
  EXPECT_EQ(result.statistics.finished_runs, 0);
  EXPECT_EQ(result.statistics.sessions_searched, 1);
}

TEST(Analysis, NoSessionOfSizeZero) {
  const AnalysisResult result = analyse(example("nspk", 0), std::cerr);
  EXPECT_EQ(result.end, SearchEnd::Complete);
  EXPECT_EQ(result.statistics.sessions, 0);
  EXPECT_EQ(result.statistics.finished_runs, 0);
  EXPECT_TRUE(result.attacks.empty());
}

TEST(Analysis, SyntaxErrorThrows) {
  Protocol broken = kEcho;
  broken.principals = "A : (b) [ in(?x) . out({(x,na)}b+) ;\n";
  std::ostringstream error_line;
  EXPECT_THROW(analyse(write_protocol("broken", broken, 2), error_line), Failure);
  EXPECT_EQ(error_line.str().substr(0, 2), "ER");
}

}  // namespace

}  // namespace analyser
