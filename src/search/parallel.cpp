#include "search/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <thread>

#include "knowledge/kmanager.h"
#include "search/state_merging.h"
#include "search/subtree.h"
#include "search/symmetry.h"
#include "step/step.h"

namespace analyser::search {

namespace {

constexpr int kPiecesPerThread = 8;
// The most room the writer keeps for renumbering the next segment.
constexpr std::size_t kKeptRoom = std::size_t{1} << 20;
// Two segments a piece: past this many, the walker searches the rest of the
// run itself rather than run out of segment numbers.
constexpr std::int64_t kMaxPieces = (numeral::kMaxSegment - 1) / 2;

// A chunk as the walker hands it on. The thread that searches it makes private
// copies of everything it reads (see TermCopier); the walker only ever adds
// children to nodes of the path, which the copy does not read.
struct Chunk {
  NodeRef root;
  InitialNode start;
  std::int64_t initial = 0;  // start is the session's initial node of this index
  // Under the symmetry reduction, the instances alike below start.
  std::optional<InterchangeableInstances::AlikePairs> alike;
  std::vector<LaidOutClauses> formulas;
  NodeRef session;  // the starting node
  // The moves the session's runs take below the root: its trace length less
  // the root's depth below the initial node.
  std::int64_t moves_below = 0;
};

struct Piece {
  std::int64_t number = 0;
  Segment walk;  // segment 2 * number
  std::optional<Chunk> chunk;
  bool chunked = false;  // whether it had a chunk, kept once the chunk is released
  Segment searched;      // segment 2 * number + 1, when there is a chunk
  // The chunk's thread had its turn while it searched: it handed on the walk
  // and parts of the chunk's output itself.
  bool streaming = false;
};

// The output that chunks hold, between them, until their turn comes: each
// chunk holds what it writes here and releases what it hands on; the rest of a
// finished chunk's output is released when Delivery hands the piece on.
class HeldOutput {
 public:
  explicit HeldOutput(std::size_t most) : most_(most) {}
  std::size_t most() const { return most_; }
  // Counts n more bytes held; whether the chunks now hold more than they may.
  bool hold(std::size_t n) { return (total_ += n) > most_; }
  void release(std::size_t n) { total_ -= n; }

 private:
  const std::size_t most_;
  std::atomic<std::size_t> total_{0};
};

// Hands the pieces to the sink in order, whichever thread finishes them. A
// piece is handed on by the thread that finishes it when all before it are
// handed on, or else by the thread that finishes the last one before it; a
// chunk that finds the held output full waits for its turn (every piece before
// it handed on) and then hands on its own output while it is still searched.
//
// No thread waits for a piece that is not being searched: the oldest piece not
// handed on is on a thread that does not wait. This rests on every piece being
// searched at once by the thread that cut it, which Workers guarantees; a pool
// that queued cut pieces while every thread waited would stall the run.
class Delivery {
 public:
  // At most `most_waiting` pieces are cut and not handed on at a time.
  Delivery(SegmentSink& sink, std::int64_t most_waiting, std::size_t most_held,
           std::function<bool(const Piece&)> owned)
      : sink_(sink), most_waiting_(most_waiting), owned_(std::move(owned)), held_(most_held) {}

  HeldOutput& held() { return held_; }

  // Waits until piece `number` may be cut; false once the run stops.
  bool wait_for_room(std::int64_t number) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || number - next_ < most_waiting_; });
    return !stopped_;
  }
  // Hands on part, a part of the output of p's chunk while it is searched,
  // first waiting for p's turn (every piece before it handed on) and handing on
  // p's walk. False once the run has stopped: the chunk's search should end.
  bool hand_on_part(Piece& p, Segment part) {
    if (!p.streaming) {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopped_ || next_ == p.number; });
      if (stopped_) return false;
    }
    // The sink is this thread's alone now: the pieces after p wait for it.
    try {
      if (!p.streaming) sink_.take(std::move(p.walk));
      p.streaming = true;
      sink_.take(std::move(part));
    } catch (...) {
      fail(std::current_exception());
      return false;
    }
    return true;
  }
  // Takes a piece whose search is done, or ended, and hands on what can be handed on.
  void finished(std::unique_ptr<Piece> piece) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t number = piece->number;
    waiting_.emplace(number, std::move(piece));
    for (auto next = waiting_.find(next_); next != waiting_.end(); next = waiting_.find(next_)) {
      hand_on(*next->second);
      waiting_.erase(next);
      ++next_;
    }
    changed_.notify_all();
  }
  // Stops the run with failure (the first one stays), waking every thread that waits.
  void fail(std::exception_ptr failure) {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop(std::move(failure));
    changed_.notify_all();
  }
  bool stopped() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
  }
  // The failure that stopped the run, if any.
  std::exception_ptr failure() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

 private:
  void stop(std::exception_ptr failure) {
    if (!stopped_) failure_ = std::move(failure);
    stopped_ = true;
  }
  void hand_on(Piece& p) {
    held_.release(p.searched.output.size());
    if (stopped_ || !owned_(p)) return;
    try {
      if (!p.streaming) sink_.take(std::move(p.walk));
      if (p.chunked) sink_.take(std::move(p.searched));
    } catch (...) {
      stop(std::current_exception());
    }
  }

  SegmentSink& sink_;
  const std::int64_t most_waiting_;
  const std::function<bool(const Piece&)> owned_;
  HeldOutput held_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::int64_t, std::unique_ptr<Piece>> waiting_;  // finished, by number
  std::int64_t next_ = 0;                                   // the first not handed on
  bool stopped_ = false;
  std::exception_ptr failure_;
};

// Thrown into a chunk's search to end it when the run has stopped.
struct Abandoned {};

// The output stream of a chunk. It holds what the chunk writes while the held
// output stays within its most; past that, it hands what it holds to hand_on,
// which waits for the chunk's turn and takes it, and from then on it hands its
// output on in small parts as it comes. It counts what it holds in batches, so
// that threads do not meet on the shared count at every write.
class ChunkOutput : public std::streambuf {
 public:
  ChunkOutput(HeldOutput& held, std::function<void(std::string)> hand_on)
      : held_(held), hand_on_(std::move(hand_on)) {}
  // What was written and not handed on, all of it counted as held.
  std::string rest() {
    held_.hold(text_.size() - counted_);
    counted_ = text_.size();
    return std::move(text_);
  }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    text_ += traits_type::to_char_type(c);
    written();
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text_.append(s, static_cast<std::size_t>(n));
    written();
    return n;
  }

 private:
  static constexpr std::size_t kPart = std::size_t{64} << 10;
  static constexpr std::size_t kCountBatch = std::size_t{4} << 10;

  void written() {
    if (streaming_) {
      if (text_.size() >= std::min(kPart, held_.most())) hand_on();
      return;
    }
    if (text_.size() - counted_ < std::min(kCountBatch, held_.most())) return;
    const bool full = held_.hold(text_.size() - counted_);
    counted_ = text_.size();
    if (full) hand_on();
  }

  // Hands on what it holds, but a marker cut short; from then on it streams,
  // holding nothing counted.
  void hand_on() {
    const std::size_t whole = numeral::whole_prefix(text_);
    // The part takes the buffer along, so that what stays holds no more room than it needs.
    std::string part = std::move(text_);
    text_.assign(part, whole);
    part.resize(whole);
    hand_on_(std::move(part));
    held_.release(counted_);
    counted_ = 0;
    streaming_ = true;
  }

  HeldOutput& held_;
  std::function<void(std::string)> hand_on_;
  std::string text_;
  std::size_t counted_ = 0;  // the bytes of text_ counted as held
  bool streaming_ = false;   // its turn has come: what it writes goes on at once
};

// The depth-first walk of the run down to the split depth, one piece at a time.
// It searches with the run's own core, which it holds while it lives.
class Walker : private SearchHooks {
 public:
  Walker(SearchState& run, const ObserverFactory& observer_for, std::int64_t chunk_levels)
      : run_(run),
        chunk_levels_(chunk_levels),
        observer_(observer_for(out_)),
        search_(walk_, *observer_, {this, run.options.prune_dead_ends}),
        // The walk's core is the run's, which it holds while it lives.
        sessions_(run, *run.core, walk_.formulas) {
    walk_.options = run.options;
    walk_.options.feedback = false;
    walk_.core = std::move(run.core);
    walk_.starting_nodes = run.starting_nodes;
  }
  ~Walker() { run_.core = std::move(walk_.core); }
  Walker(const Walker&) = delete;
  Walker& operator=(const Walker&) = delete;

  bool done() const { return done_; }

  // Takes back a chunk that a thread has searched: its terms are the walker's,
  // whose handles only the walker's turns may count (see Handle), so it is
  // dropped at the start of the walker's next turn.
  void retire(Chunk chunk) {
    const std::lock_guard<std::mutex> retiring(retired_mutex_);
    retired_.push_back(std::move(chunk));
  }
  const Knowledge& initial_knowledge() const { return walk_.core->initial_knowledge(); }

  // The walk up to the next chunk's root, and that chunk; the last piece has none.
  Piece next() {
    drop_retired();
    Piece piece;
    piece.number = pieces_++;
    const std::int64_t index = 2 * piece.number;
    begin_segment(walk_, index);
    out_.str("");
    try {
      piece.chunk = walk_to_chunk(index, piece.walk);
      account_reduction(piece.walk);
      piece.walk.tally = tally_of(walk_, index);
    } catch (...) {
      piece.walk.failure = std::current_exception();
      piece.chunk.reset();
    }
    if (!piece.chunk) done_ = true;
    piece.chunked = piece.chunk.has_value();
    piece.walk.index = index;
    piece.walk.session = session_index_;
    piece.walk.output = out_.str();
    for (const Frame& frame : search_.stack()) {
      if (frame.segment >= 0) piece.walk.live.push_back(frame.segment);
    }
    piece.walk.live.push_back(index);
    std::sort(piece.walk.live.begin(), piece.walk.live.end());
    piece.walk.live.erase(std::unique(piece.walk.live.begin(), piece.walk.live.end()),
                          piece.walk.live.end());
    return piece;
  }

 private:
  // Drops the retired chunks, here, on the walker's turn.
  void drop_retired() {
    std::vector<Chunk> retired;
    const std::lock_guard<std::mutex> taking(retired_mutex_);
    retired.swap(retired_);
  }

  // Chunks are cut at the split depth, while segment numbers last.
  bool pause_at(const std::vector<Frame>& stack, const NodeRef&) override {
    return stack.back().depth + 1 >= split_depth_ && pieces_ < kMaxPieces;
  }

  // The walk to the next chunk. Where the reduction does not hold, the walk
  // ends: the segments tell, and the run is to be searched again without it.
  std::optional<Chunk> walk_to_chunk(std::int64_t index, Segment& walk) {
    search_.set_segment(index);
    while (true) {
      if (search_.stack().empty() && !open_next_start(walk)) return std::nullopt;
      NodeRef child;
      const SubtreeEnd end = search_.run(&child);
      if (end == SubtreeEnd::Paused) {
        const auto j = static_cast<std::size_t>(session_index_);
        return Chunk{std::move(child),
                     start_,
                     current_initial(),
                     reduction_ ? std::optional(reduction_->alike()) : std::nullopt,
                     walk_.formulas,
                     run_.starting_nodes[j],
                     run_.trace_lengths[j] - (search_.stack().back().depth + 1)};
      }
      if (end == SubtreeEnd::OrderMatters) return std::nullopt;
    }
  }

  std::int64_t current_initial() const { return static_cast<std::int64_t>(next_initial_) - 1; }

  // Adds what the reduction left out since it was last accounted for to the
  // walk's counts and to its segment walk.
  void account_reduction(Segment& walk) {
    if (!reduction_) return;
    const std::int64_t moves = reduction_->moves_left_out() - moves_accounted_;
    moves_accounted_ = reduction_->moves_left_out();
    walk_.counts.moves_left_out += moves;
    walk.reductions.push_back(
        ReductionTally{session_index_, current_initial(), moves, reduction_->order_matters()});
  }

  // Puts the next initial node on the stack, opening the next session with
  // initial nodes when the current one has no more; false at the end of the run.
  bool open_next_start(Segment& walk) {
    account_reduction(walk);
    while (!sessions_.is_open() || next_initial_ == sessions_.initial().size()) {
      if (!sessions_.open_next()) return false;
      const std::size_t j = sessions_.index();
      walk_.subtree_index = static_cast<std::int64_t>(j);
      session_index_ = static_cast<std::int64_t>(j);
      split_depth_ = std::max<std::int64_t>(1, run_.trace_lengths[j] - chunk_levels_);
      next_initial_ = 0;
    }
    start_ = sessions_.initial()[next_initial_++];
    if (run_.options.symmetry_reduction) {
      reduction_.emplace(start_, walk_.formulas);
      moves_accounted_ = 0;
    }
    search_.start(start_, reduction_ ? &*reduction_ : nullptr);
    return true;
  }

  SearchState& run_;
  const std::int64_t chunk_levels_;
  SearchState walk_;  // the walk's segment: its counters, core and reports' context
  std::ostringstream out_;
  std::unique_ptr<SearchObserver> observer_;
  DepthFirst search_;
  SessionWalk sessions_;
  std::int64_t session_index_ = 0;
  std::int64_t split_depth_ = 1;
  std::size_t next_initial_ = 0;
  InitialNode start_;
  std::optional<InterchangeableInstances> reduction_;  // below start_
  std::int64_t moves_accounted_ = 0;
  std::int64_t pieces_ = 0;
  bool done_ = false;
  std::mutex retired_mutex_;
  std::vector<Chunk> retired_;
};

std::shared_ptr<const std::vector<ConstraintStore>> private_copy(
    const std::vector<ConstraintStore>& stores, TermCopier& copier) {
  auto copy = std::make_shared<std::vector<ConstraintStore>>();
  for (const ConstraintStore& store : stores) {
    std::vector<Constraint> constraints;
    constraints.reserve(store.size());
    for (const Constraint& c : store) {
      constraints.push_back(Constraint{copier.copy(c.variable), copier.copy(c.term), c.kind});
    }
    copy->emplace_back(std::move(constraints));
  }
  return copy;
}

LaidOutClauses private_copy(const LaidOutClauses& formula, TermCopier& copier) {
  const std::function<Message(const Message&)> copy = [&copier](const Message& m) {
    return copier.copy(m);
  };
  ClauseList clauses;
  for (const Clause& clause : formula.clauses()) {
    Clause& c = clauses.emplace_back();
    for (const Formula& literal : clause) c.push_back(map_literal_terms(literal, copy));
  }
  return LaidOutClauses(std::move(clauses), formula.screen().with_terms(copy));
}

// What a chunk's thread searches: private copies of the chunk's path, of its
// starting node (on that path), formulas and stores, and of the initial knowledge.
struct PrivateChunk {
  NodeRef root;
  NodeRef session;
  NodeRef initial;  // the chunk's initial node
  std::vector<LaidOutClauses> formulas;
  std::shared_ptr<const std::vector<ConstraintStore>> stores;
  Knowledge initial_knowledge;
};

PrivateChunk private_copy(const Chunk& chunk, const Knowledge& initial_knowledge) {
  TermCopier copier;  // its table of copies goes once they are made
  PrivateChunk c;
  c.initial_knowledge = private_copy(initial_knowledge, copier);
  c.root = private_copy_of_path(chunk.root, copier);
  c.session = c.root;
  while (c.session->id() != chunk.session->id()) c.session = c.session->parent();
  c.initial = c.root;
  while (c.initial->id() != chunk.start.node->id()) c.initial = c.initial->parent();
  for (const LaidOutClauses& formula : chunk.formulas) {
    c.formulas.push_back(private_copy(formula, copier));
  }
  c.stores = private_copy(*chunk.start.stores, copier);
  return c;
}

// The search of one chunk as segment index, with a core of its own in which the
// knowledge of the chunk's path is found by its kid as in the run's. Its output
// goes to output, which may hand parts of it on before the search ends.
Segment search_chunk(const Chunk& chunk, std::int64_t index, std::int64_t session,
                     const SearchOptions& options, const Knowledge& initial_knowledge,
                     const ObserverFactory& observer_for, ChunkOutput& output) {
  std::ostream out(&output);
  // What output throws (the run stopped) ends the search instead of muting the stream.
  out.exceptions(std::ios::badbit);
  const std::unique_ptr<SearchObserver> observer = observer_for(out);
  Segment segment;
  segment.index = index;
  try {
    PrivateChunk c = private_copy(chunk, initial_knowledge);
    SearchState s;
    s.options = options;
    s.options.feedback = false;
    s.core = std::make_unique<SymbolicCore>();
    s.core->set_initial_knowledge(c.initial_knowledge);
    KnowledgeManager& mgr = s.core->knowledge_manager();
    adopt_knowledge(mgr, c.initial_knowledge);
    for (const Node* n = c.root.get(); n != nullptr; n = n->parent().get()) {
      if (!is_absent(n->status().knowledge)) adopt_knowledge(mgr, n->status().knowledge);
    }
    s.formulas = std::move(c.formulas);
    // The chunk's own starting node is the only one it knows, at its place in
    // the run, with its trace length as seen from the chunk's root.
    s.starting_nodes.resize(static_cast<std::size_t>(session) + 1);
    s.starting_nodes.back() = c.session;
    s.trace_lengths.resize(static_cast<std::size_t>(session) + 1);
    s.trace_lengths.back() = chunk.moves_below;
    s.subtree_index = session;
    begin_segment(s, index);
    const InitialNode initial{c.initial, c.stores};
    std::optional<InterchangeableInstances> reduction;
    if (chunk.alike) reduction.emplace(initial, *chunk.alike);
    // States merge within the chunk, where their memo is its own.
    std::optional<StateMerging> merging;
    if (options.merge_states && options.mode == OutputMode::Verify) {
      merging.emplace(s, initial, reduction ? &*reduction : nullptr);
    }
    DepthFirst search(s, *observer, {merging ? &*merging : nullptr, options.prune_dead_ends});
    search.start(InitialNode{c.root, c.stores}, reduction ? &*reduction : nullptr);
    search.run();
    if (reduction) {
      s.counts.moves_left_out += reduction->moves_left_out();
      segment.reductions.push_back(ReductionTally{
          session, chunk.initial, reduction->moves_left_out(), reduction->order_matters()});
    }
    segment.tally = tally_of(s, index);
  } catch (...) {
    segment.failure = std::current_exception();
  }
  segment.output = output.rest();
  return segment;
}

// Searches the chunk of piece p, handing its output on in parts once the held
// output is full and the pieces before p are handed on.
void search_piece(Piece& p, const SearchState& run, const Knowledge& initial_knowledge,
                  const ObserverFactory& observer_for, Delivery& delivery) {
  const std::int64_t index = 2 * p.number + 1;
  // The chunk's segment is the walk's continuation: same session, same open nodes.
  const std::int64_t session = p.walk.session;
  std::vector<std::int64_t> live = p.walk.live;
  ChunkOutput output(delivery.held(), [&](std::string text) {
    Segment part;
    part.index = index;
    part.session = session;
    part.output = std::move(text);
    part.more = true;
    if (!delivery.hand_on_part(p, std::move(part))) throw Abandoned{};
  });
  p.searched =
      search_chunk(*p.chunk, index, session, run.options, initial_knowledge, observer_for, output);
  p.searched.session = session;
  p.searched.live = std::move(live);
}

// The run's threads: each cuts the next piece from the walk, under the
// walker's lock, and searches it at once, then hands it to the delivery. A
// piece is therefore searched by the thread that cut it, as soon as it is cut,
// which is what the delivery's waits rely on (see Delivery). The thread that
// starts the run is the first; another starts when a piece with a chunk is cut
// and fewer than the most threads run, so that a run the walker does alone
// starts none.
class Workers {
 public:
  Workers(Walker& walker, Delivery& delivery, int most, std::function<void(Piece&)> search,
          std::function<bool(const Piece&)> owned)
      : walker_(walker),
        delivery_(delivery),
        most_(most),
        search_(std::move(search)),
        owned_(std::move(owned)) {}

  // Works with the run's threads until the last piece is handed on or the run
  // fails; returns the number of pieces cut.
  std::int64_t run() {
    work();
    // Threads are started only by threads that run, under the lock; once the
    // first thread is done, none starts any more.
    std::vector<std::thread> started;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      started.swap(threads_);
    }
    for (std::thread& t : started) t.join();
    return pieces_;
  }

 private:
  // Cuts and searches pieces until there are none left or the run stops.
  void work() {
    while (std::unique_ptr<Piece> piece = cut()) {
      try {
        if (piece->chunk && owned_(*piece) && !delivery_.stopped()) search_(*piece);
      } catch (...) {
        delivery_.fail(std::current_exception());
      }
      // Nothing may escape here: a piece that never reached finished() would
      // leave every later one waiting for its turn.
      try {
        if (piece->chunk) walker_.retire(std::move(*piece->chunk));
        piece->chunk.reset();
        delivery_.finished(std::move(piece));
      } catch (...) {
        delivery_.fail(std::current_exception());
      }
    }
  }

  // The next piece, or none at the end of the run.
  std::unique_ptr<Piece> cut() {
    const std::lock_guard<std::mutex> lock(mutex_);
    try {
      if (walker_.done() || !delivery_.wait_for_room(pieces_)) return nullptr;
      auto piece = std::make_unique<Piece>(walker_.next());
      ++pieces_;
      if (piece->chunk && static_cast<int>(threads_.size()) + 1 < most_) {
        threads_.emplace_back([this] { work(); });
      }
      return piece;
    } catch (...) {
      delivery_.fail(std::current_exception());
      return nullptr;
    }
  }

  Walker& walker_;
  Delivery& delivery_;
  const int most_;
  const std::function<void(Piece&)> search_;
  const std::function<bool(const Piece&)> owned_;
  std::mutex mutex_;  // the walker's, and the threads'
  std::vector<std::thread> threads_;
  std::int64_t pieces_ = 0;
};

}  // namespace

std::int64_t run_parallel(SearchState& state, const ObserverFactory& observer_for,
                          const ParallelOptions& options, SegmentSink& sink) {
  // The hunt stops at its first attack, which the threads would race for.
  if (state.options.goal_directed) {
    throw std::invalid_argument(
        "the threaded search explores every run: it takes no hunt for a first attack");
  }
  state.times.search_time = process_seconds();
  if (state.options.feedback) *state.progress.out << "\n\nSearching...\n\n" << std::flush;
  std::int64_t pieces = 0;
  std::exception_ptr failure;
  {
    Walker walker(state, observer_for, options.chunk_levels);
    const Knowledge initial_knowledge = walker.initial_knowledge();
    const auto owned = [&](const Piece& p) { return p.number % options.shards == options.shard; };
    // More threads than the machine runs at once would only take turns.
    const int threads = std::clamp(options.threads, 1, usable_cores());
    Delivery delivery(sink, kPiecesPerThread * threads, options.held_output, owned);
    Workers workers(
        walker, delivery, threads,
        [&](Piece& p) { search_piece(p, state, initial_knowledge, observer_for, delivery); },
        owned);
    pieces = workers.run();
    failure = delivery.failure();
  }
  if (failure) std::rethrow_exception(failure);
  state.subtree_index = static_cast<std::int64_t>(state.starting_nodes.size()) - 1;
  print_progress(state, true);
  state.times.search_time = process_seconds() - state.times.search_time;
  return pieces;
}

RenumberingWriter::RenumberingWriter(SearchState& state, std::ostream& out)
    : state_(state),
      out_(out),
      numbers_(state.node_ids.last(), state.core->knowledge_manager().last_kid()) {}

void RenumberingWriter::take(Segment segment) {
  text_.clear();
  state_.subtree_index = segment.session;
  try {
    numbers_.add(segment, state_, text_);
  } catch (...) {
    out_ << text_;
    throw;
  }
  out_ << text_ << std::flush;
  // A large segment's room is not kept for the small ones that mostly follow.
  if (text_.capacity() > kKeptRoom) std::string().swap(text_);
  print_progress(state_);
}

}  // namespace analyser::search
