// SPDX-License-Identifier: Apache-2.0
// ImpliedVolSearch and BSVol: the worked search path, the iteration cap, the sentinels
// and the input checks.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "blackscholes/ImpliedVolSearchCore.h"
#include "blackscholes/blackscholes.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;
using testing::WithinUlps;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Runs the search exactly as BSVol's does and records every volatility it prices.
struct ObservedSearch {
  std::vector<double> vols;
  double result;
  ObservedSearch(double S, double K, double T, double r, double target, double absTol, int cap) {
    result = ImpliedVolSearchCore(
        [&](double v) {
          vols.push_back(v);
          return BSCall(S, K, T, r, v);
        },
        target, absTol, cap);
  }
};

TEST(ImpliedVolSearch, WorkedExampleEvaluatesTheDocumentedSequence) {
  const double price = 10.450583572185558;  // BSCall(100, 100, 1, 0.05, 0.2)
  const ObservedSearch s(100, 100, 1, 0.05, price, 5e-16, 100);
  ASSERT_EQ(s.vols.size(), 8u);
  EXPECT_TRUE(BitExact(s.vols[0], 0.001));
  EXPECT_TRUE(BitExact(s.vols[1], 2.0));
  // Leading digits of the interpolated iterates.
  const double leading[] = {0.174596244, 0.209674599, 0.199964002, 0.199999957};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(s.vols[2 + i], leading[i], 1e-9) << "evaluation " << 3 + i;
  EXPECT_TRUE(WithinUlps(s.vols[6], 0.2000000000000121, 2));
  // The eighth point is the minimum step tol1 = |b| * 6e-08 + 5e-16 below the seventh;
  // the exchange then makes the seventh point b again, and it is returned.
  EXPECT_TRUE(BitExact(s.vols[7], s.vols[6] - (s.vols[6] * 6e-08 + 5e-16)));
  EXPECT_TRUE(BitExact(s.result, s.vols[6]));
  EXPECT_TRUE(BitExact(BSVol(100, 100, 1, 0.05, price), s.result));
}

TEST(ImpliedVolSearch, IterationCapCountsIterationsNotEvaluations) {
  // The worked example converges after 6 iterations (8 evaluations): a cap of 7
  // suffices, a cap of 6 stops after the sixth iterate without examining it.
  const double price = 10.450583572185558;
  EXPECT_TRUE(WithinUlps(ImpliedVolSearch(100, 100, 1, 0.05, price, 5e-16, 7), 0.2000000000000121, 2));
  const ObservedSearch capped(100, 100, 1, 0.05, price, 5e-16, 6);
  EXPECT_TRUE(BitExact(capped.result, 999.0));
  EXPECT_EQ(capped.vols.size(), 8u);
  EXPECT_TRUE(BitExact(ImpliedVolSearch(100, 100, 1, 0.05, price, 5e-16, 0), 999.0));
}

TEST(ImpliedVolSearch, TargetsOnTheBracketEnds) {
  // f(2) = 0 exactly: returned on the first pass. f(0.001) = 0: returned after the
  // exchange puts it at b.
  const double atTwo = BSCall(100, 100, 1, 0.05, 2.0);
  const ObservedSearch hi(100, 100, 1, 0.05, atTwo, 5e-16, 100);
  EXPECT_TRUE(BitExact(hi.result, 2.0));
  EXPECT_EQ(hi.vols.size(), 2u);
  const double atLow = BSCall(100, 110, 1, 0.05, 0.001);
  const ObservedSearch lo(100, 110, 1, 0.05, atLow, 5e-16, 100);
  EXPECT_TRUE(BitExact(lo.result, 0.001));
  EXPECT_EQ(lo.vols.size(), 2u);
}

TEST(ImpliedVolSearch, EveryEvaluationStaysInTheBracket) {
  for (double K : {60.0, 90.0, 100.0, 120.0, 200.0}) {
    for (double T : {0.05, 1.0, 10.0}) {
      for (double vol : {0.0011, 0.05, 0.3, 1.2, 1.999}) {
        const double target = BSCall(100, K, T, 0.03, vol);
        const ObservedSearch s(100, K, T, 0.03, target, 5e-16, 100);
        for (double v : s.vols) {
          EXPECT_GE(v, 0.001);
          EXPECT_LE(v, 2.0);
        }
        EXPECT_TRUE(s.result == 2.0 || s.result == 999.0 || (s.result >= 0.001 && s.result <= 2.0));
      }
    }
  }
}

TEST(BSVol, ResultTable) {
  struct Case {
    double S, K, T, r, price, expected, tolerance;  // tolerance 0: exactly
  };
  const Case cases[] = {
      {100, 100, 1, 0.05, 20, 0.4523403603789396, 4e-16},
      {100, 100, 1, 0.05, 4.877058, 0.0108706, 1e-7},
      // rejected: 0
      {100, 100, 1, 0.05, 0, 0, 0},              // in the money, below S - K e^(-rT)
      {100, 100, 1, 0.05, 4.877057, 0, 0},       // just below S - K e^(-rT) = 4.8770575...
      {100, 100, 1, 0.05, 100.0000001, 0, 0},    // above S
      {100, 200, 1, 0.05, 1e-16, 0, 0},          // within 1e-15 of the intrinsic value 0
      {100, 200, 1, 0.05, -1e-16, 0, 0},
      {100, 100, 1, 0.05, kInf, 0, 0},
      {100, 100, 1, 0.05, -kInf, 0, 0},
      {kInf, 100, 1, 0.05, 10, 0, 0},
      // not enclosed: 2
      {100, 100, 1, 0.05, 100, 2, 0},            // price = S passes the checks
      {100, 100, 1, 0.05, 80, 2, 0},             // above BSCall at vol 2
      {100, 101, 1, 0.05, 3, 2, 0},              // out of the money, below BSCall at 0.001
      {100, 200, 1, 0.05, -5, 2, 0},             // negative, out of the money
  };
  for (const Case& c : cases) {
    const double got = BSVol(c.S, c.K, c.T, c.r, c.price);
    if (c.tolerance == 0) {
      EXPECT_TRUE(BitExact(got, c.expected)) << "price " << c.price << " K " << c.K;
    } else {
      EXPECT_NEAR(got, c.expected, c.tolerance) << "price " << c.price;
    }
  }
}

TEST(BSVol, AnyNaNArgumentIsRejected) {
  const double args[5] = {100, 100, 1, 0.05, 10};
  for (int i = 0; i < 5; ++i) {
    double a[5];
    for (int j = 0; j < 5; ++j) a[j] = (j == i) ? kNaN : args[j];
    EXPECT_TRUE(BitExact(BSVol(a[0], a[1], a[2], a[3], a[4]), 0.0)) << "NaN at position " << i;
  }
}

TEST(ImpliedVolSearch, NonConvergenceIsReportedAs999) {
  // A price function whose sign flips without a root: bisection cannot meet the
  // tolerance before the cap.
  const double got = ImpliedVolSearchCore([](double v) { return v < 1.0 / 3.0 ? -1.0 : 1.0; }, 0.0, 5e-16, 20);
  EXPECT_TRUE(BitExact(got, 999.0));
}

}  // namespace
}  // namespace eurocall
