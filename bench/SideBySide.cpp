// SPDX-License-Identifier: Apache-2.0
// eurocall_side_by_side [--quick]
//
// Times eurocall's exports against the QuantLib routines a quant would otherwise call,
// in one run, on the same options: each pair runs interleaved (A B, then B A, round
// after round), and the table gives for each side the median time of one call with the
// 10th and 90th percentiles of the rounds, the median of the per-round ratios, and
// the absolute error against the reference prices of tests/data/heston_prices.csv
// (how they were made: tests/data/README.md) on the typical request and over all rows.
//
// Both sides are timed on what a caller does per option: our exports take market data
// and parameters as they are; QuantLib's Black formulas get the forward, discount and
// standard deviation computed in the timed call, and its Heston engines are set up
// (process, model, engine, option arguments) before the clock runs, so only
// calculate() is timed: the fairest terms for QuantLib.
//
// Times are per call in the unit shown. --quick runs a handful of rounds (a smoke
// test); without it a run takes some seconds.
#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/models/equity/hestonmodel.hpp>
#include <ql/pricingengines/blackformula.hpp>
#include <ql/pricingengines/vanilla/analytichestonengine.hpp>
#include <ql/pricingengines/vanilla/exponentialfittinghestonengine.hpp>
#include <ql/processes/hestonprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/daycounters/actual360.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "ReferencePrices.h"
#include "eurocall.h"

namespace {

namespace ql = QuantLib;
using eurocall::bench::ReadReferencePrices;
using eurocall::bench::ReferencePrice;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- timing --------------------------------------------------------------------------

struct Spread {
  double median, p10, p90;
};

Spread Percentiles(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&](double q) { return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)]; };
  return {at(0.5), at(0.1), at(0.9)};
}

struct Race {
  Spread a, b;
  double ratio;  // median over the rounds of time(a) / time(b)
};

volatile double gSink;

// Runs a and b alternately, `batch` calls each per turn, for `rounds` rounds.
Race RunRace(const std::function<double()>& a, const std::function<double()>& b, int rounds, int batch) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> ta, tb, ratio;
  double sink = 0;
  for (int w = 0; w < batch; ++w) sink += a() + b();  // warm both up
  for (int r = 0; r < rounds; ++r) {
    double t[2];
    for (int turn = 0; turn < 2; ++turn) {
      const bool runA = (turn == 0) == (r % 2 == 0);
      const auto t0 = Clock::now();
      for (int i = 0; i < batch; ++i) sink += runA ? a() : b();
      const auto t1 = Clock::now();
      t[runA ? 0 : 1] = std::chrono::duration<double>(t1 - t0).count() / batch;
    }
    ta.push_back(t[0]);
    tb.push_back(t[1]);
    ratio.push_back(t[0] / t[1]);
  }
  gSink = sink;
  return {Percentiles(ta), Percentiles(tb), Percentiles(ratio).median};
}

// ---- QuantLib on the same options ----------------------------------------------------

// Every maturity of the reference rows is a whole number of days on Actual/360
// (0.1 y = 36 days, 0.5 y = 180, ...), so QuantLib sees exactly the same T.
const ql::Date kToday(15, ql::January, 2024);

ql::Date Maturity(double T) { return kToday + static_cast<ql::Integer>(std::lround(T * 360.0)); }

enum class Engine { Laguerre144, AndersenPiterbarg128, ExponentialFitting };

const char* EngineName(Engine e) {
  switch (e) {
    case Engine::Laguerre144: return "AnalyticHestonEngine (default: Gauss–Laguerre 144)";
    case Engine::AndersenPiterbarg128: return "AnalyticHestonEngine (Andersen–Piterbarg, Gauss–Laguerre 128)";
    case Engine::ExponentialFitting: return "ExponentialFittingHestonEngine";
  }
  return "";
}

// One option set up for repeated calculate() calls.
class QlHeston {
 public:
  QlHeston(const ReferencePrice& q, Engine kind) {
    const ql::DayCounter dc = ql::Actual360();
    const ql::Handle<ql::YieldTermStructure> rates(ql::ext::make_shared<ql::FlatForward>(kToday, q.r, dc));
    const ql::Handle<ql::YieldTermStructure> dividends(ql::ext::make_shared<ql::FlatForward>(kToday, 0.0, dc));
    const ql::Handle<ql::Quote> spot(ql::ext::make_shared<ql::SimpleQuote>(q.S));
    const auto process =
        ql::ext::make_shared<ql::HestonProcess>(rates, dividends, spot, q.v0, q.kappa, q.theta, q.sigma, q.rho);
    const auto model = ql::ext::make_shared<ql::HestonModel>(process);
    switch (kind) {
      case Engine::Laguerre144:
        engine_ = ql::ext::make_shared<ql::AnalyticHestonEngine>(model);
        break;
      case Engine::AndersenPiterbarg128:
        engine_ = ql::ext::make_shared<ql::AnalyticHestonEngine>(
            model, ql::AnalyticHestonEngine::AndersenPiterbarg, ql::AnalyticHestonEngine::Integration::gaussLaguerre(128));
        break;
      case Engine::ExponentialFitting:
        engine_ = ql::ext::make_shared<ql::ExponentialFittingHestonEngine>(model);
        break;
    }
    ql::VanillaOption option(ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Call, q.K),
                             ql::ext::make_shared<ql::EuropeanExercise>(Maturity(q.T)));
    option.setupArguments(engine_->getArguments());
    engine_->getArguments()->validate();
  }
  double Price() const {
    engine_->calculate();
    return dynamic_cast<const ql::Instrument::results*>(engine_->getResults())->value;
  }

 private:
  ql::ext::shared_ptr<ql::PricingEngine> engine_;
};

double QlBlack(double S, double K, double T, double r, double vol) {
  return ql::blackFormula(ql::Option::Call, K, S * std::exp(r * T), vol * std::sqrt(T), std::exp(-r * T));
}

double QlImpliedVol(double S, double K, double T, double r, double price, bool liRS) {
  try {
    const double F = S * std::exp(r * T), D = std::exp(-r * T);
    const double sd = liRS ? ql::blackFormulaImpliedStdDevLiRS(ql::Option::Call, K, F, price, D)
                           : ql::blackFormulaImpliedStdDev(ql::Option::Call, K, F, price, D);
    return sd / std::sqrt(T);
  } catch (const std::exception&) {
    return kNaN;  // counted as a failure in the error columns
  }
}

// ---- the table -------------------------------------------------------------------------

struct Errors {
  double typical, worst;
  int failures;
};

// |f(row) - expected(row)| on the first row (the typical request) and over all rows.
Errors ErrorsOver(const std::vector<ReferencePrice>& rows, const std::function<double(size_t)>& f,
                  const std::function<double(const ReferencePrice&)>& expected) {
  Errors e{0, 0, 0};
  for (size_t i = 0; i < rows.size(); ++i) {
    const double v = f(i);
    if (!std::isfinite(v)) {
      ++e.failures;
      continue;
    }
    const double err = std::fabs(v - expected(rows[i]));
    if (i == 0) e.typical = err;
    e.worst = std::max(e.worst, err);
  }
  return e;
}

std::string Time(const Spread& s, double unit) {
  char b[96];
  std::snprintf(b, sizeof b, "%.3g (%.3g–%.3g)", s.median / unit, s.p10 / unit, s.p90 / unit);
  return b;
}

std::string Err(const Errors& e) {
  char b[96];
  if (e.failures) {
    std::snprintf(b, sizeof b, "%.1e / %.1e (%d failed)", e.typical, e.worst, e.failures);
  } else {
    std::snprintf(b, sizeof b, "%.1e / %.1e", e.typical, e.worst);
  }
  return b;
}

void Row(const char* ours, const char* theirs, const Race& r, double unit, const Errors& eo, const Errors& et) {
  std::printf("| `%s` | %s | %s | %s | **%.2f** | %s | %s |\n", ours, theirs, Time(r.a, unit).c_str(),
              Time(r.b, unit).c_str(), r.ratio, Err(eo).c_str(), Err(et).c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const std::vector<ReferencePrice> rows = ReadReferencePrices(EUROCALL_REFERENCE_PRICES);
  if (rows.empty()) return 1;
  ql::Settings::instance().evaluationDate() = kToday;
  const ReferencePrice& t = rows[0];  // the typical request
  const int scale = quick ? 1 : 20;

  std::printf("Typical request: S = K = 100, T = 1, r = 0.05, v0 = theta = 0.04, kappa = 1.5, sigma = 0.3, "
              "rho = -0.7 (Black–Scholes rows: the reference implied volatility %.6g and price %.6g).\n"
              "Times per call, median (10th–90th percentile over %d+ interleaved rounds); ratio = ours / QuantLib "
              "(below 1: ours is faster). Errors: |result − reference| on the typical request / largest over "
              "the %zu reference rows (prices against `price`, volatilities against `implied_vol`).\n\n",
              t.impliedVol, t.price, 10 * scale, rows.size());
  std::printf("| eurocall | QuantLib 1.29 | eurocall | QuantLib | ratio | eurocall error | QuantLib error |\n");
  std::printf("|---|---|---|---|---|---|---|\n");

  // Black–Scholes price, at the reference volatility of each row.
  {
    const Race r = RunRace([&] { return ::BSCall(t.S, t.K, t.T, t.r, t.impliedVol); },
                           [&] { return QlBlack(t.S, t.K, t.T, t.r, t.impliedVol); }, 30 * scale, 2000);
    auto expected = [](const ReferencePrice& q) { return q.price; };
    const Errors eo = ErrorsOver(rows, [&](size_t i) {
      const ReferencePrice& q = rows[i];
      return ::BSCall(q.S, q.K, q.T, q.r, q.impliedVol);
    }, expected);
    const Errors et = ErrorsOver(rows, [&](size_t i) {
      const ReferencePrice& q = rows[i];
      return QlBlack(q.S, q.K, q.T, q.r, q.impliedVol);
    }, expected);
    Row("BSCall", "blackFormula", r, 1e-9, eo, et);
  }

  // Implied volatility of each row's reference price.
  for (bool liRS : {false, true}) {
    const Race r = RunRace([&] { return ::BSVol(t.S, t.K, t.T, t.r, t.price); },
                           [&] { return QlImpliedVol(t.S, t.K, t.T, t.r, t.price, liRS); }, 30 * scale, 200);
    auto expected = [](const ReferencePrice& q) { return q.impliedVol; };
    const Errors eo = ErrorsOver(rows, [&](size_t i) {
      const ReferencePrice& q = rows[i];
      return ::BSVol(q.S, q.K, q.T, q.r, q.price);
    }, expected);
    const Errors et = ErrorsOver(rows, [&](size_t i) {
      const ReferencePrice& q = rows[i];
      return QlImpliedVol(q.S, q.K, q.T, q.r, q.price, liRS);
    }, expected);
    Row("BSVol", liRS ? "blackFormulaImpliedStdDevLiRS" : "blackFormulaImpliedStdDev (default accuracy)", r, 1e-9,
        eo, et);
  }

  // Heston prices against each engine, and HestonVol_exact against the engine's price
  // turned into a volatility by QuantLib's default inversion.
  using HestonFn = double (*)(double, double, double, double, double, double, double, double, double);
  struct Ours {
    const char* name;
    HestonFn f;
    bool volatility;
  };
  const Ours ours[] = {{"HestonCall_fast", ::HestonCall_fast, false},
                       {"HestonCall_exact", ::HestonCall_exact, false},
                       {"HestonVol_exact", ::HestonVol_exact, true}};
  constexpr size_t kOurs = sizeof ours / sizeof ours[0];
  auto expectedOf = [](bool volatility) {
    return volatility ? std::function<double(const ReferencePrice&)>([](const ReferencePrice& q) { return q.impliedVol; })
                      : std::function<double(const ReferencePrice&)>([](const ReferencePrice& q) { return q.price; });
  };
  auto theirs = [&rows](const std::vector<QlHeston>& engines, size_t i, bool volatility) {
    const double price = engines[i].Price();
    if (!volatility) return price;
    const ReferencePrice& q = rows[i];
    return QlImpliedVol(q.S, q.K, q.T, q.r, price, false);
  };
  auto theirName = [](Engine kind, bool volatility) {
    return std::string(EngineName(kind)) + (volatility ? ", then blackFormulaImpliedStdDev" : "");
  };
  std::vector<Errors> ourErrors;
  for (const Ours& o : ours) {
    ourErrors.push_back(ErrorsOver(rows, [&](size_t i) {
      const ReferencePrice& q = rows[i];
      return o.f(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
    }, expectedOf(o.volatility)));
  }
  for (Engine kind : {Engine::Laguerre144, Engine::AndersenPiterbarg128, Engine::ExponentialFitting}) {
    std::vector<QlHeston> engines;
    for (const ReferencePrice& q : rows) engines.emplace_back(q, kind);
    for (size_t k = 0; k < kOurs; ++k) {
      const Ours& o = ours[k];
      const Errors et = ErrorsOver(rows, [&](size_t i) { return theirs(engines, i, o.volatility); },
                                   expectedOf(o.volatility));
      const Race r = RunRace([&] { return o.f(t.S, t.K, t.T, t.r, t.v0, t.theta, t.kappa, t.sigma, t.rho); },
                             [&] { return theirs(engines, 0, o.volatility); }, 10 * scale, 3);
      Row(o.name, theirName(kind, o.volatility).c_str(), r, 1e-6, ourErrors[k], et);
    }
  }

  // Time per price over all reference rows, each side pricing the whole grid in a turn.
  std::printf("\nOver all %zu reference rows (time per call, µs):\n\n", rows.size());
  std::printf("| eurocall | QuantLib 1.29 | eurocall | QuantLib | ratio |\n|---|---|---|---|---|\n");
  for (Engine kind : {Engine::Laguerre144, Engine::AndersenPiterbarg128, Engine::ExponentialFitting}) {
    std::vector<QlHeston> engines;
    for (const ReferencePrice& q : rows) engines.emplace_back(q, kind);
    for (const Ours& o : ours) {
      const double n = static_cast<double>(rows.size());
      const Race r = RunRace(
          [&] {
            double s = 0;
            for (const ReferencePrice& q : rows) s += o.f(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
            return s;
          },
          [&] {
            double s = 0;
            for (size_t i = 0; i < rows.size(); ++i) s += theirs(engines, i, o.volatility);
            return s;
          },
          quick ? 2 : 15, 1);
      std::printf("| `%s` | %s | %.3g | %.3g | **%.2f** |\n", o.name, theirName(kind, o.volatility).c_str(),
                  r.a.median / n * 1e6, r.b.median / n * 1e6, r.ratio);
      std::fflush(stdout);
    }
  }
  return 0;
}
