// SPDX-License-Identifier: Apache-2.0
/* eurocall_array: the computations of eurocall over arrays, one call for many options.
 *
 * A companion library (libeurocall_array.so, eurocall_array.dll) beside eurocall. Every
 * element's result is the one the scalar export of eurocall.h returns on the same
 * arguments, bit for bit; only the cost differs.
 *
 * Arguments: n elements; every input is a pointer with a stride in elements (not
 * bytes), element i of S being S[i * S_stride]; stride 0 passes one value for every
 * element, a negative stride walks backwards. The result of element i goes to
 * out[i * out_stride]. Nothing is allocated on the heap, nothing is kept between calls,
 * and every function may run on any number of threads at once. The library's numeric
 * environment (round to nearest, exceptions masked) is entered once per call, and the
 * caller's environment and errno are given back as they were.
 *
 * Return value: EUROCALL_ARRAY_OK, or one of the codes below, in which case nothing
 * has been written. n = 0 is OK and touches nothing.
 *
 * Heston prices and volatilities share work between elements of one maturity: those
 * with the same T, v0, theta, kappa, sigma and rho (bit for bit; S, K and r may differ)
 * share the strike-free part of every panel evaluation. Such elements need not be
 * adjacent: each element looks for partners among the next 64 elements (63 after it),
 * so a smile or a grid of smiles in any order within that window is priced as one.
 * This uses about 61 KB of the caller's stack for the fast method, 11 KB for the exact
 * one. Elements without a partner cost what the scalar export costs.
 *
 * Argument order bites as in eurocall.h: the two real integrands take theta BEFORE v0;
 * theIntegrand and every Heston price and volatility take v0 BEFORE theta.
 */
#ifndef EUROCALL_ARRAY_H
#define EUROCALL_ARRAY_H

#include <stddef.h>

#if defined(_WIN32)
#  if defined(EUROCALL_ARRAY_BUILDING)
#    define EUROCALL_ARRAY_API __declspec(dllexport)
#  else
#    define EUROCALL_ARRAY_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define EUROCALL_ARRAY_API __attribute__((visibility("default")))
#else
#  define EUROCALL_ARRAY_API
#endif

/* 32-bit Windows hosts call __stdcall functions, as for eurocall.dll. */
#if defined(_WIN32) && !defined(_WIN64)
#  define EUROCALL_ARRAY_CALL __stdcall
#else
#  define EUROCALL_ARRAY_CALL
#endif

/* The two ways of the Heston prices and volatilities: method EUROCALL_EXACT is
 * HestonCall_exact / HestonVol_exact, EUROCALL_FAST is HestonCall_fast / HestonVol_fast. */
#define EUROCALL_EXACT 0
#define EUROCALL_FAST 1

/* Results of every function. */
#define EUROCALL_ARRAY_OK 0
#define EUROCALL_ARRAY_BAD_METHOD 1     /* method neither EUROCALL_EXACT nor EUROCALL_FAST */
#define EUROCALL_ARRAY_NULL_POINTER 2   /* an input or the output is NULL while n > 0 */
#define EUROCALL_ARRAY_OUTPUT_STRIDE 3  /* out_stride 0 while n > 1: results would overwrite each other */

#ifdef __cplusplus
extern "C" {
#endif

/* BSCall on every element: S, K, T, r, vol. */
EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL BSCall_array(size_t n, const double* S, ptrdiff_t S_stride,
                                                        const double* K, ptrdiff_t K_stride, const double* T,
                                                        ptrdiff_t T_stride, const double* r, ptrdiff_t r_stride,
                                                        const double* vol, ptrdiff_t vol_stride, double* out,
                                                        ptrdiff_t out_stride);

/* BSVol on every element: S, K, T, r, price; sentinels 0, 2 and 999 as BSVol's. */
EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL BSVol_array(size_t n, const double* S, ptrdiff_t S_stride,
                                                       const double* K, ptrdiff_t K_stride, const double* T,
                                                       ptrdiff_t T_stride, const double* r, ptrdiff_t r_stride,
                                                       const double* price, ptrdiff_t price_stride, double* out,
                                                       ptrdiff_t out_stride);

/* HestonCall_exact (method EUROCALL_EXACT) or HestonCall_fast (EUROCALL_FAST) on every
 * element: S, K, T, r, v0, theta, kappa, sigma, rho. */
EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL HestonCall_array(
    int method, size_t n, const double* S, ptrdiff_t S_stride, const double* K, ptrdiff_t K_stride,
    const double* T, ptrdiff_t T_stride, const double* r, ptrdiff_t r_stride, const double* v0,
    ptrdiff_t v0_stride, const double* theta, ptrdiff_t theta_stride, const double* kappa,
    ptrdiff_t kappa_stride, const double* sigma, ptrdiff_t sigma_stride, const double* rho,
    ptrdiff_t rho_stride, double* out, ptrdiff_t out_stride);

/* HestonVol_exact or HestonVol_fast on every element, arguments as HestonCall_array;
 * sentinels 2 and 999 as theirs. */
EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL HestonVol_array(
    int method, size_t n, const double* S, ptrdiff_t S_stride, const double* K, ptrdiff_t K_stride,
    const double* T, ptrdiff_t T_stride, const double* r, ptrdiff_t r_stride, const double* v0,
    ptrdiff_t v0_stride, const double* theta, ptrdiff_t theta_stride, const double* kappa,
    ptrdiff_t kappa_stride, const double* sigma, ptrdiff_t sigma_stride, const double* rho,
    ptrdiff_t rho_stride, double* out, ptrdiff_t out_stride);

/* RealIntegrand_j0 and RealIntegrand_j1 on every element: x, T, theta, v0, kappa,
 * sigma, rho, phi (theta BEFORE v0). */
EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL RealIntegrand_j0_array(
    size_t n, const double* x, ptrdiff_t x_stride, const double* T, ptrdiff_t T_stride, const double* theta,
    ptrdiff_t theta_stride, const double* v0, ptrdiff_t v0_stride, const double* kappa, ptrdiff_t kappa_stride,
    const double* sigma, ptrdiff_t sigma_stride, const double* rho, ptrdiff_t rho_stride, const double* phi,
    ptrdiff_t phi_stride, double* out, ptrdiff_t out_stride);
EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL RealIntegrand_j1_array(
    size_t n, const double* x, ptrdiff_t x_stride, const double* T, ptrdiff_t T_stride, const double* theta,
    ptrdiff_t theta_stride, const double* v0, ptrdiff_t v0_stride, const double* kappa, ptrdiff_t kappa_stride,
    const double* sigma, ptrdiff_t sigma_stride, const double* rho, ptrdiff_t rho_stride, const double* phi,
    ptrdiff_t phi_stride, double* out, ptrdiff_t out_stride);

/* theIntegrand on every element: x, T, v0, theta, kappa, sigma, rho, phi (v0 BEFORE
 * theta). As the scalar export, 0 while this library's error indicator is set on the
 * calling thread; the indicator of eurocall and that of eurocall_array are separate. */
EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL theIntegrand_array(
    size_t n, const double* x, ptrdiff_t x_stride, const double* T, ptrdiff_t T_stride, const double* v0,
    ptrdiff_t v0_stride, const double* theta, ptrdiff_t theta_stride, const double* kappa, ptrdiff_t kappa_stride,
    const double* sigma, ptrdiff_t sigma_stride, const double* rho, ptrdiff_t rho_stride, const double* phi,
    ptrdiff_t phi_stride, double* out, ptrdiff_t out_stride);

#ifdef __cplusplus
}
#endif

#endif
