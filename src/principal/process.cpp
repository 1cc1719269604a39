#include "principal/process.h"

#include <algorithm>
#include <cassert>

#include "utils/utils.h"

namespace analyser {

// One node of a process tree. Input and Output use `term` and `first` (the
// continuation); Choice and Parallel use `first` (left) and `second` (right).

namespace {

// Shared by every thread, so uncounted.
const Handle<const Process::Node>& nil_node() {
  static const Process::Node nil(ProcessTag::Nil);
  static const Handle<const Process::Node> node = Handle<const Process::Node>::unowned(nil);
  return node;
}

Process make(ProcessTag tag, Message term, Process first, Process second) {
  return Process(
      make_handle<const Process::Node>(tag, std::move(term), std::move(first), std::move(second)));
}

[[maybe_unused]] bool is_prefix(ProcessTag tag) {
  return tag == ProcessTag::Input || tag == ProcessTag::Output;
}

// The tree with f applied to every term, sharing every subtree f leaves as it is.
template <typename F>
Process map_tree(const F& f, const Process& p) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return p;
    case ProcessTag::Input:
    case ProcessTag::Output: {
      Message t = f(p.term());
      Process rest = map_tree(f, p.next());
      if (t.same(p.term()) && rest.same(p.next())) return p;
      return make(p.tag(), std::move(t), std::move(rest), Process(nullptr));
    }
    case ProcessTag::Choice:
    case ProcessTag::Parallel: {
      Process l = map_tree(f, p.left());
      Process r = map_tree(f, p.right());
      if (l.same(p.left()) && r.same(p.right())) return p;
      return make(p.tag(), Message(), std::move(l), std::move(r));
    }
  }
  return p;
}

}  // namespace

Process::Process() : node_(nil_node()) {}

const Message& Process::term() const {
  assert(is_prefix(node_->tag));
  return node_->term;
}

const Process& Process::next() const {
  assert(is_prefix(node_->tag));
  return node_->first;
}

const Process& Process::left() const {
  assert(node_->tag == ProcessTag::Choice || node_->tag == ProcessTag::Parallel);
  return node_->first;
}

const Process& Process::right() const {
  assert(node_->tag == ProcessTag::Choice || node_->tag == ProcessTag::Parallel);
  return node_->second;
}

bool operator==(const Process& a, const Process& b) {
  if (a.same(b)) return true;
  if (a.tag() != b.tag()) return false;
  switch (a.tag()) {
    case ProcessTag::Nil:
      return true;
    case ProcessTag::Input:
    case ProcessTag::Output:
      return a.term() == b.term() && a.next() == b.next();
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      return a.left() == b.left() && a.right() == b.right();
  }
  return false;
}

Process nil_process() {
  return Process();
}
Process input(const Message& pattern, const Process& next) {
  return make(ProcessTag::Input, pattern, next, Process(nullptr));
}
Process output(const Message& term, const Process& next) {
  return make(ProcessTag::Output, term, next, Process(nullptr));
}
Process choice(const Process& left, const Process& right) {
  return make(ProcessTag::Choice, Message(), left, right);
}
Process parallel(const Process& left, const Process& right) {
  return make(ProcessTag::Parallel, Message(), left, right);
}

Process map_terms(const std::function<Message(const Message&)>& f, const Process& p) {
  return map_tree(f, p);
}

Process apply_to_process(const Assignment& a, const Process& p) {
  if (a.is_empty()) return p;
  return map_tree([&a](const Message& t) { return t.has_variables() ? apply(a, t) : t; }, p);
}

Process private_copy(const Process& p, TermCopier& copier) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return Process();
    case ProcessTag::Input:
    case ProcessTag::Output:
      return make(p.tag(), copier.copy(p.term()), private_copy(p.next(), copier), Process());
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      break;
  }
  return make(p.tag(), Message(), private_copy(p.left(), copier), private_copy(p.right(), copier));
}

bool process_well_formed(const Process& p) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return true;
    case ProcessTag::Input:
    case ProcessTag::Output:
      return well_formed(p.term()) && process_well_formed(p.next());
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      return process_well_formed(p.left()) && process_well_formed(p.right());
  }
  return true;
}

std::int64_t max_actions(const Process& p) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return 0;
    case ProcessTag::Input:
    case ProcessTag::Output:
      return 1 + max_actions(p.next());
    case ProcessTag::Choice:
      return std::max(max_actions(p.left()), max_actions(p.right()));
    case ProcessTag::Parallel:
      return max_actions(p.left()) + max_actions(p.right());
  }
  return 0;
}

std::string process_to_string(const Process& p) {
  std::string s;
  append_process(s, p, empty_assignment());
  return s;
}

void append_process(std::string& s, const Process& p, const Assignment& a) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return;
    case ProcessTag::Input:
    case ProcessTag::Output:
      s += p.tag() == ProcessTag::Input ? "In(" : "Out(";
      if (a.is_empty()) {
        append_message(s, p.term(), Rendering::Label);
      } else {
        append_applied(s, a, p.term(), Rendering::Label);
      }
      s += ')';
      if (!p.next().is_nil()) {
        s += '.';
        append_process(s, p.next(), a);
      }
      return;
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      s += '(';
      append_process(s, p.left(), a);
      s += p.tag() == ProcessTag::Choice ? " + " : " | ";
      append_process(s, p.right(), a);
      s += ')';
      return;
  }
}

void print_process(std::ostream& os, const Process& p) {
  os << process_to_string(p);
}

}  // namespace analyser
