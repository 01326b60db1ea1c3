// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_BOUNDARY_NUMERICENVIRONMENT_H
#define EUROCALL_BOUNDARY_NUMERICENVIRONMENT_H

// The numeric environment every result of the library is computed in: IEEE double,
// round to nearest, every floating-point exception masked, subnormals neither flushed
// nor treated as zero, and (where maths functions run on the x87 unit) a 53-bit x87
// significand. Hosts change all of these: unmasked traps would turn a NaN argument into
// SIGFPE, FTZ/DAZ or a directed rounding mode would change last bits, and a 64-bit x87
// precision would change what the runtime's exp or sin return.
//
// CallInLibraryEnvironment installs that environment, calls the routine, and puts the
// caller's environment back exactly as it was, its exception flags included (flags the
// library raised are dropped), and the caller's errno with it. Only the exports pay for
// it: internal calls run inside.
#include <cerrno>
#include <cfenv>

#if (defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)) && \
    (defined(__GNUC__) || defined(__clang__))
#define EUROCALL_ENV_X86 1
#else
#define EUROCALL_ENV_X86 0
#endif

// The x87 unit is pinned where the C runtime's double maths functions use it (MinGW's
// exp, log, sin, cos, atan2 and pow; any 32-bit x86 build). glibc on x86-64 computes
// them in SSE registers, so there the x87 state is neither read nor changed.
#if EUROCALL_ENV_X86 && (defined(_WIN32) || defined(__i386__))
#define EUROCALL_ENV_X87 1
#else
#define EUROCALL_ENV_X87 0
#endif

namespace eurocall {

#if EUROCALL_ENV_X86

struct CallerEnvironment {
  unsigned mxcsr;
#if EUROCALL_ENV_X87
  unsigned char x87[28];  // fnstenv image: control, status (flags) and tag words
#endif
};

// MXCSR 0x1F80: all six exceptions masked (bits 7-12), round to nearest (bits 13-14
// clear), FTZ (bit 15) and DAZ (bit 6) clear, no flag pending (bits 0-5 clear).
constexpr unsigned kLibraryMxcsr = 0x1F80;
// x87 control word 0x027F: all exceptions masked, 53-bit precision (PC = 10b), round to
// nearest (RC = 00b).
constexpr unsigned short kLibraryX87Control = 0x027F;

inline void EnterLibraryEnvironment(CallerEnvironment& saved) {
  unsigned mxcsr = kLibraryMxcsr;
  __asm__ __volatile__("stmxcsr %0" : "=m"(saved.mxcsr) : : "memory");
  __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr) : "memory");
#if EUROCALL_ENV_X87
  unsigned short control = kLibraryX87Control;
  // fnstenv also masks the x87 exceptions; fnclex then drops pending flags.
  __asm__ __volatile__("fnstenv %0\n\tfnclex\n\tfldcw %1" : "=m"(saved.x87) : "m"(control) : "memory");
#endif
}

inline void LeaveLibraryEnvironment(const CallerEnvironment& saved) {
#if EUROCALL_ENV_X87
  __asm__ __volatile__("fldenv %0" : : "m"(saved.x87) : "memory");
#endif
  __asm__ __volatile__("ldmxcsr %0" : : "m"(saved.mxcsr) : "memory");
}

#else  // portable fallback through <cfenv>

struct CallerEnvironment {
  std::fenv_t env;
};

inline void EnterLibraryEnvironment(CallerEnvironment& saved) {
  std::feholdexcept(&saved.env);  // saves, clears the flags, masks every exception
  std::fesetround(FE_TONEAREST);
}

inline void LeaveLibraryEnvironment(const CallerEnvironment& saved) { std::fesetenv(&saved.env); }

#endif

// The compiler does not know that the asm statements above change how arithmetic
// rounds: it may move arithmetic on registers across them, and does, once the routine
// is inlined (a routine in the same file, or any routine under link-time
// optimisation). Routing the arguments and the result through an empty asm that claims
// to change them ties every operation of the routine to the time between the two.
template <class T>
inline void OrderAgainstEnvironment(T& value) {
#if defined(__GNUC__) || defined(__clang__)
  __asm__ __volatile__("" : "+m"(value));
#else
  (void)value;
#endif
}

template <class Routine, class... Args>
inline auto CallInLibraryEnvironment(Routine routine, Args... args) {
  // The C runtime's errno is the host's too where the host uses the same runtime (the
  // MinGW DLL and a MinGW host share msvcrt's); a maths function inside may write it,
  // so the caller gets its own value back. The library's error indicator is not errno.
  const int savedErrno = errno;
  CallerEnvironment saved;
  EnterLibraryEnvironment(saved);
  (OrderAgainstEnvironment(args), ...);
  auto result = routine(args...);
  OrderAgainstEnvironment(result);
  LeaveLibraryEnvironment(saved);
  errno = savedErrno;
  return result;
}

}  // namespace eurocall

#endif
