// SPDX-License-Identifier: Apache-2.0
// The exact Heston price keeps the adaptive integrator's work arrays (about 18 KB) on
// the stack of the call. Hosts run pricing on worker threads with small stacks, so the
// exact price and its volatility must run on a 64 KiB stack and give there, bit for bit,
// what they give on the main thread.
#include <dlfcn.h>
#include <pthread.h>

#include <cstddef>

#include <gtest/gtest.h>

#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

using Fn9 = double (*)(double, double, double, double, double, double, double, double, double);

// Enough even under the sanitize preset, with its red zones and unoptimised frames.
constexpr std::size_t kStackBytes = 64 * 1024;

struct Job {
  Fn9 exact;
  Fn9 volExact;
  double args[9];
  double price;
  double vol;
};

void* RunJob(void* p) {
  Job& job = *static_cast<Job*>(p);
  const double* a = job.args;
  job.price = job.exact(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
  job.vol = job.volExact(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
  return nullptr;
}

TEST(BoundedStack, ExactHestonPriceRunsOnA64KiBStack) {
  void* lib = dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  const auto exact = reinterpret_cast<Fn9>(dlsym(lib, "HestonCall_exact"));
  const auto volExact = reinterpret_cast<Fn9>(dlsym(lib, "HestonVol_exact"));
  ASSERT_TRUE(exact && volExact);

  // The work arrays are reserved on entry to the integrator whatever the integrand, so
  // any request reaches the deepest frame; two ordinary ones.
  const Job requests[] = {
      {exact, volExact, {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7}, 0, 0},
      {exact, volExact, {100, 110, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3}, 0, 0},
  };
  for (const Job& request : requests) {
    Job onMain = request;
    RunJob(&onMain);

    Job onSmall = request;
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, kStackBytes), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, RunJob, &onSmall), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);

    EXPECT_TRUE(BitExact(onSmall.price, onMain.price));
    EXPECT_TRUE(BitExact(onSmall.vol, onMain.vol));
  }
  dlclose(lib);
}

}  // namespace
}  // namespace eurocall
