// Exports of the Black–Scholes subsystem: forwarders to the internal routines.
#include "blackscholes/blackscholes.h"
#include "eurocall.h"

extern "C" {

EUROCALL_API double EUROCALL_CALL BSCall(double S, double K, double T, double r, double vol) {
  return eurocall::BSCall(S, K, T, r, vol);
}

EUROCALL_API double EUROCALL_CALL BSVol(double S, double K, double T, double r, double price) {
  return eurocall::BSVol(S, K, T, r, price);
}

}  // extern "C"
