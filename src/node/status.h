// Statuses: a whole state of the search (the principals, what their variables
// are bound to, and what the intruder knows). An immutable value.
#pragma once

#include <ostream>

#include "assignment/assignment.h"
#include "knowledge/knowledge.h"
#include "principal/context.h"

namespace analyser {

struct Status {
  Context context;
  Assignment assignment;
  Knowledge knowledge;
};

Status make_status(Context context, Assignment assignment, Knowledge knowledge);
// Every principal has finished: the run reached its end, bound something or not.
bool is_final(const Status& s);
void print_status(std::ostream& os, const Status& s);

}  // namespace analyser
