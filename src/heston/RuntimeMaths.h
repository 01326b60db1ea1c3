// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_RUNTIMEMATHS_H
#define EUROCALL_HESTON_RUNTIMEMATHS_H

// The maths functions of the Heston closed form, as the library takes them: the C
// runtime's, with one mend to the square root. The closed form reaches them through a
// policy argument, so that a test can run the same steps with the bare square root and
// a benchmark can record the argument of every call; the library passes RuntimeMaths.
#include <cmath>

namespace eurocall {

// sqrt(v) of a quantity that is >= 0 in exact arithmetic: a negative rounding residue
// is taken as +0 before the root. NaN stays NaN and -0 stays -0, so every argument on
// which sqrt is not NaN gives sqrt's own result.
//
//   v < 0 (a residue, -inf too) -> +0
//   -0                          -> -0
//   NaN                         -> NaN
inline double RootOfNonNegative(double v) { return std::sqrt(v < 0.0 ? 0.0 : v); }

// sin and cos of one argument come from one sincos where the runtime has it: glibc's
// sincos runs the same reduction and polynomials as its sin and cos and returns their
// results bit for bit (a test checks this on many arguments).
struct RuntimeMaths {
  double Root(double v) const { return RootOfNonNegative(v); }
  double Exp(double v) const { return std::exp(v); }
  double Log(double v) const { return std::log(v); }
  double Sin(double v) const { return std::sin(v); }
  double Cos(double v) const { return std::cos(v); }
  // The angle of the point (x, y) in [-pi, pi], the quadrant from both signs.
  double Atan2(double y, double x) const { return std::atan2(y, x); }
  void SinCos(double v, double& s, double& c) const {
#if defined(__GLIBC__)
    ::sincos(v, &s, &c);
#else
    s = std::sin(v);
    c = std::cos(v);
#endif
  }
};

}  // namespace eurocall

#endif
