// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_TESTS_SUPPORT_EXPORTCONTRACT_H
#define EUROCALL_TESTS_SUPPORT_EXPORTCONTRACT_H

// The nine exports as a host sees them, and what each may return whatever its
// arguments, as the public header and the README's notes on edge cases promise: a
// price, a volatility or a sentinel, an integrand value. Shared by the bad-input matrix
// and the exports fuzzer, so that both hold the library to the same promises. Plain
// C++, no test framework.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace eurocall::testing {

enum class ResultClass {
  BlackScholesPrice,  // any double, but never below 0 where vol * sqrt(T) = 0
  BlackScholesVol,    // 0, 2, 999 or a volatility in [0.001, 2]; 0 for any NaN argument
  HestonPriceFast,    // never below 0 (NaN stays NaN)
  HestonPriceExact,   // never below max(S - K e^(-rT), 0); NaN only where that bound is NaN
  HestonVol,          // 999 or a volatility in [0.001, 2], never 0 or NaN; 2 for a NaN price
  RealIntegrand,      // any double
  CombinedIntegrand,  // e^x RealIntegrand_j1 - RealIntegrand_j0 of the same arguments, bit for
                      // bit; +0 while the thread's error indicator is set
};

struct ExportSignature {
  const char* name;
  int arity;
  ResultClass resultClass;
  int priceExport;     // for a Heston volatility: ordinal - 1 of the price it inverts
  double request[9];   // a realistic request, in the export's own argument order
};

// The nine exports in ordinal order. In the requests theta differs from v0 so that the
// two stay distinguishable in the integrands' argument lists.
inline constexpr ExportSignature kExportSignatures[9] = {
    {"BSCall", 5, ResultClass::BlackScholesPrice, -1, {100, 100, 1, 0.05, 0.2}},
    {"BSVol", 5, ResultClass::BlackScholesVol, -1, {100, 100, 1, 0.05, 10.450583572185558}},  // BSCall at 0.2
    {"HestonCall_exact", 9, ResultClass::HestonPriceExact, -1, {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7}},
    {"HestonCall_fast", 9, ResultClass::HestonPriceFast, -1, {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7}},
    {"HestonVol_exact", 9, ResultClass::HestonVol, 2, {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7}},
    {"HestonVol_fast", 9, ResultClass::HestonVol, 3, {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7}},
    {"RealIntegrand_j0", 8, ResultClass::RealIntegrand, -1, {0.05, 1, 0.05, 0.04, 1.5, 0.3, -0.7, 1.0}},  // theta, v0
    {"RealIntegrand_j1", 8, ResultClass::RealIntegrand, -1, {0.05, 1, 0.05, 0.04, 1.5, 0.3, -0.7, 1.0}},  // theta, v0
    {"theIntegrand", 8, ResultClass::CombinedIntegrand, -1, {0.05, 1, 0.04, 0.05, 1.5, 0.3, -0.7, 1.0}},  // v0, theta
};

// Values a host passes by mistake: NaN, infinities, signed zeros, a negative, a tiny
// normal, the smallest subnormal, and huge magnitudes.
inline constexpr double kBadValues[10] = {
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    0.0,
    -0.0,
    -1.0,
    1e-300,
    5e-324,
    1e300,
    DBL_MAX,
};

inline bool IsPositiveZero(double v) { return v == 0.0 && !std::signbit(v); }
inline bool SameValue(double a, double b) {  // the same bits, or both NaN
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool InSearchBracket(double v) { return v >= 0.001 && v <= 2.0; }  // 2 is also a sentinel

// The arguments of the two real integrands for theIntegrand's args: theta and v0
// exchanged, phi floored as theIntegrand floors it (|phi| <= 1e-300 and NaN become
// +1e-300, which keeps 1/phi finite).
inline void RealIntegrandArguments(const double* args, double* real) {
  for (int i = 0; i < 8; ++i) real[i] = args[i];
  real[2] = args[3];
  real[3] = args[2];
  if (!(std::fabs(args[7]) > 1e-300)) real[7] = 1e-300;
}

// What theIntegrand returns while the error indicator is clear, from the two real
// integrands at RealIntegrandArguments: e^x j1 - j0, the product formed first.
inline double CombinedOfRealIntegrands(double x, double j1, double j0) { return std::exp(x) * j1 - j0; }

// nullptr when result belongs to the class, otherwise what is wrong with it. args are
// the export's arguments in its own order. companion is, for a HestonVol result, the
// matching Heston price of the same arguments; for theIntegrand, the value it must
// have (CombinedOfRealIntegrands, or +0 while the indicator is set); ignored otherwise.
inline const char* ClassViolation(ResultClass resultClass, const double* args, double result,
                                  double companion = 0.0) {
  switch (resultClass) {
    case ResultClass::BlackScholesPrice: {
      const double T = args[2], vol = args[4];
      if (std::sqrt(T) * vol == 0.0 && result < 0.0) return "negative price with zero variance";
      return nullptr;
    }
    case ResultClass::BlackScholesVol: {
      for (int i = 0; i < 5; ++i) {
        if (std::isnan(args[i]) && !IsPositiveZero(result)) return "NaN argument not rejected with 0";
      }
      if (IsPositiveZero(result) || result == 999.0 || InSearchBracket(result)) return nullptr;
      return "neither a volatility in [0.001, 2] nor a sentinel 0, 2, 999";
    }
    case ResultClass::HestonPriceFast:
      return result < 0.0 ? "negative price" : nullptr;
    case ResultClass::HestonPriceExact: {
      const double S = args[0], K = args[1], T = args[2], r = args[3];
      const double intrinsic = S - std::exp(-(T * r)) * K;
      if (result < 0.0) return "negative price";
      if (std::isnan(intrinsic)) return nullptr;
      if (std::isnan(result)) return "NaN although S - K e^(-rT) is a number";
      if (result < intrinsic) return "below S - K e^(-rT)";
      return nullptr;
    }
    case ResultClass::HestonVol:
      if (std::isnan(companion) && result != 2.0) return "NaN Heston price not reported as 2";
      if (result == 999.0 || InSearchBracket(result)) return nullptr;
      return "neither a volatility in [0.001, 2] nor the sentinel 999";
    case ResultClass::RealIntegrand:
      return nullptr;
    case ResultClass::CombinedIntegrand:
      return SameValue(result, companion) ? nullptr
                                          : "not e^x RealIntegrand_j1 - RealIntegrand_j0 of the same arguments";
  }
  return "unknown result class";
}

}  // namespace eurocall::testing

#endif
