// SPDX-License-Identifier: Apache-2.0
// BSCall: worked values and the degenerate inputs, including the floor at 0 for a
// zero-variance price.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "blackscholes/blackscholes.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;
using testing::WithinUlps;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(BSCall, WorkedValues) {
  struct Case {
    double S, K, T, r, vol, expected;
    unsigned ulps;
  };
  const Case cases[] = {
      {100, 100, 1, 0.05, 0.2, 10.450583572185558, 4},
      {100, 100, 1, 0.05, 2.0, 69.05746979565662, 4},  // far below S even at vol 2
      // T = 0, vol > 0: max(S - K, 0) exactly
      {110, 100, 0, 0.05, 0.2, 10.0, 0},
      {90, 100, 0, 0.05, 0.2, 0.0, 0},
      {100, 100, 0, 0.05, 0.2, 0.0, 0},  // d1 NaN: both distribution values 1, S - K = +0
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(WithinUlps(BSCall(c.S, c.K, c.T, c.r, c.vol), c.expected, c.ulps))
        << c.S << " " << c.K << " " << c.T << " " << c.r << " " << c.vol;
  }
}

TEST(BSCall, ZeroVariancePriceIsFlooredAtZeroAndOnlyThere) {
  // Out of the money with sd = 0: the formula gives S - K e^(-rT) < 0; the price is +0.
  EXPECT_TRUE(BitExact(BSCall(90, 100, 1, 0.05, 0.0), 0.0));
  EXPECT_TRUE(BitExact(BSCall(90, 100, 0, 0.05, 0.0), 0.0));   // T = 0 and vol = 0: not -10
  EXPECT_TRUE(BitExact(BSCall(90, 100, 1, 0.05, -0.0), 0.0));
  // In the money with sd = 0: S - K e^(-rT), unchanged (d1 = +inf + +inf). This value and
  // the one for T < 0 below: S - (1 e^(-rT)) K with e^(-rT) correctly rounded
  // (tests/generate_expected.py).
  EXPECT_TRUE(BitExact(BSCall(110, 100, 1, 0.05, 0.0), 14.877057549928594));
  // d1 NaN (r = 0 and vol = 0 at the money): S - K = 0 is not negative, kept.
  EXPECT_TRUE(BitExact(BSCall(100, 100, 1, 0.0, 0.0), 0.0));
  // sd is NaN, not 0, for T < 0: the arithmetic's value S - K e^(-rT) is kept.
  EXPECT_TRUE(BitExact(BSCall(90, 100, -1, 0.05, 0.2), -15.127109637602416));
}

TEST(BSCall, NaNPropagates) {
  EXPECT_TRUE(std::isnan(BSCall(kNaN, 100, 1, 0.05, 0.2)));
  EXPECT_TRUE(std::isnan(BSCall(100, 100, 1, kNaN, 0.2)));
  EXPECT_TRUE(std::isnan(BSCall(100, kNaN, 1, 0.05, 0.2)));
}

}  // namespace
}  // namespace eurocall
