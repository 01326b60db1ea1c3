// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_BLACKSCHOLES_H
#define EUROCALL_BLACKSCHOLES_H

// Black–Scholes routines: the normal distribution, the call price and the
// implied-volatility search shared by all three volatility exports.
namespace eurocall {

// Cumulative standard normal distribution; a number in [0, 1] for every input
// (NaN gives 1).
double CumNormal(double x);

// Black–Scholes price of a European call on a non-dividend-paying underlying.
double BSCall(double S, double K, double T, double r, double vol);

// Brent search over the volatility bracket [0.001, 2] for BSCall(S, K, T, r, v) = target.
// Tolerance |b| * 6e-08 + absTol. Returns the volatility, 2 when the bracket does not
// enclose target, 999 once maxIter iterations have passed.
double ImpliedVolSearch(double S, double K, double T, double r, double target, double absTol, int maxIter);

// Implied volatility of a call price, with input checks: 0 for a rejected price,
// otherwise ImpliedVolSearch(..., 5e-16, 100).
double BSVol(double S, double K, double T, double r, double price);

}  // namespace eurocall

#endif
