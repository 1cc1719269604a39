// Symmetry reduction: instances of one role that nothing in a state tells apart.
//
// Two principals of a session are interchangeable at a node when neither has
// moved yet, each one's process is the other's with their instance numbers
// swapped, and swapping those numbers leaves the rest of the state as it is: the
// session's formula, the join's stores, the intruder's knowledge, the other
// principals' processes and the assignment. (Nothing the runs so far bound or
// sent names either of them, so the path from the root is the same with the two
// swapped too.) The runs through a move are then the runs through the swapped
// move with the two instance numbers swapped throughout, and an attack key,
// which numbers instances in order of appearance, is the same for both.
//
// Two kinds of moves are left out:
//  - Once no principal can output, the moves of a principal when the principal
//    just before it in the context is interchangeable with it. Only adjacent
//    principals are compared: a child's context puts the principal that moved
//    first and keeps the others in order, so the child through the one left out,
//    swapped, is exactly the child through the other.
//  - An output that is an earlier output of the same principal with two
//    interchangeable instances swapped (the partner chosen among them). Swapped,
//    the child it leads to is the earlier child but for the places of the two
//    instances in the context. Both wait to receive (an input comes first in
//    their processes), and the context's order matters only to which principal
//    outputs first, so the two children lead to the same runs.
#pragma once

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "formula/formula.h"
#include "search/search.h"
#include "step/step.h"

namespace analyser {

class InterchangeableInstances : public Reduction {
 public:
  // The pairs of principals of start's session that its initial node and the
  // session's prepared formula treat alike.
  InterchangeableInstances(const InitialNode& start, const ClauseList& formula);

  bool leaves_out(const Node& node, std::int64_t i) override;
  void thin_outputs(const Node& node, std::vector<StepCandidate>& outputs) override;

  // The moves left out so far: a principal's moves at a node count as one.
  std::int64_t moves_left_out() const { return moves_left_out_; }

 private:
  // Both principals are as the initial node holds them and the assignment names
  // neither.
  bool untouched(const Status& s, const Principal& p, const Principal& q) const;

  Context initial_;  // the initial node's principals, as they were before any move
  std::set<std::pair<std::int64_t, std::int64_t>> alike_;  // instance pairs, smaller first
  std::int64_t moves_left_out_ = 0;
};

}  // namespace analyser
