// SPDX-License-Identifier: Apache-2.0
// The nine exports fed arbitrary doubles. Whatever the arguments: no sanitizer report,
// a result of the export's documented class, and, called again from a hostile host
// environment (traps unmasked, a directed rounding mode, flush-to-zero, a short x87
// precision), no trap, the same bits, and the host's environment left as it was.
//
// Input: export (1 byte), state (1 byte), then per argument a kind byte and its payload:
//   kind % 4 = 0  the realistic request's value
//              1  that value times I16 / 8192, a factor in [-4, 4)
//              2  one of the bad values, index byte % 10
//              3  raw 64 bits, little-endian
// state bit 0: the thread's error indicator set before the call; bits 1-2: rounding
// (nearest, upward, downward, toward zero); bit 3: FTZ and DAZ; bits 4-5: traps (none,
// invalid + division by zero + overflow, all five, the three with inexact and underflow
// flags pending); bit 6: x87 precision cut to 24 bits.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "FuzzInput.h"
#include "eurocall.h"
#include "runtime/ErrorIndicator.h"
#include "support/ExportContract.h"

namespace {

using eurocall::fuzz::Fail;
using eurocall::fuzz::FuzzInput;
using eurocall::testing::ClassViolation;
using eurocall::testing::CombinedOfRealIntegrands;
using eurocall::testing::RealIntegrandArguments;
using eurocall::testing::ExportSignature;
using eurocall::testing::kBadValues;
using eurocall::testing::kExportSignatures;

double Invoke(int e, const double* a) {
  switch (e) {
    case 0: return BSCall(a[0], a[1], a[2], a[3], a[4]);
    case 1: return BSVol(a[0], a[1], a[2], a[3], a[4]);
    case 2: return HestonCall_exact(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
    case 3: return HestonCall_fast(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
    case 4: return HestonVol_exact(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
    case 5: return HestonVol_fast(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
    case 6: return RealIntegrand_j0(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    case 7: return RealIntegrand_j1(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    default: return theIntegrand(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
  }
}

bool SameBits(double a, double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

struct HostState {
  int flags, traps, rounding;
  unsigned mxcsr;
  unsigned short x87Control;
};

bool operator==(const HostState& a, const HostState& b) {
  return a.flags == b.flags && a.traps == b.traps && a.rounding == b.rounding && a.mxcsr == b.mxcsr &&
         a.x87Control == b.x87Control;
}

HostState ReadHostState() {
  HostState s{std::fetestexcept(FE_ALL_EXCEPT), fegetexcept(), std::fegetround(), 0, 0};
#if defined(__x86_64__) || defined(__i386__)
  s.mxcsr = _mm_getcsr();
  __asm__ __volatile__("fnstcw %0" : "=m"(s.x87Control));
#endif
  return s;
}

void EnterHostileEnvironment(unsigned state) {
  static const int kRounding[4] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetround(kRounding[(state >> 1) & 3]);
#if defined(__x86_64__) || defined(__i386__)
  if (state & 8) _mm_setcsr(_mm_getcsr() | 0x8040);
  if (state & 64) {
    unsigned short control;
    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    control = static_cast<unsigned short>(control & ~0x0300);
    __asm__ __volatile__("fldcw %0" : : "m"(control));
  }
#endif
  switch ((state >> 4) & 3) {
    case 1: feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); break;
    case 2: feenableexcept(FE_ALL_EXCEPT); break;
    case 3:
      std::feraiseexcept(FE_INEXACT | FE_UNDERFLOW);
      feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
      break;
    default: break;
  }
}

void LeaveHostileEnvironment() {
  fedisableexcept(FE_ALL_EXCEPT);
  std::fesetenv(FE_DFL_ENV);  // also clears FTZ/DAZ and restores the x87 control word
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const int e = in.Byte() % 9;
  const unsigned state = in.Byte();
  const ExportSignature& sig = kExportSignatures[e];
  double args[9] = {};
  for (int i = 0; i < sig.arity; ++i) {
    switch (in.Byte() % 4) {
      case 0: args[i] = sig.request[i]; break;
      case 1: args[i] = sig.request[i] * (in.I16() / 8192.0); break;
      case 2: args[i] = kBadValues[in.Byte() % 10]; break;
      default: args[i] = in.RawDouble(); break;
    }
  }

  // Every input starts from the same indicator, so that each one replays alone.
  const int indicator = (state & 1) ? eurocall::kRangeError : 0;
  eurocall::SetErrorIndicator(indicator);
  const double result = Invoke(e, args);
  // What the result is checked against: the Heston price a volatility inverts; for
  // theIntegrand e^x j1 - j0 of the two real integrands, which do not read the
  // indicator, or +0 while it is set.
  double companion = 0.0;
  if (sig.priceExport >= 0) {
    eurocall::SetErrorIndicator(indicator);
    companion = Invoke(sig.priceExport, args);
  } else if (e == 8 && indicator == 0) {
    double real[8];
    RealIntegrandArguments(args, real);
    const double j1 = Invoke(7, real), j0 = Invoke(6, real);
    companion = CombinedOfRealIntegrands(args[0], j1, j0);
  }
  if (const char* violation = ClassViolation(sig.resultClass, args, result, companion)) Fail(violation);

  eurocall::SetErrorIndicator(indicator);
  EnterHostileEnvironment(state);
  const HostState before = ReadHostState();
  const double hostile = Invoke(e, args);
  const HostState after = ReadHostState();
  LeaveHostileEnvironment();
  if (!(before == after)) Fail("host environment changed");
  if (!SameBits(hostile, result)) Fail("result depends on the host environment");
  return 0;
}
