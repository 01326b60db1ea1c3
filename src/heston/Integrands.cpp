// SPDX-License-Identifier: Apache-2.0
// RealIntegrand_j0, RealIntegrand_j1 and theIntegrand: the Heston integrands in closed
// form (the method is written out in CharacteristicFunction.h).
//
// Method: the phi-free terms of the parameter set (IntegrandTerms.h), then Z of the
// integrand, the closed form from Z on and the last step in x (IntegrandLanes.h);
// theIntegrand runs both integrands at its one phi as two lanes side by side.
//
//   phi = 0 (j0, j1)                      -> not finite (1/phi is infinite)
//   sigma = 0, sigma < 0.05 kappa, or     -> the small-sigma evaluation
//   sigma < 1e-4 (sigma > 0)                 (CharacteristicFunctionSmallSigma.h): finite,
//                                            Black-Scholes of the integrated variance at 0
//   a root argument below 0               -> taken as +0: M - Re Z can come out as a tiny
//                                            negative residue (small v0, large sigma,
//                                            large phi), where the true value is small
//                                            and finite
//   theIntegrand, |phi| <= 1e-300 or NaN  -> evaluated at +1e-300
//   theIntegrand, ErrorIndicator() > 0    -> +0, nothing evaluated
//
// Accuracy: against a 40-digit evaluation (mpmath) of the same closed form at 64
// frequencies from 0.01 to 200 on five parameter sets (those of the reference prices,
// and T = 0.1 and 5): relative error at most 1.4e-13 for phi in [1, 10], 4.9e-12 up to
// phi = 200 and from 0.1, and 2.3e-10 at phi = 0.01 (T = 5), where |Im d| loses
// accuracy (CharacteristicFunction.h). Small sigma would lose it the same way, and is
// evaluated in the stable form instead: the prices built on it are within 5e-14 of
// max(1, price) on the 70 such rows of tests/data/heston_small_sigma.csv.
#include <cmath>

#include "heston/IntegrandLanes.h"
#include "heston/IntegrandTerms.h"
#include "heston/heston.h"

namespace eurocall {

double RealIntegrand_j0(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return J0OfTerms(RuntimeMaths{}, FormIntegrandTerms(T, theta, v0, kappa, sigma, rho), x, phi);
}

double RealIntegrand_j1(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return J1OfTerms(RuntimeMaths{}, FormIntegrandTerms(T, theta, v0, kappa, sigma, rho), x, phi);
}

double theIntegrand(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double phi) {
  // theta and v0 change places: the terms take the real integrands' order.
  double value;
  TheIntegrandAt<1>(FormIntegrandTerms(T, theta, v0, kappa, sigma, rho), x, std::exp(x), &phi, &value);
  return value;
}

}  // namespace eurocall
