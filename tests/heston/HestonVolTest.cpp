// SPDX-License-Identifier: Apache-2.0
// HestonVol_fast and HestonVol_exact: the search on the Heston price of the same
// arguments, the sentinels of the search on that price, and agreement with BSVol's search.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "blackscholes/blackscholes.h"
#include "heston/heston.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(HestonVol, SentinelsComeFromTheTargetAlone) {
  // The search each volatility runs on its Heston price, here on given targets.
  struct Case {
    const char* what;
    double target, expected;
  };
  const double atTwo = BSCall(100, 100, 1, 0.05, 2.0);
  const double atLow = BSCall(100, 100, 1, 0.05, 0.001);
  const Case cases[] = {
      {"NaN price", kNaN, 2.0},
      {"price equal to BSCall at 2", atTwo, 2.0},
      {"price equal to BSCall at 0.001", atLow, 0.001},
      {"price above BSCall at 2", 80.0, 2.0},
      {"price below BSCall at 0.001", 1.0, 2.0},
      {"negative price", -1.0, 2.0},
      {"zero price", 0.0, 2.0},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(BitExact(ImpliedVolSearch(100, 100, 1, 0.05, c.target, 5e-15, 100), c.expected)) << c.what << ", fast";
    EXPECT_TRUE(BitExact(ImpliedVolSearch(100, 100, 1, 0.05, c.target, 5e-16, 200), c.expected)) << c.what << ", exact";
  }
}

// Requests across moneyness, maturity and the three parameter sets of the reference data.
struct Request {
  double S, K, T, r, v0, theta, kappa, sigma, rho;
};
std::vector<Request> Requests() {
  std::vector<Request> out;
  const double sets[3][5] = {{0.04, 0.04, 1.5, 0.3, -0.7}, {0.09, 0.04, 2, 0.6, 0.3}, {0.01, 0.09, 0.5, 1.0, -0.9}};
  for (const auto& p : sets)
    for (double K : {70.0, 100.0, 130.0})
      for (double T : {0.25, 1.0, 4.0}) out.push_back({100, K, T, 0.03, p[0], p[1], p[2], p[3], p[4]});
  return out;
}

TEST(HestonVol, ExactEqualsBSVolOnTheSameTargetWhereBSVolAccepts) {
  int compared = 0;
  for (const Request& q : Requests()) {
    const double target = HestonCall_exact(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
    const double bs = BSVol(q.S, q.K, q.T, q.r, target);
    if (bs == 0.0 || bs == 2.0 || bs == 999.0) continue;
    ++compared;
    EXPECT_TRUE(BitExact(HestonVol_exact(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho), bs))
        << "K " << q.K << " T " << q.T;
  }
  EXPECT_GT(compared, 20);
}

TEST(HestonVol, FastAndExactSearchesAgreeWithinTheirTolerances) {
  // Each result lies within about 1.2e-7 of the same root, relative to the volatility.
  for (const Request& q : Requests()) {
    const double target = HestonCall_fast(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
    const double a = ImpliedVolSearch(q.S, q.K, q.T, q.r, target, 5e-15, 100);
    const double b = ImpliedVolSearch(q.S, q.K, q.T, q.r, target, 5e-16, 200);
    if (a == 2.0 || a == 999.0) {
      EXPECT_TRUE(BitExact(b, a));
      continue;
    }
    EXPECT_LE(std::fabs(a - b), 2.4e-7 * b) << "K " << q.K << " T " << q.T;
    EXPECT_TRUE(BitExact(HestonVol_fast(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho), a));
  }
}

}  // namespace
}  // namespace eurocall
