// RealIntegrand_j0, RealIntegrand_j1 and theIntegrand: the Heston integrands in closed
// form, and the small helpers of their branch rule.
//
// Z, the square of d, is formed per integrand in the grouping below; Re Z and Im Z are
// not squared and summed for the modulus, the expanded polynomial of Re Z^2 + Im Z^2 is
// evaluated instead, term by term from the left. These groupings decide the result
// where M and Re Z nearly cancel (phi near 0, small sigma), so they are kept as written.
//
//   phi = 0 (j0, j1)               -> not finite (1/phi is infinite)
//   sigma = 0                      -> NaN (1/sigma^2 is infinite, its bracket 0)
//   a root argument below 0        -> taken as +0: M - Re Z can come out as a tiny
//                                     negative residue (small v0, large sigma, large
//                                     phi), where the true value is small and finite
//   theIntegrand, |phi| <= 1e-300 or NaN -> evaluated at +1e-300
//   theIntegrand, ErrorIndicator() > 0   -> +0, nothing evaluated
#include <cmath>

#include "heston/IntegrandCore.h"
#include "heston/heston.h"
#include "runtime/ErrorIndicator.h"

namespace eurocall {

int Sign(double v) {
  if (v > 0.0) return 1;
  if (v < 0.0) return -1;
  return 0;  // +0, -0 and NaN
}

int FirstNonZeroSign(double a, double b) {
  const int s = Sign(a);
  return s != 0 ? s : Sign(b);
}

double ArcTan2(double y, double x) { return std::atan2(y, x); }

double RootOfNonNegative(double v) { return std::sqrt(v < 0.0 ? 0.0 : v); }

ZParts ZOfJ0(double kappa, double sigma, double rho, double phi) {
  const double sigma2 = sigma * sigma;
  const double rho2 = rho * rho;
  const double kappa2 = kappa * kappa;
  const double q = (phi * phi) * sigma2;
  ZParts z;
  // Re Z = kappa^2 + q (1 - rho^2), with q + kappa^2 formed first.
  z.twoReZ = 2.0 * ((q + kappa2) - q * rho2);
  z.imZ = sigma2 * phi - 2.0 * (((sigma * rho) * phi) * kappa);
  // |Z|^2 as a polynomial in q: (1 - rho^2)^2 q^2 + (2 (1 + rho^2) kappa^2
  // - 4 sigma rho kappa + sigma^2) q + kappa^4.
  z.modulusSq = ((((rho2 - 2.0) * rho2 + 1.0) * q + 2.0 * (rho2 + 1.0) * kappa2 - 4.0 * ((sigma * rho) * kappa) +
                  sigma2) * q) + kappa2 * kappa2;
  return z;
}

ZParts ZOfJ1(double kappa, double sigma, double rho, double phi) {
  const double sigma2 = sigma * sigma;
  const double rho2 = rho * rho;
  const double kappa2 = kappa * kappa;
  const double p = phi * phi;
  const double s2r2 = sigma2 * rho2;
  const double srk = (sigma * rho) * kappa;
  ZParts z;
  // 2 Re Z = 2 (kappa - sigma rho)^2 + 2 p sigma^2 (1 - rho^2), expanded and kept
  // doubled; like the polynomial below, its grouping sets the last bits where M and
  // Re Z cancel.
  z.twoReZ = ((2.0 - 2.0 * p) * s2r2 + 2.0 * p * sigma2) + 2.0 * kappa2 - 4.0 * srk;
  z.imZ = 2.0 * s2r2 * phi - (2.0 * (sigma * rho) * kappa + sigma2) * phi;
  // |Z|^2 by powers of kappa: kappa^0 (through sigma^4), kappa^1, then kappa^2 and
  // higher nested.
  z.modulusSq = (((2.0 * p + p * p + 1.0) * rho2 - 2.0 * (p * p + p)) * rho2 + (p * p + p)) * sigma2 * sigma2 -
                4.0 * (1.0 + p) * s2r2 * srk +
                ((((2.0 * p + 6.0) * rho2 + 2.0 * p) * sigma2 - 4.0 * srk) + kappa2) * kappa2;
  return z;
}

double RealIntegrand_j0(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return RealIntegrandJ0Core(RootOfNonNegative, x, T, theta, v0, kappa, sigma, rho, phi);
}

double RealIntegrand_j1(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return RealIntegrandJ1Core(RootOfNonNegative, x, T, theta, v0, kappa, sigma, rho, phi);
}

// The floor keeps 1/phi finite; a NaN phi fails the test and is floored too.
constexpr double kSmallestPhi = 1e-300;

double theIntegrand(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double phi) {
  const double phiUsed = (std::fabs(phi) > kSmallestPhi) ? phi : kSmallestPhi;
  if (ErrorIndicator() > 0) return 0.0;
  // theta and v0 change places: the real integrands take theta first. j1 before j0.
  const double j1 = RealIntegrand_j1(x, T, theta, v0, kappa, sigma, rho, phiUsed);
  const double j0 = RealIntegrand_j0(x, T, theta, v0, kappa, sigma, rho, phiUsed);
  return std::exp(x) * j1 - j0;
}

}  // namespace eurocall
