// SPDX-License-Identifier: Apache-2.0
// eurocall.dll as a Windows host sees it, under the real loader: loaded by path with
// LoadLibrary, its nine exports found by name and by ordinal, called on the worked
// values, on threads in different floating-point states and with the host's errno set,
// and unloaded and loaded again. The host uses no test framework (none is built for the
// cross compiler): every failed check prints its line, and any failure makes the exit
// code 1.
#include <windows.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "eurocall.h"
#include "support/UlpDistance.h"

namespace {

using eurocall::testing::UlpDistance;

int gFailures = 0;

#define CHECK(condition, ...)                                   \
  do {                                                          \
    if (!(condition)) {                                         \
      ++gFailures;                                              \
      std::printf("%s:%d: failed: %s: ", __FILE__, __LINE__, #condition); \
      std::printf(__VA_ARGS__);                                 \
      std::printf("\n");                                        \
    }                                                           \
  } while (0)

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// ---------------------------------------------------------------------------------
// The export table as the header declares it, in ordinal order. The pointer types
// come from the header's own declarations, calling convention included.

using Fn5 = decltype(&BSCall);
using Fn8 = decltype(&theIntegrand);
using Fn9 = decltype(&HestonCall_exact);

struct Export {
  const char* name;
  int arity;
};

const Export kExports[9] = {
    {"BSCall", 5},           {"BSVol", 5},           {"HestonCall_exact", 9},
    {"HestonCall_fast", 9},  {"HestonVol_exact", 9}, {"HestonVol_fast", 9},
    {"RealIntegrand_j0", 8}, {"RealIntegrand_j1", 8}, {"theIntegrand", 8},
};

FARPROC gProc[9];  // the exports of the loaded module, by ordinal - 1

// How a result is judged against its expected value.
enum class Judge {
  kExact,      // same bits; no maths function is involved, or its result is exact
  kUlps,       // within `tolerance` units in the last place: runtimes differ in last bits
  kAbsolute,   // within `tolerance`: the expected value is known to that accuracy only
  kNotFinite,  // an infinity or a NaN
  kThreadsOnly,  // no expected value: only compared bit for bit across threads
};

struct Call {
  int line;
  int ordinal;
  double args[9];
  double expected;
  Judge judge;
  double tolerance;
};

// The worked values of the library (each hand-checked or stated to the digits given),
// and requests whose outcome is fixed without any maths function: sentinels, NaN, the
// zero-time price. The Heston prices are quadratures, accurate to their tolerance only.
const Call kCalls[] = {
    {__LINE__, 1, {100, 100, 1, 0.05, 0.2}, 10.450583572185558, Judge::kUlps, 4},
    {__LINE__, 1, {110, 100, 0, 0.05, 0.2}, 10, Judge::kExact, 0},  // T = 0: S - K
    {__LINE__, 1, {90, 100, 0, 0.05, 0.2}, 0, Judge::kExact, 0},    // T = 0, S < K
    {__LINE__, 1, {kNaN, 100, 1, 0.05, 0.2}, kNaN, Judge::kExact, 0},
    {__LINE__, 2, {100, 100, 1, 0.05, 10.450583572185558}, 0.2000000000000121, Judge::kUlps, 16},
    {__LINE__, 2, {100, 100, 1, 0.05, 20}, 0.4523403603789396, Judge::kUlps, 16},
    {__LINE__, 2, {100, 100, 1, 0.05, 0}, 0, Judge::kExact, 0},    // below S - K e^(-rT)
    {__LINE__, 2, {100, 100, 1, 0.05, 80}, 2, Judge::kExact, 0},   // above BSCall at vol 2
    {__LINE__, 2, {100, 100, 1, 0.05, kNaN}, 0, Judge::kExact, 0},
    {__LINE__, 3, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}, 10.361869020966109, Judge::kAbsolute, 1e-8},
    {__LINE__, 4, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}, 10.361869020966109, Judge::kAbsolute, 1e-8},
    {__LINE__, 5, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}, 0.19763504898137924, Judge::kAbsolute, 1e-6},
    {__LINE__, 6, {100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}, 0.19763504898137924, Judge::kAbsolute, 1e-6},
    {__LINE__, 5, {kNaN, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}, 2, Judge::kExact, 0},  // NaN price
    {__LINE__, 6, {kNaN, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7}, 2, Judge::kExact, 0},
    // Integrands: theta third and v0 fourth for the two real ones, v0 third for the
    // combined one; the worked values are known to ten significant digits.
    {__LINE__, 7, {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75}, -0.2150882120, Judge::kAbsolute, 1e-10},
    {__LINE__, 8, {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75}, -0.1794122430, Judge::kAbsolute, 1e-10},
    {__LINE__, 9, {-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75}, 0.06819789125, Judge::kAbsolute, 1e-11},
    {__LINE__, 9, {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75}, 0.06227914477, Judge::kAbsolute, 1e-11},
    {__LINE__, 7, {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0}, 0, Judge::kNotFinite, 0},  // 1/phi
    // sigma = 0, deterministic variance: e^x j1 - j0 with j = e^(-V phi^2/2) sin(phi x -+ V phi/2)/phi,
    // V = theta T + (v0 - theta)(1 - e^(-kappa T))/kappa (mpmath, 40 digits).
    {__LINE__, 9, {-0.2, 0.5, 0.09, 0.04, 2, 0, 0.3, 0.75}, 0.067621892547236835, Judge::kAbsolute, 1e-15},
    // More work for the runtime's maths functions, for the comparisons across threads.
    {__LINE__, 1, {100, 80, 0.25, 0.03, 0.35}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 1, {100, 130, 2.5, -0.01, 0.15}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 2, {100, 130, 2.5, -0.01, 3.2}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 4, {100, 80, 0.25, 0.03, 0.09, 0.05, 3, 0.5, -0.4}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 4, {100, 130, 2.5, -0.01, 0.02, 0.06, 0.8, 0.9, 0.2}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 6, {100, 80, 0.25, 0.03, 0.09, 0.05, 3, 0.5, -0.4}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 9, {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 0.3}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 9, {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 1.7}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 9, {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 4.2}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 9, {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 11.5}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 9, {-0.3, 3, 0.1, 0.02, 0.5, 1.1, 0.6, 37}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 7, {0.05, 0.1, 0.2, 0.01, 4, 0.2, -0.95, 2.5}, 0, Judge::kThreadsOnly, 0},
    {__LINE__, 8, {0.05, 0.1, 0.2, 0.01, 4, 0.2, -0.95, 2.5}, 0, Judge::kThreadsOnly, 0},
};
constexpr int kCallCount = sizeof kCalls / sizeof kCalls[0];

// Error codes a host's own failing maths calls leave in errno.
const int kHostErrnos[] = {ERANGE, EDOM};

double Invoke(const Call& c) {
  const FARPROC p = gProc[c.ordinal - 1];
  const double* a = c.args;
  switch (kExports[c.ordinal - 1].arity) {
    case 5: return reinterpret_cast<Fn5>(p)(a[0], a[1], a[2], a[3], a[4]);
    case 8: return reinterpret_cast<Fn8>(p)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    default: return reinterpret_cast<Fn9>(p)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
  }
}

// ---------------------------------------------------------------------------------
// The calling thread's floating-point control state.

struct ControlState {
  unsigned short x87;
  unsigned mxcsr;
};

ControlState ReadControl() {
  ControlState s;
  __asm__ __volatile__("fnstcw %0" : "=m"(s.x87));
  __asm__ __volatile__("stmxcsr %0" : "=m"(s.mxcsr));
  return s;
}

void SetControl(ControlState s) {
  __asm__ __volatile__("fldcw %0" : : "m"(s.x87));
  __asm__ __volatile__("ldmxcsr %0" : : "m"(s.mxcsr));
}

// x87 control words: exceptions masked, round to nearest, precision 64 or 53 bits.
constexpr unsigned short kX87Extended = 0x037F;
constexpr unsigned short kX87Double = 0x027F;
// A host that changes everything: x87 at 24-bit precision rounding up (PC = 00b,
// RC = 10b); SSE rounding up (RC = 10b) with flush-to-zero and denormals-are-zero.
// Exceptions stay masked: a trap would end the host, not test the library.
constexpr ControlState kHostile = {0x087F, 0xDFC0};

// Every call of kCalls on the calling thread, its control state checked around each
// call: the library must hand it back exactly as it found it.
void RunCalls(double* results) {
  for (int i = 0; i < kCallCount; ++i) {
    const ControlState before = ReadControl();
    results[i] = Invoke(kCalls[i]);
    const ControlState after = ReadControl();
    CHECK(after.x87 == before.x87 && after.mxcsr == before.mxcsr,
          "line %d: control state %04x/%08x came back as %04x/%08x", kCalls[i].line,
          before.x87, before.mxcsr, after.x87, after.mxcsr);
  }
}

struct ThreadRun {
  bool setControl;
  ControlState control;
  int hostErrno;  // set before the first call, expected unchanged after the last
  double results[kCallCount];
};

DWORD WINAPI ThreadMain(LPVOID p) {
  ThreadRun& run = *static_cast<ThreadRun*>(p);
  const ControlState original = ReadControl();
  if (run.setControl) SetControl(run.control);
  run.control = ReadControl();
  errno = run.hostErrno;
  RunCalls(run.results);
  CHECK(errno == run.hostErrno, "the library changed the host's errno %d to %d", run.hostErrno, errno);
  SetControl(original);
  return 0;
}

void RunOnNewThread(ThreadRun& run) {
  const HANDLE thread = CreateThread(nullptr, 0, ThreadMain, &run, 0, nullptr);
  CHECK(thread != nullptr, "CreateThread: error %lu", GetLastError());
  if (!thread) return;
  CHECK(WaitForSingleObject(thread, INFINITE) == WAIT_OBJECT_0, "thread did not end");
  DWORD code = 1;
  CHECK(GetExitCodeThread(thread, &code) && code == 0, "thread exit code %lu", code);
  CloseHandle(thread);
}

void ExpectSameBits(const double* reference, const double* results, const char* what) {
  for (int i = 0; i < kCallCount; ++i) {
    CHECK(Bits(results[i]) == Bits(reference[i]), "line %d, %s: %.17g, first thread %.17g",
          kCalls[i].line, what, results[i], reference[i]);
  }
}

// ---------------------------------------------------------------------------------

HMODULE Load(char* path) {
  const HMODULE module = LoadLibraryA(path);
  CHECK(module != nullptr, "LoadLibrary(%s): error %lu", path, GetLastError());
  return module;
}

// By name and by ordinal the same nine functions; nothing at ordinal 10; no entry
// routine, decorated or differently cased name among the exports.
void CheckExportTable(HMODULE module) {
  for (int i = 0; i < 9; ++i) {
    const FARPROC byName = GetProcAddress(module, kExports[i].name);
    const FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(i + 1));
    CHECK(byName != nullptr, "%s not exported", kExports[i].name);
    CHECK(byOrdinal == byName, "ordinal %d is not %s", i + 1, kExports[i].name);
    gProc[i] = byName;
  }
  CHECK(GetProcAddress(module, MAKEINTRESOURCEA(10)) == nullptr, "ordinal 10 exported");
  const char* absent[] = {"DllMain", "DllMain@12", "DllMainCRTStartup", "bscall", "BSCALL",
                          "Bscall", "bsvol", "hestoncall_exact", "HestonCall_Exact",
                          "realintegrand_j0", "RealIntegrand_J1", "TheIntegrand",
                          "theintegrand", "BSCall@40", "_BSCall@40", "_BSCall"};
  for (const char* name : absent) {
    CHECK(GetProcAddress(module, name) == nullptr, "%s is exported", name);
  }
}

// The loader calls the module's entry point for every thread that starts or ends while
// the DLL is loaded and ignores what it returns; called directly, it must answer TRUE
// to both notifications, as it does to process attach (or LoadLibrary would fail).
void CheckEntryPointAcceptsThreadNotifications(HMODULE module) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  CHECK(nt->OptionalHeader.AddressOfEntryPoint != 0, "eurocall.dll has no entry point");
  if (nt->OptionalHeader.AddressOfEntryPoint == 0) return;
  using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
  const auto entry = reinterpret_cast<EntryPoint>(base + nt->OptionalHeader.AddressOfEntryPoint);
  CHECK(entry(module, DLL_THREAD_ATTACH, nullptr) == TRUE, "thread attach not accepted");
  CHECK(entry(module, DLL_THREAD_DETACH, nullptr) == TRUE, "thread detach not accepted");
}

void CheckWorkedValues(const double* results) {
  for (int i = 0; i < kCallCount; ++i) {
    const Call& c = kCalls[i];
    const double got = results[i];
    switch (c.judge) {
      case Judge::kExact:
        CHECK(UlpDistance(got, c.expected) == 0, "line %d: %.17g, expected %.17g", c.line, got, c.expected);
        break;
      case Judge::kUlps:
        CHECK(UlpDistance(got, c.expected) <= c.tolerance, "line %d: %.17g, expected %.17g within %g ulps",
              c.line, got, c.expected, c.tolerance);
        break;
      case Judge::kAbsolute:
        CHECK(std::fabs(got - c.expected) <= c.tolerance, "line %d: %.17g, expected %.17g within %g",
              c.line, got, c.expected, c.tolerance);
        break;
      case Judge::kNotFinite:
        CHECK(!std::isfinite(got), "line %d: %.17g is finite", c.line, got);
        break;
      case Judge::kThreadsOnly:
        break;
    }
  }
}

// The precision tests below can only fail if this runtime's maths functions answer
// differently at 53 and at 64 bits of x87 precision: check that they do, on the
// operations the library uses, so that the tests keep their point.
bool RuntimeMathsDependOnX87Precision() {
  volatile double inputs[] = {0.1, 0.7, 1.3, 2.9, 5.5, 10.25, 0.0625, 3.7, 7.1, 0.33};
  const ControlState original = ReadControl();
  bool differs = false;
  for (volatile double x : inputs) {
    double at[2][6];
    for (int k = 0; k < 2; ++k) {
      SetControl({k == 0 ? kX87Extended : kX87Double, original.mxcsr});
      at[k][0] = std::exp(x);
      at[k][1] = std::log(x);
      at[k][2] = std::sin(x);
      at[k][3] = std::cos(x);
      at[k][4] = std::atan2(x, 1.7);
      at[k][5] = std::pow(x, 1.37);
    }
    for (int f = 0; f < 6; ++f) differs = differs || Bits(at[0][f]) != Bits(at[1][f]);
  }
  SetControl(original);
  return differs;
}

}  // namespace

int main() {
  // The DLL beside this program, by full path: the one just built, not one on a path.
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (length == 0 || length >= MAX_PATH || !slash || (slash - path) + 14 > MAX_PATH) {
    std::printf("cannot locate this program\n");
    return 1;
  }
  std::strcpy(slash + 1, "eurocall.dll");

  CHECK(RuntimeMathsDependOnX87Precision(),
        "this runtime's maths functions ignore the x87 precision: the precision tests prove nothing");

  // Loading runs DllMain for process attach; a FALSE from it would fail LoadLibrary.
  HMODULE module = Load(path);
  if (!module) return 1;
  CheckExportTable(module);
  CheckEntryPointAcceptsThreadNotifications(module);
  for (const FARPROC p : gProc) {
    if (!p) return 1;
  }

  // First thread: the main thread, at the 64-bit x87 precision that the MinGW start-up
  // code sets, made explicit here so the comparison below does not rest on it.
  const ControlState mainOriginal = ReadControl();
  std::printf("main thread started with x87 control word %04x, MXCSR %08x\n", mainOriginal.x87, mainOriginal.mxcsr);
  SetControl({kX87Extended, 0x1F80});
  double reference[kCallCount];
  RunCalls(reference);
  for (int i = 0; i < kCallCount; ++i) {
    std::printf("line %d: %s = %.17g\n", kCalls[i].line, kExports[kCalls[i].ordinal - 1].name, reference[i]);
  }
  CheckWorkedValues(reference);

  // The host's errno is not the library's error indicator: neither a range nor a domain
  // error of the host's reaches theIntegrand (it would answer 0), nor changes anything
  // else; and the library leaves the host's errno as it was.
  for (const int hostErrno : kHostErrnos) {
    errno = hostErrno;
    double results[kCallCount];
    RunCalls(results);
    CHECK(errno == hostErrno, "the library changed the host's errno %d to %d", hostErrno, errno);
    ExpectSameBits(reference, results, hostErrno == ERANGE ? "host errno ERANGE" : "host errno EDOM");
  }
  errno = 0;

  // The same calls on threads the library has never seen (each attach and detach goes
  // through DllMain), one at a time: as Windows starts them, at 53-bit x87 precision as
  // hosts built by other compilers run, and in a state that differs in everything.
  // Each sets errno before its first call, when the thread's own indicator is fresh.
  ThreadRun plain{false, {}, ERANGE, {}};
  RunOnNewThread(plain);
  ExpectSameBits(reference, plain.results, "new thread");
  ThreadRun double53{true, {kX87Double, 0x1F80}, EDOM, {}};
  RunOnNewThread(double53);
  CHECK(double53.control.x87 == kX87Double, "x87 control word %04x, wanted 53-bit", double53.control.x87);
  ExpectSameBits(reference, double53.results, "53-bit x87 thread");
  ThreadRun hostile{true, kHostile, ERANGE, {}};
  RunOnNewThread(hostile);
  ExpectSameBits(reference, hostile.results, "thread with hostile control state");

  // Unloading runs DllMain for process detach and releases the module; loaded again,
  // it computes the same bits.
  CHECK(FreeLibrary(module), "FreeLibrary: error %lu", GetLastError());
  CHECK(GetModuleHandleA(path) == nullptr, "eurocall.dll still loaded after FreeLibrary");
  module = Load(path);
  if (module) {
    CheckExportTable(module);
    double reloaded[kCallCount];
    RunCalls(reloaded);
    ExpectSameBits(reference, reloaded, "after reloading");
    CHECK(FreeLibrary(module), "FreeLibrary: error %lu", GetLastError());
  }
  SetControl(mainOriginal);

  std::printf("%d failure(s)\n", gFailures);
  return gFailures == 0 ? 0 : 1;
}
