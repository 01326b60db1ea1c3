// SPDX-License-Identifier: Apache-2.0
// The exports as a host calls them (through the shared library), on the typical request
// and over the reference rows, and the cost of the numeric-environment switch that every
// export adds around its routine (export against the internal routine, in one loop).
//
// Counters: per_call is the time of one call (seconds, shown in the unit of the
// table); evals is the number of integrand evaluations that one price makes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ReferencePrices.h"
#include "blackscholes/blackscholes.h"
#include "eurocall.h"
#include "heston/PanelSchedules.h"
#include "heston/heston.h"
#include "quadrature/quadrature.h"

namespace eurocall::bench {
namespace {

// The typical request.
constexpr double kS = 100, kK = 100, kT = 1, kR = 0.05, kVol = 0.2, kV0 = 0.04, kTheta = 0.04, kKappa = 1.5,
                 kSigma = 0.3, kRho = -0.7;

// Keeps the compiler from treating an input as a constant.
inline double Opaque(double v) {
  __asm__ volatile("" : "+x"(v));
  return v;
}

const std::vector<ReferencePrice>& Rows() {
  static const std::vector<ReferencePrice> rows = [] {
    std::vector<ReferencePrice> r = ReadReferencePrices(EUROCALL_REFERENCE_PRICES);
    if (r.empty()) std::abort();
    return r;
  }();
  return rows;
}

void PerCall(benchmark::State& state, double callsPerIteration) {
  state.SetItemsProcessed(static_cast<int64_t>(static_cast<double>(state.iterations()) * callsPerIteration));
  state.counters["per_call"] = benchmark::Counter(
      callsPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Integrand evaluations of HestonCall_fast: 16 per panel.
double FastEvaluations(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                       double rho) {
  const double x = LogForwardMoneyness(S, K, T * r);
  double panels = 0;
  SumPanelsOfWidthFour([&](double a, double b) {
    ++panels;
    return IntegratePanel(x, T, v0, theta, kappa, sigma, rho, a, b);
  });
  return 16 * panels;
}

// Integrand evaluations of HestonCall_exact: 16 per panel near the origin plus the
// adaptive integrator's own count, with the parameter record set as the price sets it.
double ExactEvaluations(double S, double K, double T, double r, double v0, double theta, double kappa, double sigma,
                        double rho) {
  const double x = LogForwardMoneyness(S, K, T * r);
  IntegrandParams = {x, kappa, sigma, v0, rho, T, theta};
  double panels = 0;
  double tailStart = 0;
  SumPanelsNearOrigin(
      [&](double a, double b) {
        ++panels;
        return IntegratePanel(x, T, v0, theta, kappa, sigma, rho, a, b);
      },
      tailStart);
  double error = 0;
  int tail = 0;
  IntegrationStatus status{};
  IntegrateToInfinity(IntegrandCallback, tailStart, 1, 0.0, 1e-8, error, tail, status);
  return 16 * panels + tail;
}

// ---- Black–Scholes -------------------------------------------------------------------

void BM_BSCall(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(::BSCall(Opaque(kS), kK, kT, kR, kVol));
  PerCall(state, 1);
}
BENCHMARK(BM_BSCall);

void BM_BSCall_Internal(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(eurocall::BSCall(Opaque(kS), kK, kT, kR, kVol));
  PerCall(state, 1);
}
BENCHMARK(BM_BSCall_Internal);

// Every reference row: the call at its implied volatility, and the volatility of its price.
void BM_BSCall_Rows(benchmark::State& state) {
  const std::vector<ReferencePrice>& rows = Rows();
  for (auto _ : state) {
    for (const ReferencePrice& q : rows) benchmark::DoNotOptimize(::BSCall(Opaque(q.S), q.K, q.T, q.r, q.impliedVol));
  }
  PerCall(state, static_cast<double>(rows.size()));
}
BENCHMARK(BM_BSCall_Rows);

void BM_BSVol_Rows(benchmark::State& state) {
  const std::vector<ReferencePrice>& rows = Rows();
  for (auto _ : state) {
    for (const ReferencePrice& q : rows) benchmark::DoNotOptimize(::BSVol(Opaque(q.S), q.K, q.T, q.r, q.price));
  }
  PerCall(state, static_cast<double>(rows.size()));
}
BENCHMARK(BM_BSVol_Rows);

// The BSVol spread: strikes 70 to 130 by 10, maturities 0.1 to 5 years, each at the
// price of a 25 % volatility, so the search runs its ordinary course on every row.
struct VolCase {
  double K, T, price;
};
const std::vector<VolCase>& VolSpread() {
  static const std::vector<VolCase> cases = [] {
    std::vector<VolCase> c;
    for (double K = 70; K <= 130; K += 10) {
      for (double T : {0.1, 0.25, 0.5, 1.0, 2.0, 5.0}) c.push_back({K, T, eurocall::BSCall(kS, K, T, kR, 0.25)});
    }
    return c;
  }();
  return cases;
}

void BM_BSVol_Typical(benchmark::State& state) {
  const double price = eurocall::BSCall(kS, kK, kT, kR, kVol);
  for (auto _ : state) benchmark::DoNotOptimize(::BSVol(Opaque(kS), kK, kT, kR, price));
  PerCall(state, 1);
}
BENCHMARK(BM_BSVol_Typical);

void BM_BSVol_Spread(benchmark::State& state) {
  const std::vector<VolCase>& cases = VolSpread();
  for (auto _ : state) {
    for (const VolCase& c : cases) benchmark::DoNotOptimize(::BSVol(Opaque(kS), c.K, c.T, kR, c.price));
  }
  PerCall(state, static_cast<double>(cases.size()));
}
BENCHMARK(BM_BSVol_Spread);

// ---- Heston prices --------------------------------------------------------------------

void BM_HestonCall_fast_Typical(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(::HestonCall_fast(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho));
  }
  PerCall(state, 1);
  state.counters["evals"] = FastEvaluations(kS, kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho);
}
BENCHMARK(BM_HestonCall_fast_Typical)->Unit(benchmark::kMicrosecond);

void BM_HestonCall_fast_Internal(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(eurocall::HestonCall_fast(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho));
  }
  PerCall(state, 1);
}
BENCHMARK(BM_HestonCall_fast_Internal)->Unit(benchmark::kMicrosecond);

// Every reference row once per iteration: time per price over the whole grid.
void BM_HestonCall_fast_Rows(benchmark::State& state) {
  const std::vector<ReferencePrice>& rows = Rows();
  for (auto _ : state) {
    for (const ReferencePrice& q : rows) {
      benchmark::DoNotOptimize(
          ::HestonCall_fast(Opaque(q.S), q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho));
    }
  }
  PerCall(state, static_cast<double>(rows.size()));
  double evals = 0;
  for (const ReferencePrice& q : rows) evals += FastEvaluations(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
  state.counters["evals"] = evals / static_cast<double>(rows.size());
}
BENCHMARK(BM_HestonCall_fast_Rows)->Unit(benchmark::kMicrosecond);

void BM_HestonCall_exact_Typical(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(::HestonCall_exact(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho));
  }
  PerCall(state, 1);
  state.counters["evals"] = ExactEvaluations(kS, kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho);
}
BENCHMARK(BM_HestonCall_exact_Typical)->Unit(benchmark::kMicrosecond);

void BM_HestonCall_exact_Rows(benchmark::State& state) {
  const std::vector<ReferencePrice>& rows = Rows();
  for (auto _ : state) {
    for (const ReferencePrice& q : rows) {
      benchmark::DoNotOptimize(
          ::HestonCall_exact(Opaque(q.S), q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho));
    }
  }
  PerCall(state, static_cast<double>(rows.size()));
  double evals = 0;
  for (const ReferencePrice& q : rows) evals += ExactEvaluations(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho);
  state.counters["evals"] = evals / static_cast<double>(rows.size());
}
BENCHMARK(BM_HestonCall_exact_Rows)->Unit(benchmark::kMicrosecond);

void BM_HestonVol_fast_Typical(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(::HestonVol_fast(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho));
  }
  PerCall(state, 1);
}
BENCHMARK(BM_HestonVol_fast_Typical)->Unit(benchmark::kMicrosecond);

void BM_HestonVol_exact_Typical(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(::HestonVol_exact(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho));
  }
  PerCall(state, 1);
}
BENCHMARK(BM_HestonVol_exact_Typical)->Unit(benchmark::kMicrosecond);

void BM_HestonVol_fast_Rows(benchmark::State& state) {
  const std::vector<ReferencePrice>& rows = Rows();
  for (auto _ : state) {
    for (const ReferencePrice& q : rows)
      benchmark::DoNotOptimize(::HestonVol_fast(Opaque(q.S), q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho));
  }
  PerCall(state, static_cast<double>(rows.size()));
}
BENCHMARK(BM_HestonVol_fast_Rows)->Unit(benchmark::kMicrosecond);

void BM_HestonVol_exact_Rows(benchmark::State& state) {
  const std::vector<ReferencePrice>& rows = Rows();
  for (auto _ : state) {
    for (const ReferencePrice& q : rows)
      benchmark::DoNotOptimize(::HestonVol_exact(Opaque(q.S), q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho));
  }
  PerCall(state, static_cast<double>(rows.size()));
}
BENCHMARK(BM_HestonVol_exact_Rows)->Unit(benchmark::kMicrosecond);

// ---- Integrands -------------------------------------------------------------------------

// 64 frequencies from 0.01 to 200, evenly spaced in log phi, at the typical request's
// x = ln(e^(rT) S/K) = rT.
const std::vector<double>& PhiSpread() {
  static const std::vector<double> phis = [] {
    std::vector<double> p;
    for (int i = 0; i < 64; ++i) p.push_back(0.01 * std::pow(20000.0, i / 63.0));
    return p;
  }();
  return phis;
}
const double kX = LogForwardMoneyness(kS, kK, kT * kR);

void BM_theIntegrand_Spread(benchmark::State& state) {
  for (auto _ : state) {
    for (double phi : PhiSpread())
      benchmark::DoNotOptimize(::theIntegrand(kX, kT, kV0, kTheta, kKappa, kSigma, kRho, Opaque(phi)));
  }
  PerCall(state, static_cast<double>(PhiSpread().size()));
}
BENCHMARK(BM_theIntegrand_Spread);

// Every reference row's parameters at its own x, over the same phi spread.
void BM_theIntegrand_Rows(benchmark::State& state) {
  const std::vector<ReferencePrice>& rows = Rows();
  std::vector<double> xs;
  for (const ReferencePrice& q : rows) xs.push_back(LogForwardMoneyness(q.S, q.K, q.T * q.r));
  for (auto _ : state) {
    for (size_t i = 0; i < rows.size(); ++i) {
      const ReferencePrice& q = rows[i];
      for (double phi : PhiSpread())
        benchmark::DoNotOptimize(::theIntegrand(xs[i], q.T, q.v0, q.theta, q.kappa, q.sigma, q.rho, Opaque(phi)));
    }
  }
  PerCall(state, static_cast<double>(rows.size() * PhiSpread().size()));
}
BENCHMARK(BM_theIntegrand_Rows);

void BM_RealIntegrand_j1_Spread(benchmark::State& state) {
  for (auto _ : state) {
    for (double phi : PhiSpread())
      benchmark::DoNotOptimize(::RealIntegrand_j1(kX, kT, kTheta, kV0, kKappa, kSigma, kRho, Opaque(phi)));
  }
  PerCall(state, static_cast<double>(PhiSpread().size()));
}
BENCHMARK(BM_RealIntegrand_j1_Spread);

void BM_RealIntegrand_j0_Spread(benchmark::State& state) {
  for (auto _ : state) {
    for (double phi : PhiSpread())
      benchmark::DoNotOptimize(::RealIntegrand_j0(kX, kT, kTheta, kV0, kKappa, kSigma, kRho, Opaque(phi)));
  }
  PerCall(state, static_cast<double>(PhiSpread().size()));
}
BENCHMARK(BM_RealIntegrand_j0_Spread);

// ---- The numeric-environment switch --------------------------------------------------

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t h = v.size() / 2;
  return v.size() % 2 ? v[h] : 0.5 * (v[h - 1] + v[h]);
}

// Export and internal routine alternate in one loop, each timed over a batch, so the
// difference is measured under one machine state: switch_ns is what the export adds.
template <class Export, class Internal>
void EnvironmentSwitch(benchmark::State& state, int batch, Export exported, Internal internal) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> tExport, tInternal, difference;
  bool exportFirst = true;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int i = 0; i < batch; ++i) benchmark::DoNotOptimize(exportFirst ? exported() : internal());
    const auto t1 = Clock::now();
    for (int i = 0; i < batch; ++i) benchmark::DoNotOptimize(exportFirst ? internal() : exported());
    const auto t2 = Clock::now();
    const double first = std::chrono::duration<double>(t1 - t0).count() / batch;
    const double second = std::chrono::duration<double>(t2 - t1).count() / batch;
    const double e = exportFirst ? first : second, n = exportFirst ? second : first;
    tExport.push_back(e);
    tInternal.push_back(n);
    difference.push_back(e - n);
    state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    exportFirst = !exportFirst;
  }
  // Medians over the iterations: a burst of load elsewhere moves them little.
  state.counters["export_ns"] = Median(tExport) * 1e9;
  state.counters["internal_ns"] = Median(tInternal) * 1e9;
  state.counters["switch_ns"] = Median(difference) * 1e9;
}

void BM_EnvironmentSwitch_BSCall(benchmark::State& state) {
  EnvironmentSwitch(
      state, 256, [] { return ::BSCall(Opaque(kS), kK, kT, kR, kVol); },
      [] { return eurocall::BSCall(Opaque(kS), kK, kT, kR, kVol); });
}
BENCHMARK(BM_EnvironmentSwitch_BSCall)->UseManualTime();

void BM_EnvironmentSwitch_HestonCall_fast(benchmark::State& state) {
  EnvironmentSwitch(
      state, 4, [] { return ::HestonCall_fast(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho); },
      [] { return eurocall::HestonCall_fast(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho); });
}
BENCHMARK(BM_EnvironmentSwitch_HestonCall_fast)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_EnvironmentSwitch_HestonCall_exact(benchmark::State& state) {
  EnvironmentSwitch(
      state, 4, [] { return ::HestonCall_exact(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho); },
      [] { return eurocall::HestonCall_exact(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho); });
}
BENCHMARK(BM_EnvironmentSwitch_HestonCall_exact)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace eurocall::bench

BENCHMARK_MAIN();
