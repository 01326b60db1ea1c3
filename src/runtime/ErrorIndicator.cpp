// SPDX-License-Identifier: Apache-2.0
#include "runtime/ErrorIndicator.h"

#include <cerrno>
#include <cmath>

namespace eurocall {

namespace {
thread_local int tErrorIndicator = 0;
}

int ErrorIndicator() { return tErrorIndicator; }

void SetErrorIndicator(int value) { tErrorIndicator = value; }

// The error is told from the arguments and the result, not from errno, so that the
// rule is the same under every C runtime (some set errno on underflow, some never set
// it) and the host's errno is untouched; it is saved anyway, since a runtime may write it.
double CheckedPow(double base, double exponent) {
  const int savedErrno = errno;
  const double result = std::pow(base, exponent);
  errno = savedErrno;
  if (std::isnan(result) && !std::isnan(base) && !std::isnan(exponent)) {
    SetErrorIndicator(kDomainError);
  } else if (std::isinf(result) && std::isfinite(base) && std::isfinite(exponent)) {
    SetErrorIndicator(kRangeError);
  }
  return result;
}

}  // namespace eurocall
