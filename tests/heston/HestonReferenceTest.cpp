// SPDX-License-Identifier: Apache-2.0
// HestonCall_exact and HestonVol_exact against 151 prices computed independently of this
// library (tests/data/README.md says how).
#include <cmath>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "heston/heston.h"
#include "ReferencePrices.h"

namespace eurocall {
namespace {

// The adaptive tail is asked for a relative accuracy of 1e-8 of its own integral, and the
// price carries the integral times K e^(-rT) / pi: a priori up to about 4e-7 for these
// strikes. The eleven fixed panels and the extrapolated tail do far better: the largest
// error over these rows is 1.5e-8 on a price of 34 (K = 70, T = 1, third parameter set)
// and 5.5e-9 on a price of 1.8e-14 (K = 130, T = 0.1), so 2e-8 * max(1, price) keeps a
// margin of at least 3.6 on every row.
constexpr double kPriceTolerance = 2e-8;

TEST(HestonReference, ExactPriceAndVolatilityMatchIndependentValues) {
  const std::vector<ReferenceRow> rows = ReadReferencePrices(EUROCALL_TEST_DATA_DIR "/heston_prices.csv");
  ASSERT_EQ(rows.size(), 151u);
  double worstPrice = 0, worstVolRatio = 0, worstVol = 0;
  int worstPriceLine = 0, worstVolLine = 0;
  for (const ReferenceRow& q : rows) {
    const double price = HestonCall_exact(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
    const double priceError = std::fabs(price - q.price);
    const double priceTolerance = kPriceTolerance * std::max(1.0, q.price) + q.uncertainty;
    EXPECT_LE(priceError, priceTolerance) << "line " << q.line << ": " << price << " vs " << q.price;
    if (priceError > worstPrice) {
      worstPrice = priceError;
      worstPriceLine = q.line;
    }

    // A volatility inherits the price error divided by vega, plus the search's own
    // relative tolerance (about 1.2e-7 each way).
    const double vol = HestonVol_exact(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
    const double volTolerance = priceTolerance / Vega(q.S, q.K, q.T, q.r, q.vol) + 2.4e-7;
    EXPECT_LE(std::fabs(vol - q.vol), volTolerance) << "line " << q.line << ": " << vol << " vs " << q.vol;
    worstVolRatio = std::max(worstVolRatio, std::fabs(vol - q.vol) / volTolerance);
    // Below 1e-8 a price's volatility is ill-conditioned (two rows near 1e-14).
    if (q.price > 1e-8 && std::fabs(vol - q.vol) > worstVol) {
      worstVol = std::fabs(vol - q.vol);
      worstVolLine = q.line;
    }
  }
  std::printf("largest price error %.3g (line %d); largest volatility error %.3g (line %d) where the price "
              "is above 1e-8; largest volatility error / tolerance %.3g\n",
              worstPrice, worstPriceLine, worstVol, worstVolLine, worstVolRatio);
}

}  // namespace
}  // namespace eurocall
