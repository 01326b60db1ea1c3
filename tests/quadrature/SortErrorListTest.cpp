// SPDX-License-Identifier: Apache-2.0
// SortErrorList: the start of the list, the three tie rules, an interval that rises to
// the top, the kept length once more than half the subintervals are used, and a
// bisected interval left just beyond a kept front that has shrunk.
#include <vector>

#include <gtest/gtest.h>

#include "quadrature/quadrature.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

// Intervals 0..499 at positions 0..499 with errors 1000 - i: a list in order, as a
// driver far into its run leaves it.
struct DescendingList {
  double errors[500];
  int order[500];
  DescendingList() {
    for (int i = 0; i < 500; ++i) {
      errors[i] = 1000.0 - i;
      order[i] = i;
    }
  }
};

using testing::BitExact;

constexpr int kLimit = 499;

TEST(SortErrorList, SmallListsAndTies) {
  // errors[i] is the error of interval i after the bisection (target holds the larger
  // half, last the other one); orderIn is the list before, orderOut the list after.
  struct Case {
    const char* what;
    int last, target, targetPos;
    std::vector<double> errors;
    std::vector<int> orderIn, orderOut;
    int targetOut, targetPosOut;
  };
  const Case cases[] = {
      {"last 1: [0, 1] whatever the errors", 1, 0, 0, {1.0, 2.0}, {0, 7}, {0, 1}, 0, 0},
      // Interval 1 (error 4) equals its predecessor 0 (error 4): it does not rise.
      {"equal to predecessor stays below", 3, 1, 1, {4, 4, 2, 1}, {0, 1, 2}, {0, 1, 2, 3}, 1, 1},
      // Interval 0 (error 3) equals its successor 1 (error 3): it stays above it.
      {"equal to successor goes above", 3, 0, 0, {3, 3, 2, 1}, {0, 1, 2}, {0, 1, 2, 3}, 0, 0},
      // New interval 3 (error 2) equals interval 2: it goes above it.
      {"new interval above equal errors", 3, 0, 0, {5, 4, 2, 2}, {0, 1, 2}, {0, 1, 3, 2}, 0, 0},
      // Still the largest at position 0: unchanged in front, new interval at the end.
      {"largest stays on top", 2, 0, 0, {3, 1, 2}, {0, 1}, {0, 2, 1}, 0, 0},
      // Bisected interval 2 at position 2 grew to 10: it rises past 5 and 6 to the top.
      {"rises past smaller predecessors", 4, 2, 2, {6, 5, 10, 3, 1}, {0, 1, 2, 3}, {2, 0, 1, 3, 4}, 2, 0},
      // Bisected interval 0 dropped to 0.5, below everything: it goes last among the
      // kept entries and the new interval 3 right after it.
      {"drops to the bottom", 3, 0, 0, {0.5, 4, 2, 0.25}, {0, 1, 2}, {1, 2, 0, 3}, 1, 0},
  };
  for (const Case& c : cases) {
    int order[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    for (std::size_t i = 0; i < c.orderIn.size(); ++i) order[i] = c.orderIn[i];
    int target = c.target;
    int targetPos = c.targetPos;
    double targetError = -1.0;
    SortErrorList(kLimit, c.last, target, targetError, c.errors.data(), order, targetPos);
    EXPECT_EQ(std::vector<int>(order, order + c.orderOut.size()), c.orderOut) << c.what;
    EXPECT_EQ(target, c.targetOut) << c.what;
    EXPECT_EQ(targetPos, c.targetPosOut) << c.what;
    EXPECT_TRUE(BitExact(targetError, c.errors[c.targetOut])) << c.what;
  }
}

TEST(SortErrorList, KeepsOnlyPositionsUpTo502MinusLast) {
  // last = 300 > 499/2 + 2: keep = 499 - 300 + 3 = 202, so positions 0..202 are
  // ordered and nothing beyond 202 is written. Before the call, positions 0..203 (the
  // previous keep, 502 - 299) hold intervals 0..203 with errors 1000 - i; interval 0
  // was bisected at position 0.
  struct Case {
    const char* what;
    double bisected, added;  // new errors of interval 0 and of interval 300
    int bisectedAt, addedAt;  // their expected positions
  };
  const Case cases[] = {
      // 900.75 settles above interval 100 (error 900), 900.25 just below it, at 100;
      // positions 101..202 take intervals 100..201 and interval 202 drops out.
      {"both inside the kept front", 900.75, 900.25, 99, 100},
      // Both below every kept entry: the bisected interval at 201 and the new one at 202.
      {"both below the kept front", 500.5, 0.5, 201, 202},
  };
  for (const Case& c : cases) {
    DescendingList list;
    double* errors = list.errors;
    int* order = list.order;
    errors[0] = c.bisected;
    errors[300] = c.added;
    int target = 0;
    int targetPos = 0;
    double targetError = 0.0;
    SortErrorList(kLimit, 300, target, targetError, errors, order, targetPos);

    // Expected: intervals 1..201 in order with 0 and 300 inserted at their positions.
    int expected[203];
    int next = 1;
    for (int pos = 0; pos <= 202; ++pos) {
      if (pos == c.bisectedAt) {
        expected[pos] = 0;
      } else if (pos == c.addedAt) {
        expected[pos] = 300;
      } else {
        expected[pos] = next++;
      }
    }
    for (int pos = 0; pos <= 202; ++pos) EXPECT_EQ(order[pos], expected[pos]) << c.what << " at " << pos;
    for (int pos = 203; pos < 500; ++pos) ASSERT_EQ(order[pos], pos) << c.what << ": wrote stale position " << pos;
    EXPECT_EQ(target, 1) << c.what;
    EXPECT_EQ(targetPos, 0) << c.what;
    EXPECT_TRUE(BitExact(targetError, 999.0)) << c.what;
  }
}

TEST(SortErrorList, BisectedIntervalJustBeyondAShrunkFront) {
  // The integrator's scan for a large subinterval can pick the last kept position, 203
  // at last = 299 (keep 502 - 299); at last = 300 the front ends at 202, one short of
  // the bisected interval. Intervals 0..499 sit at positions 0..499 with errors
  // 1000 - i; interval 203 was bisected at position 203, interval 300 is new (0.5).
  // The bisected interval first rises past strictly smaller predecessors; standing
  // below position 201 (the front's end but one) after that, it is written at 201 and
  // the new interval at 202, and the target returned is whatever the returned
  // position holds.
  struct Case {
    const char* what;
    double bisected;
    int at201, at202, at203;  // intervals at positions 201, 202, 203 afterwards
    int targetOut, targetPosOut;
  };
  const Case cases[] = {
      // 0.75 is below 798 (interval 202): no move; position 203 still holds 203.
      {"stays beyond the front", 0.75, 203, 300, 203, 203, 203},
      // 798.5 rises past 798 (interval 202 moves down to 203), not past 799.
      {"rises to the front's end", 798.5, 203, 300, 202, 300, 202},
  };
  for (const Case& c : cases) {
    DescendingList list;
    double* errors = list.errors;
    int* order = list.order;
    errors[203] = c.bisected;
    errors[300] = 0.5;
    int target = 203;
    int targetPos = 203;
    double targetError = 0.0;
    SortErrorList(kLimit, 300, target, targetError, errors, order, targetPos);

    for (int pos = 0; pos <= 200; ++pos) ASSERT_EQ(order[pos], pos) << c.what << " at " << pos;
    EXPECT_EQ(order[201], c.at201) << c.what;
    EXPECT_EQ(order[202], c.at202) << c.what;
    EXPECT_EQ(order[203], c.at203) << c.what;
    for (int pos = 204; pos < 500; ++pos) ASSERT_EQ(order[pos], pos) << c.what << ": wrote position " << pos;
    EXPECT_EQ(target, c.targetOut) << c.what;
    EXPECT_EQ(targetPos, c.targetPosOut) << c.what;
    EXPECT_TRUE(BitExact(targetError, errors[c.targetOut])) << c.what;
  }
}

}  // namespace
}  // namespace eurocall
