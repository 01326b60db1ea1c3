#ifndef EUROCALL_HESTON_INTEGRANDLANES_H
#define EUROCALL_HESTON_INTEGRANDLANES_H

// The Heston integrands at many frequencies of one parameter set: the lanes j1 and j0 of
// every frequency through the closed form side by side (CharacteristicFunction.h), then
// the one step that reads x:
//
//   j            = sin(phase + x phi) exp(growth) (1/phi)
//   theIntegrand = e^x j1 - j0, the product formed before the difference
//
// and theIntegrand's own rules in front of the lanes (TheIntegrandAt): the floor on phi
// and the error indicator. Any array of frequencies will do: a panel's 16 nodes, one
// point of the adaptive tail.
#include <cmath>

#include "heston/CharacteristicFunction.h"
#include "heston/IntegrandTerms.h"
#include "heston/RuntimeMaths.h"
#include "runtime/ErrorIndicator.h"

namespace eurocall {

// What does not depend on x at P frequencies: growth = Re(C + D v0) and phase =
// Im(C + D v0) of lane 2i (j1 at phi[i]) and lane 2i + 1 (j0 at phi[i]), and 1/phi[i].
template <int P>
struct FrequencyExponents {
  double growth[2 * P];
  double phase[2 * P];
  double invPhi[P];
};

template <int P, class Maths>
void FormFrequencyExponents(const Maths& m, const IntegrandTerms& t, const double* phi, FrequencyExponents<P>& e) {
  ZParts z[2 * P];
  double b[2 * P], w[2 * P];
  for (int i = 0; i < P; ++i) {
    const double wi = t.sigmaRho * phi[i];
    z[2 * i] = ZOfJ1(t, phi[i]);
    z[2 * i + 1] = ZOfJ0(t, phi[i], wi);
    b[2 * i] = t.b1;
    b[2 * i + 1] = t.kappa;
    w[2 * i] = w[2 * i + 1] = wi;
    e.invPhi[i] = 1.0 / phi[i];
  }
  ExponentsFromZ<2 * P>(m, t, z, b, w, e.growth, e.phase);
}

// One integrand from its exponent: Re[e^(C + D v0 + i phi x) / (i phi)].
template <class Maths>
inline double IntegrandFromExponent(const Maths& m, double growth, double phase, double xPhi, double invPhi) {
  return m.Sin(phase + xPhi) * m.Exp(growth) * invPhi;
}

// e^x j1 - j0 at the P frequencies of e; expX = e^x.
template <int P, class Maths>
void CombineAtMoneyness(const Maths& m, const FrequencyExponents<P>& e, double x, double expX, const double* phi,
                        double* result) {
  double j[2 * P];
  for (int i = 0; i < P; ++i) {
    const double xPhi = x * phi[i];
    j[2 * i] = IntegrandFromExponent(m, e.growth[2 * i], e.phase[2 * i], xPhi, e.invPhi[i]);
    j[2 * i + 1] = IntegrandFromExponent(m, e.growth[2 * i + 1], e.phase[2 * i + 1], xPhi, e.invPhi[i]);
  }
  for (int i = 0; i < P; ++i) result[i] = expX * j[2 * i] - j[2 * i + 1];
}

// e^x j1 - j0 at P frequencies, phi as given (no floor, no indicator).
template <int P, class Maths>
void CombinedIntegrandAt(const Maths& m, const IntegrandTerms& t, double x, double expX, const double* phi,
                         double* result) {
  FrequencyExponents<P> e;
  FormFrequencyExponents<P>(m, t, phi, e);
  CombineAtMoneyness<P>(m, e, x, expX, phi, result);
}

// One real integrand alone: lane (z, b) at phi, w = (sigma rho) phi.
template <class Maths>
double RealIntegrandOfLane(const Maths& m, const IntegrandTerms& t, const ZParts& z, double b, double w, double x,
                           double phi) {
  double growth, phase;
  ExponentsFromZ<1>(m, t, &z, &b, &w, &growth, &phase);
  return IntegrandFromExponent(m, growth, phase, x * phi, 1.0 / phi);
}

template <class Maths>
double J0OfTerms(const Maths& m, const IntegrandTerms& t, double x, double phi) {
  const double w = t.sigmaRho * phi;
  return RealIntegrandOfLane(m, t, ZOfJ0(t, phi, w), t.kappa, w, x, phi);
}

template <class Maths>
double J1OfTerms(const Maths& m, const IntegrandTerms& t, double x, double phi) {
  return RealIntegrandOfLane(m, t, ZOfJ1(t, phi), t.b1, t.sigmaRho * phi, x, phi);
}

// theIntegrand's floor: it keeps 1/phi finite; a NaN phi fails the test and is floored too.
constexpr double kSmallestPhi = 1e-300;
inline double FlooredPhi(double phi) { return (std::fabs(phi) > kSmallestPhi) ? phi : kSmallestPhi; }

// theIntegrand at P frequencies of one parameter set, expX = e^x:
//
//   |phi| <= 1e-300, or NaN -> evaluated at +1e-300
//   ErrorIndicator() > 0    -> +0 at every frequency, nothing evaluated
template <int P>
void TheIntegrandAt(const IntegrandTerms& t, double x, double expX, const double* phi, double* result) {
  double floored[P];
  for (int i = 0; i < P; ++i) floored[i] = FlooredPhi(phi[i]);
  if (ErrorIndicator() > 0) {
    for (int i = 0; i < P; ++i) result[i] = 0.0;
    return;
  }
  CombinedIntegrandAt<P>(RuntimeMaths{}, t, x, expX, floored, result);
}

}  // namespace eurocall

#endif
