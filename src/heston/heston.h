#ifndef EUROCALL_HESTON_H
#define EUROCALL_HESTON_H

// Heston model routines: the closed-form integrands, the 16-point Gauss–Legendre
// panel and the call price by panels of width 4.
//
// Mind the argument order: the two real integrands take theta BEFORE v0; theIntegrand,
// IntegratePanel and the prices take v0 BEFORE theta.
namespace eurocall {

// Integrand of the strike probability P2 = 1/2 + (1/pi) * integral over phi in (0, inf).
// Not finite at phi = 0.
double RealIntegrand_j0(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi);

// Integrand of the spot probability P1, in the same form. Not finite at phi = 0.
double RealIntegrand_j1(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi);

// e^x * RealIntegrand_j1 - RealIntegrand_j0 (theta and v0 exchanged on the way in);
// |phi| <= 1e-300 and NaN are evaluated at +1e-300; +0 while ErrorIndicator() > 0.
double theIntegrand(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double phi);

// theIntegrand over phi in [a, b] by one 16-point Gauss–Legendre rule.
double IntegratePanel(double x, double T, double v0, double theta, double kappa, double sigma, double rho, double a, double b);

// Heston call price from panels [0, 4], [4, 8], ... up to [256, 260], stopping at the
// first panel of magnitude <= 1e-18; a price below 0 is returned as +0.
double HestonCall_fast(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma, double rho);

}  // namespace eurocall

#endif
