// The message sequence chart of an attack: one lifeline per principal instance
// and one for the intruder, and one arrow per message of the attack, labelled
// with the message, from top to bottom in the order of the messages.
#pragma once

#include <string>

#include "report/attack.h"

struct GVC_s;

namespace analyser {

// The chart in the GraphViz dot language. The intruder's lifeline stands in the
// middle, the instances around it in the order they first take part.
std::string sequence_chart_dot(const Attack& attack);

// The svg element of a chart's SVG document, to be embedded in a page beside
// other charts: without the XML prologue, the comments and GraphViz's titles
// (the names of the dot input's nodes and edges), and with every element id
// prefixed with prefix, together with every reference to one inside it
// (url(#id), href="#id", xlink:href="#id"). GraphViz gives the same ids (node1,
// edge1, ...) to every chart; distinct prefixes keep those of several charts
// apart. Text and other attributes are left as they are; empty when svg holds
// no svg element.
std::string embeddable_svg(const std::string& svg, const std::string& prefix);

// GraphViz's library with its dot layout and SVG renderer, for the charts of
// one report. GraphViz itself keeps global state: one thread draws at a time.
class ChartRenderer {
 public:
  ChartRenderer();
  ~ChartRenderer();
  ChartRenderer(const ChartRenderer&) = delete;
  ChartRenderer& operator=(const ChartRenderer&) = delete;

  // dot laid out and drawn as an SVG document. Throws Failure when GraphViz
  // refuses the graph.
  std::string svg(const std::string& dot);

 private:
  GVC_s* gvc_;  // GraphViz's context; null when it could not be made
};

}  // namespace analyser
