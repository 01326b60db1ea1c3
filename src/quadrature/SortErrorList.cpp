// SPDX-License-Identifier: Apache-2.0
// SortErrorList: keeps the subintervals ordered by decreasing error estimate after a
// bisection, without a full sort.
//
// Method: the bisected interval (now its larger half) first rises past strictly smaller
// predecessors, then is inserted top-down below the entries with strictly larger error;
// the new interval is inserted bottom-up above the entries with error <= its own.
//
//   last <= 1                      -> order = [0, 1] (the caller put the larger error in 0)
//   equal to a predecessor         -> the bisected interval stays below it
//   equal to a successor           -> the bisected interval goes above it
//   new interval equal to entries  -> the new interval goes above all of them
//
// Only the front positions 0..keep are maintained. Once more than half the intervals
// are used, an interval far down the list can no longer be bisected before the limit
// is reached, so keep shrinks by one per call (limit - last + 3): entries beyond it are
// stale and never read.
#include "quadrature/quadrature.h"

namespace eurocall {

void SortErrorList(int limit, int last, int& target, double& targetError,
                   const double* errors, int* order, int& targetPos) {
  if (last <= 1) {
    order[0] = 0;
    order[1] = 1;
  } else {
    const double e = errors[target];
    while (targetPos > 0 && e > errors[order[targetPos - 1]]) {
      order[targetPos] = order[targetPos - 1];
      --targetPos;
    }
    // The slot at targetPos is free from here on; target is not yet written.

    int keep = last;
    if (last > limit / 2 + 2) keep = limit - last + 3;
    const double emin = errors[last];
    const int bottom = keep - 1;

    int i = targetPos + 1;
    while (i <= bottom && !(e >= errors[order[i]])) {
      order[i - 1] = order[i];
      ++i;
    }
    if (i > bottom) {
      // Below every kept entry: the bisected interval last, the new one just after it.
      order[bottom] = target;
      order[keep] = last;
    } else {
      order[i - 1] = target;
      int k = bottom;
      while (k >= i && !(emin < errors[order[k]])) {
        order[k + 1] = order[k];
        --k;
      }
      order[k + 1] = last;
    }
  }
  target = order[targetPos];
  targetError = errors[target];
}

}  // namespace eurocall
