// SPDX-License-Identifier: Apache-2.0
// The shared library loaded by file name: every export is found by name and computes
// exactly what the internal routine computes, and no other symbol leaves the library.
#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/DefinedSymbols.h"
#include "blackscholes/blackscholes.h"
#include "heston/heston.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

// Every export the library defines, in ordinal order.
const std::set<std::string> kExports = {
    "BSCall",          "BSVol",          "HestonCall_exact", "HestonCall_fast", "HestonVol_exact",
    "HestonVol_fast",  "RealIntegrand_j0", "RealIntegrand_j1", "theIntegrand",
};

class SharedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) EXPECT_EQ(dlclose(handle_), 0);
  }
  template <class F>
  F Find(const char* name) {
    void* p = dlsym(handle_, name);
    EXPECT_NE(p, nullptr) << name << ": " << dlerror();
    return reinterpret_cast<F>(p);
  }
  void* handle_ = nullptr;
};

using Fn5 = double (*)(double, double, double, double, double);

TEST_F(SharedLibrary, BlackScholesExportsForwardBitForBit) {
  const auto bsCall = Find<Fn5>("BSCall");
  const auto bsVol = Find<Fn5>("BSVol");
  ASSERT_TRUE(bsCall && bsVol);
  for (double K : {80.0, 100.0, 125.0}) {
    const double price = BSCall(100, K, 0.75, 0.02, 0.3);
    EXPECT_TRUE(BitExact(bsCall(100, K, 0.75, 0.02, 0.3), price));
    EXPECT_TRUE(BitExact(bsVol(100, K, 0.75, 0.02, price), BSVol(100, K, 0.75, 0.02, price)));
  }
}

using Fn8 = double (*)(double, double, double, double, double, double, double, double);
using Fn9 = double (*)(double, double, double, double, double, double, double, double, double);

TEST_F(SharedLibrary, HestonExportsForwardBitForBitInTheirArgumentOrder) {
  const auto fast = Find<Fn9>("HestonCall_fast");
  const auto exact = Find<Fn9>("HestonCall_exact");
  const auto volFast = Find<Fn9>("HestonVol_fast");
  const auto volExact = Find<Fn9>("HestonVol_exact");
  const auto j0 = Find<Fn8>("RealIntegrand_j0");
  const auto j1 = Find<Fn8>("RealIntegrand_j1");
  const auto combined = Find<Fn8>("theIntegrand");
  ASSERT_TRUE(fast && exact && volFast && volExact && j0 && j1 && combined);
  // theta and v0 differ so that an exchanged pair shows; the real integrands take
  // theta third, the others v0 third.
  for (double K : {80.0, 100.0, 125.0}) {
    EXPECT_TRUE(BitExact(fast(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3),
                         HestonCall_fast(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3)));
    EXPECT_TRUE(BitExact(exact(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3),
                         HestonCall_exact(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3)));
    EXPECT_TRUE(BitExact(volFast(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3),
                         HestonVol_fast(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3)));
    EXPECT_TRUE(BitExact(volExact(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3),
                         HestonVol_exact(100, K, 0.5, 0.02, 0.09, 0.04, 2, 0.6, 0.3)));
  }
  for (double phi : {0.0, 0.75, 12.5}) {
    EXPECT_TRUE(BitExact(j0(-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, phi), RealIntegrand_j0(-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, phi)));
    EXPECT_TRUE(BitExact(j1(-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, phi), RealIntegrand_j1(-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, phi)));
    EXPECT_TRUE(BitExact(combined(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, phi), theIntegrand(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, phi)));
  }
}

TEST_F(SharedLibrary, NamesAreCaseSensitiveAndInternalsAreHidden) {
  EXPECT_EQ(dlsym(handle_, "bscall"), nullptr);
  EXPECT_EQ(dlsym(handle_, "_ZN8eurocall6BSCallEddddd"), nullptr);
  EXPECT_EQ(dlsym(handle_, "_ZN8eurocall9CumNormalEd"), nullptr);
  EXPECT_EQ(dlsym(handle_, "_ZN8eurocall14IntegratePanelEddddddddd"), nullptr);
  EXPECT_EQ(dlsym(handle_, "_ZN8eurocall20GaussLegendreWeightsE"), nullptr);
}

TEST(SharedLibraryExports, ExactlyTheExportsAreDefined) {
  const std::set<std::string> defined = testing::DefinedDynamicSymbols(EUROCALL_NM, EUROCALL_LIBRARY_FILE);
  EXPECT_EQ(defined, kExports);
}

}  // namespace
}  // namespace eurocall
