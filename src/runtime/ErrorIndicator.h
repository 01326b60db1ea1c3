// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_RUNTIME_ERRORINDICATOR_H
#define EUROCALL_RUNTIME_ERRORINDICATOR_H

// The library's own maths error indicator: one int per thread, 0 at thread start,
// set only by the library's checked maths calls and never cleared by the library.
// theIntegrand reads it. It is deliberately not the C runtime's errno, which a host
// may share (and set) on some platforms: nothing the host does can reach it.
namespace eurocall {

// Value of the indicator on the calling thread.
int ErrorIndicator();

// Sets the indicator on the calling thread. Inside the library only CheckedPow calls
// it, with a positive code; tests also use it to clear the indicator.
void SetErrorIndicator(int value);

// std::pow(base, exponent), bit for bit. On a domain error (NaN from non-NaN
// arguments) or a range error (an infinity from finite arguments: overflow or pole)
// it sets the calling thread's indicator to a positive code. Underflow is not an
// error here. The host's errno is left as it was.
double CheckedPow(double base, double exponent);

// Codes stored by CheckedPow.
constexpr int kDomainError = 33;  // the usual EDOM value
constexpr int kRangeError = 34;   // the usual ERANGE value

}  // namespace eurocall

#endif
