// SPDX-License-Identifier: Apache-2.0
// HestonVol_fast and HestonVol_exact: the Black–Scholes volatility of either Heston price.
//
// Method: the Heston price once, with the nine arguments as received, then the implied
// volatility search on BSCall with the same S, K, T and r. No input checks. They differ
// only in the price and in the search's tolerance term and cap: the exact one does not
// tighten the search beyond BSVol's 5e-16, it allows twice the iterations.
//
//   NaN price, or one outside what the bracket [0.001, 2] reaches  -> 2
//   search past its cap                                             -> 999
//   otherwise                                                       -> a volatility in [0.001, 2]; never 0
//
// Accuracy: against the implied_vol column of tests/data/heston_prices.csv, HestonVol_exact
// within 6.1e-7 wherever the price is above 1e-8 (149 of 151 rows; the volatility of the
// two prices near 1e-14 is ill-conditioned), 1.0e-12 on the typical request;
// HestonVol_fast within 1.7e-8 on the first two parameter sets (sigma <= 0.6), 1.0e-14
// on the typical request, and as poor as its price on the third at short maturities.
#include "blackscholes/blackscholes.h"
#include "heston/heston.h"

namespace eurocall {

double ImpliedVolOfFastPrice(double S, double K, double T, double r, double price) {
  return ImpliedVolSearch(S, K, T, r, price, 5e-15, 100);
}

double ImpliedVolOfExactPrice(double S, double K, double T, double r, double price) {
  return ImpliedVolSearch(S, K, T, r, price, 5e-16, 200);
}

double HestonVol_fast(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                      double rho) {
  return ImpliedVolOfFastPrice(S, K, T, r, HestonCall_fast(S, K, T, r, v0, theta, kappa, sigma, rho));
}

double HestonVol_exact(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                       double rho) {
  return ImpliedVolOfExactPrice(S, K, T, r, HestonCall_exact(S, K, T, r, v0, theta, kappa, sigma, rho));
}

}  // namespace eurocall
