/* Prices the at-the-money call of the worked example and inverts the price again. */
#include <stdio.h>

#include "eurocall.h"

int main(void) {
  const double S = 100, K = 100, T = 1, r = 0.05, vol = 0.2;
  const double price = BSCall(S, K, T, r, vol);
  const double implied = BSVol(S, K, T, r, price);
  printf("BSCall(S=%g, K=%g, T=%g, r=%g, vol=%g) = %.17g\n", S, K, T, r, vol, price);
  printf("BSVol(S=%g, K=%g, T=%g, r=%g, price=%.17g) = %.17g\n", S, K, T, r, price, implied);
  return 0;
}
