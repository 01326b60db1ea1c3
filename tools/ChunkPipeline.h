// SPDX-License-Identifier: Apache-2.0
// Work done in chunks by worker threads and handed back in the order it was given, so
// that a stream of rows is computed in parallel and written in input order with only
// the chunks in flight in memory.
//
// Each chunk's results depend on the chunk alone. The one state a call leaves behind is
// the library's per-thread maths error indicator (once set, every integrand value on
// that thread is 0): a chunk stops right after the call that set it, the thread is
// retired, and a fresh one goes on with the rest. So every call starts on a thread
// whose indicator is clear, and the results are the same bit for bit for every number
// of threads.
#ifndef EUROCALL_TOOLS_CHUNKPIPELINE_H
#define EUROCALL_TOOLS_CHUNKPIPELINE_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Exports.h"
#include "Library.h"

namespace eurocall::tool {

class Chunk {
 public:
  virtual ~Chunk() = default;
  // Does the chunk's work, or what is left of it. True when done; false when it stopped
  // because the calling thread's error indicator is set, to go on on a fresh thread.
  virtual bool Work(const Library& library) = 0;
};

// The calls of a chunk, export by export and row by row within an export (the order
// in which one array call per export could take them over), resumable where a call
// set the error indicator.
class ChunkCalls {
 public:
  // result(j, i) = call(j, i) for every export j of `exports` and row i < rows that is
  // not computed yet; false if it stopped after a call that set the indicator.
  bool Run(const Library& library, const std::vector<Export>& exports, std::size_t rows,
           const std::function<void(std::size_t j, std::size_t i)>& call);

 private:
  std::size_t next_ = 0;  // j * rows + i of the next call
};

class ChunkPipeline {
 public:
  ChunkPipeline(const Library& library, unsigned threads);
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;
  // Drops the chunks no worker has started, waits for the others and stops the workers.
  ~ChunkPipeline();

  // Chunks given and not taken back yet.
  std::size_t InFlight() const;
  void Give(std::unique_ptr<Chunk> chunk);
  // The oldest chunk given and not taken back, once it is done, or nullptr if there is
  // none. `waiting` is called about every 100 ms until then.
  std::unique_ptr<Chunk> TakeOldest(const std::function<void()>& waiting);

 private:
  struct Slot {
    std::unique_ptr<Chunk> chunk;
    bool done = false;
  };
  void Lane();
  bool Serve(Slot** current);

  const Library& library_;
  mutable std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<Slot> order_;   // given, not taken back; a deque keeps their addresses
  std::deque<Slot*> queue_;  // given, not started
  bool closing_ = false;
  std::vector<std::thread> lanes_;
};

// Every core the machine reports, at least 1.
unsigned DefaultThreads();

}  // namespace eurocall::tool

#endif
