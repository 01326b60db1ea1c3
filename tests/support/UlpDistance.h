// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_TESTS_SUPPORT_ULPDISTANCE_H
#define EUROCALL_TESTS_SUPPORT_ULPDISTANCE_H

// Distance in units in the last place between two doubles. NaN matches NaN and nothing
// else; +0 and -0 are different values (a wrong sign of zero is a failure). Plain C++,
// no test framework: the GoogleTest suites (Ulps.h) and the Windows DLL host share it.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace eurocall::testing {

// The bits of v as an integer that orders like v: negative values below positive ones.
inline std::int64_t OrderedBits(double v) {
  std::int64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
}

// Incomparable values (NaN against a number, +0 against -0) are the largest distance.
inline std::uint64_t UlpDistance(double a, double b) {
  constexpr std::uint64_t kFar = std::numeric_limits<std::uint64_t>::max();
  if (std::isnan(a) || std::isnan(b)) return (std::isnan(a) && std::isnan(b)) ? 0 : kFar;
  if (a == 0.0 && b == 0.0 && std::signbit(a) != std::signbit(b)) return kFar;
  const std::int64_t x = OrderedBits(a), y = OrderedBits(b);
  return x > y ? std::uint64_t(x) - std::uint64_t(y) : std::uint64_t(y) - std::uint64_t(x);
}

}  // namespace eurocall::testing

#endif
