// SPDX-License-Identifier: Apache-2.0
// HestonCall_exact: the Heston call price from Gauss–Legendre panels near the origin and
// an adaptive Gauss–Kronrod integral of the rest of the half line.
//
// Method: x = ln(e^(rT) S / K); eleven panels of width 0.1 on [0, 1.0999999999999999]
// (SumPanelsNearOrigin), then IntegrateToInfinity of theIntegrand from there to +inf at
// relative tolerance 1e-8, whose error estimate, evaluation count and status are not
// used; then the price of |panels + tail|, raised to the intrinsic value
// (PriceFromAbsoluteIntegral).
//
// The tail goes to the integrator as a batch integrand (TheIntegrandOfTail): the nodes
// of each rule side by side, as in a panel, from the terms and e^x the panels use, so
// the phi-free work is done once per price. Its values are IntegrandCallback's to the
// bit. The one-argument callback stays for plain callers: the other seven arguments
// travel in IntegrandParams, one record per thread, written by every price, so
// concurrent prices on different threads never see each other's parameters.
//
//   G + tail < 0          -> its absolute value is priced
//   p <= S - K e^(-rT)    -> S - K e^(-rT) (also when p is NaN)
//   that still below 0    -> +0: far out of the money both candidates can be negative
//   ErrorIndicator() > 0  -> every integrand value is 0, so the price is
//                            max(0.5 (S - K e^(-rT)), S - K e^(-rT), 0)
//
// Accuracy: within 1.5e-8 absolute of the 151 independent reference prices of
// tests/data/heston_prices.csv (the largest at K = 70, T = 1 of the third parameter
// set); 3.9e-11 on the typical request.
#include <cmath>

#include "heston/IntegrandLanes.h"
#include "heston/IntegrandTerms.h"
#include "heston/PanelSchedules.h"
#include "heston/heston.h"
#include "quadrature/quadrature.h"

namespace eurocall {

thread_local IntegrandParamsRecord IntegrandParams = {0, 0, 0, 0, 0, 0, 0};

double IntegrandCallback(double phi) {
  const IntegrandParamsRecord& p = IntegrandParams;
  return theIntegrand(p.x, p.T, p.v0, p.theta, p.kappa, p.sigma, p.rho, phi);
}

void TheIntegrandOfTail(void* context, const double* phi, int count, double* values) {
  const TailIntegrand& tail = *static_cast<const TailIntegrand*>(context);
  // A rule's 15 points at once (twice that on the whole line); anything else in
  // batches of 15 and one at a time. Nothing here sets the error indicator, so every
  // batch of a call reads the same indicator as one point at a time would.
  int i = 0;
  for (; i + kRulePoints <= count; i += kRulePoints) {
    TheIntegrandAt<kRulePoints>(*tail.terms, tail.x, tail.expX, phi + i, values + i);
  }
  for (; i < count; ++i) TheIntegrandAt<1>(*tail.terms, tail.x, tail.expX, phi + i, values + i);
}

double HestonCall_exact(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                        double rho) {
  const double rT = T * r;
  const double x = LogForwardMoneyness(S, K, rT);
  // All seven fields are current before any integration starts.
  IntegrandParams = {x, kappa, sigma, v0, rho, T, theta};

  const IntegrandTerms terms = FormIntegrandTerms(T, theta, v0, kappa, sigma, rho);
  const double expX = std::exp(x);
  double tailStart = 0.0;
  const double G =
      SumPanelsNearOrigin([&](double a, double b) { return IntegratePanelOfTerms(terms, x, expX, a, b); }, tailStart);

  return PriceFromAbsoluteIntegral(S, K, std::exp(-rT), G + TailIntegral(terms, x, expX, tailStart));
}

double TailIntegral(const IntegrandTerms& terms, double x, double expX, double tailStart) {
  constexpr int kToPlusInfinity = 1;
  double error = 0.0;
  int evaluations = 0;
  IntegrationStatus status{};
  TailIntegrand integrand{&terms, x, expX};
  return IntegrateToInfinity(BatchIntegrand{TheIntegrandOfTail, &integrand}, tailStart, kToPlusInfinity, 0.0, 1e-8,
                             error, evaluations, status);
}

}  // namespace eurocall
