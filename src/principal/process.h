// Processes: the behaviour of one principal, an immutable tree of input and output
// prefixes combined by choice and parallel composition. Like Message, a Process
// is a cheap handle on a shared node built only through the factories.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "assignment/assignment.h"
#include "message/message.h"

namespace analyser {

enum class ProcessTag : std::uint8_t { Nil, Input, Output, Choice, Parallel };

class Process {
 public:
  struct Node;

  // Nil.
  Process();
  explicit Process(Handle<const Node> node) : node_(std::move(node)) {}

  ProcessTag tag() const;
  bool is_nil() const { return tag() == ProcessTag::Nil; }
  // Input: pattern; Output: the term sent.
  const Message& term() const;
  // Input/Output: the continuation.
  const Process& next() const;
  // Choice/Parallel.
  const Process& left() const;
  const Process& right() const;

  bool same(const Process& other) const { return node_ == other.node_; }
  friend bool operator==(const Process& a, const Process& b);

 private:
  // Counted without atomic operations, as terms are (see Handle): a thread
  // hands processes to another only inside private copies.
  Handle<const Node> node_;  // never null
};

// The node behind a handle; built by the factories below only. Its tag is read
// at every step of every walk over a process, so tag() is inline.
struct Process::Node : Counted {
  ProcessTag tag = ProcessTag::Nil;
  Message term;
  Process first;
  Process second;

  // Children of a node that has none stay empty handles; the accessors assert
  // that they are never asked for.
  explicit Node(ProcessTag t) : tag(t), first(nullptr), second(nullptr) {}
  Node(ProcessTag t, Message m, Process a, Process b)
      : tag(t), term(std::move(m)), first(std::move(a)), second(std::move(b)) {}
};

inline ProcessTag Process::tag() const {
  return node_->tag;
}

Process nil_process();
Process input(const Message& pattern, const Process& next);
Process output(const Message& term, const Process& next);
Process choice(const Process& left, const Process& right);
Process parallel(const Process& left, const Process& right);

// The same tree with every term t replaced by f(t); returns p itself when no term
// changes.
Process map_terms(const std::function<Message(const Message&)>& f, const Process& p);
// map_terms with an assignment applied to every term.
Process apply_to_process(const Assignment& a, const Process& p);
// A copy of p that shares no counted node with it, its terms copied by copier:
// for handing a process to another thread.
Process private_copy(const Process& p, TermCopier& copier);
bool process_well_formed(const Process& p);
// The largest number of prefixes p can perform.
std::int64_t max_actions(const Process& p);
// "In(t).rest", "Out(t)", "(l + r)", "(l | r)"; terms in label form.
std::string process_to_string(const Process& p);
// Appends process_to_string(apply_to_process(a, p)) to s, without building either.
void append_process(std::string& s, const Process& p, const Assignment& a);
void print_process(std::ostream& os, const Process& p);

}  // namespace analyser
