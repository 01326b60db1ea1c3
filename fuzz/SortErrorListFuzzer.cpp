// SPDX-License-Identifier: Apache-2.0
// SortErrorList driven the way the integrator drives it: interval 0 first, then per
// bisection the target's larger half kept in its slot and the other half appended as
// interval last, and the next target chosen as the integrator chooses it: the head of
// the list (plain bisection, or after an extrapolation), or any kept position while it
// looks for a large subinterval. The arrays are exactly limit + 1 long.
//
// Whatever the errors: no access outside the arrays, no position beyond last touched,
// the front 0..keep holding distinct intervals 0..last with the bisected and the new
// one among them, in non-increasing order of error while no error is NaN, and the
// returned target the interval at the returned position, which is no greater than the
// position given.
//
// Once the kept length shrinks, the returned position can lie just beyond the front;
// the integrator never bisects there (its scan stops at the front's end and it
// extrapolates and restarts from the head), and neither does this target.
//
// Input: limit (2 + U16 % 498), the first interval's error, then per bisection the two
// halves' errors and a choice byte for the next target; each error a kind byte:
//   kind % 8 = 0..3  the parent's error times byte / 255
//              4     the parent's error (ties)
//              5     an existing interval's error, index byte % count (ties)
//              6     raw 64 bits, sign cleared
//              7     a bad value, index byte % 10, sign cleared
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzInput.h"
#include "quadrature/quadrature.h"
#include "support/ExportContract.h"

namespace {

using eurocall::fuzz::Fail;
using eurocall::fuzz::FuzzInput;
using eurocall::testing::kBadValues;

double HalfError(FuzzInput& in, double parent, const std::vector<double>& errors, int count) {
  const std::uint8_t kind = in.Byte() % 8;
  switch (kind) {
    case 4: return parent;
    case 5: return errors[in.Byte() % count];
    case 6: return std::fabs(in.RawDouble());
    case 7: return std::fabs(kBadValues[in.Byte() % 10]);
    default: return parent * (in.Byte() / 255.0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const int limit = 2 + in.U16() % 498;
  constexpr int kUnwritten = -1;
  std::vector<double> errors(limit + 1, 0.0);
  std::vector<int> order(limit + 1, kUnwritten);
  std::vector<char> seen(limit + 1);

  errors[0] = HalfError(in, 1.0, errors, 1);
  order[0] = 0;
  int target = 0;
  int targetPos = 0;
  bool anyNaN = std::isnan(errors[0]);  // NaN errors leave nothing to order by
  for (int last = 1; last <= limit && !in.Exhausted(); ++last) {
    // Bisect the target: the larger half stays in its slot (the left one on a tie).
    const double parent = errors[target];
    const double e1 = HalfError(in, parent, errors, last);
    const double e2 = HalfError(in, parent, errors, last);
    errors[target] = e2 > e1 ? e2 : e1;
    errors[last] = e2 > e1 ? e1 : e2;
    anyNaN = anyNaN || std::isnan(e1) || std::isnan(e2);

    const int bisected = target;
    const int posIn = targetPos;
    double targetError = -1.0;
    eurocall::SortErrorList(limit, last, target, targetError, errors.data(), order.data(), targetPos);

    const int keep = last > limit / 2 + 2 ? limit - last + 3 : last;
    if (targetPos < 0 || targetPos > posIn) Fail("returned position outside 0..the position given");
    if (target != order[targetPos]) Fail("returned target not the interval at the returned position");
    if (std::isnan(targetError) ? !std::isnan(errors[target]) : targetError != errors[target]) {
      Fail("returned error not the target's");
    }
    for (int j = last + 1; j <= limit; ++j) {
      if (order[j] != kUnwritten) Fail("position beyond last written");
    }
    std::fill(seen.begin(), seen.end(), 0);
    for (int j = 0; j <= keep; ++j) {
      const int interval = order[j];
      if (interval < 0 || interval > last) Fail("kept position holds no interval");
      if (seen[interval]) Fail("interval kept twice");
      seen[interval] = 1;
      if (!anyNaN && j > 0 && errors[order[j - 1]] < errors[interval]) Fail("kept front not in decreasing order");
    }
    if (!seen[last]) Fail("new interval not in the kept front");
    if (!seen[bisected]) Fail("bisected interval not in the kept front");

    // The next target, as the integrator picks it.
    switch (in.Byte() % 4) {
      case 2: targetPos = 0; break;                       // after an extrapolation
      case 3: targetPos = in.Byte() % (keep + 1); break;  // scanning for a large interval
      default: break;                                     // the position returned
    }
    if (targetPos > keep) targetPos = 0;  // beyond the front: extrapolate, restart at the head
    target = order[targetPos];
  }
  return 0;
}
