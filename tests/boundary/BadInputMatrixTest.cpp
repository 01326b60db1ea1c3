// SPDX-License-Identifier: Apache-2.0
// Every export, with one argument at a time replaced by a value a host can pass by
// mistake (NaN, infinities, signed zeros, a negative, subnormal and huge magnitudes),
// returns a double of its documented class: a price that is never negative where the
// library promises it, a volatility in the search bracket or a sentinel, and for
// theIntegrand exactly e^x RealIntegrand_j1 - RealIntegrand_j0 of the other two exports. Run through the shared library as a host loads it; under the sanitize preset
// the same calls must also produce no sanitizer report.
#include <dlfcn.h>

#include <cmath>

#include <gtest/gtest.h>

#include "support/ExportContract.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::ClassViolation;
using testing::CombinedOfRealIntegrands;
using testing::RealIntegrandArguments;
using testing::ResultClass;
using testing::ExportSignature;
using testing::kBadValues;
using testing::kExportSignatures;
using testing::Show;

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

// What ClassViolation compares the result with: the matching Heston price for a
// volatility, e^x j1 - j0 of the two real integrand exports for theIntegrand.
double Companion(void* lib, const ExportSignature& sig, const double* args) {
  if (sig.priceExport >= 0) return Call(dlsym(lib, kExportSignatures[sig.priceExport].name), sig.arity, args);
  if (sig.resultClass != ResultClass::CombinedIntegrand) return 0.0;
  double real[8];
  RealIntegrandArguments(args, real);
  const double j1 = Call(dlsym(lib, "RealIntegrand_j1"), 8, real);
  const double j0 = Call(dlsym(lib, "RealIntegrand_j0"), 8, real);
  return CombinedOfRealIntegrands(args[0], j1, j0);
}

TEST(BadInputMatrix, EveryExportReturnsItsDocumentedClassForEveryBadArgument) {
  void* lib = dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const char* name : {"RealIntegrand_j0", "RealIntegrand_j1"}) ASSERT_NE(dlsym(lib, name), nullptr) << name;
  int calls = 0;
  for (int e = 0; e < 9; ++e) {
    const ExportSignature& sig = kExportSignatures[e];
    void* fn = dlsym(lib, sig.name);
    ASSERT_NE(fn, nullptr) << sig.name;
    ASSERT_TRUE(sig.priceExport < 0 || dlsym(lib, kExportSignatures[sig.priceExport].name));

    // The realistic request itself must be an ordinary result, or the matrix tests nothing.
    const double base = Call(fn, sig.arity, sig.request);
    EXPECT_TRUE(std::isfinite(base) && base != 0.0) << sig.name << " of the request gives " << Show(base);

    for (int position = 0; position < sig.arity; ++position) {
      for (double bad : kBadValues) {
        double args[9];
        for (int i = 0; i < sig.arity; ++i) args[i] = sig.request[i];
        args[position] = bad;
        const double result = Call(fn, sig.arity, args);
        ++calls;
        const char* violation = ClassViolation(sig.resultClass, args, result, Companion(lib, sig, args));
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
