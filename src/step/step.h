// The step function: the children of a state, produced one at a time on demand.
//
// Ordering invariants:
//  1. Outputs first: the first principal (in context order) that has output
//     candidates supplies every child of the node. Only when no principal can
//     output are inputs explored, those of every principal in context order
//     (but for the moves a Reduction leaves out).
//  2. Within a principal, prefixes in process order (the left side of a choice or
//     parallel composition first); per prefix, its actions in the symbolic core's
//     order; of actions with the same substituted message the first is kept.
//  3. A child is made, and takes its identifier, only when the search asks for
//     it, so identifiers follow the depth-first order of the search.
//  4. In a child's context the principal that moved comes first.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "node/node.h"
#include "step/core.h"

namespace analyser {

// A candidate child computed by the step function: the principal as the context
// holds it, the action, and the principal with its process advanced; with the
// action's message under its substitution when that is already known.
struct StepCandidate {
  Principal before;
  Action action;
  Principal after;
  std::optional<Message> exchanged;
};

// Candidates computed together, shared by the cursors that take them and the
// memo of their family; nullptr when there are none. Cursors stay on the thread
// that searches, so batches and memos count their handles without atomic
// operations.
using CandidateBatch = Handle<const CountedValue<std::vector<StepCandidate>>>;

// The input candidates computed in a family of states that receive alike: the
// same knowledge, and assignments that bind the same variables to the same
// values. A child reached by an input that binds nothing its parent had not
// bound is in its parent's family.
struct InputMemo : Counted {
  // Each principal (as a context holds it) with its candidates, unapplied.
  std::vector<std::pair<Principal, CandidateBatch>> batches;
};

// The message c's action exchanges: its message under its substitution.
Message exchanged_message(const StepCandidate& c);

// How far the step function has gone through the children of one node: the
// phase (outputs, then inputs), the principal whose candidates were computed
// last, and the batch of candidates not yet turned into children. The search
// keeps one beside each node on its stack; a node itself holds only its state.
class StepCursor {
 public:
  // A fresh cursor for the child that step() made last, sharing the input
  // candidates of the family when the child is in its parent's.
  StepCursor below() const;

  // What next_pending found.
  enum class Pending { Candidate, Refill, End };
  // Takes the first pending candidate: points *out at it, which stays valid until
  // the next call, the next set_pending or the cursor's end. Refill when none is
  // pending and no outputs were found, End when none is pending but outputs were
  // found.
  Pending next_pending(const StepCandidate** out);
  void set_pending(CandidateBatch candidates);

  std::int64_t phase_index() const { return phase_index_; }
  void set_phase_index(std::int64_t i) { phase_index_ = i; }
  void mark_outputs_found() { outputs_found_ = true; }
  bool output_phase() const { return output_phase_; }
  void end_output_phase() { output_phase_ = false; }
  // For the step function: the family's memo, and whether the child it made
  // last belongs to the family.
  InputMemo& input_memo();
  void set_last_child_alike(bool alike) { last_child_alike_ = alike; }

 private:
  std::int64_t phase_index_ = 0;  // 1-based principal computed last; -1 when exhausted
  CandidateBatch pending_;
  std::size_t pending_next_ = 0;  // first candidate of pending_ not yet taken
  CandidateBatch taken_;          // the batch of the candidate taken last, all taken
  bool outputs_found_ = false;
  bool output_phase_ = true;
  Handle<InputMemo> inputs_;       // made on the first input computed
  bool last_child_alike_ = false;  // the last child is in this node's family
};

// The moves a reduced search leaves out at a node, because the runs they start
// are explored through other moves.
class Reduction {
 public:
  virtual ~Reduction() = default;
  // Once no principal can output: whether every move of principal i (from 1) of
  // node's context is left out.
  virtual bool leaves_out(const Node& node, std::int64_t i) = 0;
  // While principals output: outputs are the candidates of principal i (from 1),
  // the first of node's context that can output; removes those left out,
  // keeping the order of the others.
  virtual void thin_outputs(const Node& node, std::int64_t i,
                            std::vector<StepCandidate>& outputs) = 0;
  // The reduction found that it does not hold on this run: the moves it left
  // out may matter, and the search is to be done again without it.
  virtual bool invalidated() const { return false; }
  // The choices left out so far.
  virtual std::int64_t moves_left_out() const { return 0; }
  // Instances a and b are interchangeable: the reduction treats every run as the
  // run with the two swapped, which has the same verdicts.
  virtual bool interchangeable(std::int64_t, std::int64_t) const { return false; }
};

// The next child of node, its identifier from ids, or nullptr once node has no
// further child (and on every later call). cursor is where the previous call on
// node left off; a fresh one starts at the first child. With a reduction, the
// moves it leaves out are not explored.
NodeRef step(SymbolicCore& core, NodeIds& ids, const NodeRef& node, StepCursor& cursor,
             Reduction* reduction = nullptr);

// The candidates of principal i (from 1) of the context, under the node's
// assignment and knowledge, duplicates (by equal actions) removed.
std::vector<StepCandidate> output_candidates(SymbolicCore& core, const Knowledge& k,
                                             const Assignment& a, const Context& c, std::int64_t i);
std::vector<StepCandidate> input_candidates(SymbolicCore& core, const Knowledge& k,
                                            const Assignment& a, const Context& c, std::int64_t i);

}  // namespace analyser
