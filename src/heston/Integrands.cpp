// RealIntegrand_j0, RealIntegrand_j1 and theIntegrand: the Heston integrands in closed
// form (IntegrandCore.h).
//
// Z, the square of d, is formed per integrand in its own grouping; Re Z and Im Z are
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

double RealIntegrand_j0(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return J0FromTerms(RuntimeMaths{}, FormIntegrandTerms(x, T, theta, v0, kappa, sigma, rho), phi);
}

double RealIntegrand_j1(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return J1FromTerms(RuntimeMaths{}, FormIntegrandTerms(x, T, theta, v0, kappa, sigma, rho), phi);
}

double theIntegrand(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double phi) {
  const double phiUsed = FlooredPhi(phi);
  if (ErrorIndicator() > 0) return 0.0;
  // theta and v0 change places: the real integrands take theta first.
  return CombinedFromTerms(RuntimeMaths{}, FormIntegrandTerms(x, T, theta, v0, kappa, sigma, rho), std::exp(x),
                           phiUsed);
}

}  // namespace eurocall
