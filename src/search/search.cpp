#include "search/search.h"

#include <time.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>

#include "assignment/assignment.h"
#include "knowledge/knowledge.h"
#include "node/action.h"
#include "principal/context.h"
#include "search/dead_ends.h"
#include "search/goal.h"
#include "search/subtree.h"
#include "search/symmetry.h"
#include "step/join.h"
#include "step/step.h"
#include "utils/utils.h"

namespace analyser {

namespace search {

namespace {

void show_feedback(const SearchState& state, const char* text) {
  if (state.options.feedback) *state.feedback << text << std::flush;
}

// The join phase's counter, overwriting the previous one in place.
void show_join_count(const SearchState& state, std::int64_t count) {
  if (!state.options.feedback) return;
  *state.feedback << std::string(10, '\b') << count << "/" << state.starting_count << "   "
                  << std::flush;
}

void record_branching(SearchState& state, std::int64_t children) {
  state.max_branching = std::max(state.max_branching, children);
  if (children < state.min_branching || state.min_branching == 0) state.min_branching = children;
  state.children_total += children;
  state.expanded_nodes += 1;
  state.branching_factor =
      static_cast<double>(state.children_total) / static_cast<double>(state.expanded_nodes);
}

void verify_and_report(SearchState& state, const NodeRef& leaf,
                       const std::vector<ConstraintStore>& stores, SearchObserver& observer) {
  // The thread's clock: with several threads the process's counts them all.
  const double start = thread_seconds();
  const std::vector<WorkItem> attacks =
      attack_search(state.formula, stores, *state.core, leaf->status());
  state.verify_time += thread_seconds() - start;
  if (attacks.empty()) return;
  state.attacks += 1;
  observer.attack_found(state, leaf, attacks);
}

// A leaf ends a trace: count it and hand on what the mode asks for.
void report_leaf(SearchState& state, const NodeRef& leaf, const InitialNode& start,
                 SearchObserver& observer) {
  state.traces += 1;
  const SearchOptions& options = state.options;
  const bool final = is_final(leaf);
  if (final) state.terminal_traces += 1;
  if (!final && options.terminal_only) return;
  switch (options.mode) {
    case OutputMode::Verify:
      if (!final) return;  // only finished traces are worth verifying
      state.verifying = true;
      print_progress(state);
      verify_and_report(state, leaf, *start.stores, observer);
      state.verifying = false;
      print_progress(state);
      break;
    case OutputMode::Text:
      observer.trace_found(state, leaf);
      break;
    case OutputMode::Graph:
      observer.graph_path_found(leaf);
      break;
    case OutputMode::None:
      break;
  }
}

}  // namespace

void close_node(SearchState& state, const NodeRef& node, const InitialNode& start,
                SearchObserver& observer) {
  if (node->children() != 0) {
    record_branching(state, node->children());
  } else {
    report_leaf(state, node, start, observer);
  }
}

bool search_below(SearchState& state, const InitialNode& start, SearchObserver& observer,
                  Reduction* reduction) {
  SymbolicCore& core = *state.core;
  // Each node on the stack with how far the step function has gone through its children.
  struct Frame {
    NodeRef node;
    StepCursor cursor;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{start.node, {}});
  // The clock only drives the progress display, throttled to one refresh a
  // second: it is not read without the display, and with it only every so many
  // steps, since reading the process clock costs a system call and a step far less.
  constexpr std::uint32_t kStepsPerClockReading = 256;
  std::uint32_t steps = 0;
  while (!stack.empty()) {
    if (observer.stop_requested(state)) return false;
    const bool read_clock = state.options.feedback && steps++ % kStepsPerClockReading == 0;
    const double now = read_clock ? process_seconds() : 0.0;
    Frame& top = stack.back();
    NodeRef child = step(core, state.node_ids, top.node, top.cursor, reduction);
    if (child && child->id() > state.max_node_id) state.max_node_id = child->id();
    if (read_clock && now - state.last_feedback > 1.0) {
      state.last_feedback = now;
      print_progress(state);
    }
    if (child && state.options.prune_dead_ends && cannot_finish(child->status())) {
      state.dead_ends += 1;
      continue;
    }
    if (child) {
      stack.push_back(Frame{std::move(child), top.cursor.below()});
      continue;
    }
    const NodeRef done = std::move(top.node);
    stack.pop_back();
    close_node(state, done, start, observer);
  }
  return true;
}

namespace {

// A count per second, truncated toward zero; 0 when no time was measured.
std::string rate_text(double count, double seconds) {
  if (seconds == 0.0) return "0";
  const double rate = std::trunc(count / seconds);
  if (!std::isfinite(rate) || rate == 0.0) return "0";
  char text[400];
  std::snprintf(text, sizeof text, "%.0f", rate);
  return text;
}

// %.12g, with "." added to a plain integer so that it still reads as a real.
std::string real_text(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%.12g", x);
  std::string s = text;
  if (s.find_first_not_of("-0123456789") == std::string::npos) s += ".";
  return s;
}

// x truncated toward zero; 0 for what is not a number of int64 range.
std::int64_t truncated(double x) {
  if (!std::isfinite(x) || std::fabs(x) >= 9.2e18) return 0;
  return static_cast<std::int64_t>(x);
}

}  // namespace

namespace {

double seconds_of(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

double process_seconds() {
  return seconds_of(CLOCK_PROCESS_CPUTIME_ID);
}

double thread_seconds() {
  return seconds_of(CLOCK_THREAD_CPUTIME_ID);
}

SearchState create(const std::vector<Principal>& principals, const std::vector<Message>& knowledge,
                   const SearchOptions& options, std::ostream& feedback) {
  SearchState state;
  state.options = options;
  state.feedback = &feedback;
  state.core = std::make_unique<SymbolicCore>();
  KnowledgeManager& mgr = state.core->knowledge_manager();
  const Knowledge empty = fresh_knowledge(mgr);
  const Message terms =
      utils::fold2(knowledge, [](const Message& a, const Message& b) { return pair(a, b); });
  const Knowledge initial = derive_knowledge(mgr, empty, empty_assignment(), terms);
  state.core->set_initial_knowledge(initial);
  state.root = create_node(state.node_ids, make_status(Context{}, empty_assignment(), initial));
  state.pool = make_pool(principals, options.session_size);
  state.starting_count = session_count(state.pool.size(), options.session_size);
  return state;
}

InitialNodes::InitialNodes(const SearchState& state, SymbolicCore& core, std::size_t j)
    : core_(core),
      session_(state.starting_nodes[j]),
      numbering_(state.join_numbering[j]),
      solutions_(solve_join(prepare(state.negated_join, session_->status().context), core,
                            session_->status())) {
  KnowledgeManager& mgr = core.knowledge_manager();
  const auto built = static_cast<std::int64_t>(solutions_.size());
  mgr.set_last_kid(std::max(mgr.last_kid(), numbering_.last_kid + built));
}

InitialNode InitialNodes::operator[](std::size_t i) const {
  // Each solution takes kNodesPerJoinSolution identifiers and one kid.
  NodeIds ids(numbering_.last_node_id + kNodesPerJoinSolution * static_cast<std::int64_t>(i));
  KnowledgeManager& mgr = core_.knowledge_manager();
  const std::int64_t last_kid =
      mgr.set_last_kid(numbering_.last_kid + static_cast<std::int64_t>(i));
  NodeRef node = join_solution_node(core_, ids, session_, solutions_[i].assignment);
  assert(mgr.last_kid() == numbering_.last_kid + static_cast<std::int64_t>(i) + 1 &&
         "an initial node takes one kid");
  mgr.set_last_kid(last_kid);
  return InitialNode{std::move(node), solutions_[i].stores};
}

std::int64_t InitialNodes::last_node_id() const {
  return numbering_.last_node_id +
         kNodesPerJoinSolution * static_cast<std::int64_t>(solutions_.size());
}

void join(SearchState& state, const Formula& formula, const Formula& join_components) {
  show_feedback(state, "\n\nJoining principals...\n\n");
  const double start = process_seconds();
  SymbolicCore& core = *state.core;
  state.negated_join = not_formula(join_components);
  state.property = formula;
  std::int64_t count = 0;
  std::int64_t next_session = 0;
  for (NodeRef n = next_join(state.pool, core, state.node_ids, state.root, next_session); n;
       n = next_join(state.pool, core, state.node_ids, state.root, next_session)) {
    show_join_count(state, ++count);
    state.starting_nodes.push_back(std::move(n));
  }
  show_feedback(state, "\n\nFirst generation...\n\n");

  state.subtree_index = 0;
  state.starting_count = static_cast<std::int64_t>(state.starting_nodes.size());
  for (const NodeRef& n : state.starting_nodes) {
    state.trace_lengths.push_back(trace_length(n->status().context));
  }
  state.max_node_id = state.starting_count + 1;
  state.children_total = state.starting_count;

  // Each session's join is solved here to count and number its initial nodes.
  count = 0;
  for (std::size_t j = 0; j < state.starting_nodes.size(); ++j) {
    show_join_count(state, ++count);
    state.join_numbering.push_back(
        JoinNumbering{state.node_ids.last(), core.knowledge_manager().last_kid()});
    const InitialNodes initial(state, *state.core, j);
    // Built once here and let go, so that a join that cannot be applied fails now,
    // before the search.
    for (std::size_t i = 0; i < initial.size(); ++i) initial[i];
    // The search's nodes are numbered after the last initial node.
    if (initial.size() > 0) state.node_ids = NodeIds(initial.last_node_id());
    state.initial_branching.push_back(static_cast<double>(initial.size()));
  }
  state.join_time = process_seconds() - start;
}

namespace {

// Every session's initial nodes, in order, each searched to the end unless the
// observer stops the search. Returns false then.
bool search_sessions(SearchState& state, SearchObserver& observer) {
  const auto starting = static_cast<std::int64_t>(state.starting_nodes.size());
  bool complete = true;
  for (state.subtree_index = 0; complete && state.subtree_index < starting;) {
    const auto j = static_cast<std::size_t>(state.subtree_index);
    if (state.initial_branching[j] > 0) {
      state.formula = laid_out_property(state.property, state.starting_nodes[j]->status().context);
      const InitialNodes initial(state, *state.core, j);
      for (std::size_t i = 0; i < initial.size(); ++i) {
        const InitialNode start = initial[i];
        if (state.options.symmetry_reduction) {
          InterchangeableInstances reduction(start, state.formula.clauses());
          complete = search_below(state, start, observer, &reduction);
          state.moves_left_out += reduction.moves_left_out();
        } else {
          complete = search_below(state, start, observer);
        }
        if (!complete) break;
      }
    }
    if (complete) {
      state.subtree_index += 1;
      print_progress(state);
    }
  }
  // A stopped search leaves the index on the starting node it was in.
  if (complete) state.subtree_index -= 1;
  return complete;
}

// What the search counts and numbers (not the time it takes).
struct Tally {
  double branching_factor;
  std::int64_t max_branching, min_branching, expanded_nodes, children_total, max_node_id;
  std::int64_t traces, terminal_traces, attacks, dead_ends, last_kid;
  NodeIds node_ids;

  explicit Tally(const SearchState& s)
      : branching_factor(s.branching_factor),
        max_branching(s.max_branching),
        min_branching(s.min_branching),
        expanded_nodes(s.expanded_nodes),
        children_total(s.children_total),
        max_node_id(s.max_node_id),
        traces(s.traces),
        terminal_traces(s.terminal_traces),
        attacks(s.attacks),
        dead_ends(s.dead_ends),
        last_kid(s.core->knowledge_manager().last_kid()),
        node_ids(s.node_ids) {}

  void restore(SearchState& s) const {
    s.branching_factor = branching_factor;
    s.max_branching = max_branching;
    s.min_branching = min_branching;
    s.expanded_nodes = expanded_nodes;
    s.children_total = children_total;
    s.max_node_id = max_node_id;
    s.traces = traces;
    s.terminal_traces = terminal_traces;
    s.attacks = attacks;
    s.dead_ends = dead_ends;
    s.core->knowledge_manager().set_last_kid(last_kid);
    s.node_ids = node_ids;
  }
};

// The hunt for a first attack; when it finds nothing, it leaves no trace but the
// time it took: the full search then counts, numbers and reports exactly as it
// would alone. Returns false when the observer stopped it.
bool hunt_without_trace(SearchState& state, SearchObserver& observer) {
  const Tally before(state);
  if (!hunt_attack(state, observer)) return false;
  // An observer that let the hunt go on after an attack has seen it: the full
  // search will show it again, and the counts stay as they are.
  if (state.attacks == before.attacks) before.restore(state);
  return true;
}

}  // namespace

bool run(SearchState& state, SearchObserver& observer) {
  state.search_time = process_seconds();
  show_feedback(state, "\n\nSearching...\n\n");
  const bool complete = (!state.options.goal_directed || hunt_without_trace(state, observer)) &&
                        search_sessions(state, observer);
  print_progress(state, true);
  state.search_time = process_seconds() - state.search_time;
  return complete;
}

std::string format_duration(double seconds) {
  if (!std::isfinite(seconds)) return "infinity";
  const double whole = std::ceil(seconds);
  if (whole < std::numeric_limits<std::int32_t>::min() ||
      whole > std::numeric_limits<std::int32_t>::max()) {
    return "infinity";
  }
  const auto s = static_cast<std::int64_t>(whole);
  const std::int64_t h = s / 3600;
  const std::int64_t m = (s - 3600 * h) / 60;
  const std::int64_t sec = s - 3600 * h - 60 * m;
  if (h < 0) return "infinity";
  return std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(sec);
}

std::string progress_text(const SearchState& state, double elapsed) {
  // The nodes still to come, guessed from the branching seen so far: the
  // starting nodes already searched contribute nothing.
  double estimate = static_cast<double>(state.max_node_id);
  const std::size_t count = std::min(state.initial_branching.size(), state.trace_lengths.size());
  for (std::size_t j = static_cast<std::size_t>(std::max<std::int64_t>(state.subtree_index, 0));
       j < count; ++j) {
    estimate += state.initial_branching[j] *
                std::pow(state.branching_factor, static_cast<double>(state.trace_lengths[j]));
  }
  const double percent = static_cast<double>(state.max_node_id) / estimate * 100.0;
  const double remaining = 100.0 * elapsed / percent - elapsed;
  return std::string(63, '\b') + std::to_string(truncated(percent)) + "%" + " elapsed " +
         format_duration(elapsed) + " " + "~ remaining " + format_duration(remaining) + " " +
         " subtree " + std::to_string(state.subtree_index + 1) + "/" +
         std::to_string(state.starting_count) + (state.verifying ? " - V   " : " - S   ");
}

void print_progress(SearchState& state, bool last_draw) {
  constexpr double kSecondsBetweenDraws = 0.25;
  if (!state.options.feedback) return;
  const double now = process_seconds();
  if (!last_draw && now - state.last_drawn < kSecondsBetweenDraws) return;
  state.last_drawn = now;
  *state.feedback << progress_text(state, now - state.search_time) << std::flush;
}

std::int64_t pruned_count(const SearchState& state) {
  return std::count(state.initial_branching.begin(), state.initial_branching.end(), 0.0);
}

void print_statistics(std::ostream& os, const SearchState& state) {
  const std::int64_t pruned = pruned_count(state);
  const double search_only = state.search_time - state.verify_time;
  os << "\n\n--------------------------------------------\nTotal traces: " << state.traces << "\n"
     << "Total terminal traces: " << state.terminal_traces << "\n"
     << "Total nodes: " << state.max_node_id << "\n"
     << "Total starting nodes: " << state.starting_count << "\n"
     << "Total pruned starting nodes: " << pruned << "\n"
     << "\nTotal time: " << format_duration(state.search_time + state.join_time) << "\n"
     << "Search time: " << format_duration(search_only) << "\n"
     << "Join time: " << format_duration(state.join_time) << "\n"
     << "Verify time: " << format_duration(state.verify_time) << "\n"
     << "\nnode/s: " << rate_text(static_cast<double>(state.max_node_id), search_only) << "\n"
     << "trace/s: " << rate_text(static_cast<double>(state.traces), search_only) << "\n"
     << "verification/s: "
     << rate_text(static_cast<double>(state.terminal_traces), state.verify_time) << "\n"
     << "branching factor: " << real_text(state.branching_factor) << ", (" << state.children_total
     << "/" << state.expanded_nodes << ")\n"
     << "max branching factor: " << state.max_branching << "\n"
     << "min branching factor: " << state.min_branching << "\n"
     << "initial branching factors: ";
  for (double b : state.initial_branching) os << truncated(b) << " ";
  os << "\n\ntrace length: ";
  for (std::int64_t length : state.trace_lengths) os << length << " ";
  os << "\n\n\nNumber of attacks: " << state.attacks
     << "\n--------------------------------------------\n";
}

}  // namespace search

}  // namespace analyser
