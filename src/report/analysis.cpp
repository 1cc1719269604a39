#include "report/analysis.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "report/progress_bar.h"
#include "report/slips.h"
#include "report/threaded_search.h"
#include "run/inputs.h"
#include "search/outcome.h"
#include "search/search.h"
#include "search/symmetry.h"

namespace analyser {

namespace {

// Groups every attack set the search reports, claim by claim; stops the search
// at the first attack or at the time limit when asked to.
class AttackCollector : public SearchObserver {
 public:
  AttackCollector(const AnalysisOptions& options, std::size_t claims)
      : groups_(claims),
        first_only_(options.first_only),
        grouping_(options.all_attacks ? Grouping::Interleaving : Grouping::CausalPast),
        time_limit_(options.time_limit),
        progress_(options.progress != nullptr ? *options.progress : nowhere_,
                  options.progress != nullptr) {}

  void attack_found(const SearchState& state, const NodeRef& leaf,
                    const std::vector<WorkItem>& candidates) override {
    if (first_only_) end_ = SearchEnd::FirstAttack;
    // Only the attack set that shows a group is described, with its full report.
    const std::int64_t session = state.subtree_index + 1;
    AttackGroups& groups = groups_.at(state.claim);
    if (groups.add_to_group(attack_key(state, leaf, candidates, grouping_), session)) return;
    Attack attack = describe_attack(state, leaf, candidates, grouping_);
    attack.report = attack_set_report(state, leaf, candidates);
    attack.claim = state.claim;
    groups.add(std::move(attack));
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
  Grouping grouping() const { return grouping_; }
  double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
  // Per claim, in the order of the claims.
  const std::vector<AttackGroups>& groups() const { return groups_; }
  std::vector<AttackGroups>& groups() { return groups_; }

 private:
  using Clock = std::chrono::steady_clock;

  std::vector<AttackGroups> groups_;

  bool first_only_;
  Grouping grouping_;
  std::optional<double> time_limit_;
  Clock::time_point start_ = Clock::now();
  SearchEnd end_ = SearchEnd::Complete;
  std::ostream nowhere_{nullptr};  // where a bar that is not shown goes
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
  s.traces = state.counts.traces;
  s.finished_runs = state.counts.terminal_traces;
  s.nodes = state.counts.max_node_id;
  s.sessions = state.starting_count;
  // The search leaves the index on the last session it entered.
  s.sessions_searched = state.subtree_index + 1;
  s.pruned_sessions = std::count_if(sessions.begin(), sessions.end(),
                                    [](const Session& session) { return session.pruned; });
  s.attack_sets = state.counts.attacks;
  s.moves_left_out = state.counts.moves_left_out;
  s.dead_ends = state.counts.dead_ends;
  s.states_merged = state.counts.states_merged;
  s.join_seconds = state.times.join_time;
  s.search_seconds = state.times.search_time - state.times.verify_time;
  s.verify_seconds = state.times.verify_time;
  return s;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(std::move(line));
  return lines;
}

std::string without_line_end(std::string line) {
  while (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

// The claims of a claim file: every formula of it. A syntax error throws
// InputError with its diagnostic.
std::vector<Claim> claims_of(const InputFile& file) {
  const tokenizer::SourceFile source{file.path, file.text, ""};
  tokenizer::Lexer lexer(source);
  try {
    return parse_claims(lexer, file.text);
  } catch (const syntax::SyntaxError& error) {
    throw InputError(
        std::vector<std::string>{without_line_end(syntax::diagnostic_line(error.diagnostic()))});
  }
}

// The inputs parsed from the texts of model (the four files, then the claim
// files), and in claims every claim, the logic file's first. A syntax error or
// a slip throws InputError with its diagnostics; the principals file's
// warnings join warnings.
Inputs parse_model(const AnalysisOptions& options, const std::vector<InputFile>& model,
                   std::vector<Claim>& claims, std::vector<std::string>& warnings) {
  // The settings name exactly the model's files, read already: none is read again.
  const auto text_at = [&](const std::string& path) {
    const auto file = std::find_if(model.begin(), model.end(),
                                   [&](const InputFile& f) { return f.path == path; });
    if (file == model.end()) throw std::logic_error("not a file of the model: " + path);
    return tokenizer::SourceFile{path, file->text, ""};
  };
  std::ostringstream error_lines;  // the analyser's legacy error lines: not shown
  std::ostringstream diagnostics;
  Inputs inputs;
  try {
    inputs = read_inputs(analysis_settings(options), RunStreams{error_lines, diagnostics}, text_at);
  } catch (const Failure&) {
    std::vector<std::string> errors;
    for (std::string& line : lines_of(diagnostics.str())) {
      if (line.find(": error: ") != std::string::npos) errors.push_back(std::move(line));
    }
    if (errors.empty()) throw;
    throw InputError(std::move(errors));
  }
  const std::string warning = "warning: ";
  for (std::string& line : lines_of(diagnostics.str())) {
    if (line.rfind(warning, 0) == 0) warnings.push_back(line.substr(warning.size()));
  }
  claims = inputs.claims;
  for (const InputFile& file : model) {
    if (file.role != kClaimRole) continue;
    std::vector<Claim> more = claims_of(file);
    claims.insert(claims.end(), more.begin(), more.end());
  }
  std::vector<std::string> errors;
  if (inputs.too_few_knowledge_terms) {
    errors.push_back(without_line_end(syntax::diagnostic_line(*inputs.too_few_knowledge_terms)));
  }
  if (!options.accept_slips) {
    for (const syntax::Diagnostic& slip :
         model_slips(model, inputs, claims, options.knowledge_in_join)) {
      errors.push_back(without_line_end(syntax::diagnostic_line(slip)));
    }
  }
  if (!errors.empty()) throw InputError(std::move(errors));
  return inputs;
}

// What the run established about each claim, its attacks being those of
// groups (one per claim).
std::vector<ClaimResult> claim_results(const std::vector<Claim>& claims,
                                       const std::vector<AttackGroups>& groups,
                                       const AnalysisResult& result) {
  std::vector<ClaimResult> results;
  std::size_t rank = 1;  // of the next claim's first attack
  for (std::size_t k = 0; k < claims.size(); ++k) {
    ClaimResult r;
    r.name = claims[k].name;
    r.text = claims[k].text;
    r.file = claims[k].where.file;
    r.line = claims[k].where.line;
    r.attack_sets = groups[k].attack_sets();
    r.distinct_attacks = groups[k].ordered().size();
    if (r.distinct_attacks > 0) {
      r.status = ClaimStatus::Attack;
      r.first_attack = rank;
      rank += r.distinct_attacks;
    } else if (result.end == SearchEnd::Complete && result.statistics.finished_runs > 0) {
      r.status = ClaimStatus::Holds;
    }
    results.push_back(std::move(r));
  }
  return results;
}

// The sessions of the model of inputs, composed as options ask, for attacks
// on claims; false in joined when the observer stopped it. The analyser's own
// -f display is never on: it writes to nowhere.
SearchState composed(const AnalysisOptions& options, const Inputs& inputs,
                     const std::vector<Claim>& claims, SearchObserver* observer,
                     std::ostream& nowhere, bool& joined) {
  const Settings settings = analysis_settings(options);
  SearchState state = search::create(inputs.principals, inputs.knowledge, settings.search, nowhere);
  std::vector<Formula> formulas;
  for (const Claim& claim : claims) formulas.push_back(claim.formula);
  joined = search::join(state, formulas, inputs.join_components, observer);
  return state;
}

// How the composed sessions are searched: in this process, or by reading the
// shares of a run cut into shards.
using Searcher = std::function<search::RunEnd(SearchState&, AttackCollector&)>;

search::RunEnd search_here(const AnalysisOptions& options, SearchState& state,
                           AttackCollector& collector) {
  if (options.threads <= 1 || options.first_only) return search::run(state, collector);
  return search_on_threads(state, {options.threads, options.chunk_levels}, collector.grouping(),
                           collector.groups(),
                           [&](const SearchState& s) { return collector.stop_requested(s); });
}

// Searches the model of inputs for attacks on claims; when the symmetry
// reduction cannot be trusted on it, searches every run again, here.
AnalysisResult search_model(const AnalysisOptions& options, const Inputs& inputs,
                            const std::vector<Claim>& claims, const Searcher& searcher = nullptr) {
  // The time limit covers composing the sessions too.
  AttackCollector collector(options, claims.size());
  std::ostream nowhere(nullptr);
  bool joined = false;
  SearchState state = composed(options, inputs, claims, &collector, nowhere, joined);
  const auto searched = [&] {
    return searcher ? searcher(state, collector) : search_here(options, state, collector);
  };
  if (joined && searched() == search::RunEnd::OrderMatters) {
    // The reduction cannot be trusted on this model: everything again, every run.
    AnalysisOptions exhaustive = options;
    exhaustive.exhaustive = true;
    if (options.time_limit) {
      exhaustive.time_limit = std::max(1e-9, *options.time_limit - collector.elapsed());
    }
    AnalysisResult result = search_model(exhaustive, inputs, claims);
    result.warnings.push_back(std::string("the symmetry reduction does not hold here (") +
                              kOrderMatters + "): every run was explored");
    return result;
  }
  AnalysisResult result;
  if (joined) result.warnings = run_warnings(state);
  result.end = collector.end();
  result.sessions = sessions_of(state);
  for (const AttackGroups& groups : collector.groups()) {
    const std::vector<AttackGroup> ordered = groups.ordered();
    result.attacks.insert(result.attacks.end(), ordered.begin(), ordered.end());
  }
  result.statistics = statistics_of(state, result.sessions);
  if (!joined) result.statistics.sessions_searched = 0;
  result.claims = claim_results(claims, collector.groups(), result);
  return result;
}

}  // namespace

Settings analysis_settings(const AnalysisOptions& options) {
  Settings settings;
  settings.search.mode = OutputMode::Verify;
  settings.principals_file = options.principals_file;
  settings.logic_file = options.logic_file;
  settings.join_file = options.join_file;
  settings.knowledge_file = options.knowledge_file;
  settings.every_claim = true;
  settings.search.session_size = options.session_size;
  settings.search.symmetry_reduction = !options.exhaustive;
  settings.search.prune_dead_ends = options.prune_dead_ends && !options.exhaustive;
  settings.search.merge_states = options.merge_states && !options.exhaustive;
  settings.search.goal_directed = options.first_only && !options.exhaustive;
  return settings;
}

namespace {

// The four files and the claim files, read.
std::vector<InputFile> read_model(const AnalysisOptions& options) {
  std::vector<InputFile> model = model_files(
      {options.principals_file, options.logic_file, options.join_file, options.knowledge_file});
  const std::vector<InputFile> more = claim_files(options.claim_files);
  model.insert(model.end(), more.begin(), more.end());
  read_texts(model);
  return model;
}

AnalysisResult analysed(const AnalysisOptions& options, std::vector<InputFile> model,
                        const Searcher& searcher = nullptr) {
  std::vector<std::string> warnings;
  std::vector<Claim> claims;
  const Inputs inputs = parse_model(options, model, claims, warnings);
  AnalysisResult result = search_model(options, inputs, claims, searcher);
  warnings.insert(warnings.end(), result.warnings.begin(), result.warnings.end());
  result.warnings = std::move(warnings);
  result.inputs = std::move(model);
  return result;
}

}  // namespace

AnalysisResult analyse(const AnalysisOptions& options) {
  return analysed(options, read_model(options));
}

ShardPart analyse_shard(const AnalysisOptions& options, ShardSelection shard) {
  ShardPart part;
  part.shard = shard;
  part.options = ShardedOptions{options.session_size, options.exhaustive, options.prune_dead_ends,
                                options.knowledge_in_join, options.all_attacks};
  part.inputs = read_model(options);
  std::vector<std::string> warnings;
  std::vector<Claim> claims;
  const Inputs inputs = parse_model(options, part.inputs, claims, warnings);
  std::ostream nowhere(nullptr);
  bool joined = false;
  SearchState state = composed(options, inputs, claims, nullptr, nowhere, joined);
  const double start = search::process_seconds();
  part.pieces = search_share(state, {options.threads, options.chunk_levels},
                             options.all_attacks ? Grouping::Interleaving : Grouping::CausalPast,
                             shard.index, shard.count, part.segments);
  part.search_seconds = search::process_seconds() - start;
  return part;
}

AnalysisOptions options_of(const ShardPart& part, int threads) {
  AnalysisOptions options;
  options.threads = threads;
  options.session_size = part.options.session_size;
  options.exhaustive = part.options.exhaustive;
  options.prune_dead_ends = part.options.prune_dead_ends;
  options.knowledge_in_join = part.options.knowledge_in_join;
  options.all_attacks = part.options.all_attacks;
  options.principals_file = part.inputs[0].path;
  options.logic_file = part.inputs[1].path;
  options.join_file = part.inputs[2].path;
  options.knowledge_file = part.inputs[3].path;
  for (std::size_t k = 4; k < part.inputs.size(); ++k) {
    options.claim_files.push_back(part.inputs[k].path);
  }
  return options;
}

AnalysisResult merged_analysis(const std::vector<ShardPart>& parts, int threads) {
  const ShardPart& first = parts.front();
  const AnalysisOptions options = options_of(first, threads);
  // Every piece but the last has a chunk: two segments each, the last one.
  std::vector<const Segment*> segments;
  for (const ShardPart& part : parts) {
    for (const Segment& s : part.segments) segments.push_back(&s);
  }
  std::sort(segments.begin(), segments.end(),
            [](const Segment* a, const Segment* b) { return a->index < b->index; });
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (segments[i]->index != static_cast<std::int64_t>(i)) {
      throw InputError("--merge: segment " + std::to_string(i) + " is in no shard part");
    }
  }
  if (std::ssize(segments) != 2 * first.pieces - 1) {
    throw InputError("--merge: the shard parts end before the run does");
  }
  const Searcher replay = [&](SearchState& state, AttackCollector& collector) {
    const search::RunEnd end = read_segments(state, segments, collector.groups());
    state.times.search_time = 0.0;
    for (const ShardPart& part : parts) state.times.search_time += part.search_seconds;
    return end;
  };
  return analysed(options, first.inputs, replay);
}

}  // namespace analyser
