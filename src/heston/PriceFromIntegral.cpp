// SPDX-License-Identifier: Apache-2.0
// PriceFromIntegral and PriceFromAbsoluteIntegral: the Heston call price of the
// integral of theIntegrand over the half line, for the fast and the exact price.
//
// Method: with D = e^(-rT),
//   price = 0.5 (S - (D (1 - (2/pi) integral)) K)
//         = (S - K e^(-rT)) / 2 + (K e^(-rT) / pi) integral,
// the Heston formula S P1 - K e^(-rT) P2 written with the combined integrand (its
// factor e^x turns K e^(-rT) into S). The exact price takes the integral in absolute
// value and raises the price to the intrinsic value L = S - D K; both return +0 for a
// price below 0: a poor integral (short maturity, high vol of vol), or far out of the
// money both candidates of the exact price, must not give a negative call price. The
// exact formula's price is also taken no higher than S: with (almost) no variance left over the option's
// life (v0 = 0 and kappa theta T tiny) the integrand no longer decays, the tail integral
// fails, and the formula could otherwise return a call worth more than the share.
//
//   PriceFromIntegral:          price < 0 -> +0;    NaN integral -> NaN
//   PriceFromAbsoluteIntegral:  integral < 0 -> priced as |integral|;   p > S -> S
//                               p <= L, or p NaN -> L;   then < 0 -> +0;   L NaN -> NaN
//
// Accuracy: five roundings after the integral; the price carries the integral's error
// times K e^(-rT) / pi.
#include <cmath>

#include "heston/heston.h"

namespace eurocall {

namespace {

constexpr double kTwoOverPi = 0.6366197723675814;  // 2/pi rounded to double
static_assert(kTwoOverPi == 2.0 / 3.141592653589793);

double FormulaPrice(double S, double K, double D, double integral) {
  return 0.5 * (S - (D * (1.0 - integral * kTwoOverPi)) * K);
}

double NotBelowZero(double price) { return (price < 0.0) ? 0.0 : price; }  // NaN stays NaN

}  // namespace

double PriceFromIntegral(double S, double K, double D, double integral) {
  return NotBelowZero(FormulaPrice(S, K, D, integral));
}

double PriceFromAbsoluteIntegral(double S, double K, double D, double integral) {
  const double p = FormulaPrice(S, K, D, std::fabs(integral));
  const double belowShare = (p > S) ? S : p;  // a NaN p stays NaN
  const double L = S - D * K;
  return NotBelowZero((belowShare > L) ? belowShare : L);  // a NaN p gives L
}

}  // namespace eurocall
