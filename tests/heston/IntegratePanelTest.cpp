// SPDX-License-Identifier: Apache-2.0
// IntegratePanel and its Gauss–Legendre rule: the tables against an independent
// long-double solution of P16, exactness on polynomials, the nodes and the order of the
// sum, the exact symmetries of a panel, and the panel of 16 integrands side by side
// against 16 single calls.
#include <cfloat>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "heston/GaussLegendreRule.h"
#include "heston/heston.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;
using testing::WithinUlps;

constexpr double kInf = std::numeric_limits<double>::infinity();

// P16(t) and P16'(t) in long double, by the three-term recurrence.
void Legendre16(long double t, long double* p, long double* dp) {
  long double p0 = 1.0L, p1 = t;
  for (int k = 2; k <= 16; ++k) {
    const long double p2 = ((2 * k - 1) * t * p1 - (k - 1) * p0) / k;
    p0 = p1;
    p1 = p2;
  }
  *p = p1;
  *dp = 16 * (t * p1 - p0) / (t * t - 1);
}

TEST(GaussLegendreTables, AreTheNearestDoublesToTheRootsOfP16AndTheirWeights) {
  // Newton from the usual cosine guesses; root i (descending) belongs to table entry 8 - i.
  for (int i = 1; i <= 8; ++i) {
    long double t = std::cos(3.14159265358979323846L * (i - 0.25L) / 16.5L);
    long double p, dp;
    for (int it = 0; it < 50; ++it) {
      Legendre16(t, &p, &dp);
      t -= p / dp;
    }
    Legendre16(t, &p, &dp);
    const long double w = 2 / ((1 - t * t) * dp * dp);
    const int j = 8 - i;
    if (LDBL_MANT_DIG >= 64) {
      // The exact values are at least 0.05 ulp of a double from a rounding midpoint,
      // far more than the long-double error, so rounding t and w gives the nearest doubles.
      EXPECT_TRUE(BitExact(GaussLegendreAbscissae[j], static_cast<double>(t))) << "abscissa " << j;
      EXPECT_TRUE(BitExact(GaussLegendreWeights[j], static_cast<double>(w))) << "weight " << j;
    } else {
      EXPECT_TRUE(WithinUlps(GaussLegendreAbscissae[j], static_cast<double>(t), 1)) << "abscissa " << j;
      EXPECT_TRUE(WithinUlps(GaussLegendreWeights[j], static_cast<double>(w), 1)) << "weight " << j;
    }
  }
  // The shortest forms of the outermost entries.
  EXPECT_TRUE(BitExact(GaussLegendreAbscissae[0], 0.09501250983763744));
  EXPECT_TRUE(BitExact(GaussLegendreAbscissae[7], 0.9894009349916499));
  EXPECT_TRUE(BitExact(GaussLegendreWeights[0], 0.1894506104550685));
  EXPECT_TRUE(BitExact(GaussLegendreWeights[7], 0.027152459411754096));
}

// The rule applied to f, one node at a time.
template <class F>
double Rule(F&& f, double a, double b) {
  double nodes[16], values[16];
  GaussLegendreNodes(a, b, nodes);
  for (int k = 0; k < 16; ++k) values[k] = f(nodes[k]);
  return GaussLegendreSum(a, b, values);
}

TEST(GaussLegendreRule, IntegratesEveryMonomialUpToDegree31) {
  struct Panel {
    double a, b;
  };
  // The integral of t^k over [a, b] is (b^(k+1) - a^(k+1)) / (k + 1).
  const Panel panels[] = {{-1.0, 1.0}, {0.0, 4.0}, {4.0, 8.0}};
  for (const Panel& panel : panels) {
    for (int k = 0; k <= 31; ++k) {
      const double got = Rule(
          [k](double t) {
            double v = 1.0;
            for (int e = 0; e < k; ++e) v *= t;
            return v;
          },
          panel.a, panel.b);
      const long double exact = (std::pow(static_cast<long double>(panel.b), k + 1) -
                                 std::pow(static_cast<long double>(panel.a), k + 1)) /
                                (k + 1);
      // Rounding of the 32 products and sums only: a few units of 1e-16 of the largest
      // term, which is b^k times a weight.
      const double scale = std::pow(std::fmax(std::fabs(panel.a), std::fabs(panel.b)), k) * (panel.b - panel.a);
      EXPECT_NEAR(got, static_cast<double>(exact), 2e-15 * scale) << "t^" << k << " on [" << panel.a << ", " << panel.b << "]";
    }
  }
}

TEST(GaussLegendreRule, SixteenInnerNodesInnermostPairFirstLowerNodeFirst) {
  // c -+ h t_i with h t_i rounded once (tests/generate_expected.py).
  struct Case {
    double a, b, innerLow, innerHigh, outerLow, outerHigh;
  };
  const Case cases[] = {
      {0, 4, 1.8099749803247251, 2.1900250196752751, 0.021198130016700123, 3.9788018699832999},
      {0, 0.10000000000000001, 0.045249374508118133, 0.054750625491881873, 0.00052995325041750585, 0.0994700467495825},
      {256, 260, 257.80997498032474, 258.19002501967526, 256.02119813001673, 259.97880186998327},
  };
  for (const Case& c : cases) {
    double nodes[16];
    GaussLegendreNodes(c.a, c.b, nodes);
    EXPECT_TRUE(BitExact(nodes[0], c.innerLow)) << c.a;
    EXPECT_TRUE(BitExact(nodes[1], c.innerHigh)) << c.a;
    EXPECT_TRUE(BitExact(nodes[14], c.outerLow)) << c.a;
    EXPECT_TRUE(BitExact(nodes[15], c.outerHigh)) << c.a;
    // Pairs grow outwards, each lower node below the midpoint, none on an end.
    for (int i = 0; i < 8; ++i) {
      EXPECT_LT(nodes[2 * i], nodes[2 * i + 1]) << c.a << " pair " << i;
      if (i > 0) EXPECT_LT(nodes[2 * i], nodes[2 * i - 2]) << c.a << " pair " << i;
      if (i > 0) EXPECT_GT(nodes[2 * i + 1], nodes[2 * i - 1]) << c.a << " pair " << i;
    }
    EXPECT_GT(nodes[14], c.a);
    EXPECT_LT(nodes[15], c.b);
  }
}

TEST(GaussLegendreRule, WeightsPairSumsInnermostFirstAndAppliesTheHalfWidthOnce) {
  // cos(3 phi) / (1 + phi) at the nodes of [0.3, 2.7]: the weighted pairs partly cancel,
  // so every other grouping (weights applied per node, outermost pair first, the half
  // width per term) gives other last bits (tests/generate_expected.py checks that).
  const double values[16] = {
      -0.22064773593008694, 0.049461495687588036, -0.4353219279672586,  0.25311440409979513,
      -0.49124493229226457, 0.32495587089865463,  -0.3684396328050249,  0.27896547273462097,
      -0.13066288976048829, 0.17401973093458664,  0.1272748962582734,   0.06654227362399881,
      0.33224420017273104,  -0.012789826197885315, 0.45042061721272358, -0.055967561420157963,
  };
  EXPECT_TRUE(BitExact(GaussLegendreSum(0.3, 2.7, values), -0.063327006080245454));
}

TEST(IntegratePanel, SwappingTheEndsNegatesExactly) {
  struct Case {
    double a, b;
  };
  const Case cases[] = {{0.0, 4.0}, {4.0, 8.0}, {0.3, 0.4}, {-2.0, 5.0}};
  for (const Case& c : cases) {
    const double forward = IntegratePanel(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, c.a, c.b);
    const double backward = IntegratePanel(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, c.b, c.a);
    EXPECT_NE(forward, 0.0);
    EXPECT_TRUE(BitExact(backward, -forward)) << c.a << " " << c.b;
  }
}

TEST(IntegratePanel, ZeroWidthPanelIsZeroUnlessTheIntegrandIsNotFinite) {
  EXPECT_EQ(IntegratePanel(-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 1.5, 1.5), 0.0);
  EXPECT_EQ(IntegratePanel(0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 0.0, 0.0), 0.0);  // phi = 0 is floored
  EXPECT_EQ(IntegratePanel(-0.2, 0.5, 0.09, 0.04, 2, 0.0, 0.3, 1.5, 1.5), 0.0);  // sigma = 0: finite
  EXPECT_TRUE(std::isnan(Rule([](double) { return kInf; }, 1.5, 1.5)));
}

TEST(IntegratePanel, IsTheRuleAppliedToTheIntegrandCallByCallBitForBit) {
  // IntegratePanel forms the integrand's phi-free terms once and evaluates its 16 nodes
  // side by side; the result must be the rule run on theIntegrand one node at a time.
  struct Case {
    double x, T, v0, theta, kappa, sigma, rho, a, b;
  };
  const Case cases[] = {
      {0.05, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 0.0, 4.0},     {0.05, 1, 0.04, 0.04, 1.5, 0.3, -0.7, 96.0, 100.0},
      {-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.3, 0.4},      {0.3, 0.1, 0.01, 0.09, 0.5, 1.0, -0.9, 4.0, 8.0},
      {0.0, 0.1, 0.003, 0.04, 0.5, 1.0, -0.5, 0.0, 4.0},   {0.1, 5, 0.0, 0.0, 0.0, 1.0, -1.0, 8.0, 12.0},
      {0.1, 1, 0.04, 0.04, 1.5, 0.3, -0.7, -1e-300, 1e-300}, {0.1, 1, 0.04, 0.04, 1.5, 0.0, -0.7, 0.0, 4.0},
  };
  for (const Case& c : cases) {
    const double byCalls = Rule(
        [&](double phi) { return theIntegrand(c.x, c.T, c.v0, c.theta, c.kappa, c.sigma, c.rho, phi); }, c.a, c.b);
    EXPECT_TRUE(BitExact(IntegratePanel(c.x, c.T, c.v0, c.theta, c.kappa, c.sigma, c.rho, c.a, c.b), byCalls))
        << c.x << " " << c.T << " [" << c.a << ", " << c.b << "]";
  }
}

}  // namespace
}  // namespace eurocall
