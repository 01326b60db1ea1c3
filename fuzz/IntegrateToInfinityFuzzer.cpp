// SPDX-License-Identifier: Apache-2.0
// IntegrateToInfinity on a family of integrands (sums of exponentials, powers, sines,
// damped sines and Lorentzians) with random bounds, tolerances and range kinds.
// Whatever the integrand: no out-of-bounds access and no undefined behaviour, a status
// in 0..6, status 6 exactly for invalid input (then nothing evaluated), and an
// evaluation count that is the number of integrand calls actually made, 15 per rule
// application (30 on the whole line) and 2 last + 1 applications, so 15 mod 30 (30 mod
// 60) and at most 14985 (29970). The first rule alone ends with status 0 or 2; the
// subinterval limit ends with status 1, 3 or 5, and status 1 only there. The same
// integrand as a batch integrand (each rule's points at once) gives the same outcome to
// the bit, every batch one whole rule.
//
// Input: range kind byte (< 240: 1, -1, 2 by byte % 3; otherwise the next byte as a
// signed int), bound, absolute and relative tolerance (a kind byte each: 0 zero,
// 1 10^-(byte % 20), 2 a bad value, 3 raw 64 bits; the bound's kind 1 is I16 / 256), the
// number of terms (1 + byte % 4), then per term a kind byte and I16 parameters.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "FuzzInput.h"
#include "quadrature/quadrature.h"
#include "support/ExportContract.h"

namespace {

using eurocall::IntegrationStatus;
using eurocall::fuzz::Fail;
using eurocall::fuzz::FuzzInput;
using eurocall::testing::kBadValues;

enum class TermKind { Exponential, Power, Sine, DampedSine, Lorentzian };

struct Term {
  TermKind kind;
  double c;  // coefficient
  double a;  // exponential rate, or the shift of the power's base
  double p;  // exponent of the power
  double w;  // frequency, or the Lorentzian's scale
  double phase;
};

// The integrator takes a plain function of one double, so the integrand's parameters
// and its call counter live here, one set per fuzzing process.
struct Family {
  int terms;
  Term term[4];
  long calls;
} gFamily;

double FamilyIntegrand(double x) {
  ++gFamily.calls;
  double sum = 0.0;
  for (int i = 0; i < gFamily.terms; ++i) {
    const Term& t = gFamily.term[i];
    double v = 0.0;
    switch (t.kind) {
      case TermKind::Exponential: v = std::exp(t.a * x); break;
      case TermKind::Power: v = std::pow(std::fabs(x) + t.a, t.p); break;
      case TermKind::Sine: v = std::sin(t.w * x + t.phase); break;
      case TermKind::DampedSine: v = std::exp(t.a * x) * std::sin(t.w * x); break;
      case TermKind::Lorentzian: v = 1.0 / (1.0 + (t.w * x) * (t.w * x)); break;
    }
    sum += t.c * v;
  }
  return sum;
}

// FamilyIntegrand a rule at a time; counts the batches that are not one whole rule.
long gOddBatches = 0;
void FamilyBatch(void*, const double* x, int count, double* values) {
  if (count != eurocall::kRulePoints && count != eurocall::kRulePointsWholeLine) ++gOddBatches;
  for (int i = 0; i < count; ++i) values[i] = FamilyIntegrand(x[i]);
}

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

double Tolerance(FuzzInput& in) {
  switch (in.Byte() % 4) {
    case 0: return 0.0;
    case 1: return std::pow(10.0, -static_cast<double>(in.Byte() % 20));
    case 2: return kBadValues[in.Byte() % 10];
    default: return in.RawDouble();
  }
}

double Bound(FuzzInput& in) {
  switch (in.Byte() % 4) {
    case 0: return 0.0;
    case 1: return in.I16() / 256.0;
    case 2: return kBadValues[in.Byte() % 10];
    default: return in.RawDouble();
  }
}

Term ReadTerm(FuzzInput& in) {
  const std::uint8_t kind = in.Byte();
  Term t{};
  t.kind = static_cast<TermKind>(kind % 5);
  // Bit 7: a raw coefficient (any bit pattern), otherwise one in [-32, 32).
  t.c = (kind & 0x80) ? in.RawDouble() : in.I16() / 1024.0;
  switch (t.kind) {
    case TermKind::Exponential: t.a = in.I16() / 4096.0; break;
    case TermKind::Power:
      t.a = in.U16() / 4096.0;
      t.p = in.I16() / 2048.0;
      break;
    case TermKind::Sine:
      t.w = in.I16() / 1024.0;
      t.phase = in.I16() / 8192.0;
      break;
    case TermKind::DampedSine:
      t.a = in.I16() / 4096.0;
      t.w = in.I16() / 1024.0;
      break;
    case TermKind::Lorentzian: t.w = in.I16() / 1024.0; break;
  }
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  static const int kKinds[3] = {1, -1, 2};
  const std::uint8_t kindByte = in.Byte();
  const int rangeKind = kindByte < 240 ? kKinds[kindByte % 3] : static_cast<std::int8_t>(in.Byte());
  const double bound = Bound(in);
  const double absTol = Tolerance(in);
  const double relTol = Tolerance(in);
  gFamily.terms = 1 + in.Byte() % 4;
  for (int i = 0; i < gFamily.terms; ++i) gFamily.term[i] = ReadTerm(in);
  gFamily.calls = 0;

  double error = -1.0;
  int evaluations = -1;
  IntegrationStatus status{};
  const double result =
      eurocall::IntegrateToInfinity(FamilyIntegrand, bound, rangeKind, absTol, relTol, error, evaluations, status);
  const int code = static_cast<int>(status);

  if (code < 0 || code > 6) Fail("status outside 0..6");
  if (evaluations != gFamily.calls) Fail("evaluation count differs from the integrand calls made");

  double batchError = -1.0;
  int batchEvaluations = -1;
  IntegrationStatus batchStatus{};
  gOddBatches = 0;
  const double batchResult = eurocall::IntegrateToInfinity(eurocall::BatchIntegrand{FamilyBatch, nullptr}, bound,
                                                           rangeKind, absTol, relTol, batchError, batchEvaluations,
                                                           batchStatus);
  if (Bits(batchResult) != Bits(result) || Bits(batchError) != Bits(error) || batchEvaluations != evaluations ||
      batchStatus != status) {
    Fail("batch integrand's outcome differs from the plain one's");
  }
  if (gOddBatches != 0) Fail("a batch that is not one whole rule");

  const bool invalid = !(absTol >= 0.0 || relTol >= 0.0) || !(rangeKind == 1 || rangeKind == -1 || rangeKind == 2);
  if (invalid != (code == 6)) Fail("status 6 not exactly for invalid input");
  if (invalid) {
    if (evaluations != 0 || error != 0.0 || result != 0.0) Fail("invalid input not answered with 0, 0, 0");
    return 0;
  }

  // One rule application is 15 evaluations (30 folding the whole line); a run makes
  // 2 last + 1 of them with last at most 499.
  const int perRule = rangeKind == 2 ? 30 : 15;
  const int mostEvaluations = perRule * (2 * 499 + 1);
  if (evaluations % (2 * perRule) != perRule) Fail("evaluation count not an odd number of rules");
  if (evaluations > mostEvaluations) Fail("more than 500 subintervals");
  if (evaluations == perRule && code != 0 && code != 2) Fail("first rule alone ends with a status other than 0, 2");
  if (evaluations == mostEvaluations && code != 1 && code != 3 && code != 5) Fail("limit reached without status 1, 3, 5");
  if (code == 1 && evaluations != mostEvaluations) Fail("status 1 before the subinterval limit");
  return 0;
}
