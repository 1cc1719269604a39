// Goal-directed hunt for a first attack: an attack usually needs only a few of
// a session's principals, and the others merely have to be able to finish.
//
// Before the full search, the hunt looks for an attack, session by session, in
// the runs where only k principals exchange messages (k = 1, 2, 3, always below
// the session size), for every choice of those k: the active principals. The
// others still make their opening outputs when every run makes them, but only
// one of each (the first the intruder can open, as one sent to a compromised
// agent, since talking to the intruder they are likeliest to finish), and they
// receive nothing until every active principal has finished. Then they finish
// one after another, in order of instance, and the first way in which they all
// finish is the only one tried. A session in which the property cannot fail,
// whatever the run (a clause of it is true as it stands: a "forall" over a role
// the session lacks, say), is passed over.
//
// The hunt only leaves moves out of the full search's tree (through the
// Reduction interface of the step function), so every run it explores is a run
// of that tree, and an attack it finds is one the full search finds, with the
// same key (node and knowledge identifiers aside, the same report). It is not
// complete: when it finds nothing, the full search follows and decides the
// verdict. What the hunt changes is how soon the first attack is found: no
// longer after every interleaving of the principals that play no part in it, so
// that the time to the first attack stops growing with the session size.
#pragma once

#include "search/state.h"

namespace analyser::search {

// Runs the hunt on the sessions the join built, handing on every leaf it closes
// as the full search does. Returns false when the observer stopped it (an
// attack found, say), true when the hunt found nothing that stopped it.
bool hunt_attack(SearchState& state, SearchObserver& observer);

}  // namespace analyser::search
