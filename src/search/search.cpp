#include "search/search.h"

#include <algorithm>

#include "knowledge/knowledge.h"
#include "principal/context.h"
#include "search/goal.h"
#include "search/subtree.h"
#include "search/symmetry.h"
#include "step/join.h"
#include "utils/utils.h"

namespace analyser {

namespace search {

namespace {

void show_feedback(const SearchState& state, const char* text) {
  if (state.options.feedback) *state.progress.out << text << std::flush;
}

// The join phase's counter, overwriting the previous one in place.
void show_join_count(const SearchState& state, std::int64_t count) {
  if (!state.options.feedback) return;
  *state.progress.out << std::string(10, '\b') << count << "/" << state.starting_count << "   "
                      << std::flush;
}

}  // namespace

SearchState create(const std::vector<Principal>& principals, const std::vector<Message>& knowledge,
                   const SearchOptions& options, std::ostream& feedback) {
  SearchState state;
  state.options = options;
  state.progress.out = &feedback;
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

bool join(SearchState& state, const Formula& formula, const Formula& join_components,
          SearchObserver* observer) {
  show_feedback(state, "\n\nJoining principals...\n\n");
  const double start = process_seconds();
  const auto stopped = [&] { return observer != nullptr && observer->stop_requested(state); };
  SymbolicCore& core = *state.core;
  state.negated_join = not_formula(join_components);
  state.property = formula;
  std::int64_t count = 0;
  std::int64_t next_session = 0;
  bool complete = true;
  for (NodeRef n = next_join(state.pool, core, state.node_ids, state.root, next_session); n;
       n = next_join(state.pool, core, state.node_ids, state.root, next_session)) {
    show_join_count(state, ++count);
    state.starting_nodes.push_back(std::move(n));
    if (stopped()) {
      complete = false;
      break;
    }
  }
  show_feedback(state, "\n\nFirst generation...\n\n");

  state.subtree_index = 0;
  state.starting_count = static_cast<std::int64_t>(state.starting_nodes.size());
  for (const NodeRef& n : state.starting_nodes) {
    state.trace_lengths.push_back(trace_length(n->status().context));
  }
  state.counts.max_node_id = state.starting_count + 1;
  state.counts.children_total = state.starting_count;

  // Each session's join is solved here to count and number its initial nodes.
  count = 0;
  for (std::size_t j = 0; complete && j < state.starting_nodes.size(); ++j) {
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
    complete = !stopped();
  }
  if (!complete) {
    // Only the sessions counted to the end stay: the vectors stay parallel.
    const std::size_t counted = state.initial_branching.size();
    state.starting_nodes.resize(counted);
    state.trace_lengths.resize(counted);
    state.join_numbering.resize(counted);
    state.starting_count = static_cast<std::int64_t>(counted);
  }
  state.times.join_time = process_seconds() - start;
  return complete;
}

namespace {

// Every session's initial nodes, in order, each searched to the end unless the
// observer stops the search or the symmetry reduction does not hold.
SubtreeEnd search_sessions(SearchState& state, SearchObserver& observer) {
  SessionWalk sessions(state, *state.core, state.formula);
  SubtreeEnd end = SubtreeEnd::Done;
  while (end == SubtreeEnd::Done && sessions.open_next()) {
    state.subtree_index = static_cast<std::int64_t>(sessions.index());
    const InitialNodes& initial = sessions.initial();
    for (std::size_t i = 0; i < initial.size() && end == SubtreeEnd::Done; ++i) {
      const InitialNode start = initial[i];
      if (state.options.symmetry_reduction) {
        InterchangeableInstances reduction(start, state.formula.clauses());
        end = search_below(state, start, observer, &reduction);
        state.counts.moves_left_out += reduction.moves_left_out();
      } else {
        end = search_below(state, start, observer);
      }
    }
    print_progress(state);
  }
  // A search to the end leaves the index on the last starting node, a stopped
  // one on the starting node it was in.
  if (end == SubtreeEnd::Done) state.subtree_index = std::ssize(state.starting_nodes) - 1;
  return end;
}

// What the search counts and numbers (not the time it takes).
struct Tally {
  SearchCounts counts;
  std::int64_t last_kid;
  NodeIds node_ids;

  explicit Tally(const SearchState& s)
      : counts(s.counts), last_kid(s.core->knowledge_manager().last_kid()), node_ids(s.node_ids) {}

  void restore(SearchState& s) const {
    s.counts = counts;
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
  if (state.counts.attacks == before.counts.attacks) before.restore(state);
  return true;
}

RunEnd run_end(SubtreeEnd end) {
  switch (end) {
    case SubtreeEnd::Done:
      return RunEnd::Complete;
    case SubtreeEnd::OrderMatters:
      return RunEnd::OrderMatters;
    default:
      return RunEnd::Stopped;
  }
}

}  // namespace

RunEnd run(SearchState& state, SearchObserver& observer) {
  state.times.search_time = process_seconds();
  show_feedback(state, "\n\nSearching...\n\n");
  const RunEnd end = !state.options.goal_directed || hunt_without_trace(state, observer)
                         ? run_end(search_sessions(state, observer))
                         : RunEnd::Stopped;
  print_progress(state, true);
  state.times.search_time = process_seconds() - state.times.search_time;
  return end;
}

}  // namespace search

}  // namespace analyser
