// The symbolic core: how messages the intruder can build meet the patterns of
// receiving principals, and how generated values are narrowed to fit their use.
//
// unify, unify_ciphertexts, synthesize and refine form one recursive group used
// by the step function; unify_terms, unify_terms_ciphertexts and synthesize_term
// are the verifier's counterparts. All are pure: they return every answer as an
// ordered sequence (an empty one means impossible) and the order is significant,
// since it decides the order of children, traces and reports.
#pragma once

#include <vector>

#include "assignment/assignment.h"
#include "knowledge/kmanager.h"
#include "message/message.h"

// A message the intruder can send, with the assignment under which it fits.
struct Candidate {
  Message message;
  Assignment assignment;
};

// Every way message m can be made to fit pattern p. ctx is the receiving
// principal's assignment so far, handed to synthesize.
std::vector<Assignment> unify(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                              const Message& p);
// For each known ciphertext in order, each unifier of its body with body.
std::vector<Candidate> unify_ciphertexts(KnowledgeManager& mgr, const Knowledge& k,
                                         const Assignment& ctx,
                                         const std::vector<Message>& ciphertexts,
                                         const Message& body);
// The bindings under which synthesize reads the ciphertexts it replays. A
// ciphertext learnt before one of its generated values (or variables) was fixed
// still shows that value open: replayed as it was stored, it would let the
// intruder deliver one ciphertext as two different messages. While a
// ReplayBindings is alive on this thread, every value such a ciphertext holds
// that the node's assignment fixes to something other than a generated value is
// read as fixed. The step function opens one for the node whose inputs it
// computes; nested ones restore the outer one.
class ReplayBindings {
 public:
  explicit ReplayBindings(const Assignment& node_assignment);
  ~ReplayBindings();
  ReplayBindings(const ReplayBindings&) = delete;
  ReplayBindings& operator=(const ReplayBindings&) = delete;

 private:
  const Assignment* outer_;  // restored on destruction
};

// The messages the intruder can build from k that fit target.
std::vector<Candidate> synthesize(KnowledgeManager& mgr, const Knowledge& k, const Assignment& ctx,
                                  const Message& target);
// The assignments that give every generated value used as a key, or inside
// PubOf/PrivOf, in t a form that fits.
std::vector<Assignment> refine(KnowledgeManager& mgr, const Assignment& ctx, const Message& t);

// Whether refine(mgr, ctx, t) is the empty assignment alone whatever mgr and ctx,
// as t's shape shows; lets callers skip building that list.
bool refines_to_nothing(const Message& t);

// Verifier variants: keys compared as they stand, generated values made concrete.
std::vector<Assignment> unify_terms(KnowledgeManager& mgr, const Assignment& ctx, const Message& m,
                                    const Message& p);
std::vector<Candidate> unify_terms_ciphertexts(KnowledgeManager& mgr, const Knowledge& k,
                                               const Assignment& ctx,
                                               const std::vector<Message>& ciphertexts,
                                               const Message& body);
std::vector<Candidate> synthesize_term(KnowledgeManager& mgr, const Knowledge& k,
                                       const Assignment& ctx, const Message& target);
