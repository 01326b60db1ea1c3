// HestonVol_fast and HestonVol_exact: the Black–Scholes volatility of either Heston price.
//
// They differ only in the price and in the search's tolerance term and cap: the exact
// one does not tighten the search beyond BSVol's 5e-16, it allows twice the iterations.
#include "blackscholes/blackscholes.h"
#include "heston/HestonVolCore.h"
#include "heston/heston.h"

namespace eurocall {

double HestonVol_fast(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                      double rho) {
  return HestonVolCore(HestonCall_fast, BSCall, S, K, T, r, v0, theta, kappa, sigma, rho, 5e-15, 100);
}

double HestonVol_exact(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                       double rho) {
  return HestonVolCore(HestonCall_exact, BSCall, S, K, T, r, v0, theta, kappa, sigma, rho, 5e-16, 200);
}

}  // namespace eurocall
