#include "report/attack_groups.h"

#include <algorithm>

namespace analyser {

void AttackGroups::add(Attack attack) {
  attack_sets_ += 1;
  const auto [it, is_new] = group_of_.try_emplace(attack.key, groups_.size());
  if (is_new) groups_.emplace_back();
  AttackGroup& group = groups_[it->second];
  group.count += 1;
  group.sessions.insert(attack.session);
  if (is_new || attack.length < group.representative.length) {
    group.representative = std::move(attack);
  }
}

bool AttackGroups::add_to_group(const AttackKey& key, std::int64_t session) {
  const auto it = group_of_.find(key.key);
  if (it == group_of_.end()) return false;
  AttackGroup& group = groups_[it->second];
  if (key.length < group.representative.length) return false;
  attack_sets_ += 1;
  group.count += 1;
  group.sessions.insert(session);
  return true;
}

std::vector<AttackGroup> AttackGroups::ordered() const {
  std::vector<AttackGroup> sorted = groups_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const AttackGroup& a, const AttackGroup& b) { return a.count > b.count; });
  return sorted;
}

}  // namespace analyser
