// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_CHARACTERISTICFUNCTIONSMALLSIGMA_H
#define EUROCALL_HESTON_CHARACTERISTICFUNCTIONSMALLSIGMA_H

// The same characteristic function as CharacteristicFunction.h, C + D v0 of one
// integrand at one phi, written so that nothing cancels as sigma -> 0. Used instead of
// the closed form for a whole parameter set when sigma = 0, 0 < sigma < 0.05 kappa or
// 0 < sigma < 1e-4 (IntegrandTerms::smallSigma): there the closed form's |Im d| from
// M - Re Z and its A / sigma^2 lose digits like (kappa / sigma)^2, without mean
// reversion its 1 - e^(-dT) cancels, and at sigma = 0 it is 0/0.
//
// Method. With V = sigma^-2 (beta^2 - Z) = -phi^2 + 2 u i phi (free of sigma) and
// F = 1 - e^(-dT):
//
//   Z   = b^2 + sigma^2 phi^2 (1 - rho^2) + i sigma phi (-2 b rho - 2 u sigma)
//   d   = sqrt(Z): the larger of Re d, |Im d| from sqrt((|Z| + |Re Z|) / 2), the other
//         as Im Z / (2 . ) -- a sum of like-signed terms, where the closed form takes
//         the difference M - Re Z
//   a   = A / sigma^2 = V / (beta + d)      (A B = beta^2 - d^2 = sigma^2 V)
//         no cancelled difference is divided by sigma^2; where beta + d is the smaller
//         of beta +- d (Re(beta conj d) < 0, only outside |rho| <= 1, kappa >= 0),
//         beta - d is itself uncancelled and a = (beta - d) / sigma^2
//   F   = (1 - e) + e (1 - cos Y) + i e sin Y,  e = e^(-Re d T), Y = Im d T,
//         1 - e by expm1 and 1 - cos Y = 2 sin^2(Y/2): F is exact to rounding however
//         small dT is
//   Fd  = F / d; below |dT| = 1e-6 by its series T (1 - dT/2 + (dT)^2/6), which is also
//         the limit d = 0 (kappa = sigma = 0)
//   y   = g F / (1 - g) = A F / (2 d) = (sigma^2 / 2) a Fd,  so R = 1 + y carries its
//         sigma^2 as a factor and ln R = ln(1 + y) comes from log1p
//   l   = ln(1 + y) / y; below |y| = 1e-4 by its series 1 - y/2 + y^2/3 - y^3/4 + y^4/5
//   C   = kappa theta (a T - 2 ln(1 + y) / sigma^2) = kappa theta a (T - Fd l)
//   D   = a F / (1 - g e^(-dT)) = V Fd / (beta Fd + 1 + e^(-dT))
//         no 1/B: finite at d = 0, the denominator near 2 wherever sigma is small
//
// The logarithm is the principal one of R = 1 + y, as in the closed form, so both
// evaluate one function. At sigma = 0: d = b = kappa, a = V / (2 kappa), y = 0, l = 1
// and C + D v0 = (V / 2) (theta T + (v0 - theta) (1 - e^(-kappa T)) / kappa), the
// Black-Scholes exponent of the integrated variance of the deterministic variance path.
//
//   sigma = 0, kappa > 0        -> the Black-Scholes exponent above, finite
//   sigma = kappa = 0           -> beta = d = 0: a taken as 0 (it is multiplied by
//                                  kappa in C and by sigma^2 in y); D v0 = v0 T V / 2
//   |beta + d|^2 below DBL_MIN  -> the same (kappa, sigma below about 1e-154)
//   Z = 0                       -> d = 0, Fd by its series
//   T = 0                       -> Fd = 0, y = 0: C = D = 0
//
// Accuracy: the prices built on it are within 4.4e-14 max(1, price) (exact) and 9.2e-15
// (fast) of the 70 rows of tests/data/heston_small_sigma.csv that it evaluates (sigma /
// kappa from 0.049 to 1e-12 and 0, kappa = 0, T from 0.05 to 10, rho from -0.95 to 0.5).
#include <cfloat>
#include <cmath>

#include "heston/IntegrandTerms.h"

namespace eurocall {

// Below these the series of Fd and of ln(1 + y)/y are exact to rounding: their first
// omitted terms are (dT)^3/24 and y^5/6 relative, under 1e-19.
constexpr double kSmallDTSquared = 1e-12;  // |dT| < 1e-6
constexpr double kSmallYSquared = 1e-8;    // |y| < 1e-4

// ln(1 + y)/y by its series, Horner from the highest power.
inline void LogOnePlusOverArgSeries(double reY, double imY, double& reL, double& imL) {
  static const double coef[3] = {-0.25, 1.0 / 3.0, -0.5};  // y^3, y^2, y^1 of the series
  double pr = 0.2, pi = 0.0;                                // y^4
  for (double c : coef) {
    const double nr = (pr * reY - pi * imY) + c;
    const double ni = pr * imY + pi * reY;
    pr = nr;
    pi = ni;
  }
  reL = 1.0 + (pr * reY - pi * imY);
  imL = pr * imY + pi * reY;
}

// C + D v0 of one integrand at phi: b = kappa (j0) or kappa - sigma rho (j1), imZCoef
// the factor of sigma phi in Im Z, twoU = 2u = -1 (j0) or +1 (j1).
inline void SmallSigmaExponent(const IntegrandTerms& t, double b, double imZCoef, double twoU, double phi,
                               double& growth, double& phase) {
  const double sphi = t.sigma * phi;
  // Re Z a sum of non-negative terms; Im Z one product.
  const double reZ = b * b + (sphi * sphi) * t.oneMinusRho2;
  const double imZ = sphi * imZCoef;
  const double M = std::hypot(reZ, imZ);
  double reD, imD;
  if (reZ >= 0.0) {
    reD = std::sqrt(0.5 * (M + reZ));
    imD = (reD > 0.0) ? imZ / (2.0 * reD) : 0.0;
  } else {
    // a negative real Z gets Im d > 0, as in the closed form's sign rule
    const double r = std::sqrt(0.5 * (M - reZ));
    imD = (imZ < 0.0) ? -r : r;
    reD = std::fabs(imZ) / (2.0 * r);
  }
  const double w = t.sigmaRho * phi;  // beta = b - i w
  const double reV = -(phi * phi), imV = twoU * phi;

  double reA, imA;
  if (b * reD - w * imD >= 0.0) {
    const double reB = b + reD, imB = imD - w;
    const double B2 = reB * reB + imB * imB;
    const double hB = (B2 >= DBL_MIN) ? 1.0 / B2 : 0.0;
    reA = (reV * reB + imV * imB) * hB;
    imA = (imV * reB - reV * imB) * hB;
  } else {
    reA = (b - reD) * t.invSigma2;
    imA = (-w - imD) * t.invSigma2;
  }

  const double X = reD * t.T, Y = imD * t.T;
  const double em = std::expm1(-X);
  const double e = 1.0 + em;
  const double halfY = 0.5 * Y;
  const double sh = std::sin(halfY), ch = std::cos(halfY);
  const double sinY = 2.0 * sh * ch;
  const double oneMinusCos = 2.0 * (sh * sh);
  const double reE = e * (1.0 - oneMinusCos), imE = -e * sinY;  // e^(-dT)

  double reFd, imFd;
  if (X * X + Y * Y < kSmallDTSquared) {
    reFd = t.T * (1.0 - 0.5 * X + (X * X - Y * Y) / 6.0);
    imFd = t.T * (-0.5 * Y + (X * Y) / 3.0);
  } else {
    const double reF = -em + e * oneMinusCos, imF = e * sinY;
    const double hd = 1.0 / (reD * reD + imD * imD);
    reFd = (reF * reD + imF * imD) * hd;
    imFd = (imF * reD - reF * imD) * hd;
  }

  const double reY = t.halfSigma2 * (reA * reFd - imA * imFd);
  const double imY = t.halfSigma2 * (reA * imFd + imA * reFd);
  double reL, imL;
  const double y2 = reY * reY + imY * imY;
  if (y2 < kSmallYSquared) {
    LogOnePlusOverArgSeries(reY, imY, reL, imL);
  } else {
    // ln|1 + y| from log1p of |1 + y|^2 - 1 = y (2 + y) + ..., not of the rounded 1 + y
    const double lr = 0.5 * std::log1p(reY * (2.0 + reY) + imY * imY);
    const double li = std::atan2(imY, 1.0 + reY);
    const double hy = 1.0 / y2;
    reL = (lr * reY + li * imY) * hy;
    imL = (li * reY - lr * imY) * hy;
  }

  const double reW = t.T - (reFd * reL - imFd * imL);
  const double imW = -(reFd * imL + imFd * reL);
  const double reC = t.kappaTheta * (reA * reW - imA * imW);
  const double imC = t.kappaTheta * (reA * imW + imA * reW);

  const double reN = reV * reFd - imV * imFd, imN = reV * imFd + imV * reFd;
  const double reDen = ((b * reFd + w * imFd) + 1.0) + reE;
  const double imDen = (b * imFd - w * reFd) + imE;
  const double m = t.v0 / (reDen * reDen + imDen * imDen);
  const double reDv = (reN * reDen + imN * imDen) * m;
  const double imDv = (imN * reDen - reN * imDen) * m;
  growth = reC + reDv;
  phase = imC + imDv;
}

inline void SmallSigmaExponentJ0(const IntegrandTerms& t, double phi, double& growth, double& phase) {
  SmallSigmaExponent(t, t.kappa, t.j0SmallImZCoef, -1.0, phi, growth, phase);
}

inline void SmallSigmaExponentJ1(const IntegrandTerms& t, double phi, double& growth, double& phase) {
  SmallSigmaExponent(t, t.b1, t.j1SmallImZCoef, 1.0, phi, growth, phase);
}

}  // namespace eurocall

#endif
