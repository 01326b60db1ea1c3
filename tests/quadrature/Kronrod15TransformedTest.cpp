// SPDX-License-Identifier: Apache-2.0
// Kronrod15Transformed: the tables (round trip of the literals, then each node and
// Kronrod weight seen through the calls and the result), the order of the calls, the
// error floor and its threshold, and the error as the rescaled Gauss remainder.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "quadrature/quadrature.h"
#include "runtime/ErrorIndicator.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;
using testing::WithinUlps;

// The rule's nodes and weights as 17 significant digits, written independently of
// the source (recomputed to 40 digits from the Legendre polynomial P7 and its
// Stieltjes extension E8).
const char* const kNodeText[8] = {
    "0.99145537112081261", "0.94910791234275849", "0.86486442335976910", "0.74153118559939446",
    "0.58608723546769115", "0.40584515137739718", "0.20778495500789848", "0",
};
const char* const kKronrodText[8] = {
    "0.022935322010529224", "0.063092092629978558", "0.10479001032225019", "0.14065325971552592",
    "0.16900472663926791",  "0.19035057806478542",  "0.20443294007529889", "0.20948214108472782",
};
const char* const kGaussText[4] = {
    "0.12948496616886970", "0.27970539148927664", "0.38183005050511892", "0.41795918367346940",
};

double Parse(const char* text) { return std::strtod(text, nullptr); }

// The 17 significant digits of a double, without sign, point or exponent.
std::string Digits17(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.16e", v);
  std::string digits;
  for (const char* p = buf; *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') digits += *p;
  }
  return digits;
}

std::string DigitsOfText(const char* text) {
  std::string digits;
  bool leading = true;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') continue;
    if (leading && *p == '0') continue;
    leading = false;
    digits += *p;
  }
  digits.resize(17, '0');
  return digits;
}

TEST(Kronrod15Transformed, TableLiteralsRoundTripWithSeventeenDigits) {
  for (const char* const* table : {kNodeText, kKronrodText}) {
    for (int i = 0; i < 8; ++i) {
      if (Parse(table[i]) == 0.0) continue;
      EXPECT_EQ(Digits17(Parse(table[i])), DigitsOfText(table[i])) << table[i];
    }
  }
  for (const char* text : kGaussText) EXPECT_EQ(Digits17(Parse(text)), DigitsOfText(text)) << text;
}

// A probe integrand: records where it is called and returns a programmed value at one
// call (impulse), or 0 everywhere.
struct Probe {
  int calls = 0;
  double points[30];
  int impulseCall = -1;
  double impulseValue = 0.0;
};
thread_local Probe tProbe;

double ProbeIntegrand(double x) {
  Probe& p = tProbe;
  const int i = p.calls++;
  if (i < 30) p.points[i] = x;
  return i == p.impulseCall ? p.impulseValue : 0.0;
}

// The nodes and Kronrod weights read from their 17-digit texts.
struct RuleTables {
  double node[8];
  double weight[8];
  RuleTables() {
    for (int i = 0; i < 8; ++i) {
      node[i] = Parse(kNodeText[i]);
      weight[i] = Parse(kKronrodText[i]);
    }
  }
};

// Points t at which the rule over [a, b] samples, in call order: the centre, then for
// each node the left and the right point.
void SamplePoints(double a, double b, const double node[8], double t[15]) {
  const double c = (a + b) * 0.5;
  const double h = (b - a) * 0.5;
  t[0] = c;
  for (int j = 0; j < 7; ++j) {
    const double d = h * node[j];
    t[2 * j + 1] = c - d;
    t[2 * j + 2] = c + d;
  }
}

TEST(Kronrod15Transformed, CallsTheIntegrandAtTheMappedNodesInOrder) {
  double node[8];
  for (int i = 0; i < 8; ++i) node[i] = Parse(kNodeText[i]);

  struct Case {
    int rangeKind;
    double bound, s, b;
  };
  // [0, 0.88] as well as [0, 1]: over [0, 1] the rounding of t hides the last bit of
  // the smallest node.
  const Case cases[] = {{1, 0.0, 1.0, 1.0}, {1, 0.0, 1.0, 0.88}, {1, 3.25, 1.0, 1.0},
                        {-1, 2.5, -1.0, 1.0}, {-1, 0.0, -1.0, 0.88}};
  for (const Case& c : cases) {
    double t[15];
    SamplePoints(0.0, c.b, node, t);
    tProbe = Probe{};
    double error, absIntegral, devIntegral;
    Kronrod15Transformed(ProbeIntegrand, c.bound, c.rangeKind, 0.0, c.b, error, absIntegral, devIntegral);
    ASSERT_EQ(tProbe.calls, 15);
    for (int i = 0; i < 15; ++i) {
      const double x = ((1.0 - t[i]) * c.s) / t[i] + c.bound;
      EXPECT_TRUE(BitExact(tProbe.points[i], x)) << "kind " << c.rangeKind << " b " << c.b << " call " << i;
    }
  }

  // Whole line: X(c), -X(c), then per node X(t1), X(t2), -X(t1), -X(t2).
  double t[15];
  SamplePoints(0.0, 1.0, node, t);
  tProbe = Probe{};
  double error, absIntegral, devIntegral;
  Kronrod15Transformed(ProbeIntegrand, 0.0, 2, 0.0, 1.0, error, absIntegral, devIntegral);
  ASSERT_EQ(tProbe.calls, 30);
  const double xc = (1.0 - t[0]) / t[0];
  EXPECT_TRUE(BitExact(tProbe.points[0], xc));
  EXPECT_TRUE(BitExact(tProbe.points[1], -xc));
  for (int j = 0; j < 7; ++j) {
    const double x1 = (1.0 - t[2 * j + 1]) / t[2 * j + 1];
    const double x2 = (1.0 - t[2 * j + 2]) / t[2 * j + 2];
    EXPECT_TRUE(BitExact(tProbe.points[4 * j + 2], x1)) << "node " << j;
    EXPECT_TRUE(BitExact(tProbe.points[4 * j + 3], x2)) << "node " << j;
    EXPECT_TRUE(BitExact(tProbe.points[4 * j + 4], -x1)) << "node " << j;
    EXPECT_TRUE(BitExact(tProbe.points[4 * j + 5], -x2)) << "node " << j;
  }

  // The probe tells neighbouring doubles apart: a node one ulp off moves a sample
  // point over [0, 1] or over [0, 0.88].
  for (int j = 0; j < 7; ++j) {
    for (double off : {std::nextafter(node[j], 0.0), std::nextafter(node[j], 1.0)}) {
      bool moved = false;
      for (double b : {1.0, 0.88}) {
        double shifted[8];
        for (int i = 0; i < 8; ++i) shifted[i] = i == j ? off : node[i];
        double ta[15], tb[15];
        SamplePoints(0.0, b, node, ta);
        SamplePoints(0.0, b, shifted, tb);
        for (int i : {2 * j + 1, 2 * j + 2}) moved = moved || (1.0 - ta[i]) / ta[i] != (1.0 - tb[i]) / tb[i];
      }
      EXPECT_TRUE(moved) << "node " << j;
    }
  }
}

TEST(Kronrod15Transformed, EachSampleCarriesItsKronrodWeight) {
  // One non-zero value v at a single sample t: the transformed value is y = (v / t) / t,
  // so K = y w and the result is (y w) h with h = 0.5; choosing v = t * t makes y = 1 up
  // to an ulp, so that a weight one ulp off changes the result.
  const RuleTables tables;
  const double* node = tables.node;
  const double* weight = tables.weight;
  double t[15];
  SamplePoints(0.0, 1.0, node, t);
  for (int call = 0; call < 15; ++call) {
    const double w = call == 0 ? weight[7] : weight[(call - 1) / 2];
    const double v = t[call] * t[call];
    const double y = (v / t[call]) / t[call];
    tProbe = Probe{};
    tProbe.impulseCall = call;
    tProbe.impulseValue = v;
    double error, absIntegral, devIntegral;
    const double result = Kronrod15Transformed(ProbeIntegrand, 0.0, 1, 0.0, 1.0, error, absIntegral, devIntegral);
    EXPECT_TRUE(BitExact(result, (y * w) * 0.5)) << "call " << call;
    EXPECT_TRUE(BitExact(absIntegral, (y * w) * 0.5)) << "call " << call;
    EXPECT_NE((y * std::nextafter(w, 0.0)) * 0.5, (y * w) * 0.5) << "probe too coarse at call " << call;
    EXPECT_NE((y * std::nextafter(w, 1.0)) * 0.5, (y * w) * 0.5) << "probe too coarse at call " << call;
  }
}

double Zero(double) { return 0.0; }
// Exact integrals over [0, inf): 0, 1, 1/14 and 1/15.
double InverseSquareOfOnePlus(double x) { return 1.0 / ((1.0 + x) * (1.0 + x)); }
// With bound 0, t = 1 / (1 + x) and g(t) = f(x) / t^2: (1 + x)^-15 is g = t^13, the
// highest degree the 7-point Gauss rule integrates exactly; (1 + x)^-16 is g = t^14.
double PowerMinus15(double x) { return std::pow(1.0 + x, -15.0); }
double PowerMinus16(double x) { return std::pow(1.0 + x, -16.0); }

TEST(Kronrod15Transformed, ZeroIntegrandGivesZerosOnEveryRange) {
  for (int rangeKind : {1, -1, 2}) {
    double error = -1, absIntegral = -1, devIntegral = -1;
    const double result = Kronrod15Transformed(Zero, 0.0, rangeKind, 0.25, 0.5, error, absIntegral, devIntegral);
    EXPECT_TRUE(BitExact(result, 0.0)) << rangeKind;
    EXPECT_TRUE(BitExact(error, 0.0)) << rangeKind;
    EXPECT_TRUE(BitExact(absIntegral, 0.0)) << rangeKind;
    EXPECT_TRUE(BitExact(devIntegral, 0.0)) << rangeKind;
  }
}

TEST(Kronrod15Transformed, ExactRulesEndOnTheErrorFloor) {
  // Both rules exact up to rounding: the rescaled error is far below 50 ulps of the
  // absolute integral, so the floor decides, bit for bit.
  struct Case {
    Integrand f;
    double exact;
    unsigned ulps;
  };
  const Case cases[] = {
      {InverseSquareOfOnePlus, 1.0, 4},     // g = 1
      {PowerMinus15, 1.0 / 14.0, 8},        // g = t^13
  };
  for (const Case& c : cases) {
    SetErrorIndicator(0);
    double error, absIntegral, devIntegral;
    const double result = Kronrod15Transformed(c.f, 0.0, 1, 0.0, 1.0, error, absIntegral, devIntegral);
    EXPECT_TRUE(WithinUlps(result, c.exact, c.ulps)) << c.exact;
    EXPECT_TRUE(WithinUlps(absIntegral, c.exact, c.ulps)) << c.exact;
    EXPECT_TRUE(BitExact(error, absIntegral * 1.1102230246251565e-14)) << c.exact;
    EXPECT_EQ(ErrorIndicator(), 0);
  }
  double error, absIntegral, devIntegral;
  Kronrod15Transformed(InverseSquareOfOnePlus, 0.0, 1, 0.0, 1.0, error, absIntegral, devIntegral);
  EXPECT_TRUE(BitExact(error, 1.1102230246251565e-14));
}

TEST(Kronrod15Transformed, ErrorIsTheRescaledGaussRemainder) {
  // g = t^14 over [0, 1] (f = (1 + x)^-16): the Kronrod rule is exact, the 7-point
  // Gauss rule misses by its remainder 2^15 (7!)^4 / (15 (14!)^3) p^(14) with
  // p(u) = ((1 + u)/2)^14, p^(14) = 14!/2^14; so |K - G| h = (7!)^4 / (15 (14!)^2).
  // The deviation integral is the Kronrod rule on |t^14 - 1/15|, the error
  // dev * min(1, (200 |K - G| h / dev)^1.5), here far above the floor.
  const RuleTables tables;
  const double* node = tables.node;
  const double* weight = tables.weight;
  double t[15];
  SamplePoints(0.0, 1.0, node, t);
  double dev = weight[7] * std::fabs(std::pow(t[0], 14) - 1.0 / 15);
  for (int j = 0; j < 7; ++j) {
    dev += weight[j] * (std::fabs(std::pow(t[2 * j + 1], 14) - 1.0 / 15) + std::fabs(std::pow(t[2 * j + 2], 14) - 1.0 / 15));
  }
  dev *= 0.5;
  const double f7 = 5040.0;
  const double f14 = 87178291200.0;
  const double raw = (f7 * f7 * f7 * f7) / (15 * f14 * f14);
  const double expected = dev * std::min(1.0, std::pow(200 * raw / dev, 1.5));

  double error, absIntegral, devIntegral;
  const double result = Kronrod15Transformed(PowerMinus16, 0.0, 1, 0.0, 1.0, error, absIntegral, devIntegral);
  EXPECT_TRUE(WithinUlps(result, 1.0 / 15.0, 8));
  EXPECT_NEAR(devIntegral / dev, 1.0, 1e-12);
  // |K - G| is a difference of sums near 2/15: rounding leaves it good to about 1e-9.
  EXPECT_NEAR(error / expected, 1.0, 1e-7);
  EXPECT_GT(error, 1e3 * absIntegral * 1.1102230246251565e-14);
}

thread_local double tScale = 1.0;
double ScaledInverseSquare(double x) { return InverseSquareOfOnePlus(x) * tScale; }

TEST(Kronrod15Transformed, TheFloorStopsAtTheSmallestNormalDouble) {
  // Scaling f by a power of two scales every sum exactly while all stays normal. With
  // the scale 2^-960 the absolute integral (about 1e-289) is above 2.0041683600089728e-294
  // and the floor decides as for the unscaled f; with 2^-1000 (about 9e-302) there is
  // no floor, and the error stays below what the floor would give: the rescaled error
  // of the unscaled f is at most its deviation integral, about 1e-16.
  struct Case {
    double scale;
    bool floored;
  };
  const Case cases[] = {{1.0, true}, {0x1p-960, true}, {0x1p-1000, false}};
  for (const Case& c : cases) {
    tScale = c.scale;
    double error, absIntegral, devIntegral;
    Kronrod15Transformed(ScaledInverseSquare, 0.0, 1, 0.0, 1.0, error, absIntegral, devIntegral);
    EXPECT_TRUE(WithinUlps(absIntegral, c.scale, 4)) << c.scale;
    if (c.floored) {
      EXPECT_TRUE(BitExact(error, absIntegral * 1.1102230246251565e-14)) << c.scale;
    } else {
      EXPECT_GE(error, 0.0);
      EXPECT_LT(error, absIntegral * 1.1102230246251565e-14) << c.scale;
    }
  }
  tScale = 1.0;
}

}  // namespace
}  // namespace eurocall
