// SPDX-License-Identifier: Apache-2.0
// One export on one request, with what the tool adds around the library: puts, a
// continuous dividend yield, and the word on a volatility that is no volatility.
//
//   S' = S e^(-qT)                  forward-equivalent spot; S itself when q = 0
//   call price                      export(S', K, T, r, ...)       exact for both models
//   put price                       (call - S') + K e^(-rT)         put-call parity
//   volatility of a put price p     the call price (p + S') - K e^(-rT), inverted on S'
//   Heston volatility, put          that of the call: the two prices are one parity apart
//   integrands                      unchanged (they see x, not S; kind and q do not apply)
//
// e^(-rT) is formed as the library forms its discount, exp(-(T*r)), so that the parity
// uses the same discount factor as the price it adjusts. Measured: Black-Scholes puts
// with and without dividends within 1e-13 S of the closed form in long double, and the
// volatilities of those prices within 1e-9 of the volatility that made them.
//
//   result of a volatility export   note
//   a sentinel (0, 2, 999)          what the sentinel means
//   v with BSCall(S', K, T, r, v) - BSCall(S', K, T, r, 0.001) <= 1e-12 S'
//                                   unresolved: no volatility in the bracket tells the
//                                   price from the one at its lower end 0.001 (a price
//                                   of 1e-8 computed as 0, or a few 1e-12 of noise)
#ifndef EUROCALL_TOOLS_REQUEST_H
#define EUROCALL_TOOLS_REQUEST_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Exports.h"
#include "Library.h"

namespace eurocall::tool {

enum class OptionKind { call, put };

// "call" or "put", in any case.
std::optional<OptionKind> OptionKindNamed(std::string_view name);

struct Request {
  Values values{};  // q is 0 unless given
  OptionKind kind = OptionKind::call;
};

// The arguments export `e` reads from a request, in the library's order, then q for the
// prices and volatilities: the ones the model's domain is checked on.
std::vector<Param> RequestParams(Export e);

// `exports` and what computing them needs besides: BSCall, which tells an unresolved
// volatility.
std::vector<Export> ExportsNeeded(const std::vector<Export>& exports);

double Compute(const Library& library, Export e, const Request& request);

// "2 = price outside the bracket [0.001, 2]", "unresolved: ...", or nullopt for an
// ordinary result (and for every result of a price or an integrand).
std::optional<std::string> ResultNote(const Library& library, Export e, const Request& request, double result);

}  // namespace eurocall::tool

#endif
