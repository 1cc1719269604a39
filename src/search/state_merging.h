// State merging: a state that another interleaving of the same moves reached
// already is not searched a second time.
//
// Independent moves of different principals, taken in either order, often lead
// to the same state, and so do moves of interchangeable instances. What the
// search does below a node depends on its status (the principals, the
// assignment, the intruder's knowledge), on what one initial node shares (the
// session's formula and join stores, the reduction's pairs of interchangeable
// instances), and on a few facts the key below records as well. Two nodes of
// one initial node with equal keys have subtrees alike move for move, up to
// the kids of knowledge sets and a renaming of interchangeable instances: the
// same verdict on each finished run (the formula is the same under such a
// renaming), and the same counts of nodes, kids, traces, finished runs, dead
// ends and moves left out.
//
// The key of a status, written under a renaming of instances, names:
//  - every principal: its role, instance, parameters, its remaining process
//    under the assignment, whether it is still the initial node's own (never
//    moved) and whether a binding names its instance (what the symmetry
//    reduction asks of it);
//  - every variable of a principal bound, with its value under the assignment
//    (the values of generated values show in these and in the other terms);
//  - the intruder's knowledge under the assignment, as a set;
//  - for each generated value, instead of the kid of the knowledge it was
//    generated against (a number the path decides), that knowledge's messages,
//    as a set: what refining the value reads. The same input at another moment
//    of the run gives another state, whose value may be built from more;
//  - whether some input lies between the node and the initial node (what the
//    symmetry reduction's watch for outputs that wait reads).
// Messages are sets because their order decides only the order of the
// children, never what they are. The principals are listed in the context's
// order, which decides which principal outputs first and which ones the
// symmetry reduction lets move, except where it can decide neither below the
// node: no process has a choice or a parallel branch left, no principal but the
// first waits to output (so every output below is the first principal's), and
// no two principals of one role are still the initial node's (so the symmetry
// reduction, which swaps only such principals, leaves nothing out below).
// There they are listed in one fixed order.
//
// The renaming: instances that the reduction treats as interchangeable, all
// with all, form a class, and every permutation of a class maps a run to a run
// with the same verdicts and counts (each swap in it does). Each class's
// instances are given the class's numbers in the order of their signatures
// (their principal, variables and the messages the intruder knows that name
// them, the other members not told apart), so that states that differ by such
// a permutation tend to get one key. Ties are broken by instance number: a
// renaming that is not the best one only misses a merge.
//
// Below a node searched to the end without finding an attack, the memo keeps
// its counts; a node met again with the same key adds them and moves the node
// identifiers and kids on as far as its subtree took them. Nothing the search
// reports then changes: the later nodes, kids and attack sets are numbered as
// without merging. A subtree that held an attack is searched again wherever it
// is met, since an attack's key and report read the path that leads to it.
//
// A key is a 128-bit hash of the state's canonical text (each term, set member
// and principal in it a 128-bit digest), and equal hashes are taken for equal
// states: with a million states per initial node, two distinct states share a
// hash with a probability under 10^-26. A status holding a trick, or a
// generated value whose knowledge is gone or names a newer one, gets no key and
// is searched as it is. Finished states, those whose runs have few moves left,
// and every state below an initial node where merging has not paid (where most
// subtrees hold an attack, say), are searched without a key, which would cost
// more than it saves. The memo is one initial node's, holds at most
// kMaxMergedStates states, and is let go when that node's search ends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "node/status.h"
#include "search/state.h"
#include "search/subtree.h"
#include "step/step.h"

namespace analyser {

namespace search {

struct StateKey {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  bool operator==(const StateKey&) const = default;
};

inline constexpr std::size_t kMaxMergedStates = std::size_t{1} << 20;
// A state is looked up only while its runs can still take this many moves.
inline constexpr std::int64_t kMinMovesLeft = 4;
// Past this many keys, merging goes on below an initial node only while it has
// spared the search this many nodes a key: a key costs about as much as ten
// steps of the search.
inline constexpr std::int64_t kKeysOnTrial = 4096;
inline constexpr std::int64_t kNodesSavedPerKey = 10;
// The fingerprints of knowledge sets kept for the keys to come: dropped all
// at once past this many.
inline constexpr std::size_t kMaxFingerprints = std::size_t{1} << 18;

// The search hooks that merge states below one initial node. The reduction, if
// any, is the one the search uses: its moves left out below a merged node are
// counted as its own.
class StateMerging : public SearchHooks {
 public:
  StateMerging(SearchState& state, const InitialNode& start, const Reduction* reduction);
  ~StateMerging() override;
  // The fingerprints of the knowledge sets that keys name.
  struct Fingerprints;

  bool settled(const std::vector<Frame>& stack, const NodeRef& child) override;
  void entering(const std::vector<Frame>& stack, const NodeRef& node) override;
  void closed(const std::vector<Frame>& stack, const NodeRef& node) override;

 private:
  // What a subtree adds to the search: its counts (max_node_id aside), and how
  // far it moved the node identifiers and kids.
  struct Subtree {
    SearchCounts counts;
    std::int64_t node_ids = 0;
    std::int64_t kids = 0;
  };
  // A node on the stack: its key, and the search's figures when it went on.
  struct Open {
    std::optional<StateKey> key;
    SearchCounts counts;
    std::int64_t last_node_id = 0;
    std::int64_t last_kid = 0;
    std::int64_t moves_left_out = 0;
    std::int64_t max_branching = 0;  // of the nodes closed below it
    std::int64_t min_branching = 0;  // 0: none
  };
  struct KeyHash {
    std::size_t operator()(const StateKey& k) const { return k.low; }
  };

  // The key of node, or none.
  std::optional<StateKey> key(const Node& node);
  std::string key_text(const Node& node);
  std::int64_t moves_left_out() const;
  // Whether merging has paid so far: once it has not, it stops.
  bool paying();
  // Adds the branching extremes of a subtree to those of the node above it.
  void pass_extremes_up(std::int64_t max_branching, std::int64_t min_branching);

  SearchState& state_;
  NodeRef start_;
  const Reduction* reduction_;
  // The classes of instances that the reduction treats as interchangeable, all
  // with all, each in increasing order.
  std::vector<std::vector<std::int64_t>> classes_;
  std::unique_ptr<Fingerprints> fingerprints_;
  std::vector<Open> open_;
  // The key settled() computed for the child it let go on the stack.
  const Node* keyed_ = nullptr;
  std::optional<StateKey> key_;
  std::unordered_map<StateKey, Subtree, KeyHash> searched_;
  std::int64_t keys_ = 0;
  std::int64_t nodes_saved_ = 0;
  bool paying_ = true;
};

}  // namespace search

}  // namespace analyser
