// SPDX-License-Identifier: Apache-2.0
// HestonCall_fast: the panel schedule driven by stand-in panels, the price of the
// integral and its floor at 0, and the price of the typical request against an
// independent value.
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "heston/PanelSchedules.h"
#include "heston/heston.h"
#include "runtime/ErrorIndicator.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kD = 0.95122942450071402;  // e^-0.05 correctly rounded, D for T = 1, r = 0.05

struct Panel {
  double lower, upper;
};

// Runs the schedule on stand-in panel values: panel n (from 0) is value(n).
template <class Value>
double Schedule(Value value, std::vector<Panel>* panels) {
  return SumPanelsOfWidthFour([&](double lower, double upper) {
    const double v = value(static_cast<int>(panels->size()));
    panels->push_back({lower, upper});
    return v;
  });
}

TEST(HestonCallFastSchedule, StopsAfterTheFirstNegligiblePanelWhichIsAdded) {
  struct Case {
    const char* what;
    std::vector<double> panels;  // the value of each panel; later panels are 1
    int expectedPanels;
    double expectedTotal;
  };
  const double kJustAbove = std::nextafter(1e-18, 1.0);
  const Case cases[] = {
      {"first panel 1e-18 ends it", {1e-18}, 1, 1e-18},
      {"first panel -1e-18 ends it", {-1e-18}, 1, -1e-18},
      {"first panel 0 ends it", {0.0}, 1, 0.0},
      {"first panel NaN ends it", {kNaN}, 1, kNaN},
      {"first panel just above 1e-18 goes on", {kJustAbove, 0.0}, 2, kJustAbove},
      {"a later panel of exactly 1e-18 is added, then stops", {1.0, 0.5, 1e-18}, 3, 1.5},  // 1e-18 rounds away
      {"a later panel of -1e-18 too", {1.0, 0.5, -1e-18}, 3, 1.5},
      {"a later NaN panel is added and ends the loop", {1.0, 0.5, kNaN}, 3, kNaN},
      {"a negative panel is not negligible", {1.0, -0.25, 0.0}, 3, 0.75},
  };
  for (const Case& c : cases) {
    std::vector<Panel> panels;
    const double total = Schedule([&](int n) { return n < int(c.panels.size()) ? c.panels[n] : 1.0; }, &panels);
    ASSERT_EQ(int(panels.size()), c.expectedPanels) << c.what;
    EXPECT_TRUE(BitExact(total, c.expectedTotal)) << c.what;
  }
}

TEST(HestonCallFastSchedule, AtMostSixtyFivePanelsOfWidthFourTheLastEndingAt260) {
  std::vector<Panel> panels;
  const double total = Schedule([](int) { return 1.0; }, &panels);
  ASSERT_EQ(panels.size(), 65u);
  for (int n = 0; n < 65; ++n) {
    EXPECT_EQ(panels[n].lower, 4.0 * n);
    EXPECT_EQ(panels[n].upper, 4.0 * n + 4.0);
  }
  EXPECT_EQ(panels.back().lower, 256.0);
  EXPECT_EQ(panels.back().upper, 260.0);
  EXPECT_TRUE(BitExact(total, 65.0));
}

TEST(HestonCallFastPrice, NoAbsoluteValueNoIntrinsicFloorButNeverBelowZero) {
  // 0.5 (S - (D (1 - (2/pi) total)) K) in that order (tests/generate_expected.py).
  struct Case {
    double S, K, total, expected;
  };
  const Case cases[] = {
      // A negative total lowers the price below (S - K e^(-rT)) / 2 and, in the money,
      // below the intrinsic value 14.39 itself; it stays above 0 and is returned as is.
      {100, 90, -0.050000000000000003, 5.8321401131541464},
      {100, 100, -0.050000000000000003, 0.92460012572682615},
      {100, 100, -2, 0},        // below 0: +0
      {90, 100, 0, 0},          // a zero integral out of the money: (S - K e^(-rT)) / 2 < 0
      {100, 100, kNaN, kNaN},   // NaN is not floored
      {110, 100, 0, 7.438528774964297},
      {100, 100, 0.69999999999999996, 23.633529864288949},
      {90, 110, 65, 2157.60035006205},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(BitExact(PriceFromIntegral(c.S, c.K, kD, c.total), c.expected)) << c.S << " " << c.K << " " << c.total;
  }
}

TEST(HestonCallFast, TypicalRequestAgreesWithAnIndependentPrice) {
  // 10.361869020966109: two independent high-accuracy methods agree to 2e-15.
  EXPECT_NEAR(HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7), 10.361869020966109, 1e-9);
}

TEST(HestonCallFast, AZeroedIntegrandGivesHalfTheForwardIntrinsicValueOrZero) {
  std::thread([] {
    SetErrorIndicator(kRangeError);
    EXPECT_TRUE(BitExact(HestonCall_fast(110, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7), 7.438528774964297));
    EXPECT_TRUE(BitExact(HestonCall_fast(90, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7), 0.0));
  }).join();
}

TEST(HestonCallFast, APoorIntegralBelowZeroGivesPlusZero) {
  // Ten days at a vol of vol of 1, 30 % out of the money: the true price is 3.2e-14, but
  // the panels leave an integral just below the one whose price is 0,
  // pi (1 - S / (K e^(-rT))) / 2 = 0.35643480668041461 (the formula gives about -0.019).
  const double S = 100, K = 130, T = 0.1, r = 0.05;
  const double x = LogForwardMoneyness(S, K, T * r);
  const double total = SumPanelsOfWidthFour(
      [&](double a, double b) { return IntegratePanel(x, T, 0.01, 0.09, 0.5, 1.0, -0.9, a, b); });
  EXPECT_LT(total, 0.35643480668041461);
  EXPECT_GT(total, 0.355);
  EXPECT_TRUE(BitExact(HestonCall_fast(S, K, T, r, 0.01, 0.09, 0.5, 1.0, -0.9), 0.0));
}

TEST(HestonCallFast, StaysAnOrdinaryPriceWhereTheBareRootsGaveNaN) {
  // Im Z of j1 vanishes for these parameters (see the integrand tests), so M - Re Z
  // rounds below 0 at many nodes of every panel; the price is still a call price.
  for (double K : {80.0, 100.0, 120.0}) {
    const double price = HestonCall_fast(100, K, 1, 0.05, 0.003, 0.04, 0.5, 1.0, -0.5);
    EXPECT_TRUE(std::isfinite(price)) << K;
    EXPECT_GE(price, std::fmax(100 - K * kD, 0.0)) << K;
    EXPECT_LE(price, 100.0) << K;
  }
}

TEST(LogForwardMoneyness, IsTheLogOfTheForwardOverTheStrike) {
  // ln(e^rT S / K), exact values correctly rounded (tests/generate_expected.py); four
  // roundings on the way, so a few units of 2^-53 absolute.
  struct Case {
    double S, K, rT, x;
  };
  const Case cases[] = {
      {100, 100, 0.050000000000000003, 0.050000000000000072},
      {100, 110, 0.01, -0.085310179804325009},
      {90, 110, 0.014999999999999999, -0.18567069546215123},
      {105, 95, 0.022499999999999999, 0.12258345855698256},
      {100, 130, 0.005000000000000001, -0.25736426446749117},
  };
  for (const Case& c : cases) EXPECT_NEAR(LogForwardMoneyness(c.S, c.K, c.rT), c.x, 4 * 0x1p-53) << c.S << " " << c.K;
  // Degenerate market data give an infinity or NaN, never a number.
  EXPECT_EQ(LogForwardMoneyness(100, 0, 0.05), std::numeric_limits<double>::infinity());
  EXPECT_EQ(LogForwardMoneyness(0, 100, 0.05), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(LogForwardMoneyness(-100, 100, 0.05)));
}

}  // namespace
}  // namespace eurocall
