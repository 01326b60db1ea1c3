// SPDX-License-Identifier: Apache-2.0
// No export allocates: every malloc, calloc, realloc and operator new made in the process
// while the exports run is counted, and the count must stay 0.
//
// The counting allocator replaces the C runtime's for the whole test program (the shared
// library's calls bind to it), so it cannot run beside a sanitizer's own allocator.
#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define EUROCALL_COUNTING_ALLOCATOR 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define EUROCALL_COUNTING_ALLOCATOR 0
#endif
#endif
#ifndef EUROCALL_COUNTING_ALLOCATOR
#define EUROCALL_COUNTING_ALLOCATOR 1
#endif

namespace {
std::atomic<bool> gArmed{false};
std::atomic<long> gAllocations{0};
inline void Count() {
  if (gArmed.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if EUROCALL_COUNTING_ALLOCATOR
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
  Count();
  return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t m) {
  Count();
  return __libc_calloc(n, m);
}
void* realloc(void* p, std::size_t n) {
  Count();
  return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}

void* operator new(std::size_t n) {
  Count();
  if (void* p = __libc_malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t) noexcept { __libc_free(p); }
#endif

namespace eurocall {
namespace {

using Fn5 = double (*)(double, double, double, double, double);
using Fn8 = double (*)(double, double, double, double, double, double, double, double);
using Fn9 = double (*)(double, double, double, double, double, double, double, double, double);

TEST(NoAllocation, ExportsNeverTouchTheHeap) {
  if (!EUROCALL_COUNTING_ALLOCATOR) GTEST_SKIP() << "a sanitizer owns the allocator in this build";
  void* lib = dlopen(EUROCALL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  const auto bsCall = reinterpret_cast<Fn5>(dlsym(lib, "BSCall"));
  const auto bsVol = reinterpret_cast<Fn5>(dlsym(lib, "BSVol"));
  const auto hestonFast = reinterpret_cast<Fn9>(dlsym(lib, "HestonCall_fast"));
  const auto integrand = reinterpret_cast<Fn8>(dlsym(lib, "theIntegrand"));
  const auto j0 = reinterpret_cast<Fn8>(dlsym(lib, "RealIntegrand_j0"));
  const auto j1 = reinterpret_cast<Fn8>(dlsym(lib, "RealIntegrand_j1"));
  const auto hestonExact = reinterpret_cast<Fn9>(dlsym(lib, "HestonCall_exact"));
  const auto volFast = reinterpret_cast<Fn9>(dlsym(lib, "HestonVol_fast"));
  const auto volExact = reinterpret_cast<Fn9>(dlsym(lib, "HestonVol_exact"));
  ASSERT_TRUE(bsCall && bsVol && hestonFast && hestonExact && volFast && volExact && integrand && j0 && j1);

  // Warm up first: the dynamic loader may allocate on the first call of each export
  // (lazy binding, thread-local storage); that is the loader's, not the library's.
  double sink = bsVol(100, 100, 1, 0.05, bsCall(100, 100, 1, 0.05, 0.2)) +
                hestonFast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7) +
                hestonExact(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7) +
                volFast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7) +
                volExact(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7) +
                integrand(0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 1.0) + j0(0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 1.0) +
                j1(0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 1.0);

  // The counter itself sees a malloc (the program exports it, so the library binds to it).
  gArmed = true;
  void* volatile probe = std::malloc(16);
  std::free(probe);
  gArmed = false;
  ASSERT_EQ(gAllocations.load(), 1);

  gAllocations = 0;
  gArmed = true;
  for (int i = 0; i < 200; ++i) {
    const double K = 60.0 + i;
    sink += bsVol(100, K, 0.5, 0.03, bsCall(100, K, 0.5, 0.03, 0.25));
    sink += j0(-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.01 * i) + j1(-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.01 * i);
    if (i % 20 == 0) {
      sink += hestonFast(100, K, 0.5, 0.03, 0.04, 0.05, 2, 0.4, -0.6) +
              hestonExact(100, K, 0.5, 0.03, 0.04, 0.05, 2, 0.4, -0.6) +
              volFast(100, K, 0.5, 0.03, 0.04, 0.05, 2, 0.4, -0.6) + volExact(100, K, 0.5, 0.03, 0.04, 0.05, 2, 0.4, -0.6);
    }
  }
  gArmed = false;
  EXPECT_EQ(gAllocations.load(), 0) << sink;
  dlclose(lib);
}

}  // namespace
}  // namespace eurocall
