// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_CHARACTERISTICFUNCTION_H
#define EUROCALL_HESTON_CHARACTERISTICFUNCTION_H

// The Heston characteristic function in closed form, in real arithmetic: Z of each
// integrand, and the exponent C + D v0 from Z on for N lanes side by side.
//
// Method. The integrand of P1 (j1) has u = +1/2, b = kappa - sigma rho; that of P2 (j0)
// u = -1/2, b = kappa. At frequency phi, with i the imaginary unit:
//
//   beta = b - i rho sigma phi
//   Z    = beta^2 - sigma^2 (2 u i phi - phi^2)                        (= d^2)
//   d    = sqrt(Z), the principal root: Re d >= 0
//   A    = beta - d,   B = beta + d,   g = A / B
//   C    = (kappa theta / sigma^2) (A T - 2 ln((1 - g e^(-dT)) / (1 - g)))
//   D    = (A / sigma^2) (1 - e^(-dT)) / (1 - g e^(-dT))
//   j    = Re[e^(C + D v0 + i phi x) / (i phi)]
//        = e^(Re(C + D v0)) sin(Im(C + D v0) + x phi) / phi
//
// This is the form with e^(-dT) and g = (beta - d)/(beta + d), in which |e^(-dT)| <= 1
// for T >= 0, not the one with e^(+dT) and (beta + d)/(beta - d), which gives other
// values wherever its logarithm crosses the branch cut. ExponentsFromZ below returns
// the growth Re(C + D v0) and the phase Im(C + D v0) of each lane; x enters only as
// x phi added to the phase (IntegrandLanes.h).
//
// The groupings that matter, and why (where values cancel they decide the result, so
// they are kept as written):
//   - Z in its own grouping per integrand (ZOfJ0, ZOfJ1), and |Z|^2 not as
//     Re Z^2 + Im Z^2 but as the expanded polynomial, its terms added left to right:
//     these set the last bits where M = |Z| and Re Z nearly cancel (phi near 0, small
//     sigma), that is in |Im d|.
//   - Re d = sqrt(2M + 2 Re Z)/2 and |Im d| = sqrt(2M - 2 Re Z)/2, both from the one M
//     (HalfAngleRoots.h); Im d never as Im Z / (2 Re d), which keeps the sign rule exact
//     when Im Z = 0. The sign of Im d is that of Im Z, and when Im Z = 0 the opposite of
//     Re Z's: a negative real Z gets Im d > 0.
//   - g, R = Q/P and D as a product with one reciprocal each: 1/|B|^2, 1/|P|^2,
//     1/sigma^2 and v0/|Q|^2 (v0 folded in).
//   - One principal logarithm of the quotient R = (1 - g e^(-dT))/(1 - g), never
//     ln Q - ln P, which can differ from it by a multiple of 2 pi i; 2 ln R as
//     ln|R|^2 + 2i arg R, with no square root.
//
//   sigma = 0                  -> NaN: 1/sigma^2 is infinite and multiplies a zero bracket;
//                                 never reached: IntegrandTerms::smallSigma sends sigma = 0
//                                 to CharacteristicFunctionSmallSigma.h
//   phi = 0                    -> not finite: 1/phi is infinite
//   a root argument below 0    -> +0 (a rounding residue; RuntimeMaths.h)
//   Z = 0 or NaN (sign rule 0) -> Im d = 0; cos and sin of Im d T taken apart
//   theta = 0 or kappa = 0     -> C = 0;   v0 = 0 -> D v0 = 0
//   T = 0                      -> e^(-dT) = 1: D = 0, C = 0 up to rounding
//
// Accuracy: because |Im d| comes from M - Re Z, it loses relative accuracy as Im Z
// becomes small against Re Z (its relative error grows like (Re Z / Im Z)^2), that is
// for phi near 0 and for small sigma; no series or limit is used there. Small sigma
// (sigma < 0.05 kappa, sigma < 1e-4, sigma = 0) takes CharacteristicFunctionSmallSigma.h
// instead, chosen once per parameter set (IntegrandTerms::smallSigma).
#include "heston/HalfAngleRoots.h"
#include "heston/IntegrandTerms.h"

namespace eurocall {

// 0 for +0, -0 and NaN; +1 for v > 0; -1 for v < 0.
inline int Sign(double v) {
  if (v > 0.0) return 1;
  if (v < 0.0) return -1;
  return 0;  // +0, -0 and NaN
}

// Sign(a) when that is not 0, otherwise Sign(b).
inline int FirstNonZeroSign(double a, double b) {
  const int s = Sign(a);
  return s != 0 ? s : Sign(b);
}

// Z for j0 (b = kappa, u = -1/2); w = (sigma rho) phi.
inline ZParts ZOfJ0(const IntegrandTerms& t, double phi, double w) {
  const double q = (phi * phi) * t.sigma2;
  ZParts z;
  // Re Z = kappa^2 + q (1 - rho^2), with q + kappa^2 formed first.
  z.twoReZ = 2.0 * ((q + t.kappa2) - q * t.rho2);
  z.imZ = t.sigma2 * phi - 2.0 * (w * t.kappa);
  // |Z|^2 as a polynomial in q: (1 - rho^2)^2 q^2 + (2 (1 + rho^2) kappa^2
  // - 4 sigma rho kappa + sigma^2) q + kappa^4.
  z.modulusSq = ((((t.j0QuarticCoef * q + t.j0LinearKappa) - t.fourSrk) + t.sigma2) * q) + t.kappa4;
  return z;
}

// Z for j1 (b = kappa - sigma rho, u = +1/2).
inline ZParts ZOfJ1(const IntegrandTerms& t, double phi) {
  const double p = phi * phi;
  const double pp = p * p;
  ZParts z;
  // 2 Re Z = 2 (kappa - sigma rho)^2 + 2 p sigma^2 (1 - rho^2), expanded and kept
  // doubled.
  z.twoReZ = (((2.0 - 2.0 * p) * t.s2r2 + 2.0 * p * t.sigma2) + t.twoKappa2) - t.fourSrk;
  z.imZ = t.twoS2r2 * phi - t.j1ImZCoef * phi;
  // |Z|^2 by powers of kappa: kappa^0 (through sigma^4), kappa^1, then kappa^2 and
  // higher nested.
  z.modulusSq = ((((2.0 * p + pp + 1.0) * t.rho2 - 2.0 * (pp + p)) * t.rho2 + (pp + p)) * t.sigma2 * t.sigma2 -
                 4.0 * (1.0 + p) * t.s2r2 * t.srk) +
                ((((2.0 * p + 6.0) * t.rho2 + 2.0 * p) * t.sigma2 - t.fourSrk) + t.kappa2) * t.kappa2;
  return z;
}

// The closed form from Z on, for N independent integrand evaluations ("lanes") at once:
// lane l is one integrand (z[l], b[l]) at one phi, with w[l] = (sigma rho) phi of that
// phi. Returns growth[l] = Re(C + D v0) and phase[l] = Im(C + D v0), to which xPhi[l]
// (x phi of the lane) is added when xPhi is given: where x is known, the one addition
// that reads it is made in this last pass, whose other arithmetic hides it; made in
// front of each sine instead it lay on the argument of every call and cost
// HestonCall_fast 2 %. The sum is the same (imC + imDv) + x phi either way. Each lane's arithmetic is exactly that of a single
// evaluation; the lanes only take their steps side by side, so that the maths calls of
// different lanes, which do not depend on one another, stand next to each other and the
// processor can overlap them.
template <int N, class Maths>
void ExponentsFromZ(const Maths& m, const IntegrandTerms& t, const ZParts* z, const double* b, const double* w,
                    const double* xPhi, double* growth, double* phase) {
  double reD[N], imDAbs[N], imD[N], reA[N], imA[N];
  double s[N];  // the sign of Im d, +1, -1 or 0, as a double (exact)
  HalfAngleRoots<N>(m, z, reD, imDAbs);
  for (int l = 0; l < N; ++l) {
    // 2 Re Z has the sign of Re Z.
    s[l] = static_cast<double>(FirstNonZeroSign(z[l].imZ, -z[l].twoReZ));
    imD[l] = s[l] * imDAbs[l];
  }

  double reG[N], imG[N];
  for (int l = 0; l < N; ++l) {
    reA[l] = b[l] - reD[l];
    imA[l] = -w[l] - imD[l];
    const double reB = b[l] + reD[l];
    const double imB = imD[l] - w[l];
    const double h = 1.0 / (reB * reB + imB * imB);
    reG[l] = (reA[l] * reB + imA[l] * imB) * h;
    imG[l] = (imA[l] * reB - reA[l] * imB) * h;
  }

  // e^(-dT) = E c - i E sn, c = cos(Im d T), sn = s sin(|Im d| T). With s = +-1,
  // Im d T = s (|Im d| T) exactly and cos is even, so one sincos of |Im d| T gives
  // both; s = 0 (Z = 0, or NaN) keeps the two calls, since there Im d T is 0 or NaN
  // whatever |Im d| is.
  double E[N], c[N], sn[N];
  for (int l = 0; l < N; ++l) {
    E[l] = m.Exp(-reD[l] * t.T);
    if (s[l] != 0.0) {
      double sinAbs, cosAbs;
      m.SinCos(imDAbs[l] * t.T, sinAbs, cosAbs);
      c[l] = cosAbs;
      sn[l] = s[l] * sinAbs;
    } else {
      c[l] = m.Cos(imD[l] * t.T);
      sn[l] = s[l] * m.Sin(imDAbs[l] * t.T);
    }
  }

  double reQ[N], imQ[N], reR[N], imR[N], mQ[N];
  for (int l = 0; l < N; ++l) {
    // Q = 1 - g e^(-dT), P = 1 - g, R = Q conj(P) / |P|^2.
    reQ[l] = 1.0 - (E[l] * c[l] * reG[l] + E[l] * sn[l] * imG[l]);
    imQ[l] = E[l] * sn[l] * reG[l] - E[l] * c[l] * imG[l];
    const double reP = 1.0 - reG[l];
    const double imP = -imG[l];
    const double hP = 1.0 / (reP * reP + imP * imP);
    reR[l] = (reQ[l] * reP + imQ[l] * imP) * hP;
    imR[l] = (imQ[l] * reP - reQ[l] * imP) * hP;
    mQ[l] = t.v0 / (reQ[l] * reQ[l] + imQ[l] * imQ[l]);
  }
  double L[N], angle[N];
  for (int l = 0; l < N; ++l) L[l] = m.Log(reR[l] * reR[l] + imR[l] * imR[l]);
  for (int l = 0; l < N; ++l) angle[l] = m.Atan2(imR[l], reR[l]);

  for (int l = 0; l < N; ++l) {
    const double reC = t.k * (reA[l] * t.T - L[l]);
    const double imC = t.k * (imA[l] * t.T - 2.0 * angle[l]);
    // D v0 = A F (1/sigma^2) conj(Q) v0/|Q|^2, F = 1 - e^(-dT).
    const double reF = 1.0 - E[l] * c[l];
    const double imF = E[l] * sn[l];
    const double reN = (reA[l] * reF - imA[l] * imF) * t.invSigma2;
    const double imN = (reA[l] * imF + imA[l] * reF) * t.invSigma2;
    const double reDv = (reN * reQ[l] + imN * imQ[l]) * mQ[l];
    const double imDv = (imN * reQ[l] - reN * imQ[l]) * mQ[l];
    phase[l] = (xPhi != nullptr) ? (imC + imDv) + xPhi[l] : imC + imDv;  // constant after inlining
    growth[l] = reC + reDv;
  }
}

}  // namespace eurocall

#endif
