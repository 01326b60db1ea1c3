#include "Evaluate.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace eurocall::tool {

namespace {

using Clock = std::chrono::steady_clock;

class ProgressBar {
 public:
  explicit ProgressBar(std::size_t total) : total_(total), start_(Clock::now()) {}

  // Draws the bar once the job has run long enough for one to be worth having.
  void Update(std::size_t done) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    if (elapsed < 0.5 || done == 0) return;
    const double rate = double(done) / elapsed;
    const double left = double(total_ - done) / rate;
    constexpr int kWidth = 30;
    const int filled = int(double(kWidth) * double(done) / double(total_));
    std::string bar(std::size_t(filled), '=');
    bar.resize(kWidth, ' ');
    const long seconds = long(left + 0.5);
    std::fprintf(stderr, "\r[%s] %zu/%zu rows  %.0f rows/s  %ld:%02ld left ", bar.c_str(), done, total_, rate,
                 seconds / 60, seconds % 60);
    std::fflush(stderr);
    drawn_ = true;
  }

  void Finish() {
    if (drawn_) std::fprintf(stderr, "\r%*s\r", 80, "");
  }

 private:
  std::size_t total_;
  Clock::time_point start_;
  bool drawn_ = false;
};

}  // namespace

unsigned DefaultThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

std::vector<double> Evaluate(const Library& library, const std::vector<Export>& exports,
                             const std::vector<Values>& rows, unsigned threads, bool progress) {
  const std::size_t width = exports.size();
  std::vector<double> results(rows.size() * width);
  if (rows.empty()) return results;
  threads = unsigned(std::clamp<std::size_t>(threads, 1, rows.size()));

  std::atomic<std::size_t> next{0}, done{0};
  std::mutex m;
  std::condition_variable finished;
  unsigned lanesLeft = threads;

  // Works through rows until none are left (returns false) or until this thread's
  // error indicator is set (returns true: the lane starts a fresh thread).
  auto work = [&]() -> bool {
    for (;;) {
      const std::size_t i = next.fetch_add(1);
      if (i >= rows.size()) return false;
      for (std::size_t j = 0; j < width; ++j) results[i * width + j] = library.Call(exports[j], rows[i]);
      done.fetch_add(1);
      if (!library.ThreadIsClean()) return true;
    }
  };
  auto lane = [&] {
    bool fresh = true;
    while (fresh) std::thread([&] { fresh = work(); }).join();
    std::lock_guard<std::mutex> lock(m);
    if (--lanesLeft == 0) finished.notify_one();
  };

  std::vector<std::thread> lanes;
  for (unsigned t = 0; t < threads; ++t) lanes.emplace_back(lane);
  {
    ProgressBar bar(rows.size());
    std::unique_lock<std::mutex> lock(m);
    while (!finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return lanesLeft == 0; })) {
      if (progress) bar.Update(done.load());
    }
    if (progress) bar.Finish();
  }
  for (std::thread& t : lanes) t.join();
  return results;
}

}  // namespace eurocall::tool
