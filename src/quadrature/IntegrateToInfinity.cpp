// SPDX-License-Identifier: Apache-2.0
// IntegrateToInfinity: adaptive integration over a half line or the whole line, with
// at most 500 subintervals of the mapped range (0, 1] and epsilon extrapolation.
//
// Method: one rule over (0, 1]; if that is not good enough, repeatedly bisect the
// subinterval with the largest error. Once the subinterval to bisect is no longer than
// `small`, the large subintervals are refined first and the sum of all estimates is fed
// to the epsilon algorithm; `small` is then halved. The better of the plain sum and the
// extrapolated value is returned, after a test for divergence. Each rule application
// evaluates its points as one batch (BatchIntegrand); a plain integrand is called one
// point at a time through the same code.
//
//   both tolerances negative (NaN counts as negative), or rangeKind not 1, -1, 2
//                                  -> 0, error 0, no evaluations, InvalidInput
//   first rule good enough         -> its result, 15 evaluations (30 for the whole line)
//   limit of 500 subintervals      -> 14985 evaluations (29970), SubintervalLimit, or
//                                     BadIntegrand / Divergent when those fire as well
//
// Accuracy: on the classic integrals of the tests (e^-x, e^-x^2, x^2 e^-x,
// 1/(1 + x^2), ln x e^-x, 1/((1 + x) sqrt x), sin 50x e^-x, ...) a normal end always
// has the true error within the reported estimate, and the estimate within the
// requested accuracy.
//
// Inside the call the driver keeps a working code (Working below), finer than the
// status it reports: rounding is told apart by phase, and at the finish both rounding
// codes report RoundingLimited.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "quadrature/OnePointAtATime.h"
#include "quadrature/quadrature.h"

namespace eurocall {

namespace {

constexpr int kLimit = 500;       // subintervals, numbered 0..499
constexpr int kLastLimit = kLimit - 1;
constexpr int kTableSize = 52;    // epsilon table: 50 elements plus two scratch positions
constexpr double kLargest = DBL_MAX;

// The first rule's error is all rounding when it is within 100 ulps of |f|'s integral.
constexpr double kRoundingOnly = 2.220446049250313e-14;  // 100 * 2^-52
static_assert(kRoundingOnly == 100 * 0x1p-52);
// |result| this close to the integral of |f| means f keeps one sign.
constexpr double kOneSigned = 0.9999999999999889;  // 1 - 50 * 2^-52
static_assert(kOneSigned == 1 - 50 * 0x1p-52);
// A subinterval whose ends agree to 1000 ulps cannot be bisected usefully.
constexpr double kTooSmall = 1.000000000000222;  // 1 + 1000 * 2^-52
static_assert(kTooSmall == 1 + 1000 * 0x1p-52);
constexpr double kTooSmallOffset = 2.2250738585072014e-305;  // 1000 * smallest normal
static_assert(kTooSmallOffset == 1000 * 0x1p-1022);

constexpr double kNoEstimate = std::numeric_limits<double>::quiet_NaN();

// The working code: what ended the call early, as the driver tells it apart; each
// reports as the status in its comment.
enum class Working : int {
  None = 0,                        // Normal
  SubintervalLimit = 1,            // SubintervalLimit: all 500 subintervals used
  Rounding = 2,                    // RoundingLimited: the first rule's error is all rounding,
                                   // or bisection keeps the error stuck or grows it
  RoundingWhileExtrapolating = 3,  // RoundingLimited: errors stuck in the extrapolation phase
  TooSmallToBisect = 4,            // BadIntegrand: a subinterval too small to bisect
  ExtrapolationStalled = 5,        // ExtrapolationRounding: no better extrapolated value in
                                   // six tries, the best far below the error sum
  Divergent = 6,                   // Divergent: the extrapolated value far from the plain sum
};

IntegrationStatus Reported(Working code) {
  switch (code) {
    case Working::None: return IntegrationStatus::Normal;
    case Working::SubintervalLimit: return IntegrationStatus::SubintervalLimit;
    case Working::Rounding:
    case Working::RoundingWhileExtrapolating: return IntegrationStatus::RoundingLimited;
    case Working::TooSmallToBisect: return IntegrationStatus::BadIntegrand;
    case Working::ExtrapolationStalled: return IntegrationStatus::ExtrapolationRounding;
    case Working::Divergent: return IntegrationStatus::Divergent;
  }
  return IntegrationStatus::Normal;
}

}  // namespace

double IntegrateToInfinity(const BatchIntegrand& f, double bound, int rangeKind, double absTol, double relTol,
                           double& error, int& evaluations, IntegrationStatus& status) {
  Working code = Working::None;
  evaluations = 0;
  error = 0.0;
  // A zero or positive value of either tolerance is enough; NaN counts as negative.
  const bool tolerancesValid = absTol >= 0.0 || relTol >= 0.0;
  const bool rangeValid = rangeKind == 1 || rangeKind == -1 || rangeKind == 2;
  if (!tolerancesValid || !rangeValid) {
    status = IntegrationStatus::InvalidInput;
    return 0.0;
  }
  const double b0 = rangeKind == 2 ? 0.0 : bound;

  double left[kLimit];
  double right[kLimit];
  double est[kLimit];
  double err[kLimit];
  int order[kLimit];
  double table[kTableSize];
  // Entries are written by the first three extrapolations that do not converge at
  // once; until then a NaN marks "no estimate" for EpsilonExtrapolate.
  double recent[3] = {kNoEstimate, kNoEstimate, kNoEstimate};

  left[0] = 0.0;
  right[0] = 1.0;
  est[0] = 0.0;
  err[0] = 0.0;
  order[0] = 0;

  // First rule over the whole of (0, 1].
  double firstError = 0.0;
  double absIntegral = 0.0;
  double firstDev = 0.0;
  double result = Kronrod15Transformed(f, b0, rangeKind, 0.0, 1.0, firstError, absIntegral, firstDev);
  int last = 0;
  est[0] = result;
  err[0] = firstError;
  order[0] = 0;
  double errBound = std::max(absTol, relTol * std::fabs(result));
  if (firstError <= kRoundingOnly * absIntegral && firstError > errBound) code = Working::Rounding;

  double bestError = kLargest;
  // An error equal to the deviation integral is the cap of the rescaling, not a
  // measured error, so it cannot end the call as accurate.
  const bool firstRuleDone =
      code != Working::None || (firstError <= errBound && firstError != firstDev) || firstError == 0.0;
  if (!firstRuleDone) {
    table[0] = result;
    double targetError = firstError;
    int target = 0;
    double area = result;
    double errSum = firstError;
    int targetPos = 0;
    int calls = 0;
    int stall = 0;
    int top = 1;
    bool extrapolating = false;
    bool noExtrap = false;
    // Rounding symptoms, counted per bisection: the halves reproduce the bisected
    // estimate to 1e-5 but keep 99 % or more of its error (outside and inside the
    // extrapolation phase), and, after the tenth bisection, the halves' error exceeds
    // the bisected one's.
    int stuckErrors = 0;
    int stuckErrorsExtrapolating = 0;
    int grownErrors = 0;
    const int sign = std::fabs(result) > kOneSigned * absIntegral ? 1 : -1;
    double small = 0.0;
    double largeErr = 0.0;
    double extrapBound = 0.0;

    // How the loop ends: by the plain sum of the estimates, or by choosing between the
    // sum and the extrapolated value.
    bool sumEstimates = false;
    // At last = 499 the code is SubintervalLimit or TooSmallToBisect, so one of the two
    // exits below always leaves the loop by then.
    for (last = 1;; ++last) {
      const double a1 = left[target];
      const double b1 = (right[target] + left[target]) * 0.5;
      const double a2 = b1;
      const double b2 = right[target];
      const double lastErr = targetError;

      double error1 = 0.0;
      double error2 = 0.0;
      double abs1 = 0.0;
      double abs2 = 0.0;
      double dev1 = 0.0;
      double dev2 = 0.0;
      const double area1 = Kronrod15Transformed(f, b0, rangeKind, a1, b1, error1, abs1, dev1);
      const double area2 = Kronrod15Transformed(f, b0, rangeKind, a2, b2, error2, abs2, dev2);

      const double pairArea = area1 + area2;
      const double pairError = error1 + error2;
      errSum = (pairError + errSum) - targetError;
      area = (pairArea + area) - est[target];

      // A half whose error is the cap of the rescaling (equal to its deviation integral)
      // is still unresolved, so the pair says nothing about rounding.
      if (dev1 != error1 && dev2 != error2) {
        if (std::fabs(est[target] - pairArea) <= 1e-5 * std::fabs(pairArea) &&
            pairError >= 0.99 * targetError) {
          if (extrapolating) {
            stuckErrorsExtrapolating = stuckErrorsExtrapolating + 1;
          } else {
            stuckErrors = stuckErrors + 1;
          }
        }
        if (last > 9 && pairError > targetError) grownErrors = grownErrors + 1;
      }
      est[target] = area1;
      est[last] = area2;
      errBound = std::max(absTol, relTol * std::fabs(area));

      // Later tests override earlier ones.
      if (stuckErrors + stuckErrorsExtrapolating >= 10 || grownErrors >= 20) code = Working::Rounding;
      if (stuckErrorsExtrapolating > 5) code = Working::RoundingWhileExtrapolating;
      if (last == kLastLimit) code = Working::SubintervalLimit;
      if (std::max(std::fabs(a1), std::fabs(b2)) <= kTooSmall * (std::fabs(a2) + kTooSmallOffset)) {
        code = Working::TooSmallToBisect;
      }

      // Slot target keeps the half with the larger error; on a tie the left half.
      if (error2 > error1) {
        left[target] = a2;
        left[last] = a1;
        right[last] = b1;
        est[target] = area2;
        est[last] = area1;
        err[target] = error2;
        err[last] = error1;
      } else {
        left[last] = a2;
        right[target] = b1;
        right[last] = b2;
        err[target] = error1;
        err[last] = error2;
      }
      SortErrorList(kLastLimit, last, target, targetError, err, order, targetPos);

      if (errSum <= errBound) {
        sumEstimates = true;
        break;
      }
      if (code != Working::None) break;
      if (last == 1) {
        small = 0.375;
        largeErr = errSum;
        extrapBound = errBound;
        table[1] = area;
        continue;
      }
      if (noExtrap) continue;

      largeErr = largeErr - lastErr;
      if (std::fabs(b1 - a1) > small) largeErr = largeErr + pairError;
      if (!extrapolating) {
        if (std::fabs(right[target] - left[target]) > small) continue;
        extrapolating = true;
        targetPos = 1;
      }

      if (largeErr > extrapBound) {
        // Refine the large subintervals before extrapolating; only the kept front of
        // the ordering is searched.
        const int hi = last > 251 ? 502 - last : last;
        const int scans = hi - targetPos + 1;
        bool largeFound = false;
        for (int m = 0; m < scans; ++m) {
          target = order[targetPos];
          targetError = err[target];
          if (std::fabs(right[target] - left[target]) > small) {
            largeFound = true;
            break;
          }
          targetPos = targetPos + 1;
        }
        if (largeFound) continue;
      }

      top = top + 1;
      table[top] = area;
      double extrapError = 0.0;
      const double extrapValue = EpsilonExtrapolate(top, table, extrapError, recent, calls);
      stall = stall + 1;
      if (stall > 5 && bestError < 0.001 * errSum) code = Working::ExtrapolationStalled;
      if (extrapError < bestError) {
        stall = 0;
        bestError = extrapError;
        result = extrapValue;
        extrapBound = std::max(absTol, relTol * std::fabs(extrapValue));
        if (bestError <= extrapBound) break;
      }
      if (top == 0) noExtrap = true;
      if (code == Working::ExtrapolationStalled) break;

      target = order[0];
      targetError = err[target];
      targetPos = 0;
      extrapolating = false;
      small = small * 0.5;
      largeErr = errSum;
    }

    // Choose between the extrapolated value and the plain sum.
    bool divergenceTest = false;
    if (!sumEstimates) {
      if (bestError == kLargest) {
        sumEstimates = true;
      } else if (code == Working::None) {
        divergenceTest = true;
      } else if (result != 0.0 && area != 0.0) {
        if (bestError / std::fabs(result) > errSum / std::fabs(area)) {
          sumEstimates = true;
        } else {
          divergenceTest = true;
        }
      } else if (bestError > errSum) {
        sumEstimates = true;
      } else if (area != 0.0) {
        divergenceTest = true;
      }
    }
    if (sumEstimates) {
      result = 0.0;
      for (int i = 0; i <= last; ++i) result = result + est[i];
      bestError = errSum;
    } else if (divergenceTest) {
      // A sign-changing integrand that is small against the integral of |f| is left
      // alone; otherwise an extrapolated value far from the plain sum means divergence.
      if (!(sign == -1 && std::max(std::fabs(result), std::fabs(area)) <= 0.01 * absIntegral)) {
        const double q = result / area;
        if (q < 0.01 || q > 100.0 || errSum > std::fabs(area)) code = Working::Divergent;
      }
    }
    error = bestError;
  } else {
    error = firstError;
  }

  evaluations = 30 * last + 15;
  if (rangeKind == 2) evaluations = 2 * evaluations;
  status = Reported(code);
  return result;
}

double IntegrateToInfinity(Integrand f, double bound, int rangeKind, double absTol, double relTol,
                           double& error, int& evaluations, IntegrationStatus& status) {
  return IntegrateToInfinity(OnePointAtATime(f), bound, rangeKind, absTol, relTol, error, evaluations, status);
}

}  // namespace eurocall
