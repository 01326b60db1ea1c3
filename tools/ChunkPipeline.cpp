// SPDX-License-Identifier: Apache-2.0
#include "ChunkPipeline.h"

#include <algorithm>
#include <chrono>

namespace eurocall::tool {

bool ChunkCalls::Run(const Library& library, const std::vector<Export>& exports, std::size_t rows,
                     const std::function<void(std::size_t, std::size_t)>& call) {
  const std::size_t total = exports.size() * rows;
  while (next_ < total) {
    const std::size_t j = next_ / rows, i = next_ % rows;
    call(j, i);
    ++next_;
    if (Info(exports[j]).setsErrorIndicator && !library.ThreadIsClean()) return false;
  }
  return true;
}

ChunkPipeline::ChunkPipeline(const Library& library, unsigned threads) : library_(library) {
  for (unsigned t = 0; t < std::max(threads, 1u); ++t) lanes_.emplace_back([this] { Lane(); });
}

ChunkPipeline::~ChunkPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    queue_.clear();
  }
  work_.notify_all();
  for (std::thread& t : lanes_) t.join();
}

// A lane is one worker at a time: a worker that stops on a set error indicator is
// joined and a fresh one takes over its chunk.
void ChunkPipeline::Lane() {
  Slot* current = nullptr;
  bool retired = true;
  while (retired) std::thread([&] { retired = Serve(&current); }).join();
}

bool ChunkPipeline::Serve(Slot** current) {
  for (;;) {
    if (*current == nullptr) {
      std::unique_lock<std::mutex> lock(mutex_);
      work_.wait(lock, [&] { return closing_ || !queue_.empty(); });
      if (queue_.empty()) return false;
      *current = queue_.front();
      queue_.pop_front();
    }
    if (!(*current)->chunk->Work(library_)) return true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      (*current)->done = true;
    }
    done_.notify_all();
    *current = nullptr;
  }
}

std::size_t ChunkPipeline::InFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return order_.size();
}

void ChunkPipeline::Give(std::unique_ptr<Chunk> chunk) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    order_.push_back(Slot{std::move(chunk), false});
    queue_.push_back(&order_.back());
  }
  work_.notify_one();
}

std::unique_ptr<Chunk> ChunkPipeline::TakeOldest(const std::function<void()>& waiting) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (order_.empty()) return nullptr;
  while (!order_.front().done) {
    if (!done_.wait_for(lock, std::chrono::milliseconds(100), [&] { return order_.front().done; })) {
      lock.unlock();
      waiting();
      lock.lock();
    }
  }
  std::unique_ptr<Chunk> chunk = std::move(order_.front().chunk);
  order_.pop_front();
  return chunk;
}

unsigned DefaultThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

}  // namespace eurocall::tool
