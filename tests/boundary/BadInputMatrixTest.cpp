// Every export, with one argument at a time replaced by a value a host can pass by
// mistake (NaN, infinities, signed zeros, a negative, subnormal and huge magnitudes),
// returns a double of its documented class: a price that is never negative where the
// library promises it, a volatility in the search bracket or a sentinel, an integrand
// value. Run through the shared library as a host loads it; under the sanitize preset
// the same calls must also produce no sanitizer report.
#include <dlfcn.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/ResultClasses.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::ClassViolation;
using testing::ExportSignature;
using testing::kExportSignatures;
using testing::Show;

constexpr double kBadValues[] = {
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    0.0,
    -0.0,
    -1.0,
    1e-300,
    5e-324,  // smallest subnormal
    1e300,
    DBL_MAX,
};

// Realistic requests, one per export in ordinal order; theta differs from v0 so that the
// two stay distinguishable in the integrands' argument lists.
constexpr double kRequests[9][9] = {
    {100, 100, 1, 0.05, 0.2},                           // BSCall
    {100, 100, 1, 0.05, 10.450583572185558},            // BSVol of BSCall at 0.2
    {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7},    // HestonCall_exact
    {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7},    // HestonCall_fast
    {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7},    // HestonVol_exact
    {100, 100, 1, 0.05, 0.04, 0.05, 1.5, 0.3, -0.7},    // HestonVol_fast
    {0.05, 1, 0.05, 0.04, 1.5, 0.3, -0.7, 1.0},         // RealIntegrand_j0 (theta, v0)
    {0.05, 1, 0.05, 0.04, 1.5, 0.3, -0.7, 1.0},         // RealIntegrand_j1 (theta, v0)
    {0.05, 1, 0.04, 0.05, 1.5, 0.3, -0.7, 1.0},         // theIntegrand (v0, theta)
};

using Fn5 = double (*)(double, double, double, double, double);
using Fn8 = double (*)(double, double, double, double, double, double, double, double);
using Fn9 = double (*)(double, double, double, double, double, double, double, double, double);

double Call(void* fn, int arity, const double* a) {
  switch (arity) {
    case 5: return reinterpret_cast<Fn5>(fn)(a[0], a[1], a[2], a[3], a[4]);
    case 8: return reinterpret_cast<Fn8>(fn)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    default: return reinterpret_cast<Fn9>(fn)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
  }
}

TEST(BadInputMatrix, EveryExportReturnsItsDocumentedClassForEveryBadArgument) {
  void* lib = dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  int calls = 0;
  for (int e = 0; e < 9; ++e) {
    const ExportSignature& sig = kExportSignatures[e];
    void* fn = dlsym(lib, sig.name);
    ASSERT_NE(fn, nullptr) << sig.name;
    void* priceFn = sig.priceExport ? dlsym(lib, sig.priceExport) : nullptr;
    ASSERT_TRUE(!sig.priceExport || priceFn) << sig.priceExport;

    // The realistic request itself must be an ordinary result, or the matrix tests nothing.
    const double base = Call(fn, sig.arity, kRequests[e]);
    EXPECT_TRUE(std::isfinite(base) && base != 0.0) << sig.name << " of the request gives " << Show(base);

    for (int position = 0; position < sig.arity; ++position) {
      for (double bad : kBadValues) {
        double args[9];
        for (int i = 0; i < sig.arity; ++i) args[i] = kRequests[e][i];
        args[position] = bad;
        const double result = Call(fn, sig.arity, args);
        const double price = priceFn ? Call(priceFn, sig.arity, args) : 0.0;
        ++calls;
        const char* violation = ClassViolation(sig.resultClass, args, result, price);
        EXPECT_EQ(violation, nullptr) << sig.name << " with argument " << position + 1 << " = " << Show(bad)
                                      << " returns " << Show(result) << ": " << violation;
      }
    }
  }
  EXPECT_EQ(calls, (2 * 5 + 4 * 9 + 3 * 8) * 10);
  dlclose(lib);
}

}  // namespace
}  // namespace eurocall
