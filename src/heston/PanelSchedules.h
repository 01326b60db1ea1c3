// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_PANELSCHEDULES_H
#define EUROCALL_HESTON_PANELSCHEDULES_H

// The panel schedules of the two Heston prices, written over the panel integral
// panel(a, b), so that tests can drive them with stand-in panels; the prices pass
// IntegratePanelOfTerms.
#include <cmath>

namespace eurocall {

// HestonCall_fast: panels [0, 4], [4, 8], ... summed until one of magnitude <= 1e-18
// has been added (it is added before it is tested). The bound test admits lower = 256,
// so the last possible panel is [256, 260]: at most 65 panels, 1,040 evaluations.
//
//   first panel <= 1e-18 in magnitude -> the only one
//   NaN first panel                   -> the only one (fails the magnitude test)
//   NaN later panel                   -> added, and ends the loop
template <class Panel>
double SumPanelsOfWidthFour(Panel&& panel) {
  constexpr double kWidth = 4.0;
  constexpr double kNegligible = 1e-18;
  constexpr double kLastLower = 256.0;  // 64 panels of width 4 after the first
  static_assert(kLastLower == 64 * kWidth);

  double total = panel(0.0, kWidth);
  if (std::fabs(total) > kNegligible) {
    for (double lower = kWidth; lower <= kLastLower;) {
      const double upper = lower + kWidth;
      const double I = panel(lower, upper);
      total = total + I;
      lower = upper;
      if (!(std::fabs(I) > kNegligible)) break;
    }
  }
  return total;
}

// HestonCall_exact: panels of width 0.1 while their lower end is below 1. The ends
// accumulate by repeated double addition of 0.1, so there are 11 panels, not 10, and
// the last one ends at 1.0999999999999999, the double just below 1.1, which comes back
// in tailStart: the adaptive tail takes over there.
template <class Panel>
double SumPanelsNearOrigin(Panel&& panel, double& tailStart) {
  constexpr double kWidth = 0.1;
  double G = panel(0.0, kWidth);
  double lower = kWidth;
  while (lower < 1.0) {
    const double upper = lower + kWidth;
    G = panel(lower, upper) + G;  // the new panel first
    lower = upper;
  }
  tailStart = lower;
  return G;
}

}  // namespace eurocall

#endif
