#include "knowledge/kmanager.h"

#include <vector>

namespace analyser {

// Registered knowledge by kid, held by weak references so that the table never
// keeps a knowledge alive: open addressing on the kid, a power of two in size.
// Entries of released knowledge stay until the table is half full; they are
// then swept out, and the table is rebuilt at twice the size of what lives
// (amortised constant time per registration, without an allocation each).
struct KnowledgeManager::Table {
  static constexpr std::size_t kFirstSlots = 1024;

  struct Entry {
    std::int64_t kid = -1;  // -1: free
    KnowledgeWatch data;
  };
  std::vector<Entry> slots = std::vector<Entry>(kFirstSlots);
  std::size_t used = 0;  // slots whose kid is set

  void add(const Knowledge& k) {
    if (is_absent(k)) return;  // never looked up
    Entry& e = slot_of(k.kid());
    if (e.kid == -1) {
      e.kid = k.kid();
      used += 1;
    }
    e.data = KnowledgeWatch(k);
    if (2 * used > slots.size()) sweep();
  }

  // The live knowledge under kid, or the absent knowledge.
  Knowledge find(std::int64_t kid) {
    const Entry& e = slot_of(kid);
    if (e.kid == -1) return empty_knowledge();
    return e.data.knowledge();
  }

 private:
  // The slot holding kid, or the free slot where it would go.
  Entry& slot_of(std::int64_t kid) {
    const std::size_t mask = slots.size() - 1;
    // Kids come in sequence: spread them over the table.
    for (std::size_t i = (static_cast<std::size_t>(kid) * 0x9E3779B97F4A7C15ull) & mask;;
         i = (i + 1) & mask) {
      if (slots[i].kid == kid || slots[i].kid == -1) return slots[i];
    }
  }

  void sweep() {
    std::vector<Entry> live;
    for (Entry& e : slots) {
      if (e.kid != -1 && !e.data.expired()) live.push_back(std::move(e));
    }
    std::size_t size = kFirstSlots;
    while (size < 4 * live.size()) size *= 2;
    slots.assign(size, Entry{});
    used = 0;
    for (Entry& e : live) {
      Entry& slot = slot_of(e.kid);
      slot = std::move(e);
      used += 1;
    }
  }
};

KnowledgeManager::KnowledgeManager() : table_(std::make_unique<Table>()) {}

KnowledgeManager::~KnowledgeManager() = default;

namespace {
Knowledge registered(KnowledgeManager& mgr, Knowledge k) {
  mgr.table().add(k);
  return k;
}
}  // namespace

Knowledge fresh_knowledge(KnowledgeManager& mgr) {
  return registered(mgr, relabel(empty_knowledge(), mgr.next_kid(), empty_assignment()));
}

Knowledge derive_knowledge(KnowledgeManager& mgr, const Knowledge& k, const Assignment& f,
                           const Message& m) {
  return registered(mgr, relabel_and_learn(k, mgr.next_kid(), f, m, mgr.learning_scratch()));
}

void adopt_knowledge(KnowledgeManager& mgr, const Knowledge& k) {
  mgr.table().add(k);
}

Knowledge find_knowledge(KnowledgeManager& mgr, std::int64_t kid) {
  Knowledge k = kid < 0 ? empty_knowledge() : mgr.table().find(kid);
  if (is_absent(k)) {
    throw NoKnowledge(kid);
  }
  return k;
}

}  // namespace analyser
