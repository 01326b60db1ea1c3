// The nine exports as the tool sees them: name, arguments in the library's order, and
// what kind of result comes back. Everything that prints, parses or calls an export
// works from this one table, so the argument orders live in one place.
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
enum class Param { S, K, T, r, vol, price, v0, theta, kappa, sigma, rho, x, phi };
constexpr std::size_t kParamCount = 13;

std::string_view ParamName(Param p);
std::string_view ParamHelp(Param p);

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

struct ExportInfo {
  Export id;
  const char* name;
  std::vector<Param> params;  // in the order the library takes them
  // Sentinel results of a volatility export; empty for the others.
  std::vector<double> sentinels;
};

const std::array<ExportInfo, kExportCount>& AllExports();
inline const ExportInfo& Info(Export e) { return AllExports()[std::size_t(e)]; }
std::optional<Export> ExportNamed(std::string_view name);

// What a sentinel result means ("price rejected"), or nullopt if `result` is an
// ordinary value of export `e`.
std::optional<std::string> SentinelMeaning(Export e, double result);

}  // namespace eurocall::tool

#endif
