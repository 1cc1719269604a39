// The symbolic core and the step function on the states of a real trace: the
// intruder's candidates for an input, the unifiers of a received message with
// its pattern, the refinements of an output, the children of a state, and a
// whole search.
#include <benchmark/benchmark.h>

#include "bench/fixture.h"
#include "step/core.h"
#include "step/step.h"

using namespace analyser;

namespace {

// The messages the intruder can build for each input pattern of the trace.
void BM_Synthesize(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const auto steps = s.steps_of(ActionKind::In);
  std::vector<std::pair<NodeRef, Message>> cases;
  for (const auto& [parent, child] : steps) {
    cases.emplace_back(parent, Scenario::prefix_term(parent, child));
  }
  for (auto _ : state) {
    for (const auto& [parent, pattern] : cases) {
      const Status& st = parent->status();
      benchmark::DoNotOptimize(
          s.core().synthesize(st.knowledge, st.assignment, pattern, empty_assignment()));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cases.size()));
}
BENCHMARK(BM_Synthesize)->DenseRange(2, 4);

// Each message the intruder sent in the trace against the pattern it answered.
void BM_Unify(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const auto steps = s.steps_of(ActionKind::In);
  struct Case {
    Assignment ctx;
    Message message;
    Message pattern;
  };
  std::vector<Case> cases;
  for (const auto& [parent, child] : steps) {
    cases.push_back({parent->status().assignment, child->action().message,
                     Scenario::prefix_term(parent, child)});
  }
  for (auto _ : state) {
    for (const Case& c : cases) {
      benchmark::DoNotOptimize(s.core().unify(c.ctx, c.message, c.pattern));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cases.size()));
}
BENCHMARK(BM_Unify)->DenseRange(2, 4);

// The refinements of each output term of the trace.
void BM_Refine(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const auto steps = s.steps_of(ActionKind::Out);
  std::vector<Message> cases;
  for (const auto& [parent, child] : steps) cases.push_back(Scenario::prefix_term(parent, child));
  for (auto _ : state) {
    for (const Message& t : cases) benchmark::DoNotOptimize(s.core().refine(t));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cases.size()));
}
BENCHMARK(BM_Refine)->DenseRange(2, 4);

// Every child of every state of the trace, produced by the step function from a
// fresh copy of the state.
void BM_Step(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  std::int64_t children = 0;
  for (auto _ : state) {
    for (const NodeRef& n : s.trace()) {
      const NodeRef fresh = create_node(s.node_ids(), n->status());
      StepCursor cursor;
      while (NodeRef child = step(s.core(), s.node_ids(), fresh, cursor)) {
        benchmark::DoNotOptimize(child);
        ++children;
      }
    }
  }
  state.SetItemsProcessed(children);
}
BENCHMARK(BM_Step)->DenseRange(2, 4);

// The whole depth-first search below the first initial node, without output:
// the states per second the analyser reaches.
void BM_Search(benchmark::State& state) {
  Scenario& s = scenario("nspk", state.range(0));
  const Status& start = s.trace().front()->status();
  std::int64_t nodes = 0;
  for (auto _ : state) {
    std::vector<std::pair<NodeRef, StepCursor>> stack;
    stack.emplace_back(create_node(s.node_ids(), start), StepCursor());
    while (!stack.empty()) {
      auto& [node, cursor] = stack.back();
      if (NodeRef child = step(s.core(), s.node_ids(), node, cursor)) {
        stack.emplace_back(std::move(child), StepCursor());
        ++nodes;
      } else {
        stack.pop_back();
      }
    }
  }
  state.SetItemsProcessed(nodes);
}
BENCHMARK(BM_Search)->DenseRange(2, 4)->Unit(benchmark::kMillisecond);

}  // namespace
