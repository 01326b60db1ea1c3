// SPDX-License-Identifier: Apache-2.0
// CumNormal: worked values, the clamp, the switch between the two forms, symmetry and
// the special values.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "blackscholes/blackscholes.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;
using testing::WithinUlps;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSwitch = 7.0710678118654702;  // the stored switch point

TEST(CumNormal, WorkedValuesAndSpecialValues) {
  struct Case {
    double x, expected;
    unsigned ulps;  // 0: no maths function decides the last bit
  };
  const Case cases[] = {
      {0.0, 0.5, 0},
      {-0.0, 0.5, 0},
      {1.96, 0.9750021048517795, 2},
      {-1.96, 0.024997895148220463, 4},
      {-37.5, 0.0, 0},   // below the clamp
      {37.5, 1.0, 0},
      {37.0, 1.0, 0},    // computed, but 1 - 5.7e-300 rounds to 1
      {-kInf, 0.0, 0},
      {kInf, 1.0, 0},
      {kNaN, 1.0, 0},    // both tests fail: 1 - 0
      {std::nextafter(-37.0, -kInf), 0.0, 0},
  };
  for (const Case& c : cases) EXPECT_TRUE(WithinUlps(CumNormal(c.x), c.expected, c.ulps)) << "x = " << c.x;
}

TEST(CumNormal, MinusThirtySevenIsComputedByTheContinuedFraction) {
  // Phi(-37) = 5.7255712225...e-300 (asymptotic series of the Mills ratio).
  EXPECT_NEAR(CumNormal(-37.0) / 5.7255712225e-300, 1.0, 1e-9);
}

TEST(CumNormal, TheSwitchPointTakesTheContinuedFraction) {
  // The two forms differ by about 6.5e-9 relative at the switch; within either form
  // one step of x changes the value by only ~1e-14 relative.
  const double below = std::nextafter(kSwitch, 0.0);
  const double atSwitch = CumNormal(-kSwitch);
  const double justInside = CumNormal(-below);
  const double twoInside = CumNormal(-std::nextafter(below, 0.0));
  const double jump = std::fabs(justInside / atSwitch - 1.0);
  EXPECT_GT(jump, 5e-9);
  EXPECT_LT(jump, 8e-9);
  EXPECT_LT(std::fabs(twoInside / justInside - 1.0), 1e-13);
  EXPECT_TRUE(BitExact(CumNormal(kSwitch), 1.0 - atSwitch));
}

TEST(CumNormal, ReflectionSumsToOne) {
  for (double x : {1e-300, 0.1, 0.5, 1.0, 2.5, 5.0, 7.0, 7.5, 10.0, 20.0, 36.9}) {
    EXPECT_TRUE(WithinUlps(CumNormal(x) + CumNormal(-x), 1.0, 1)) << "x = " << x;
    EXPECT_TRUE(BitExact(CumNormal(x), 1.0 - CumNormal(-x))) << "x = " << x;
  }
}

}  // namespace
}  // namespace eurocall
