#ifndef EUROCALL_HESTON_HESTONVOLCORE_H
#define EUROCALL_HESTON_HESTONVOLCORE_H

// A Heston price expressed as a Black–Scholes implied volatility, written over the two
// prices so that a test can watch the order of the calls: the Heston price once, with
// the nine arguments as received, then the search on BSCall.
//
// No input checks: a NaN price, or one outside what the bracket [0.001, 2] reaches,
// gives 2; otherwise a volatility in [0.001, 2], or 999 past the cap. Never 0.
#include "blackscholes/ImpliedVolSearchCore.h"

namespace eurocall {

template <class HestonPrice, class CallPrice>
double HestonVolCore(HestonPrice&& heston, CallPrice&& call, double S, double K, double T, double r, double v0,
                     double theta, double kappa, double sigma, double rho, double absTol, int maxIter) {
  const double target = heston(S, K, T, r, v0, theta, kappa, sigma, rho);
  return ImpliedVolSearchCore([&](double vol) { return call(S, K, T, r, vol); }, target, absTol, maxIter);
}

}  // namespace eurocall

#endif
