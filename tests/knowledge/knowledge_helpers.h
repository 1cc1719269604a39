// Helpers shared by the knowledge tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "knowledge/knowledge.h"
#include "message/message.h"

namespace analyser::knowledge_tests {

// A value the intruder generated, of the given kid and kind.
inline Message g(const std::string& name, std::int64_t kid = 0, GenKind kind = GenKind::Gen) {
  return gen(VarId{name, "I", 1}, kid, kind);
}

// The label forms of ms, each followed by ';'.
inline std::string texts(const std::vector<Message>& ms) {
  std::string s;
  for (const Message& m : ms) s += message_to_string(m) + ";";
  return s;
}

// Every stored encryption under key, as synthesis lists them before it filters.
inline std::vector<Message> all_under(const Knowledge& k, const Message& key) {
  return encryptions_under(k, key, [](const Message&) { return true; });
}

}  // namespace analyser::knowledge_tests
