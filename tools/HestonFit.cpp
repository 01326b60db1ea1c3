// SPDX-License-Identifier: Apache-2.0
#include "HestonFit.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "ComputeAll.h"
#include "Request.h"

namespace eurocall::tool {

namespace {

constexpr std::size_t kParams = 5;
constexpr HestonParams kLower = {1e-6, 1e-6, 1e-3, 1e-3, -0.999};
constexpr HestonParams kUpper = {4, 4, 50, 10, 0.999};
constexpr double kDifferenceStep = 1e-5;
// GSL's stopping tests: relative step, scaled gradient, and (unused by GSL) reduction.
constexpr double kStepTolerance = 1e-10;
constexpr double kGradientTolerance = 1e-10;
constexpr double kReductionTolerance = 0;

double FromFree(std::size_t j, double u) { return kLower[j] + (kUpper[j] - kLower[j]) / (1 + std::exp(-u)); }

double ToFree(std::size_t j, double p) {
  const double span = kUpper[j] - kLower[j];
  // Strictly inside, so that the start has a finite image.
  const double inside = std::min(std::max(p, kLower[j] + 1e-9 * span), kUpper[j] - 1e-9 * span);
  return -std::log(span / (inside - kLower[j]) - 1);
}

struct Problem {
  const Library* library;
  Export pricer;
  const std::vector<FitQuote>* quotes;
  unsigned threads;
  std::size_t evaluations = 0;
  // The residuals of the last point, which GSL asks the Jacobian of right after.
  std::vector<double> lastU, lastResiduals;
};

HestonParams ParamsOf(const gsl_vector* u) {
  HestonParams p;
  for (std::size_t j = 0; j < kParams; ++j) p[j] = FromFree(j, gsl_vector_get(u, j));
  return p;
}

std::vector<double> Residuals(Problem& problem, const gsl_vector* u) {
  std::vector<double> point(u->data, u->data + kParams);
  if (point == problem.lastU) return problem.lastResiduals;
  ++problem.evaluations;
  const ModelValues model = PriceSurface(*problem.library, problem.pricer, *problem.quotes, ParamsOf(u),
                                         problem.threads);
  std::vector<double> residuals(problem.quotes->size());
  for (std::size_t i = 0; i < residuals.size(); ++i) residuals[i] = model.vols[i] - (*problem.quotes)[i].marketVol;
  problem.lastU = point;
  problem.lastResiduals = residuals;
  return residuals;
}

int ResidualFunction(const gsl_vector* u, void* data, gsl_vector* f) {
  const std::vector<double> r = Residuals(*static_cast<Problem*>(data), u);
  for (std::size_t i = 0; i < r.size(); ++i) gsl_vector_set(f, i, r[i]);
  return GSL_SUCCESS;
}

int JacobianFunction(const gsl_vector* u, void* data, gsl_matrix* J) {
  Problem& problem = *static_cast<Problem*>(data);
  const std::vector<double> base = Residuals(problem, u);
  gsl_vector* moved = gsl_vector_alloc(kParams);
  for (std::size_t j = 0; j < kParams; ++j) {
    gsl_vector_memcpy(moved, u);
    const double h = kDifferenceStep * std::max(1.0, std::fabs(gsl_vector_get(u, j)));
    gsl_vector_set(moved, j, gsl_vector_get(u, j) + h);
    const std::vector<double> r = Residuals(problem, moved);
    for (std::size_t i = 0; i < r.size(); ++i) gsl_matrix_set(J, i, j, (r[i] - base[i]) / h);
  }
  gsl_vector_free(moved);
  // The base point again, for the next call of ResidualFunction at it.
  Residuals(problem, u);
  return GSL_SUCCESS;
}

}  // namespace

HestonParams DefaultStart(const std::vector<FitQuote>& quotes) {
  std::map<double, std::pair<double, double>> atTheMoney;  // T -> (|log moneyness|, vol)
  for (const FitQuote& q : quotes) {
    const double distance = std::fabs(std::log(q.option.discountedStrike / q.option.spot));
    const auto found = atTheMoney.find(q.T);
    if (found == atTheMoney.end() || distance < found->second.first) atTheMoney[q.T] = {distance, q.marketVol};
  }
  const double shortVol = atTheMoney.begin()->second.second, longVol = atTheMoney.rbegin()->second.second;
  return {shortVol * shortVol, longVol * longVol, 1.0, 0.5, -0.5};
}

ModelValues PriceSurface(const Library& library, Export pricer, const std::vector<FitQuote>& quotes,
                         const HestonParams& params, unsigned threads) {
  std::vector<Request> requests(quotes.size());
  for (std::size_t i = 0; i < quotes.size(); ++i) {
    Values& v = requests[i].values;
    At(v, Param::S) = quotes[i].S;
    At(v, Param::K) = quotes[i].K;
    At(v, Param::T) = quotes[i].T;
    At(v, Param::r) = quotes[i].r;
    At(v, Param::q) = quotes[i].q;
    At(v, Param::v0) = params[0];
    At(v, Param::theta) = params[1];
    At(v, Param::kappa) = params[2];
    At(v, Param::sigma) = params[3];
    At(v, Param::rho) = params[4];
    requests[i].kind = quotes[i].option.put ? OptionKind::put : OptionKind::call;
  }
  ModelValues model;
  model.prices = ComputeAll(library, {pricer}, requests, threads, false);
  for (std::size_t i = 0; i < quotes.size(); ++i) {
    const ImpliedVol implied = OtmImpliedVol(library, quotes[i].option, model.prices[i]);
    model.vols.push_back(implied.vol);
    model.statuses.push_back(implied.status);
  }
  return model;
}

FitResult FitHeston(const Library& library, Export pricer, const std::vector<FitQuote>& quotes,
                    const HestonParams& start, unsigned threads, std::size_t maxIterations) {
  const auto began = std::chrono::steady_clock::now();
  Problem problem{&library, pricer, &quotes, threads};
  gsl_set_error_handler_off();
  gsl_multifit_nlinear_fdf fdf;
  fdf.f = ResidualFunction;
  fdf.df = JacobianFunction;
  fdf.fvv = nullptr;
  fdf.n = quotes.size();
  fdf.p = kParams;
  fdf.params = &problem;
  gsl_multifit_nlinear_parameters settings = gsl_multifit_nlinear_default_parameters();
  settings.trs = gsl_multifit_nlinear_trs_lm;
  gsl_multifit_nlinear_workspace* work =
      gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &settings, quotes.size(), kParams);
  gsl_vector* u = gsl_vector_alloc(kParams);
  for (std::size_t j = 0; j < kParams; ++j) gsl_vector_set(u, j, ToFree(j, start[j]));

  FitResult result;
  int info = 0;
  int status = gsl_multifit_nlinear_init(u, &fdf, work);
  if (status == GSL_SUCCESS) {
    status = gsl_multifit_nlinear_driver(maxIterations, kStepTolerance, kGradientTolerance, kReductionTolerance,
                                         nullptr, nullptr, &info, work);
  }
  result.params = ParamsOf(gsl_multifit_nlinear_position(work));
  result.iterations = gsl_multifit_nlinear_niter(work);
  result.converged = status == GSL_SUCCESS;
  if (status == GSL_SUCCESS) {
    result.stopped = info == 1 ? "the steps became small" : "the gradient became small";
  } else if (status == GSL_EMAXITER) {
    result.stopped = "the iteration limit was reached";
  } else if (status == GSL_ENOPROG) {
    result.stopped = "no step reduced the error any more";
  } else {
    result.stopped = gsl_strerror(status);
  }
  gsl_vector_free(u);
  gsl_multifit_nlinear_free(work);
  result.evaluations = problem.evaluations;
  result.model = PriceSurface(library, pricer, quotes, result.params, threads);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return result;
}

}  // namespace eurocall::tool
