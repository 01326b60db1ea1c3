// SPDX-License-Identifier: Apache-2.0
// Kronrod15Transformed: the 15-point Gauss–Kronrod rule on a piece of (0, 1] in the
// variable t of x = bound + s (1 - t) / t, which maps an infinite range onto (0, 1].
//
// Method: the transformed integrand g(t) = f(x(t)) / t / t (f(-x) + f(x) for the whole
// line) is sampled at the centre and 7 symmetric node pairs, all points mapped first
// and evaluated as one batch (BatchIntegrand); the Kronrod sum gives the result, the
// embedded 7-point Gauss sum the raw error |K - G| h, which is then rescaled by the
// deviation integral and floored at 50 ulps of the absolute integral. The rescaling's
// power is the rule's only call that can set the error indicator, and it comes after
// every value of the rule, whether they come one at a time or as a batch.
//
//   f = 0 everywhere               -> result 0, error 0, both integrals 0
//   deviation or error 0 or NaN    -> raw error kept (no rescaling)
//   absolute integral <= 2.0e-294  -> no floor (the floor would be subnormal)
//   infinite g at an even position -> K infinite, G finite
#include <algorithm>
#include <cmath>

#include "quadrature/OnePointAtATime.h"
#include "quadrature/quadrature.h"
#include "runtime/ErrorIndicator.h"

namespace eurocall {

namespace {

// Nodes and weights of the rule on [-1, 1]; each literal is the exact value correctly
// rounded to double (recomputed to 40 digits from the Legendre and Stieltjes
// polynomials; round-trip checked in tests).
// node[j], j = 0..6: the positive nodes in descending order; node[7] the centre.
const double kNode[8] = {
    0.99145537112081261, 0.94910791234275849, 0.86486442335976910, 0.74153118559939446,
    0.58608723546769115, 0.40584515137739718, 0.20778495500789848, 0.0,
};
// kronrodWeight[j] belongs to node[j]; kronrodWeight[7] to the centre.
const double kKronrodWeight[8] = {
    0.022935322010529224, 0.063092092629978558, 0.10479001032225019, 0.14065325971552592,
    0.16900472663926791,  0.19035057806478542,  0.20443294007529889, 0.20948214108472782,
};
// The Gauss nodes are the Kronrod nodes at odd positions: gauss[g] belongs to
// node[2g + 1], gauss[3] to the centre. No zeros stored for the other positions.
const double kGaussWeight[4] = {
    0.12948496616886970, 0.27970539148927664, 0.38183005050511892, 0.41795918367346940,
};

constexpr double kErrorFloor = 1.1102230246251565e-14;  // 50 * 2^-52
static_assert(kErrorFloor == 50 * 0x1p-52);
// Smallest normal double / (50 * 2^-52): below it the floor itself would be subnormal.
constexpr double kFloorThreshold = 2.0041683600089728e-294;
static_assert(kFloorThreshold == 0x1p-1022 / kErrorFloor);

}  // namespace

double Kronrod15Transformed(const BatchIntegrand& f, double bound, int rangeKind, double a, double b,
                            double& error, double& absIntegral, double& devIntegral) {
  // s = -1 reflects the half line for rangeKind -1; the whole line folds onto s = +1.
  const double s = rangeKind > 1 ? 1.0 : static_cast<double>(rangeKind);
  const double c = (a + b) * 0.5;
  const double h = (b - a) * 0.5;
  const bool wholeLine = rangeKind == 2;

  auto map = [s, bound](double t) { return ((1.0 - t) * s) / t + bound; };
  // Two divisions by t, not one by t * t: the last bits depend on it.
  auto weigh = [](double y, double t) { return (y / t) / t; };

  // All points first, in the order of a one-point-at-a-time rule: the centre, then per
  // pair the left and the right node; on the whole line each mirrored value follows
  // its direct one at the centre, and a pair's two mirrored values follow both direct
  // ones.
  double tLow[7];
  double tHigh[7];
  double x[kRulePointsWholeLine];
  int n = 0;
  const double xc = map(c);
  x[n++] = xc;
  if (wholeLine) x[n++] = -xc;
  for (int j = 0; j < 7; ++j) {
    const double d = h * kNode[j];
    tLow[j] = c - d;
    tHigh[j] = c + d;
    const double x1 = map(tLow[j]);
    const double x2 = map(tHigh[j]);
    x[n++] = x1;
    x[n++] = x2;
    if (wholeLine) {
      x[n++] = -x1;
      x[n++] = -x2;
    }
  }
  double v[kRulePointsWholeLine];
  f.evaluate(f.context, x, n, v);

  n = 0;
  double yc = v[n++];
  if (wholeLine) yc = v[n++] + yc;
  const double fc = weigh(yc, c);

  double gaussSum = kGaussWeight[3] * fc;
  double kronrodSum = kKronrodWeight[7] * fc;
  double absSum = std::fabs(kronrodSum);
  double low[7];
  double high[7];
  for (int j = 0; j < 7; ++j) {
    double v1 = v[n++];
    double v2 = v[n++];
    if (wholeLine) {
      v1 = v[n++] + v1;
      v2 = v[n++] + v2;
    }
    const double y1 = weigh(v1, tLow[j]);
    const double y2 = weigh(v2, tHigh[j]);
    low[j] = y1;
    high[j] = y2;
    const double sum = y1 + y2;
    if (j % 2 == 1) gaussSum = sum * kGaussWeight[(j - 1) / 2] + gaussSum;
    kronrodSum = sum * kKronrodWeight[j] + kronrodSum;
    absSum = (std::fabs(y1) + std::fabs(y2)) * kKronrodWeight[j] + absSum;
  }

  // The weights sum to 2, so half the Kronrod sum is the mean of g over the piece.
  const double mean = kronrodSum * 0.5;
  double devSum = kKronrodWeight[7] * std::fabs(fc - mean);
  for (int j = 0; j < 7; ++j) {
    devSum = (std::fabs(low[j] - mean) + std::fabs(high[j] - mean)) * kKronrodWeight[j] + devSum;
  }

  const double result = kronrodSum * h;
  absIntegral = absSum * h;
  devIntegral = devSum * h;
  error = std::fabs((kronrodSum - gaussSum) * h);

  // |K - G| h is at most about 1.05 times the deviation integral, so the base is positive
  // and at most about 210: no overflow, no domain error. A NaN skips the rescaling.
  if (devIntegral != 0.0 && error != 0.0 && !std::isnan(devIntegral) && !std::isnan(error)) {
    error = devIntegral * std::min(1.0, CheckedPow((error * 200.0) / devIntegral, 1.5));
  }
  // Nothing below 50 ulps of the integral of |g| is believable as an error.
  if (absIntegral > kFloorThreshold) error = std::max(absIntegral * kErrorFloor, error);
  return result;
}

double Kronrod15Transformed(Integrand f, double bound, int rangeKind, double a, double b,
                            double& error, double& absIntegral, double& devIntegral) {
  return Kronrod15Transformed(OnePointAtATime(f), bound, rangeKind, a, b, error, absIntegral, devIntegral);
}

}  // namespace eurocall
