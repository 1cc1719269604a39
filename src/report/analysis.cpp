#include "report/analysis.h"

#include <algorithm>
#include <chrono>
#include <iostream>

#include "driver/driver.h"
#include "report/progress_bar.h"
#include "search/outcome.h"
#include "search/search.h"
#include "search/symmetry.h"

namespace analyser {

namespace {

// Groups every attack set the search reports; stops the search at the first
// attack or at the time limit when asked to.
class AttackCollector : public SearchObserver {
 public:
  explicit AttackCollector(const AnalysisOptions& options)
      : first_only_(options.first_only),
        time_limit_(options.time_limit),
        progress_(std::cerr, options.show_progress) {}

  void attack_found(const SearchState& state, const NodeRef& leaf,
                    const std::vector<WorkItem>& candidates) override {
    Attack attack = describe_attack(state, leaf, candidates);
    // Only the first attack set of a group is shown, with its full report.
    if (!groups_.has(attack.key)) attack.report = attack_set_report(state, leaf, candidates);
    groups_.add(std::move(attack));
    if (first_only_) end_ = SearchEnd::FirstAttack;
  }
  // Verification mode reports neither traces nor graph paths.
  void trace_found(const SearchState&, const NodeRef&) override {}
  void graph_path_found(const NodeRef&) override {}

  bool stop_requested(const SearchState& state) override {
    progress_.update(state);
    if (end_ == SearchEnd::Complete && time_limit_ && elapsed() >= *time_limit_) {
      end_ = SearchEnd::TimeLimit;
    }
    return end_ != SearchEnd::Complete;
  }

  SearchEnd end() const { return end_; }
  double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
  const AttackGroups& groups() const { return groups_; }

 private:
  using Clock = std::chrono::steady_clock;

  bool first_only_;
  std::optional<double> time_limit_;
  Clock::time_point start_ = Clock::now();
  SearchEnd end_ = SearchEnd::Complete;
  AttackGroups groups_;
  ProgressBar progress_;
};

std::vector<Session> sessions_of(const SearchState& state) {
  std::vector<Session> sessions;
  for (std::size_t j = 0; j < state.starting_nodes.size(); ++j) {
    Session s;
    s.number = static_cast<std::int64_t>(j) + 1;
    for (const Principal& p : state.starting_nodes[j]->status().context) {
      s.principals.push_back(p.name() + "_" + std::to_string(p.instance()));
    }
    s.pruned = state.initial_branching[j] == 0;
    sessions.push_back(std::move(s));
  }
  return sessions;
}

AnalysisStatistics statistics_of(const SearchState& state, const std::vector<Session>& sessions) {
  AnalysisStatistics s;
  s.traces = state.traces;
  s.finished_runs = state.terminal_traces;
  s.nodes = state.max_node_id;
  s.sessions = state.starting_count;
  // The search leaves the index on the last session it entered.
  s.sessions_searched = state.subtree_index + 1;
  s.pruned_sessions = std::count_if(sessions.begin(), sessions.end(),
                                    [](const Session& session) { return session.pruned; });
  s.attack_sets = state.attacks;
  s.moves_left_out = state.moves_left_out;
  s.dead_ends = state.dead_ends;
  s.join_seconds = state.join_time;
  s.search_seconds = state.search_time - state.verify_time;
  s.verify_seconds = state.verify_time;
  return s;
}

}  // namespace

Settings analysis_settings(const AnalysisOptions& options) {
  Settings settings;
  settings.search.mode = OutputMode::Verify;
  settings.principals_file = options.principals_file;
  settings.logic_file = options.logic_file;
  settings.join_file = options.join_file;
  settings.knowledge_file = options.knowledge_file;
  settings.search.session_size = options.session_size;
  settings.search.symmetry_reduction = !options.exhaustive;
  settings.search.prune_dead_ends = options.prune_dead_ends && !options.exhaustive;
  settings.search.goal_directed = options.first_only && !options.exhaustive;
  return settings;
}

AnalysisResult analyse(const AnalysisOptions& options, std::ostream& error_lines) {
  const Settings settings = analysis_settings(options);
  const Inputs inputs = read_inputs(settings, RunStreams{error_lines, std::cerr});
  SearchState state =
      search::create(inputs.principals, inputs.knowledge, settings.search, std::cerr);
  search::join(state, inputs.formula, inputs.join_components);
  AttackCollector collector(options);
  try {
    search::run(state, collector);
  } catch (const OrderMatters& e) {
    // The reduction cannot be trusted on this model: everything again, every run.
    AnalysisOptions exhaustive = options;
    exhaustive.exhaustive = true;
    if (options.time_limit) {
      exhaustive.time_limit = std::max(1e-9, *options.time_limit - collector.elapsed());
    }
    AnalysisResult result = analyse(exhaustive, error_lines);
    result.warnings.push_back(std::string("the symmetry reduction does not hold here (") +
                              e.what() + "): every run was explored");
    return result;
  }

  AnalysisResult result;
  result.warnings = input_warnings(settings, inputs);
  for (std::string& text : run_warnings(state)) result.warnings.push_back(std::move(text));
  result.end = collector.end();
  result.sessions = sessions_of(state);
  result.attacks = collector.groups().ordered();
  result.statistics = statistics_of(state, result.sessions);
  return result;
}

}  // namespace analyser
