#include "report/summary.h"

namespace analyser {

namespace {

constexpr std::size_t kSessionsShown = 8;

std::string session_text(const Session& s) {
  std::string text = std::to_string(s.number) + " (";
  for (std::size_t i = 0; i < s.principals.size(); ++i) {
    text += (i == 0 ? "" : " ") + s.principals[i];
  }
  return text + ")";
}

}  // namespace

std::string sessions_text(const AttackGroup& group, const std::vector<Session>& sessions,
                          std::size_t limit) {
  std::string text;
  std::size_t shown = 0;
  for (std::int64_t number : group.sessions) {
    if (shown == limit) {
      return text + " and " + std::to_string(group.sessions.size() - shown) + " more";
    }
    text +=
        (shown == 0 ? "" : ", ") + session_text(sessions.at(static_cast<std::size_t>(number - 1)));
    ++shown;
  }
  return text;
}

void write_summary(std::ostream& os, const AnalysisResult& result, const Verdict& verdict) {
  const std::size_t total = result.attacks.size();
  for (std::size_t i = 0; i < total; ++i) {
    const AttackGroup& group = result.attacks[i];
    const Attack& attack = group.representative;
    os << "Distinct attack " << i + 1 << " of " << total << ": " << group.count
       << (group.count == 1 ? " attack set" : " attack sets") << ", in "
       << (group.sessions.size() == 1 ? "session " : "sessions ")
       << sessions_text(group, result.sessions, kSessionsShown) << "\n";
    os << "  Violated constraints:\n";
    for (const std::string& literal : attack.violated) os << "    " << literal << "\n";
    os << "  Messages (attack set " << attack.attack_set << ", session " << attack.session;
    if (!attack.bystanders.empty()) {
      os << "; not involved:";
      for (const std::string& b : attack.bystanders) os << " " << b;
    }
    os << "):\n";
    for (const Exchange& e : attack.exchanges) {
      os << "    " << e.sender << " -> " << e.receiver << ": " << e.message << "\n";
    }
    os << "\n";
  }
  os << verdict.line << "\n";
}

}  // namespace analyser
