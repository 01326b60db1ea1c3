#ifndef EUROCALL_HESTON_HESTONCALLFASTCORE_H
#define EUROCALL_HESTON_HESTONCALLFASTCORE_H

// The panel schedule and price of HestonCall_fast, written over the panel integral
// panel(x, lower, upper) so that tests can drive the schedule with any integrand
// (HestonCall_fast instantiates it with IntegratePanel).
//
// Panels [0, 4], [4, 8], ... are summed until one of magnitude <= 1e-18 has been added;
// the bound test admits lower = 256, so the last possible panel is [256, 260]: at most
// 65 panels. A first panel <= 1e-18 ends the integration at once. Then
//   price = 0.5 (S - (e^(-rT) (1 - (2/pi) total)) K),
// with no absolute value of total and no floor at the intrinsic value.
//
//   price < 0                 -> +0: a poor integral (short maturity, high vol of vol)
//                                must not give a negative call price
//   NaN panel                 -> ends the loop; price NaN (not floored)
//   every integrand value 0   -> 0.5 (S - K e^(-rT)), or +0 when that is negative
#include <cmath>

namespace eurocall {

template <class Panel>
double HestonCallFastCore(Panel&& panel, double S, double K, double T, double r) {
  constexpr double kWidth = 4.0;
  constexpr double kNegligible = 1e-18;
  constexpr double kLastLower = 256.0;             // 64 panels of width 4 after the first
  constexpr double kTwoOverPi = 0.6366197723675814;  // 2/pi rounded to double
  static_assert(kTwoOverPi == 2.0 / 3.141592653589793);
  static_assert(kLastLower == 64 * kWidth);

  const double rT = T * r;
  const double x = std::log((std::exp(rT) * S) / K);
  double total = panel(x, 0.0, kWidth);
  // NaN fails both magnitude tests: a NaN first panel is the only one, a later NaN
  // panel is added and ends the loop.
  if (std::fabs(total) > kNegligible) {
    for (double lower = kWidth; lower <= kLastLower;) {
      const double upper = lower + kWidth;
      const double I = panel(x, lower, upper);
      total = total + I;  // added before it is tested
      lower = upper;
      if (!(std::fabs(I) > kNegligible)) break;
    }
  }
  const double D = std::exp(-rT);
  const double q = 1.0 - total * kTwoOverPi;
  const double price = 0.5 * (S - (D * q) * K);
  if (price < 0.0) return 0.0;  // NaN fails the test and stays NaN
  return price;
}

}  // namespace eurocall

#endif
