// HestonCall_fast: the panel schedule driven by stand-in panels, the price formula and
// its floor at 0, and the price of the typical request against an independent value.
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "heston/HestonCallFastCore.h"
#include "heston/heston.h"
#include "runtime/ErrorIndicator.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTwoOverPi = 0.6366197723675814;

// The price for a given integral: 0.5 (S - (e^(-rT) (1 - total 2/pi)) K).
double PriceOf(double S, double K, double T, double r, double total) {
  return 0.5 * (S - (std::exp(-(T * r)) * (1.0 - total * kTwoOverPi)) * K);
}

struct Call {
  double x, lower, upper;
};

// Runs the schedule on stand-in panel values: panel n (from 0) is value(n).
template <class Value>
double Schedule(Value value, std::vector<Call>* calls, double S = 100, double K = 100, double T = 1,
                double r = 0.05) {
  return HestonCallFastCore(
      [&](double x, double lower, double upper) {
        const double v = value(static_cast<int>(calls->size()));
        calls->push_back({x, lower, upper});
        return v;
      },
      S, K, T, r);
}

TEST(HestonCallFastSchedule, StopsAfterTheFirstNegligiblePanelWhichIsAdded) {
  struct Case {
    const char* what;
    std::vector<double> panels;  // the value of each panel; later panels are 1
    int expectedPanels;
  };
  const Case cases[] = {
      {"first panel 1e-18 ends it", {1e-18}, 1},
      {"first panel -1e-18 ends it", {-1e-18}, 1},
      {"first panel 0 ends it", {0.0}, 1},
      {"first panel NaN ends it", {kNaN}, 1},
      {"first panel just above 1e-18 goes on", {std::nextafter(1e-18, 1.0), 0.0}, 2},
      {"a later panel of exactly 1e-18 is added, then stops", {1.0, 0.5, 1e-18}, 3},
      {"a later panel of -1e-18 too", {1.0, 0.5, -1e-18}, 3},
      {"a later NaN panel is added and ends the loop", {1.0, 0.5, kNaN}, 3},
      {"a negative panel is not negligible", {1.0, -0.25, 0.0}, 3},
  };
  for (const Case& c : cases) {
    std::vector<Call> calls;
    const double price = Schedule([&](int n) { return n < int(c.panels.size()) ? c.panels[n] : 1.0; }, &calls);
    ASSERT_EQ(int(calls.size()), c.expectedPanels) << c.what;
    double total = c.panels[0];
    for (int n = 1; n < c.expectedPanels; ++n) total = total + c.panels[n];
    EXPECT_TRUE(BitExact(price, PriceOf(100, 100, 1, 0.05, total))) << c.what;
  }
}

TEST(HestonCallFastSchedule, AtMostSixtyFivePanelsOfWidthFourTheLastEndingAt260) {
  std::vector<Call> calls;
  const double price = Schedule([](int) { return 1.0; }, &calls, 90, 110, 0.5, 0.03);
  ASSERT_EQ(calls.size(), 65u);
  const double x = std::log((std::exp(0.5 * 0.03) * 90) / 110);  // ln((e^(rT) S) / K)
  for (int n = 0; n < 65; ++n) {
    EXPECT_TRUE(BitExact(calls[n].x, x)) << n;
    EXPECT_EQ(calls[n].lower, 4.0 * n);
    EXPECT_EQ(calls[n].upper, 4.0 * n + 4.0);
  }
  EXPECT_EQ(calls.back().lower, 256.0);
  EXPECT_EQ(calls.back().upper, 260.0);
  EXPECT_TRUE(BitExact(price, PriceOf(90, 110, 0.5, 0.03, 65.0)));
}

TEST(HestonCallFastPrice, NoAbsoluteValueNoIntrinsicFloorButNeverBelowZero) {
  struct Case {
    double S, K, total, expected;
  };
  const double D = std::exp(-(1 * 0.05));
  const Case cases[] = {
      // A negative total lowers the price below (S - K e^(-rT)) / 2 and, in the money,
      // below the intrinsic value itself; it stays above 0 and is returned as is.
      {100, 90, -0.05, 0.5 * (100 - (D * (1 - -0.05 * kTwoOverPi)) * 90)},
      {100, 100, -0.05, 0.5 * (100 - (D * (1 - -0.05 * kTwoOverPi)) * 100)},
      // Below 0: +0.
      {100, 100, -2.0, 0.0},
      {90, 100, 0.0, 0.0},       // a zero integral out of the money: (S - K e^(-rT)) / 2 < 0
      {100, 100, kNaN, kNaN},    // NaN is not floored
      {110, 100, 0.0, 0.5 * (110 - D * 100)},
  };
  for (const Case& c : cases) {
    std::vector<Call> calls;
    const double price = Schedule([&](int n) { return n == 0 ? c.total : 0.0; }, &calls, c.S, c.K, 1, 0.05);
    EXPECT_TRUE(BitExact(price, c.expected)) << c.S << " " << c.K << " " << c.total;
  }
  EXPECT_LT(PriceOf(100, 90, 1, 0.05, -0.05), 100 - D * 90);
}

TEST(HestonCallFast, TypicalRequestAgreesWithAnIndependentPrice) {
  // 10.361869020966109: two independent high-accuracy methods agree to 2e-15.
  EXPECT_NEAR(HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7), 10.361869020966109, 1e-9);
}

TEST(HestonCallFast, AZeroedIntegrandGivesHalfTheForwardIntrinsicValueOrZero) {
  std::thread([] {
    SetErrorIndicator(kRangeError);
    EXPECT_TRUE(BitExact(HestonCall_fast(110, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7),
                         0.5 * (110 - std::exp(-(1 * 0.05)) * 100)));
    EXPECT_TRUE(BitExact(HestonCall_fast(90, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7), 0.0));
  }).join();
}

TEST(HestonCallFast, APoorIntegralBelowZeroGivesPlusZero) {
  // Ten days at a vol of vol of 1, 30 % out of the money: the true price is 3.2e-14, but
  // the panels leave an integral whose price formula comes out near -0.019.
  double total = 0.0;
  int panels = 0;
  HestonCallFastCore(
      [&](double x, double lower, double upper) {
        const double I = IntegratePanel(x, 0.1, 0.01, 0.09, 0.5, 1.0, -0.9, lower, upper);
        total = panels++ == 0 ? I : total + I;
        return I;
      },
      100, 130, 0.1, 0.05);
  EXPECT_NEAR(PriceOf(100, 130, 0.1, 0.05, total), -0.019, 5e-4);
  EXPECT_TRUE(BitExact(HestonCall_fast(100, 130, 0.1, 0.05, 0.01, 0.09, 0.5, 1.0, -0.9), 0.0));
}

TEST(HestonCallFast, StaysAnOrdinaryPriceWhereTheBareRootsGaveNaN) {
  // Im Z of j1 vanishes for these parameters (see the integrand tests), so M - Re Z
  // rounds below 0 at many nodes of every panel; the price is still a call price.
  for (double K : {80.0, 100.0, 120.0}) {
    const double price = HestonCall_fast(100, K, 1, 0.05, 0.003, 0.04, 0.5, 1.0, -0.5);
    EXPECT_TRUE(std::isfinite(price)) << K;
    EXPECT_GE(price, std::fmax(100 - K * std::exp(-0.05), 0.0)) << K;
    EXPECT_LE(price, 100.0) << K;
  }
}

}  // namespace
}  // namespace eurocall
