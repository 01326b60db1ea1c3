// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_GAUSSLEGENDRERULE_H
#define EUROCALL_HESTON_GAUSSLEGENDRERULE_H

// The 16-point Gauss–Legendre rule of IntegratePanel, in its two halves: where the
// nodes of a panel [a, b] lie, and how their 16 values are summed. A panel evaluates
// its integrand between the two, at all 16 nodes side by side.
//
// Nodes: c -+ h t_i, c the midpoint and h the half width, t_i the positive abscissae,
// innermost pair first, the lower node of a pair first; one product h t_i for both
// nodes of a pair. Sum: the pair of a node is added before its weight is applied, the
// weighted pairs are accumulated innermost first, and h multiplies once at the end.
// Hence b < a gives the same nodes and pair sums and exactly the negated result, and
// no node falls on an end of the panel.
namespace eurocall {

// The positive abscissae of the rule on [-1, 1], ascending, and their weights
// (IntegratePanel.cpp).
extern const double GaussLegendreAbscissae[8];
extern const double GaussLegendreWeights[8];

// nodes[2i] = c - h t_i, nodes[2i + 1] = c + h t_i.
inline void GaussLegendreNodes(double a, double b, double* nodes) {
  const double h = (b - a) * 0.5;
  const double c = (a + b) * 0.5;
  for (int i = 0; i < 8; ++i) {
    const double d = h * GaussLegendreAbscissae[i];
    nodes[2 * i] = c - d;
    nodes[2 * i + 1] = c + d;
  }
}

// h times the weighted sum of the values at those nodes.
inline double GaussLegendreSum(double a, double b, const double* values) {
  const double h = (b - a) * 0.5;
  double s = 0.0;
  for (int i = 0; i < 8; ++i) s = (values[2 * i + 1] + values[2 * i]) * GaussLegendreWeights[i] + s;
  return h * s;
}

}  // namespace eurocall

#endif
