// One attack as the report shows it, and the key that tells when two attacks
// are the same.
//
// An attack set of the search holds every principal of its session, including
// bystanders: instances whose run never exchanged a secret with the victims of
// the violated property. The attack keeps only the messages of the involved
// instances, and of the violated literals only a choice that suffices to break
// the property. Two attacks are the same when their keys agree: which session,
// which instance numbers and which interleaving of bystanders they came from
// does not matter.
//
// Ordering invariants:
//  1. The exchanges follow the trace from the root down and the bystanders the
//     session's context order. The violated literals come as they are chosen:
//     the one false in most clauses still standing first; on a tie, the one whose
//     digest, with instances numbered in order of appearance in the trace, is
//     the smallest; those that later choices made unnecessary are dropped.
//  2. The key is a digest of the involved messages in trace order and of the
//     literals as a set (their order is the session's), with instances and the
//     kids of generated values renumbered 1, 2, ... in order of first appearance.
//     Of several readings of an attack set, the one with the smallest key shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "node/node.h"
#include "search/search.h"
#include "verify/verifier.h"

namespace analyser {

// One message of the intruder sequence: "I" stands for the intruder.
struct Exchange {
  std::string sender;
  std::string receiver;
  std::string message;  // as the attack report prints it
};

struct Attack {
  std::int64_t attack_set = 0;  // the number the analyser's report gives it
  std::int64_t session = 0;     // the starting node it was found in, from 1
  std::size_t claim = 0;        // the claim it violates, from 0
  // Violated literals of the first candidate enough to break the property.
  std::vector<std::string> violated;
  std::vector<Exchange> exchanges;      // the involved instances' messages, in order
  std::vector<std::string> bystanders;  // the session's instances left out, "A_3"
  std::string report;  // the analyser's full text report of the set, for the one shown
  std::string key;     // equal for attacks that are the same
};

// The key of the attack found on leaf, read under the model of a candidate
// (candidates is not empty) that gives the smallest key: the same for runs that
// differ only by a swap of instances. It is a digest of the key's text, made
// without writing any text, so that the attack sets of a group already found
// cost no more than their reading.
std::string attack_key(const SearchState& state, const NodeRef& leaf,
                       const std::vector<WorkItem>& candidates);

// The attack found on leaf, the last attack set counted by state, described as
// attack_key reads it, its key included. Its report is left empty:
// attack_set_report writes it, for the attacks shown.
Attack describe_attack(const SearchState& state, const NodeRef& leaf,
                       const std::vector<WorkItem>& candidates);

// The analyser's full text report of that attack set.
std::string attack_set_report(const SearchState& state, const NodeRef& leaf,
                              const std::vector<WorkItem>& candidates);

}  // namespace analyser
