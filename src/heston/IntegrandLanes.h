// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_HESTON_INTEGRANDLANES_H
#define EUROCALL_HESTON_INTEGRANDLANES_H

// The Heston integrands at many frequencies of one parameter set: the lanes j1 and j0 of
// every frequency through the closed form side by side (CharacteristicFunction.h), then
//
//   j            = sin(phase + x phi) exp(growth) (1/phi)
//   theIntegrand = e^x j1 - j0, the product formed before the difference
//
// with theIntegrand's own rules in front (TheIntegrandAt): the floor on phi and the
// error indicator. Any array of frequencies will do: a panel's 16 nodes, one point of
// the adaptive tail. x enters only through x phi and e^x, so the rest can also be formed
// once for many strikes of one maturity (FormFrequencyExponents, CombineAtMoneyness).
#include <cmath>

#include "heston/CharacteristicFunction.h"
#include "heston/CharacteristicFunctionSmallSigma.h"
#include "heston/IntegrandTerms.h"
#include "heston/RuntimeMaths.h"
#include "runtime/ErrorIndicator.h"

namespace eurocall {

// The closed form at P frequencies up to the last step: lane 2i is j1 at phi[i], lane
// 2i + 1 is j0 at phi[i]; per lane the growth, the phase (with x phi added when x is
// given, nullptr otherwise) and 1/phi. The one place where a batch picks its
// evaluation: the closed form, or for small sigma lane by lane the stable one.
template <int P, class Maths>
void ExponentsAtFrequencies(const Maths& m, const IntegrandTerms& t, const double* x, const double* phi,
                            double* growth, double* phase, double* invPhi) {
  if (t.smallSigma) {
    for (int i = 0; i < P; ++i) {
      SmallSigmaExponentJ1(t, phi[i], growth[2 * i], phase[2 * i]);
      SmallSigmaExponentJ0(t, phi[i], growth[2 * i + 1], phase[2 * i + 1]);
      if (x != nullptr) {
        const double xi = *x * phi[i];
        phase[2 * i] = phase[2 * i] + xi;
        phase[2 * i + 1] = phase[2 * i + 1] + xi;
      }
      invPhi[2 * i] = invPhi[2 * i + 1] = 1.0 / phi[i];
    }
    return;
  }
  ZParts z[2 * P];
  double b[2 * P], w[2 * P], xPhi[2 * P];
  for (int i = 0; i < P; ++i) {
    const double wi = t.sigmaRho * phi[i];
    const double xi = (x != nullptr) ? *x * phi[i] : 0.0;
    const double inv = 1.0 / phi[i];
    z[2 * i] = ZOfJ1(t, phi[i]);
    z[2 * i + 1] = ZOfJ0(t, phi[i], wi);
    b[2 * i] = t.b1;
    b[2 * i + 1] = t.kappa;
    w[2 * i] = w[2 * i + 1] = wi;
    xPhi[2 * i] = xPhi[2 * i + 1] = xi;
    invPhi[2 * i] = invPhi[2 * i + 1] = inv;
  }
  ExponentsFromZ<2 * P>(m, t, z, b, w, (x != nullptr) ? xPhi : nullptr, growth, phase);
}

// One integrand from its exponent, the phase with x phi added:
// Re[e^(C + D v0 + i phi x) / (i phi)].
template <class Maths>
inline double IntegrandFromExponent(const Maths& m, double growth, double phaseAtX, double invPhi) {
  return m.Sin(phaseAtX) * m.Exp(growth) * invPhi;
}

// result[i] = e^x j1 - j0 of frequency i from the lanes' values j.
template <int P>
void CombineLanes(double expX, const double* j, double* result) {
  for (int i = 0; i < P; ++i) result[i] = expX * j[2 * i] - j[2 * i + 1];
}

// e^x j1 - j0 at P frequencies, phi as given (no floor, no indicator).
template <int P, class Maths>
void CombinedIntegrandAt(const Maths& m, const IntegrandTerms& t, double x, double expX, const double* phi,
                         double* result) {
  double growth[2 * P], phaseAtX[2 * P], invPhi[2 * P], j[2 * P];
  ExponentsAtFrequencies<P>(m, t, &x, phi, growth, phaseAtX, invPhi);
  for (int l = 0; l < 2 * P; ++l) j[l] = IntegrandFromExponent(m, growth[l], phaseAtX[l], invPhi[l]);
  CombineLanes<P>(expX, j, result);
}

// The same in two steps, for many strikes of one maturity: what does not depend on x,
// formed once; then per x the phase at x and the integrand, by exactly the operations
// of CombinedIntegrandAt, so the values are the same to the bit.
template <int P>
struct FrequencyExponents {
  double growth[2 * P];
  double phase[2 * P];  // Im(C + D v0), without x
  double invPhi[2 * P];
};

template <int P, class Maths>
void FormFrequencyExponents(const Maths& m, const IntegrandTerms& t, const double* phi, FrequencyExponents<P>& e) {
  ExponentsAtFrequencies<P>(m, t, nullptr, phi, e.growth, e.phase, e.invPhi);
}

template <int P, class Maths>
void CombineAtMoneyness(const Maths& m, const FrequencyExponents<P>& e, double x, double expX, const double* phi,
                        double* result) {
  double phaseAtX[2 * P], j[2 * P];
  for (int i = 0; i < P; ++i) {
    const double xPhi = x * phi[i];
    phaseAtX[2 * i] = e.phase[2 * i] + xPhi;
    phaseAtX[2 * i + 1] = e.phase[2 * i + 1] + xPhi;
  }
  for (int l = 0; l < 2 * P; ++l) j[l] = IntegrandFromExponent(m, e.growth[l], phaseAtX[l], e.invPhi[l]);
  CombineLanes<P>(expX, j, result);
}

// One real integrand alone: lane (z, b) at phi, w = (sigma rho) phi.
template <class Maths>
double RealIntegrandOfLane(const Maths& m, const IntegrandTerms& t, const ZParts& z, double b, double w, double x,
                           double phi) {
  const double xPhi = x * phi;
  double growth, phaseAtX;
  ExponentsFromZ<1>(m, t, &z, &b, &w, &xPhi, &growth, &phaseAtX);
  return IntegrandFromExponent(m, growth, phaseAtX, 1.0 / phi);
}

// One small-sigma lane alone, finished as RealIntegrandOfLane finishes its lane.
template <class Maths, class Exponent>
double SmallSigmaIntegrand(const Maths& m, const IntegrandTerms& t, Exponent exponent, double x, double phi) {
  double growth, phase;
  exponent(t, phi, growth, phase);
  return IntegrandFromExponent(m, growth, phase + x * phi, 1.0 / phi);
}

template <class Maths>
double J0OfTerms(const Maths& m, const IntegrandTerms& t, double x, double phi) {
  if (t.smallSigma) return SmallSigmaIntegrand(m, t, SmallSigmaExponentJ0, x, phi);
  const double w = t.sigmaRho * phi;
  return RealIntegrandOfLane(m, t, ZOfJ0(t, phi, w), t.kappa, w, x, phi);
}

template <class Maths>
double J1OfTerms(const Maths& m, const IntegrandTerms& t, double x, double phi) {
  if (t.smallSigma) return SmallSigmaIntegrand(m, t, SmallSigmaExponentJ1, x, phi);
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

// The same values in two steps, for many strikes of one maturity: the frequencies
// floored and their exponents formed once (FormFrequencyExponentsAt), then per strike
// TheIntegrandOfExponents, which reads the indicator as TheIntegrandAt does, at the
// time of the strike's own evaluation.
template <int P>
void FormFrequencyExponentsAt(const IntegrandTerms& t, const double* phi, double* floored, FrequencyExponents<P>& e) {
  for (int i = 0; i < P; ++i) floored[i] = FlooredPhi(phi[i]);
  FormFrequencyExponents<P>(RuntimeMaths{}, t, floored, e);
}

template <int P>
void TheIntegrandOfExponents(const FrequencyExponents<P>& e, double x, double expX, const double* floored,
                             double* result) {
  if (ErrorIndicator() > 0) {
    for (int i = 0; i < P; ++i) result[i] = 0.0;
    return;
  }
  CombineAtMoneyness<P>(RuntimeMaths{}, e, x, expX, floored, result);
}

}  // namespace eurocall

#endif
