#ifndef EUROCALL_HESTON_INTEGRATEPANELCORE_H
#define EUROCALL_HESTON_INTEGRATEPANELCORE_H

// One 16-point Gauss–Legendre rule over [a, b], written over the integrand so that the
// same steps can be run on any f(phi) (IntegratePanel instantiates it with
// theIntegrand; tests with polynomials and with observers of the nodes).
//
// The pair of a node is summed before its weight is applied, the weighted pairs are
// accumulated innermost first, and the half width multiplies once at the end. Hence
// swapping a and b negates the result exactly, and a = b puts all 16 nodes on a (0 for
// a finite f there, NaN for an infinite or NaN one). No node falls on an end.
#include "heston/IntegrandCore.h"
#include "runtime/ErrorIndicator.h"

namespace eurocall {

// The positive abscissae of the rule on [-1, 1], ascending, and their weights.
extern const double GaussLegendreAbscissae[8];
extern const double GaussLegendreWeights[8];

template <class F>
double IntegratePanelCore(F&& f, double a, double b) {
  const double h = (b - a) * 0.5;
  const double c = (a + b) * 0.5;
  double s = 0.0;
  for (int i = 0; i < 8; ++i) {
    const double d = h * GaussLegendreAbscissae[i];
    const double lo = f(c - d);  // the lower node first
    const double hi = f(c + d);
    s = (hi + lo) * GaussLegendreWeights[i] + s;
  }
  return h * s;
}

// The panel of theIntegrand for terms formed once (IntegrandCore.h) and expX = e^x:
// the same nodes, pair sums and accumulation order as IntegratePanelCore, every node
// evaluated as theIntegrand evaluates it (the phi floor and the error indicator
// included). The 16 nodes do not depend on one another until their weighted sum, so
// they are evaluated kPairsTogether pairs at a time, their integrands side by side;
// the sum then runs innermost pair first as always. All eight pairs at once measured
// fastest (against one, two and four).
constexpr int kPairsTogether = 8;

template <class Maths>
double IntegratePanelOfTerms(const Maths& m, const IntegrandTerms& t, double expX, double a, double b) {
  static_assert(8 % kPairsTogether == 0);
  const double h = (b - a) * 0.5;
  const double c = (a + b) * 0.5;
  double f[16];
  for (int first = 0; first < 8; first += kPairsTogether) {
    double nodes[2 * kPairsTogether];
    for (int i = 0; i < kPairsTogether; ++i) {
      const double d = h * GaussLegendreAbscissae[first + i];
      nodes[2 * i] = FlooredPhi(c - d);  // the lower node of the pair first
      nodes[2 * i + 1] = FlooredPhi(c + d);
    }
    double* out = f + 2 * first;
    if (ErrorIndicator() > 0) {
      for (int k = 0; k < 2 * kPairsTogether; ++k) out[k] = 0.0;
    } else {
      CombinedFromTerms<2 * kPairsTogether>(m, t, expX, nodes, out);
    }
  }
  double s = 0.0;
  for (int i = 0; i < 8; ++i) s = (f[2 * i + 1] + f[2 * i]) * GaussLegendreWeights[i] + s;
  return h * s;
}

}  // namespace eurocall

#endif
