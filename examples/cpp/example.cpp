// A C++ program using an installed eurocall through find_package(eurocall).
#include <cstdio>

#include <eurocall.h>

int main() {
  const double price = BSCall(100, 100, 1, 0.05, 0.2);
  const double vol = BSVol(100, 100, 1, 0.05, price);
  std::printf("BSCall(100, 100, 1, 0.05, 0.2)   = %.17g\n", price);
  std::printf("BSVol(100, 100, 1, 0.05, price)  = %.17g\n", vol);
  return 0;
}
