// SPDX-License-Identifier: Apache-2.0
// HestonCallsOfOneMaturity_fast and _exact: both Heston prices of many options that
// share T and the five Heston parameters (a smile: S, K and r may differ), each price
// the scalar price's to the bit.
//
// Method: x enters an integrand evaluation only in its last step (IntegrandLanes.h):
// the phase x phi, its sine and e^x. Everything before it depends on the parameter set
// and phi alone, so the panel nodes' exponents are formed once (SharedPanels) and every
// option combines them at its own x. Each option still runs its scalar price's own
// panel schedule (PanelSchedules.h): the fast price stops at the first negligible panel
// of that option, so the exponents are formed when the first option reaches a panel
// and reused by every later option that reaches it too. The exact price's tail runs per
// option, as in HestonCall_exact.
//
//   count = 1               -> the scalar price itself
//   ErrorIndicator() > 0    -> read at each option's own evaluations, as the scalar
//                              prices read it: the same degenerate prices
//   a panel the schedule    -> evaluated directly (never happens: both schedules are
//   did not form it for        fixed, the k-th panel of every option has the same ends)
//
// Memory: the exponents of all 65 panels of the fast schedule, about 60 KB of the
// caller's stack; 11 panels, about 10 KB, for the exact price. Nothing on the heap.
#include <cmath>
#include <cstring>

#include "heston/GaussLegendreRule.h"
#include "heston/IntegrandLanes.h"
#include "heston/IntegrandTerms.h"
#include "heston/PanelSchedules.h"
#include "heston/heston.h"
#include "quadrature/quadrature.h"

namespace eurocall {

namespace {

constexpr int kNodes = 16;
constexpr int kFastPanels = 65;   // [0, 4] and 64 more up to [256, 260]
constexpr int kExactPanels = 11;  // width 0.1 up to 1.0999999999999999

// The k-th panel of a schedule, formed by the first option that reaches it.
template <int Panels>
struct SharedPanels {
  const IntegrandTerms* terms;
  bool formed[Panels];
  double a[Panels], b[Panels];
  double nodes[Panels][kNodes];  // floored as theIntegrand floors them
  FrequencyExponents<kNodes> exponents[Panels];
};

bool SameBits(double u, double v) { return std::memcmp(&u, &v, sizeof u) == 0; }

// IntegratePanelOfTerms(*shared.terms, x, expX, a, b) as the k-th panel of the schedule.
template <int Panels>
double IntegrateSharedPanel(SharedPanels<Panels>& shared, int k, double x, double expX, double a, double b) {
  if (k >= Panels) return IntegratePanelOfTerms(*shared.terms, x, expX, a, b);
  if (!shared.formed[k]) {
    double phi[kNodes];
    GaussLegendreNodes(a, b, phi);
    FormFrequencyExponentsAt<kNodes>(*shared.terms, phi, shared.nodes[k], shared.exponents[k]);
    shared.a[k] = a;
    shared.b[k] = b;
    shared.formed[k] = true;
  } else if (!SameBits(a, shared.a[k]) || !SameBits(b, shared.b[k])) {
    return IntegratePanelOfTerms(*shared.terms, x, expX, a, b);
  }
  double f[kNodes];
  TheIntegrandOfExponents<kNodes>(shared.exponents[k], x, expX, shared.nodes[k], f);
  return GaussLegendreSum(a, b, f);
}

template <int Panels>
void StartSharedPanels(SharedPanels<Panels>& shared, const IntegrandTerms& terms) {
  shared.terms = &terms;
  for (bool& formed : shared.formed) formed = false;
}

}  // namespace

void HestonCallsOfOneMaturity_fast(double T, double v0, double theta, double kappa, double sigma, double rho, int count,
                                   const double* S, const double* K, const double* r, double* price) {
  if (count == 1) {
    price[0] = HestonCall_fast(S[0], K[0], T, r[0], v0, theta, kappa, sigma, rho);
    return;
  }
  const IntegrandTerms terms = FormIntegrandTerms(T, theta, v0, kappa, sigma, rho);
  SharedPanels<kFastPanels> shared;
  StartSharedPanels(shared, terms);
  for (int i = 0; i < count; ++i) {
    const double rT = T * r[i];
    const double x = LogForwardMoneyness(S[i], K[i], rT);
    const double expX = std::exp(x);
    int k = 0;
    const double total =
        SumPanelsOfWidthFour([&](double a, double b) { return IntegrateSharedPanel(shared, k++, x, expX, a, b); });
    price[i] = PriceFromIntegral(S[i], K[i], std::exp(-rT), total);
  }
}

void HestonCallsOfOneMaturity_exact(double T, double v0, double theta, double kappa, double sigma, double rho, int count,
                                    const double* S, const double* K, const double* r, double* price) {
  if (count == 1) {
    price[0] = HestonCall_exact(S[0], K[0], T, r[0], v0, theta, kappa, sigma, rho);
    return;
  }
  const IntegrandTerms terms = FormIntegrandTerms(T, theta, v0, kappa, sigma, rho);
  SharedPanels<kExactPanels> shared;
  StartSharedPanels(shared, terms);
  for (int i = 0; i < count; ++i) {
    const double rT = T * r[i];
    const double x = LogForwardMoneyness(S[i], K[i], rT);
    const double expX = std::exp(x);
    int k = 0;
    double tailStart = 0.0;
    const double G = SumPanelsNearOrigin(
        [&](double a, double b) { return IntegrateSharedPanel(shared, k++, x, expX, a, b); }, tailStart);
    price[i] = PriceFromAbsoluteIntegral(S[i], K[i], std::exp(-rT), G + TailIntegral(terms, x, expX, tailStart));
  }
}

}  // namespace eurocall
