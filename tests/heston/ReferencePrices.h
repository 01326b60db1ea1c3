// SPDX-License-Identifier: Apache-2.0
// The reference price tables of tests/data (heston_prices.csv, heston_small_sigma.csv):
// one row per line, and the Black-Scholes vega that turns a price tolerance into a
// volatility tolerance.
#ifndef EUROCALL_TESTS_HESTON_REFERENCEPRICES_H
#define EUROCALL_TESTS_HESTON_REFERENCEPRICES_H

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace eurocall {

struct ReferenceRow {
  int line;
  double S, K, T, r, v0, theta, kappa, sigma, rho, price, uncertainty, vol;
};

// path: a CSV with the columns S,K,T,r,v0,theta,kappa,sigma,rho,price,price_uncertainty,
// implied_vol and one header line.
inline std::vector<ReferenceRow> ReadReferencePrices(const std::string& path) {
  std::ifstream in(path);
  std::vector<ReferenceRow> rows;
  std::string text;
  std::getline(in, text);  // header
  for (int line = 2; std::getline(in, text); ++line) {
    for (char& ch : text) if (ch == ',') ch = ' ';
    std::istringstream fields(text);
    ReferenceRow r{line};
    fields >> r.S >> r.K >> r.T >> r.r >> r.v0 >> r.theta >> r.kappa >> r.sigma >> r.rho >> r.price >> r.uncertainty >> r.vol;
    if (fields) rows.push_back(r);
  }
  return rows;
}

inline double Vega(double S, double K, double T, double r, double vol) {
  const double sd = vol * std::sqrt(T);
  const double d1 = (std::log(S / K) + (r + 0.5 * vol * vol) * T) / sd;
  return S * std::sqrt(T) * std::exp(-0.5 * d1 * d1) / std::sqrt(2 * M_PI);
}

}  // namespace eurocall

#endif
