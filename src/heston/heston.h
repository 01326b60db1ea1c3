// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_H
#define EUROCALL_HESTON_H

// Heston model routines: the closed-form integrands, the 16-point Gauss–Legendre
// panel, the call price by panels of width 4 and by panels plus an adaptive tail, and
// both prices as Black–Scholes implied volatilities.
//
// Mind the argument order: the two real integrands take theta BEFORE v0; theIntegrand,
// IntegratePanel and the prices take v0 BEFORE theta.
namespace eurocall {

struct IntegrandTerms;  // IntegrandTerms.h

// Integrand of the strike probability P2 = 1/2 + (1/pi) * integral over phi in (0, inf).
// Not finite at phi = 0.
double RealIntegrand_j0(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi);

// Integrand of the spot probability P1, in the same form. Not finite at phi = 0.
double RealIntegrand_j1(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi);

// e^x * RealIntegrand_j1 - RealIntegrand_j0 (theta and v0 exchanged on the way in);
// |phi| <= 1e-300 and NaN are evaluated at +1e-300; +0 while ErrorIndicator() > 0.
double theIntegrand(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double phi);

// theIntegrand over phi in [a, b] by one 16-point Gauss–Legendre rule (GaussLegendreRule.h).
double IntegratePanel(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double a, double b);

// The same panel for terms formed once and expX = e^x.
double IntegratePanelOfTerms(const IntegrandTerms& terms, double x, double expX, double a, double b);

// x = ln((e^rT S) / K), the log forward moneyness the integrands read.
double LogForwardMoneyness(double S, double K, double rT);

// HestonCall_fast's price of the integral, D = e^(-rT):
// 0.5 (S - (D (1 - (2/pi) integral)) K), +0 where that is negative.
double PriceFromIntegral(double S, double K, double D, double integral);

// HestonCall_exact's: the same of |integral|, raised to S - D K where it falls below,
// +0 where that is still negative.
double PriceFromAbsoluteIntegral(double S, double K, double D, double integral);

// Heston call price from panels [0, 4], [4, 8], ... up to [256, 260], stopping at the
// first panel of magnitude <= 1e-18; a price below 0 is returned as +0.
double HestonCall_fast(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma, double rho);

// Heston call price from eleven panels of width 0.1 on [0, 1.0999999999999999] and the
// adaptive integral from there to +infinity (relative tolerance 1e-8), of the absolute
// integral; never below max(S - K e^(-rT), 0).
double HestonCall_exact(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma, double rho);

// Black–Scholes implied volatility of HestonCall_fast (tolerance term 5e-15, 100
// iterations) and of HestonCall_exact (5e-16, 200): in [0.001, 2], or 2, or 999.
double HestonVol_fast(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma, double rho);
double HestonVol_exact(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma, double rho);

// The searches of HestonVol_fast and HestonVol_exact on a price already computed by
// the matching Heston price: HestonVol_fast(S, K, T, r, ...) is
// ImpliedVolOfFastPrice(S, K, T, r, HestonCall_fast(S, K, T, r, ...)), bit for bit.
double ImpliedVolOfFastPrice(double S, double K, double T, double r, double price);
double ImpliedVolOfExactPrice(double S, double K, double T, double r, double price);

// Both Heston prices of count options that share T and the five Heston parameters
// (HestonCallsOfOneMaturity.cpp): S[i], K[i] and r[i] per option, price[i] what the
// scalar price gives on the same arguments, bit for bit. The x-free part of every
// panel node is formed once for all of them; the options are priced in index order.
void HestonCallsOfOneMaturity_fast(double T, double v0, double theta, double kappa, double sigma, double rho, int count,
                                   const double* S, const double* K, const double* r, double* price);
void HestonCallsOfOneMaturity_exact(double T, double v0, double theta, double kappa, double sigma, double rho, int count,
                                    const double* S, const double* K, const double* r, double* price);

// The integrand's parameters for the one-argument callback of the adaptive integrator,
// written by every HestonCall_exact call before it integrates and left in place after.
// One record per thread, so that exact prices may run on any number of threads at once.
struct IntegrandParamsRecord {
  double x;
  double kappa;
  double sigma;
  double v0;
  double rho;
  double T;
  double theta;
};
extern thread_local IntegrandParamsRecord IntegrandParams;

// theIntegrand at phi with the other seven arguments read from IntegrandParams.
double IntegrandCallback(double phi);

// HestonCall_exact's tail integrand as a batch integrand of the integrator
// (quadrature.h): theIntegrand of one parameter set at every phi of a rule, the nodes
// side by side, from terms and e^x formed once per price. The values are
// IntegrandCallback's at the same phi, bit for bit, while IntegrandParams holds the
// same parameter set.
struct TailIntegrand {
  const IntegrandTerms* terms;
  double x;
  double expX;
};
// context points at a TailIntegrand; values[i] = theIntegrand at phi[i], i < count.
void TheIntegrandOfTail(void* context, const double* phi, int count, double* values);

// HestonCall_exact's tail: the integral of theIntegrand from tailStart to +infinity at
// relative tolerance 1e-8 through TheIntegrandOfTail; the integrator's error estimate,
// evaluation count and status are dropped.
double TailIntegral(const IntegrandTerms& terms, double x, double expX, double tailStart);

}  // namespace eurocall

#endif
