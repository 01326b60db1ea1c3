// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_ARRAYS_MATURITYGROUPS_H
#define EUROCALL_ARRAYS_MATURITYGROUPS_H

// The Heston prices of an array call, element by element in index order, with the
// elements of one maturity priced together: for the first element not yet priced, its
// partners (same T, v0, theta, kappa, sigma and rho, bit for bit) among the next
// kLookAhead - 1 elements go with it to one HestonCallsOfOneMaturity call. Grouping
// needs no sorted input and no memory beyond the window's flags; an element without a
// partner goes to the scalar price.
//
// Each result is the scalar export's on the same arguments, including what the
// library's error indicator does to later elements: a group prices its members in
// index order, but ahead of the elements between them. Should a group set the
// indicator (an overflow in the tail's error estimate; never on sound inputs), the
// group is priced again one by one from the indicator it found, and every element
// after the one that set it, priced ahead by an earlier group, is priced again too:
// the same results as element-by-element calls in index order.
#include <cstddef>
#include <cstring>

#include "arrays/StridedArray.h"
#include "runtime/ErrorIndicator.h"

namespace eurocall {

constexpr std::size_t kLookAhead = 64;

struct HestonInputs {
  StridedInput S, K, T, r, v0, theta, kappa, sigma, rho;
};

// The maturity and parameter set of element i, compared bit for bit, so that partners
// form the very same terms (NaN with NaN of the same bits, +0 apart from -0).
inline bool SameMaturity(const HestonInputs& in, std::size_t i, std::size_t j) {
  const StridedInput* shared[6] = {&in.T, &in.v0, &in.theta, &in.kappa, &in.sigma, &in.rho};
  for (const StridedInput* p : shared) {
    const double u = (*p)[i], v = (*p)[j];
    if (std::memcmp(&u, &v, sizeof u) != 0) return false;
  }
  return true;
}

// out[i] = finish(S, K, T, r, price) with price = priceOne(S, K, T, r, v0, ...) for
// every element, the prices of one maturity through priceGroup(T, v0, theta, kappa,
// sigma, rho, count, S[], K[], r[], price[]).
template <class PriceGroup, class PriceOne, class Finish>
void PriceByMaturity(const HestonInputs& in, std::size_t n, StridedOutput out, PriceGroup priceGroup,
                     PriceOne priceOne, Finish finish) {
  bool priced[kLookAhead] = {};  // element j at j % kLookAhead, for j in [i, i + kLookAhead)
  std::size_t member[kLookAhead];
  double S[kLookAhead], K[kLookAhead], r[kLookAhead], price[kLookAhead];

  const auto priceAlone = [&](std::size_t j) {
    out[j] = finish(in.S[j], in.K[j], in.T[j], in.r[j],
                    priceOne(in.S[j], in.K[j], in.T[j], in.r[j], in.v0[j], in.theta[j], in.kappa[j], in.sigma[j],
                             in.rho[j]));
  };

  for (std::size_t i = 0; i < n; ++i) {
    if (priced[i % kLookAhead]) {
      priced[i % kLookAhead] = false;  // the slot now belongs to element i + kLookAhead
      continue;
    }
    const std::size_t end = (n - i < kLookAhead) ? n : i + kLookAhead;
    int count = 0;
    member[count++] = i;
    for (std::size_t j = i + 1; j < end; ++j) {
      if (!priced[j % kLookAhead] && SameMaturity(in, i, j)) member[count++] = j;
    }
    const int indicatorBefore = ErrorIndicator();
    if (count == 1) {
      priceAlone(i);
    } else {
      for (int m = 0; m < count; ++m) {
        S[m] = in.S[member[m]];
        K[m] = in.K[member[m]];
        r[m] = in.r[member[m]];
      }
      priceGroup(in.T[i], in.v0[i], in.theta[i], in.kappa[i], in.sigma[i], in.rho[i], count, S, K, r, price);
      for (int m = 0; m < count; ++m) {
        const std::size_t j = member[m];
        out[j] = finish(S[m], K[m], in.T[j], r[m], price[m]);
        if (m > 0) priced[j % kLookAhead] = true;
      }
    }
    if (indicatorBefore > 0 || ErrorIndicator() <= 0) continue;

    // The indicator was set within this group: find where, in index order.
    SetErrorIndicator(indicatorBefore);
    std::size_t setAt = end;
    for (int m = 0; m < count; ++m) {
      priceAlone(member[m]);
      if (setAt == end && ErrorIndicator() > 0) setAt = member[m];
    }
    for (std::size_t j = setAt + 1; j < end; ++j) {
      bool inGroup = false;
      for (int m = 0; m < count; ++m) inGroup = inGroup || member[m] == j;
      if (priced[j % kLookAhead] && !inGroup) priceAlone(j);
    }
  }
}

}  // namespace eurocall

#endif
