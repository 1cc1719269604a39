// The parallel search: the run's search on several threads, or a share of it in
// one of several processes, with output that joins into exactly that of run().
//
// A walker goes through the run depth first, as run() does, down to a split
// depth a few levels above the leaves, and cuts it into pieces: each piece is a
// segment of the walker's own (the nodes it made since the last piece, and the
// leaves among them) and the subtree below the node it stopped at, a chunk,
// searched as a segment of its own. Chunks are searched on a pool of threads,
// each with a symbolic core of its own and a private copy of its path, and the
// segments are handed on in order once all before them are done (see
// segments.h for how they are renumbered).
//
// At most a few pieces per thread are in flight: when the oldest unfinished
// piece holds things up, the threads that ran ahead wait. A chunk holds its
// output until the pieces before it are handed on; once the chunks hold as
// much as they may between them, a chunk's thread waits for its turn and then
// hands its output on in parts as it goes, so that memory stays bounded
// however much a run writes.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>

#include "search/search.h"
#include "search/segments.h"

namespace analyser::search {

// How the run is cut: chunks are the subtrees rooted this many levels above a
// session's deepest leaves. Small enough that a few of them per thread keep
// every thread busy, large enough that the walker's own share and the cost of
// setting up a chunk (copying its path) stay small. Shards of one run must cut
// it alike, so a shard file's fingerprint covers it.
inline constexpr std::int64_t kChunkLevels = 9;

// The observer that writes one segment's reports on out. Its stop_requested is
// not consulted: a parallel search always runs to its end (or a failure).
using ObserverFactory = std::function<std::unique_ptr<SearchObserver>(std::ostream& out)>;

// Where the parallel search hands its segments, in order.
class SegmentSink {
 public:
  virtual ~SegmentSink() = default;
  // Throwing ends the search; the exception is thrown on by run_parallel.
  virtual void take(Segment segment) = 0;
};

struct ParallelOptions {
  int threads = 1;
  // The share of the work to do: the pieces k with k % shards == shard.
  std::int64_t shards = 1;
  std::int64_t shard = 0;
  // Chunks are the subtrees rooted this many levels above a session's deepest
  // leaves (shards of one run must cut it alike).
  std::int64_t chunk_levels = kChunkLevels;
  // The most output, in bytes, the chunks hold between them while pieces
  // before them are unfinished.
  std::size_t held_output = std::size_t{2} << 20;
};

// The search of run(), on options.threads threads, handing each segment of the
// share to sink in order. After the last segment (or one that failed), state
// holds the run's timing and progress fields; the counts are the sink's to add.
// Returns the number of pieces the run was cut into. Throws invalid_argument
// when state's options ask for the hunt for a first attack, which it does not
// do. Under the symmetry reduction, the sink's Renumbering tells whether the
// reduction held (Renumbering::reduction_failed).
std::int64_t run_parallel(SearchState& state, const ObserverFactory& observer_for,
                          const ParallelOptions& options, SegmentSink& sink);

// A sink that renumbers the segments of a whole run into out and state, and
// draws the progress display as they come.
class RenumberingWriter : public SegmentSink {
 public:
  // state as the join left it.
  RenumberingWriter(SearchState& state, std::ostream& out);
  void take(Segment segment) override;

 private:
  SearchState& state_;
  std::ostream& out_;
  Renumbering numbers_;
  std::string text_;  // reused buffer
};

}  // namespace analyser::search
