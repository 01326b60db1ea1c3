#include "Exports.h"

namespace eurocall::tool {

namespace {

constexpr std::array<std::string_view, kParamCount> kNames = {
    "S", "K", "T", "r", "vol", "price", "v0", "theta", "kappa", "sigma", "rho", "x", "phi"};

constexpr std::array<std::string_view, kParamCount> kHelp = {
    "spot price of the underlying",
    "strike price, in the unit of S",
    "time to maturity, in years",
    "continuously compounded risk-free rate per year (0.05 is 5 %)",
    "Black-Scholes volatility per year (0.2 is 20 %)",
    "call price whose implied volatility is sought",
    "Heston: current variance",
    "Heston: long-run variance",
    "Heston: mean-reversion speed of the variance",
    "Heston: volatility of the variance",
    "Heston: correlation of the price and variance shocks",
    "log forward moneyness ln(S e^(rT) / K)",
    "integration variable",
};

using P = Param;

}  // namespace

std::string_view ParamName(Param p) { return kNames[std::size_t(p)]; }
std::string_view ParamHelp(Param p) { return kHelp[std::size_t(p)]; }

const std::array<ExportInfo, kExportCount>& AllExports() {
  static const std::vector<Param> heston = {P::S, P::K, P::T, P::r, P::v0, P::theta, P::kappa, P::sigma, P::rho};
  // The real integrands take theta before v0; theIntegrand takes v0 first.
  static const std::vector<Param> real = {P::x, P::T, P::theta, P::v0, P::kappa, P::sigma, P::rho, P::phi};
  static const std::vector<Param> combined = {P::x, P::T, P::v0, P::theta, P::kappa, P::sigma, P::rho, P::phi};
  static const std::array<ExportInfo, kExportCount> table = {{
      {Export::BSCall, "BSCall", {P::S, P::K, P::T, P::r, P::vol}, {}},
      {Export::BSVol, "BSVol", {P::S, P::K, P::T, P::r, P::price}, {0.0, 2.0, 999.0}},
      {Export::HestonCall_exact, "HestonCall_exact", heston, {}},
      {Export::HestonCall_fast, "HestonCall_fast", heston, {}},
      {Export::HestonVol_exact, "HestonVol_exact", heston, {2.0, 999.0}},
      {Export::HestonVol_fast, "HestonVol_fast", heston, {2.0, 999.0}},
      {Export::RealIntegrand_j0, "RealIntegrand_j0", real, {}},
      {Export::RealIntegrand_j1, "RealIntegrand_j1", real, {}},
      {Export::theIntegrand, "theIntegrand", combined, {}},
  }};
  return table;
}

std::optional<Export> ExportNamed(std::string_view name) {
  for (const ExportInfo& e : AllExports()) {
    if (name == e.name) return e.id;
  }
  return std::nullopt;
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
