// The step function: the children of a state, produced one at a time on demand.
//
// Outputs come first: the first principal (in context order) that has output
// candidates supplies every child of the node. Only when no principal can output
// are inputs explored, those of every principal in context order.
#pragma once

#include <cstdint>
#include <vector>

#include "node/node.h"
#include "step/core.h"

// The next child of node, its identifier from ids, or nullptr once node has no
// further child (and on every later call).
NodeRef step(SymbolicCore& core, NodeIds& ids, const NodeRef& node);

// The candidates of principal i (from 1) of the context, under the node's
// assignment and knowledge, duplicates (by equal actions) removed.
std::vector<StepCandidate> output_candidates(SymbolicCore& core, const Knowledge& k,
                                             const Assignment& a, const Context& c, std::int64_t i);
std::vector<StepCandidate> input_candidates(SymbolicCore& core, const Knowledge& k,
                                            const Assignment& a, const Context& c, std::int64_t i);
