// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_QUADRATURE_H
#define EUROCALL_QUADRATURE_H

// Adaptive quadrature on infinite ranges: a transformed 15-point Gauss–Kronrod rule,
// the error-ordered list of subintervals, Wynn's epsilon extrapolation and the driver
// that bisects and extrapolates. Subintervals and table positions count from 0.
namespace eurocall {

// A plain function of one double; the integrator passes it no context.
using Integrand = double (*)(double);

// The same integrand taken a rule at a time: evaluate(context, x, count, values) sets
// values[i] = f(x[i]) for i = 0..count-1. count is the rule's whole set of points, 15
// (30 for rangeKind 2), in the order in which the rule would call a plain f one point
// at a time, so an integrand with side effects sees them in the same order either way.
// Every value of a rule is asked for before the rule uses any of them.
struct BatchIntegrand {
  void (*evaluate)(void* context, const double* x, int count, double* values);
  void* context;
};

// Points per rule application: 15, and 30 on the whole line (f(x) and f(-x)).
constexpr int kRulePoints = 15;
constexpr int kRulePointsWholeLine = 2 * kRulePoints;

// Outcome of IntegrateToInfinity, as reported to its caller.
enum class IntegrationStatus : int {
  Normal = 0,                  // requested accuracy reached, or no difficulty detected
  SubintervalLimit = 1,        // all 500 subintervals used
  RoundingLimited = 2,         // rounding errors prevent the requested accuracy
  BadIntegrand = 3,            // a subinterval became too small to bisect
  ExtrapolationRounding = 4,   // the extrapolation table does not converge
  Divergent = 5,               // the integral looks divergent, or converges too slowly
  InvalidInput = 6,            // tolerances or range kind rejected; nothing evaluated
};

// One 15-point Kronrod rule (7-point Gauss inside) over [a, b] of (0, 1] in t, where
// x = bound + s (1 - t) / t, s = -1 for rangeKind -1 and +1 otherwise, and the
// integrand becomes f(x) / t^2 (f(-x) + f(x) for rangeKind 2, the whole line folded).
// Returns the Kronrod estimate; error is the rescaled |Kronrod - Gauss| with its floor,
// absIntegral the rule on |f|, devIntegral the rule on |f - mean|. 15 calls of f
// (30 for rangeKind 2).
double Kronrod15Transformed(Integrand f, double bound, int rangeKind, double a, double b,
                            double& error, double& absIntegral, double& devIntegral);
// The same rule with its points evaluated as one batch; the plain form above runs this
// one, evaluating the batch one point at a time.
double Kronrod15Transformed(const BatchIntegrand& f, double bound, int rangeKind, double a, double b,
                            double& error, double& absIntegral, double& devIntegral);

// Restores the order of decreasing error after a bisection: the bisected interval
// target (at targetPos) now holds its larger half, interval last the other half.
// Only positions 0..keep of order are kept in order (keep = last, or limit - last + 3
// once last > limit / 2 + 2). On return target is the interval at position targetPos
// and targetError its error. last <= 1 just sets order to [0, 1].
void SortErrorList(int limit, int last, int& target, double& targetError,
                   const double* errors, int* order, int& targetPos);

// One step of Wynn's epsilon algorithm on the lower diagonal table[0..top] (52 entries;
// the newest element at top, at most 50 elements on entry). Returns the extrapolated
// value and its error; top comes back as the last element kept (at most 48 after any
// call with 3 or more elements), calls is increased by one. recent holds the last three
// returned values: entries not yet written must hold a NaN, which counts as no
// estimate (error = largest finite double) in any call that reads it.
double EpsilonExtrapolate(int& top, double* table, double& error, double* recent, int& calls);

// Integral of f over [bound, +inf) (rangeKind 1), (-inf, bound] (-1) or the whole line
// (2, bound unused), to max(absTol, relTol * |integral|), with at most 500 subintervals.
// Reports the error estimate, the number of calls of f (30 * last + 15, doubled for
// rangeKind 2) and the status. No heap, no static storage: all work arrays (about
// 18 KB) live on the stack of the call.
double IntegrateToInfinity(Integrand f, double bound, int rangeKind, double absTol, double relTol,
                           double& error, int& evaluations, IntegrationStatus& status);
// The same integral of a batch integrand, one batch per rule application: every
// result, error, count and status is the plain form's for the same f (the plain form
// runs this one, evaluating each batch one point at a time).
double IntegrateToInfinity(const BatchIntegrand& f, double bound, int rangeKind, double absTol, double relTol,
                           double& error, int& evaluations, IntegrationStatus& status);

}  // namespace eurocall

#endif
