#include "report/summary.h"

#include <algorithm>

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

std::string padded(const std::string& text, std::size_t width) {
  return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

std::string claim_status_text(ClaimStatus status) {
  switch (status) {
    case ClaimStatus::Holds:
      return "holds within the bound";
    case ClaimStatus::Attack:
      return "attack";
    case ClaimStatus::NotChecked:
      break;
  }
  return "not checked";
}

std::string claim_label(const AnalysisResult& result, std::size_t k) {
  const ClaimResult& claim = result.claims.at(k);
  return std::to_string(k + 1) + (claim.name.empty() ? "" : " (" + claim.name + ")");
}

std::vector<std::string> claims_table(const AnalysisResult& result) {
  std::vector<std::vector<std::string>> rows = {
      {"claim", "status", "distinct attacks", "first attack", "formula"}};
  for (std::size_t k = 0; k < result.claims.size(); ++k) {
    const ClaimResult& c = result.claims[k];
    rows.push_back({std::to_string(k + 1), claim_status_text(c.status),
                    std::to_string(c.distinct_attacks),
                    c.first_attack == 0 ? "-" : std::to_string(c.first_attack),
                    (c.name.empty() ? "" : c.name + ": ") + c.text});
  }
  std::vector<std::size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  // Two blanks between columns, as inside a column's header a blank may stand.
  std::vector<std::string> lines;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i + 1 < row.size(); ++i) {
      line.append("  ").append(padded(row[i], widths[i]));
    }
    lines.push_back(line.append("  ").append(row.back()));
  }
  return lines;
}

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
  const bool several_claims = result.claims.size() > 1;
  for (std::size_t i = 0; i < total; ++i) {
    const AttackGroup& group = result.attacks[i];
    const Attack& attack = group.representative;
    os << "Distinct attack " << i + 1 << " of " << total;
    if (several_claims) os << ", on claim " << claim_label(result, attack.claim);
    os << ": " << group.count << (group.count == 1 ? " attack set" : " attack sets") << ", in "
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
  if (several_claims) {
    os << "Claims:\n";
    for (const std::string& line : claims_table(result)) os << line << "\n";
    os << "\n";
  }
  os << verdict.line << "\n";
}

}  // namespace analyser
