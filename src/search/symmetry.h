// Symmetry reduction: instances of one role that nothing in a state tells apart.
//
// Two principals of a session are interchangeable at a node when neither has
// moved yet, each one's process is the other's with their instance numbers
// swapped, and swapping those numbers leaves the rest of the state as it is: the
// session's claims, each one, the join's stores, the intruder's knowledge, the other
// principals' processes and the assignment. (Nothing the runs so far bound or
// sent names either of them, so the path from the root is the same with the two
// swapped too.) The runs through a move are then the runs through the swapped
// move with the two instance numbers swapped throughout, and an attack key,
// which numbers instances in order of appearance, is the same for both.
//
// Two kinds of moves are left out:
//  - Once no principal can output, the moves of a principal when the principal
//    just before it in the context is interchangeable with it (adjacent ones
//    only: the first of a row of such principals is the one that moves).
//  - An output that is an earlier output of the same prefix of the same
//    principal with two interchangeable instances swapped (the partner chosen
//    among them), when both wait to receive (an input comes first in their
//    processes).
//
// Swapped, the child left out is the child kept but for the places of some
// principals in the context: the mover goes first and the principals before it
// follow in reverse order, so where the two stood shapes the order of the
// others once one of them moves. That order decides only which principal
// outputs first when several can. After a session's opening outputs only the
// principal that just moved, which stands first, can output, unless an output
// waits for another principal's move (a variable the join ties to another
// principal's input, say). The reduction watches for that: an output by a
// principal that does not stand first, after an input, in a session where it
// left something out, invalidates the reduction, and the run is to be done
// again without it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "formula/formula.h"
#include "search/state.h"
#include "step/step.h"

namespace analyser {

// Why the reduction gives way where it is invalidated.
inline constexpr const char* kOrderMatters = "an output waited for another principal's move";

class InterchangeableInstances : public Reduction {
 public:
  // The pairs of principals of start's session that its initial node and each
  // of the session's prepared claims treat alike (each claim on its own, so
  // that the runs left out violate the same claims as those explored).
  InterchangeableInstances(const InitialNode& start, const std::vector<LaidOutClauses>& claims);
  // The instance pairs of start's session that are alike, as a reduction below
  // the same initial node found them.
  using AlikePairs = std::set<std::pair<std::int64_t, std::int64_t>>;  // smaller first
  InterchangeableInstances(const InitialNode& start, AlikePairs alike);
  const AlikePairs& alike() const { return alike_; }

  bool leaves_out(const Node& node, std::int64_t i) override;
  void thin_outputs(const Node& node, std::int64_t i, std::vector<StepCandidate>& outputs) override;

  // The choices left out so far: the moves of one principal at a node, or one
  // output.
  std::int64_t moves_left_out() const override { return moves_left_out_; }
  bool interchangeable(std::int64_t a, std::int64_t b) const override {
    return alike_.count({std::min(a, b), std::max(a, b)}) != 0;
  }
  // The session showed that the order of principals matters, and something was
  // left out.
  bool invalidated() const override { return order_matters_ && moves_left_out_ > 0; }
  // The session showed that the order of principals matters, whether or not
  // anything was left out.
  bool order_matters() const { return order_matters_; }

 private:
  // Both principals are as the initial node holds them and the assignment names
  // neither (stricter than a swap that leaves the assignment as it is).
  bool untouched(const Status& s, const Principal& p, const Principal& q) const;
  void left_out(std::int64_t count) { moves_left_out_ += count; }

  NodeRef start_;

  Context initial_;  // the initial node's principals, as they were before any move
  AlikePairs alike_;
  std::int64_t moves_left_out_ = 0;
  bool order_matters_ = false;
};

}  // namespace analyser
