// SPDX-License-Identifier: Apache-2.0
// The nine exports as the tool sees them: name, the command that computes them,
// arguments in the library's order, and what kind of result comes back. Everything that
// prints, parses or calls an export works from this one table, so the argument orders
// live in one place.
#ifndef EUROCALL_TOOLS_EXPORTS_H
#define EUROCALL_TOOLS_EXPORTS_H

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace eurocall::tool {

// The argument vocabulary; also the CSV column names and the option names (--S, --v0).
// q, the continuous dividend yield, is the tool's own: no export takes it, the prices
// and volatilities see it through the forward-equivalent spot S e^(-qT).
enum class Param { S, K, T, r, vol, price, v0, theta, kappa, sigma, rho, x, phi, q };
constexpr std::size_t kParamCount = 14;

std::string_view ParamName(Param p);
std::string_view ParamHelp(Param p);
// The parameter whose name is `name` in any case ("vol", "Vol", "VOL"), or nullopt.
std::optional<Param> ParamNamed(std::string_view name);

// One value per parameter, indexed by Param.
using Values = std::array<double, kParamCount>;
inline double& At(Values& v, Param p) { return v[std::size_t(p)]; }
inline double At(const Values& v, Param p) { return v[std::size_t(p)]; }

// Ordinal order.
enum class Export {
  BSCall,
  BSVol,
  HestonCall_exact,
  HestonCall_fast,
  HestonVol_exact,
  HestonVol_fast,
  RealIntegrand_j0,
  RealIntegrand_j1,
  theIntegrand,
};
constexpr std::size_t kExportCount = 9;

enum class ResultKind { price, volatility, integrand };

struct ExportInfo {
  Export id;
  const char* name;
  const char* command;        // the command that computes it ("heston-call")
  const char* method;         // "exact" or "fast" where a command covers two exports, else ""
  std::vector<Param> params;  // in the order the library takes them
  ResultKind result;
  // Sentinel results of a volatility export; empty for the others.
  std::vector<double> sentinels;
  // Runs the adaptive integrator, the one routine that can set the calling thread's
  // maths error indicator (after which every integrand value on that thread is 0).
  bool setsErrorIndicator;
  // A Heston price behind every call: thousands of integrand values, where the others
  // take a few.
  bool costly;
};

const std::array<ExportInfo, kExportCount>& AllExports();
inline const ExportInfo& Info(Export e) { return AllExports()[std::size_t(e)]; }
std::optional<Export> ExportNamed(std::string_view name);

// The exports a name of --fn stands for: an export name ("HestonCall_fast"), or a
// command name ("heston-call"), which stands for its exact export, its fast one or both
// as `method` says ("exact", "fast", "both"). Empty if the name is neither.
std::vector<Export> ExportsNamed(std::string_view name, std::string_view method);
// Every name ExportsNamed knows: the export names, then the command names.
std::vector<std::string> FunctionNames();

// What a sentinel result means ("price rejected"), or nullopt if `result` is an
// ordinary value of export `e`.
std::optional<std::string> SentinelMeaning(Export e, double result);

}  // namespace eurocall::tool

#endif
