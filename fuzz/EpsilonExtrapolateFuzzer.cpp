// SPDX-License-Identifier: Apache-2.0
// EpsilonExtrapolate driven the way the integrator drives it: a table of 52 started with
// two elements, one element appended before every call, recent holding NaN until
// written. Whatever the sequence: no access outside the table or recent, the call
// counter counts, the table only ever shrinks (to an odd count, or 50 to 49) and keeps
// room for the next append, and the error is never negative and never below 5 ulps of
// the result.
//
// Input: the parameters of a model sequence L + c q^k (three I16: L / 256, c / 256,
// q / 32768), then per element a kind byte:
//   kind % 4 = 0  raw 64 bits
//              1  the model sequence's next term
//              2  the previous element times 1 + I8 * 2^-52 (near-equal neighbours)
//              3  a bad value, index byte % 10
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "FuzzInput.h"
#include "quadrature/quadrature.h"
#include "support/ExportContract.h"

namespace {

using eurocall::fuzz::Fail;
using eurocall::fuzz::FuzzInput;
using eurocall::testing::kBadValues;

constexpr int kTableSize = 52;
constexpr int kMostCalls = 400;

struct Model {
  double limit, scale, ratio, power;
};

double NextElement(FuzzInput& in, Model& model, double previous) {
  switch (in.Byte() % 4) {
    case 0: return in.RawDouble();
    case 1:
      model.power = model.power * model.ratio;
      return model.limit + model.scale * model.power;
    case 2: return previous * (1.0 + static_cast<std::int8_t>(in.Byte()) * 0x1p-52);
    default: return kBadValues[in.Byte() % 10];
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  Model model{in.I16() / 256.0, in.I16() / 256.0, in.I16() / 32768.0, 1.0};

  double table[kTableSize];
  double recent[3] = {NAN, NAN, NAN};
  table[0] = NextElement(in, model, 0.0);
  table[1] = NextElement(in, model, table[0]);
  int top = 1;
  int calls = 0;
  for (int call = 0; call < kMostCalls && !in.Exhausted(); ++call) {
    top = top + 1;
    if (top > 49) Fail("more than 50 elements after an append");
    table[top] = NextElement(in, model, table[top - 1]);
    const int topIn = top;
    const int callsIn = calls;
    double error = -1.0;
    const double result = eurocall::EpsilonExtrapolate(top, table, error, recent, calls);

    if (calls != callsIn + 1) Fail("calls not counted");
    if (top < 0 || top > 48) Fail("kept table leaves no room for the next append");
    if (top != topIn && top % 2 != 0) Fail("table cut to an even count");
    if (top > topIn) Fail("table grew");
    if (error < 0.0) Fail("negative error");
    if (error < 1.1102230246251565e-15 * std::fabs(result)) Fail("error below 5 ulps of the result");
  }
  return 0;
}
