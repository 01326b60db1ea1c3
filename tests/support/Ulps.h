// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_TESTS_SUPPORT_ULPS_H
#define EUROCALL_TESTS_SUPPORT_ULPS_H

// Table-driven comparisons in units in the last place, for GoogleTest.
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/UlpDistance.h"

namespace eurocall::testing {

inline std::string Show(double v) {
  std::ostringstream s;
  s.precision(17);
  s << v;
  return s.str();
}

inline ::testing::AssertionResult WithinUlps(double actual, double expected, std::uint64_t ulps) {
  const std::uint64_t d = UlpDistance(actual, expected);
  if (d <= ulps) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(actual) << ", expected " << Show(expected)
                                       << " (" << (d == std::numeric_limits<std::uint64_t>::max() ? std::string("incomparable") : std::to_string(d) + " ulps")
                                       << ", allowed " << ulps << ")";
}

// Identical doubles: same bits, NaN matching NaN.
inline ::testing::AssertionResult BitExact(double actual, double expected) {
  return WithinUlps(actual, expected, 0);
}

}  // namespace eurocall::testing

#endif
