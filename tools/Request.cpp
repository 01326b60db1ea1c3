// SPDX-License-Identifier: Apache-2.0
#include "Request.h"

#include <algorithm>
#include <cmath>

#include "Names.h"

namespace eurocall::tool {

namespace {

using P = Param;

// The lower end of the library's volatility bracket, and the share of S' below which two
// prices are not told apart.
constexpr double kBracketLow = 0.001;
constexpr double kIndistinct = 1e-12;

double ForwardEquivalentSpot(const Values& v) {
  const double S = At(v, P::S), T = At(v, P::T), q = At(v, P::q);
  // q = 0 hands the export S itself, even where T q is no 0 (T infinite, under --raw).
  return q == 0 ? S : S * std::exp(-(T * q));
}

double Discount(const Values& v) { return std::exp(-(At(v, P::T) * At(v, P::r))); }

}  // namespace

std::optional<OptionKind> OptionKindNamed(std::string_view name) {
  if (SameIgnoringCase(name, "call")) return OptionKind::call;
  if (SameIgnoringCase(name, "put")) return OptionKind::put;
  return std::nullopt;
}

std::vector<Param> RequestParams(Export e) {
  std::vector<Param> params = Info(e).params;
  if (Info(e).result != ResultKind::integrand) params.push_back(P::q);
  return params;
}

std::vector<Export> ExportsNeeded(const std::vector<Export>& exports) {
  std::vector<Export> needed = exports;
  const bool volatility = std::any_of(exports.begin(), exports.end(),
                                      [](Export e) { return Info(e).result == ResultKind::volatility; });
  if (volatility && std::find(needed.begin(), needed.end(), Export::BSCall) == needed.end()) {
    needed.push_back(Export::BSCall);
  }
  return needed;
}

double Compute(const Library& library, Export e, const Request& request) {
  const ExportInfo& info = Info(e);
  if (info.result == ResultKind::integrand) return library.Call(e, request.values);
  Values v = request.values;
  const double spot = ForwardEquivalentSpot(v);
  At(v, P::S) = spot;
  const bool put = request.kind == OptionKind::put;
  if (info.result == ResultKind::price) {
    const double call = library.Call(e, v);
    return put ? (call - spot) + At(v, P::K) * Discount(v) : call;
  }
  if (put && e == Export::BSVol) At(v, P::price) = (At(v, P::price) + spot) - At(v, P::K) * Discount(v);
  return library.Call(e, v);
}

std::optional<std::string> ResultNote(const Library& library, Export e, const Request& request, double result) {
  if (Info(e).result != ResultKind::volatility) return std::nullopt;
  if (auto meaning = SentinelMeaning(e, result)) return meaning;
  Values v = request.values;
  const double spot = ForwardEquivalentSpot(v);
  At(v, P::S) = spot;
  At(v, P::vol) = result;
  const double atResult = library.Call(Export::BSCall, v);
  At(v, P::vol) = kBracketLow;
  const double atLowEnd = library.Call(Export::BSCall, v);
  if (atResult - atLowEnd <= kIndistinct * spot) {
    return std::string("unresolved: the price is below what the volatility bracket's lower end 0.001 distinguishes");
  }
  return std::nullopt;
}

}  // namespace eurocall::tool
