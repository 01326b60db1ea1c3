// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_BLACKSCHOLES_IMPLIEDVOLSEARCHCORE_H
#define EUROCALL_BLACKSCHOLES_IMPLIEDVOLSEARCHCORE_H

// The Brent search behind every implied volatility, written over the priced function
// so that the same steps can be run on any price(v) (ImpliedVolSearch instantiates it
// with BSCall; tests with an observer around BSCall).
//
// Root of f(v) = price(v) - target on the bracket [0.001, 2]: inverse quadratic
// interpolation and secant steps, safeguarded by bisection, with the tolerance
// |b| * 6e-08 + absTol relative to the current estimate b.
//
//   f(0.001), f(2) on the same side of zero (NaN counts as negative) -> 2
//   more than maxIter iterations                                      -> 999
//   otherwise                                                         -> b in [0.001, 2]
//
// Comparisons that must fire for NaN are written as "does not hold" tests.
#include <cmath>

namespace eurocall {

// u and w lie on the same side of zero: both > 0, or neither >= 0. Zero lies on no
// side, so a zero value always counts as enclosed; NaN counts with the negatives.
inline bool SameSideOfZero(double u, double w) {
  return (u > 0.0 && w > 0.0) || (!(u >= 0.0) && !(w >= 0.0));
}

template <class Price>
double ImpliedVolSearchCore(Price&& price, double target, double absTol, int maxIter) {
  constexpr double kLow = 0.001;
  constexpr double kHigh = 2.0;
  constexpr double kRelTol = 6e-08;
  constexpr double kNotEnclosed = 2.0;
  constexpr double kNoConvergence = 999.0;

  double a = kLow, b = kHigh, c = kHigh;
  double fa = price(kLow) - target;
  double fb = price(kHigh) - target;
  if (SameSideOfZero(fa, fb)) return kNotEnclosed;

  double fc = fb;
  double d = 0.0, e = 0.0;  // set on the first pass below: fb and fc start equal
  for (int k = 1;;) {
    if (SameSideOfZero(fb, fc)) {
      c = a;
      fc = fa;
      d = b - a;
      e = d;
    }
    if (std::fabs(fb) > std::fabs(fc)) {  // make b the better end
      a = b;
      b = c;
      c = a;
      fa = fb;
      fb = fc;
      fc = fa;
    }
    const double tol1 = std::fabs(b) * kRelTol + absTol;
    const double xm = (c - b) * 0.5;
    // Converged, or fb is 0 or NaN.
    if (!(std::fabs(xm) > tol1) || !(fb < 0.0 || fb > 0.0)) return b;

    // Interpolate when the previous step was not too small and fb improved on fa;
    // e NaN also bisects.
    if (std::fabs(e) >= tol1 && !(std::fabs(fb) >= std::fabs(fa))) {
      const double s = fb / fa;
      double p, q;
      if (a == c) {  // two distinct points: secant
        p = (s * xm) * 2.0;
        q = 1.0 - s;
      } else {  // three distinct points: inverse quadratic interpolation
        q = fa / fc;
        const double t = fb / fc;
        p = s * ((((q - t) * q) * xm) * 2.0 - (b - a) * (t - 1.0));
        q = ((q - 1.0) * (s - 1.0)) * (t - 1.0);
      }
      if (p > 0.0) q = -q;
      p = std::fabs(p);
      const double min1 = ((q * xm) * 3.0) - std::fabs(q * tol1);
      const double min2 = std::fabs(q * e);
      const double lim = (min1 >= min2) ? min2 : min1;
      if (2.0 * p >= lim) {
        d = xm;
        e = xm;
      } else {
        e = d;
        d = p / q;
      }
    } else {
      d = xm;
      e = xm;
    }
    a = b;
    fa = fb;
    if (std::fabs(d) > tol1) {
      b = b + d;
    } else {  // the minimum step, towards c
      b = (xm >= 0.0) ? b + tol1 : b - tol1;
    }
    fb = price(b) - target;
    k = k + 1;
    if (k > maxIter) return kNoConvergence;  // the new fb is not examined
  }
}

}  // namespace eurocall

#endif
