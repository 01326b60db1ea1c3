#ifndef EUROCALL_HESTON_HESTONCALLEXACTCORE_H
#define EUROCALL_HESTON_HESTONCALLEXACTCORE_H

// The exact Heston price written over its two quadratures, so that a test can watch the
// panel schedule and the tail's starting point: panel(a, b) integrates the combined
// integrand over [a, b], tail(bound) from bound to +infinity.
#include <cmath>

namespace eurocall {

// Panels of width 0.1 while their lower end is below 1. The ends accumulate by repeated
// double addition of 0.1, so there are 11 panels, not 10, and the last one ends at
// 1.0999999999999999, the double just below 1.1, where the tail takes over.
template <class Panel>
double IntegrateNearOrigin(Panel&& panel, double& lower) {
  double G = panel(0.0, 0.1);
  lower = 0.1;
  while (lower < 1.0) {
    const double upper = lower + 0.1;
    G = panel(lower, upper) + G;
    lower = upper;
  }
  return G;
}

// From the integral to the price: the sum is taken in absolute value, the price is
// raised to the intrinsic value S - K e^(-rT) when it falls below, and a price that is
// still below 0 (both candidates negative, far out of the money) is +0. NaN stays NaN.
inline double HestonPriceFromIntegral(double S, double K, double D, double integral) {
  constexpr double kTwoOverPi = 0.6366197723675814;
  const double p = 0.5 * (S - ((1.0 - std::fabs(integral) * kTwoOverPi) * D) * K);
  const double L = S - D * K;
  const double price = (p > L) ? p : L;  // a NaN p gives L
  return (price < 0.0) ? 0.0 : price;
}

// HestonCall_exact once x is known: eleven panels near the origin, the tail from where
// they end, and the price of the absolute integral with its floors.
template <class Panel, class Tail>
double HestonCallExactCore(Panel&& panel, Tail&& tail, double S, double K, double rT) {
  double lower = 0.0;
  const double G = IntegrateNearOrigin(panel, lower);
  const double rest = tail(lower);
  const double D = std::exp(-rT);
  return HestonPriceFromIntegral(S, K, D, G + rest);
}

}  // namespace eurocall

#endif
