// The knowledge manager: hands out knowledge identifiers (kids) and finds a live
// knowledge again by its kid. One per run.
//
// The table of registered knowledge refers to it without owning it: a knowledge
// lives as long as the states and terms that hold it, and a lookup of one that is
// gone fails.
//
// Ordering invariants:
//  1. Kids are handed out from 0 in increasing order, one per fresh_knowledge or
//     derive_knowledge call: the order of those calls (see search.h) fixes every
//     kid, so a smaller kid is an older knowledge. set_last_kid moves the
//     counter: to rebuild, under the same kids, knowledge that was built and
//     released; to take back the kids of a search whose states have all died; to
//     start a piece of a parallel search on provisional kids.
//  2. The table is a hash map looked up by kid only; nothing reads its order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "knowledge/knowledge.h"
#include "utils/numeral.h"
#include "utils/utils.h"

namespace analyser {

// "Kmanager.NoKnowledge": no live knowledge is registered under the kid, which
// the run leaves on standard output ("<kid>\n").
class NoKnowledge : public Failure {
 public:
  explicit NoKnowledge(std::int64_t kid)
      : Failure("Kmanager.NoKnowledge", numeral::text(kid) + "\n") {}
};

class KnowledgeManager {
 public:
  // The table grows and shrinks with the live knowledge sets.
  KnowledgeManager();
  ~KnowledgeManager();
  KnowledgeManager(const KnowledgeManager&) = delete;
  KnowledgeManager& operator=(const KnowledgeManager&) = delete;

  struct Table;
  Table& table() { return *table_; }
  std::int64_t last_kid() const { return last_kid_; }
  std::int64_t next_kid() { return ++last_kid_; }
  // Makes last the last kid handed out and returns the one before: for building
  // again, under the same kids, knowledge sets that were built and released (the
  // search rebuilds a session's initial nodes when it gets there), and for
  // starting the provisional kids of a piece of a parallel search.
  std::int64_t set_last_kid(std::int64_t last) { return std::exchange(last_kid_, last); }
  LearningScratch& learning_scratch() { return scratch_; }

 private:
  std::unique_ptr<Table> table_;  // non-owning references to registered knowledge
  std::int64_t last_kid_ = -1;    // the last kid handed out
  LearningScratch scratch_;       // what derive_knowledge learns in
};

// A new empty knowledge under the next kid, registered.
Knowledge fresh_knowledge(KnowledgeManager& mgr);
// learn(relabel(k, next kid, f), m), registered; m may be NoMessage.
Knowledge derive_knowledge(KnowledgeManager& mgr, const Knowledge& k, const Assignment& f,
                           const Message& m);
// Registers k, built under another manager, under its kid here too.
void adopt_knowledge(KnowledgeManager& mgr, const Knowledge& k);
// The live knowledge registered under kid. Otherwise throws NoKnowledge (a
// negative kid is answered the same way).
Knowledge find_knowledge(KnowledgeManager& mgr, std::int64_t kid);

}  // namespace analyser
