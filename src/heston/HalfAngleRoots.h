// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_HALFANGLEROOTS_H
#define EUROCALL_HESTON_HALFANGLEROOTS_H

// The three square roots of one integrand evaluation, for N lanes side by side:
//   M = sqrt(|Z|^2),  Re d = 0.5 sqrt(2M + 2 Re Z),  |Im d| = 0.5 sqrt(2M - 2 Re Z),
// both half-angle roots from the one modulus M, each root of a quantity that is >= 0 in
// exact arithmetic taken as m.Root takes it. 2M - 2 Re Z is 2(M - Re Z) bit for bit,
// doubling being exact, unless 2M overflows (M above 8.9e307).
//
// x86/HalfAngleRootsSse2.h replaces this loop for the library's own maths on x86.
#include "heston/RuntimeMaths.h"

namespace eurocall {

// Z = d^2 of one integrand, as its own grouping forms it (CharacteristicFunction.h).
struct ZParts {
  double twoReZ;     // 2 Re Z: the half-angle roots and the branch rule use it doubled
  double imZ;        // only its sign is used
  double modulusSq;  // Re Z^2 + Im Z^2 as the expanded polynomial, terms left to right
};

template <class Maths>
inline void HalfAngleRootsOfLane(const Maths& m, const ZParts& z, double& reD, double& imDAbs) {
  const double M = m.Root(z.modulusSq);
  reD = 0.5 * m.Root(2.0 * M + z.twoReZ);
  imDAbs = 0.5 * m.Root(2.0 * M - z.twoReZ);
}

template <int N, class Maths>
void HalfAngleRoots(const Maths& m, const ZParts* z, double* reD, double* imDAbs) {
  for (int l = 0; l < N; ++l) HalfAngleRootsOfLane(m, z[l], reD[l], imDAbs[l]);
}

}  // namespace eurocall

#if defined(__SSE2__)
#include "heston/x86/HalfAngleRootsSse2.h"
#endif

#endif
