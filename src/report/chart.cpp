#include "report/chart.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

constexpr const char* kIntruder = "I";

constexpr std::size_t kLabelWidth = 32;   // characters on a line of an arrow's label
constexpr std::size_t kLabelLines = 4;    // lines of an arrow's label at most
constexpr double kRankSeparation = 0.3;   // inches between rows with one-line labels
constexpr double kLabelLineHeight = 0.2;  // inches a line of a label takes

// text as it stands between the quotes of a dot string.
std::string dot_escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// A dot string literal.
std::string quoted(const std::string& text) {
  return "\"" + dot_escaped(text) + "\"";
}

// text in lines of at most kLabelWidth characters, broken after a comma where
// one is near enough, and at most kLabelLines of them: what does not fit is
// left out and the last line ends in "...".
std::vector<std::string> label_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size() && lines.size() < kLabelLines) {
    std::size_t end = std::min(text.size(), at + kLabelWidth);
    if (end < text.size()) {
      const std::size_t comma = text.rfind(',', end - 1);
      if (comma != std::string::npos && comma >= at + kLabelWidth / 2) end = comma + 1;
    }
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  if (at < text.size()) {
    std::string& last = lines.back();
    last = last.substr(0, std::min(last.size(), kLabelWidth - 3)) + "...";
  }
  return lines;
}

// The attributes that label an arrow with text, shown as lines (label_lines):
// a short text whole, a long one wrapped or cut, with the whole text as the
// arrow's tooltip.
std::vector<std::string> label_attributes(const std::string& text,
                                          const std::vector<std::string>& lines) {
  if (lines.size() == 1 && lines[0] == text) return {"label=" + quoted(text)};
  std::string label;
  for (const std::string& line : lines) label += (label.empty() ? "" : "\\n") + dot_escaped(line);
  return {"label=\"" + label + "\"", "tooltip=" + quoted(text)};
}

// Lifelines from left to right: the instances in order of first appearance, the
// intruder after the first half of them.
std::vector<std::string> lifelines(const Attack& attack) {
  std::vector<std::string> instances;
  for (const Exchange& e : attack.exchanges) {
    for (const std::string& who : {e.sender, e.receiver}) {
      if (who != kIntruder &&
          std::find(instances.begin(), instances.end(), who) == instances.end()) {
        instances.push_back(who);
      }
    }
  }
  const auto middle = instances.begin() + static_cast<std::ptrdiff_t>((instances.size() + 1) / 2);
  instances.insert(middle, kIntruder);
  return instances;
}

// The point of lifeline column at row (0 is the head box).
std::string lifeline_point(std::size_t column, std::size_t row) {
  std::string name = "p";
  name += std::to_string(column);
  name += '_';
  name += std::to_string(row);
  return name;
}

// GraphViz's plugins for the dot layout and the SVG renderer, linked in.
extern "C" gvplugin_library_t gvplugin_dot_layout_LTX_library;
extern "C" gvplugin_library_t gvplugin_core_LTX_library;

// A GraphViz context with only the linked-in plugins. Without the installed
// text-layout plugin, labels are measured with GraphViz's built-in font
// metrics: the same charts on every machine, whatever its fonts.
GVC_t* graphviz_context() {
  static const lt_symlist_t plugins[] = {
      {"gvplugin_dot_layout_LTX_library", &gvplugin_dot_layout_LTX_library},
      {"gvplugin_core_LTX_library", &gvplugin_core_LTX_library},
      {nullptr, nullptr},
  };
  return gvContextPlugins(plugins, 0);
}

// The marker of an id or of a reference to one that starts at tag[at], or null.
// id=" and href="# count only as an attribute's name, after white space or a
// namespace's colon (xlink:href).
const std::string* id_marker_at(const std::string& tag, std::size_t at) {
  static const std::string kMarkers[] = {"id=\"", "href=\"#", "url(#"};
  for (const std::string& m : kMarkers) {
    if (tag.compare(at, m.size(), m) != 0) continue;
    const bool named = at > 0 && (std::isspace(static_cast<unsigned char>(tag[at - 1])) != 0 ||
                                  tag[at - 1] == ':');
    if (named || m[0] == 'u') return &m;
  }
  return nullptr;
}

// One tag (from its < up to its >) with the ids it sets and refers to prefixed.
std::string tag_with_ids_prefixed(const std::string& tag, const std::string& prefix) {
  std::string out;
  for (std::size_t at = 0; at < tag.size();) {
    if (const std::string* marker = id_marker_at(tag, at)) {
      out += *marker + prefix;
      at += marker->size();
    } else {
      out += tag[at++];
    }
  }
  return out;
}

// The length of the comment or title element that starts at svg[at], with the
// line feed after it; 0 when none does. GraphViz titles each node and edge
// with its name in the dot input, which means nothing to a reader.
std::size_t left_out_length(const std::string& svg, std::size_t at) {
  static const std::pair<std::string, std::string> kLeftOut[] = {{"<!--", "-->"},
                                                                 {"<title>", "</title>"}};
  for (const auto& [start, end] : kLeftOut) {
    if (svg.compare(at, start.size(), start) != 0) continue;
    const std::size_t close = svg.find(end, at);
    if (close == std::string::npos) return svg.size() - at;
    std::size_t after = close + end.size();
    if (after < svg.size() && svg[after] == '\n') ++after;
    return after - at;
  }
  return 0;
}

}  // namespace

std::string embeddable_svg(const std::string& svg, const std::string& prefix) {
  std::string out;
  std::size_t at = svg.find("<svg");
  while (at < svg.size()) {
    const std::size_t open = svg.find('<', at);
    if (open == std::string::npos) {
      out.append(svg, at);
      break;
    }
    out.append(svg, at, open - at);
    if (const std::size_t skipped = left_out_length(svg, open)) {
      at = open + skipped;
      continue;
    }
    // Text and attribute values have their < and > escaped: a tag ends at the
    // first > after its <.
    const std::size_t close = std::min(svg.find('>', open), svg.size());
    out += tag_with_ids_prefixed(svg.substr(open, close - open), prefix);
    at = close;
  }
  return out;
}

std::string sequence_chart_dot(const Attack& attack) {
  const std::vector<std::string> columns = lifelines(attack);
  const std::size_t rows = attack.exchanges.size() + 1;  // heads, then one row per message
  const auto column_of = [&](const std::string& who) {
    return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), who) -
                                    columns.begin());
  };
  std::vector<std::string> texts;
  std::vector<std::vector<std::string>> labels;
  std::size_t label_height = 1;  // lines of the tallest label
  for (std::size_t k = 0; k < attack.exchanges.size(); ++k) {
    texts.push_back(std::to_string(k + 1) + ". " + attack.exchanges[k].message);
    labels.push_back(label_lines(texts.back()));
    label_height = std::max(label_height, labels.back().size());
  }
  std::ostringstream dot;
  // A label stands above its arrow, in the space between its row and the one
  // before: enough for the tallest label. Every line is straight.
  dot << "digraph attack {\n"
         "  graph [nodesep=0.4, ranksep="
      << kRankSeparation + kLabelLineHeight * static_cast<double>(label_height - 1)
      << ", splines=line, fontname=\"Helvetica\"];\n"
         "  node [fontname=\"Helvetica\", fontsize=12];\n"
         "  edge [fontname=\"Helvetica\", fontsize=11];\n";
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const bool intruder = columns[c] == kIntruder;
    dot << "  " << lifeline_point(c, 0) << " [shape=box, style=\"rounded,filled\", fillcolor="
        << (intruder ? "\"#f4c7c3\"" : "\"#d9e7f7\"") << ", label=" << quoted(columns[c]) << "];\n";
    for (std::size_t r = 1; r < rows; ++r) {
      dot << "  " << lifeline_point(c, r)
          << " [shape=point, width=0.01, label=\"\", style=invis];\n";
    }
    // The lifeline's points held in a column by heavy invisible edges, and the
    // line drawn once from the head to the last point.
    dot << "  " << lifeline_point(c, 0);
    for (std::size_t r = 1; r < rows; ++r) dot << " -> " << lifeline_point(c, r);
    dot << " [style=invis, weight=100];\n  " << lifeline_point(c, 0) << " -> "
        << lifeline_point(c, rows - 1)
        << " [arrowhead=none, style=dashed, color=gray50, constraint=false];\n";
  }
  for (std::size_t r = 0; r < rows; ++r) {
    // Each row on one rank, its columns kept in order by invisible edges.
    dot << "  { rank=same; ";
    for (std::size_t c = 0; c < columns.size(); ++c) {
      dot << (c == 0 ? "" : " -> ") << lifeline_point(c, r);
    }
    dot << " [style=invis]; }\n";
  }
  const std::size_t intruder = column_of(kIntruder);
  for (std::size_t k = 0; k < attack.exchanges.size(); ++k) {
    const Exchange& e = attack.exchanges[k];
    const std::size_t from = column_of(e.sender);
    const std::size_t to = column_of(e.receiver);
    const std::size_t left = std::min(from, to);
    const std::size_t right = std::max(from, to);
    // An arrow is a chain of segments from lifeline to lifeline, all drawn left
    // to right so that GraphViz keeps them straight; only the segment at the
    // receiver has a head, and the one beside the intruder carries the label.
    const std::size_t labelled = intruder == left ? left : right - 1;
    for (std::size_t c = left; c < right; ++c) {
      const bool head = from < to ? c + 1 == right : c == left;
      std::vector<std::string> attributes;
      if (c == labelled) attributes = label_attributes(texts[k], labels[k]);
      if (!head) attributes.push_back("dir=none");
      if (head && from > to) attributes.push_back("dir=back");
      dot << "  " << lifeline_point(c, k + 1) << " -> " << lifeline_point(c + 1, k + 1);
      for (std::size_t i = 0; i < attributes.size(); ++i) {
        dot << (i == 0 ? " [" : ", ") << attributes[i];
      }
      dot << (attributes.empty() ? ";\n" : "];\n");
    }
  }
  dot << "}\n";
  return dot.str();
}

ChartRenderer::ChartRenderer() : gvc_(graphviz_context()) {}

ChartRenderer::~ChartRenderer() {
  if (gvc_ != nullptr) gvFreeContext(gvc_);
}

std::string ChartRenderer::svg(const std::string& dot) {
  GVC_t* const gvc = gvc_;
  const std::unique_ptr<Agraph_t, int (*)(Agraph_t*)> graph(agmemread(dot.c_str()), agclose);
  if (gvc == nullptr || !graph) throw Failure("GraphViz cannot read the chart");
  if (gvLayout(gvc, graph.get(), "dot") != 0) {
    throw Failure("GraphViz cannot lay out the chart");
  }
  char* data = nullptr;
  unsigned int length = 0;
  const int rendered = gvRenderData(gvc, graph.get(), "svg", &data, &length);
  std::string svg = rendered == 0 && data != nullptr ? std::string(data, length) : std::string();
  gvFreeRenderData(data);
  gvFreeLayout(gvc, graph.get());
  if (svg.empty()) throw Failure("GraphViz cannot draw the chart");
  return svg;
}

}  // namespace analyser
