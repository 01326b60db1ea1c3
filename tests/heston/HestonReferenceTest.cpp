// SPDX-License-Identifier: Apache-2.0
// HestonCall_exact and HestonVol_exact against 151 prices computed independently of this
// library (tests/data/README.md says how).
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "heston/heston.h"

namespace eurocall {
namespace {

struct Row {
  int line;
  double S, K, T, r, v0, theta, kappa, sigma, rho, price, uncertainty, vol;
};

std::vector<Row> ReadReference() {
  std::ifstream in(EUROCALL_TEST_DATA_DIR "/heston_prices.csv");
  std::vector<Row> rows;
  std::string text;
  std::getline(in, text);  // header
  for (int line = 2; std::getline(in, text); ++line) {
    for (char& ch : text) if (ch == ',') ch = ' ';
    std::istringstream fields(text);
    Row r{line};
    fields >> r.S >> r.K >> r.T >> r.r >> r.v0 >> r.theta >> r.kappa >> r.sigma >> r.rho >> r.price >> r.uncertainty >> r.vol;
    if (fields) rows.push_back(r);
  }
  return rows;
}

// The adaptive tail is asked for a relative accuracy of 1e-8 of its own integral, and the
// price carries the integral times K e^(-rT) / pi: a priori up to about 4e-7 for these
// strikes. The eleven fixed panels and the extrapolated tail do far better: the largest
// error over these rows is 1.5e-8 on a price of 34 (K = 70, T = 1, third parameter set)
// and 5.5e-9 on a price of 1.8e-14 (K = 130, T = 0.1), so 2e-8 * max(1, price) keeps a
// margin of at least 3.6 on every row.
constexpr double kPriceTolerance = 2e-8;

double Vega(double S, double K, double T, double r, double vol) {
  const double sd = vol * std::sqrt(T);
  const double d1 = (std::log(S / K) + (r + 0.5 * vol * vol) * T) / sd;
  return S * std::sqrt(T) * std::exp(-0.5 * d1 * d1) / std::sqrt(2 * M_PI);
}

TEST(HestonReference, ExactPriceAndVolatilityMatchIndependentValues) {
  const std::vector<Row> rows = ReadReference();
  ASSERT_EQ(rows.size(), 151u);
  double worstPrice = 0, worstVolRatio = 0, worstVol = 0;
  int worstPriceLine = 0, worstVolLine = 0;
  for (const Row& q : rows) {
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
