// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_QUADRATURE_ONEPOINTATATIME_H
#define EUROCALL_QUADRATURE_ONEPOINTATATIME_H

// A plain integrand as a batch integrand that calls it once per point, in the order of
// the points: the plain forms of the rule and the driver run the batch code through it,
// so both ways in share every line of the integrator.
#include "quadrature/quadrature.h"

namespace eurocall {

inline void EvaluateOnePointAtATime(void* context, const double* x, int count, double* values) {
  const Integrand f = *static_cast<const Integrand*>(context);
  for (int i = 0; i < count; ++i) values[i] = f(x[i]);
}

// f must outlive the batch integrand: the context points at it.
inline BatchIntegrand OnePointAtATime(Integrand& f) { return BatchIntegrand{EvaluateOnePointAtATime, &f}; }

}  // namespace eurocall

#endif
