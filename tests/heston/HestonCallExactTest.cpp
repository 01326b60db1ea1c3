// SPDX-License-Identifier: Apache-2.0
// HestonCall_exact: the panel schedule near the origin and where the tail starts, the
// absolute integral and the floors of the price, the per-thread parameter record, and
// the degraded price while the error indicator is set, and the tail's batch integrand
// against the one-argument callback.
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "heston/IntegrandTerms.h"
#include "heston/PanelSchedules.h"
#include "heston/heston.h"
#include "quadrature/quadrature.h"
#include "runtime/ErrorIndicator.h"
#include "support/Ulps.h"

namespace eurocall {
namespace {

using testing::BitExact;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr double kD = 0.95122942450071402;  // e^-0.05 correctly rounded, D for T = 1, r = 0.05

struct Panel {
  double a, b;
};

TEST(HestonCallExact, ElevenPanelsThenTheTailFromJustBelowOnePointOne) {
  std::vector<Panel> panels;
  double tailStart = 0.0;
  const double G = SumPanelsNearOrigin(
      [&](double a, double b) {
        panels.push_back({a, b});
        return 1.0;
      },
      tailStart);
  // Ends of repeated double additions of 0.1.
  const double ends[] = {0.0, 0.1, 0.2, 0.30000000000000004, 0.4, 0.5, 0.6, 0.7,
                         0.7999999999999999, 0.8999999999999999, 0.9999999999999999, 1.0999999999999999};
  ASSERT_EQ(panels.size(), 11u);
  for (std::size_t i = 0; i < panels.size(); ++i) {
    EXPECT_TRUE(BitExact(panels[i].a, ends[i])) << "panel " << i;
    EXPECT_TRUE(BitExact(panels[i].b, ends[i + 1])) << "panel " << i;
  }
  EXPECT_TRUE(BitExact(G, 11.0));
  EXPECT_TRUE(BitExact(tailStart, 1.0999999999999999));
  EXPECT_TRUE(BitExact(tailStart, std::nextafter(1.1, 0.0)));
}

TEST(HestonCallExact, PriceOfTheIntegralTakesItsAbsoluteValueAndIsFloored) {
  // p = 0.5 (S - ((1 - |I| 2/pi) D) K), L = S - D K; the larger, never below 0 nor above S
  // (tests/generate_expected.py).
  struct Case {
    double K, integral, expected;
  };
  const Case cases[] = {
      {100, 0.69999999999999996, 23.633529864288949},
      {100, -0.69999999999999996, 23.633529864288949},  // |I|
      {100, 0, 4.877057549928594},      // p = (S - D K) / 2 below L = S - D K > 0
      {100, kNaN, 4.877057549928594},   // a NaN p gives L
      {150, 0, 0},                      // p and L both negative: +0
      {150, kNaN, 0},                   // NaN p, negative L: +0
      {150, 1.2, 33.159224534995552},
      {100, 11.5, 100},                 // p above S: S
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(BitExact(PriceFromAbsoluteIntegral(100, c.K, kD, c.integral), c.expected)) << c.K << " " << c.integral;
  }
  // NaN in the intrinsic value stays NaN.
  EXPECT_TRUE(std::isnan(PriceFromAbsoluteIntegral(kNaN, 100, kD, 0.5)));
}

TEST(HestonCallExact, NeverBelowTheIntrinsicValueOrHalfTheForwardDifference) {
  for (double K : {50.0, 90.0, 100.0, 110.0, 200.0}) {
    for (double T : {0.05, 0.5, 3.0}) {
      const double price = HestonCall_exact(100, K, T, 0.02, 0.09, 0.04, 2.0, 0.6, 0.3);
      const double Kd = K * std::exp(-(T * 0.02));
      EXPECT_GE(price, std::max(std::max(0.5 * (100 - Kd), 100 - Kd), 0.0)) << K << " " << T;
      EXPECT_TRUE(std::isfinite(price));
    }
  }
}

TEST(HestonCallExact, IntegrandParamsHoldTheLastCallsArguments) {
  HestonCall_exact(105, 95, 0.75, 0.03, 0.05, 0.06, 1.25, 0.45, -0.35);
  HestonCall_exact(100, 110, 0.5, 0.02, 0.04, 0.07, 1.75, 0.55, -0.45);
  const IntegrandParamsRecord& p = IntegrandParams;
  EXPECT_NEAR(p.x, -0.085310179804325009, 4 * 0x1p-53);  // ln(e^0.01 100 / 110)
  EXPECT_TRUE(BitExact(p.kappa, 1.75));
  EXPECT_TRUE(BitExact(p.sigma, 0.55));
  EXPECT_TRUE(BitExact(p.v0, 0.04));
  EXPECT_TRUE(BitExact(p.rho, -0.45));
  EXPECT_TRUE(BitExact(p.T, 0.5));
  EXPECT_TRUE(BitExact(p.theta, 0.07));
  // The record belongs to this thread: another thread starts from zeros.
  double otherX = -1, otherTheta = -1;
  std::thread([&] {
    otherX = IntegrandParams.x;
    otherTheta = IntegrandParams.theta;
  }).join();
  EXPECT_TRUE(BitExact(otherX, 0.0));
  EXPECT_TRUE(BitExact(otherTheta, 0.0));
}

TEST(HestonPrices, ErrorIndicatorDegradesBothPricesAndTheirVolatilities) {
  // Every integrand value is 0 on a thread whose indicator is set: the integral is 0.
  // fast: 0.5 (S - K e^(-rT)); exact: the larger of that and S - K e^(-rT).
  double fast = 0, exact = 0, volFast = 0, volExact = 0, outOfMoney = -1;
  std::thread([&] {
    SetErrorIndicator(kRangeError);
    fast = HestonCall_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    exact = HestonCall_exact(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    volFast = HestonVol_fast(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    volExact = HestonVol_exact(100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
    outOfMoney = HestonCall_exact(100, 120, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7);
  }).join();
  EXPECT_TRUE(BitExact(fast, 2.438528774964297));   // 0.5 (S - D K)
  EXPECT_TRUE(BitExact(exact, 4.877057549928594));  // S - D K (tests/generate_expected.py)
  // Half the intrinsic value is below BSCall at 0.001 (the intrinsic value itself): 2.
  EXPECT_TRUE(BitExact(volFast, 2.0));
  // At vol 0.001 BSCall is exactly S - K e^(-rT) here (d1 = 50): the bracket end is the root.
  EXPECT_TRUE(BitExact(volExact, 0.001));
  EXPECT_TRUE(BitExact(outOfMoney, 0.0));  // both candidates negative
}

// Two parameter sets of the reference rows: the typical request, and the short, wild
// one (T = 0.1, sigma = 1, rho = -0.9) whose tail takes the most rules.
struct ParameterSet {
  const char* what;
  double S, K, T, r, v0, theta, kappa, sigma, rho;
};
const ParameterSet kSets[] = {
    {"typical", 100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7},
    {"short, sigma 1", 100, 100, 0.1, 0.0, 0.01, 0.09, 0.5, 1.0, -0.9},
};

// The record and the batch integrand's context for one parameter set, as
// HestonCall_exact forms them.
struct Tail {
  IntegrandTerms terms;
  TailIntegrand integrand;
  explicit Tail(const ParameterSet& p) : terms(FormIntegrandTerms(p.T, p.theta, p.v0, p.kappa, p.sigma, p.rho)) {
    const double x = std::log((std::exp(p.T * p.r) * p.S) / p.K);
    IntegrandParams = {x, p.kappa, p.sigma, p.v0, p.rho, p.T, p.theta};
    integrand = {&terms, x, std::exp(x)};
  }
};

TEST(HestonCallExact, TailBatchesGiveTheCallbacksValues) {
  // Batches of a rule's size, of the whole line's, and of sizes that split unevenly.
  const int counts[] = {1, 15, 17, 30};
  for (const ParameterSet& p : kSets) {
    Tail tail(p);
    for (int count : counts) {
      double phi[30], values[30];
      for (int i = 0; i < count; ++i) phi[i] = 1.0999999999999999 + 7.5 * i * i;  // up to 6e3
      phi[0] = count == 17 ? 0.0 : phi[0];  // theIntegrand's floor inside a batch
      TheIntegrandOfTail(&tail.integrand, phi, count, values);
      for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(BitExact(values[i], IntegrandCallback(phi[i]))) << p.what << ", " << count << " at " << phi[i];
      }
    }
  }
}

// Counts the rules of a tail integration and sets the error indicator right after the
// last value of rule number tSetAfterRule (1 for the first), where the rule's own
// power is the only call that could set it: the next rule is the first to see it.
thread_local int tSetAfterRule = 0;
thread_local int tRules = 0;
thread_local int tPointsOfRule = 0;

void AfterRule() {
  if (++tRules == tSetAfterRule) SetErrorIndicator(kDomainError);
}
double CallbackSettingIndicator(double phi) {
  const double value = IntegrandCallback(phi);
  if (++tPointsOfRule == kRulePoints) {
    tPointsOfRule = 0;
    AfterRule();
  }
  return value;
}
void BatchSettingIndicator(void* context, const double* phi, int count, double* values) {
  TheIntegrandOfTail(context, phi, count, values);
  AfterRule();
}

struct TailOutcome {
  double result, error;
  int evaluations;
  IntegrationStatus status;
};

template <class F>
TailOutcome IntegrateTail(const F& f, int setAfterRule, bool setBefore) {
  SetErrorIndicator(setBefore ? kRangeError : 0);
  tSetAfterRule = setAfterRule;
  tRules = 0;
  tPointsOfRule = 0;
  TailOutcome o{};
  o.result = IntegrateToInfinity(f, 1.0999999999999999, 1, 0.0, 1e-8, o.error, o.evaluations, o.status);
  SetErrorIndicator(0);
  return o;
}

TEST(HestonCallExact, TailBatchesKeepTheOutcomeWhenTheErrorIndicatorGoesOn) {
  // The indicator set before the tail, after one of its rules, or never: from then on
  // every value is 0 either way, and the batch way gives the callback's whole outcome.
  for (const ParameterSet& p : kSets) {
    Tail tail(p);
    const TailOutcome clean = IntegrateTail(CallbackSettingIndicator, 0, false);
    ASSERT_GT(clean.evaluations, 5 * kRulePoints) << p.what;
    const int rules = clean.evaluations / kRulePoints;
    struct Case {
      int afterRule;
      bool before;
    };
    const Case cases[] = {{0, false}, {0, true}, {1, false}, {2, false}, {3, false}, {rules / 2, false},
                          {rules - 1, false}};
    for (const Case& c : cases) {
      const TailOutcome plain = IntegrateTail(CallbackSettingIndicator, c.afterRule, c.before);
      const TailOutcome batch = IntegrateTail(BatchIntegrand{BatchSettingIndicator, &tail.integrand}, c.afterRule, c.before);
      const std::string what = std::string(p.what) + ", after rule " + std::to_string(c.afterRule) +
                               (c.before ? ", set before" : "");
      EXPECT_TRUE(BitExact(batch.result, plain.result)) << what;
      EXPECT_TRUE(BitExact(batch.error, plain.error)) << what;
      EXPECT_EQ(batch.evaluations, plain.evaluations) << what;
      EXPECT_EQ(batch.status, plain.status) << what;
      // The forced indicator did change the run (a zero tail from the start when set before).
      if (c.before) EXPECT_TRUE(BitExact(plain.result, 0.0)) << what;
      if (c.afterRule > 0) EXPECT_FALSE(BitExact(plain.result, clean.result)) << what;
    }
  }
}

}  // namespace
}  // namespace eurocall
