// HestonCall_exact: the panel schedule near the origin and where the tail starts, the
// absolute integral and the floors of the price, the per-thread parameter record, and
// the degraded price while the error indicator is set.
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "heston/HestonCallExactCore.h"
#include "heston/heston.h"
#include "runtime/ErrorIndicator.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Panel {
  double a, b;
};

TEST(HestonCallExact, ElevenPanelsThenTheTailFromJustBelowOnePointOne) {
  std::vector<Panel> panels;
  std::vector<double> bounds;
  // Panel values 1 each and a tail of 0.5: the price is that of the integral 11.5.
  const double price = HestonCallExactCore(
      [&](double a, double b) {
        panels.push_back({a, b});
        return 1.0;
      },
      [&](double bound) {
        bounds.push_back(bound);
        return 0.5;
      },
      100, 100, 0.05);
  // Ends of repeated double additions of 0.1.
  const double ends[] = {0.0, 0.1, 0.2, 0.30000000000000004, 0.4, 0.5, 0.6, 0.7,
                         0.7999999999999999, 0.8999999999999999, 0.9999999999999999, 1.0999999999999999};
  ASSERT_EQ(panels.size(), 11u);
  for (std::size_t i = 0; i < panels.size(); ++i) {
    EXPECT_TRUE(BitExact(panels[i].a, ends[i])) << "panel " << i;
    EXPECT_TRUE(BitExact(panels[i].b, ends[i + 1])) << "panel " << i;
  }
  ASSERT_EQ(bounds.size(), 1u);
  EXPECT_TRUE(BitExact(bounds[0], 1.0999999999999999));
  EXPECT_TRUE(BitExact(bounds[0], std::nextafter(1.1, 0.0)));
  EXPECT_TRUE(BitExact(price, HestonPriceFromIntegral(100, 100, std::exp(-0.05), 11.5)));
}

TEST(HestonCallExact, PriceOfTheIntegralTakesItsAbsoluteValueAndIsFloored) {
  const double S = 100, D = std::exp(-0.05);
  struct Case {
    double K, integral, expected;
  };
  // p = 0.5 (S - (1 - |I| 2/pi) D K), L = S - D K; the larger, and never below 0.
  const Case cases[] = {
      {100, 0.7, 0.5 * (S - ((1.0 - 0.7 * 0.6366197723675814) * D) * 100)},
      {100, -0.7, 0.5 * (S - ((1.0 - 0.7 * 0.6366197723675814) * D) * 100)},  // |I|
      {100, 0.0, S - D * 100},        // p = (S - D K) / 2 below L = S - D K > 0
      {100, kNaN, S - D * 100},       // a NaN p gives L
      {150, 0.0, 0.0},                // p and L both negative: +0
      {150, kNaN, 0.0},               // NaN p, negative L: +0
      {150, 1.2, 0.5 * (S - ((1.0 - 1.2 * 0.6366197723675814) * D) * 150)},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(BitExact(HestonPriceFromIntegral(S, c.K, D, c.integral), c.expected)) << c.K << " " << c.integral;
  }
  // NaN in the intrinsic value stays NaN.
  EXPECT_TRUE(std::isnan(HestonPriceFromIntegral(kNaN, 100, D, 0.5)));
}

TEST(HestonCallExact, NeverBelowTheIntrinsicValueOrHalfTheForwardDifference) {
  for (double K : {50.0, 90.0, 100.0, 110.0, 200.0}) {
    for (double T : {0.05, 0.5, 3.0}) {
      const double price = HestonCall_exact(100, K, T, 0.02, 0.09, 0.04, 2.0, 0.6, 0.3);
      const double Kd = K * std::exp(-(T * 0.02));
      EXPECT_GE(price, std::max(std::max(0.5 * (100 - Kd), 100 - Kd), 0.0)) << K << " " << T;
      EXPECT_TRUE(std::isfinite(price));
    }
  }
}

TEST(HestonCallExact, IntegrandParamsHoldTheLastCallsArguments) {
  HestonCall_exact(105, 95, 0.75, 0.03, 0.05, 0.06, 1.25, 0.45, -0.35);
  HestonCall_exact(100, 110, 0.5, 0.02, 0.04, 0.07, 1.75, 0.55, -0.45);
  const IntegrandParamsRecord& p = IntegrandParams;
  EXPECT_TRUE(BitExact(p.x, std::log((std::exp(0.5 * 0.02) * 100) / 110)));
  EXPECT_TRUE(BitExact(p.kappa, 1.75));
  EXPECT_TRUE(BitExact(p.sigma, 0.55));
  EXPECT_TRUE(BitExact(p.v0, 0.04));
  EXPECT_TRUE(BitExact(p.rho, -0.45));
  EXPECT_TRUE(BitExact(p.T, 0.5));
  EXPECT_TRUE(BitExact(p.theta, 0.07));
  // The record belongs to this thread: another thread starts from zeros.
  double otherX = -1, otherTheta = -1;
  std::thread([&] {
    otherX = IntegrandParams.x;
    otherTheta = IntegrandParams.theta;
  }).join();
  EXPECT_TRUE(BitExact(otherX, 0.0));
  EXPECT_TRUE(BitExact(otherTheta, 0.0));
}

TEST(HestonPrices, ErrorIndicatorDegradesBothPricesAndTheirVolatilities) {
  // Every integrand value is 0 on a thread whose indicator is set: the integral is 0.
  // fast: 0.5 (S - K e^(-rT)); exact: the larger of that and S - K e^(-rT).
  double fast = 0, exact = 0, volFast = 0, volExact = 0, outOfMoney = -1;
  std::thread([&] {
    SetErrorIndicator(kRangeError);
    fast = HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    exact = HestonCall_exact(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    volFast = HestonVol_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    volExact = HestonVol_exact(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    outOfMoney = HestonCall_exact(100, 120, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
  }).join();
  const double intrinsic = 100 - std::exp(-0.05) * 100;  // 4.877057549928594
  EXPECT_TRUE(BitExact(fast, 0.5 * (100 - (std::exp(-0.05) * 1.0) * 100)));
  EXPECT_TRUE(BitExact(exact, intrinsic));
  // Half the intrinsic value is below BSCall at 0.001 (the intrinsic value itself): 2.
  EXPECT_TRUE(BitExact(volFast, 2.0));
  // At vol 0.001 BSCall is exactly S - K e^(-rT) here (d1 = 50): the bracket end is the root.
  EXPECT_TRUE(BitExact(volExact, 0.001));
  EXPECT_TRUE(BitExact(outOfMoney, 0.0));  // both candidates negative
}

}  // namespace
}  // namespace eurocall
