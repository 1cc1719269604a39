// The graph output: the traces found, written as root-to-leaf paths of the state
// tree in the GraphViz dot language between a header and a footer.
//
// Paths share their beginnings, so nodes and edges are written repeatedly; the
// header's concentrate=true lets the renderer merge them. Everything goes to os.
#pragma once

#include <ostream>
#include <string>

#include "node/node.h"
#include "run/settings.h"

namespace analyser {

// "digraph <name>{" and the graph attributes, preceded by a comment line.
void graph_header(std::ostream& os, const std::string& name);
void graph_footer(std::ostream& os);

// The label statement of node n with the sections chosen by fields, followed by
// the node's id and a blank so that an edge can continue from it.
std::string node_label(const Node& n, const GraphFields& fields);

// The path from the root down to leaf: the root, then one edge per node below it.
void write_path(std::ostream& os, const NodeRef& leaf, const GraphFields& fields);

}  // namespace analyser
