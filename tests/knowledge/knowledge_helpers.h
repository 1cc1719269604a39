// Helpers shared by the knowledge tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace analyser::knowledge_tests
