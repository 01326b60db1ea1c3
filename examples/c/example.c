// SPDX-License-Identifier: Apache-2.0
/* A C program using an installed eurocall:
 *   cc example.c $(pkg-config --cflags --libs eurocall) -o example && ./example */
#include <stdio.h>

#include <eurocall.h>

int main(void) {
  const double price = BSCall(100, 100, 1, 0.05, 0.2);
  const double vol = BSVol(100, 100, 1, 0.05, price);
  /* v0 before theta, as in every Heston price */
  const double heston = HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
  printf("BSCall          %.17g\n", price);
  printf("BSVol           %.17g\n", vol);
  printf("HestonCall_fast %.17g\n", heston);
  return 0;
}
