#ifndef EUROCALL_TESTS_SUPPORT_ULPS_H
#define EUROCALL_TESTS_SUPPORT_ULPS_H

// Distance in units in the last place between two doubles, for table-driven tests.
// NaN matches NaN and nothing else; +0 and -0 are different values (a wrong sign of
// zero is a failure).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace eurocall::testing {

inline std::int64_t OrderedBits(double v) {
  std::int64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
}

// Largest representable distance when the two values cannot be compared.
inline std::uint64_t UlpDistance(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) {
    return (std::isnan(a) && std::isnan(b)) ? 0 : std::numeric_limits<std::uint64_t>::max();
  }
  if (a == 0.0 && b == 0.0 && std::signbit(a) != std::signbit(b)) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  const std::int64_t x = OrderedBits(a), y = OrderedBits(b);
  return x > y ? std::uint64_t(x) - std::uint64_t(y) : std::uint64_t(y) - std::uint64_t(x);
}

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
