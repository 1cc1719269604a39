#include "report/html_report.h"

#include <cstdio>
#include <limits>
#include <sstream>

#include "report/summary.h"

namespace analyser {

namespace {

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 2em auto; padding: 0 1em; max-width: 70em; color: #222; }
.verdict { font-size: 1.2em; padding: 0.8em 1em; border-radius: 6px; }
.verdict.attack { background: #fbe3e1; border: 1px solid #d9534f; }
.verdict.no-attack { background: #e3f4e1; border: 1px solid #4cae4c; }
.verdict.nothing-checked { background: #fdf3dc; border: 1px solid #eea236; }
section.attack { border-top: 1px solid #ccc; margin-top: 2em; }
.chart svg { max-width: 100%; height: auto; }
pre { background: #f6f6f6; padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 0.2em 0.6em; text-align: left; }
)";

// The SVG element of a GraphViz document, without its XML prologue.
std::string inline_svg(const std::string& svg) {
  const std::size_t start = svg.find("<svg");
  return start == std::string::npos ? std::string() : svg.substr(start);
}

std::string seconds_text(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

void write_attack(std::ostream& html, const Report& report, std::size_t i) {
  const AttackGroup& group = report.result.attacks[i];
  const Attack& a = group.representative;
  const std::size_t total = report.result.attacks.size();
  html << "<section class=\"attack\" id=\"attack-" << i + 1 << "\">\n<h2>Distinct attack " << i + 1
       << " of " << total << "</h2>\n<p class=\"count\">Found " << group.count
       << (group.count == 1 ? " time" : " times") << ", in "
       << (group.sessions.size() == 1 ? "session " : "sessions ")
       << html_escaped(
              sessions_text(group, report.result.sessions, std::numeric_limits<std::size_t>::max()))
       << ".</p>\n<div class=\"chart\">\n"
       << inline_svg(report.charts.at(i)) << "</div>\n<h3>Violated constraints</h3>\n<ul>\n";
  for (const std::string& literal : a.violated)
    html << "<li><code>" << html_escaped(literal) << "</code></li>\n";
  html << "</ul>\n<h3>Messages</h3>\n";
  if (!a.bystanders.empty()) {
    html << "<p>Not involved:";
    for (const std::string& b : a.bystanders) html << " " << html_escaped(b);
    html << "</p>\n";
  }
  html << "<ol>\n";
  for (const Exchange& e : a.exchanges) {
    html << "<li><code>" << html_escaped(e.sender + " -> " + e.receiver + ": " + e.message)
         << "</code></li>\n";
  }
  html << "</ol>\n<h3>Analyser report (attack set " << a.attack_set << ", session " << a.session
       << ")</h3>\n<pre class=\"report\">" << html_escaped(a.report) << "</pre>\n</section>\n";
}

void write_statistics(std::ostream& html, const AnalysisStatistics& s) {
  const std::pair<const char*, std::string> rows[] = {
      {"Traces", std::to_string(s.traces)},
      {"Finished runs verified", std::to_string(s.finished_runs)},
      {"Nodes", std::to_string(s.nodes)},
      {"Sessions", std::to_string(s.sessions)},
      {"Sessions searched", std::to_string(s.sessions_searched)},
      {"Pruned sessions", std::to_string(s.pruned_sessions)},
      {"Attack sets", std::to_string(s.attack_sets)},
      {"Join time (s)", seconds_text(s.join_seconds)},
      {"Search time (s)", seconds_text(s.search_seconds)},
      {"Verify time (s)", seconds_text(s.verify_seconds)},
  };
  html << "<h2>Statistics</h2>\n<table class=\"statistics\">\n";
  for (const auto& [name, value] : rows) {
    html << "<tr><th>" << name << "</th><td>" << value << "</td></tr>\n";
  }
  html << "</table>\n";
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
  html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<title>Protocol analysis report</title>\n<style>"
       << kStyle << "</style>\n</head>\n<body>\n<h1>Protocol analysis report</h1>\n"
       << "<p class=\"verdict " << verdict_word(report.verdict.status) << "\" id=\"verdict\">"
       << html_escaped(report.verdict.line) << "</p>\n<p class=\"bound\">Bound: sessions of "
       << report.session_size << (report.session_size == 1 ? " principal" : " principals")
       << "; search " << search_end_word(report.result.end) << ".</p>\n";
  for (std::size_t i = 0; i < report.result.attacks.size(); ++i) write_attack(html, report, i);
  html << "<h2>Input files</h2>\n";
  for (const InputFile& f : report.inputs) {
    html << "<h3>" << html_escaped(f.role) << ": <code>" << html_escaped(f.path)
         << "</code></h3>\n<pre class=\"input\">" << html_escaped(f.text) << "</pre>\n";
  }
  write_statistics(html, report.result.statistics);
  html << "</body>\n</html>\n";
  return html.str();
}

}  // namespace analyser
