// SPDX-License-Identifier: Apache-2.0
// IntegratePanel: theIntegrand over one panel [a, b] by a single 16-point Gauss–Legendre
// rule, 16 evaluations, no error estimate.
//
// Method: the 16 nodes of the rule on [a, b] (GaussLegendreRule.h), the 16 integrand
// values there taken side by side (TheIntegrandAt), then the rule's fixed-order sum.
//
//   b < a                     -> the same nodes and pair sums: exactly the negated result
//   a = b                     -> all 16 nodes on a: 0 for a finite integrand there, NaN
//                                for an infinite or NaN one
//   any panel                 -> no node falls on an end, so never phi = 0 at a = 0
//   ErrorIndicator() > 0      -> every value 0: the panel is 0
//
// Accuracy: exact on every polynomial up to degree 31 but for rounding (within 2e-15
// of the largest term in the tests); on the Heston prices' panels see HestonCall_fast.
#include <cmath>

#include "heston/GaussLegendreRule.h"
#include "heston/IntegrandLanes.h"
#include "heston/IntegrandTerms.h"
#include "heston/heston.h"

namespace eurocall {

// Roots of P16 in (0, 1) and their weights 2 / ((1 - t^2) P16'(t)^2): the exact values
// to 17 significant digits, each reading back as the double nearest the exact value
// (checked in tests against a long-double Newton solution of P16, and by exactness of
// the rule on every monomial up to degree 31).
const double GaussLegendreAbscissae[8] = {
    0.095012509837637440, 0.28160355077925891, 0.45801677765722739, 0.61787624440264375,
    0.75540440835500303,  0.86563120238783174, 0.94457502307323258, 0.98940093499164993,
};
const double GaussLegendreWeights[8] = {
    0.18945061045506850,  0.18260341504492359,  0.16915651939500254,  0.14959598881657673,
    0.12462897125553387,  0.095158511682492785, 0.062253523938647893, 0.027152459411754095,
};

double IntegratePanelOfTerms(const IntegrandTerms& terms, double x, double expX, double a, double b) {
  double phi[16], f[16];
  GaussLegendreNodes(a, b, phi);
  TheIntegrandAt<16>(terms, x, expX, phi, f);
  return GaussLegendreSum(a, b, f);
}

double IntegratePanel(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double a,
                      double b) {
  return IntegratePanelOfTerms(FormIntegrandTerms(T, theta, v0, kappa, sigma, rho), x, std::exp(x), a, b);
}

}  // namespace eurocall
