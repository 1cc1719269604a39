// Realistic inputs for the micro-benchmarks: an example protocol of examples/
// analysed at a given session size, and the states of its first trace.
//
// The terms, assignments and knowledge sets the benchmarks work on are the ones
// the search itself builds, so their sizes grow with the session size as they do
// in a real run. A Scenario keeps its whole trace alive: generated values refer
// to the knowledge of earlier states by kid, and the core finds only live ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "message/message.h"
#include "node/node.h"
#include "search/search.h"

namespace analyser {

class Scenario {
 public:
  // The example folder's four files, joined into sessions of session_size
  // principals; the trace followed is the first one below the first initial node.
  Scenario(const std::string& example, std::int64_t session_size);

  SymbolicCore& core() { return *state_.core; }
  NodeIds& node_ids() { return state_.node_ids; }
  // The first initial node, then each node's first child down to a leaf.
  const std::vector<NodeRef>& trace() const { return trace_; }
  const NodeRef& leaf() const { return trace_.back(); }

  // The nodes of the trace reached by an output (or an input), with the node
  // before each: pairs (parent, child).
  std::vector<std::pair<NodeRef, NodeRef>> steps_of(ActionKind kind) const;

  // The front prefix terms, with the node's assignment applied, of the principal
  // that performed the child's action, as they stood in the parent: the pattern
  // of an input, the term of an output.
  static Message prefix_term(const NodeRef& parent, const NodeRef& child);

  // Every term of every process of the initial node's context, as written.
  std::vector<Message> process_terms() const;

 private:
  SearchState state_;
  std::vector<NodeRef> trace_;
};

// The scenario of examples/<example> at a session size, built once per process.
Scenario& scenario(const std::string& example, std::int64_t session_size);

}  // namespace analyser
