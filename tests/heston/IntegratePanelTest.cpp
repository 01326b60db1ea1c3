// IntegratePanel and its Gauss–Legendre tables: the tables against an independent
// long-double solution of P16, exactness on polynomials, the nodes it visits, and the
// exact symmetries of a panel.
#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "heston/IntegratePanelCore.h"
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

TEST(IntegratePanelCore, IntegratesEveryMonomialUpToDegree31) {
  struct Panel {
    double a, b;
  };
  // The integral of t^k over [a, b] is (b^(k+1) - a^(k+1)) / (k + 1).
  const Panel panels[] = {{-1.0, 1.0}, {0.0, 4.0}, {4.0, 8.0}};
  for (const Panel& panel : panels) {
    for (int k = 0; k <= 31; ++k) {
      const double got = IntegratePanelCore(
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

// The nodes a panel visits, in order.
std::vector<double> Nodes(double a, double b) {
  std::vector<double> nodes;
  IntegratePanelCore(
      [&](double phi) {
        nodes.push_back(phi);
        return 1.0;
      },
      a, b);
  return nodes;
}

TEST(IntegratePanelCore, VisitsSixteenInnerNodesInnermostPairFirstLowerNodeFirst) {
  struct Case {
    double a, b, c, h;
  };
  const Case cases[] = {{0.0, 4.0, 2.0, 2.0}, {0.0, 0.1, 0.05, 0.05}, {256.0, 260.0, 258.0, 2.0}};
  for (const Case& cs : cases) {
    const std::vector<double> nodes = Nodes(cs.a, cs.b);
    ASSERT_EQ(nodes.size(), 16u);
    for (int i = 0; i < 8; ++i) {
      EXPECT_TRUE(BitExact(nodes[2 * i], cs.c - cs.h * GaussLegendreAbscissae[i])) << cs.a << " node " << 2 * i;
      EXPECT_TRUE(BitExact(nodes[2 * i + 1], cs.c + cs.h * GaussLegendreAbscissae[i])) << cs.a << " node " << 2 * i + 1;
    }
    for (double phi : nodes) {
      EXPECT_GT(phi, cs.a);
      EXPECT_LT(phi, cs.b);
    }
  }
  // The outermost pairs of [0, 4] and [0, 0.1], written out.
  const std::vector<double> wide = Nodes(0.0, 4.0);
  EXPECT_TRUE(BitExact(wide[14], 2 - 2 * 0.9894009349916499));
  EXPECT_TRUE(BitExact(wide[15], 2 + 2 * 0.9894009349916499));
  const std::vector<double> narrow = Nodes(0.0, 0.1);
  EXPECT_TRUE(BitExact(narrow[14], 0.05 - 0.05 * 0.9894009349916499));
  EXPECT_TRUE(BitExact(narrow[15], 0.05 + 0.05 * 0.9894009349916499));
}

TEST(IntegratePanelCore, WeightsPairSumsInnermostFirstAndAppliesTheHalfWidthOnce) {
  // An oscillating integrand whose weighted pairs partly cancel, so that another
  // grouping (weights applied per node, outermost pair first, the half width per
  // term) shows in the last bits of the sum.
  const auto f = [](double phi) { return std::cos(3.0 * phi) / (1.0 + phi); };
  struct Panel {
    double a, b;
  };
  for (const Panel& p : {Panel{0.0, 4.0}, Panel{4.0, 8.0}, Panel{0.0, 0.1}}) {
    const double h = (p.b - p.a) * 0.5, c = (p.a + p.b) * 0.5;
    double s = 0.0;
    for (int i = 0; i < 8; ++i) {
      const double d = h * GaussLegendreAbscissae[i];
      s = (f(c + d) + f(c - d)) * GaussLegendreWeights[i] + s;
    }
    EXPECT_TRUE(BitExact(IntegratePanelCore(f, p.a, p.b), h * s)) << p.a << " " << p.b;
  }
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
  EXPECT_TRUE(std::isnan(IntegratePanel(-0.2, 0.5, 0.09, 0.04, 2, 0.0, 0.3, 1.5, 1.5)));  // sigma = 0
  EXPECT_TRUE(std::isnan(IntegratePanelCore([](double) { return kInf; }, 1.5, 1.5)));
}

}  // namespace
}  // namespace eurocall
