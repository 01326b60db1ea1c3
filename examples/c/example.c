/* A C program using an installed eurocall:
 *   cc example.c $(pkg-config --cflags --libs eurocall) -o example && ./example */
#include <stdio.h>

#include <eurocall.h>

int main(void) {
  const double price = BSCall(100, 100, 1, 0.05, 0.2);
  const double vol = BSVol(100, 100, 1, 0.05, price);
  printf("BSCall(100, 100, 1, 0.05, 0.2)   = %.17g\n", price);
  printf("BSVol(100, 100, 1, 0.05, price)  = %.17g\n", vol);
  return 0;
}
