// HestonVol_fast and HestonVol_exact: one Heston price before any Black–Scholes price,
// the sentinels of the search on that price, and agreement with BSVol's search.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "blackscholes/blackscholes.h"
#include "heston/HestonVolCore.h"
#include "heston/heston.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(HestonVol, PricesHestonOnceWithTheArgumentsInOrderBeforeTheSearch) {
  std::vector<std::vector<double>> hestonCalls;
  std::vector<std::vector<double>> bsCalls;
  const double result = HestonVolCore(
      [&](double S, double K, double T, double r, double v0, double theta, double kappa, double sigma, double rho) {
        EXPECT_TRUE(bsCalls.empty()) << "the Heston price comes first";
        hestonCalls.push_back({S, K, T, r, v0, theta, kappa, sigma, rho});
        return BSCall(S, K, T, r, 0.3);
      },
      [&](double S, double K, double T, double r, double vol) {
        bsCalls.push_back({S, K, T, r, vol});
        return BSCall(S, K, T, r, vol);
      },
      101, 99, 0.7, 0.03, 0.05, 0.06, 1.1, 0.4, -0.2, 5e-16, 200);
  ASSERT_EQ(hestonCalls.size(), 1u);
  EXPECT_EQ(hestonCalls[0], (std::vector<double>{101, 99, 0.7, 0.03, 0.05, 0.06, 1.1, 0.4, -0.2}));
  ASSERT_GE(bsCalls.size(), 2u);
  EXPECT_EQ(bsCalls[0], (std::vector<double>{101, 99, 0.7, 0.03, 0.001}));
  EXPECT_EQ(bsCalls[1], (std::vector<double>{101, 99, 0.7, 0.03, 2.0}));
  EXPECT_NEAR(result, 0.3, 0.3 * 1.3e-7);
}

TEST(HestonVol, SentinelsComeFromTheTargetAlone) {
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
    for (int cap : {100, 200}) {
      const double got = HestonVolCore(
          [&](double, double, double, double, double, double, double, double, double) { return c.target; }, BSCall,
          100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7, cap == 100 ? 5e-15 : 5e-16, cap);
      EXPECT_TRUE(BitExact(got, c.expected)) << c.what << ", cap " << cap;
    }
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
