// SPDX-License-Identifier: Apache-2.0
#include "Domain.h"

#include <cmath>

#include "Numbers.h"

namespace eurocall::tool {

namespace {

enum class Rule { positive, nonNegative, correlation, finite };

Rule RuleOf(Param p) {
  switch (p) {
    case Param::S:
    case Param::K:
      return Rule::positive;
    case Param::T:
    case Param::vol:
    case Param::price:
    case Param::v0:
    case Param::theta:
    case Param::kappa:
    case Param::sigma:
      return Rule::nonNegative;
    case Param::rho:
      return Rule::correlation;
    default:
      return Rule::finite;
  }
}

}  // namespace

std::optional<std::string> OutsideDomain(Param p, double value) {
  const Rule rule = RuleOf(p);
  // Each test is written so that NaN fails it.
  bool inside = std::isfinite(value);
  const char* says = "finite";
  switch (rule) {
    case Rule::positive:
      inside = inside && value > 0;
      says = "finite and > 0";
      break;
    case Rule::nonNegative:
      inside = inside && value >= 0;
      says = "finite and >= 0";
      break;
    case Rule::correlation:
      inside = value >= -1 && value <= 1;
      says = "in [-1, 1]";
      break;
    case Rule::finite:
      break;
  }
  if (inside) return std::nullopt;
  const std::string name(ParamName(p));
  return name + " = " + FormatDouble(value) + " is outside the model's domain (" + name + " " + says + ")";
}

std::optional<std::string> FirstOutsideDomain(const std::vector<Param>& params, const Values& v) {
  for (Param p : params) {
    if (auto problem = OutsideDomain(p, At(v, p))) return problem;
  }
  return std::nullopt;
}

}  // namespace eurocall::tool
