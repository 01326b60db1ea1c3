// SPDX-License-Identifier: Apache-2.0
#include "blackscholes/ImpliedVolSearchCore.h"
#include "blackscholes/blackscholes.h"

namespace eurocall {

double ImpliedVolSearch(double S, double K, double T, double r, double target, double absTol, int maxIter) {
  return ImpliedVolSearchCore([&](double vol) { return BSCall(S, K, T, r, vol); }, target, absTol, maxIter);
}

}  // namespace eurocall
