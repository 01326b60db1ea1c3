// SPDX-License-Identifier: Apache-2.0
/* eurocall: European call options under Black–Scholes and Heston.
 *
 * Nine functions of doubles, exported by name (and, on Windows, by ordinal 1–9 in the
 * order below). Each takes its arguments by value and reports only through its result.
 * Units need only be consistent: times in years; rates, volatilities and speeds per
 * year; prices in the unit of S. No function checks ranges except BSVol.
 *
 * Argument order bites in one place: the two real integrands take theta BEFORE v0;
 * theIntegrand and every Heston price and volatility take v0 BEFORE theta.
 */
#ifndef EUROCALL_H
#define EUROCALL_H

#if defined(_WIN32)
#  if defined(EUROCALL_BUILDING)
#    define EUROCALL_API __declspec(dllexport)
#  else
#    define EUROCALL_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define EUROCALL_API __attribute__((visibility("default")))
#else
#  define EUROCALL_API
#endif

/* 32-bit Windows hosts (VBA among them) call only __stdcall functions; the .def file
 * keeps the names undecorated. Everywhere else the platform's one C convention. */
#if defined(_WIN32) && !defined(_WIN64)
#  define EUROCALL_CALL __stdcall
#else
#  define EUROCALL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 1. Black–Scholes call price. S spot, K strike, T years, r continuously compounded
 *    rate, vol volatility (0.2 is 20 %). Never negative: a degenerate zero-variance
 *    price below 0 is returned as +0.
 *    Accuracy: 2.8e-14 absolute (S = 100) against 40-digit values on 1,008 options. */
EUROCALL_API double EUROCALL_CALL BSCall(double S, double K, double T, double r, double vol);

/* 2. Black–Scholes implied volatility of the call price `price`, searched in
 *    [0.001, 2]. Sentinels: 0 = price rejected (NaN argument, within 1e-15 of the
 *    intrinsic value, above S, or in the money and not above S - K e^(-rT));
 *    2 = bracket does not enclose the price; 999 = no convergence in 100 iterations.
 *    Accuracy: 8.2e-9 against the implied_vol of tests/data/heston_prices.csv (151 rows). */
EUROCALL_API double EUROCALL_CALL BSVol(double S, double K, double T, double r, double price);

/* 3. Heston call price: 11 Gauss–Legendre panels on [0, 1.1) plus an adaptive tail to
 *    infinity (relative tolerance 1e-8). v0 current variance, theta long-run variance,
 *    kappa mean-reversion speed, sigma vol of variance, rho correlation. Never below
 *    max(S - K e^(-rT), 0), and (for K >= 0) never above S.
 *    Accuracy: 1.5e-8 absolute against the 151 prices of tests/data/heston_prices.csv;
 *    5e-14 relative to max(1, price) where sigma = 0, sigma < 0.05 kappa or sigma < 1e-4
 *    (70 rows of tests/data/heston_small_sigma.csv). sigma = 0 is deterministic variance. */
EUROCALL_API double EUROCALL_CALL HestonCall_exact(double S, double K, double T, double r, double v0,
                                                   double theta, double kappa, double sigma, double rho);

/* 4. Heston call price by 16-point Gauss–Legendre panels of width 4 on [0, 260] at
 *    most, stopping at the first panel of magnitude <= 1e-18. Arguments as
 *    HestonCall_exact. Never negative (a value below 0 is returned as +0).
 *    Accuracy: 6.7e-12 against those prices for sigma <= 0.6; 2.1e-2 at sigma = 1, T = 0.1;
 *    1e-14 relative to max(1, price) on the small-sigma rows, as HestonCall_exact. */
EUROCALL_API double EUROCALL_CALL HestonCall_fast(double S, double K, double T, double r, double v0,
                                                  double theta, double kappa, double sigma, double rho);

/* 5. Black–Scholes implied volatility of the HestonCall_exact price, in [0.001, 2].
 *    Sentinels: 2 = not enclosed by the bracket (also for a NaN price); 999 = no
 *    convergence in 200 iterations. Never 0.
 *    Accuracy: 6.1e-7 against their implied_vol where the price is above 1e-8 (149 rows). */
EUROCALL_API double EUROCALL_CALL HestonVol_exact(double S, double K, double T, double r, double v0,
                                                  double theta, double kappa, double sigma, double rho);

/* 6. Black–Scholes implied volatility of the HestonCall_fast price, in [0.001, 2].
 *    Sentinels: 2 = not enclosed (also NaN); 999 = no convergence in 100 iterations.
 *    Accuracy: 1.7e-8 against their implied_vol for sigma <= 0.6; poor where the price is. */
EUROCALL_API double EUROCALL_CALL HestonVol_fast(double S, double K, double T, double r, double v0,
                                                 double theta, double kappa, double sigma, double rho);

/* 7. Real integrand of the strike probability P2 at frequency phi. x = ln(S e^(rT) / K).
 *    NOTE the order: theta THIRD, v0 FOURTH. Not finite at phi = 0. Finite at sigma = 0
 *    (deterministic variance).
 *    Accuracy: relative 4.9e-12 for phi >= 0.1, 2.3e-10 at phi = 0.01, against 40-digit values;
 *    for sigma = 0, sigma < 0.05 kappa or sigma < 1e-4 a form stable as sigma -> 0 is used. */
EUROCALL_API double EUROCALL_CALL RealIntegrand_j0(double x, double T, double theta, double v0,
                                                   double kappa, double sigma, double rho, double phi);

/* 8. Real integrand of the spot probability P1; arguments as RealIntegrand_j0
 *    (theta THIRD, v0 FOURTH). Not finite at phi = 0.
 *    Accuracy: as RealIntegrand_j0. */
EUROCALL_API double EUROCALL_CALL RealIntegrand_j1(double x, double T, double theta, double v0,
                                                   double kappa, double sigma, double rho, double phi);

/* 9. Combined integrand e^x * RealIntegrand_j1 - RealIntegrand_j0, with v0 THIRD and
 *    theta FOURTH. |phi| <= 1e-300 (and NaN) is evaluated at +1e-300. Returns +0 on a
 *    thread where the library's own maths error indicator has been set.
 *    Accuracy: as RealIntegrand_j0. */
EUROCALL_API double EUROCALL_CALL theIntegrand(double x, double T, double v0, double theta,
                                               double kappa, double sigma, double rho, double phi);

#ifdef __cplusplus
}
#endif

#endif /* EUROCALL_H */
