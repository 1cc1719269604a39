// The message sequence chart of an attack: one lifeline per principal instance
// and one for the intruder, and one arrow per message of the attack, labelled
// with the message, from top to bottom in the order of the messages.
#pragma once

#include <string>

#include "report/attack.h"

// The chart in the GraphViz dot language. The intruder's lifeline stands in the
// middle, the instances around it in the order they first take part.
std::string sequence_chart_dot(const Attack& attack);

// dot laid out and drawn as an SVG document by GraphViz's library. Throws
// Failure when GraphViz refuses the graph.
std::string render_svg(const std::string& dot);
