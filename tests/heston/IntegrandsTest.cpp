// SPDX-License-Identifier: Apache-2.0
// RealIntegrand_j0, RealIntegrand_j1 and theIntegrand: worked values, the phi floor,
// the symmetries and degenerate parameters of the closed form, the negative-root mend
// and the library's own error indicator.
#include <cerrno>
#include <cmath>
#include <future>
#include <limits>
#include <random>
#include <vector>
#include <thread>

#include <gtest/gtest.h>

#include "heston/CharacteristicFunction.h"
#include "heston/IntegrandLanes.h"
#include "heston/IntegrandTerms.h"
#include "heston/RuntimeMaths.h"
#include "heston/heston.h"
#include "runtime/ErrorIndicator.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;
using testing::Show;
using testing::WithinUlps;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Integrand parameters in the order of the real integrands (theta before v0).
struct Params {
  double x, T, theta, v0, kappa, sigma, rho;
};
constexpr Params kWorked = {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3};
constexpr Params kTypical = {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7};
constexpr Params kWild = {0.3, 0.1, 0.09, 0.01, 0.5, 1.0, -0.9};  // short, high vol of vol

double J0(const Params& p, double phi) {
  return RealIntegrand_j0(p.x, p.T, p.theta, p.v0, p.kappa, p.sigma, p.rho, phi);
}
double J1(const Params& p, double phi) {
  return RealIntegrand_j1(p.x, p.T, p.theta, p.v0, p.kappa, p.sigma, p.rho, phi);
}
// theIntegrand takes v0 before theta.
double Combined(const Params& p, double phi) {
  return theIntegrand(p.x, p.T, p.v0, p.theta, p.kappa, p.sigma, p.rho, phi);
}

class Integrands : public ::testing::Test {
 protected:
  void SetUp() override { SetErrorIndicator(0); }
  void TearDown() override { SetErrorIndicator(0); }
};

TEST_F(Integrands, WorkedValues) {
  // To the digits given: half a unit of the last one.
  EXPECT_NEAR(J0(kWorked, 0.75), -0.2150882120, 5e-11);
  EXPECT_NEAR(J1(kWorked, 0.75), -0.1794122430, 5e-11);
  EXPECT_NEAR(theIntegrand(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75), 0.06819789125, 5e-12);
  EXPECT_NEAR(theIntegrand(-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75), 0.06227914477, 5e-12);
}

TEST_F(Integrands, PhiAtOrBelow1e300AndNaNAreEvaluatedAtPlus1e300) {
  for (const Params& p : {kWorked, kTypical, kWild}) {
    const double at = std::exp(p.x) * J1(p, 1e-300) - J0(p, 1e-300);
    for (double phi : {0.0, -0.0, 1e-300, -1e-300, 5e-301, -4.9e-324, kNaN}) {
      EXPECT_TRUE(BitExact(Combined(p, phi), at)) << "phi " << phi;
    }
    // Just above the floor theIntegrand is e^x j1 - j0 at phi itself, theta and v0
    // exchanged on the way in, j1's product formed first.
    for (double phi : {2e-300, -2e-300, 0.75, -3.5, 200.0}) {
      EXPECT_TRUE(BitExact(Combined(p, phi), std::exp(p.x) * J1(p, phi) - J0(p, phi))) << "phi " << phi;
    }
  }
}

TEST_F(Integrands, AnyArrayOfFrequenciesGivesTheValuesOfSingleCallsBitForBit) {
  // Frequencies in any order, below the floor and NaN among them: a batch takes each
  // lane exactly as a single call takes it.
  const double phi[7] = {0.75, kNaN, 200.0, 0.0, -3.5, 1e-300, 2.5632071015585178};
  for (const Params& p : {kWorked, kTypical, kWild}) {
    const IntegrandTerms terms = FormIntegrandTerms(p.T, p.theta, p.v0, p.kappa, p.sigma, p.rho);
    double batch[7];
    TheIntegrandAt<7>(terms, p.x, std::exp(p.x), phi, batch);
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(BitExact(batch[i], Combined(p, phi[i]))) << "phi " << phi[i];
  }
}

TEST_F(Integrands, TheExponentsOfOneMaturityServeEveryMoneyness) {
  // Growth and phase are formed without x; x enters only the last step.
  const double phi[3] = {0.02, 0.75, 37.0};
  const Params p = kTypical;
  const IntegrandTerms terms = FormIntegrandTerms(p.T, p.theta, p.v0, p.kappa, p.sigma, p.rho);
  FrequencyExponents<3> e;
  FormFrequencyExponents<3>(RuntimeMaths{}, terms, phi, e);
  for (double x : {-0.4, 0.0, 0.1, 0.35}) {
    double values[3];
    CombineAtMoneyness<3>(RuntimeMaths{}, e, x, std::exp(x), phi, values);
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(BitExact(values[i], theIntegrand(x, p.T, p.v0, p.theta, p.kappa, p.sigma, p.rho, phi[i])))
          << "x " << x << " phi " << phi[i];
    }
  }
}

TEST_F(Integrands, AreEvenInPhi) {
  for (const Params& p : {kWorked, kTypical, kWild}) {
    for (double phi : {1e-3, 0.75, 2.5632071015585178, 37.0, 259.0}) {
      EXPECT_TRUE(BitExact(J0(p, -phi), J0(p, phi))) << "j0 at " << phi;
      EXPECT_TRUE(BitExact(J1(p, -phi), J1(p, phi))) << "j1 at " << phi;
      EXPECT_TRUE(BitExact(Combined(p, -phi), Combined(p, phi))) << "theIntegrand at " << phi;
    }
  }
}

TEST_F(Integrands, AtZeroMaturityBothAreSinPhiXOverPhi) {
  // T = 0: e^(-dT) = 1, so D = 0 and C = -k ln|R|^2 with R = 1 up to rounding. The only
  // departure from sin(phi x)/phi is exp(Re C), |Re C| below k * 2^-50 (k <= 1 here),
  // plus the roundings of sin * (1/phi). theIntegrand then carries e^x times that error.
  for (Params p : {kWorked, kTypical, kWild}) {
    p.T = 0.0;
    for (double phi : {0.02, 0.75, 3.9, 100.0}) {
      const double s = std::sin(phi * p.x) / phi;
      EXPECT_TRUE(WithinUlps(J0(p, phi), s, 4)) << "j0 at " << phi;
      EXPECT_TRUE(WithinUlps(J1(p, phi), s, 4)) << "j1 at " << phi;
      const double combined = (std::exp(p.x) - 1.0) * s;
      EXPECT_NEAR(Combined(p, phi), combined, 2e-15 * std::fabs(s)) << "theIntegrand at " << phi;
    }
  }
}

TEST_F(Integrands, WithoutThetaAndV0OnlyTheForwardPhaseRemains) {
  // theta = 0 makes C = 0 * (...) and v0 = 0 makes D v0 = 0 exactly, so the result is
  // sin(x phi) * exp(0) * (1/phi) bit for bit, for any maturity and Heston dynamics.
  const Params cases[] = {
      {-0.2, 0.5, 0.0, 0.0, 2, 0.6, 0.3},
      {0.1, 5.0, 0.0, 0.0, 0.0, 1.0, -1.0},
      {0.7, 0.01, 0.0, 0.0, 3.0, 0.2, 1.0},
  };
  for (const Params& p : cases) {
    for (double phi : {0.3, 4.0, 77.0}) {
      const double expected = std::sin(p.x * phi) * (1.0 / phi);
      EXPECT_TRUE(BitExact(J0(p, phi), expected)) << "j0 at " << phi;
      EXPECT_TRUE(BitExact(J1(p, phi), expected)) << "j1 at " << phi;
    }
  }
}

TEST_F(Integrands, DegenerateParameters) {
  // sigma = 0 is deterministic variance: each integrand is the Black-Scholes one,
  // e^(-W phi^2 / 2) sin(x phi + u W phi) / phi, of the integrated variance
  // W = theta T + (v0 - theta)(1 - e^(-kappa T)) / kappa (v0 T at kappa = 0).
  for (double kappa : {2.0, 0.0}) {
    Params flat = kWorked;
    flat.sigma = 0.0;
    flat.kappa = kappa;
    const long double T = flat.T, theta = flat.theta, v0 = flat.v0;
    const long double W =
        kappa == 0.0 ? v0 * T : theta * T + (v0 - theta) * -std::expm1(-(long double)kappa * T) / kappa;
    for (double phi : {0.02, 0.75, 10.0}) {
      const auto bs = [&](long double u) {
        return (double)(std::exp(-W * phi * phi / 2) * std::sin(flat.x * (long double)phi + u * W * phi) / phi);
      };
      EXPECT_NEAR(J0(flat, phi), bs(-0.5L), 1e-14) << "kappa " << kappa << " phi " << phi;
      EXPECT_NEAR(J1(flat, phi), bs(0.5L), 1e-14) << "kappa " << kappa << " phi " << phi;
      EXPECT_NEAR(Combined(flat, phi), std::exp(flat.x) * bs(0.5L) - bs(-0.5L), 1e-14);
    }
  }
  // Perfect correlation, no mean reversion, no long-run or no current variance: ordinary values.
  const Params finite[] = {
      {-0.2, 0.5, 0.04, 0.09, 2, 0.6, 1.0},  {-0.2, 0.5, 0.04, 0.09, 2, 0.6, -1.0},
      {-0.2, 0.5, 0.04, 0.09, 0, 0.6, 0.3},  {-0.2, 0.5, 0.0, 0.09, 2, 0.6, 0.3},
      {-0.2, 0.5, 0.04, 0.0, 2, 0.6, 0.3},   {0.1, 1, 0.04, 0.04, 0.0, 0.3, -1.0},
  };
  for (const Params& p : finite) {
    for (double phi : {0.02, 0.75, 10.0, 255.0}) {
      EXPECT_TRUE(std::isfinite(J0(p, phi))) << "j0 rho " << p.rho << " kappa " << p.kappa << " at " << phi;
      EXPECT_TRUE(std::isfinite(J1(p, phi))) << "j1 rho " << p.rho << " kappa " << p.kappa << " at " << phi;
      EXPECT_TRUE(std::isfinite(Combined(p, phi))) << "rho " << p.rho << " kappa " << p.kappa << " at " << phi;
    }
  }
  // phi = 0 reaches 1/phi unguarded in the real integrands.
  EXPECT_FALSE(std::isfinite(J0(kWorked, 0.0)));
  EXPECT_FALSE(std::isfinite(J1(kWorked, 0.0)));
}

TEST_F(Integrands, DecayToExactlyZeroAtLargePhi) {
  EXPECT_EQ(J0(kTypical, 1e6), 0.0);
  EXPECT_EQ(J1(kTypical, 1e6), 0.0);
}

TEST(IntegrandHelpers, SignAndFirstNonZeroSign) {
  struct SignCase {
    double v;
    int sign;
  };
  const SignCase signs[] = {{0.0, 0}, {-0.0, 0}, {kNaN, 0}, {4.9e-324, 1}, {-4.9e-324, -1}, {kInf, 1}, {-kInf, -1}};
  for (const SignCase& c : signs) EXPECT_EQ(Sign(c.v), c.sign) << c.v;
  struct FirstCase {
    double a, b;
    int sign;
  };
  const FirstCase firsts[] = {
      {2.0, -1.0, 1}, {-2.0, 1.0, -1},   // the first decides when it is not zero
      {0.0, -3.0, -1}, {-0.0, 3.0, 1},   // zero of either sign defers to the second
      {kNaN, 3.0, 1},  {0.0, kNaN, 0},  {-0.0, 0.0, 0},
  };
  for (const FirstCase& c : firsts) EXPECT_EQ(FirstNonZeroSign(c.a, c.b), c.sign) << c.a << " " << c.b;
  // The angle of (x, y) with the quadrant from both signs: on the negative real axis the
  // sign of a zero imaginary part picks +pi or -pi.
  const RuntimeMaths m;
  EXPECT_TRUE(BitExact(m.Atan2(0.0, -1.0), 3.141592653589793));
  EXPECT_TRUE(BitExact(m.Atan2(-0.0, -1.0), -3.141592653589793));
  EXPECT_TRUE(BitExact(m.Atan2(-0.0, 1.0), -0.0));
}

TEST(IntegrandHelpers, OneSinCosGivesTheSineAndCosineOfBothSignsBitForBit) {
  // The closed form takes cos(Im d T) and sin(|Im d| T) from one sincos of |Im d| T.
  // That holds only if the runtime's sincos returns what its sin and cos return, and
  // cos(-y) is cos(y), to the bit: checked on arguments from 1e-9 to 1e6 (|Im d| T
  // spans far less) and on the special values.
  std::vector<double> args = {0.0, -0.0, 5e-324, 1e-300, 0.7853981633974483, 2.426265, 3.141592653589793,
                              105414350.0, 1e22, kInf, -kInf, kNaN};
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> exponent(std::log(1e-9), std::log(1e6));
  for (int i = 0; i < 200000; ++i) args.push_back(std::exp(exponent(g)));
  const RuntimeMaths m;
  int mismatches = 0;
  for (double y : args) {
    double s, c;
    m.SinCos(y, s, c);
    const bool same = BitExact(s, std::sin(y)) && BitExact(c, std::cos(y)) && BitExact(c, std::cos(-y));
    if (!same && ++mismatches <= 5) ADD_FAILURE() << "sincos differs at " << Show(y);
  }
  EXPECT_EQ(mismatches, 0);
}

// The closed form with the bare square root, as it stands without the mend. Not a
// RuntimeMaths, so the generic half-angle roots take it.
struct BareRootMaths : RuntimeMaths {
  double Root(double v) const { return std::sqrt(v); }
};

double BareJ0(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return J0OfTerms(BareRootMaths{}, FormIntegrandTerms(T, theta, v0, kappa, sigma, rho), x, phi);
}
double BareJ1(double x, double T, double theta, double v0, double kappa, double sigma, double rho, double phi) {
  return J1OfTerms(BareRootMaths{}, FormIntegrandTerms(T, theta, v0, kappa, sigma, rho), x, phi);
}

TEST(NegativeRootMend, NegativeResiduesBecomePlusZeroAndNothingElseChanges) {
  struct Case {
    double v, root;
  };
  const Case cases[] = {
      {-1e-300, 0.0}, {-1.7763568394002505e-15, 0.0}, {-kInf, 0.0},  // +0, not -0
      {-0.0, -0.0},   {0.0, 0.0},  {kNaN, kNaN},  {4.0, 2.0},  {2.0, 1.4142135623730951},  {kInf, kInf},
  };
  for (const Case& c : cases) EXPECT_TRUE(BitExact(RootOfNonNegative(c.v), c.root)) << c.v;
}

TEST(NegativeRootMend, ARealZThatRoundsBelowItsModulusGivesTheTrueValue) {
  // kappa = sigma (2 rho^2 - 1) / (2 rho) makes Im Z of j1 vanish for every phi: Z is real
  // and positive, d is real, and M - Re Z is 0 up to rounding. At these nodes it rounds
  // below 0, and the bare root gives NaN; the true integrand is small and finite.
  // Expected values: the closed form in complex double arithmetic (principal complex
  // square root, logarithm and exponential), independent of the real-arithmetic path.
  struct Case {
    double x, T, phi, expected;
  };
  const Case cases[] = {
      {0.0, 0.1, 2.5632071015585178, 0.00021669601132102214},
      {0.05, 1.0, 2.5632071015585178, 0.054898647433555353},
  };
  for (const Case& c : cases) {
    const double bare = BareJ1(c.x, c.T, 0.04, 0.003, 0.5, 1.0, -0.5, c.phi);
    EXPECT_TRUE(std::isnan(bare));
    const double mended = RealIntegrand_j1(c.x, c.T, 0.04, 0.003, 0.5, 1.0, -0.5, c.phi);
    EXPECT_NEAR(mended, c.expected, 1e-13 * std::fabs(c.expected)) << c.x << " " << c.T;
    EXPECT_TRUE(std::isfinite(theIntegrand(c.x, c.T, 0.003, 0.04, 0.5, 1.0, -0.5, c.phi)));
  }
}

TEST(NegativeRootMend, OrdinaryInputsAreUnchangedBitForBit) {
  for (const Params& p : {kWorked, kTypical, kWild}) {
    for (double phi : {1e-300, 1e-3, 0.0212, 0.75, 3.9, 40.0, 259.9, 1e6, -7.5}) {
      EXPECT_TRUE(BitExact(J0(p, phi),
                           BareJ0(p.x, p.T, p.theta, p.v0, p.kappa, p.sigma, p.rho, phi)))
          << "j0 at " << phi;
      EXPECT_TRUE(BitExact(J1(p, phi),
                           BareJ1(p.x, p.T, p.theta, p.v0, p.kappa, p.sigma, p.rho, phi)))
          << "j1 at " << phi;
    }
  }
}

TEST(ErrorIndicator, ZeroesTheIntegrandOnItsOwnThreadOnly) {
  const double usual = Combined(kWorked, 0.75);
  const double usualJ0 = J0(kWorked, 0.75);
  const double usualJ1 = J1(kWorked, 0.75);
  ASSERT_NE(usual, 0.0);
  std::promise<void> indicatorSet, otherThreadDone;
  std::future<void> otherDone = otherThreadDone.get_future();
  double flagged[6], flaggedJ0 = 0, flaggedJ1 = 0;
  std::thread flaggedThread([&] {
    SetErrorIndicator(kDomainError);
    indicatorSet.set_value();
    otherDone.wait();  // the main thread computes while this one is flagged
    flagged[0] = Combined(kWorked, 0.75);
    flagged[1] = Combined(kWorked, kNaN);
    flagged[2] = theIntegrand(kNaN, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75);
    flagged[3] = theIntegrand(-0.2, 0.5, 0.09, 0.04, 2, 0.0, 0.3, 0.75);  // sigma = 0: the small-sigma evaluation
    flagged[4] = theIntegrand(-0.2, kInf, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN);
    flagged[5] = IntegratePanel(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0, 4);
    flaggedJ0 = J0(kWorked, 0.75);
    flaggedJ1 = J1(kWorked, 0.75);
  });
  indicatorSet.get_future().wait();
  EXPECT_TRUE(BitExact(Combined(kWorked, 0.75), usual));
  otherThreadDone.set_value();
  flaggedThread.join();
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(BitExact(flagged[i], 0.0)) << "case " << i;
  EXPECT_EQ(flagged[5], 0.0);
  // The real integrands do not read the indicator.
  EXPECT_TRUE(BitExact(flaggedJ0, usualJ0));
  EXPECT_TRUE(BitExact(flaggedJ1, usualJ1));
  EXPECT_EQ(ErrorIndicator(), 0);
}

TEST(ErrorIndicator, TheHostsErrnoChangesNothing) {
  SetErrorIndicator(0);
  errno = 0;
  const double clean = Combined(kWorked, 0.75);
  const double cleanPrice = HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
  for (int hostErrno : {EDOM, ERANGE, 12345}) {
    errno = hostErrno;
    EXPECT_TRUE(BitExact(Combined(kWorked, 0.75), clean)) << hostErrno;
    errno = hostErrno;
    EXPECT_TRUE(BitExact(HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7), cleanPrice)) << hostErrno;
    EXPECT_EQ(ErrorIndicator(), 0);
  }
  errno = 0;
}

}  // namespace
}  // namespace eurocall
