// The verifier's inner search, apart from verify so that it can be checked one
// step at a time.
//
// A clause list is laid out once per verification: every literal occurrence is
// a slot, clause after clause, and the slots that hold the same literal share
// one entry. A work item keeps the truths it decided, as a list it shares with
// the items it comes from, and the current form of every entry, so that
// branching copies a few bytes per entry and applies a solution once per
// distinct literal rather than once per occurrence. Each slot
// is still decided on its own, in clause order, exactly as if the clause list
// were rewritten literal by literal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "principal/context.h"
#include "verify/literal_decision.h"
#include "verify/verifier.h"

namespace analyser {

enum class Truth : std::uint8_t { Open, True, False };

// Where the literals of a clause list stand: the distinct literals other than
// True and False, and per slot its entry or its written truth value.
struct ClauseLayout {
  explicit ClauseLayout(const ClauseList& clauses);

  static constexpr std::uint32_t kNoEntry = UINT32_MAX;
  std::vector<Formula> literals;             // the distinct undecided literals
  std::vector<std::uint32_t> entry_of_slot;  // kNoEntry for True and False
  std::vector<Truth> written;                // per slot: Open, or the constant written
  std::vector<std::uint32_t> clause_end;     // one past the last slot of each clause
  std::vector<bool> false_written;           // per clause: a False among its constants
};

// The work stack of one verification. Items are taken from the top; the item in
// which no solution of a literal applies is explored before the solutions, in
// order.
class VerifierSearch {
 public:
  // With falsifying_only, an item in which some clause already holds (decided
  // without a False) is dropped before any further query: none of its results
  // could make every clause false.
  // Without whole_results, results come with their stores only (when nothing
  // else of them matters): neither their clause lists nor their assignments
  // are built, on the way or at the end.
  VerifierSearch(std::shared_ptr<const ClauseLayout> layout, const TraceQueries& queries,
                 bool falsifying_only, bool whole_results = true);

  // Pushes the item that starts the search, on an empty stack: every literal
  // open, with a applied.
  void start(const Assignment& a, std::vector<ConstraintStore> stores);
  bool empty() const { return !top_ && pending_.empty(); }
  // Takes the top item and handles it: drops it (inconsistent stores, or a
  // clause that holds), reports it as a result (every literal decided; not for
  // an empty clause list), puts it back with its next literal decided when that
  // needs no branching, or pushes its branches.
  std::optional<WorkItem> step();
  // The stack, bottom first, each item with its clause list written out: decided
  // literals as True or False, open ones in their current form.
  std::vector<WorkItem> items() const;

 private:
  // Slots are decided in increasing order, each at most once along a path, so
  // the latest decision is the only one that can be the cursor's slot.
  struct Decision {
    Decision(std::uint32_t slot, Truth truth, std::shared_ptr<const Decision> before)
        : slot(slot), truth(truth), before(std::move(before)) {}
    // Unlinks the list it alone holds one node at a time: a long list must not
    // be freed by recursion.
    ~Decision();
    std::uint32_t slot;
    Truth truth;
    mutable std::shared_ptr<const Decision> before;
  };

  struct Item {
    // Per entry, with the item's solutions applied; shared with the item it
    // comes from when its solution changes none of the open ones (the item in
    // which no solution applies always keeps them).
    std::shared_ptr<const std::vector<Formula>> literals;
    std::vector<std::uint32_t> open;  // per entry, its slots still open
    // The slots decided, the latest first; every other slot is as written.
    std::shared_ptr<const Decision> decided;
    std::uint32_t next_slot = 0;    // every slot before it is decided
    std::uint32_t next_clause = 0;  // every clause before it is decided and checked
    bool false_decided = false;     // in the clause at next_clause
    Assignment assignment;
    std::vector<ConstraintStore> stores;
    bool stores_checked = false;  // put back unchanged: no need to check again
  };

  // A branch not built yet: the item it continues, as it stood once the literal
  // was decided, and the solution it continues under. The branches of one literal
  // share that item, so that a literal with many solutions keeps one copy of it on
  // the stack, not one per solution, until each branch's turn comes.
  struct PendingBranch {
    std::shared_ptr<const Item> from;
    Assignment solution;
  };

  Item built(const PendingBranch& branch) const;
  // Moves the item's cursor to its first open slot; false when a clause passed
  // on the way holds and falsifying_only drops the item.
  bool advance(Item& item) const;
  // The truth of the cursor's slot.
  Truth cursor_truth(const Item& item) const;
  static void record(Item& item, Truth truth);
  void decide(Item& item);
  WorkItem written_out(const Item& item) const;

  std::shared_ptr<const ClauseLayout> layout_;  // never null
  const TraceQueries& queries_;
  bool falsifying_only_;
  bool whole_results_;
  // The stack, top at the back: only its top can be a whole item (the item put
  // back, or the one in which no solution applies), above the pending branches.
  std::vector<PendingBranch> pending_;
  std::optional<Item> top_;
};

}  // namespace analyser
