// The distinct attacks of a run: attacks with equal keys form one group, shown by
// its shortest attack (the fewest events in its causal past), the first found
// among equally short ones.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "report/attack.h"

namespace analyser {

struct AttackGroup {
  Attack representative;            // the shortest attack, the first found among those
  std::int64_t count = 0;           // attack sets in the group
  std::set<std::int64_t> sessions;  // the sessions where it occurs, from 1
};

class AttackGroups {
 public:
  // Counts attack in the group of its key, opening a new group when none has
  // it; attack shows the group when it is shorter than the one that did.
  void add(Attack attack);
  // Counts an attack set of session in the group of key when it would not show
  // the group (its length is no shorter than the representative's); false,
  // counting nothing, when no group has that key or the attack set is shorter:
  // it is then to be described and added.
  bool add_to_group(const AttackKey& key, std::int64_t session);

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
