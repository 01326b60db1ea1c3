// SPDX-License-Identifier: Apache-2.0
// eurocall_calibration_side_by_side [--quick]
//
// One Heston calibration of a 5-maturity x 8-strike surface, timed side by side with
// QuantLib's in one run: the tool's fit (HestonFit: GSL's Levenberg-Marquardt on the
// implied-vol errors of the out-of-the-money options, surface priced by
// HestonCall_exact or HestonCall_fast through the shared library, one thread) against
// QuantLib's HestonModel::calibrate (its Levenberg-Marquardt over HestonModelHelpers
// with ImpliedVolError, AnalyticHestonEngine at its default Gauss-Laguerre order 144).
// Both start from v0 = theta = 0.1, kappa = 1, sigma = 0.5, rho = -0.5 on the same
// quotes; the calibrations alternate (ours first in even rounds) and the table gives
// medians over the rounds.
//
// The quotes: the implied vols of HestonCall_exact at v0 = 0.05, theta = 0.06,
// kappa = 2, sigma = 0.5, rho = -0.7 (S = 100, r = 0.03, q = 0), moved by a fixed
// pattern of up to 0.2 vol points so that no parameters fit exactly, as in a market.
#include <ql/models/equity/hestonmodel.hpp>
#include <ql/models/equity/hestonmodelhelper.hpp>
#include <ql/math/optimization/levenbergmarquardt.hpp>
#include <ql/pricingengines/vanilla/analytichestonengine.hpp>
#include <ql/processes/hestonprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HestonFit.h"
#include "Library.h"
#include "eurocall.h"

namespace {

namespace ql = QuantLib;
using eurocall::tool::FitQuote;
using eurocall::tool::HestonParams;

constexpr double kSpot = 100, kRate = 0.03;
constexpr int kDays[] = {30, 91, 182, 365, 730};  // Actual/365 Fixed: T = days / 365 on both sides
constexpr double kStrikes[] = {80, 88, 95, 100, 105, 112, 120, 130};
constexpr HestonParams kMarketModel = {0.05, 0.06, 2.0, 0.5, -0.7};
constexpr HestonParams kStart = {0.1, 0.1, 1.0, 0.5, -0.5};

struct Quote {
  int days;
  double T, K, vol;
};

std::vector<Quote> MarketQuotes() {
  std::vector<Quote> quotes;
  int i = 0;
  for (int days : kDays) {
    for (double K : kStrikes) {
      const double T = days / 365.0;
      const double vol = ::HestonVol_exact(kSpot, K, T, kRate, kMarketModel[0], kMarketModel[1], kMarketModel[2],
                                           kMarketModel[3], kMarketModel[4]);
      quotes.push_back({days, T, K, vol + 0.002 * std::sin(1.7 * ++i)});
    }
  }
  return quotes;
}

struct Run {
  double seconds = 0;
  HestonParams params{};
  double sse = 0;          // vol points squared
  long evaluations = 0;    // of the whole surface
  long iterations = 0;     // optimiser steps (-1: not reported)
};

Run Ours(const eurocall::tool::Library& library, eurocall::tool::Export pricer, const std::vector<Quote>& market) {
  std::vector<FitQuote> quotes;
  for (const Quote& q : market) {
    FitQuote f{kSpot, q.K, q.T, kRate, 0, eurocall::tool::MakeOtmOption(kSpot, q.K, q.T, kRate, 0), q.vol, 0};
    f.marketPrice = eurocall::tool::OtmPrice(f.option, q.vol);
    quotes.push_back(f);
  }
  const auto t0 = std::chrono::steady_clock::now();
  const eurocall::tool::FitResult fit = eurocall::tool::FitHeston(library, pricer, quotes, kStart, 1, 200);
  Run run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  run.params = fit.params;
  for (std::size_t i = 0; i < quotes.size(); ++i) {
    const double e = 100 * (fit.model.vols[i] - quotes[i].marketVol);
    run.sse += e * e;
  }
  run.evaluations = long(fit.evaluations);
  run.iterations = long(fit.iterations);
  return run;
}

Run QuantLibs(const std::vector<Quote>& market) {
  // The evaluation date is left at today's date: this binary and the QuantLib library
  // each hold their own Settings singleton, and only today's date is the same in both.
  const ql::Date today = ql::Date::todaysDate();
  const ql::DayCounter dc = ql::Actual365Fixed();
  const ql::Handle<ql::YieldTermStructure> rates(ql::ext::make_shared<ql::FlatForward>(today, kRate, dc));
  const ql::Handle<ql::YieldTermStructure> dividends(ql::ext::make_shared<ql::FlatForward>(today, 0.0, dc));
  const ql::Handle<ql::Quote> spot(ql::ext::make_shared<ql::SimpleQuote>(kSpot));
  const auto process = ql::ext::make_shared<ql::HestonProcess>(rates, dividends, spot, kStart[0], kStart[2],
                                                                kStart[1], kStart[3], kStart[4]);
  const auto model = ql::ext::make_shared<ql::HestonModel>(process);
  const auto engine = ql::ext::make_shared<ql::AnalyticHestonEngine>(model);
  std::vector<ql::ext::shared_ptr<ql::CalibrationHelper>> helpers;
  std::vector<ql::ext::shared_ptr<ql::HestonModelHelper>> hestonHelpers;
  for (const Quote& q : market) {
    const ql::Handle<ql::Quote> vol(ql::ext::make_shared<ql::SimpleQuote>(q.vol));
    auto helper = ql::ext::make_shared<ql::HestonModelHelper>(ql::Period(q.days, ql::Days), ql::NullCalendar(), kSpot,
                                                              q.K, vol, rates, dividends,
                                                              ql::BlackCalibrationHelper::ImpliedVolError);
    helper->setPricingEngine(engine);
    helpers.push_back(helper);
    hestonHelpers.push_back(helper);
  }
  ql::LevenbergMarquardt lm(1e-8, 1e-8, 1e-8);
  const auto t0 = std::chrono::steady_clock::now();
  model->calibrate(helpers, lm, ql::EndCriteria(400, 40, 1e-8, 1e-8, 1e-8));
  Run run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  run.params = {model->v0(), model->theta(), model->kappa(), model->sigma(), model->rho()};
  for (const auto& h : hestonHelpers) {
    const double e = 100 * h->calibrationError();
    run.sse += e * e;
  }
  run.evaluations = model->functionEvaluation();
  run.iterations = -1;
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Row(const char* name, const std::vector<Run>& runs, std::size_t quotes) {
  std::vector<double> seconds;
  for (const Run& r : runs) seconds.push_back(r.seconds);
  const Run& r = runs.front();  // every round computes the same fit
  const double t = Median(seconds);
  std::printf("| %s | %.3g s | %ld | %s | %.3g | %.0f | %.6g | %.4g, %.4g, %.4g, %.4g, %.4g |\n", name, t,
              r.evaluations, r.iterations < 0 ? "-" : (std::to_string(r.iterations) + " (" +
                                                       std::to_string(long(1e3 * t / r.iterations)) + " ms each)").c_str(),
              1e3 * t / r.evaluations, double(r.evaluations) * double(quotes) / t, r.sse, r.params[0], r.params[1],
              r.params[2], r.params[3], r.params[4]);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int rounds = quick ? 1 : 5;
  // The tool's fit loads the library by name at run time, as the tool does: this build's.
  setenv("EUROCALL_LIBRARY", EUROCALL_LIBRARY_FILE, 1);
  eurocall::tool::Library library;
  std::string why;
  if (!library.Load(argc > 0 ? argv[0] : "", &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  const std::vector<Quote> market = MarketQuotes();
  std::vector<Run> exact, fast, quantlib;
  for (int r = 0; r < rounds; ++r) {
    if (r % 2 == 0) exact.push_back(Ours(library, eurocall::tool::Export::HestonCall_exact, market));
    quantlib.push_back(QuantLibs(market));
    if (r % 2 == 1) exact.push_back(Ours(library, eurocall::tool::Export::HestonCall_exact, market));
    fast.push_back(Ours(library, eurocall::tool::Export::HestonCall_fast, market));
  }
  std::printf("One calibration of %zu quotes (5 maturities x 8 strikes), one thread, median of %d rounds.\n"
              "Evaluations: pricings of the whole surface (the Jacobian's included); prices/s: option prices per "
              "second; SSE: sum of squared implied-vol errors, vol points^2.\n\n",
              market.size(), rounds);
  std::printf("| fit | time | evaluations | iterations | ms per evaluation | prices/s | SSE | v0, theta, kappa, sigma, rho |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  Row("eurocall exact (GSL LM)", exact, market.size());
  Row("eurocall fast (GSL LM)", fast, market.size());
  Row("QuantLib 1.29 AnalyticHestonEngine (LM)", quantlib, market.size());
  std::vector<double> ratio;
  for (std::size_t i = 0; i < exact.size(); ++i) ratio.push_back(exact[i].seconds / quantlib[i].seconds);
  std::printf("\nTime ratio eurocall exact / QuantLib, median over the rounds: %.3g\n", Median(ratio));
  return 0;
}
