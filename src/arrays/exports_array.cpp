// SPDX-License-Identifier: Apache-2.0
// Exports of eurocall_array: each checks its pointers, enters the library's numeric
// environment once, and runs the scalar routine of every element in index order (the
// Heston prices by maturity, MaturityGroups.h), so every result is the scalar export's.
#include <cstddef>

#include "arrays/MaturityGroups.h"
#include "arrays/StridedArray.h"
#include "blackscholes/blackscholes.h"
#include "boundary/NumericEnvironment.h"
#include "eurocall_array.h"
#include "heston/heston.h"

namespace eurocall {
namespace {

// EUROCALL_ARRAY_OK if the call may go ahead, else the code that refuses it.
template <class... Inputs>
int CheckArguments(std::size_t n, double* out, std::ptrdiff_t outStride, const Inputs*... inputs) {
  if (n == 0) return EUROCALL_ARRAY_OK;
  if (out == nullptr || ((inputs == nullptr) || ...)) return EUROCALL_ARRAY_NULL_POINTER;
  if (outStride == 0 && n > 1) return EUROCALL_ARRAY_OUTPUT_STRIDE;
  return EUROCALL_ARRAY_OK;
}

// out[i] = routine(a[i], b[i], ...) for every i, in the library's environment.
template <class Routine, class... Inputs>
int ForEachElement(Routine routine, std::size_t n, StridedOutput out, Inputs... in) {
  return CallInLibraryEnvironment(
      [](Routine f, std::size_t count, StridedOutput result, Inputs... args) {
        for (std::size_t i = 0; i < count; ++i) result[i] = f(args[i]...);
        return EUROCALL_ARRAY_OK;
      },
      routine, n, out, in...);
}

using PriceGroup = void (*)(double, double, double, double, double, double, int, const double*, const double*,
                            const double*, double*);
using PriceOne = double (*)(double, double, double, double, double, double, double, double, double);

double PriceItself(double, double, double, double, double price) { return price; }

}  // namespace
}  // namespace eurocall

using eurocall::StridedInput;
using eurocall::StridedOutput;

#define EUROCALL_CHECK(n, out, out_stride, ...)                                         \
  if (const int refused = eurocall::CheckArguments(n, out, out_stride, __VA_ARGS__)) { \
    return refused;                                                                     \
  }

extern "C" {

EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL BSCall_array(size_t n, const double* S, ptrdiff_t S_stride,
                                                        const double* K, ptrdiff_t K_stride, const double* T,
                                                        ptrdiff_t T_stride, const double* r, ptrdiff_t r_stride,
                                                        const double* vol, ptrdiff_t vol_stride, double* out,
                                                        ptrdiff_t out_stride) {
  EUROCALL_CHECK(n, out, out_stride, S, K, T, r, vol);
  return eurocall::ForEachElement(eurocall::BSCall, n, StridedOutput{out, out_stride}, StridedInput{S, S_stride},
                                  StridedInput{K, K_stride}, StridedInput{T, T_stride}, StridedInput{r, r_stride},
                                  StridedInput{vol, vol_stride});
}

EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL BSVol_array(size_t n, const double* S, ptrdiff_t S_stride,
                                                       const double* K, ptrdiff_t K_stride, const double* T,
                                                       ptrdiff_t T_stride, const double* r, ptrdiff_t r_stride,
                                                       const double* price, ptrdiff_t price_stride, double* out,
                                                       ptrdiff_t out_stride) {
  EUROCALL_CHECK(n, out, out_stride, S, K, T, r, price);
  return eurocall::ForEachElement(eurocall::BSVol, n, StridedOutput{out, out_stride}, StridedInput{S, S_stride},
                                  StridedInput{K, K_stride}, StridedInput{T, T_stride}, StridedInput{r, r_stride},
                                  StridedInput{price, price_stride});
}

#define EUROCALL_HESTON_ARRAY(name, finishFast, finishExact)                                                        \
  EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL name(                                                                  \
      int method, size_t n, const double* S, ptrdiff_t S_stride, const double* K, ptrdiff_t K_stride,             \
      const double* T, ptrdiff_t T_stride, const double* r, ptrdiff_t r_stride, const double* v0,                 \
      ptrdiff_t v0_stride, const double* theta, ptrdiff_t theta_stride, const double* kappa,                      \
      ptrdiff_t kappa_stride, const double* sigma, ptrdiff_t sigma_stride, const double* rho,                     \
      ptrdiff_t rho_stride, double* out, ptrdiff_t out_stride) {                                                  \
    if (method != EUROCALL_EXACT && method != EUROCALL_FAST) return EUROCALL_ARRAY_BAD_METHOD;                     \
    EUROCALL_CHECK(n, out, out_stride, S, K, T, r, v0, theta, kappa, sigma, rho);                                  \
    const eurocall::HestonInputs in{{S, S_stride},         {K, K_stride},         {T, T_stride},                  \
                                    {r, r_stride},         {v0, v0_stride},       {theta, theta_stride},          \
                                    {kappa, kappa_stride}, {sigma, sigma_stride}, {rho, rho_stride}};             \
    const bool fast = (method == EUROCALL_FAST);                                                                   \
    return eurocall::CallInLibraryEnvironment(                                                                     \
        [](bool isFast, eurocall::HestonInputs inputs, size_t count, StridedOutput result) {                      \
          if (isFast) {                                                                                            \
            eurocall::PriceByMaturity(inputs, count, result, eurocall::HestonCallsOfOneMaturity_fast,              \
                                      eurocall::HestonCall_fast, finishFast);                                      \
          } else {                                                                                                 \
            eurocall::PriceByMaturity(inputs, count, result, eurocall::HestonCallsOfOneMaturity_exact,             \
                                      eurocall::HestonCall_exact, finishExact);                                    \
          }                                                                                                        \
          return EUROCALL_ARRAY_OK;                                                                                \
        },                                                                                                         \
        fast, in, n, StridedOutput{out, out_stride});                                                              \
  }

EUROCALL_HESTON_ARRAY(HestonCall_array, eurocall::PriceItself, eurocall::PriceItself)
EUROCALL_HESTON_ARRAY(HestonVol_array, eurocall::ImpliedVolOfFastPrice, eurocall::ImpliedVolOfExactPrice)

#define EUROCALL_INTEGRAND_ARRAY(name, routine, third, fourth)                                                     \
  EUROCALL_ARRAY_API int EUROCALL_ARRAY_CALL name(                                                                  \
      size_t n, const double* x, ptrdiff_t x_stride, const double* T, ptrdiff_t T_stride, const double* third,    \
      ptrdiff_t third##_stride, const double* fourth, ptrdiff_t fourth##_stride, const double* kappa,             \
      ptrdiff_t kappa_stride, const double* sigma, ptrdiff_t sigma_stride, const double* rho,                     \
      ptrdiff_t rho_stride, const double* phi, ptrdiff_t phi_stride, double* out, ptrdiff_t out_stride) {          \
    EUROCALL_CHECK(n, out, out_stride, x, T, third, fourth, kappa, sigma, rho, phi);                               \
    return eurocall::ForEachElement(routine, n, StridedOutput{out, out_stride}, StridedInput{x, x_stride},        \
                                    StridedInput{T, T_stride}, StridedInput{third, third##_stride},               \
                                    StridedInput{fourth, fourth##_stride}, StridedInput{kappa, kappa_stride},     \
                                    StridedInput{sigma, sigma_stride}, StridedInput{rho, rho_stride},             \
                                    StridedInput{phi, phi_stride});                                               \
  }

EUROCALL_INTEGRAND_ARRAY(RealIntegrand_j0_array, eurocall::RealIntegrand_j0, theta, v0)
EUROCALL_INTEGRAND_ARRAY(RealIntegrand_j1_array, eurocall::RealIntegrand_j1, theta, v0)
EUROCALL_INTEGRAND_ARRAY(theIntegrand_array, eurocall::theIntegrand, v0, theta)

}  // extern "C"
