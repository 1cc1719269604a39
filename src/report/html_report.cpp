#include "report/html_report.h"

#include <limits>
#include <sstream>

#include "report/chart.h"
#include "report/report.h"
#include "report/statistics_fields.h"
#include "report/summary.h"

namespace analyser {

namespace {

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 2em auto; padding: 0 1em; max-width: 70em; color: #222; }
.verdict { font-size: 1.2em; padding: 0.8em 1em; border-radius: 6px; }
.verdict.attack { background: #fbe3e1; border: 1px solid #d9534f; }
.verdict.no-attack { background: #e3f4e1; border: 1px solid #4cae4c; }
.verdict.nothing-checked { background: #fdf3dc; border: 1px solid #eea236; }
nav { margin: 0.5em 0; }
nav a { margin-right: 1em; }
section.attack { border-top: 1px solid #ccc; margin-top: 2em; }
.chart svg { max-width: 100%; height: auto; }
pre { background: #f6f6f6; padding: 0.6em; white-space: pre-wrap; overflow-wrap: anywhere; }
code { white-space: pre-wrap; overflow-wrap: anywhere; }
pre, code { font-family: monospace, monospace; }
details { margin: 0.4em 0; }
summary { cursor: pointer; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }
td { overflow-wrap: anywhere; }
)";

// The colours of the claims' statuses, on a page with a table of claims only:
// the page of a single claim stays as it was.
constexpr const char* kClaimsStyle =
    R"(table.claims tr.attack td:nth-child(2) { background: #fbe3e1; }
table.claims tr.holds td:nth-child(2) { background: #e3f4e1; }
table.claims tr.not-checked td:nth-child(2) { background: #fdf3dc; }
)";

// Sessions an attack is found in that the table of attacks names before "and N
// more"; its section names them all.
constexpr std::size_t kSessionsInTable = 8;

// Distinct attacks whose section holds the analyser's full text report of its
// attack set: a few kilobytes each, which a page of a hundred attacks does
// without. The JSON report holds every one.
constexpr std::size_t kFullReportsShown = 20;

std::string attack_anchor(std::size_t rank) {
  return "attack-" + std::to_string(rank);
}

std::string plural(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void write_head(std::ostream& html, bool several_claims) {
  html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<title>Protocol analysis report</title>\n<style>"
       << kStyle << (several_claims ? kClaimsStyle : "") << "</style>\n</head>\n";
}

void write_verdict(std::ostream& html, const Report& report) {
  html << "<h1 id=\"top\">Protocol analysis report</h1>\n<p class=\"verdict "
       << verdict_word(report.verdict.status) << "\" id=\"verdict\">"
       << html_escaped(report.verdict.line) << "</p>\n<p class=\"bound\">Bound: sessions of "
       << plural(report.session_size, "principal", "principals") << "; search "
       << search_end_word(report.result.end) << ".</p>\n"
       << "<nav class=\"contents\">"
       << (report.result.claims.size() > 1 ? "<a href=\"#claims\">Claims</a>" : "")
       << "<a href=\"#attacks\">Distinct attacks</a>"
          "<a href=\"#inputs\">Input files</a><a href=\"#sessions\">Sessions</a>"
          "<a href=\"#statistics\">Statistics</a></nav>\n";
}

// With several claims, one row per claim: its status, its distinct attacks and
// a link to the first one's section, and its name and text.
void write_claims_table(std::ostream& html, const AnalysisResult& result) {
  if (result.claims.size() < 2) return;
  html << "<section id=\"claims\">\n<h2>Claims</h2>\n<table class=\"claims\">\n"
          "<tr><th>Claim</th><th>Status</th><th>Distinct attacks</th><th>First attack</th>"
          "<th>Formula</th></tr>\n";
  for (std::size_t k = 0; k < result.claims.size(); ++k) {
    const ClaimResult& c = result.claims[k];
    html << "<tr class=\"" << claim_status_word(c.status) << "\"><td>" << k + 1 << "</td><td>"
         << claim_status_text(c.status) << "</td><td>" << c.distinct_attacks << "</td><td>";
    if (c.first_attack > 0) {
      html << "<a href=\"#" << attack_anchor(c.first_attack) << "\">Distinct attack "
           << c.first_attack << "</a>";
    } else {
      html << "-";
    }
    html << "</td><td>" << (c.name.empty() ? "" : "<strong>" + html_escaped(c.name) + "</strong> ")
         << "<code>" << html_escaped(c.text) << "</code></td></tr>\n";
  }
  html << "</table>\n</section>\n";
}

// One row per distinct attack, linking to its section.
void write_attack_table(std::ostream& html, const AnalysisResult& result) {
  html << "<section id=\"attacks\">\n<h2>Distinct attacks</h2>\n";
  if (result.attacks.empty()) {
    html << "<p>No attack found.</p>\n</section>\n";
    return;
  }
  const bool several_claims = result.claims.size() > 1;
  html << "<table class=\"attacks\">\n<tr><th>Rank</th>" << (several_claims ? "<th>Claim</th>" : "")
       << "<th>Attack sets</th><th>Sessions</th><th>Violated constraints</th></tr>\n";
  for (std::size_t i = 0; i < result.attacks.size(); ++i) {
    const AttackGroup& group = result.attacks[i];
    html << "<tr><td><a href=\"#" << attack_anchor(i + 1) << "\">" << i + 1 << "</a></td><td>";
    if (several_claims) {
      html << html_escaped(claim_label(result, group.representative.claim)) << "</td><td>";
    }
    html << group.count << "</td><td>"
         << html_escaped(sessions_text(group, result.sessions, kSessionsInTable)) << "</td><td>";
    for (const std::string& literal : group.representative.violated) {
      html << "<code>" << html_escaped(literal) << "</code><br>";
    }
    html << "</td></tr>\n";
  }
  html << "</table>\n</section>\n";
}

// The files as analysed (the four, then the claim files), each folded away
// under its role and path.
void write_inputs(std::ostream& html, const std::vector<InputFile>& inputs) {
  html << "<section id=\"inputs\">\n<h2>Input files</h2>\n";
  for (const InputFile& f : inputs) {
    html << "<details>\n<summary>" << html_escaped(f.role) << ": <code>" << html_escaped(f.path)
         << "</code></summary>\n<pre class=\"input\">" << html_escaped(f.text)
         << "</pre>\n</details>\n";
  }
  html << "</section>\n";
}

// Every session the join formed, and whether it was pruned.
void write_sessions(std::ostream& html, const std::vector<Session>& sessions) {
  std::int64_t pruned = 0;
  for (const Session& s : sessions) pruned += s.pruned ? 1 : 0;
  html << "<section id=\"sessions\">\n<h2>Sessions</h2>\n<details>\n<summary>"
       << plural(static_cast<std::int64_t>(sessions.size()) - pruned, "session", "sessions")
       << " kept, " << pruned
       << " pruned by the join (its formula has no solution)</summary>\n"
          "<table class=\"sessions\">\n<tr><th>Session</th><th>Principals</th><th>Join</th></tr>\n";
  for (const Session& s : sessions) {
    html << "<tr><td>" << s.number << "</td><td>";
    for (std::size_t i = 0; i < s.principals.size(); ++i) {
      html << (i == 0 ? "" : " ") << html_escaped(s.principals[i]);
    }
    html << "</td><td>" << (s.pruned ? "pruned" : "kept") << "</td></tr>\n";
  }
  html << "</table>\n</details>\n</section>\n";
}

// Links to the previous and next attacks, where there are, and to the top.
void write_attack_links(std::ostream& html, std::size_t rank, std::size_t total) {
  html << "<nav class=\"attack-links\">";
  if (rank > 1) {
    html << "<a href=\"#" << attack_anchor(rank - 1) << "\">&larr; Previous attack</a>";
  }
  if (rank < total) html << "<a href=\"#" << attack_anchor(rank + 1) << "\">Next attack &rarr;</a>";
  html << "<a href=\"#top\">&uarr; Top</a></nav>\n";
}

void write_messages(std::ostream& html, const Attack& a) {
  html << "<h3>Messages</h3>\n";
  if (!a.bystanders.empty()) {
    html << "<p>Not involved:";
    for (const std::string& b : a.bystanders) html << " " << html_escaped(b);
    html << "</p>\n";
  }
  html << "<ol class=\"messages\">\n";
  for (const Exchange& e : a.exchanges) {
    html << "<li><code>" << html_escaped(e.sender + " -> " + e.receiver + ": " + e.message)
         << "</code></li>\n";
  }
  html << "</ol>\n";
}

// The analyser's text report of the attack set shown, folded away; past the
// first kFullReportsShown attacks, a line saying where to find it.
void write_full_report(std::ostream& html, const Attack& a, std::size_t rank) {
  if (rank > kFullReportsShown) {
    html << "<p class=\"report-left-out\">The analyser's full report is shown for the first "
         << kFullReportsShown
         << " distinct attacks only, to keep the page small; the JSON report (--json) holds "
            "every one.</p>\n";
    return;
  }
  html << "<details class=\"report\">\n<summary>Analyser report (attack set " << a.attack_set
       << ", session " << a.session << ")</summary>\n<pre class=\"report\">"
       << html_escaped(a.report) << "</pre>\n</details>\n";
}

void write_attack(std::ostream& html, const Report& report, std::size_t i) {
  const AttackGroup& group = report.result.attacks[i];
  const Attack& a = group.representative;
  const std::size_t rank = i + 1;
  const std::size_t total = report.result.attacks.size();
  html << "<section class=\"attack\" id=\"" << attack_anchor(rank) << "\">\n";
  write_attack_links(html, rank, total);
  html << "<h2>Distinct attack " << rank << " of " << total << "</h2>\n";
  if (report.result.claims.size() > 1) {
    const ClaimResult& claim = report.result.claims.at(a.claim);
    html << "<p class=\"claim\">Violates claim "
         << html_escaped(claim_label(report.result, a.claim)) << ": <code>"
         << html_escaped(claim.text) << "</code></p>\n";
  }
  html << "<p class=\"count\">Found " << plural(group.count, "time", "times") << ", in "
       << (group.sessions.size() == 1 ? "session " : "sessions ")
       << html_escaped(
              sessions_text(group, report.result.sessions, std::numeric_limits<std::size_t>::max()))
       << ".</p>\n<div class=\"chart\">\n"
       << embeddable_svg(report.charts.at(i), "a" + std::to_string(rank) + "-")
       << "</div>\n<h3>Violated constraints</h3>\n<ul>\n";
  for (const std::string& literal : a.violated) {
    html << "<li><code>" << html_escaped(literal) << "</code></li>\n";
  }
  html << "</ul>\n";
  write_messages(html, a);
  write_full_report(html, a, rank);
  html << "</section>\n";
}

void write_statistics(std::ostream& html, const AnalysisStatistics& s) {
  html << "<section id=\"statistics\">\n<h2>Statistics</h2>\n<table class=\"statistics\">\n";
  for (const StatisticField& field : statistic_fields()) {
    html << "<tr><th>" << field.label << "</th><td>" << statistic_text(field, s) << "</td></tr>\n";
  }
  html << "</table>\n</section>\n";
}

}  // namespace

std::string html_escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string html_report(const Report& report) {
  std::ostringstream html;
  write_head(html, report.result.claims.size() > 1);
  html << "<body>\n";
  write_verdict(html, report);
  write_claims_table(html, report.result);
  write_attack_table(html, report.result);
  write_inputs(html, report.inputs);
  write_sessions(html, report.result.sessions);
  for (std::size_t i = 0; i < report.result.attacks.size(); ++i) write_attack(html, report, i);
  write_statistics(html, report.result.statistics);
  html << "</body>\n</html>\n";
  return html.str();
}

}  // namespace analyser
