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

}  // namespace eurocall

#endif
