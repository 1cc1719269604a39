#include "step/step.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "step/core.h"

namespace analyser {

namespace {

// An action of a prefix, with its message under its substitution when that was
// computed to tell duplicates apart.
struct Move {
  Action action;
  std::optional<Message> exchanged;
};

// The moves of one prefix, duplicates removed, as a range of the walk's list of
// moves, and what remains of the process of the principal after it. All the
// moves of a prefix share that remainder.
struct PrefixMoves {
  std::size_t first;  // the range [first, last) of Walk::moves
  std::size_t last;
  Process rest;
};

// What a walk over one principal's process looks for, and the moves it found.
// The walk goes over the process as the context holds it: the node's assignment
// is applied to the terms of the prefixes sought only, since applying it leaves
// the shape of the process as it is. The remainders are left as they are too:
// the child applies its own assignment, which extends the node's, to them.
struct Walk {
  SymbolicCore& core;
  const Knowledge& knowledge;
  const Assignment& assignment;  // the node's
  const Principal& principal;    // as the context holds it
  ProcessTag sought;             // Input or Output
  std::vector<Move> moves;       // of every prefix found, in order
  std::vector<PrefixMoves> found;
};

// The kinds of prefix a process can perform first.
struct HeadKinds {
  bool in = false;
  bool out = false;
};

HeadKinds head_kinds(const Process& p) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return {};
    case ProcessTag::Input:
      return {true, false};
    case ProcessTag::Output:
      return {false, true};
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      break;
  }
  const HeadKinds l = head_kinds(p.left());
  if (l.in && l.out) return l;
  const HeadKinds r = head_kinds(p.right());
  return {l.in || r.in, l.out || r.out};
}

// A choice between an input and an output. Taking the output would discard the
// inputs, so its outputs are not urgent: it offers nothing while the principals
// are still outputting, and every prefix below it, of both kinds, once the
// search has moved on to inputs.
bool is_mixed_choice(const Process& p) {
  if (p.tag() != ProcessTag::Choice) return false;
  const HeadKinds kinds = head_kinds(p);
  return kinds.in && kinds.out;
}

// Of the moves from index `from` on, keeps the first of those that carry the same
// message once substituted.
void drop_duplicates(std::vector<Move>& moves, std::size_t from) {
  if (moves.size() - from < 2) return;
  std::size_t kept = from;
  for (std::size_t i = from; i < moves.size(); ++i) {
    Move& move = moves[i];
    Message m = apply(move.action.substitution, move.action.message);
    const auto same_message = [&m](const Move& k) { return *k.exchanged == m; };
    if (std::any_of(moves.begin() + static_cast<std::ptrdiff_t>(from),
                    moves.begin() + static_cast<std::ptrdiff_t>(kept), same_message)) {
      continue;
    }
    move.exchanged = std::move(m);
    if (kept != i) moves[kept] = std::move(move);
    ++kept;
  }
  moves.erase(moves.begin() + static_cast<std::ptrdiff_t>(kept), moves.end());
}

// Sending t: one move per refinement of the generated values t uses; none when
// t cannot be built.
void add_output_moves(Walk& w, const Message& t) {
  if (refines_to_nothing(t)) {
    w.moves.push_back(
        {out_action(w.principal.name(), w.principal.instance(), t, Assignment()), std::nullopt});
    return;
  }
  for (Assignment& rho : w.core.refine(t)) {
    w.moves.push_back(
        {out_action(w.principal.name(), w.principal.instance(), t, std::move(rho)), std::nullopt});
  }
}

// Receiving on pattern t: for each refinement a of t (the empty one when there is
// none), every message the intruder can build to fit t under a, the ciphertexts
// it replays read under the node's assignment.
void add_input_moves(Walk& w, const Message& t) {
  const auto add_candidates = [&](const Assignment& a) {
    for (Candidate& c : w.core.synthesize(w.knowledge, a, apply(a, t), w.assignment)) {
      w.moves.push_back({in_action(w.principal.name(), w.principal.instance(), c.message,
                                   compose(a, c.assignment)),
                         std::nullopt});
    }
  };
  if (refines_to_nothing(t)) {
    add_candidates(Assignment());
    return;
  }
  std::vector<Assignment> refinements = w.core.refine(t);
  if (refinements.empty()) refinements.push_back(empty_assignment());
  for (const Assignment& a : refinements) add_candidates(a);
}

// The remainders found from index `from` on, put in parallel with the side of a
// composition that did not move; a terminated remainder leaves that side alone.
void recompose(std::vector<PrefixMoves>& found, std::size_t from, const Process& untouched) {
  for (std::size_t i = from; i < found.size(); ++i) {
    Process& rest = found[i].rest;
    rest = rest.is_nil() ? untouched : parallel(rest, untouched);
  }
}

// Gathers the moves of process p into w.found. Below a mixed choice in the input
// phase, `both_kinds` makes every prefix count, whatever its kind.
void collect(Walk& w, const Process& p, bool both_kinds) {
  switch (p.tag()) {
    case ProcessTag::Nil:
      return;
    case ProcessTag::Input:
    case ProcessTag::Output: {
      if (p.tag() != w.sought && !both_kinds) return;
      const Message t = apply(w.assignment, p.term());
      const std::size_t from = w.moves.size();
      if (p.tag() == ProcessTag::Output) {
        add_output_moves(w, t);
      } else {
        add_input_moves(w, t);
      }
      drop_duplicates(w.moves, from);
      if (w.moves.size() > from) w.found.push_back({from, w.moves.size(), p.next()});
      return;
    }
    case ProcessTag::Choice:
      if (!both_kinds && is_mixed_choice(p)) {
        if (w.sought == ProcessTag::Output) return;
        both_kinds = true;
      }
      collect(w, p.left(), both_kinds);
      collect(w, p.right(), both_kinds);
      return;
    case ProcessTag::Parallel: {
      std::size_t from = w.found.size();
      collect(w, p.left(), both_kinds);
      recompose(w.found, from, p.right());
      from = w.found.size();
      collect(w, p.right(), both_kinds);
      recompose(w.found, from, p.left());
      return;
    }
  }
}

Principal with_process(const Principal& p, Process process) {
  return Principal(Principal::Data{p.name(), p.instance(), p.params(), std::move(process)});
}

// The candidates of principal i, each with the principal after it as the
// context holds it, advanced past the prefix but without a applied.
std::vector<StepCandidate> unapplied_candidates(SymbolicCore& core, const Knowledge& k,
                                                const Assignment& a, const Context& c,
                                                std::int64_t i, ProcessTag sought) {
  const Principal& before = nth_principal(c, i);
  Walk w{core, k, a, before, sought, {}, {}};
  collect(w, before.process(), false);

  std::vector<StepCandidate> result;
  result.reserve(w.moves.size());
  for (PrefixMoves& prefix : w.found) {
    const Principal after = with_process(before, std::move(prefix.rest));
    for (std::size_t m = prefix.first; m < prefix.last; ++m) {
      Move& move = w.moves[m];
      result.push_back({before, std::move(move.action), after, std::move(move.exchanged)});
    }
  }
  return result;
}

// The candidates with the principal after each under a, as the interface gives them.
std::vector<StepCandidate> candidates(SymbolicCore& core, const Knowledge& k, const Assignment& a,
                                      const Context& c, std::int64_t i, ProcessTag sought) {
  std::vector<StepCandidate> result = unapplied_candidates(core, k, a, c, i, sought);
  for (StepCandidate& candidate : result) candidate.after = apply_to_principal(a, candidate.after);
  return result;
}

// The child reached through candidate c.
NodeRef make_child(SymbolicCore& core, NodeIds& ids, const NodeRef& node, const StepCandidate& c) {
  const Status& s = node->status();
  Assignment assignment = compose_growing(s.assignment, c.action.substitution);
  Principal stepped = apply_to_principal(assignment, c.after);
  Context context = replace_principal(s.context, {c.before, std::move(stepped)});
  Knowledge knowledge = s.knowledge;
  if (c.action.kind == ActionKind::Out) {
    knowledge =
        derive_knowledge(core.knowledge_manager(), s.knowledge, assignment, exchanged_message(c));
  }
  NodeRef child =
      create_node(ids, Status{std::move(context), std::move(assignment), std::move(knowledge)});
  set_parent(child, node);
  child->set_action(c.action);
  return child;
}

CandidateBatch shared_batch(std::vector<StepCandidate> candidates) {
  if (candidates.empty()) return nullptr;
  return make_handle<const CountedValue<std::vector<StepCandidate>>>(std::move(candidates));
}

// The input candidates of principal i, computed once per family of states that
// receive alike: they depend on nothing else than the knowledge, the principal
// and what the assignment binds.
CandidateBatch input_batch(SymbolicCore& core, const Status& s, std::int64_t i,
                           StepCursor& cursor) {
  InputMemo& memo = cursor.input_memo();
  const Principal& p = nth_principal(s.context, i);
  for (const auto& [principal, batch] : memo.batches) {
    if (principal.same(p)) return batch;
  }
  CandidateBatch batch = shared_batch(
      unapplied_candidates(core, s.knowledge, s.assignment, s.context, i, ProcessTag::Input));
  // Room for a batch per principal at once: most families compute one for each.
  if (memo.batches.empty()) memo.batches.reserve(s.context.size());
  memo.batches.emplace_back(p, batch);
  return batch;
}

// Whether every variable sigma binds is already bound in a: then a followed by
// sigma binds exactly what a binds, and substitutes every term as a does. (Not
// a Trick term, which stands for the bindings themselves; none reaches the step
// function.)
bool binds_nothing_new(const Assignment& a, const Assignment& sigma) {
  return std::ranges::all_of(bindings(sigma),
                             [&a](const Binding& b) { return is_bound(a, b.first); });
}

// Whether a principal can have moves of the kind sought: false when its first
// prefix is of the other kind or it has none. Most principals of a state are
// waiting for one kind or have finished, and this spares them the walk.
bool may_offer(const Principal& p, ProcessTag sought) {
  switch (p.head()) {
    case ProcessTag::Nil:
      return false;
    case ProcessTag::Input:
    case ProcessTag::Output:
      return p.head() == sought;
    case ProcessTag::Choice:
    case ProcessTag::Parallel:
      break;
  }
  return true;
}

// Makes the candidates of principal i of the kind sought pending in cursor;
// false when it has none.
bool take_batch(SymbolicCore& core, const Node& node, std::int64_t i, ProcessTag sought,
                StepCursor& cursor, Reduction* reduction) {
  const Status& s = node.status();
  if (sought == ProcessTag::Input) {
    CandidateBatch batch = input_batch(core, s, i, cursor);
    if (!batch) return false;
    cursor.set_pending(std::move(batch));
    return true;
  }
  std::vector<StepCandidate> batch =
      unapplied_candidates(core, s.knowledge, s.assignment, s.context, i, sought);
  if (batch.empty()) return false;
  cursor.mark_outputs_found();
  if (reduction != nullptr) reduction->thin_outputs(node, i, batch);
  cursor.set_pending(shared_batch(std::move(batch)));
  return true;
}

// Stores the next non-empty batch of candidates of node, visiting the principals
// in turn; false when every principal has been visited in both phases.
bool refill(SymbolicCore& core, const Node& node, StepCursor& cursor, Reduction* reduction) {
  const Status& s = node.status();
  const auto n = static_cast<std::int64_t>(s.context.size());
  for (std::int64_t i = cursor.phase_index(); i < n; i = cursor.phase_index()) {
    cursor.set_phase_index(i + 1);
    const ProcessTag sought = cursor.output_phase() ? ProcessTag::Output : ProcessTag::Input;
    if (sought == ProcessTag::Input && reduction != nullptr && reduction->leaves_out(node, i + 1)) {
      continue;
    }
    if (may_offer(nth_principal(s.context, i + 1), sought) &&
        take_batch(core, node, i + 1, sought, cursor, reduction)) {
      return true;
    }
    if (sought == ProcessTag::Output && i + 1 == n) {
      // No principal can output: the inputs of every principal come next.
      cursor.set_phase_index(0);
      cursor.end_output_phase();
    }
  }
  return false;
}

}  // namespace

std::vector<StepCandidate> output_candidates(SymbolicCore& core, const Knowledge& k,
                                             const Assignment& a, const Context& c,
                                             std::int64_t i) {
  return candidates(core, k, a, c, i, ProcessTag::Output);
}

std::vector<StepCandidate> input_candidates(SymbolicCore& core, const Knowledge& k,
                                            const Assignment& a, const Context& c, std::int64_t i) {
  return candidates(core, k, a, c, i, ProcessTag::Input);
}

StepCursor StepCursor::below() const {
  StepCursor child;
  if (last_child_alike_) child.inputs_ = inputs_;
  return child;
}

InputMemo& StepCursor::input_memo() {
  if (!inputs_) inputs_ = make_handle<InputMemo>();
  return *inputs_;
}

Message exchanged_message(const StepCandidate& c) {
  return c.exchanged ? *c.exchanged : apply(c.action.substitution, c.action.message);
}

void StepCursor::set_pending(CandidateBatch candidates) {
  pending_ = std::move(candidates);
  pending_next_ = 0;
}

StepCursor::Pending StepCursor::next_pending(const StepCandidate** out) {
  taken_ = nullptr;  // the candidate taken last is no longer read
  if (pending_ && pending_next_ < pending_->value.size()) {
    *out = &pending_->value[pending_next_++];
    // A used batch is released once its last candidate is no longer read.
    if (pending_next_ == pending_->value.size()) taken_ = std::exchange(pending_, nullptr);
    return Pending::Candidate;
  }
  return outputs_found_ ? Pending::End : Pending::Refill;
}

NodeRef step(SymbolicCore& core, NodeIds& ids, const NodeRef& node, StepCursor& cursor,
             Reduction* reduction) {
  const StepCandidate* c = nullptr;
  while (cursor.phase_index() != -1) {
    switch (cursor.next_pending(&c)) {
      case StepCursor::Pending::Candidate:
        cursor.set_last_child_alike(
            c->action.kind == ActionKind::In &&
            binds_nothing_new(node->status().assignment, c->action.substitution));
        return make_child(core, ids, node, *c);
      case StepCursor::Pending::Refill:
        if (refill(core, *node, cursor, reduction)) continue;
        break;
      case StepCursor::Pending::End:
        break;
    }
    cursor.set_phase_index(-1);
  }
  return nullptr;
}

}  // namespace analyser
