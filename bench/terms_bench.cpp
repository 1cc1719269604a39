// Substitution: applying the assignment of a deep state, and composing the
// assignment of a state with the substitution of the step below it.
#include <benchmark/benchmark.h>

#include "assignment/assignment.h"
#include "bench/fixture.h"

using namespace analyser;

namespace {

// Every term of the principals' processes under the assignment of the trace's
// last state: the work of bringing a principal up to date.
void BM_Apply(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const Assignment& a = s.leaf()->status().assignment;
  const std::vector<Message> terms = s.process_terms();
  for (auto _ : state) {
    for (const Message& t : terms) benchmark::DoNotOptimize(apply(a, t));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(terms.size()));
  state.counters["bindings"] = static_cast<double>(a.bindings().size());
}
BENCHMARK(BM_Apply)->DenseRange(2, 4);

// The same terms once more, so that every lookup finds the index built.
void BM_ApplyUnchanged(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const Assignment& a = s.leaf()->status().assignment;
  std::vector<Message> applied;
  for (const Message& t : s.process_terms()) applied.push_back(apply(a, t));
  for (auto _ : state) {
    for (const Message& t : applied) benchmark::DoNotOptimize(apply(a, t));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(applied.size()));
}
BENCHMARK(BM_ApplyUnchanged)->DenseRange(2, 4);

// The child's assignment: the parent's followed by the step's substitution.
void BM_Compose(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const std::vector<NodeRef>& trace = s.trace();
  for (auto _ : state) {
    for (std::size_t i = 1; i < trace.size(); ++i) {
      benchmark::DoNotOptimize(
          compose(trace[i - 1]->status().assignment, trace[i]->action().substitution));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(trace.size() - 1));
}
BENCHMARK(BM_Compose)->DenseRange(2, 4);

}  // namespace
