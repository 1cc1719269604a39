// The options of one run, as read from the command line. The driver fills them
// once; the search receives its part, and the graph printer reads the label
// sections.
#pragma once

#include <string>

#include "search/options.h"

namespace analyser {

// The sections written into each node label of the graph output.
struct GraphFields {
  bool context = false;
  bool action = false;
  bool knowledge = false;
  bool assignment = false;

  friend bool operator==(const GraphFields&, const GraphFields&) = default;
};

struct Settings {
  SearchOptions search;
  std::string principals_file;
  std::string logic_file;
  std::string join_file;
  std::string knowledge_file;
  // Read every formula of the logic file as a claim of its own, as the report
  // companion does; the analyser reads the first alone.
  bool every_claim = false;
  GraphFields graph_fields;
  std::string error;  // the first command-line error, "" when none
  bool help = false;
  bool interactive = false;  // accepted, never consulted
};

}  // namespace analyser
