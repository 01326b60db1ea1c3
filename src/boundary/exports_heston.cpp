// SPDX-License-Identifier: Apache-2.0
// Exports of the Heston subsystem: each runs its routine in the library's numeric
// environment and adds nothing else.
#include "boundary/NumericEnvironment.h"
#include "eurocall.h"
#include "heston/heston.h"

using eurocall::CallInLibraryEnvironment;

extern "C" {

EUROCALL_API double EUROCALL_CALL HestonCall_exact(double S, double K, double T, double r, double v0, double theta,
                                                   double kappa, double sigma, double rho) {
  return CallInLibraryEnvironment(eurocall::HestonCall_exact, S, K, T, r, v0, theta, kappa, sigma, rho);
}

EUROCALL_API double EUROCALL_CALL HestonCall_fast(double S, double K, double T, double r, double v0, double theta,
                                                  double kappa, double sigma, double rho) {
  return CallInLibraryEnvironment(eurocall::HestonCall_fast, S, K, T, r, v0, theta, kappa, sigma, rho);
}

EUROCALL_API double EUROCALL_CALL HestonVol_exact(double S, double K, double T, double r, double v0, double theta,
                                                  double kappa, double sigma, double rho) {
  return CallInLibraryEnvironment(eurocall::HestonVol_exact, S, K, T, r, v0, theta, kappa, sigma, rho);
}

EUROCALL_API double EUROCALL_CALL HestonVol_fast(double S, double K, double T, double r, double v0, double theta,
                                                 double kappa, double sigma, double rho) {
  return CallInLibraryEnvironment(eurocall::HestonVol_fast, S, K, T, r, v0, theta, kappa, sigma, rho);
}

EUROCALL_API double EUROCALL_CALL RealIntegrand_j0(double x, double T, double theta, double v0, double kappa,
                                                   double sigma, double rho, double phi) {
  return CallInLibraryEnvironment(eurocall::RealIntegrand_j0, x, T, theta, v0, kappa, sigma, rho, phi);
}

EUROCALL_API double EUROCALL_CALL RealIntegrand_j1(double x, double T, double theta, double v0, double kappa,
                                                   double sigma, double rho, double phi) {
  return CallInLibraryEnvironment(eurocall::RealIntegrand_j1, x, T, theta, v0, kappa, sigma, rho, phi);
}

EUROCALL_API double EUROCALL_CALL theIntegrand(double x, double T, double v0, double theta, double kappa,
                                               double sigma, double rho, double phi) {
  return CallInLibraryEnvironment(eurocall::theIntegrand, x, T, v0, theta, kappa, sigma, rho, phi);
}

}  // extern "C"
