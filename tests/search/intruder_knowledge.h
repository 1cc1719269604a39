// The intruder's knowledge in the search's tests: its own name I_0 and the
// given terms, with all that follows from them.
#pragma once

#include <vector>

#include "knowledge/kmanager.h"
#include "knowledge/knowledge.h"

namespace analyser {

inline Knowledge intruder_knowledge(KnowledgeManager& mgr, const std::vector<Message>& known) {
  Message terms = agent("I", 0);
  for (const Message& m : known) terms = pair(terms, m);
  return derive_knowledge(mgr, fresh_knowledge(mgr), empty_assignment(), terms);
}

}  // namespace analyser
