// IntegratePanel: theIntegrand over [a, b] by one 16-point Gauss–Legendre rule,
// 16 evaluations, no error estimate.
#include "heston/IntegratePanelCore.h"
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

double IntegratePanel(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double a,
                      double b) {
  return IntegratePanelCore([&](double phi) { return theIntegrand(x, T, v0, theta, kappa, sigma, rho, phi); }, a, b);
}

}  // namespace eurocall
