// SPDX-License-Identifier: Apache-2.0
// A smile of N strikes (70 to 130, one maturity and parameter set, the typical request
// otherwise) priced by one HestonCall_array call against N calls of the scalar export,
// fast and exact. per_option is the time of one option. Run interleaved, e.g.
//   eurocall_bench --benchmark_filter=Smile --benchmark_enable_random_interleaving=true
//                  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <vector>

#include "eurocall.h"
#include "eurocall_array.h"

namespace eurocall::bench {
namespace {

constexpr double kS = 100, kT = 1, kR = 0.05, kV0 = 0.04, kTheta = 0.04, kKappa = 1.5, kSigma = 0.3, kRho = -0.7;

std::vector<double> Strikes(int n) {
  std::vector<double> K(n);
  for (int i = 0; i < n; ++i) K[i] = (n == 1) ? 100.0 : 70.0 + 60.0 * i / (n - 1);
  return K;
}

void PerOption(benchmark::State& state, int n) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
  state.counters["per_option"] =
      benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void SmileInOneArrayCall(benchmark::State& state, int method) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> K = Strikes(n);
  std::vector<double> out(n);
  const double S = kS, T = kT, r = kR, v0 = kV0, theta = kTheta, kappa = kKappa, sigma = kSigma, rho = kRho;
  for (auto _ : state) {
    HestonCall_array(method, n, &S, 0, K.data(), 1, &T, 0, &r, 0, &v0, 0, &theta, 0, &kappa, 0, &sigma, 0, &rho, 0,
                     out.data(), 1);
    benchmark::DoNotOptimize(out.data());
  }
  PerOption(state, n);
}

void SmileInScalarCalls(benchmark::State& state, double (*price)(double, double, double, double, double, double,
                                                                   double, double, double)) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> K = Strikes(n);
  std::vector<double> out(n);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) out[i] = price(kS, K[i], kT, kR, kV0, kTheta, kKappa, kSigma, kRho);
    benchmark::DoNotOptimize(out.data());
  }
  PerOption(state, n);
}

void BM_SmileFast_Array(benchmark::State& state) { SmileInOneArrayCall(state, EUROCALL_FAST); }
void BM_SmileFast_Scalar(benchmark::State& state) { SmileInScalarCalls(state, HestonCall_fast); }
void BM_SmileExact_Array(benchmark::State& state) { SmileInOneArrayCall(state, EUROCALL_EXACT); }
void BM_SmileExact_Scalar(benchmark::State& state) { SmileInScalarCalls(state, HestonCall_exact); }

BENCHMARK(BM_SmileFast_Array)->Arg(1)->Arg(5)->Arg(20)->Arg(50);
BENCHMARK(BM_SmileFast_Scalar)->Arg(1)->Arg(5)->Arg(20)->Arg(50);
BENCHMARK(BM_SmileExact_Array)->Arg(1)->Arg(5)->Arg(20)->Arg(50);
BENCHMARK(BM_SmileExact_Scalar)->Arg(1)->Arg(5)->Arg(20)->Arg(50);

}  // namespace
}  // namespace eurocall::bench
