// The verifier's inner steps, apart from verify so that they can be checked one
// at a time: deciding the next literal of a clause list, and one step of the
// search over work items.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "knowledge/kmanager.h"
#include "logic/verifier.h"
#include "principal/context.h"

// What literals are decided against: the trace's status (its assignment and the
// intruder's knowledge) and the run's knowledge manager.
struct TraceQueries {
  KnowledgeManager& mgr;
  const Status& status;
};

enum class EvaluationStatus { Positive, Negative, Decided };

// The outcome of deciding the first undecided literal of a clause list. Unless
// the status is Decided, the literal at (clause, literal) is the one decided: the
// holds-version of the list has holds_literal in its place, the fails-version
// fails_literal, and everything else is the list as it was. With Decided both
// versions are the list itself.
struct Evaluation {
  EvaluationStatus status = EvaluationStatus::Decided;
  std::size_t clause = 0;
  std::size_t literal = 0;
  Formula holds_literal;
  Formula fails_literal;
  std::vector<Assignment> solutions;  // in the order the symbolic core found them
};

// Walks the clauses in order and decides the first literal that is not True or
// False (one query to the symbolic core).
Evaluation evaluate_clauses(const ClauseList& clauses, const TraceQueries& queries);
// The holds- or fails-version of clauses under e: clauses with the decided
// literal replaced by `literal` (clauses unchanged when e is Decided).
ClauseList with_decided_literal(ClauseList clauses, const Evaluation& e, const Formula& literal);

// A work item on the stack; stores_checked records that its stores were already
// found consistent, so that an item put back unchanged is not checked again.
struct StackedItem {
  WorkItem item;
  bool stores_checked = false;
};
// The work stack; its top is the back of the vector.
using WorkStack = std::vector<StackedItem>;

// Pops the top item and handles it: drops it, reports it as a result (returned),
// puts it back with its literal decided, or pushes its branches.
std::optional<WorkItem> verify_step(WorkStack& stack, const TraceQueries& queries);
