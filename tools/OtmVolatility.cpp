// SPDX-License-Identifier: Apache-2.0
#include "OtmVolatility.h"

#include <cmath>

namespace eurocall::tool {

namespace {

// The library's volatility bracket, and the share of S' below which two prices are not
// told apart (the tool's "unresolved").
constexpr double kVolLow = 0.001;
constexpr double kVolHigh = 2;
constexpr double kIndistinct = 1e-12;
constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kInvSqrt2Pi = 0.3989422804014327;  // 1 / sqrt(2 pi)
// The nearest doubles: squared, each is within one rounding of what it stands for.
static_assert(kSqrt2 * kSqrt2 >= 1.9999999999999996 && kSqrt2 * kSqrt2 <= 2.0000000000000004);
static_assert(kInvSqrt2Pi * kInvSqrt2Pi * 2 * 3.141592653589793 >= 0.9999999999999998 &&
              kInvSqrt2Pi * kInvSqrt2Pi * 2 * 3.141592653589793 <= 1.0000000000000002);
// Newton stops once a step is below this share of the volatility: a few ulp.
constexpr double kRelativeStep = 4e-16;
constexpr int kMaxSteps = 100;

double D1(const OtmOption& o, double vol) {
  const double root = vol * std::sqrt(o.T);
  return (std::log(o.spot / o.discountedStrike) + 0.5 * root * root) / root;
}

}  // namespace

OtmOption MakeOtmOption(double S, double K, double T, double r, double q) {
  OtmOption o;
  o.spot = q == 0 ? S : S * std::exp(-(T * q));
  o.K = K;
  o.T = T;
  o.r = r;
  o.discountedStrike = std::exp(-(T * r)) * K;
  o.put = o.discountedStrike < o.spot;
  return o;
}

// N(-d) as erfc(d / sqrt 2) / 2: accurate far into the tail, where a put lives.
double OtmPrice(const OtmOption& o, double vol) {
  const double d1 = D1(o, vol), d2 = d1 - vol * std::sqrt(o.T);
  if (o.put) return o.discountedStrike * 0.5 * std::erfc(d2 / kSqrt2) - o.spot * 0.5 * std::erfc(d1 / kSqrt2);
  return o.spot * 0.5 * std::erfc(-d1 / kSqrt2) - o.discountedStrike * 0.5 * std::erfc(-d2 / kSqrt2);
}

double OtmVega(const OtmOption& o, double vol) {
  const double d1 = D1(o, vol);
  return o.spot * std::exp(-0.5 * d1 * d1) * kInvSqrt2Pi * std::sqrt(o.T);
}

ImpliedVol OtmImpliedVol(const Library& library, const OtmOption& o, double price) {
  if (!(price - OtmPrice(o, kVolLow) > kIndistinct * o.spot)) return {kVolLow, VolStatus::below};
  if (!(price < OtmPrice(o, kVolHigh))) return {kVolHigh, VolStatus::above};
  Values v{};
  At(v, Param::S) = o.spot;
  At(v, Param::K) = o.K;
  At(v, Param::T) = o.T;
  At(v, Param::r) = o.r;
  At(v, Param::price) = o.put ? (price + o.spot) - o.discountedStrike : price;
  double vol = library.Call(Export::BSVol, v);
  if (!(vol > kVolLow && vol < kVolHigh)) vol = 0.5 * (kVolLow + kVolHigh);
  // The price rises with the volatility: the root stays within [low, high].
  double low = kVolLow, high = kVolHigh;
  for (int k = 0; k < kMaxSteps; ++k) {
    const double f = OtmPrice(o, vol) - price;
    if (f == 0) break;
    (f < 0 ? low : high) = vol;
    const double vega = OtmVega(o, vol);
    double next = vega > 0 ? vol - f / vega : low - 1;
    if (!(next > low && next < high)) next = 0.5 * (low + high);
    const double step = std::fabs(next - vol);
    vol = next;
    if (step <= kRelativeStep * vol || high - low <= kRelativeStep * high) break;
  }
  return {vol, VolStatus::ok};
}

}  // namespace eurocall::tool
