// SPDX-License-Identifier: Apache-2.0
// The model's domain, checked for every request before the library sees it:
//
//   argument                         inside the domain
//   S, K                             finite and > 0
//   T                                finite and >= 0
//   vol, v0, theta, kappa, sigma     finite and >= 0
//   price                            finite and >= 0
//   rho                              in [-1, 1]
//   r, q, x, phi                     finite
//
// The library itself computes on whatever it is given (a negative volatility gives a
// negative price), so the tool says so instead of printing such a number as if it meant
// something.
#ifndef EUROCALL_TOOLS_DOMAIN_H
#define EUROCALL_TOOLS_DOMAIN_H

#include <optional>
#include <string>
#include <vector>

#include "Exports.h"

namespace eurocall::tool {

// "vol = -0.2 is outside the model's domain (vol finite and >= 0)", or nullopt when the
// value is inside.
std::optional<std::string> OutsideDomain(Param p, double value);

// The first of `params` whose value in `v` is outside the domain, as OutsideDomain says it.
std::optional<std::string> FirstOutsideDomain(const std::vector<Param>& params, const Values& v);

}  // namespace eurocall::tool

#endif
