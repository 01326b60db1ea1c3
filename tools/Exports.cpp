// SPDX-License-Identifier: Apache-2.0
#include "Exports.h"

#include "Names.h"

namespace eurocall::tool {

namespace {

constexpr std::array<std::string_view, kParamCount> kNames = {
    "S", "K", "T", "r", "vol", "price", "v0", "theta", "kappa", "sigma", "rho", "x", "phi", "q"};

constexpr std::array<std::string_view, kParamCount> kHelp = {
    "spot price of the underlying",
    "strike price, in the unit of S",
    "time to maturity, in years",
    "continuously compounded risk-free rate per year (0.05 is 5 %)",
    "Black-Scholes volatility per year (0.2 is 20 %)",
    "option price whose implied volatility is sought",
    "Heston: current variance",
    "Heston: long-run variance",
    "Heston: mean-reversion speed of the variance",
    "Heston: volatility of the variance",
    "Heston: correlation of the price and variance shocks",
    "log forward moneyness ln(S e^(rT) / K)",
    "integration variable",
    "continuous dividend yield per year (0.02 is 2 %); priced on the spot S e^(-qT)",
};

using P = Param;

}  // namespace

std::string_view ParamName(Param p) { return kNames[std::size_t(p)]; }
std::string_view ParamHelp(Param p) { return kHelp[std::size_t(p)]; }

std::optional<Param> ParamNamed(std::string_view name) {
  for (std::size_t i = 0; i < kParamCount; ++i) {
    if (SameIgnoringCase(name, kNames[i])) return Param(i);
  }
  return std::nullopt;
}

const std::array<ExportInfo, kExportCount>& AllExports() {
  static const std::vector<Param> heston = {P::S, P::K, P::T, P::r, P::v0, P::theta, P::kappa, P::sigma, P::rho};
  // The real integrands take theta before v0; theIntegrand takes v0 first.
  static const std::vector<Param> real = {P::x, P::T, P::theta, P::v0, P::kappa, P::sigma, P::rho, P::phi};
  static const std::vector<Param> combined = {P::x, P::T, P::v0, P::theta, P::kappa, P::sigma, P::rho, P::phi};
  using R = ResultKind;
  static const std::array<ExportInfo, kExportCount> table = {{
      {Export::BSCall, "BSCall", "bs-call", "", {P::S, P::K, P::T, P::r, P::vol}, R::price, {}, false, false},
      {Export::BSVol, "BSVol", "bs-vol", "", {P::S, P::K, P::T, P::r, P::price}, R::volatility, {0.0, 2.0, 999.0}, false, false},
      {Export::HestonCall_exact, "HestonCall_exact", "heston-call", "exact", heston, R::price, {}, true, true},
      {Export::HestonCall_fast, "HestonCall_fast", "heston-call", "fast", heston, R::price, {}, false, true},
      {Export::HestonVol_exact, "HestonVol_exact", "heston-vol", "exact", heston, R::volatility, {2.0, 999.0}, true, true},
      {Export::HestonVol_fast, "HestonVol_fast", "heston-vol", "fast", heston, R::volatility, {2.0, 999.0}, false, true},
      {Export::RealIntegrand_j0, "RealIntegrand_j0", "real-integrand-j0", "", real, R::integrand, {}, false, false},
      {Export::RealIntegrand_j1, "RealIntegrand_j1", "real-integrand-j1", "", real, R::integrand, {}, false, false},
      {Export::theIntegrand, "theIntegrand", "integrand", "", combined, R::integrand, {}, false, false},
  }};
  return table;
}

std::optional<Export> ExportNamed(std::string_view name) {
  for (const ExportInfo& e : AllExports()) {
    if (name == e.name) return e.id;
  }
  return std::nullopt;
}

std::vector<Export> ExportsNamed(std::string_view name, std::string_view method) {
  if (const auto e = ExportNamed(name)) return {*e};
  std::vector<Export> found;
  for (const ExportInfo& e : AllExports()) {
    if (name != e.command) continue;
    if (*e.method == '\0' || method == "both" || method == e.method) found.push_back(e.id);
  }
  return found;
}

std::vector<std::string> FunctionNames() {
  std::vector<std::string> names;
  for (const ExportInfo& e : AllExports()) names.push_back(e.name);
  for (const ExportInfo& e : AllExports()) {
    if (names.back() != e.command) names.push_back(e.command);
  }
  return names;
}

std::optional<std::string> SentinelMeaning(Export e, double result) {
  for (double s : Info(e).sentinels) {
    if (result != s) continue;
    if (s == 0.0) return std::string("0 = price rejected");
    if (s == 2.0) return std::string("2 = price outside the bracket [0.001, 2]");
    return std::string("999 = search did not converge");
  }
  return std::nullopt;
}

}  // namespace eurocall::tool
