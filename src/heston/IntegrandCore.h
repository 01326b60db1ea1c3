#ifndef EUROCALL_HESTON_INTEGRANDCORE_H
#define EUROCALL_HESTON_INTEGRANDCORE_H

// The closed form shared by RealIntegrand_j0 and RealIntegrand_j1, in real arithmetic.
//
// Both integrands are Re[e^(C + D v0 + i phi x) / (i phi)] of the characteristic
// function written with e^(-dT) and g = (beta - d)/(beta + d), beta = b - i rho sigma phi,
// d = sqrt(Z). They differ only in how Z is formed (ZOfJ0, ZOfJ1) and in b (kappa for
// j0, kappa - sigma rho for j1); everything from the root d on is ClosedFormFromZ.
//
// The square root of the three quantities that are never negative in exact arithmetic
// (|Z|^2 from its polynomial, 2M + 2 Re Z and 2M - 2 Re Z) is a parameter, so that a
// test can run the same steps with the bare square root; the library uses
// RootOfNonNegative.
#include <cmath>

namespace eurocall {

// 0 for +0, -0 and NaN; +1 for v > 0; -1 for v < 0.
int Sign(double v);

// Sign(a) when that is not 0, otherwise Sign(b).
int FirstNonZeroSign(double a, double b);

// atan2(y, x): the angle of the point (x, y) in [-pi, pi].
double ArcTan2(double y, double x);

// sqrt(v) of a quantity that is >= 0 in exact arithmetic: a negative rounding residue
// is taken as +0 before the root. NaN stays NaN and -0 stays -0, so every argument on
// which sqrt is not NaN gives sqrt's own result.
double RootOfNonNegative(double v);

// Z = d^2 of one integrand, as its own grouping forms it.
struct ZParts {
  double twoReZ;      // 2 Re Z: the half-angle roots and the branch rule use it doubled
  double imZ;         // only its sign is used
  double modulusSq;   // Re Z^2 + Im Z^2 as the expanded polynomial, terms left to right
};

// Z for b = kappa (P2, u = -1/2).
ZParts ZOfJ0(double kappa, double sigma, double rho, double phi);

// Z for b = kappa - sigma rho (P1, u = +1/2).
ZParts ZOfJ1(double kappa, double sigma, double rho, double phi);

template <class Root>
double ClosedFormFromZ(Root&& root, const ZParts& z, double b, double x, double T, double theta, double v0,
                       double kappa, double sigma, double rho, double phi) {
  // Both half-angle roots from the one modulus M, never M from a hypotenuse of Re Z and
  // Im Z. 2M - 2 Re Z is 2(M - Re Z) bit for bit, doubling being exact, unless 2M
  // overflows (M above 8.9e307).
  const double M = root(z.modulusSq);
  const double reD = 0.5 * root(2.0 * M + z.twoReZ);
  const double imDAbs = 0.5 * root(2.0 * M - z.twoReZ);
  // |Im d| from M - Re Z, never Im Z / (2 Re d): keeps the sign rule exact when Im Z = 0,
  // where a negative real Z gets Im d > 0 (2 Re Z has the sign of Re Z).
  const int s = FirstNonZeroSign(z.imZ, -z.twoReZ);
  const double imD = s * imDAbs;

  const double w = (sigma * rho) * phi;
  const double reA = b - reD;
  const double imA = -w - imD;
  const double reB = b + reD;
  const double imB = imD - w;

  // g = A conj(B) / |B|^2 with one reciprocal.
  const double h = 1.0 / (reB * reB + imB * imB);
  const double reG = (reA * reB + imA * imB) * h;
  const double imG = (imA * reB - reA * imB) * h;

  // e^(-dT) = E c - i E sn.
  const double E = std::exp(-reD * T);
  const double c = std::cos(imD * T);
  const double sn = s * std::sin(imDAbs * T);

  // Q = 1 - g e^(-dT), P = 1 - g.
  const double reQ = 1.0 - (E * c * reG + E * sn * imG);
  const double imQ = E * sn * reG - E * c * imG;
  const double reP = 1.0 - reG;
  const double imP = -imG;

  // R = Q conj(P) / |P|^2, and 2 ln R = ln|R|^2 + 2i arg R: one principal logarithm of
  // the quotient, not ln Q - ln P, which can differ from it by a multiple of 2 pi i.
  // ln|R|^2 needs no square root.
  const double hP = 1.0 / (reP * reP + imP * imP);
  const double reR = (reQ * reP + imQ * imP) * hP;
  const double imR = (imQ * reP - reQ * imP) * hP;
  const double L = std::log(reR * reR + imR * imR);
  const double angle = ArcTan2(imR, reR);

  const double invSigma2 = 1.0 / (sigma * sigma);
  const double k = (invSigma2 * theta) * kappa;
  const double reC = k * (reA * T - L);
  const double imC = k * (imA * T - 2.0 * angle);

  // D v0 = A (1 - e^(-dT)) / (sigma^2 Q) v0, with v0 folded into the one reciprocal of |Q|^2.
  const double reF = 1.0 - E * c;
  const double imF = E * sn;
  const double reN = (reA * reF - imA * imF) * invSigma2;
  const double imN = (reA * imF + imA * reF) * invSigma2;
  const double m = v0 / (reQ * reQ + imQ * imQ);
  const double reDv = (reN * reQ + imN * imQ) * m;
  const double imDv = (imN * reQ - reN * imQ) * m;

  return std::sin((imC + imDv) + x * phi) * std::exp(reC + reDv) * (1.0 / phi);
}

template <class Root>
double RealIntegrandJ0Core(Root&& root, double x, double T, double theta, double v0, double kappa, double sigma,
                           double rho, double phi) {
  return ClosedFormFromZ(root, ZOfJ0(kappa, sigma, rho, phi), kappa, x, T, theta, v0, kappa, sigma, rho, phi);
}

template <class Root>
double RealIntegrandJ1Core(Root&& root, double x, double T, double theta, double v0, double kappa, double sigma,
                           double rho, double phi) {
  const double b = kappa - sigma * rho;
  return ClosedFormFromZ(root, ZOfJ1(kappa, sigma, rho, phi), b, x, T, theta, v0, kappa, sigma, rho, phi);
}

}  // namespace eurocall

#endif
