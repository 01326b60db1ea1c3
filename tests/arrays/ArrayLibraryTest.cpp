// SPDX-License-Identifier: Apache-2.0
// libeurocall_array as a host sees it, against libeurocall: every element of every
// array function is the scalar export's result on the same arguments, bit for bit, on
// random arrays of smiles in any order, broadcasts, strides and NaN/inf elements; the
// refusals; and exactly the seven functions leave the library.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/DefinedSymbols.h"
#include "eurocall_array.h"
#include "support/ExportContract.h"

namespace eurocall {
namespace {

using testing::SameValue;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void* Open(const char* file) {
  void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(handle, nullptr) << dlerror();
  return handle;
}

template <class F>
F Find(void* handle, const char* name) {
  void* p = dlsym(handle, name);
  EXPECT_NE(p, nullptr) << name;
  return reinterpret_cast<F>(p);
}

using Scalar = double (*)(double, double, double, double, double, double, double, double, double);
using Scalar5 = double (*)(double, double, double, double, double);
using Scalar8 = double (*)(double, double, double, double, double, double, double, double);
using Array5 = decltype(&BSCall_array);
using Array8 = decltype(&theIntegrand_array);
using ArrayHeston = decltype(&HestonCall_array);

// One array call's arguments: column a of element i at data[a][i * stride[a]], the
// output contiguous.
struct Columns {
  int arity = 0;
  std::size_t n = 0;
  std::vector<double> data[9];
  std::ptrdiff_t stride[9] = {};
  // A negative stride starts from the last value: the call gets a pointer to it.
  const double* Base(int a) const { return stride[a] < 0 ? data[a].data() + (n - 1) : data[a].data(); }
  double At(int a, std::size_t i) const { return Base(a)[static_cast<std::ptrdiff_t>(i) * stride[a]]; }
};

// Realistic draws per argument (Heston order S, K, T, r, v0, theta, kappa, sigma, rho;
// the integrands' x, T, v0|theta, theta|v0, kappa, sigma, rho, phi; Black–Scholes S, K,
// T, r, vol or price), and now and then a value a host passes by mistake.
struct Ranges {
  double low[9], high[9];
};
constexpr Ranges kHeston = {{50, 40, 0.05, -0.01, 0.005, 0.005, 0.1, 0.05, -0.95},
                            {150, 200, 5, 0.1, 0.5, 0.5, 5, 1.5, 0.5}};
constexpr Ranges kIntegrand = {{-1, 0.05, 0.005, 0.005, 0.1, 0.05, -0.95, 0, 0}, {1, 5, 0.5, 0.5, 5, 1.5, 0.5, 100, 0}};
constexpr Ranges kBlackScholes = {{50, 40, 0.05, -0.01, 0.05, 0, 0, 0, 0}, {150, 200, 5, 0.1, 0.8, 0, 0, 0, 0}};

enum class Layout {
  Random,              // every element its own maturity
  SmilesShuffled,      // smiles of 1 to 40 strikes, shuffled within blocks of 48 elements
  BroadcastMaturity,   // T and the five parameters (or x, T and the parameters) by stride 0
  SmilesWithBadValues, // smiles, and 3 % of all values NaN, +-inf, 0 or negative
  NegativeStrides,     // smiles read backwards and every third value of an interleaved array
};

Columns Draw(const Ranges& ranges, int arity, std::size_t n, Layout layout, bool heston, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto draw = [&](int a) { return ranges.low[a] + (ranges.high[a] - ranges.low[a]) * unit(rng); };
  Columns c;
  c.arity = arity;
  c.n = n;
  // The arguments that a smile shares: all but S, K, r for the prices; all but x, phi
  // for the integrands; T, r, vol|price's partner for Black–Scholes is none.
  const auto shared = [&](int a) {
    if (!heston) return false;
    return arity == 9 ? (a == 2 || a >= 4) : (a >= 1 && a <= 6);
  };
  for (int a = 0; a < arity; ++a) c.data[a].resize(n);
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = (layout == Layout::Random) ? 1 : std::min<std::size_t>(1 + rng() % 40, n - i);
    double common[9];
    for (int a = 0; a < arity; ++a) common[a] = draw(a);
    for (std::size_t k = 0; k < run; ++k, ++i) {
      for (int a = 0; a < arity; ++a) c.data[a][i] = shared(a) ? common[a] : draw(a);
    }
  }
  if (layout == Layout::SmilesShuffled || layout == Layout::SmilesWithBadValues) {
    std::vector<std::size_t> order(n);
    for (std::size_t k = 0; k < n; ++k) order[k] = k;
    for (std::size_t start = 0; start < n; start += 48) {
      std::shuffle(order.begin() + start, order.begin() + std::min(n, start + 48), rng);
    }
    for (int a = 0; a < arity; ++a) {
      std::vector<double> shuffled(n);
      for (std::size_t k = 0; k < n; ++k) shuffled[k] = c.data[a][order[k]];
      c.data[a] = shuffled;
    }
  }
  for (int a = 0; a < arity; ++a) c.stride[a] = 1;
  if (layout == Layout::BroadcastMaturity) {
    for (int a = 0; a < arity; ++a) {
      if (shared(a) || (!heston && a >= 2)) c.stride[a] = 0;
    }
  }
  if (layout == Layout::SmilesWithBadValues) {
    const double bad[] = {kNaN, kInf, -kInf, 0.0, -0.0, -1.0, 1e300};
    for (int a = 0; a < arity; ++a) {
      for (double& v : c.data[a]) {
        if (unit(rng) < 0.03) v = bad[rng() % (sizeof bad / sizeof bad[0])];
      }
    }
  }
  if (layout == Layout::NegativeStrides) {
    for (int a = 0; a < arity; ++a) {
      if (a % 2 == 0) {  // backwards: the call gets a pointer to the last element
        std::reverse(c.data[a].begin(), c.data[a].end());
        c.stride[a] = -1;
      } else {  // every third value of an array three times as long
        std::vector<double> spread(3 * n, kNaN);
        for (std::size_t k = 0; k < n; ++k) spread[3 * k] = c.data[a][k];
        c.data[a] = spread;
        c.stride[a] = 3;
      }
    }
  }
  return c;
}

const double* Base(const Columns& c, int a) { return c.Base(a); }

// Under AddressSanitizer every operation costs several times as much: the sanitized run
// checks memory and undefined behaviour on a tenth of the elements, the release run the
// whole contract of at least 100,000 elements per function.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kSanitizedShare = 10;
#else
constexpr std::size_t kSanitizedShare = 1;
#endif

class ArrayLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    scalar_ = Open(EUROCALL_LIBRARY_FILE);
    array_ = Open(EUROCALL_ARRAY_LIBRARY_FILE);
    ASSERT_TRUE(scalar_ && array_);
  }
  void TearDown() override {
    if (scalar_) dlclose(scalar_);
    if (array_) dlclose(array_);
  }

  // Runs `call` for every layout on `perLayout` elements in chunks, each chunk on a
  // fresh thread (so both libraries start from a clear error indicator), and compares
  // with the scalar export element by element.
  template <class ArrayCall, class ScalarCall>
  void Compare(const char* what, const Ranges& ranges, int arity, bool heston, std::size_t perLayout,
               std::size_t chunk, ArrayCall arrayCall, ScalarCall scalarCall) {
    std::mt19937_64 rng(20240611);
    std::size_t compared = 0, mismatches = 0;
    perLayout /= kSanitizedShare;
    for (Layout layout : {Layout::Random, Layout::SmilesShuffled, Layout::BroadcastMaturity,
                          Layout::SmilesWithBadValues, Layout::NegativeStrides}) {
      for (std::size_t done = 0; done < perLayout; done += chunk) {
        const Columns c = Draw(ranges, arity, chunk, layout, heston, rng);
        std::vector<double> got(chunk, -7.0), expected(chunk);
        int status = -1;
        std::thread([&] {
          status = arrayCall(c, got.data());
          for (std::size_t i = 0; i < chunk; ++i) {
            double args[9];
            for (int a = 0; a < arity; ++a) args[a] = c.At(a, i);
            expected[i] = scalarCall(args);
          }
        }).join();
        ASSERT_EQ(status, EUROCALL_ARRAY_OK) << what;
        for (std::size_t i = 0; i < chunk; ++i, ++compared) {
          if (!SameValue(got[i], expected[i]) && ++mismatches <= 5) {
            ADD_FAILURE() << what << " layout " << static_cast<int>(layout) << " element " << i << ": " << got[i]
                          << " != scalar " << expected[i];
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0u) << what << ": of " << compared;
    EXPECT_GE(compared, 100000u / kSanitizedShare) << what;
  }

  void CompareHeston(const char* arrayName, int method, const char* scalarName, std::size_t perLayout) {
    const auto array = Find<ArrayHeston>(array_, arrayName);
    const auto scalar = Find<Scalar>(scalar_, scalarName);
    ASSERT_TRUE(array && scalar);
    Compare(
        scalarName, kHeston, 9, true, perLayout, 1000,
        [&](const Columns& c, double* out) {
          return array(method, c.n, Base(c, 0), c.stride[0], Base(c, 1), c.stride[1], Base(c, 2), c.stride[2],
                       Base(c, 3), c.stride[3], Base(c, 4), c.stride[4], Base(c, 5), c.stride[5], Base(c, 6),
                       c.stride[6], Base(c, 7), c.stride[7], Base(c, 8), c.stride[8], out, 1);
        },
        [&](const double* a) { return scalar(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); });
  }

  void CompareIntegrand(const char* arrayName, const char* scalarName) {
    const auto array = Find<Array8>(array_, arrayName);
    const auto scalar = Find<Scalar8>(scalar_, scalarName);
    ASSERT_TRUE(array && scalar);
    Compare(
        scalarName, kIntegrand, 8, true, 20000, 2000,
        [&](const Columns& c, double* out) {
          return array(c.n, Base(c, 0), c.stride[0], Base(c, 1), c.stride[1], Base(c, 2), c.stride[2], Base(c, 3),
                       c.stride[3], Base(c, 4), c.stride[4], Base(c, 5), c.stride[5], Base(c, 6), c.stride[6],
                       Base(c, 7), c.stride[7], out, 1);
        },
        [&](const double* a) { return scalar(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]); });
  }

  void CompareBlackScholes(const char* arrayName, const char* scalarName, bool priceAsLast) {
    const auto array = Find<Array5>(array_, arrayName);
    const auto scalar = Find<Scalar5>(scalar_, scalarName);
    const auto bsCall = Find<Scalar5>(scalar_, "BSCall");
    ASSERT_TRUE(array && scalar && bsCall);
    Compare(
        scalarName, kBlackScholes, 5, false, 20000, 2000,
        [&](const Columns& c, double* out) {
          if (priceAsLast) {  // BSVol of prices that mostly have a volatility: vol -> BSCall(vol)
            double* price = const_cast<double*>(Base(c, 4));
            const std::size_t distinct = (c.stride[4] == 0) ? 1 : c.n;
            for (std::size_t i = 0; i < distinct; ++i) {
              double& v = price[static_cast<std::ptrdiff_t>(i) * c.stride[4]];
              v = bsCall(c.At(0, i), c.At(1, i), c.At(2, i), c.At(3, i), v);
            }
          }
          return array(c.n, Base(c, 0), c.stride[0], Base(c, 1), c.stride[1], Base(c, 2), c.stride[2], Base(c, 3),
                       c.stride[3], Base(c, 4), c.stride[4], out, 1);
        },
        [&](const double* a) { return scalar(a[0], a[1], a[2], a[3], a[4]); });
  }

  void* scalar_ = nullptr;
  void* array_ = nullptr;
};

TEST_F(ArrayLibrary, HestonCallFastIsTheScalarExportOnEveryElement) {
  CompareHeston("HestonCall_array", EUROCALL_FAST, "HestonCall_fast", 20000);
}
TEST_F(ArrayLibrary, HestonCallExactIsTheScalarExportOnEveryElement) {
  CompareHeston("HestonCall_array", EUROCALL_EXACT, "HestonCall_exact", 20000);
}
TEST_F(ArrayLibrary, HestonVolFastIsTheScalarExportOnEveryElement) {
  CompareHeston("HestonVol_array", EUROCALL_FAST, "HestonVol_fast", 20000);
}
TEST_F(ArrayLibrary, HestonVolExactIsTheScalarExportOnEveryElement) {
  CompareHeston("HestonVol_array", EUROCALL_EXACT, "HestonVol_exact", 20000);
}
TEST_F(ArrayLibrary, IntegrandsAreTheScalarExportsOnEveryElement) {
  CompareIntegrand("RealIntegrand_j0_array", "RealIntegrand_j0");
  CompareIntegrand("RealIntegrand_j1_array", "RealIntegrand_j1");
  CompareIntegrand("theIntegrand_array", "theIntegrand");
}
TEST_F(ArrayLibrary, BlackScholesIsTheScalarExportOnEveryElement) {
  CompareBlackScholes("BSCall_array", "BSCall", false);
  CompareBlackScholes("BSVol_array", "BSVol", true);
}

TEST_F(ArrayLibrary, RefusesWhatItCannotComputeAndWritesNothing) {
  const auto heston = Find<ArrayHeston>(array_, "HestonCall_array");
  const auto bsCall = Find<Array5>(array_, "BSCall_array");
  ASSERT_TRUE(heston && bsCall);
  const double one = 1.0;
  double out[2] = {-7.0, -7.0};
  struct Case {
    const char* what;
    int method;
    std::size_t n;
    const double* input;
    double* output;
    std::ptrdiff_t outStride;
    int expected;
  } cases[] = {
      {"unknown method", 2, 2, &one, out, 1, EUROCALL_ARRAY_BAD_METHOD},
      {"negative method", -1, 0, &one, out, 1, EUROCALL_ARRAY_BAD_METHOD},
      {"null input", EUROCALL_FAST, 2, nullptr, out, 1, EUROCALL_ARRAY_NULL_POINTER},
      {"null output", EUROCALL_FAST, 2, &one, nullptr, 1, EUROCALL_ARRAY_NULL_POINTER},
      {"output stride 0", EUROCALL_FAST, 2, &one, out, 0, EUROCALL_ARRAY_OUTPUT_STRIDE},
      {"nothing to do", EUROCALL_FAST, 0, nullptr, nullptr, 0, EUROCALL_ARRAY_OK},
  };
  for (const Case& c : cases) {
    const double* p = c.input;
    EXPECT_EQ(heston(c.method, c.n, p, 0, p, 0, p, 0, p, 0, p, 0, p, 0, p, 0, p, 0, p, 0, c.output, c.outStride),
              c.expected)
        << c.what;
    EXPECT_EQ(out[0], -7.0) << c.what;
    EXPECT_EQ(out[1], -7.0) << c.what;
  }
  EXPECT_EQ(bsCall(2, &one, 0, &one, 0, nullptr, 0, &one, 0, &one, 0, out, 1), EUROCALL_ARRAY_NULL_POINTER);
  // One element may go to an output of stride 0.
  EXPECT_EQ(bsCall(1, &one, 0, &one, 0, &one, 0, &one, 0, &one, 0, out, 0), EUROCALL_ARRAY_OK);
  EXPECT_NE(out[0], -7.0);
}

TEST(ArrayLibraryExports, ExactlyTheSevenArrayFunctionsAreDefined) {
  const std::set<std::string> defined = testing::DefinedDynamicSymbols(EUROCALL_NM, EUROCALL_ARRAY_LIBRARY_FILE);
  const std::set<std::string> expected = {"BSCall_array",           "BSVol_array",           "HestonCall_array",
                                          "HestonVol_array",        "RealIntegrand_j0_array", "RealIntegrand_j1_array",
                                          "theIntegrand_array"};
  EXPECT_EQ(defined, expected);
}

}  // namespace
}  // namespace eurocall
