// The reports the analyser writes on standard output for the leaves the search
// hands on: the text trace (-T), the attack report (-V) and the graph path (-G),
// together behind the search's observer interface.
//
// Ordering invariants:
//  1. Each report is written the moment the search hands it on, in the search's
//     order, numbered by its counters.
//  2. Traces and graph paths run from the root down to the leaf.
//  3. An attack report lists the candidates in the verifier's order; for each, its
//     violated literals in clause order, then one model per store in store order:
//     the session's context, the leaf's knowledge, the model, and the intruder's
//     messages in trace order.
#pragma once

#include <ostream>
#include <vector>

#include "node/node.h"
#include "run/settings.h"
#include "search/search.h"
#include "verify/verifier.h"

namespace analyser {

// The text trace ending at leaf, numbered by state.counts.traces.
void print_trace(std::ostream& os, const SearchState& state, const NodeRef& leaf);

// The attack report of leaf, numbered by state.counts.attacks, then flushed. Within a
// report, candidates come in the verifier's order, and for each its models in
// the order of its stores.
void print_attack(std::ostream& os, const SearchState& state, const NodeRef& leaf,
                  const std::vector<WorkItem>& candidates);

// Writes every report on os the moment the search finds it; graph paths carry
// the label sections of fields.
class ReportPrinter : public SearchObserver {
 public:
  ReportPrinter(std::ostream& os, const GraphFields& fields) : os_(os), fields_(fields) {}
  void attack_found(const SearchState& state, const NodeRef& leaf,
                    const std::vector<WorkItem>& candidates) override;
  void trace_found(const SearchState& state, const NodeRef& leaf) override;
  void graph_path_found(const NodeRef& leaf) override;

 private:
  std::ostream& os_;
  GraphFields fields_;
};

}  // namespace analyser
