#include "report/analysis.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "report/attack.h"
#include "run/inputs.h"
#include "search/goal.h"
#include "search/subtree.h"
#include "utils/utils.h"

namespace analyser {

namespace {

namespace fs = std::filesystem;

// This process's folder for the models the tests write, removed when they end:
// the tests of other builds may run beside these on the same machine.
const fs::path& models_folder() {
  struct Folder {
    fs::path path = fs::temp_directory_path() / ("tool-report-test-" + std::to_string(::getpid()));
    ~Folder() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  };
  static const Folder folder;
  return folder.path;
}

// The four input files of a protocol, written to a fresh folder.
struct Protocol {
  std::string principals;
  std::string logic;
  std::string join;
  std::string knowledge = "I_0, I_0+, I_0- ;\n";
};

AnalysisOptions write_protocol(const std::string& name, const Protocol& p,
                               std::int64_t session_size) {
  const fs::path dir = models_folder() / name;
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

// The protocol whose four files are in dir.
AnalysisOptions model_in(const fs::path& dir, std::int64_t session_size) {
  AnalysisOptions options;
  options.principals_file = (dir / "principals.txt").string();
  options.logic_file = (dir / "logic.txt").string();
  options.join_file = (dir / "join.txt").string();
  options.knowledge_file = (dir / "knowledge.txt").string();
  options.session_size = session_size;
  options.accept_slips = true;  // the searches are compared on every model as it is
  return options;
}

AnalysisOptions example(const std::string& name, std::int64_t session_size) {
  return model_in(fs::path(EXAMPLES_DIR) / name, session_size);
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
    const AnalysisResult result = analyse(example("nspk", c.session_size));
    ASSERT_EQ(result.attacks.size(), 1u) << c.session_size;
    const AttackGroup& group = result.attacks.front();
    EXPECT_EQ(group.count, c.attack_sets) << c.session_size;
    EXPECT_EQ(group.sessions, c.sessions) << c.session_size;
    EXPECT_EQ(group.representative.bystanders, c.bystanders) << c.session_size;
    // The responder's last input comes after the intruder learnt its nonce.
    EXPECT_EQ(group.representative.exchanges.size(), 5u) << c.session_size;
    EXPECT_EQ(result.statistics.attack_sets, c.attack_sets);
  }
}

TEST(DistinctAttacks, RepresentativeShowsTheFirstAttackSetAsFound) {
  const AnalysisResult result = analyse(example("nspk", 2));
  ASSERT_EQ(result.attacks.size(), 1u);
  const Attack& a = result.attacks.front().representative;
  EXPECT_EQ(lines(a.exchanges), (std::vector<std::string>{
                                    "A_2 -> I: {[na_2,A_2]}I_0+",
                                    "I -> B_1: {[na_2,A_2]}B_1+",
                                    "B_1 -> I: {[na_2,nb_1]}A_2+",
                                    "I -> A_2: {[na_2,nb_1]}A_2+",
                                    "A_2 -> I: {nb_1}I_0+",
                                }));
  EXPECT_EQ(a.violated, (std::vector<std::string>{"( K !:> nb_1)"}));
  EXPECT_EQ(a.report.rfind("  ATTACK SET 1\n", 0), 0u);
}

TEST(DistinctAttacks, InstanceNumbersAndKnowledgeIdentifiersDoNotSeparateAttacks) {
  const AnalysisResult result = analyse(write_protocol("echo", kEcho, 2));
  ASSERT_EQ(result.attacks.size(), 1u);
  EXPECT_EQ(result.attacks.front().count, 10);
  // The sets differ in the victim (A_1 or A_2) and in the knowledge the
  // intruder's value was made from.
  EXPECT_EQ(lines(result.attacks.front().representative.exchanges),
            (std::vector<std::string>{"I -> A_1: x_A_1(K:5:gen)",
                                      "A_1 -> I: {[x_A_1(K:5:gen),na_1]}I_0+"}));
}

// The responder's two parallel branches run in either order, and the intruder
// uses the responder's decryption branch before or after the exchange with the
// initiator.
TEST(DistinctAttacks, DifferentOrdersOfOneInstancesMessagesStayApart) {
  const AnalysisResult result = analyse(example("nsl-oracle", 2));
  EXPECT_EQ(result.statistics.attack_sets, 5);
  ASSERT_EQ(result.attacks.size(), 3u);
  struct Expected {
    std::int64_t count;
    std::int64_t representative;
    std::size_t exchanges;
  };
  // Most frequent first, then in the order found; the second group's first
  // attack set (3) has a longer past than its fourth, which shows it.
  const std::vector<Expected> expected = {{2, 1, 5}, {2, 4, 3}, {1, 2, 8}};
  for (std::size_t k = 0; k < expected.size(); ++k) {
    const AttackGroup& group = result.attacks[k];
    EXPECT_EQ(group.count, expected[k].count) << k;
    EXPECT_EQ(group.representative.attack_set, expected[k].representative) << k;
    EXPECT_EQ(group.representative.exchanges.size(), expected[k].exchanges) << k;
  }
}

// With --all-attacks, attacks are told apart by their involved messages in the
// order they came: the finer groups.
TEST(DistinctAttacks, AllAttacksKeepsEveryInterleavingOfTheInvolvedMessages) {
  AnalysisOptions options = example("nsl-oracle", 2);
  options.all_attacks = true;
  const AnalysisResult result = analyse(options);
  EXPECT_EQ(result.statistics.attack_sets, 5);
  ASSERT_EQ(result.attacks.size(), 4u);
  EXPECT_EQ(result.attacks[0].count, 2);  // most frequent first
  // Then the others in the order they were found.
  EXPECT_LT(result.attacks[1].representative.attack_set,
            result.attacks[2].representative.attack_set);
  EXPECT_LT(result.attacks[2].representative.attack_set,
            result.attacks[3].representative.attack_set);
  options = example("nspk", 2);
  options.all_attacks = true;
  const AnalysisResult lowe = analyse(options);
  ASSERT_EQ(lowe.attacks.size(), 1u);
  EXPECT_EQ(lowe.attacks[0].representative.exchanges.size(), 6u);
}

// One attack whatever its interleaving with the uninvolved principals and
// whichever of equal instances is its victim: the replay of an old ticket
// whose key leaked, and the key server used as an oracle.
TEST(DistinctAttacks, OneGroupPerCausalPast) {
  struct Case {
    std::string model;
    std::int64_t session_size;
    std::size_t groups;
    std::vector<std::string> shortest;  // the messages of the first group
  };
  const std::vector<Case> cases = {
      {"nssk-oops", 4, 1, {"I -> B_3: {[kold_0,A_0]}kbs_0"}},
      {"tmn",
       4,
       8,
       {"I -> B_3: [B_3,a_B_3(K:1528:gen)]", "B_3 -> I: [a_B_3(K:1528:gen),{kb_3}S_1+]",
        "I -> S_2: [a_S_2(KR:1529:gen),[b_S_2(K:1529:gen),{I_0+}S_1+]]",
        "S_2 -> I: [b_S_2(K:1529:gen),a_S_2(KR:1529:gen)]",
        "I -> S_2: [a_S_2(KR:1529:gen),{kb_3}S_1+]", "S_2 -> I: {kb_3}I_0+"}},
      {"otway-rees",
       3,
       2,
       {"A_3 -> I: [nm_3,[A_3,[B_2,{[na_3,[nm_3,[A_3,B_2]]]}k3,1_0]]]",
        "I -> A_3: [nm_3,{[na_3,[nm_3,[A_3,B_2]]]}k3,1_0]"}},
  };
  for (const Case& c : cases) {
    const AnalysisResult result = analyse(example(c.model, c.session_size));
    ASSERT_EQ(result.attacks.size(), c.groups) << c.model;
    EXPECT_EQ(lines(result.attacks[0].representative.exchanges), c.shortest) << c.model;
  }
}

// The run tool-report would make of options, its sessions joined.
SearchState joined(const AnalysisOptions& options) {
  const Settings settings = analysis_settings(options);
  std::ostringstream ignored;
  const Inputs inputs = read_inputs(settings, RunStreams{ignored, ignored});
  SearchState state =
      search::create(inputs.principals, inputs.knowledge, settings.search, std::cerr);
  search::join(state, inputs.formula, inputs.join_components);
  return state;
}

// A session's initial nodes are built when asked for, in any order, each under
// the numbers the join gave it, and the kids the search hands out come after
// all of theirs.
TEST(InitialNodes, BuiltInAnyOrderUnderTheJoinsNumbers) {
  SearchState state = joined(example("nspk", 3));
  ASSERT_EQ(state.initial_branching.at(1), 2);  // the session with two solutions
  const auto numbers = [](const search::InitialNodes& initial, std::size_t i) {
    const NodeRef node = initial[i].node;
    return std::tuple(node->parent()->id(), node->id(), node->status().knowledge.kid());
  };
  const search::InitialNodes in_order(state, *state.core, 1);
  const auto first = numbers(in_order, 0);
  const auto second = numbers(in_order, 1);
  const search::InitialNodes backwards(state, *state.core, 1);
  EXPECT_EQ(numbers(backwards, 1), second);
  EXPECT_EQ(numbers(backwards, 0), first);
  const JoinNumbering& join = state.join_numbering[1];
  EXPECT_EQ(first, std::tuple(join.last_node_id + 1, join.last_node_id + 2, join.last_kid + 1));
  EXPECT_EQ(std::get<1>(second), std::get<1>(first) + 2);
  EXPECT_EQ(std::get<2>(second), std::get<2>(first) + 1);
  EXPECT_EQ(std::get<1>(second), backwards.last_node_id());
  EXPECT_GE(state.core->knowledge_manager().last_kid(), std::get<2>(second));
}

// The keys of every attack the hunt for a first attack finds on options' model
// when nothing stops it and no full search follows.
std::set<std::string> hunted_keys(const AnalysisOptions& options) {
  SearchState state = joined(options);
  struct KeyCollector : SearchObserver {
    std::set<std::string> keys;
    void attack_found(const SearchState& s, const NodeRef& leaf,
                      const std::vector<WorkItem>& candidates) override {
      keys.insert(describe_attack(s, leaf, candidates, Grouping::CausalPast).key);
    }
    void trace_found(const SearchState&, const NodeRef&) override {}
    void graph_path_found(const NodeRef&) override {}
  } collector;
  search::hunt_attack(state, collector);
  return collector.keys;
}

// Everything of an analysis but its clocks.
void expect_same_result(const AnalysisResult& got, const AnalysisResult& expected,
                        const std::string& label) {
  EXPECT_EQ(got.end, expected.end) << label;
  EXPECT_EQ(got.warnings, expected.warnings) << label;
  ASSERT_EQ(got.attacks.size(), expected.attacks.size()) << label;
  for (std::size_t k = 0; k < got.attacks.size(); ++k) {
    const AttackGroup& g = got.attacks[k];
    const AttackGroup& x = expected.attacks[k];
    EXPECT_EQ(g.count, x.count) << label;
    EXPECT_EQ(g.sessions, x.sessions) << label;
    const Attack& a = g.representative;
    const Attack& b = x.representative;
    EXPECT_EQ(std::tie(a.attack_set, a.session, a.violated, a.bystanders, a.report, a.key),
              std::tie(b.attack_set, b.session, b.violated, b.bystanders, b.report, b.key))
        << label;
    ASSERT_EQ(a.exchanges.size(), b.exchanges.size()) << label;
    for (std::size_t i = 0; i < a.exchanges.size(); ++i) {
      EXPECT_EQ(std::tie(a.exchanges[i].sender, a.exchanges[i].receiver, a.exchanges[i].message),
                std::tie(b.exchanges[i].sender, b.exchanges[i].receiver, b.exchanges[i].message))
          << label;
    }
  }
  const AnalysisStatistics& s = got.statistics;
  const AnalysisStatistics& t = expected.statistics;
  EXPECT_EQ(std::tie(s.traces, s.finished_runs, s.nodes, s.sessions, s.sessions_searched,
                     s.pruned_sessions, s.attack_sets, s.moves_left_out, s.dead_ends),
            std::tie(t.traces, t.finished_runs, t.nodes, t.sessions, t.sessions_searched,
                     t.pruned_sessions, t.attack_sets, t.moves_left_out, t.dead_ends))
      << label;
}

// Merging states changes nothing the analysis reports: with and without it,
// the same counts, and the same groups of attack sets shown by the same ones.
void expect_merging_changes_nothing(const AnalysisResult& merged, const AnalysisOptions& options,
                                    const std::string& label) {
  AnalysisOptions unmerged = options;
  unmerged.merge_states = false;
  const AnalysisResult u = analyse(unmerged);
  EXPECT_EQ(u.statistics.states_merged, 0) << label;
  expect_same_result(merged, u, label + " without merging states");
}

// Runs the reduced and the exhaustive search on options, the reduced one also
// keeping its dead ends and without merging states, and the hunt for a first
// attack; returns how many finished runs the first two verified.
std::pair<std::int64_t, std::int64_t> expect_same_findings(const AnalysisOptions& options,
                                                           const std::string& label) {
  AnalysisOptions reduced = options;
  AnalysisOptions exhaustive = options;
  exhaustive.exhaustive = true;
  AnalysisOptions first = options;
  first.first_only = true;
  const AnalysisResult r = analyse(reduced);
  const AnalysisResult e = analyse(exhaustive);
  const AnalysisResult f = analyse(first);
  EXPECT_EQ(e.statistics.states_merged, 0) << label;
  expect_merging_changes_nothing(r, options, label);
  const auto keys = [](const AnalysisResult& result) {
    std::set<std::string> k;
    for (const AttackGroup& group : result.attacks) k.insert(group.representative.key);
    return k;
  };
  EXPECT_EQ(r.end, e.end) << label;
  const std::set<std::string> exhaustive_keys = keys(e);
  EXPECT_EQ(keys(r), exhaustive_keys) << label;
  EXPECT_EQ(r.statistics.finished_runs == 0, e.statistics.finished_runs == 0) << label;
  EXPECT_LE(r.statistics.finished_runs, e.statistics.finished_runs) << label;
  // Dead ends hold no finished run: leaving them out changes the leaves met only.
  AnalysisOptions with_dead_ends = options;
  with_dead_ends.prune_dead_ends = false;
  const AnalysisResult d = analyse(with_dead_ends);
  if (r.warnings == d.warnings) {  // the same search, not one of them given way
    EXPECT_EQ(r.statistics.finished_runs, d.statistics.finished_runs) << label;
    EXPECT_EQ(r.statistics.attack_sets, d.statistics.attack_sets) << label;
    EXPECT_LE(r.statistics.traces, d.statistics.traces) << label;
    EXPECT_EQ(d.statistics.dead_ends, 0) << label;
  }
  // On two threads, cut into pieces a few levels high, the reduced and the
  // exhaustive search find, describe and count exactly what they do on one.
  for (const AnalysisResult* one : {&r, &e}) {
    AnalysisOptions threaded = one == &r ? reduced : exhaustive;
    threaded.threads = 2;
    threaded.chunk_levels = 2;
    expect_same_result(analyse(threaded), *one, label + " on two threads");
  }
  // Every attack the hunt finds is one the exhaustive search finds; with --first,
  // the search reports an attack exactly when there is one.
  const std::set<std::string> hunted = hunted_keys(options);
  EXPECT_TRUE(
      std::includes(exhaustive_keys.begin(), exhaustive_keys.end(), hunted.begin(), hunted.end()))
      << label;
  const std::set<std::string> found = keys(f);
  EXPECT_EQ(f.end, e.attacks.empty() ? SearchEnd::Complete : SearchEnd::FirstAttack) << label;
  EXPECT_EQ(found.size(), e.attacks.empty() ? 0U : 1U) << label;
  EXPECT_TRUE(
      std::includes(exhaustive_keys.begin(), exhaustive_keys.end(), found.begin(), found.end()))
      << label;
  EXPECT_EQ(f.statistics.finished_runs == 0, e.statistics.finished_runs == 0) << label;
  // A hunt that found nothing leaves no trace in the full search's counts.
  if (e.attacks.empty()) {
    EXPECT_EQ(f.statistics.traces, r.statistics.traces) << label;
    EXPECT_EQ(f.statistics.nodes, r.statistics.nodes) << label;
    EXPECT_EQ(f.statistics.finished_runs, r.statistics.finished_runs) << label;
  }
  return {r.statistics.finished_runs, e.statistics.finished_runs};
}

TEST(Reduction, FindsTheDistinctAttacksOfTheExhaustiveSearchInEveryExample) {
  for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR)) {
    for (std::int64_t size : {2, 3}) {
      const std::string name = entry.path().filename().string();
      expect_same_findings(example(name, size), name + " -max " + std::to_string(size));
    }
  }
}

// Every valid model of the conformance corpus, at the session sizes its cases use.
TEST(Reduction, FindsTheDistinctAttacksOfTheExhaustiveSearchInTheCorpus) {
  const fs::path corpus = CONFORMANCE_CASES_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::vector<fs::path> cases;
  for (const auto& entry : fs::directory_iterator(corpus)) cases.push_back(entry.path());
  std::sort(cases.begin(), cases.end());
  for (const fs::path& dir : cases) {
    std::set<std::int64_t> sizes;
    for (const auto& file : fs::directory_iterator(dir / "expected")) {
      if (file.path().extension() != ".args") continue;
      std::ifstream args(file.path());
      for (std::string word; args >> word;) {
        if (word == "-max" && args >> word &&
            word.find_first_not_of("0123456789") == std::string::npos) {
          sizes.insert(std::stoll(word));
        }
      }
    }
    try {
      analyse(model_in(dir, 0));  // reads the files, builds no session
    } catch (const Failure&) {
      continue;  // a damaged model
    } catch (const InputError&) {
      continue;  // a damaged model
    }
    for (std::int64_t size : sizes) {
      expect_same_findings(model_in(dir, size),
                           dir.filename().string() + " -max " + std::to_string(size));
    }
  }
}

// Protocols of two roles drawn at random from steps of the usual shapes: an
// initiator with or without a partner parameter, a responder whose process may
// end in a choice or a parallel branch, an open join or one that binds the
// responder's partner.
Protocol generated_protocol(std::mt19937& random) {
  struct Step {
    const char* text;
    const char* binds;  // the variables it binds, or ""
    const char* needs;  // the variables it uses, or ""
  };
  const std::vector<Step> initiator = {
      {"out({(na,A)}b+)", "", "b"}, {"out((A,na))", "", ""}, {"out({na}b+)", "", "b"},
      {"in({(na,?x)}A-)", "x", ""}, {"in(?x)", "x", ""},     {"out({x}b+)", "", "xb"},
      {"out((x,na))", "", "x"},     {"in({na}A-)", "", ""},
  };
  const std::vector<Step> responder = {
      {"in({(?y,?a)}B-)", "ya", ""}, {"in(?y)", "y", ""},          {"out({(y,nb)}a+)", "", "ya"},
      {"out((y,nb))", "", "y"},      {"in({nb}B-)", "", ""},       {"out({nb}a+)", "", "a"},
      {"in(?a)", "a", ""},           {"out({(nb,B)}a+)", "", "a"},
  };
  const std::vector<std::string> last_branch = {" + out(nb)", " + in({nb}B-)", " | out((B,nb))",
                                                " | in(nb)"};
  const auto role = [&](const std::vector<Step>& steps, std::string bound) {
    std::string body;
    const long length = 2 + static_cast<long>(random() % 3);
    for (long taken = 0; taken < length;) {
      const Step& step = steps[random() % steps.size()];
      const std::string binds = step.binds;
      const std::string needs = step.needs;
      const bool can = std::all_of(needs.begin(), needs.end(),
                                   [&](char v) { return bound.find(v) != std::string::npos; }) &&
                       std::none_of(binds.begin(), binds.end(),
                                    [&](char v) { return bound.find(v) != std::string::npos; });
      if (!can) continue;
      bound += binds;
      body += (body.empty() ? "" : " . ") + std::string(step.text);
      ++taken;
    }
    return std::make_pair(body, bound);
  };
  const bool partner = random() % 4 != 0;
  const auto [a_body, a_bound] = role(initiator, partner ? "b" : "");
  auto [b_body, b_bound] = role(responder, "");
  if (random() % 4 == 0) b_body += last_branch[random() % last_branch.size()];
  std::vector<std::string> properties = {"forall A.i: not :> na_i ;\n",
                                         "forall B.j: not :> nb_j ;\n"};
  std::vector<std::string> joins = {"true ;\n"};
  if (b_bound.find('a') != std::string::npos) {
    properties.push_back("forall B.j: forall A.i: (a_j = A_i implies not :> nb_j) ;\n");
    joins.push_back("forall B.j: exists A.i: a_j = A_i ;\n");
  }
  if (b_bound.find('y') != std::string::npos) {
    properties.push_back("forall B.j: exists A.i: y_j = na_i ;\n");
  }
  Protocol p;
  p.principals = "A : (" + std::string(partner ? "b" : "") + ") [ " + a_body + " ] ;\nB : () [ " +
                 b_body + " ] ;\n";
  p.logic = properties[random() % properties.size()];
  p.join = joins[random() % joins.size()];
  return p;
}

TEST(Reduction, FindsTheDistinctAttacksOfTheExhaustiveSearchInGeneratedModels) {
  std::mt19937 random(20261207);
  std::int64_t reduced = 0;
  std::int64_t exhaustive = 0;
  for (int i = 0; i < 80; ++i) {
    const Protocol p = generated_protocol(random);
    for (std::int64_t size : {2, 3}) {
      const auto [r, e] =
          expect_same_findings(write_protocol("generated", p, size),
                               p.principals + p.logic + p.join + "-max " + std::to_string(size));
      reduced += r;
      exhaustive += e;
    }
  }
  EXPECT_LT(reduced, exhaustive);  // the generated models do leave runs out
}

// An output that only differs from an earlier one by a swap of two
// interchangeable instances is left out; an equal output of another branch, which
// leads elsewhere, is not.
TEST(Reduction, KeepsAnEqualOutputOfAnotherBranch) {
  const Protocol branches = {
      "X : () [ out(X) . in(?u) + out(X) . out(ns) ] ;\n"
      "B : () [ in(?y) ] ;\n",
      "forall X.i: not :> ns_i ;\n", "forall X.i: forall X.k: u_i = X_k ;\n"};
  expect_same_findings(write_protocol("branches", branches, 3), "branches -max 3");
}

// An output waiting for another principal's input makes the order of the
// principals matter: the reduction gives way to the exhaustive search.
TEST(Reduction, GivesWayWhereAnOutputWaitsForAnotherPrincipal) {
  const Protocol waiting = {"R : () [ in(?y) ] ;\nS : () [ out(z) ] ;\n",
                            "forall R.i: not :> y_i ;\n", "forall S.i: exists R.k: z_i = y_k ;\n"};
  const AnalysisOptions options = write_protocol("waiting", waiting, 4);
  const auto [reduced, exhaustive] = expect_same_findings(options, "waiting -max 4");
  EXPECT_EQ(reduced, exhaustive);
  const AnalysisResult result = analyse(options);
  EXPECT_EQ(result.statistics.moves_left_out, 0);
  EXPECT_NE(std::find_if(result.warnings.begin(), result.warnings.end(),
                         [](const std::string& w) {
                           return w.find("symmetry reduction does not hold") != std::string::npos;
                         }),
            result.warnings.end());
}

// Responders that have not received anything yet are interchangeable while the
// initiators' messages name none of them; and states from which no run finishes
// are left out.
TEST(Reduction, LeavesOutRunsThatOnlySwapInterchangeableInstancesAndDeadEnds) {
  const Protocol open_nspk = {
      "A : (b) [ out({(na,A)}b+) . in({(na,?x)}A-) . out({x}b+) ] ;\n"
      "B : () [ in({(?y,?a)}B-) . out({(y,nb)}a+) . in({nb}B-) ] ;\n",
      "forall B.j: forall A.i: (a_j = A_i implies not :> nb_j) ;\n", "true ;\n"};
  const AnalysisOptions options = write_protocol("open-nspk", open_nspk, 4);
  const auto [reduced, exhaustive] = expect_same_findings(options, "open nspk -max 4");
  EXPECT_EQ(exhaustive, 8224);
  EXPECT_EQ(reduced, 2789);
  // An initiator that addressed its nonce to another initiator, or a responder
  // that took the intruder's nonce for its partner's, waits for good: every such
  // state is left out, and every leaf met is a finished run.
  const AnalysisStatistics s = analyse(options).statistics;
  EXPECT_EQ(s.traces, s.finished_runs);
  EXPECT_GT(s.dead_ends, 0);
}

// A principal that sends the private key of an agent it is told of, or of one
// it receives, can unseal a ciphertext under that agent's public key: the state
// where the initiator waits for its nonce back is no dead end.
TEST(Reduction, KeepsStatesWhereAKeyOfAValueMayUnsealTheSecret) {
  for (const std::string leaker :
       {"L : (c) [ in(?z) . out(c-) ] ;\n", "L : () [ in(?z) . out(z-) ] ;\n"}) {
    const Protocol leaking = {"A : (b) [ out({na}b+) . in(na) ] ;\n" + leaker,
                              "forall A.i: not :> na_i ;\n", "true ;\n", "I_0, I_0+ ;\n"};
    const AnalysisOptions options = write_protocol("leaking", leaking, 2);
    expect_same_findings(options, leaker);
    EXPECT_FALSE(analyse(options).attacks.empty()) << leaker;
  }
}

// States that interleavings of independent moves reach again are searched once,
// their subtrees counted as they were found: on a proof (nsl-heavy, whose
// responders check who they talk to), on a protocol with an attack, and on one
// whose principals take values the intruder makes, where the same move at
// another moment is another state (the value may be built from what the
// intruder learnt in between). At 5 principals most of open nspk's subtrees
// hold an attack, and merging stops halfway through some sessions.
TEST(StateMerging, SearchesAStateMetAgainOnceAndCountsItsRuns) {
  const Protocol nsl_heavy = {
      "A : (b) [ out({(na, A)}b+) . in({(na, (?x, b))}A-) . out({x}b+) ] ;\n"
      "B : () [ in({(?y, ?a)}B-) . out({(y, (nb, B))}a+) . in({nb}B-) ] ;\n",
      "forall B.j: forall A.i: (a_j = A_i implies not :> nb_j) ;\n", "true ;\n"};
  const Protocol open_nspk = {
      "A : (b) [ out({(na,A)}b+) . in({(na,?x)}A-) . out({x}b+) ] ;\n"
      "B : () [ in({(?y,?a)}B-) . out({(y,nb)}a+) . in({nb}B-) ] ;\n",
      "forall B.j: forall A.i: (a_j = A_i implies not :> nb_j) ;\n", "true ;\n"};
  const Protocol relay = {"A : () [ in(?x) . out({(x,na)}A+) . in(?z) ] ;\n",
                          "forall A.i: not :> na_i ;\n", "true ;\n"};
  const struct {
    const char* name;
    Protocol protocol;
    std::int64_t session_size;
    bool attack;
  } cases[] = {
      {"nsl-heavy", nsl_heavy, 5, false},
      {"open-nspk", open_nspk, 4, true},
      {"open-nspk", open_nspk, 5, true},
      {"relay", relay, 4, false},
  };
  for (const auto& c : cases) {
    const AnalysisOptions options = write_protocol(c.name, c.protocol, c.session_size);
    const AnalysisResult merged = analyse(options);
    EXPECT_GT(merged.statistics.states_merged, 0) << c.name << " -max " << c.session_size;
    EXPECT_EQ(merged.attacks.empty(), !c.attack) << c.name;
    expect_merging_changes_nothing(merged, options, c.name);
  }
}

// The hunt for a first attack lets the initiators and responders that play no
// part in Lowe's attack wait and then finish one way: it finds the attack after
// a few runs whatever the session size, where the searches explore every
// interleaving (8,224 finished runs at 4 principals, 347,400 at 5).
TEST(Analysis, FirstAttackHuntDoesNotGrowWithTheBystanders) {
  const Protocol open_nspk = {
      "A : (b) [ out({(na,A)}b+) . in({(na,?x)}A-) . out({x}b+) ] ;\n"
      "B : () [ in({(?y,?a)}B-) . out({(y,nb)}a+) . in({nb}B-) ] ;\n",
      "forall B.j: forall A.i: (a_j = A_i implies not :> nb_j) ;\n", "true ;\n"};
  for (std::int64_t size : {4, 8}) {
    AnalysisOptions options = write_protocol("open-nspk-first", open_nspk, size);
    options.first_only = true;
    options.time_limit = 60.0;  // without the hunt, hours at 8 principals
    const AnalysisResult result = analyse(options);
    ASSERT_EQ(result.end, SearchEnd::FirstAttack);
    ASSERT_EQ(result.attacks.size(), 1U);
    EXPECT_EQ(result.attacks[0].representative.bystanders.size(),
              static_cast<std::size_t>(size - 2));
    EXPECT_LT(result.statistics.finished_runs, 30) << "-max " << size;
  }
}

TEST(Analysis, FirstOnlyStopsAtTheFirstAttackSet) {
  AnalysisOptions options = example("nspk", 3);
  options.first_only = true;
  const AnalysisResult result = analyse(options);
  EXPECT_EQ(result.end, SearchEnd::FirstAttack);
  EXPECT_EQ(result.statistics.attack_sets, 1);
  EXPECT_LT(result.statistics.finished_runs, 80);
}

// The limit covers composing the sessions: a limit already reached stops the
// join after its first session, before any is searched.
TEST(Analysis, TimeLimitStopsTheJoinAndTheSearch) {
  AnalysisOptions options = example("nspk", 4);
  options.time_limit = 1e-9;
  const AnalysisResult result = analyse(options);
  EXPECT_EQ(result.end, SearchEnd::TimeLimit);
  EXPECT_EQ(result.statistics.finished_runs, 0);
  EXPECT_EQ(result.statistics.sessions_searched, 0);
  EXPECT_TRUE(result.warnings.empty());
}

TEST(Analysis, NoSessionOfSizeZero) {
  const AnalysisResult result = analyse(example("nspk", 0));
  EXPECT_EQ(result.end, SearchEnd::Complete);
  EXPECT_EQ(result.statistics.sessions, 0);
  EXPECT_EQ(result.statistics.finished_runs, 0);
  EXPECT_TRUE(result.attacks.empty());
}

TEST(Analysis, SyntaxErrorThrowsItsDiagnosticOnly) {
  Protocol broken = kEcho;
  broken.principals = "A : (b) [ in(?x) . out({(x,na)}b+) ;\n";
  try {
    analyse(write_protocol("broken", broken, 2));
    FAIL() << "no error";
  } catch (const InputError& e) {
    ASSERT_TRUE(e.located());
    ASSERT_EQ(e.lines().size(), 1u);
    EXPECT_NE(e.lines()[0].find("principals.txt:1:"), std::string::npos) << e.what();
    EXPECT_NE(e.lines()[0].find(": error: "), std::string::npos) << e.what();
  }
}

// The keys of the distinct attacks on claim k, in order.
std::vector<std::string> keys_of_claim(const AnalysisResult& result, std::size_t k) {
  std::vector<std::string> keys;
  for (const AttackGroup& group : result.attacks) {
    if (group.representative.claim == k) keys.push_back(group.representative.key);
  }
  return keys;
}

// More claims beside a property change nothing of what the property's own
// search finds: its claim has the same distinct attacks, counts and attack sets
// shown, in one search of the same size; a claim that cannot fail holds. The
// property twice, and "true", are left alike by every swap the property is.
TEST(Claims, EachClaimFindsWhatASearchOfItsOwnFinds) {
  const fs::path more = models_folder() / "claims";
  fs::create_directories(more);
  for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR)) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    AnalysisOptions alone = example(name, 2);
    alone.accept_slips = false;
    const AnalysisResult single = analyse(alone);
    std::ifstream logic(alone.logic_file);
    const std::string property((std::istreambuf_iterator<char>(logic)),
                               std::istreambuf_iterator<char>());
    const std::string claim_file = (more / (name + ".txt")).string();
    std::ofstream(claim_file) << property << "/* always */ true ;\n";
    AnalysisOptions together = alone;
    together.claim_files = {claim_file};
    const AnalysisResult all = analyse(together);
    ASSERT_EQ(all.claims.size(), 3u);
    for (std::size_t k : {0, 1}) {
      EXPECT_EQ(keys_of_claim(all, k), keys_of_claim(single, 0)) << k;
      EXPECT_EQ(all.claims[k].status, single.claims[0].status) << k;
      EXPECT_EQ(all.claims[k].attack_sets, single.claims[0].attack_sets) << k;
    }
    EXPECT_EQ(all.claims[2].status,
              single.statistics.finished_runs > 0 ? ClaimStatus::Holds : ClaimStatus::NotChecked);
    EXPECT_EQ(all.claims[2].name, "always");
    EXPECT_EQ(all.statistics.nodes, single.statistics.nodes);
    EXPECT_EQ(all.statistics.finished_runs, single.statistics.finished_runs);
    EXPECT_EQ(all.statistics.attack_sets, single.statistics.attack_sets);
    ASSERT_EQ(all.attacks.size(), 2 * single.attacks.size());
    for (std::size_t i = 0; i < single.attacks.size(); ++i) {
      EXPECT_EQ(all.attacks[i].representative.attack_set,
                single.attacks[i].representative.attack_set);
      EXPECT_EQ(all.attacks[i].representative.report, single.attacks[i].representative.report);
    }
  }
}

// With --first the search stops at the first attack set: the claims it
// violates have an attack, the others are not checked.
TEST(Claims, FirstAttackLeavesTheOtherClaimsUnchecked) {
  Protocol echo = kEcho;
  echo.logic = "forall A.i: not :> na_i ;\n/* holds */ true ;\nnot :> na_1 ;\n";
  AnalysisOptions options = write_protocol("echo-claims", echo, 2);
  options.first_only = true;
  const AnalysisResult result = analyse(options);
  ASSERT_EQ(result.claims.size(), 3u);
  EXPECT_EQ(result.end, SearchEnd::FirstAttack);
  EXPECT_EQ(result.claims[0].status, ClaimStatus::Attack);
  EXPECT_EQ(result.claims[1].status, ClaimStatus::NotChecked);
  EXPECT_EQ(result.claims[0].first_attack, 1u);
  EXPECT_EQ(result.statistics.attack_sets, 1);
  options.first_only = false;
  const AnalysisResult complete = analyse(options);
  EXPECT_EQ(complete.claims[1].status, ClaimStatus::Holds);
  EXPECT_EQ(complete.claims[2].status, ClaimStatus::Attack);
}

}  // namespace

}  // namespace analyser
