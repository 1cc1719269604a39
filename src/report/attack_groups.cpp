#include "report/attack_groups.h"

#include <algorithm>

namespace analyser {

void AttackGroups::add(Attack attack) {
  attack_sets_ += 1;
  const auto [it, is_new] = group_of_.try_emplace(attack.key, groups_.size());
  if (is_new) {
    AttackGroup group;
    group.representative = std::move(attack);
    groups_.push_back(std::move(group));
  }
  AttackGroup& group = groups_[it->second];
  group.count += 1;
  group.sessions.insert(is_new ? group.representative.session : attack.session);
}

bool AttackGroups::add_to_group(const std::string& key, std::int64_t session) {
  const auto it = group_of_.find(key);
  if (it == group_of_.end()) return false;
  attack_sets_ += 1;
  AttackGroup& group = groups_[it->second];
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
