// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_INTEGRANDTERMS_H
#define EUROCALL_HESTON_INTEGRANDTERMS_H

// The phi-free terms of both Heston integrands for one parameter set (T, theta, v0,
// kappa, sigma, rho): every product and sum of the closed form (CharacteristicFunction.h)
// that depends on neither phi nor x, formed once by exactly the operations, in exactly
// the grouping, that the per-phi formulas would apply to it. A panel or a price pays for
// them once, and every result stays the same to the bit.
//
// Only products and sums that stand on their own in a formula are taken out: a factor
// that a left-to-right product reaches through a phi-dependent one (the sigma^2 sigma^2
// of j1's |Z|^2, say) stays where it is. x is not among them: it enters only the last
// step of an evaluation (IntegrandLanes.h), so one set of terms serves every strike of
// a maturity.
namespace eurocall {

struct IntegrandTerms {
  double T, v0, kappa;
  double sigma2;    // sigma sigma
  double rho2;      // rho rho
  double kappa2;    // kappa kappa
  double sigmaRho;  // sigma rho
  double srk;       // (sigma rho) kappa
  double fourSrk;   // 4 ((sigma rho) kappa)
  // j0's Z
  double j0QuarticCoef;  // (rho^2 - 2) rho^2 + 1 = (1 - rho^2)^2
  double j0LinearKappa;  // 2 (rho^2 + 1) kappa^2, the first kappa term of the q coefficient
  double kappa4;         // kappa^2 kappa^2
  // j1's Z
  double b1;         // kappa - sigma rho
  double s2r2;       // sigma^2 rho^2
  double twoKappa2;  // 2 kappa^2
  double twoS2r2;    // 2 (sigma^2 rho^2), the first factor of Im Z
  double j1ImZCoef;  // 2 (sigma rho) kappa + sigma^2, the second
  // C and D
  double invSigma2;  // 1 / sigma^2
  double k;          // ((1/sigma^2) theta) kappa
  // The evaluation that stays accurate as sigma -> 0 (CharacteristicFunctionSmallSigma.h),
  // chosen for the whole parameter set where the closed form loses digits: sigma = 0, or
  // 0 < sigma < 0.05 kappa, or 0 < sigma < 1e-4 (IsSmallSigma). Above that line the
  // closed form is within 1.5e-9 of the price over random inputs; at 0.03 kappa it is
  // already 1e-7 off, and at sigma = 0 it is 0/0. Negative sigma lies outside the model
  // and keeps the closed form.
  bool smallSigma;
  double sigma;
  double oneMinusRho2;    // (1 - rho)(1 + rho)
  double halfSigma2;      // sigma^2 / 2
  double kappaTheta;      // kappa theta
  double j0SmallImZCoef;  // Im Z / (sigma phi) of j0: sigma - 2 kappa rho
  double j1SmallImZCoef;  // Im Z / (sigma phi) of j1: -(2 rho (kappa - sigma rho) + sigma)
};

// Where the closed form gives way to the small-sigma evaluation. Without mean
// reversion (kappa = 0, or kappa far below sigma) the closed form's 1 - e^(-dT), with
// |d| of order sigma, cancels instead: its price error grows like 1e-17 / sigma (1e-8 at
// sigma = 1e-9, 3e-6 at 1e-12), so every sigma below 1e-4 takes the stable form too.
constexpr double kSmallSigmaPerKappa = 0.05;
constexpr double kSmallSigmaAnyKappa = 1e-4;
inline bool IsSmallSigma(double kappa, double sigma) {
  return sigma == 0.0 || (sigma > 0.0 && (sigma < kSmallSigmaPerKappa * kappa || sigma < kSmallSigmaAnyKappa));
}

// In the real integrands' argument order: theta before v0.
inline IntegrandTerms FormIntegrandTerms(double T, double theta, double v0, double kappa, double sigma, double rho) {
  IntegrandTerms t;
  t.T = T;
  t.v0 = v0;
  t.kappa = kappa;
  t.sigma2 = sigma * sigma;
  t.rho2 = rho * rho;
  t.kappa2 = kappa * kappa;
  t.sigmaRho = sigma * rho;
  t.srk = t.sigmaRho * kappa;
  t.fourSrk = 4.0 * t.srk;
  t.j0QuarticCoef = (t.rho2 - 2.0) * t.rho2 + 1.0;
  t.j0LinearKappa = 2.0 * (t.rho2 + 1.0) * t.kappa2;
  t.kappa4 = t.kappa2 * t.kappa2;
  t.b1 = kappa - sigma * rho;
  t.s2r2 = t.sigma2 * t.rho2;
  t.twoKappa2 = 2.0 * t.kappa2;
  t.twoS2r2 = 2.0 * t.s2r2;
  t.j1ImZCoef = 2.0 * t.sigmaRho * kappa + t.sigma2;
  t.invSigma2 = 1.0 / t.sigma2;
  t.k = (t.invSigma2 * theta) * kappa;
  t.smallSigma = IsSmallSigma(kappa, sigma);
  t.sigma = sigma;
  t.oneMinusRho2 = (1.0 - rho) * (1.0 + rho);
  t.halfSigma2 = 0.5 * t.sigma2;
  t.kappaTheta = kappa * theta;
  t.j0SmallImZCoef = sigma - 2.0 * (kappa * rho);
  t.j1SmallImZCoef = -(2.0 * (rho * t.b1) + sigma);
  return t;
}

}  // namespace eurocall

#endif
