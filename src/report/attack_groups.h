// The distinct attacks of a run: attacks with equal keys form one group, shown by
// the first attack found in it.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "report/attack.h"

namespace analyser {

struct AttackGroup {
  Attack representative;            // the first attack found in the group
  std::int64_t count = 0;           // attack sets in the group
  std::set<std::int64_t> sessions;  // the sessions where it occurs, from 1
};

class AttackGroups {
 public:
  // Counts attack in the group of its key, opening a new group when none has it.
  void add(Attack attack);
  // Counts an attack set of session in the group of key; false, counting
  // nothing, when no group has that key.
  bool add_to_group(const std::string& key, std::int64_t session);

  std::int64_t attack_sets() const { return attack_sets_; }
  // The groups, most frequent first; among equally frequent ones, the one found
  // first comes first.
  std::vector<AttackGroup> ordered() const;

 private:
  std::vector<AttackGroup> groups_;                        // in order of discovery
  std::unordered_map<std::string, std::size_t> group_of_;  // key -> index in groups_
  std::int64_t attack_sets_ = 0;
};

}  // namespace analyser
