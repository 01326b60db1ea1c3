#ifndef EUROCALL_HESTON_INTEGRANDCORE_H
#define EUROCALL_HESTON_INTEGRANDCORE_H

// The closed form shared by RealIntegrand_j0 and RealIntegrand_j1, in real arithmetic.
//
// Both integrands are Re[e^(C + D v0 + i phi x) / (i phi)] of the characteristic
// function written with e^(-dT) and g = (beta - d)/(beta + d), beta = b - i rho sigma phi,
// d = sqrt(Z). They differ only in how Z is formed (ZOfJ0, ZOfJ1) and in b (kappa for
// j0, kappa - sigma rho for j1); everything from the root d on is ClosedFormFromZ.
//
// Every quantity that does not depend on phi is formed once, in IntegrandTerms, by
// exactly the operations (and groupings) that the per-phi formulas would apply to it,
// so that a panel or a price pays for it once and every result stays the same to the
// bit. Only products and sums that stand on their own in a formula are taken out;
// a factor that a left-to-right product reaches through a phi-dependent one (the
// sigma^2 sigma^2 of ZOfJ1, say) stays where it is.
//
// The maths functions are reached through a policy (RuntimeMaths in the library), so
// that a test can run the same steps with the bare square root and a benchmark can
// record the arguments of every call.
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// atan2(y, x): the angle of the point (x, y) in [-pi, pi].
inline double ArcTan2(double y, double x) { return std::atan2(y, x); }

// sqrt(v) of a quantity that is >= 0 in exact arithmetic: a negative rounding residue
// is taken as +0 before the root. NaN stays NaN and -0 stays -0, so every argument on
// which sqrt is not NaN gives sqrt's own result.
inline double RootOfNonNegative(double v) { return std::sqrt(v < 0.0 ? 0.0 : v); }

// The C runtime's functions. sin and cos of one argument come from one sincos where the
// runtime has it: glibc's sincos runs the same reduction and polynomials as its sin and
// cos and returns their results bit for bit (a test checks this on many arguments).
struct RuntimeMaths {
  double Root(double v) const { return RootOfNonNegative(v); }
  double Exp(double v) const { return std::exp(v); }
  double Log(double v) const { return std::log(v); }
  double Sin(double v) const { return std::sin(v); }
  double Cos(double v) const { return std::cos(v); }
  double Atan2(double y, double x) const { return ArcTan2(y, x); }
  void SinCos(double v, double& s, double& c) const {
#if defined(__GLIBC__)
    ::sincos(v, &s, &c);
#else
    s = std::sin(v);
    c = std::cos(v);
#endif
  }
};

// RuntimeMaths with another square root, for tests that take the mend away.
template <class R>
struct MathsWithRoot : RuntimeMaths {
  R root;
  explicit MathsWithRoot(R r) : root(r) {}
  double Root(double v) const { return root(v); }
};

// The phi-free part of both integrands for one parameter set, each term written as the
// formula that reads it groups it.
struct IntegrandTerms {
  double x, T, theta, v0, kappa, sigma, rho;
  double sigma2;        // sigma sigma
  double rho2;          // rho rho
  double kappa2;        // kappa kappa
  double sigmaRho;      // sigma rho
  double srk;           // (sigma rho) kappa
  double fourSrk;       // 4 ((sigma rho) kappa)
  // j0
  double j0QuarticCoef;  // (rho^2 - 2) rho^2 + 1 = (1 - rho^2)^2
  double j0LinearKappa;  // 2 (rho^2 + 1) kappa^2, the first kappa term of the q coefficient
  double kappa4;         // kappa^2 kappa^2
  // j1
  double b1;             // kappa - sigma rho
  double s2r2;           // sigma^2 rho^2
  double twoKappa2;      // 2 kappa^2
  double twoS2r2;        // 2 (sigma^2 rho^2), the first factor of Im Z
  double j1ImZCoef;      // 2 (sigma rho) kappa + sigma^2, the second
  // the closed form
  double invSigma2;      // 1 / sigma^2
  double k;              // ((1/sigma^2) theta) kappa
};

inline IntegrandTerms FormIntegrandTerms(double x, double T, double theta, double v0, double kappa, double sigma,
                                         double rho) {
  IntegrandTerms t;
  t.x = x;
  t.T = T;
  t.theta = theta;
  t.v0 = v0;
  t.kappa = kappa;
  t.sigma = sigma;
  t.rho = rho;
  t.sigma2 = sigma * sigma;
  t.rho2 = rho * rho;
  t.kappa2 = kappa * kappa;
  t.sigmaRho = sigma * rho;
  t.srk = t.sigmaRho * kappa;
  t.fourSrk = 4.0 * t.srk;
  t.j0QuarticCoef = (t.rho2 - 2.0) * t.rho2 + 1.0;
  t.j0LinearKappa = 2.0 * (t.rho2 + 1.0) * t.kappa2;
  t.kappa4 = t.kappa2 * t.kappa2;
  t.b1 = kappa - sigma * rho;
  t.s2r2 = t.sigma2 * t.rho2;
  t.twoKappa2 = 2.0 * t.kappa2;
  t.twoS2r2 = 2.0 * t.s2r2;
  t.j1ImZCoef = 2.0 * t.sigmaRho * kappa + t.sigma2;
  t.invSigma2 = 1.0 / t.sigma2;
  t.k = (t.invSigma2 * theta) * kappa;
  return t;
}

// Z = d^2 of one integrand, as its own grouping forms it.
struct ZParts {
  double twoReZ;      // 2 Re Z: the half-angle roots and the branch rule use it doubled
  double imZ;         // only its sign is used
  double modulusSq;   // Re Z^2 + Im Z^2 as the expanded polynomial, terms left to right
};

// Z for b = kappa (P2, u = -1/2); w = (sigma rho) phi.
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

// Z for b = kappa - sigma rho (P1, u = +1/2).
inline ZParts ZOfJ1(const IntegrandTerms& t, double phi) {
  const double p = phi * phi;
  const double pp = p * p;
  ZParts z;
  // 2 Re Z = 2 (kappa - sigma rho)^2 + 2 p sigma^2 (1 - rho^2), expanded and kept
  // doubled; like the polynomial below, its grouping sets the last bits where M and
  // Re Z cancel.
  z.twoReZ = (((2.0 - 2.0 * p) * t.s2r2 + 2.0 * p * t.sigma2) + t.twoKappa2) - t.fourSrk;
  z.imZ = t.twoS2r2 * phi - t.j1ImZCoef * phi;
  // |Z|^2 by powers of kappa: kappa^0 (through sigma^4), kappa^1, then kappa^2 and
  // higher nested.
  z.modulusSq = ((((2.0 * p + pp + 1.0) * t.rho2 - 2.0 * (pp + p)) * t.rho2 + (pp + p)) * t.sigma2 * t.sigma2 -
                 4.0 * (1.0 + p) * t.s2r2 * t.srk) +
                ((((2.0 * p + 6.0) * t.rho2 + 2.0 * p) * t.sigma2 - t.fourSrk) + t.kappa2) * t.kappa2;
  return z;
}

// theIntegrand's floor: it keeps 1/phi finite; a NaN phi fails the test and is floored too.
constexpr double kSmallestPhi = 1e-300;
inline double FlooredPhi(double phi) { return (std::fabs(phi) > kSmallestPhi) ? phi : kSmallestPhi; }

// M = sqrt(|Z|^2), Re d = 0.5 sqrt(2M + 2 Re Z) and |Im d| = 0.5 sqrt(2M - 2 Re Z) of
// N lanes, each root of a non-negative quantity taken as m.Root takes it.
template <int N, class Maths>
void HalfAngleRoots(const Maths& m, const ZParts* z, double* reD, double* imDAbs) {
  for (int l = 0; l < N; ++l) {
    const double M = m.Root(z[l].modulusSq);
    reD[l] = 0.5 * m.Root(2.0 * M + z[l].twoReZ);
    imDAbs[l] = 0.5 * m.Root(2.0 * M - z[l].twoReZ);
  }
}

#if defined(__SSE2__)
// The same for the library's own maths, two lanes per instruction. A square root is
// correctly rounded whichever instruction takes it, so sqrtpd gives each lane exactly
// the bits of sqrt; "v < 0 ? +0 : v" becomes v AND (v not less than 0), which keeps
// -0 and NaN as they are and turns a negative residue into +0, as RootOfNonNegative
// does. Square roots and divisions share one unit, and a pair costs it little more
// than one root.
inline __m128d RootOfNonNegativePair(__m128d v) {
  return _mm_sqrt_pd(_mm_and_pd(v, _mm_cmpnlt_pd(v, _mm_setzero_pd())));
}

template <int N>
void HalfAngleRoots(const RuntimeMaths& m, const ZParts* z, double* reD, double* imDAbs) {
  const __m128d two = _mm_set1_pd(2.0), half = _mm_set1_pd(0.5);
  int l = 0;
  for (; l + 1 < N; l += 2) {
    const __m128d modulusSq = _mm_set_pd(z[l + 1].modulusSq, z[l].modulusSq);
    const __m128d twoReZ = _mm_set_pd(z[l + 1].twoReZ, z[l].twoReZ);
    const __m128d M2 = _mm_mul_pd(two, RootOfNonNegativePair(modulusSq));
    _mm_storeu_pd(reD + l, _mm_mul_pd(half, RootOfNonNegativePair(_mm_add_pd(M2, twoReZ))));
    _mm_storeu_pd(imDAbs + l, _mm_mul_pd(half, RootOfNonNegativePair(_mm_sub_pd(M2, twoReZ))));
  }
  for (; l < N; ++l) {
    const double M = m.Root(z[l].modulusSq);
    reD[l] = 0.5 * m.Root(2.0 * M + z[l].twoReZ);
    imDAbs[l] = 0.5 * m.Root(2.0 * M - z[l].twoReZ);
  }
}
#endif

// The closed form from Z on, for N independent integrand evaluations ("lanes") at
// once: lane l is one integrand (z[l], b[l]) at one phi, with w = (sigma rho) phi,
// xPhi = x phi and invPhi = 1/phi of that phi. Each lane's arithmetic is exactly that
// of a single evaluation; the lanes only take their steps side by side, so that the
// maths calls of different lanes, which do not depend on one another, stand next to
// each other and the processor can overlap them.
template <int N, class Maths>
void ClosedFormFromZ(const Maths& m, const IntegrandTerms& t, const ZParts* z, const double* b, const double* w,
                     const double* xPhi, const double* invPhi, double* out) {
  double reD[N], imDAbs[N], imD[N], reA[N], imA[N];
  double s[N];  // the sign of Im d, +1, -1 or 0, as a double (exact)
  // Both half-angle roots from the one modulus M, never M from a hypotenuse of Re Z and
  // Im Z. 2M - 2 Re Z is 2(M - Re Z) bit for bit, doubling being exact, unless 2M
  // overflows (M above 8.9e307).
  HalfAngleRoots<N>(m, z, reD, imDAbs);
  for (int l = 0; l < N; ++l) {
    // |Im d| from M - Re Z, never Im Z / (2 Re d): keeps the sign rule exact when
    // Im Z = 0, where a negative real Z gets Im d > 0 (2 Re Z has the sign of Re Z).
    s[l] = static_cast<double>(FirstNonZeroSign(z[l].imZ, -z[l].twoReZ));
    imD[l] = s[l] * imDAbs[l];
  }

  // A = beta - d, B = beta + d and g = A conj(B) / |B|^2 with one reciprocal.
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
    // Q = 1 - g e^(-dT), P = 1 - g.
    reQ[l] = 1.0 - (E[l] * c[l] * reG[l] + E[l] * sn[l] * imG[l]);
    imQ[l] = E[l] * sn[l] * reG[l] - E[l] * c[l] * imG[l];
    const double reP = 1.0 - reG[l];
    const double imP = -imG[l];
    // R = Q conj(P) / |P|^2, and 2 ln R = ln|R|^2 + 2i arg R: one principal logarithm
    // of the quotient, not ln Q - ln P, which can differ from it by a multiple of 2 pi i.
    // ln|R|^2 needs no square root.
    const double hP = 1.0 / (reP * reP + imP * imP);
    reR[l] = (reQ[l] * reP + imQ[l] * imP) * hP;
    imR[l] = (imQ[l] * reP - reQ[l] * imP) * hP;
    // v0 folded into the one reciprocal of |Q|^2, for D v0 below.
    mQ[l] = t.v0 / (reQ[l] * reQ[l] + imQ[l] * imQ[l]);
  }
  double L[N], angle[N];
  for (int l = 0; l < N; ++l) L[l] = m.Log(reR[l] * reR[l] + imR[l] * imR[l]);
  for (int l = 0; l < N; ++l) angle[l] = m.Atan2(imR[l], reR[l]);

  double phase[N], growth[N];
  for (int l = 0; l < N; ++l) {
    const double reC = t.k * (reA[l] * t.T - L[l]);
    const double imC = t.k * (imA[l] * t.T - 2.0 * angle[l]);
    // D v0 = A (1 - e^(-dT)) / (sigma^2 Q) v0, with v0 folded into the one reciprocal
    // of |Q|^2.
    const double reF = 1.0 - E[l] * c[l];
    const double imF = E[l] * sn[l];
    const double reN = (reA[l] * reF - imA[l] * imF) * t.invSigma2;
    const double imN = (reA[l] * imF + imA[l] * reF) * t.invSigma2;
    const double reDv = (reN * reQ[l] + imN * imQ[l]) * mQ[l];
    const double imDv = (imN * reQ[l] - reN * imQ[l]) * mQ[l];
    phase[l] = (imC + imDv) + xPhi[l];
    growth[l] = reC + reDv;
  }
  for (int l = 0; l < N; ++l) out[l] = m.Sin(phase[l]) * m.Exp(growth[l]) * invPhi[l];
}

template <class Maths>
double J0FromTerms(const Maths& m, const IntegrandTerms& t, double phi) {
  const double w = t.sigmaRho * phi, xPhi = t.x * phi, invPhi = 1.0 / phi;
  const ZParts z = ZOfJ0(t, phi, w);
  double out;
  ClosedFormFromZ<1>(m, t, &z, &t.kappa, &w, &xPhi, &invPhi, &out);
  return out;
}

template <class Maths>
double J1FromTerms(const Maths& m, const IntegrandTerms& t, double phi) {
  const double w = t.sigmaRho * phi, xPhi = t.x * phi, invPhi = 1.0 / phi;
  const ZParts z = ZOfJ1(t, phi);
  double out;
  ClosedFormFromZ<1>(m, t, &z, &t.b1, &w, &xPhi, &invPhi, &out);
  return out;
}

// e^x j1 - j0 at P frequencies phi[0..P) (already floored), expX = e^x; the product
// before the difference. The 2P integrands run as lanes side by side.
template <int P, class Maths>
void CombinedFromTerms(const Maths& m, const IntegrandTerms& t, double expX, const double* phi, double* result) {
  ZParts z[2 * P];
  double b[2 * P], w[2 * P], xPhi[2 * P], invPhi[2 * P], out[2 * P];
  for (int i = 0; i < P; ++i) {
    const double wi = t.sigmaRho * phi[i];
    const double xi = t.x * phi[i];
    const double inv = 1.0 / phi[i];
    z[2 * i] = ZOfJ1(t, phi[i]);
    z[2 * i + 1] = ZOfJ0(t, phi[i], wi);
    b[2 * i] = t.b1;
    b[2 * i + 1] = t.kappa;
    w[2 * i] = w[2 * i + 1] = wi;
    xPhi[2 * i] = xPhi[2 * i + 1] = xi;
    invPhi[2 * i] = invPhi[2 * i + 1] = inv;
  }
  ClosedFormFromZ<2 * P>(m, t, z, b, w, xPhi, invPhi, out);
  for (int i = 0; i < P; ++i) result[i] = expX * out[2 * i] - out[2 * i + 1];
}

template <class Maths>
double CombinedFromTerms(const Maths& m, const IntegrandTerms& t, double expX, double phi) {
  double result;
  CombinedFromTerms<1>(m, t, expX, &phi, &result);
  return result;
}

template <class Root>
double RealIntegrandJ0Core(Root&& root, double x, double T, double theta, double v0, double kappa, double sigma,
                           double rho, double phi) {
  return J0FromTerms(MathsWithRoot<Root&>(root), FormIntegrandTerms(x, T, theta, v0, kappa, sigma, rho), phi);
}

template <class Root>
double RealIntegrandJ1Core(Root&& root, double x, double T, double theta, double v0, double kappa, double sigma,
                           double rho, double phi) {
  return J1FromTerms(MathsWithRoot<Root&>(root), FormIntegrandTerms(x, T, theta, v0, kappa, sigma, rho), phi);
}

}  // namespace eurocall

#endif
