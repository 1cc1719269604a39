// Session composition: every multiset of role templates of the session size
// becomes a session node below the root, and every solution of the join formula
// on a session node becomes an initial node of the search.
//
// Ordering invariants:
//  1. Sessions come in a fixed order: over n templates and size k, for i = 0, 1,
//     ..., k, the sessions of size i over the first n - 1 templates, each padded
//     with template n up to size k; [n, ..., n] first, [1, ..., 1] last.
//  2. Participant j of a session is instance j of its template; it joins at the
//     front of the context, and the knowledge learns its name and public key.
//  3. The solutions are applied in order, each making two nodes with consecutive
//     identifiers: "Check Component", then "Close Principals" below it.
//  4. The closing bindings go principal by principal in context order, parameter
//     by parameter in declaration order, in front of the solution's.
#pragma once

#include <cstdint>
#include <vector>

#include "node/node.h"
#include "principal/principal.h"
#include "step/core.h"

namespace analyser {

// The number of multisets of size k over n templates (0 when n < 1 or k < 0).
std::int64_t session_count(std::int64_t n, std::int64_t k);
// The sessions (1-based template indices) in their fixed enumeration order.
std::vector<std::vector<std::int64_t>> sessions(std::int64_t n, std::int64_t k);

// The session node of session number next_session (from 0) below root, or
// nullptr when there is none. next_session then moves on to the next session, or
// to -1 once there is none. New nodes take their identifiers from ids.
NodeRef next_join(const PrincipalPool& pool, SymbolicCore& core, NodeIds& ids, const NodeRef& root,
                  std::int64_t& next_session);

// The identifiers the nodes of one join solution take.
inline constexpr std::int64_t kNodesPerJoinSolution = 2;

// The initial node of one solution: a "Check Component" node applying the
// solution, and below it the "Close Principals" node closing unbound parameters,
// which is returned. Takes kNodesPerJoinSolution identifiers from ids and one kid.
NodeRef join_solution_node(SymbolicCore& core, NodeIds& ids, const NodeRef& session_node,
                           const Assignment& solution);

}  // namespace analyser
