// Symmetry reduction: instances of one role that nothing in a state tells apart.
//
// Two principals of a session are interchangeable at a node when neither has
// moved yet, each one's process is the other's with their instance numbers
// swapped, and swapping those numbers leaves the rest of the state as it is: the
// session's formula, the join's stores, the intruder's knowledge, the other
// principals' processes and the assignment. The runs that start with one of them
// receiving are then the runs that start with the other receiving, with the two
// instance numbers swapped throughout; an attack key, which numbers instances in
// order of appearance, is the same for both.
//
// The reduction leaves out the inputs of a principal when the principal just
// before it in the context is interchangeable with it. Only adjacent principals
// are compared: the context's order decides which principal outputs first, so a
// swap that moved a principal past another one would change the runs that follow.
// A child's context puts the principal that moved first and keeps the others in
// order, so swapping two adjacent principals gives the same context.
#pragma once

#include <cstdint>
#include <set>
#include <utility>

#include "formula/formula.h"
#include "search/search.h"
#include "step/step.h"

namespace analyser {

class InterchangeableInstances : public InputSelection {
 public:
  // The pairs of principals of start's session that its initial node and the
  // session's prepared formula treat alike.
  InterchangeableInstances(const InitialNode& start, const ClauseList& formula);

  // Principal i's inputs are left out when principal i - 1 is interchangeable
  // with it at node.
  bool leaves_out(const Node& node, std::int64_t i) const override;

 private:
  Context initial_;  // the initial node's principals, as they were before any move
  std::set<std::pair<std::int64_t, std::int64_t>> alike_;  // instance pairs, smaller first
};

}  // namespace analyser
