#include "report/chart.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "utils/utils.h"

namespace analyser {

namespace {

constexpr const char* kIntruder = "I";

// A dot string literal.
std::string quoted(const std::string& text) {
  std::string q = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
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

}  // namespace

std::string sequence_chart_dot(const Attack& attack) {
  const std::vector<std::string> columns = lifelines(attack);
  const std::size_t rows = attack.exchanges.size() + 1;  // heads, then one row per message
  const auto column_of = [&](const std::string& who) {
    return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), who) -
                                    columns.begin());
  };
  std::ostringstream dot;
  dot << "digraph attack {\n"
         "  graph [nodesep=0.4, ranksep=0.3, fontname=\"Helvetica\"];\n"
         "  node [fontname=\"Helvetica\", fontsize=12];\n"
         "  edge [fontname=\"Helvetica\", fontsize=11];\n";
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const bool intruder = columns[c] == kIntruder;
    dot << "  " << lifeline_point(c, 0) << " [shape=box, style=\"rounded,filled\", fillcolor="
        << (intruder ? "\"#f4c7c3\"" : "\"#d9e7f7\"") << ", label=" << quoted(columns[c]) << "];\n";
    for (std::size_t r = 1; r < rows; ++r) {
      dot << "  " << lifeline_point(c, r) << " [shape=point, width=0.01, label=\"\"];\n";
    }
    // The lifeline: heavy so that it stays straight.
    dot << "  " << lifeline_point(c, 0);
    for (std::size_t r = 1; r < rows; ++r) dot << " -> " << lifeline_point(c, r);
    dot << " [arrowhead=none, style=dashed, color=gray50, weight=100];\n";
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
      if (c == labelled)
        attributes.push_back("label=" + quoted(std::to_string(k + 1) + ". " + e.message));
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
