// SPDX-License-Identifier: Apache-2.0
// Whatever floating-point state the host thread runs in (traps unmasked, a directed
// rounding mode, flush-to-zero and denormals-are-zero, pending flags), every export
// returns what it returns in the default environment, raises no signal, and leaves the
// host's state exactly as it was.
#include <dlfcn.h>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include <gtest/gtest.h>

#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct ExportCall {
  const char* name;
  int arity;
  double args[9];
};

// Ordinary requests and the special values that would trap or flush if the host's
// state leaked in.
const ExportCall kCalls[] = {
    {"BSCall", 5, {100, 100, 1, 0.05, 0.2}},
    {"BSCall", 5, {100, 100, 0, 0.05, 0.2}},       // 0/0 inside
    {"BSCall", 5, {90, 100, 1, 0.05, 0}},          // division by zero inside
    {"BSCall", 5, {kNaN, 100, 1, 0.05, 0.2}},
    {"BSCall", 5, {100, kInf, 1, 0.05, 0.2}},
    {"BSCall", 5, {100, 100, 1, -kInf, 0.2}},
    {"BSCall", 5, {1e-300, 1e300, 1e-300, 0.05, 1e-300}},
    {"BSCall", 5, {100, 100, 1e-310, 0.05, 0.2}},  // subnormal time
    {"BSVol", 5, {100, 100, 1, 0.05, 10.450583572185558}},
    {"BSVol", 5, {100, 100, 1, 0.05, 20}},
    {"BSVol", 5, {100, 100, 1, 0.05, kNaN}},
    {"BSVol", 5, {100, 100, 1, 0.05, kInf}},
    {"BSVol", 5, {0, 0, 0, 0, 0}},
    {"BSVol", 5, {100, 150, 1e-310, 0.05, 1e-3}},
    {"HestonCall_fast", 9, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}},
    {"HestonCall_fast", 9, {100, 130, 0.1, 0.05, 0.01, 0.09, 0.5, 1.0, -0.9}},
    {"HestonCall_fast", 9, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0, -0.7}},  // sigma = 0: the small-sigma evaluation
    {"HestonCall_fast", 9, {kNaN, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}},
    {"HestonCall_fast", 9, {100, 0, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}},
    {"HestonCall_exact", 9, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}},
    {"HestonCall_exact", 9, {100, 130, 0.1, 0.05, 0.01, 0.09, 0.5, 1.0, -0.9}},
    {"HestonCall_exact", 9, {100, 100, 1, 0.05, kNaN, 0.04, 1.5, 0.3, -0.7}},
    {"HestonCall_exact", 9, {100, 100, kInf, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}},
    {"HestonVol_exact", 9, {100, 90, 0.5, 0.05, 0.09, 0.04, 2, 0.6, 0.3}},
    {"HestonVol_exact", 9, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0, -0.7}},
    {"HestonVol_fast", 9, {100, 90, 0.5, 0.05, 0.09, 0.04, 2, 0.6, 0.3}},
    {"HestonVol_fast", 9, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"RealIntegrand_j0", 8, {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75}},
    {"RealIntegrand_j0", 8, {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 0}},       // 1/0 inside
    {"RealIntegrand_j1", 8, {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75}},
    {"RealIntegrand_j1", 8, {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 1e6}},     // underflows to 0
    {"theIntegrand", 8, {-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75}},
    {"theIntegrand", 8, {-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, kNaN}},
    {"theIntegrand", 8, {kInf, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 1}},
    {"theIntegrand", 8, {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 1e-310}},
};

using Fn5 = double (*)(double, double, double, double, double);
using Fn8 = double (*)(double, double, double, double, double, double, double, double);
using Fn9 = double (*)(double, double, double, double, double, double, double, double, double);

double Invoke(void* handle, const ExportCall& c) {
  void* p = dlsym(handle, c.name);
  if (!p) return -12345.0;
  const double* a = c.args;
  switch (c.arity) {
    case 5: return reinterpret_cast<Fn5>(p)(a[0], a[1], a[2], a[3], a[4]);
    case 8: return reinterpret_cast<Fn8>(p)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    default: return reinterpret_cast<Fn9>(p)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
  }
}

struct FloatState {
  std::fenv_t env;
  int flags;
  int traps;
  int rounding;
  unsigned mxcsr = 0;
  unsigned short x87Control = 0;
};

FloatState ReadState() {
  FloatState s;
  std::fegetenv(&s.env);
  s.flags = std::fetestexcept(FE_ALL_EXCEPT);
  s.traps = fegetexcept();
  s.rounding = std::fegetround();
#if defined(__x86_64__) || defined(__i386__)
  s.mxcsr = _mm_getcsr();
  // The x87 unit keeps its own rounding mode, precision and masks; the host's must survive
  // even where the library does not use the unit.
  __asm__ __volatile__("fnstcw %0" : "=m"(s.x87Control));
#endif
  return s;
}

TEST(NumericEnvironment, HostStateNeitherLeaksInNorIsDisturbed) {
  void* handle = dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  for (const ExportCall& c : kCalls) ASSERT_NE(dlsym(handle, c.name), nullptr) << c.name;

  std::vector<double> reference;
  std::thread([&] {
    for (const ExportCall& c : kCalls) reference.push_back(Invoke(handle, c));
  }).join();

  std::vector<double> hostile;
  FloatState before, after;
  std::thread([&] {
    hostile.reserve(std::size(kCalls));
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    std::fesetround(FE_UPWARD);
#if defined(__x86_64__) || defined(__i386__)
    _mm_setcsr(_mm_getcsr() | 0x8040);  // FTZ and DAZ
    // x87 precision cut to a 24-bit significand: any double maths done on the x87 unit
    // would come out different.
    unsigned short control;
    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    control = static_cast<unsigned short>(control & ~0x0300);
    __asm__ __volatile__("fldcw %0" : : "m"(control));
#endif
    std::feraiseexcept(FE_INEXACT | FE_UNDERFLOW);  // pending flags the host owns
    before = ReadState();
    for (const ExportCall& c : kCalls) hostile.push_back(Invoke(handle, c));
    after = ReadState();
    fedisableexcept(FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);
  }).join();

  ASSERT_EQ(hostile.size(), reference.size());
  for (std::size_t i = 0; i < reference.size(); ++i) {
    EXPECT_TRUE(BitExact(hostile[i], reference[i])) << kCalls[i].name << " case " << i;
  }
  EXPECT_EQ(after.flags, before.flags);
  EXPECT_EQ(after.traps, before.traps);
  EXPECT_EQ(after.rounding, FE_UPWARD);
  EXPECT_EQ(after.mxcsr, before.mxcsr);
  EXPECT_EQ(after.x87Control, before.x87Control);
#if defined(__x86_64__) || defined(__i386__)
  // The host's setup reached both units: x87 rounding upward, single precision, three
  // exceptions unmasked.
  EXPECT_EQ(before.x87Control & 0x0C00, 0x0800);
  EXPECT_EQ(before.x87Control & 0x0300, 0);
  EXPECT_EQ(before.x87Control & (0x01 | 0x04 | 0x08), 0);
#endif
  EXPECT_EQ(std::memcmp(&after.env, &before.env, sizeof before.env), 0);
  dlclose(handle);
}

// The C runtime's errno is the host's: whatever the maths functions inside write to
// it (the overflowing and NaN cases above make glibc's write ERANGE or EDOM), the host
// finds its own value after every call.
TEST(NumericEnvironment, HostErrnoIsLeftAlone) {
  void* handle = dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  for (const int hostErrno : {0, 12345}) {
    for (const ExportCall& c : kCalls) {
      errno = hostErrno;
      Invoke(handle, c);
      EXPECT_EQ(errno, hostErrno) << c.name << " (" << c.args[0] << ", " << c.args[1] << ", ...)";
    }
  }
  dlclose(handle);
}

}  // namespace
}  // namespace eurocall
