// Dead ends: states from which no run can finish.
//
// A principal whose next move is to receive a message holding a value the
// intruder cannot derive (a nonce, a key) can only ever be given that value
// inside a ciphertext already on the network, taken whole, since the intruder
// cannot put it anywhere else. Suppose, beside the value, that:
//  - the intruder cannot derive the key that opens any stored ciphertext holding
//    the value, nor, in turn, the keys that open the ciphertexts holding those
//    keys (all of them "secrets");
//  - no other principal sends a secret, or the key of a value that could turn
//    out to be a secret key, in what it has left to send (a key that only
//    encrypts is not sent);
//  - no pattern that any principal has left to receive on, the waiting one's
//    included, opens one of those ciphertexts: a pattern that names the key
//    that opens it and whose body may fit the ciphertext's.
// Then, move after move, every copy of a secret stays inside a copy of one of
// those ciphertexts: the intruder can forward them whole but never open them,
// and a principal can take one in a variable and send it on, but never take it
// apart. The waiting principal never receives, and the run never finishes.
//
// The test errs on the side of "may finish": a ciphertext holding a secret
// under a key that is not an atom, a pattern whose key is not an atom while
// some ciphertext holds a secret, or a trick in what is stored or left to do
// ends it with false for that value.
#pragma once

#include "node/status.h"

namespace analyser {

// Some principal of s waits for a message that no continuation can deliver, so
// no run through s finishes.
bool cannot_finish(const Status& s);

}  // namespace analyser
