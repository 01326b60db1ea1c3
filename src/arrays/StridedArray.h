// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_ARRAYS_STRIDEDARRAY_H
#define EUROCALL_ARRAYS_STRIDEDARRAY_H

// One argument of an array call: element i at values[i * stride], stride in elements;
// stride 0 gives every element the same value.
#include <cstddef>

namespace eurocall {

struct StridedInput {
  const double* values;
  std::ptrdiff_t stride;
  double operator[](std::size_t i) const { return values[static_cast<std::ptrdiff_t>(i) * stride]; }
};

struct StridedOutput {
  double* values;
  std::ptrdiff_t stride;
  double& operator[](std::size_t i) const { return values[static_cast<std::ptrdiff_t>(i) * stride]; }
};

}  // namespace eurocall

#endif
