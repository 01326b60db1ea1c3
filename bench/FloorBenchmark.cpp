// SPDX-License-Identifier: Apache-2.0
// The floor of one combined integrand evaluation: the maths-library calls and
// divisions that the closed form needs by its operation count, on the arguments that
// the integrand really passes, against the integrand as HestonCall_fast evaluates it
// at the same nodes (the price's time over its 656 evaluations).
//
// One evaluation of e^x j1 - j0 needs, per integrand, three square roots, two
// exponentials, two sines, one cosine, one atan2, one logarithm and five divisions
// (1/|B|^2, 1/|P|^2, 1/sigma^2, v0/|Q|^2, 1/phi), and one exponential more for e^x:
// 31 operations. The nodes are those of HestonCall_fast on the typical request
// (41 panels of 16); the arguments are recorded by running the library's own closed
// form with a maths policy that writes them down, and the recorded price is checked to
// be the library's price bit for bit, so the floor sees exactly the inputs the
// integrand sees. The floor's calls are independent of one another (each result goes
// to its own accumulator), so the processor may overlap them as far as it can: the
// lowest cost at which that mix of calls can run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "heston/IntegrandLanes.h"
#include "heston/IntegrandTerms.h"
#include "heston/PanelSchedules.h"
#include "heston/GaussLegendreRule.h"
#include "heston/heston.h"

namespace eurocall::bench {
namespace {

// The compiler must not hoist or fold a value through this.
inline double Opaque(double v) {
  __asm__ volatile("" : "+x"(v));
  return v;
}

// The arguments of every maths call of the closed form, in call order.
struct Recorded {
  std::vector<double> roots, exps, sincos, logs, atanY, atanX, sins, cosines;
};

struct RecordingMaths {
  Recorded* rec;
  double Root(double v) const {
    rec->roots.push_back(v);
    return RootOfNonNegative(v);
  }
  double Exp(double v) const {
    rec->exps.push_back(v);
    return std::exp(v);
  }
  double Log(double v) const {
    rec->logs.push_back(v);
    return std::log(v);
  }
  double Sin(double v) const {
    rec->sins.push_back(v);
    return std::sin(v);
  }
  double Cos(double v) const {
    rec->cosines.push_back(v);
    return std::cos(v);
  }
  double Atan2(double y, double x) const {
    rec->atanY.push_back(y);
    rec->atanX.push_back(x);
    return std::atan2(y, x);
  }
  void SinCos(double v, double& s, double& c) const {
    rec->sincos.push_back(v);
    RuntimeMaths{}.SinCos(v, s, c);
  }
};

// The typical request.
constexpr double kS = 100, kK = 100, kT = 1, kR = 0.05, kV0 = 0.04, kTheta = 0.04, kKappa = 1.5, kSigma = 0.3,
                 kRho = -0.7;

// The floor's inputs, one record per combined evaluation.
struct FloorInput {
  double root[6];    // three per integrand
  double exp[5];     // e^(-Re d T) and the final exponential per integrand, then e^x
  double trig[2];    // the argument of one sine and one cosine per integrand
  double sin[2];     // the final sine per integrand
  double log[2];
  double atanY[2], atanX[2];
  double div[5];     // five divisors per integrand: |B|^2, |P|^2 stand-ins, sigma^2, |Q|^2, phi
  double v0;
};

struct Nodes {
  IntegrandTerms terms;
  double x, expX;
  std::vector<double> phi;          // the floored nodes, in evaluation order
  std::vector<FloorInput> floor;
};

const Nodes& TypicalNodes() {
  static const Nodes nodes = [] {
    Nodes n;
    Recorded rec;
    const RecordingMaths m{&rec};
    const double rT = kT * kR;
    n.x = LogForwardMoneyness(kS, kK, rT);
    n.terms = FormIntegrandTerms(kT, kTheta, kV0, kKappa, kSigma, kRho);
    n.expX = std::exp(n.x);
    // HestonCall_fast's panels, each node evaluated alone so that the record of every
    // evaluation stays together.
    const double total = SumPanelsOfWidthFour([&](double a, double b) {
      double phi[16], f[16];
      GaussLegendreNodes(a, b, phi);
      for (int k = 0; k < 16; ++k) {
        const double phiUsed = FlooredPhi(phi[k]);
        n.phi.push_back(phiUsed);
        CombinedIntegrandAt<1>(m, n.terms, n.x, n.expX, &phiUsed, &f[k]);
      }
      return GaussLegendreSum(a, b, f);
    });
    const double price = PriceFromIntegral(kS, kK, std::exp(-rT), total);
    const double library = HestonCall_fast(kS, kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho);
    const size_t e = n.phi.size();
    if (price != library || rec.roots.size() != 6 * e || rec.exps.size() != 4 * e || rec.sincos.size() != 2 * e ||
        rec.sins.size() != 2 * e || rec.logs.size() != 2 * e || rec.atanY.size() != 2 * e) {
      std::fprintf(stderr, "floor: the recorded evaluation is not the library's\n");
      std::abort();
    }
    for (size_t i = 0; i < e; ++i) {
      FloorInput f;
      for (int k = 0; k < 6; ++k) f.root[k] = rec.roots[6 * i + k];
      for (int k = 0; k < 4; ++k) f.exp[k] = rec.exps[4 * i + k];
      f.exp[4] = n.x;
      for (int j = 0; j < 2; ++j) {
        f.trig[j] = rec.sincos[2 * i + j];
        f.sin[j] = rec.sins[2 * i + j];
        f.log[j] = rec.logs[2 * i + j];
        f.atanY[j] = rec.atanY[2 * i + j];
        f.atanX[j] = rec.atanX[2 * i + j];
      }
      // Division takes the same time for any two normal operands, so the divisors are
      // ordinary values of the evaluation: |Z|^2 and 2M + 2 Re Z of each integrand
      // stand in for |B|^2 and |P|^2; sigma^2, phi and the log argument are the real ones.
      f.div[0] = f.root[0];
      f.div[1] = f.root[1];
      f.div[2] = n.terms.sigma2;
      f.div[3] = f.log[0];
      f.div[4] = n.phi[i];
      f.v0 = n.terms.v0;
      n.floor.push_back(f);
    }
    return n;
  }();
  return nodes;
}

// The 31 operations of one evaluation, each into its own accumulator.
inline void FloorMix(const FloorInput& f, double* acc) {
  for (int k = 0; k < 6; ++k) acc[k] += std::sqrt(Opaque(f.root[k]));
  for (int k = 0; k < 5; ++k) acc[6 + k] += std::exp(Opaque(f.exp[k]));
  for (int j = 0; j < 2; ++j) {
    acc[11 + j] += std::sin(Opaque(f.trig[j]));
    acc[13 + j] += std::cos(Opaque(f.trig[j]));
    acc[15 + j] += std::sin(Opaque(f.sin[j]));
    acc[17 + j] += std::log(Opaque(f.log[j]));
    acc[19 + j] += std::atan2(Opaque(f.atanY[j]), Opaque(f.atanX[j]));
  }
  // Five divisions per integrand, two integrands.
  for (int j = 0; j < 2; ++j) {
    acc[21 + 5 * j] += 1.0 / Opaque(f.div[0]);
    acc[22 + 5 * j] += 1.0 / Opaque(f.div[1]);
    acc[23 + 5 * j] += 1.0 / Opaque(f.div[2]);
    acc[24 + 5 * j] += Opaque(f.v0) / Opaque(f.div[3]);
    acc[25 + 5 * j] += 1.0 / Opaque(f.div[4]);
  }
}

double FloorSweep(const Nodes& n) {
  double acc[31] = {};
  for (const FloorInput& f : n.floor) FloorMix(f, acc);
  double s = 0;
  for (double a : acc) s += a;
  return s;
}

// The integrand as a price evaluates it: HestonCall_fast itself, compiled in the
// library, on the request whose nodes the floor replays; its time over the number of
// evaluations is the cost of one evaluation with the panels' own work (node placement,
// eight weighted additions per panel, the schedule) charged to it as well.
double IntegrandSweep(const Nodes&) {
  return HestonCall_fast(Opaque(kS), kK, kT, kR, kV0, kTheta, kKappa, kSigma, kRho);
}

// The public theIntegrand, which forms its terms and e^x on every call.
double TheIntegrandSweep(const Nodes& n) {
  double s = 0;
  for (double phi : n.phi) s += theIntegrand(n.x, kT, kV0, kTheta, kKappa, kSigma, kRho, Opaque(phi));
  return s;
}

void SetPerEvaluation(benchmark::State& state, const Nodes& n) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n.phi.size()));
  state.counters["per_eval"] = benchmark::Counter(static_cast<double>(n.phi.size()),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_Floor_MathsMix(benchmark::State& state) {
  const Nodes& n = TypicalNodes();
  for (auto _ : state) benchmark::DoNotOptimize(FloorSweep(n));
  SetPerEvaluation(state, n);
}
BENCHMARK(BM_Floor_MathsMix);

void BM_Integrand_InPrice(benchmark::State& state) {
  const Nodes& n = TypicalNodes();
  for (auto _ : state) benchmark::DoNotOptimize(IntegrandSweep(n));
  SetPerEvaluation(state, n);
}
BENCHMARK(BM_Integrand_InPrice);

void BM_Integrand_theIntegrandInternal(benchmark::State& state) {
  const Nodes& n = TypicalNodes();
  for (auto _ : state) benchmark::DoNotOptimize(TheIntegrandSweep(n));
  SetPerEvaluation(state, n);
}
BENCHMARK(BM_Integrand_theIntegrandInternal);

// Integrand and floor timed alternately in every iteration (A B, then B A), so that
// both see the same state of a shared, noisy machine; the figures are medians over the
// iterations, of each time and of the ratio of the two within one iteration, so that a
// burst of load elsewhere moves them little. The ratio is the figure to read.
double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t h = v.size() / 2;
  return v.size() % 2 ? v[h] : 0.5 * (v[h - 1] + v[h]);
}

void BM_IntegrandOverFloor(benchmark::State& state) {
  const Nodes& n = TypicalNodes();
  using Clock = std::chrono::steady_clock;
  std::vector<double> integrand, floor, ratio;
  bool integrandFirst = true;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(integrandFirst ? IntegrandSweep(n) : FloorSweep(n));
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(integrandFirst ? FloorSweep(n) : IntegrandSweep(n));
    const auto t2 = Clock::now();
    const double first = std::chrono::duration<double>(t1 - t0).count();
    const double second = std::chrono::duration<double>(t2 - t1).count();
    const double tIntegrand = integrandFirst ? first : second, tFloor = integrandFirst ? second : first;
    integrand.push_back(tIntegrand);
    floor.push_back(tFloor);
    ratio.push_back(tIntegrand / tFloor);
    state.SetIterationTime(first + second);
    integrandFirst = !integrandFirst;
  }
  const double evals = static_cast<double>(n.phi.size());
  state.counters["integrand_ns"] = Median(integrand) / evals * 1e9;
  state.counters["floor_ns"] = Median(floor) / evals * 1e9;
  state.counters["ratio"] = Median(ratio);
  state.counters["evals"] = evals;
}
BENCHMARK(BM_IntegrandOverFloor)->UseManualTime();

}  // namespace
}  // namespace eurocall::bench
