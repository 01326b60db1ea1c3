// HestonCall_exact: the Heston call price from Gauss–Legendre panels near the origin and
// an adaptive Gauss–Kronrod integral of the rest of the half line.
//
// The integrator takes a function of phi alone, so the other seven arguments of the
// integrand travel in IntegrandParams, one record per thread: concurrent prices on
// different threads never see each other's parameters.
//
//   G + tail < 0          -> its absolute value is priced
//   p <= S - K e^(-rT)    -> S - K e^(-rT) (also when p is NaN)
//   that still below 0    -> +0: far out of the money both candidates can be negative
//   error indicator set   -> every integrand value is 0, so the price is
//                            max(0.5 (S - K e^(-rT)), S - K e^(-rT), 0)
#include <cmath>

#include "heston/HestonCallExactCore.h"
#include "heston/heston.h"
#include "quadrature/quadrature.h"

namespace eurocall {

thread_local IntegrandParamsRecord IntegrandParams = {0, 0, 0, 0, 0, 0, 0};

double IntegrandCallback(double phi) {
  const IntegrandParamsRecord& p = IntegrandParams;
  return theIntegrand(p.x, p.T, p.v0, p.theta, p.kappa, p.sigma, p.rho, phi);
}

double HestonCall_exact(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                        double rho) {
  IntegrandParams.v0 = v0;
  IntegrandParams.theta = theta;
  IntegrandParams.kappa = kappa;
  IntegrandParams.sigma = sigma;
  IntegrandParams.rho = rho;
  const double rT = T * r;
  const double x = std::log((std::exp(rT) * S) / K);
  IntegrandParams.x = x;
  IntegrandParams.T = T;

  // Only the integral is used: the integrator's error estimate, evaluation count and
  // status do not change the price.
  return HestonCallExactCore(
      [&](double a, double b) { return IntegratePanel(x, T, v0, theta, kappa, sigma, rho, a, b); },
      [](double bound) {
        constexpr int kToPlusInfinity = 1;
        double error = 0.0;
        int evaluations = 0;
        IntegrationStatus status{};
        return IntegrateToInfinity(IntegrandCallback, bound, kToPlusInfinity, 0.0, 1e-8, error, evaluations, status);
      },
      S, K, rT);
}

}  // namespace eurocall
