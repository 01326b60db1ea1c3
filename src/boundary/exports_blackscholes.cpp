// SPDX-License-Identifier: Apache-2.0
// Exports of the Black–Scholes subsystem: each runs its routine in the library's numeric
// environment and adds nothing else.
#include "blackscholes/blackscholes.h"
#include "boundary/NumericEnvironment.h"
#include "eurocall.h"

using eurocall::CallInLibraryEnvironment;

extern "C" {

EUROCALL_API double EUROCALL_CALL BSCall(double S, double K, double T, double r, double vol) {
  return CallInLibraryEnvironment(eurocall::BSCall, S, K, T, r, vol);
}

EUROCALL_API double EUROCALL_CALL BSVol(double S, double K, double T, double r, double price) {
  return CallInLibraryEnvironment(eurocall::BSVol, S, K, T, r, price);
}

}  // extern "C"
