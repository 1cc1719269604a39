// The causal past of an attack: the events of its trace that the violation
// depends on, and how they depend on each other.
//
// An event depends on the event before it of its own principal instance
// (program order), and an input on the outputs the intruder took the message
// from. A term the intruder holds comes from the earliest output that gave it
// away, and from the outputs that gave away the keys that opened it there; a
// term it composes (a pair, an encryption under a key it holds) comes from what
// its parts come from, and terms of its initial knowledge or of its own making
// (generated values) from no output at all. Of an encryption it can both replay
// and compose, the way that needs fewer outputs is taken (composing on a tie).
//
// The past holds the events that a revealed term comes from, the seed events,
// and everything these depend on; nothing after them. Its events and their
// direct dependencies make a partial order that is the same for every
// interleaving of the trace that keeps each input after what it was built from.
#pragma once

#include <cstddef>
#include <vector>

#include "message/message.h"
#include "node/action.h"

namespace analyser {

// A sent or received message of a trace, with the attack's values filled in.
struct TraceEvent {
  const Action* action;  // In or Out: the principal instance and its role's name
  Message message;
};

struct CausalPast {
  std::vector<std::size_t> events;  // indices into the trace, in trace order
  // For each entry of events, the entries (indices into events) it directly
  // depends on, in increasing order.
  std::vector<std::vector<std::size_t>> depends_on;
};

// The causal past in trace of the terms in revealed, which the intruder derives
// at the end of the trace, and of the events at the indices in seeds.
// initial_knowledge is what the intruder knew before the first event.
CausalPast causal_past(const std::vector<TraceEvent>& trace,
                       const std::vector<Message>& initial_knowledge,
                       const std::vector<Message>& revealed, const std::vector<std::size_t>& seeds);

}  // namespace analyser
