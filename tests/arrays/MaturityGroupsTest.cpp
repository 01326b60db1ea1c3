// SPDX-License-Identifier: Apache-2.0
// The grouping of an array call's Heston elements by maturity, with stand-in prices
// that record what they were given: partners found in any order within the window and
// not beyond it, and the error indicator's effect on later elements the same as in
// element-by-element calls in index order.
#include "arrays/MaturityGroups.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/ErrorIndicator.h"

namespace eurocall {
namespace {

// Element i's "price" is its strike while the indicator is clear and -strike once it is
// set; the element whose strike is kSetsIndicator sets it, as an overflowing tail would.
constexpr double kSetsIndicator = 13.0;
std::vector<int> gGroupSizes;

double PriceOne(double, double K, double, double, double, double, double, double, double) {
  const double price = (ErrorIndicator() > 0) ? -K : K;
  if (K == kSetsIndicator) SetErrorIndicator(kRangeError);
  return price;
}

void PriceGroup(double, double, double, double, double, double, int count, const double*, const double* K,
                const double*, double* price) {
  gGroupSizes.push_back(count);
  for (int i = 0; i < count; ++i) price[i] = PriceOne(0, K[i], 0, 0, 0, 0, 0, 0, 0);
}

double Finish(double, double, double, double, double price) { return price; }

std::vector<double> PriceInOneCall(const std::vector<double>& K, const std::vector<double>& T) {
  const double one = 1.0;
  HestonInputs in{{&one, 0}, {K.data(), 1}, {T.data(), 1}, {&one, 0}, {&one, 0},
                  {&one, 0}, {&one, 0},     {&one, 0},     {&one, 0}};
  std::vector<double> out(K.size(), NAN);
  gGroupSizes.clear();
  SetErrorIndicator(0);
  PriceByMaturity(in, K.size(), StridedOutput{out.data(), 1}, PriceGroup, PriceOne, Finish);
  SetErrorIndicator(0);
  return out;
}

TEST(MaturityGroups, FindsPartnersInAnyOrderWithinTheWindowOnly) {
  // Two maturities interleaved, and a partner of the first element just beyond reach.
  std::vector<double> K, T;
  for (int i = 0; i < 10; ++i) {
    K.push_back(100 + i);
    T.push_back((i % 2 == 0) ? 0.5 : 1.0);
  }
  K.resize(kLookAhead, 500.0);
  T.resize(kLookAhead, 3.0);  // element 10..63: a third maturity, 54 of them
  K.push_back(600.0);
  T.push_back(0.5);  // element 64: the first element's maturity, outside its window
  const std::vector<double> out = PriceInOneCall(K, T);
  for (std::size_t i = 0; i < K.size(); ++i) EXPECT_EQ(out[i], K[i]) << i;
  EXPECT_EQ(gGroupSizes, (std::vector<int>{5, 5, 54}));  // element 64 alone: the scalar price
}

TEST(MaturityGroups, AnIndicatorSetInAGroupReachesLaterElementsAsInIndexOrder) {
  // Maturity A at 0, 2, 4; B at 1, 3. Element 1 (B) sets the indicator: in index order
  // elements 2, 3 and 4 see it, though the group of A priced 2 and 4 before 1.
  const std::vector<double> K = {10, kSetsIndicator, 30, 40, 50};
  const std::vector<double> T = {0.5, 1.0, 0.5, 1.0, 0.5};
  EXPECT_EQ(PriceInOneCall(K, T), (std::vector<double>{10, 13, -30, -40, -50}));
  // Set by the group's own first element: every later one sees it.
  EXPECT_EQ(PriceInOneCall({kSetsIndicator, 20, 30}, {0.5, 1.0, 0.5}), (std::vector<double>{13, -20, -30}));
}

}  // namespace
}  // namespace eurocall
