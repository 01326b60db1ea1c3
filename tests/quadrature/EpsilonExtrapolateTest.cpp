// SPDX-License-Identifier: Apache-2.0
// EpsilonExtrapolate: the short table, one rhombus step worked by hand, the convergence
// exit, the cut from 50 to 49 elements, and the two guards: a convergence exit with 50
// elements keeps the next call inside the 52 entries, and a never-written entry of
// recent gives no error estimate.
#include <cfloat>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "quadrature/quadrature.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kLargest = DBL_MAX;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kFloor = 1.1102230246251565e-15;  // 5 * 2^-52, relative

// A fresh table holding `count` values, the rest filled with a marker.
void Fill(double* table, const double* values, int count) {
  for (int i = 0; i < 52; ++i) table[i] = -12345.0;
  for (int i = 0; i < count; ++i) table[i] = values[i];
}

TEST(EpsilonExtrapolate, TwoElementsReturnTheNewestAndTouchNothing) {
  double table[52];
  const double values[] = {3.5, 7.25};
  Fill(table, values, 2);
  double recent[3] = {1.0, 2.0, 3.0};
  int top = 1;
  int calls = 5;
  double error = 0.0;
  EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), 7.25));
  EXPECT_TRUE(BitExact(error, kLargest));
  EXPECT_EQ(top, 1);
  EXPECT_EQ(calls, 6);
  for (int i = 2; i < 52; ++i) ASSERT_TRUE(BitExact(table[i], -12345.0)) << i;
  EXPECT_TRUE(BitExact(table[0], 3.5));
  EXPECT_TRUE(BitExact(table[1], 7.25));
  EXPECT_TRUE(BitExact(recent[0], 1.0) && BitExact(recent[1], 2.0) && BitExact(recent[2], 3.0));
}

TEST(EpsilonExtrapolate, OneRhombusStepOnAGeometricSequence) {
  // 1, 1.5, 1.75 (differences 1/2, 1/4): d1 = 1.5 - largest, d2 = 0.25, d3 = 0.5, so
  // s = 1/d1 + 4 - 2 = 2 exactly and the new element is 1.5 + 1/2 = 2, the limit. The
  // first call's error is "no estimate"; the diagonal is shifted down to 2, 1.5, 1.75.
  double table[52];
  const double values[] = {1.0, 1.5, 1.75};
  Fill(table, values, 3);
  double recent[3] = {kNaN, kNaN, kNaN};
  int top = 2;
  int calls = 0;
  double error = 0.0;
  EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), 2.0));
  EXPECT_TRUE(BitExact(error, kLargest));
  EXPECT_EQ(top, 2);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(BitExact(recent[0], 2.0));
  EXPECT_TRUE(std::isnan(recent[1]) && std::isnan(recent[2]));
  EXPECT_TRUE(BitExact(table[0], 2.0));
  EXPECT_TRUE(BitExact(table[1], 1.5));
  EXPECT_TRUE(BitExact(table[2], 1.75));
}

TEST(EpsilonExtrapolate, ThreeEqualElementsTakeTheConvergenceExit) {
  // err2 = err3 = 0: c with the relative floor as its error; no compaction, recent
  // untouched, position top holds largest and top + 2 the newest element.
  for (double c : {3.0, -0.1, 1e300}) {
    double table[52];
    const double values[] = {c, c, c};
    Fill(table, values, 3);
    double recent[3] = {kNaN, kNaN, kNaN};
    int top = 2;
    int calls = 0;
    double error = 0.0;
    EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), c)) << c;
    EXPECT_TRUE(BitExact(error, kFloor * std::fabs(c))) << c;
    EXPECT_EQ(top, 2) << c;
    EXPECT_EQ(calls, 1) << c;
    EXPECT_TRUE(std::isnan(recent[0]) && std::isnan(recent[1]) && std::isnan(recent[2])) << c;
    EXPECT_TRUE(BitExact(table[0], c) && BitExact(table[1], c)) << c;
    EXPECT_TRUE(BitExact(table[2], kLargest)) << c;
    EXPECT_TRUE(BitExact(table[3], -12345.0)) << c;
    EXPECT_TRUE(BitExact(table[4], c)) << c;
  }
}

TEST(EpsilonExtrapolate, FiftyElementsAreCutToFortyNine) {
  // table[i] = i^2: no two neighbours are near-equal and the rhombus sums are not
  // small, so all 24 passes run. 50 is cut to 49, which drops the first element of the
  // shifted diagonal: the odd positions then hold the untouched even elements 2^2 ..
  // 48^2, position 48 the newest element 49^2, position 46 the first pass's element
  // 48^2 + 1/(1/97 - 1/95) = -2303.5 (up to the rounding of the reciprocals).
  double table[52];
  double values[50];
  for (int i = 0; i < 50; ++i) values[i] = double(i) * i;
  Fill(table, values, 50);
  double recent[3] = {kNaN, kNaN, kNaN};
  int top = 49;
  int calls = 0;
  double error = 0.0;
  const double result = EpsilonExtrapolate(top, table, error, recent, calls);
  EXPECT_EQ(top, 48);
  EXPECT_TRUE(BitExact(error, kLargest));  // first call
  EXPECT_TRUE(BitExact(recent[0], result));
  for (int m = 0; m < 24; ++m) EXPECT_TRUE(BitExact(table[2 * m + 1], double(2 * m + 2) * (2 * m + 2))) << m;
  EXPECT_TRUE(BitExact(table[48], 2401.0));
  EXPECT_NEAR(table[46], -2303.5, 1e-6);
}

TEST(EpsilonExtrapolate, ConvergenceExitWithFiftyElementsKeepsTheNextCallInside) {
  // The last three of 50 elements are equal: the exit is taken in the first pass with
  // n = 50. Left at top = 49, the next append would make n = 51 and the call would
  // write position 52; cut to 49 elements like every other path, top is 48, the next
  // append goes to 49 and the call writes at most position 51. A plain 52-entry local
  // array, so that the address sanitizer sees any write past it.
  double table[52];
  double values[50];
  for (int i = 0; i < 47; ++i) values[i] = double(i) * i;
  values[47] = values[48] = values[49] = 7.0;
  Fill(table, values, 50);
  double recent[3] = {kNaN, kNaN, kNaN};
  int top = 49;
  int calls = 0;
  double error = 0.0;
  EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), 7.0));
  EXPECT_TRUE(BitExact(error, kFloor * 7.0));
  EXPECT_EQ(top, 48);
  EXPECT_TRUE(BitExact(table[49], kLargest));
  EXPECT_TRUE(BitExact(table[51], 7.0));
  EXPECT_TRUE(std::isnan(recent[0]));

  // The caller appends the same limit again: converged again, still 49 elements.
  table[++top] = 7.0;
  EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), 7.0));
  EXPECT_EQ(top, 48);
  // A different element: 7, 7 below it are near-equal, so the table is cut to the
  // newest element alone.
  table[++top] = 8.0;
  EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), 8.0));
  EXPECT_EQ(top, 0);
  EXPECT_TRUE(BitExact(table[0], 8.0));
  EXPECT_EQ(calls, 3);
}

TEST(EpsilonExtrapolate, ANeverWrittenRecentEntryGivesNoEstimate) {
  // Call 1 converges and leaves recent[0] unwritten (NaN, as the driver starts it);
  // calls 2 and 3 on 1, 1.5, 1.75 write recent[1] = recent[2] = 2. Call 4 reads all
  // three: the unwritten one makes its error largest, so no caller accepts it. Call 5
  // reads 2, 2, 2 only: error 0, floored at 5 ulps of 2.
  double recent[3] = {kNaN, kNaN, kNaN};
  int calls = 0;
  double table[52];
  double error = 0.0;
  int top = 2;
  const double same[] = {5.0, 5.0, 5.0};
  Fill(table, same, 3);
  EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), 5.0));

  const double geometric[] = {1.0, 1.5, 1.75};
  const double expectedError[] = {kLargest, kLargest, kLargest, kFloor * 2.0};
  for (int call = 2; call <= 5; ++call) {
    Fill(table, geometric, 3);
    top = 2;
    EXPECT_TRUE(BitExact(EpsilonExtrapolate(top, table, error, recent, calls), 2.0)) << call;
    EXPECT_TRUE(BitExact(error, expectedError[call - 2])) << call;
    EXPECT_EQ(calls, call);
  }
  EXPECT_TRUE(BitExact(recent[0], 2.0) && BitExact(recent[1], 2.0) && BitExact(recent[2], 2.0));
}

}  // namespace
}  // namespace eurocall
