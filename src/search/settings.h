// The options of one run, as read from the command line. The driver fills them
// once; the search and the graph output only read them.
#pragma once

#include <cstdint>
#include <string>

// What the search writes on standard output for each trace it finds.
enum class OutputMode : int {
  None = -1,   // nothing: the search only counts
  Text = 0,    // -T: the trace, node by node
  Graph = 1,   // -G: the root-to-leaf path as graph edges
  Verify = 2,  // -V: the attacks found on final traces
};

// The sections written into each node label of the graph output.
struct GraphFields {
  bool context = false;
  bool action = false;
  bool knowledge = false;
  bool assignment = false;

  friend bool operator==(const GraphFields&, const GraphFields&) = default;
};

struct Settings {
  OutputMode mode = OutputMode::None;  // the last of -T, -G, -V wins
  std::string principals_file;
  std::string logic_file;
  std::string join_file;
  std::string knowledge_file;
  bool terminal_only = false;  // -t: only final leaves are printed or drawn
  GraphFields graph_fields;
  std::string error;  // the first command-line error, "" when none
  bool help = false;
  std::int64_t session_size = 0;  // principals per session
  bool interactive = false;       // accepted, never consulted
  bool feedback = false;          // -f: progress and statistics on standard error
};
