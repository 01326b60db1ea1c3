// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_X86_HALFANGLEROOTSSSE2_H
#define EUROCALL_HESTON_X86_HALFANGLEROOTSSSE2_H

// HalfAngleRoots for the library's own maths (RuntimeMaths) on x86 with SSE2: two lanes
// per instruction, in place of the generic loop of heston/HalfAngleRoots.h, which it
// replaces by overload (it is the more specialised candidate for a RuntimeMaths; any
// other maths policy, a test's or a benchmark's, still gets the generic loop).
//
// Why the bits stay the same: a square root is correctly rounded whichever instruction
// takes it, so sqrtpd gives each lane exactly the bits of sqrt; the products by 2 and
// 0.5 and the sum and difference are the same IEEE operations on each lane; and
// "v < 0 ? +0 : v" of RootOfNonNegative becomes v AND (v not less than 0), which keeps
// -0 and NaN as they are and turns a negative residue into +0. Square roots and
// divisions share one unit, and a pair costs it little more than one root. An odd lane
// left over takes the generic steps.
#include <emmintrin.h>

#include "heston/HalfAngleRoots.h"

namespace eurocall {

inline __m128d RootOfNonNegativePair(__m128d v) {
  return _mm_sqrt_pd(_mm_and_pd(v, _mm_cmpnlt_pd(v, _mm_setzero_pd())));
}

template <int N>
void HalfAngleRoots(const RuntimeMaths& m, const ZParts* z, double* reD, double* imDAbs) {
  const __m128d two = _mm_set1_pd(2.0), half = _mm_set1_pd(0.5);
  int l = 0;
  for (; l + 1 < N; l += 2) {
    const __m128d modulusSq = _mm_set_pd(z[l + 1].modulusSq, z[l].modulusSq);
    const __m128d twoReZ = _mm_set_pd(z[l + 1].twoReZ, z[l].twoReZ);
    const __m128d M2 = _mm_mul_pd(two, RootOfNonNegativePair(modulusSq));
    _mm_storeu_pd(reD + l, _mm_mul_pd(half, RootOfNonNegativePair(_mm_add_pd(M2, twoReZ))));
    _mm_storeu_pd(imDAbs + l, _mm_mul_pd(half, RootOfNonNegativePair(_mm_sub_pd(M2, twoReZ))));
  }
  if (l < N) HalfAngleRootsOfLane(m, z[l], reD[l], imDAbs[l]);
}

}  // namespace eurocall

#endif
