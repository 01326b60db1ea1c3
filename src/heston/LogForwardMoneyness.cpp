// SPDX-License-Identifier: Apache-2.0
// LogForwardMoneyness: x = ln((e^rT S) / K), the one place where spot, strike and rate
// become the log forward moneyness that the integrands read (both Heston prices, and
// IntegrandParams of the exact one).
//
// Method: the exponential of rT times S, divided by K, natural logarithm, in that order.
// The exponential and the logarithm leave the library's error indicator untouched: an
// argument out of range gives an infinity or NaN, never an error report.
//
//   K = 0 (S > 0)     -> +inf
//   S = 0 (K > 0)     -> -inf
//   S < 0 or K < 0    -> NaN (one of them)
//
// Accuracy: four roundings (exp, product, quotient, log), an absolute error of a few
// units of 1e-16 for moderate x.
#include <cmath>

#include "heston/heston.h"

namespace eurocall {

double LogForwardMoneyness(double S, double K, double rT) { return std::log((std::exp(rT) * S) / K); }

}  // namespace eurocall
