// HestonCall_fast: the Heston call price from fixed 16-point panels of width 4.
#include "heston/HestonCallFastCore.h"
#include "heston/heston.h"

namespace eurocall {

double HestonCall_fast(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                       double rho) {
  // T reaches the integrand as its time argument; r only through x.
  return HestonCallFastCore(
      [&](double x, double lower, double upper) {
        return IntegratePanel(x, T, v0, theta, kappa, sigma, rho, lower, upper);
      },
      S, K, T, r);
}

}  // namespace eurocall
