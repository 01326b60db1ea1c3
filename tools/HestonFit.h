// SPDX-License-Identifier: Apache-2.0
// Least-squares fit of the five Heston parameters to the implied volatilities of a
// surface of quotes, each compared through its out-of-the-money option
// (OtmVolatility.h), by GSL's Levenberg-Marquardt trust region.
//
// Bounds: each parameter p within [lo, hi] is fitted as u with
// p = lo + (hi - lo) / (1 + e^(-u)), so every step stays inside. The Jacobian is taken
// by forward differences in u, steps of 1e-5 max(1, |u|): smaller steps let the exact
// price's adaptive noise (about 1e-10 in a volatility) into it and stall the fit.
//
//   parameter   bounds          parameter   bounds
//   v0          [1e-6, 4]       sigma       [1e-3, 10]
//   theta       [1e-6, 4]       rho         [-0.999, 0.999]
//   kappa       [1e-3, 50]
//
// Every evaluation prices all quotes at once through ComputeAll, over threads, with the
// same bits for any number of threads.
#ifndef EUROCALL_TOOLS_HESTONFIT_H
#define EUROCALL_TOOLS_HESTONFIT_H

#include <array>
#include <string>
#include <vector>

#include "Exports.h"
#include "Library.h"
#include "OtmVolatility.h"

namespace eurocall::tool {

// v0, theta, kappa, sigma, rho.
using HestonParams = std::array<double, 5>;

struct FitQuote {
  double S, K, T, r, q;
  OtmOption option;
  double marketVol, marketPrice;  // of the out-of-the-money option
};

struct ModelValues {
  std::vector<double> prices, vols;
  std::vector<VolStatus> statuses;
};

struct FitResult {
  HestonParams params{};
  ModelValues model;
  bool converged = false;
  std::string stopped;  // why the optimiser stopped
  std::size_t iterations = 0, evaluations = 0;
  double seconds = 0;
};

// The optimiser's start when none is given: v0 and theta from the at-the-money market
// vols of the shortest and the longest maturity, kappa 1, sigma 0.5, rho -0.5.
HestonParams DefaultStart(const std::vector<FitQuote>& quotes);

// The model's out-of-the-money prices and volatilities of every quote.
ModelValues PriceSurface(const Library& library, Export pricer, const std::vector<FitQuote>& quotes,
                         const HestonParams& params, unsigned threads);

FitResult FitHeston(const Library& library, Export pricer, const std::vector<FitQuote>& quotes,
                    const HestonParams& start, unsigned threads, std::size_t maxIterations);

}  // namespace eurocall::tool

#endif
