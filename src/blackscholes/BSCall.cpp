// SPDX-License-Identifier: Apache-2.0
// BSCall: Black–Scholes price S Phi(d1) - K e^(-rT) Phi(d2) of a European call.
//
// d1 is formed as (ln(S/K)/sd + (sqrt(T) r)/vol) + sd/2, three terms left to right, not
// as the textbook (ln(S/K) + (r + vol^2/2) T)/sd: the last bits and the degenerate
// inputs below depend on it.
//
//   T = 0, vol > 0      -> max(S - K, 0) exactly (d1 = +-inf, or NaN when S = K)
//   vol = 0, T > 0      -> S - K e^(-rT) where d1 is NaN or +inf; 0 where -inf
//   sd = 0 and the formula gives a value below 0 -> +0: a call price is never negative
//   T < 0, S <= 0, K <= 0: the arithmetic's own result (NaN d1 acts as +inf)
//
// Accuracy: within 2.8e-14 absolute (S = 100) of a 40-digit evaluation (mpmath) on a
// grid of 1,008 options, K 50 to 200, T 0.02 to 10, r 0 to 0.1, vol 0.05 to 1.5; prices
// far out of the money lose relative accuracy to the difference of the two terms.
#include <cmath>

#include "blackscholes/blackscholes.h"

namespace eurocall {

double BSCall(double S, double K, double T, double r, double vol) {
  const double q = std::sqrt(T);
  const double sd = q * vol;
  const double d1 = ((std::log(S / K) / sd) + ((q * r) / vol)) + (sd * 0.5);
  const double A = CumNormal(d1) * S;
  const double d2 = d1 - sd;
  const double B = CumNormal(d2);
  const double price = A - (B * std::exp(-(T * r))) * K;
  // With zero variance d1 is NaN (or +inf) for an out-of-the-money strike and the
  // formula yields S - K e^(-rT) < 0; the price of the call is 0 there.
  if (sd == 0.0 && price < 0.0) return 0.0;
  return price;
}

}  // namespace eurocall
