// SPDX-License-Identifier: Apache-2.0
#include "ComputeAll.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "ChunkPipeline.h"
#include "ProgressBar.h"

namespace eurocall::tool {

namespace {

// Requests per chunk: a Heston volatility takes tens of microseconds, so a few make a
// chunk worth handing over, and a smile of a few dozen strikes still spreads.
constexpr std::size_t kChunkRequests = 4;

class RequestChunk : public Chunk {
 public:
  RequestChunk(const std::vector<Export>& exports, const Request* first, std::size_t count, double* results)
      : exports_(exports), first_(first), count_(count), results_(results) {}

  bool Work(const Library& library) override {
    const std::size_t width = exports_.size();
    return calls_.Run(library, exports_, count_, [&](std::size_t j, std::size_t i) {
      results_[i * width + j] = Compute(library, exports_[j], first_[i]);
    });
  }

  std::size_t count() const { return count_; }

 private:
  const std::vector<Export>& exports_;
  const Request* first_;
  std::size_t count_;
  double* results_;  // of the first request; the chunk's rows follow
  ChunkCalls calls_;
};

}  // namespace

std::vector<double> ComputeAll(const Library& library, const std::vector<Export>& exports,
                               const std::vector<Request>& requests, unsigned threads, bool progress) {
  const std::size_t width = exports.size();
  std::vector<double> results(requests.size() * width);
  ChunkPipeline pipeline(library, threads);
  ProgressBar bar(progress);
  std::size_t done = 0;
  const auto update = [&] {
    bar.Update(done, requests.size(), double(done) / double(std::max<std::size_t>(requests.size(), 1)), std::nan(""));
  };
  for (std::size_t i = 0; i < requests.size(); i += kChunkRequests) {
    const std::size_t count = std::min(kChunkRequests, requests.size() - i);
    pipeline.Give(std::make_unique<RequestChunk>(exports, &requests[i], count, &results[i * width]));
  }
  while (const std::unique_ptr<Chunk> chunk = pipeline.TakeOldest(update)) {
    done += static_cast<const RequestChunk&>(*chunk).count();
    update();
  }
  return results;
}

}  // namespace eurocall::tool
