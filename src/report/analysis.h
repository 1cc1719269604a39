// One analysis run for the report: the four input files read through the
// analyser's libraries, the sessions built, every finished run verified, and
// the attacks found collected into groups instead of printed.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "report/attack_groups.h"
#include "report/model.h"
#include "report/shard_part.h"
#include "run/settings.h"

namespace analyser {

struct AnalysisOptions {
  std::string principals_file;
  std::string logic_file;
  std::string join_file;
  std::string knowledge_file;
  // Files of more claims (--claim), each read as the logic file is: every
  // formula of it a claim.
  std::vector<std::string> claim_files;
  std::int64_t session_size = 0;
  bool first_only = false;  // stop at the first attack set
  // Tell attacks apart by their involved messages in trace order, not by their
  // causal past (report/attack.h): finer groups.
  bool all_attacks = false;
  // Explore every run, not one per class of runs that differ only by swapping
  // interchangeable instances.
  bool exhaustive = false;
  // Leave out the states from which no run can finish, unless exhaustive; they
  // hold no finished run to verify.
  bool prune_dead_ends = true;
  // Search a state that another interleaving reached already only once, unless
  // exhaustive; the counts stay those of the search without it.
  bool merge_states = true;
  // The user means the join formula to speak of the intruder's knowledge.
  bool knowledge_in_join = false;
  // Analyse a model with slips (report/slips.h) as the analyser does, instead of
  // refusing it: for comparing searches on models as they are.
  bool accept_slips = false;
  std::optional<double> time_limit;  // seconds of wall time for the search
  // The most threads the search uses. The report is the same for any number;
  // a search for the first attack uses one.
  int threads = 1;
  // How the threaded search cuts the run (search/parallel.h); 0: as it does by
  // itself. Tests cut small runs into many pieces.
  std::int64_t chunk_levels = 0;
  // Where the progress bar goes (a terminal watched by a person); none without.
  std::ostream* progress = nullptr;
};

// A session of the run: a starting node, numbered from 1 in the order the
// sessions are built, with its principal instances ("B_1", "A_2").
struct Session {
  std::int64_t number = 0;
  std::vector<std::string> principals;
  bool pruned = false;  // its join formula has no solution
};

struct AnalysisStatistics {
  std::int64_t traces = 0;
  std::int64_t finished_runs = 0;  // final leaves: each one verified
  std::int64_t nodes = 0;
  std::int64_t sessions = 0;
  std::int64_t sessions_searched = 0;  // all of them unless the search was stopped
  std::int64_t pruned_sessions = 0;
  std::int64_t attack_sets = 0;
  std::int64_t moves_left_out = 0;  // by the symmetry reduction: none with --exhaustive
  std::int64_t dead_ends = 0;       // states left out, from which no run finishes
  // States met again, whose subtree was counted, not searched: like the times, a
  // figure of the work done, which the reports leave out.
  std::int64_t states_merged = 0;
  double join_seconds = 0.0;  // processor time
  double search_seconds = 0.0;
  double verify_seconds = 0.0;
};

// Why the search ended.
enum class SearchEnd { Complete, FirstAttack, TimeLimit };

// What the run established about one claim: an attack violates it, or every
// finished run of the complete search satisfies it (within the session size),
// or neither could be decided (the search was cut short before an attack on
// it, or verified no run).
enum class ClaimStatus { Holds, Attack, NotChecked };

struct ClaimResult {
  std::string name;  // from the comment before it; may be empty
  std::string text;  // as written
  std::string file;  // where it is written, and at which line
  std::int64_t line = 0;
  ClaimStatus status = ClaimStatus::NotChecked;
  std::int64_t attack_sets = 0;  // the attack sets that violate it
  std::size_t distinct_attacks = 0;
  // Its first distinct attack (its most frequent) as a rank in the result's
  // attacks, from 1; 0 when it has none.
  std::size_t first_attack = 0;
};

struct AnalysisResult {
  std::vector<InputFile> inputs;  // the texts analysed, in the order of the command line
  SearchEnd end = SearchEnd::Complete;
  std::vector<Session> sessions;
  // In the order of the claims: those of the logic file, then those of each
  // claim file.
  std::vector<ClaimResult> claims;
  // Claim by claim, in the order of the claims; each claim's most frequent
  // first. An attack set that violates several claims counts under each.
  std::vector<AttackGroup> attacks;
  AnalysisStatistics statistics;
  // Why the run may mean less than it seems: no session, every session pruned,
  // no finished run, a principals file ending inside a comment. One text each,
  // without a prefix.
  std::vector<std::string> warnings;
};

// Reads each input file once and runs the analysis: one search, every finished
// run verified against every claim. A file that cannot be read,
// a syntax error and a slip (see report/slips.h) throw InputError with the
// lines that explain it; other failures of the analyser (nesting too deep,
// say) throw Failure.
AnalysisResult analyse(const AnalysisOptions& options);

// One shard's share of the analysis: the model read and checked as analyse
// reads it, the sessions composed, and the shard's pieces of the search
// searched (report/shard_part.h).
ShardPart analyse_shard(const AnalysisOptions& options, ShardSelection shard);

// The options of the analysis part is a shard of.
AnalysisOptions options_of(const ShardPart& part, int threads);

// The analysis of a whole run from its shards' parts, which one_run checked:
// exactly what analyse gives, but for the clocks. Where the symmetry reduction
// does not hold, every run is searched again here, on threads threads.
AnalysisResult merged_analysis(const std::vector<ShardPart>& parts, int threads);

// The analyser's settings for an analysis: verification, the four files, the
// session size and the reductions that options ask for.
Settings analysis_settings(const AnalysisOptions& options);

}  // namespace analyser
