// SPDX-License-Identifier: Apache-2.0
// eurocall_bitcompare BEFORE.so AFTER.so [cases] [--time [--rounds N]]
//
// Loads two builds of the shared library side by side and calls every export that both
// have on the same inputs: a few thousand random realistic requests per export (fixed
// seed, so every run draws the same ones) plus a short list of degenerate ones (zeros,
// infinities, NaN, phi at its floor). Any result whose bits differ is printed and makes
// the exit status 1; an optimisation that claims to change nothing must leave it 0.
// Two NaNs are the one exception, counted apart: IEEE arithmetic leaves the sign and
// payload of a NaN result open (on x86 it is whichever operand the compiler happened
// to put first), and the library's own tests treat every NaN as the same value.
//
// Typical use: build the commit before a change into one directory, the change into
// another, and compare the two libeurocall.so files. With --time it also times every
// export of both builds on the typical request, the two alternating batch by batch for
// 41 rounds (or N), and prints the median time per call of each and the median ratio;
// the four Heston exports also over the reference rows of tests/data/heston_prices.csv.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ReferencePrices.h"

namespace {

using Fn5 = double (*)(double, double, double, double, double);
using Fn8 = double (*)(double, double, double, double, double, double, double, double);
using Fn9 = double (*)(double, double, double, double, double, double, double, double, double);

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

struct Library {
  void* handle = nullptr;
  void* Find(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }
};

Library Open(const char* path) {
  Library lib;
  lib.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!lib.handle) std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
  return lib;
}

// One random realistic request: market data, a Black–Scholes volatility, Heston
// parameters and a frequency, each over the range a desk would use.
struct Request {
  double S, K, T, r, vol, v0, theta, kappa, sigma, rho, phi;
};

Request Draw(std::mt19937_64& g) {
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(g); };
  auto logUniform = [&](double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); };
  Request q;
  q.S = uniform(50, 150);
  q.K = q.S * logUniform(0.6, 1.6);
  q.T = logUniform(0.02, 10);
  q.r = uniform(-0.01, 0.1);
  q.vol = logUniform(0.03, 1.5);
  q.v0 = logUniform(0.002, 0.5);
  q.theta = logUniform(0.002, 0.5);
  q.kappa = logUniform(0.05, 8);
  q.sigma = logUniform(0.02, 2);
  q.rho = uniform(-0.99, 0.99);
  q.phi = logUniform(1e-4, 300);
  return q;
}

struct Tally {
  long calls = 0, differ = 0, nanBits = 0;
};

void Compare(const char* name, const Request& q, double before, double after, Tally& t) {
  ++t.calls;
  if (Bits(before) == Bits(after)) return;
  if (std::isnan(before) && std::isnan(after)) {
    ++t.nanBits;
    return;
  }
  if (++t.differ <= 5) {
    std::printf("  %s differs: S=%.17g K=%.17g T=%.17g r=%.17g vol=%.17g v0=%.17g theta=%.17g kappa=%.17g "
                "sigma=%.17g rho=%.17g phi=%.17g: %.17g vs %.17g\n",
                name, q.S, q.K, q.T, q.r, q.vol, q.v0, q.theta, q.kappa, q.sigma, q.rho, q.phi, before, after);
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median time per call of before() and after(), alternating batches of `batch` calls
// over `rounds` rounds, and the median over the rounds of the ratio after/before within
// one round: the figure that machine load moves least (two identical builds read 1.000).
// One call of before() or after() may make `exportCalls` calls of the export (a pass
// over the reference rows); the times are per export call.
template <class F>
void TimeBoth(const char* name, F before, F after, int batch, int rounds, int exportCalls = 1) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> ta, tb, ratio;
  volatile double sink = 0;
  for (int round = 0; round < rounds; ++round) {
    double t[2] = {0, 0};
    for (int turn = 0; turn < 2; ++turn) {
      const bool first = (turn == 0) == (round % 2 == 0);
      const auto t0 = Clock::now();
      for (int i = 0; i < batch; ++i) sink = sink + (first ? before() : after());
      t[first ? 0 : 1] = std::chrono::duration<double>(Clock::now() - t0).count() / batch / exportCalls;
    }
    ta.push_back(t[0]);
    tb.push_back(t[1]);
    ratio.push_back(t[1] / t[0]);
  }
  std::printf("%-32s before %10.1f ns  after %10.1f ns  after/before %.3f\n", name, Median(ta) * 1e9,
              Median(tb) * 1e9, Median(ratio));
}

void TimeExports(const Library& a, const Library& b, int rounds) {
  const Request q = {100, 100, 1, 0.05, 0.2, 0.04, 0.04, 1.5, 0.3, -0.7, 0.75};
  const double x = std::log((std::exp(q.T * q.r) * q.S) / q.K);
  for (const char* name : {"BSCall", "BSVol"}) {
    const auto fa = reinterpret_cast<Fn5>(a.Find(name)), fb = reinterpret_cast<Fn5>(b.Find(name));
    if (!fa || !fb) continue;
    const double last = std::strcmp(name, "BSVol") == 0 ? 10.450583572185565 : q.vol;
    TimeBoth(name, std::function<double()>([&] { return fa(q.S, q.K, q.T, q.r, last); }),
             std::function<double()>([&] { return fb(q.S, q.K, q.T, q.r, last); }), 2000, rounds);
  }
  for (const char* name : {"HestonCall_exact", "HestonCall_fast", "HestonVol_exact", "HestonVol_fast"}) {
    const auto fa = reinterpret_cast<Fn9>(a.Find(name)), fb = reinterpret_cast<Fn9>(b.Find(name));
    if (!fa || !fb) continue;
    TimeBoth(name, std::function<double()>([&] { return fa(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho); }),
             std::function<double()>([&] { return fb(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho); }), 5, rounds);
  }
  // The Heston exports once more over every reference row, a whole pass per turn: the
  // rows reach the hard corners (short maturity, large vol of vol) that the typical
  // request does not.
  const std::vector<eurocall::bench::ReferencePrice> rows = eurocall::bench::ReadReferencePrices(EUROCALL_REFERENCE_PRICES);
  if (rows.empty()) return;
  for (const char* name : {"HestonCall_exact", "HestonCall_fast", "HestonVol_exact", "HestonVol_fast"}) {
    const auto fa = reinterpret_cast<Fn9>(a.Find(name)), fb = reinterpret_cast<Fn9>(b.Find(name));
    if (!fa || !fb) continue;
    auto overRows = [&rows](Fn9 f) {
      return std::function<double()>([&rows, f] {
        double s = 0;
        for (const auto& p : rows) s += f(p.S, p.K, p.T, p.r, p.v0, p.theta, p.kappa, p.sigma, p.rho);
        return s;
      });
    };
    const std::string label = std::string(name) + " over " + std::to_string(rows.size()) + " rows";
    TimeBoth(label.c_str(), overRows(fa), overRows(fb), 1, rounds, static_cast<int>(rows.size()));
  }
  for (const char* name : {"RealIntegrand_j0", "RealIntegrand_j1", "theIntegrand"}) {
    const auto fa = reinterpret_cast<Fn8>(a.Find(name)), fb = reinterpret_cast<Fn8>(b.Find(name));
    if (!fa || !fb) continue;
    TimeBoth(name, std::function<double()>([&] { return fa(x, q.T, q.v0, q.theta, q.kappa, q.sigma, q.rho, q.phi); }),
             std::function<double()>([&] { return fb(x, q.T, q.v0, q.theta, q.kappa, q.sigma, q.rho, q.phi); }), 2000, rounds);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s BEFORE.so AFTER.so [cases per export, default 3000] [--time [--rounds N]]\n", argv[0]);
    return 2;
  }
  const Library a = Open(argv[1]), b = Open(argv[2]);
  if (!a.handle || !b.handle) return 2;
  int cases = 3000;
  bool timing = false;
  int rounds = 41;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--time") == 0) {
      timing = true;
    } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else {
      cases = std::atoi(argv[i]);
    }
  }

  std::vector<Request> requests;
  std::mt19937_64 g(20240611);
  for (int i = 0; i < cases; ++i) requests.push_back(Draw(g));
  // Degenerate requests: each field of the typical one replaced in turn.
  const Request typical = {100, 100, 1, 0.05, 0.2, 0.04, 0.04, 1.5, 0.3, -0.7, 0.75};
  const double odd[] = {0.0, -0.0, 1e-300, -1.0, kInf, -kInf, kNaN, 1e300};
  for (int field = 0; field < 11; ++field) {
    for (double v : odd) {
      Request q = typical;
      (&q.S)[field] = v;
      requests.push_back(q);
    }
  }

  int failures = 0;
  auto report = [&](const char* name, const Tally& t) {
    std::printf("%-17s %6ld calls  %s", name, t.calls,
                t.differ == 0 ? "bit-identical" : (std::to_string(t.differ) + " differ").c_str());
    if (t.nanBits) std::printf(" (%ld NaN results with another sign or payload)", t.nanBits);
    std::printf("\n");
    if (t.differ) ++failures;
  };

  for (const char* name : {"BSCall", "BSVol"}) {
    const auto fa = reinterpret_cast<Fn5>(a.Find(name)), fb = reinterpret_cast<Fn5>(b.Find(name));
    if (!fa || !fb) {
      std::printf("%-17s not in both builds, skipped\n", name);
      continue;
    }
    const auto call = reinterpret_cast<Fn5>(a.Find("BSCall"));
    Tally t;
    for (const Request& q : requests) {
      // BSVol gets a price the volatility search should find: the call at q.vol.
      const double last = std::strcmp(name, "BSVol") == 0 ? call(q.S, q.K, q.T, q.r, q.vol) : q.vol;
      Compare(name, q, fa(q.S, q.K, q.T, q.r, last), fb(q.S, q.K, q.T, q.r, last), t);
    }
    report(name, t);
  }

  for (const char* name : {"HestonCall_exact", "HestonCall_fast", "HestonVol_exact", "HestonVol_fast"}) {
    const auto fa = reinterpret_cast<Fn9>(a.Find(name)), fb = reinterpret_cast<Fn9>(b.Find(name));
    if (!fa || !fb) {
      std::printf("%-17s not in both builds, skipped\n", name);
      continue;
    }
    Tally t;
    for (const Request& q : requests) {
      Compare(name, q, fa(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho),
              fb(q.S, q.K, q.T, q.r, q.v0, q.theta, q.kappa, q.sigma, q.rho), t);
    }
    report(name, t);
  }

  // The integrands at the request's own forward moneyness; the real integrands take
  // theta before v0, theIntegrand v0 before theta. Each request also at four more
  // frequencies, so that the integrands see as many points as a few prices would.
  for (const char* name : {"RealIntegrand_j0", "RealIntegrand_j1", "theIntegrand"}) {
    const auto fa = reinterpret_cast<Fn8>(a.Find(name)), fb = reinterpret_cast<Fn8>(b.Find(name));
    if (!fa || !fb) {
      std::printf("%-17s not in both builds, skipped\n", name);
      continue;
    }
    const bool thetaFirst = std::strcmp(name, "theIntegrand") != 0;
    Tally t;
    for (const Request& base : requests) {
      for (double scale : {1.0, 0.01, 3.0, 40.0, -1.0}) {
        Request q = base;
        q.phi = base.phi * scale;
        const double x = std::log((std::exp(q.T * q.r) * q.S) / q.K);
        const double p3 = thetaFirst ? q.theta : q.v0, p4 = thetaFirst ? q.v0 : q.theta;
        Compare(name, q, fa(x, q.T, p3, p4, q.kappa, q.sigma, q.rho, q.phi),
                fb(x, q.T, p3, p4, q.kappa, q.sigma, q.rho, q.phi), t);
      }
    }
    report(name, t);
  }
  std::printf(failures == 0 ? "all compared exports bit-identical\n" : "%d exports differ\n", failures);
  if (timing) TimeExports(a, b, rounds);
  return failures == 0 ? 0 : 1;
}
