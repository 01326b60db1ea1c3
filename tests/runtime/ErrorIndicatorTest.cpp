// SPDX-License-Identifier: Apache-2.0
// The library's own maths error indicator and the checked power function that sets it.
#include <cerrno>
#include <cmath>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "runtime/ErrorIndicator.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

class ErrorIndicatorTest : public ::testing::Test {
 protected:
  void SetUp() override { SetErrorIndicator(0); }
  void TearDown() override { SetErrorIndicator(0); }
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST_F(ErrorIndicatorTest, CheckedPowSetsTheIndicatorOnDomainAndRangeErrorsOnly) {
  struct Case {
    double base, exponent;
    int indicator;
  };
  const Case cases[] = {
      {-1.0, 0.5, kDomainError},    // negative base, non-integer exponent
      {10.0, 400.0, kRangeError},   // overflow
      {0.0, -1.5, kRangeError},     // pole
      {1e-300, 2.0, 0},             // underflow to 0 is not an error here
      {2.0, 1.5, 0},                // ordinary
      {kNaN, 1.5, 0},               // NaN in, NaN out: no error
      {kInf, 1.5, 0},               // exact infinity from an infinite argument
      {0.0, 1.5, 0},
  };
  for (const Case& c : cases) {
    SetErrorIndicator(0);
    const double got = CheckedPow(c.base, c.exponent);
    EXPECT_TRUE(BitExact(got, std::pow(c.base, c.exponent))) << c.base << "^" << c.exponent;
    EXPECT_EQ(ErrorIndicator(), c.indicator) << c.base << "^" << c.exponent;
  }
}

TEST_F(ErrorIndicatorTest, CheckedPowLeavesTheHostsErrnoAlone) {
  errno = 12345;
  CheckedPow(10.0, 400.0);
  EXPECT_EQ(errno, 12345);
  errno = 0;
  CheckedPow(-1.0, 0.5);
  EXPECT_EQ(errno, 0);
}

TEST_F(ErrorIndicatorTest, TheIndicatorIsPerThreadAndNotTheHostsErrno) {
  errno = EDOM;  // the host's errno never reaches the library's indicator
  EXPECT_EQ(ErrorIndicator(), 0);
  CheckedPow(-1.0, 0.5);
  ASSERT_GT(ErrorIndicator(), 0);
  int other = -1;
  std::thread([&] { other = ErrorIndicator(); }).join();
  EXPECT_EQ(other, 0);
  CheckedPow(2.0, 2.0);  // a later good call does not clear it
  EXPECT_GT(ErrorIndicator(), 0);
}

}  // namespace
}  // namespace eurocall
