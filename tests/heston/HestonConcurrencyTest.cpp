// SPDX-License-Identifier: Apache-2.0
// Exact prices and volatilities on several threads at once: each thread's results are
// bit-identical to the same calls made alone, so no thread sees another's parameters.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "heston/heston.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

struct Option {
  double S, K, T, r, v0, theta, kappa, sigma, rho;
};

// Thread t prices its own options: strikes, maturities and parameters differ per thread,
// so a leaked record changes results.
std::vector<Option> OptionsOfThread(int t) {
  std::vector<Option> out;
  for (int i = 0; i < 6; ++i) {
    out.push_back({100.0, 80.0 + 8.0 * i + t, 0.25 + 0.5 * t, 0.01 * t, 0.02 + 0.01 * t, 0.05 - 0.005 * i,
                   1.0 + 0.5 * t, 0.2 + 0.1 * t, -0.8 + 0.25 * t});
  }
  return out;
}

TEST(HestonConcurrency, ExactPricesOnManyThreadsMatchTheSameCallsAlone) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 8;
  std::vector<std::vector<double>> alone(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    for (const Option& o : OptionsOfThread(t)) {
      alone[t].push_back(HestonCall_exact(o.S, o.K, o.T, o.r, o.v0, o.theta, o.kappa, o.sigma, o.rho));
      alone[t].push_back(HestonVol_exact(o.S, o.K, o.T, o.r, o.v0, o.theta, o.kappa, o.sigma, o.rho));
    }
  }
  std::vector<std::vector<double>> together(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &together] {
      for (int round = 0; round < kRounds; ++round) {
        for (const Option& o : OptionsOfThread(t)) {
          together[t].push_back(HestonCall_exact(o.S, o.K, o.T, o.r, o.v0, o.theta, o.kappa, o.sigma, o.rho));
          together[t].push_back(HestonVol_exact(o.S, o.K, o.T, o.r, o.v0, o.theta, o.kappa, o.sigma, o.rho));
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(together[t].size(), alone[t].size() * kRounds);
    for (std::size_t i = 0; i < together[t].size(); ++i) {
      EXPECT_TRUE(BitExact(together[t][i], alone[t][i % alone[t].size()])) << "thread " << t << " result " << i;
    }
  }
}

}  // namespace
}  // namespace eurocall
