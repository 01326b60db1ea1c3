// SPDX-License-Identifier: Apache-2.0
// A C++ program using an installed eurocall through find_package(eurocall).
#include <cstdio>

#include <eurocall.h>

int main() {
  const double price = BSCall(100, 100, 1, 0.05, 0.2);
  const double vol = BSVol(100, 100, 1, 0.05, price);
  // v0 before theta, as in every Heston price
  const double heston = HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
  std::printf("BSCall          %.17g\n", price);
  std::printf("BSVol           %.17g\n", vol);
  std::printf("HestonCall_fast %.17g\n", heston);
  return 0;
}
