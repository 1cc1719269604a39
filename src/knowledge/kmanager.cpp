#include "knowledge/kmanager.h"

#include <algorithm>
#include <unordered_map>

namespace analyser {

// Registered knowledge by kid, held by weak references so that the table never
// keeps a knowledge alive. Entries of released knowledge are swept out whenever
// the table has doubled since the last sweep, so its size follows the live
// knowledge sets (amortised constant time per registration).
struct KnowledgeManager::Table {
  static constexpr std::size_t kFirstSweep = 1024;

  std::unordered_map<std::int64_t, std::weak_ptr<const Knowledge::Data>> entries;
  std::size_t sweep_at = kFirstSweep;  // size that triggers the next sweep

  void add(const Knowledge& k) {
    entries[k.kid()] = k.data();
    if (entries.size() >= sweep_at) sweep();
  }

  // The live knowledge under kid, or the absent knowledge.
  Knowledge find(std::int64_t kid) {
    auto it = entries.find(kid);
    if (it == entries.end()) return empty_knowledge();
    if (auto data = it->second.lock()) return Knowledge(std::move(data));
    entries.erase(it);
    return empty_knowledge();
  }

  void sweep() {
    std::erase_if(entries, [](const auto& entry) { return entry.second.expired(); });
    sweep_at = std::max(kFirstSweep, 2 * entries.size());
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
