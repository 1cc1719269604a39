// The symbolic core: how messages the intruder can build meet the patterns of
// receiving principals, how generated values are narrowed to fit their use, and
// how the verifier matches the terms of a formula against a trace.
//
// One unifier serves two rule sets:
//  - the receiving rules (unify, synthesize, refine), used by the step function:
//    a pattern names the key that opens an encryption, and generated values are
//    narrowed to the kinds their use allows;
//  - the verifying rules (unify_terms, synthesize_term), used by the verifier:
//    keys are compared as they stand, and generated values are made concrete.
// All return every answer as an ordered sequence (an empty one means impossible).
//
// Ordering invariants (the order of answers decides the order of children,
// traces and reports):
//  1. Nothing is sorted or merged: answers come in the order the alternatives
//     are tried.
//  2. Two-part terms nest left to right: the answers for a pair's first part (an
//     encryption's key, when that is symbolic) outermost, and under each of them,
//     with its bindings applied, the answers for the other part.
//  3. An encryption the intruder builds (it can derive the key) comes before the
//     known ciphertexts it replays, newest first.
//  4. Concrete values come in knowledge order, newest first. A generated key's
//     refinements: skey, pmkey, mpkey, then the unpaired public keys, then the
//     unpaired private keys; a name's: the honest agents, then one rname value.
//  5. Two generated values that meet take the smaller, older kid.
#pragma once

#include <vector>

#include "assignment/assignment.h"
#include "knowledge/kmanager.h"
#include "message/message.h"

namespace analyser {

// A message the intruder can send, with the assignment under which it fits.
struct Candidate {
  Message message;
  Assignment assignment;
};

// The symbolic state of one run: its knowledge manager, through which generated
// values find the knowledge they were generated from by its kid, and the
// intruder's initial knowledge. Not shared between threads.
class SymbolicCore {
 public:
  SymbolicCore() = default;
  SymbolicCore(const SymbolicCore&) = delete;
  SymbolicCore& operator=(const SymbolicCore&) = delete;

  KnowledgeManager& knowledge_manager() { return mgr_; }
  // What the intruder knows before any session: a knowledge registered with
  // knowledge_manager() (a run's has kid 1); the empty knowledge until set.
  const Knowledge& initial_knowledge() const { return initial_; }
  void set_initial_knowledge(Knowledge k) { initial_ = std::move(k); }

  // ---- Receiving rules

  // Every way message m can be made to fit pattern p. ctx is the receiving
  // principal's assignment so far, handed to synthesize.
  std::vector<Assignment> unify(const Assignment& ctx, const Message& m, const Message& p);

  // The messages the intruder can build from k that fit target.
  //
  // replay_bindings is the assignment of the node whose inputs are computed
  // (the empty assignment: none). A ciphertext learnt before one of its
  // generated values (or variables) was fixed still shows that value open:
  // replayed as it was stored, it would let the intruder deliver one ciphertext
  // as two different messages. So every value such a ciphertext holds that
  // replay_bindings fixes to something other than a generated value is read as
  // fixed.
  std::vector<Candidate> synthesize(const Knowledge& k, const Assignment& ctx,
                                    const Message& target, const Assignment& replay_bindings);

  // The assignments that give every generated value used as a key, or inside
  // PubOf/PrivOf, in t a form that fits.
  std::vector<Assignment> refine(const Message& t);

  // ---- Verifying rules

  // Every way term m can be made equal to term p.
  std::vector<Assignment> unify_terms(const Assignment& ctx, const Message& m, const Message& p);
  // The terms the intruder can produce from k that equal target. An unbound
  // variable stands for a symmetric key of the initial knowledge.
  std::vector<Candidate> synthesize_term(const Knowledge& k, const Assignment& ctx,
                                         const Message& target);

 private:
  KnowledgeManager mgr_;
  Knowledge initial_;
};

// Whether refine(t) is the empty assignment alone whatever the knowledge, as t's
// shape shows; lets callers skip building that list.
bool refines_to_nothing(const Message& t);

}  // namespace analyser
