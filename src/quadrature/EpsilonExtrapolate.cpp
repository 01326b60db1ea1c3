// SPDX-License-Identifier: Apache-2.0
// EpsilonExtrapolate: one step of Wynn's epsilon algorithm on a growing sequence of
// approximations, keeping only the lower diagonal of the epsilon table.
//
// Method: with the newest element appended at top, the new diagonal is built from the
// bottom up, two columns per pass (the rhombus rule e1 + 1 / (1/d1 + 1/d2 - 1/d3)); the
// best element by |res - e2| + |d3| + |d2| is returned, and the table is compacted so
// that the next call can append again. The error is rebuilt from the spread of the last
// three returned values and floored at 5 ulps of the result.
//
//   fewer than 3 elements             -> the newest element, error largest, table kept
//   last three elements within 1 ulp  -> that element, error |d2| + |d3| (convergence)
//   near-equal or irregular elements  -> table cut back to 2i - 1 elements
//   50 elements                       -> cut to 49, on every path, convergence included
//   first three calls                 -> error largest unless converged
//   a NaN (never written) in recent   -> error largest: no estimate to compare with
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "quadrature/quadrature.h"

namespace eurocall {

namespace {

constexpr double kLargest = DBL_MAX;               // stands for no estimate at all
constexpr double kEpsilon = 2.220446049250313e-16;  // 2^-52
static_assert(kEpsilon == 0x1p-52);
constexpr double kIrregular = 0.0001;
constexpr double kRelativeFloor = 1.1102230246251565e-15;  // 5 * 2^-52
static_assert(kRelativeFloor == 5 * 0x1p-52);
// Each call writes position n + 1 for n elements; 50 elements use position 51, the
// last of the 52, and leaving at most 49 keeps the next append (n = 50) inside.
constexpr int kMaxElements = 50;

}  // namespace

double EpsilonExtrapolate(int& top, double* table, double& error, double* recent, int& calls) {
  int n = top + 1;
  calls = calls + 1;
  error = kLargest;
  double result = table[n - 1];
  if (n >= 3) {
    table[n + 1] = table[n - 1];
    const int newElements = (n - 1) / 2;
    table[n - 1] = kLargest;
    const int num = n;
    int k = n - 1;
    bool converged = false;
    for (int i = 1; i <= newElements; ++i) {
      double res = table[k + 2];
      const double e0 = table[k - 2];
      const double e1 = table[k - 1];
      const double e2 = res;
      const double e1abs = std::fabs(e1);
      const double d2 = e2 - e1;
      const double err2 = std::fabs(d2);
      const double tol2 = std::max(std::fabs(e2), e1abs) * kEpsilon;
      const double d3 = e1 - e0;
      const double err3 = std::fabs(d3);
      const double tol3 = std::max(e1abs, std::fabs(e0)) * kEpsilon;
      if (err2 <= tol2 && err3 <= tol3) {
        // e0, e1, e2 agree to rounding: take e2 as the limit, leave the table as it is.
        result = res;
        error = err3 + err2;
        converged = true;
        break;
      }
      const double e3 = table[k];
      table[k] = e1;
      const double d1 = e1 - e3;
      const double err1 = std::fabs(d1);
      const double tol1 = std::max(e1abs, std::fabs(e3)) * kEpsilon;
      // Neighbours equal to rounding make 1/d pure noise (or a division by zero): the
      // table is cut there.
      if (err1 <= tol1 || err2 <= tol2 || err3 <= tol3) {
        n = 2 * i - 1;
        break;
      }
      const double ss = ((1.0 / d1) + (1.0 / d2)) - (1.0 / d3);
      // |1/ss| at least 1e4 |e1|: the new element would jump far off the sequence.
      if (std::fabs(ss * e1) <= kIrregular) {
        n = 2 * i - 1;
        break;
      }
      res = e1 + 1.0 / ss;
      table[k] = res;
      k = k - 2;
      const double err = (std::fabs(res - e2) + err3) + err2;
      if (err <= error) {
        error = err;
        result = res;
      }
    }
    if (n == kMaxElements) n = kMaxElements - 1;
    if (!converged) {
      // Shift the new diagonal down over the old one, two positions per element.
      int p = num % 2 == 1 ? 0 : 1;
      for (int m = 0; m <= newElements; ++m) {
        table[p] = table[p + 2];
        p = p + 2;
      }
      if (num != n) {
        for (int m = 0; m < n; ++m) table[m] = table[num - n + m];
      }
      if (calls < 4) {
        recent[calls - 1] = result;
        error = kLargest;
      } else {
        if (std::isnan(recent[0]) || std::isnan(recent[1]) || std::isnan(recent[2])) {
          error = kLargest;
        } else {
          error = (std::fabs(result - recent[1]) + std::fabs(result - recent[0])) +
                  std::fabs(result - recent[2]);
        }
        recent[0] = recent[1];
        recent[1] = recent[2];
        recent[2] = result;
      }
    }
  }
  error = std::max(error, kRelativeFloor * std::fabs(result));
  top = n - 1;
  return result;
}

}  // namespace eurocall
