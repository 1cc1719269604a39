// Intruder knowledge: learning what a principal sends, and deciding whether the
// intruder can produce a term.
#include <benchmark/benchmark.h>

#include "bench/fixture.h"
#include "knowledge/knowledge.h"

using namespace analyser;

namespace {

// Each output of the trace learnt by the knowledge of the state before it.
void BM_Learn(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const auto steps = s.steps_of(ActionKind::Out);
  std::vector<std::pair<Knowledge, Message>> cases;
  for (const auto& [parent, child] : steps) {
    const Action& out = child->action();
    const Knowledge& before = parent->status().knowledge;
    const Knowledge mapped = relabel(before, before.kid(), child->status().assignment);
    cases.emplace_back(mapped, apply(out.substitution, out.message));
  }
  for (auto _ : state) {
    for (const auto& [k, m] : cases) benchmark::DoNotOptimize(learn(k, m));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cases.size()));
  state.counters["messages"] = static_cast<double>(s.leaf()->status().knowledge.messages().size());
}
BENCHMARK(BM_Learn)->DenseRange(2, 4);

// Every stored message, and the pair and encryption built of the first two,
// against the last state's knowledge under its assignment.
void BM_CanDerive(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const Status& last = s.leaf()->status();
  std::vector<Message> targets = last.knowledge.messages();
  targets.push_back(pair(targets[0], targets[1]));
  targets.push_back(enc(targets[0], pub_key("B", 1)));
  targets.push_back(nonce("unknown", 9));
  for (auto _ : state) {
    for (const Message& t : targets) {
      benchmark::DoNotOptimize(can_derive(last.knowledge, last.assignment, t));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(targets.size()));
}
BENCHMARK(BM_CanDerive)->DenseRange(2, 4);

}  // namespace
