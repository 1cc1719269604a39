// One attack as the report shows it, and the key that tells when two attacks
// are the same.
//
// An attack set of the search holds every principal of its session, including
// bystanders. Of the violated literals the attack keeps only a choice that
// suffices to break the property. Attacks are grouped in one of two ways:
//  - By causal past (the default): the attack is the causal past of the
//    violation (report/causal_past.h) of the chosen literals: the outputs that
//    gave the intruder what a "not :>" literal forbids, the events that bound
//    the variables the literals speak of, and all they depend on. Instances
//    without an event in it are not involved. Two attacks are the same when
//    their pasts are the same partial order of events and their literals agree,
//    up to renaming instances and the kids of generated values: neither the
//    interleaving, nor the session, nor which of equal instances played a part
//    matters.
//  - By interleaving (--all-attacks): the attack keeps the messages of the
//    involved instances (the victims, which every chosen literal names, and
//    everyone who shared a secret with them, transitively), and two attacks are
//    the same when those messages, in trace order, and the literals agree, up
//    to the same renaming.
//
// Ordering invariants:
//  1. The exchanges follow the trace from the root down and the bystanders the
//     session's context order. The violated literals come as they are chosen:
//     the one false in most clauses still standing first; on a tie, the one whose
//     digest, with instances numbered in order of appearance in the trace, is
//     the smallest; those that later choices made unnecessary are dropped.
//  2. By causal past, the key is a digest of the past's events in a canonical
//     order (repeatedly, of the events whose dependencies are all taken, the one
//     whose renumbered description, dependencies included, has the smallest
//     digest; on a tie the earliest in the trace) and of the literals as a set,
//     with instances and kids renumbered 1, 2, ... in order of first appearance
//     along that order (each literal after the events alone). By interleaving, it is a digest of
//     the involved messages in trace order and of the literals as a set (their order is the
//     session's), renumbered the same way.
//     Of several readings of an attack set, by causal past the one with the
//     shortest past (then the smallest key), by interleaving the one with the
//     smallest key's text shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "node/node.h"
#include "report/causal_past.h"
#include "search/search.h"
#include "verify/verifier.h"

namespace analyser {

// One message of the intruder sequence: "I" stands for the intruder.
struct Exchange {
  std::string sender;
  std::string receiver;
  std::string message;  // as the attack report prints it
};

// How attack sets are told apart.
enum class Grouping { CausalPast, Interleaving };

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
  // Events in the attack's causal past, by which the shortest attack of a group
  // is chosen to show it; 0 when grouped by interleaving.
  std::size_t length = 0;
};

struct AttackKey {
  std::string key;
  std::size_t length = 0;  // as Attack::length
};

// The key of the attack found on leaf, grouped as grouping says, read under the
// model of a candidate (candidates is not empty) chosen as invariant 2 says:
// the same for runs that differ only by a swap of instances. It is a digest,
// made without writing any text, so that the attack sets of a group already
// found cost no more than their reading.
AttackKey attack_key(const SearchState& state, const NodeRef& leaf,
                     const std::vector<WorkItem>& candidates, Grouping grouping);

// The attack found on leaf, the last attack set counted by state, described as
// attack_key reads it, its key included. Its report is left empty:
// attack_set_report writes it, for the attacks shown.
Attack describe_attack(const SearchState& state, const NodeRef& leaf,
                       const std::vector<WorkItem>& candidates, Grouping grouping);

// The key of the causal past of trace with the chosen literals reason, as
// attack_key makes it: the same for every interleaving of the past and every
// renaming of its instances and kids.
std::string causal_key(const std::vector<TraceEvent>& trace, const CausalPast& past,
                       const std::vector<Formula>& reason);

// The analyser's full text report of that attack set.
std::string attack_set_report(const SearchState& state, const NodeRef& leaf,
                              const std::vector<WorkItem>& candidates);

}  // namespace analyser
