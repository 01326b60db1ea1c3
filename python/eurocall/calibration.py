# SPDX-License-Identifier: Apache-2.0
"""Fitting the Heston model's five parameters to a surface of market quotes.

    result = eurocall.calibrate_heston(quotes, S=4468.17, r=0.035)
    result.v0, result.theta, result.kappa, result.sigma, result.rho, result.rmse_vol

quotes is a pandas DataFrame or a mapping of equal-length arrays with columns T and K
and either vol (market Black-Scholes implied volatilities) or price (call prices; a
column kind of "call"/"put" says which rows are puts). r and q are numbers, or columns
of quotes (then the arguments are left out).

Method
  Each quote is compared through its out-of-the-money option, as the market quotes it:
  the call where K*exp(-rT) >= S*exp(-qT), else the put. With a dividend yield the call
  is priced on S' = S*exp(-(T*q)) and the put is (call - S') + K*exp(-(T*r)), the
  package's and the tool's convention.

  objective  residual of a quote
  "vol"      model vol - market vol of the out-of-the-money option (the default)
  "price"    model price - market price of that option
  "vega"     (model price - market price) / market Black-Scholes vega

  A model volatility starts from the library's search (BSVol on the call price, within
  about 1.2e-7 relative) and is refined by Newton steps on the out-of-the-money price
  itself, so that the residuals are smooth to the pricer's accuracy: the optimiser's
  Jacobian is taken by finite differences, which a 1e-7 staircase would spoil. For a
  put the refinement inverts the put price directly instead of the call that parity
  makes of it, whose value is mostly intrinsic (K*exp(-rT) < S'); the put price still
  carries the parity's absolute rounding (a few ulp of S'), but no second cancellation.

  SciPy's least_squares (trust-region reflective, within bounds) minimises the sum of
  squares. enforce_feller=True fits sigma as s*sqrt(2*kappa*theta) with s in [0, 1],
  which keeps 2*kappa*theta >= sigma^2 at every step.

What is left out, and said:
  - quotes outside the model's domain (T, K not finite and > 0; vol not in (0, 2];
    price not finite and >= 0; r, q not finite) and quotes whose price no volatility in
    [0.001, 2] resolves: in result.excluded with the reason, never fitted;
  - a model volatility the bracket [0.001, 2] does not resolve at the optimum is set to
    the nearer end (the residual then says how far off it is) and named in the
    per-quote table's model_status;
  - a fit that stopped without meeting its tolerances has converged False, and the
    optimiser's message says why.

Surface pricing: all quotes of one evaluation are priced by _surface_call_prices, on
`workers` threads of their own (every export is reentrant and ctypes releases the GIL).
A price is computed on a thread whose maths error indicator is clear (once set it makes
the integrand 0 for the rest of that thread's life), so the result is bit for bit the
same for any number of workers.
"""
import math
import numbers
import threading
import time

from . import raw

PARAMETERS = ("v0", "theta", "kappa", "sigma", "rho")

# Wide enough for the surfaces we know of (the DAX 2002 optimum lies near kappa = 15.7,
# sigma = 3.4), narrow enough to keep the optimiser out of parameters that price nothing.
DEFAULT_BOUNDS = {
    "v0": (1e-6, 4.0),
    "theta": (1e-6, 4.0),
    "kappa": (1e-3, 50.0),
    "sigma": (1e-3, 10.0),
    "rho": (-0.999, 0.999),
}

OBJECTIVES = ("vol", "price", "vega")
METHODS = ("exact", "fast")

# The volatility search's bracket; a volatility outside it is never a model volatility.
VOL_LOW, VOL_HIGH = 0.001, 2.0
# A price within this fraction of S' of the price at the bracket's low end tells no
# volatility apart from it (the tool's "unresolved").
INDISTINCT = 1e-12

# theIntegrand at a point where its value is about 0.0682: exactly 0 once the calling
# thread's maths error indicator is set.
_PROBE = (-0.2, 0.5, 0.09, 0.04, 2.0, 0.6, 0.3, 0.75)

_SQRT2 = math.sqrt(2.0)

# Relative step of the finite-difference Jacobian. The exact price's adaptive tail (to
# 1e-8 relative) leaves noise of about 1e-10 in a volatility that moves with the
# parameters in small jumps; steps of 1e-7 and below let that noise into the Jacobian
# and stall the fit short of the optimum, 1e-5 recovers every test surface to the
# pricer's accuracy while its truncation error stays near 1e-5 of the slope.
_DIFF_STEP = 1e-5
_SQRT2PI = math.sqrt(2.0 * math.pi)


def _require_numpy_scipy():
    try:
        import numpy
        from scipy.optimize import least_squares
    except ImportError as error:
        raise ImportError(
            "eurocall.calibrate_heston needs NumPy and SciPy (%s); install them, on Debian "
            "with: apt-get install python3-numpy python3-scipy" % error) from None
    return numpy, least_squares


# --- Black-Scholes on the out-of-the-money side -------------------------------------

def _otm_price(Sf, T, Kd, vol, put):
    """Black-Scholes price of the call, or of the put when put, on forward spot Sf."""
    root = vol * math.sqrt(T)
    d1 = (math.log(Sf / Kd) + 0.5 * root * root) / root
    d2 = d1 - root
    if put:
        return Kd * 0.5 * math.erfc(d2 / _SQRT2) - Sf * 0.5 * math.erfc(d1 / _SQRT2)
    return Sf * 0.5 * math.erfc(-d1 / _SQRT2) - Kd * 0.5 * math.erfc(-d2 / _SQRT2)


def _vega(Sf, T, Kd, vol):
    root = vol * math.sqrt(T)
    d1 = (math.log(Sf / Kd) + 0.5 * root * root) / root
    return Sf * math.exp(-0.5 * d1 * d1) / _SQRT2PI * math.sqrt(T)


def _implied_vol(Sf, K, T, r, Kd, price, put):
    """(vol, status) of an out-of-the-money price; status "ok", "below" or "above".

    "below": the price is not above the price at vol 0.001 by more than 1e-12*Sf (no
    volatility in the bracket resolves it), vol 0.001. "above": not below the price at
    vol 2, vol 2.
    """
    low = _otm_price(Sf, T, Kd, VOL_LOW, put)
    if not price - low > INDISTINCT * Sf:
        return VOL_LOW, "below"
    if not price < _otm_price(Sf, T, Kd, VOL_HIGH, put):
        return VOL_HIGH, "above"
    # The library's search on the call price is the start; within the bracket f is
    # increasing, and [a, b] keeps the root between f(a) < 0 < f(b).
    call = price if not put else (price + Sf) - Kd
    vol = raw.BSVol(Sf, K, T, r, call)
    if not VOL_LOW < vol < VOL_HIGH:
        vol = 0.5 * (VOL_LOW + VOL_HIGH)
    a, b = VOL_LOW, VOL_HIGH
    for _ in range(100):
        f = _otm_price(Sf, T, Kd, vol, put) - price
        if f == 0:
            return vol, "ok"
        if f < 0:
            a = vol
        else:
            b = vol
        vega = _vega(Sf, T, Kd, vol)
        step = f / vega if vega > 0 else math.inf
        candidate = vol - step
        if not a < candidate < b:
            candidate = 0.5 * (a + b)
            step = vol - candidate
        vol = candidate
        if abs(step) <= 4e-16 * vol or b - a <= 4e-16 * b:
            break
    return vol, "ok"


# --- The quotes ---------------------------------------------------------------------

class _Surface:
    """The usable quotes as flat lists, with their market values on the OTM side."""

    def __init__(self, quotes, S, r, q):
        columns, labels = _columns(quotes)
        for name in ("T", "K"):
            if name not in columns:
                raise ValueError("quotes need a column %r (have %s)" % (name, ", ".join(sorted(columns))))
        if ("vol" in columns) == ("price" in columns):
            raise ValueError("quotes need exactly one of the columns 'vol' and 'price'")
        self.given = "vol" if "vol" in columns else "price"
        S = _number("S", S)
        if not (math.isfinite(S) and S > 0):
            raise ValueError("S = %r is outside the model's domain (S finite and > 0)" % S)
        self.S = S
        n = len(columns["T"])
        for name, values in columns.items():
            if len(values) != n:
                raise ValueError("quotes column %r has %d values and 'T' has %d" % (name, len(values), n))
        rates = {}
        for name, value in (("r", r), ("q", q)):
            if name in columns and value is not None:
                raise ValueError("%s is given both as an argument and as a column of quotes; give it once" % name)
            if name in columns:
                rates[name] = [float(v) for v in columns[name]]
            elif value is None and name == "r":
                raise ValueError("give r as an argument or as a column of quotes")
            else:
                rates[name] = [_number(name, 0.0 if value is None else value)] * n
        kinds = [str(k).strip().lower() for k in columns["kind"]] if "kind" in columns else ["call"] * n

        self.labels, self.excluded = [], []
        self.T, self.K, self.r, self.q, self.Sf, self.Kd, self.put = [], [], [], [], [], [], []
        self.market_vol, self.market_price, self.vega = [], [], []
        rate_of_maturity = {}
        for i in range(n):
            T, K, rr, qq = float(columns["T"][i]), float(columns["K"][i]), rates["r"][i], rates["q"][i]
            value = float(columns[self.given][i])
            reason = _outside_domain(T, K, rr, qq, self.given, value, kinds[i])
            if reason is None and T in rate_of_maturity and rate_of_maturity[T] != (rr, qq):
                raise ValueError("quotes at T = %r have different r or q; give one per maturity" % T)
            rate_of_maturity.setdefault(T, (rr, qq))
            if reason is not None:
                self.excluded.append((labels[i], reason))
                continue
            Sf = S if qq == 0 else S * math.exp(-(T * qq))
            Kd = math.exp(-(T * rr)) * K
            put = Kd < Sf
            if self.given == "vol":
                vol = value
                price = _otm_price(Sf, T, Kd, vol, put)
            else:
                # Parity only where the row quotes the in-the-money side: the
                # out-of-the-money price as given keeps all its digits.
                if (kinds[i] == "put") == put:
                    price = value
                elif put:
                    price = (value - Sf) + Kd
                else:
                    price = (value - Kd) + Sf
                vol, status = _implied_vol(Sf, K, T, rr, Kd, price, put)
                if status != "ok":
                    self.excluded.append((labels[i], "price %r: no volatility in [0.001, 2] resolves it (%s the "
                                          "bracket)" % (value, status)))
                    continue
            self.labels.append(labels[i])
            for column, v in ((self.T, T), (self.K, K), (self.r, rr), (self.q, qq), (self.Sf, Sf), (self.Kd, Kd),
                              (self.put, put), (self.market_vol, vol), (self.market_price, price),
                              (self.vega, _vega(Sf, T, Kd, vol))):
                column.append(v)
        self.frame_index = labels if _is_frame(quotes) else None

    def __len__(self):
        return len(self.T)


def _is_frame(quotes):
    return hasattr(quotes, "columns") and hasattr(quotes, "index")


def _columns(quotes):
    if _is_frame(quotes):
        return {str(c): list(quotes[c]) for c in quotes.columns}, list(quotes.index)
    try:
        columns = {str(name): list(values) for name, values in dict(quotes).items()}
    except (TypeError, ValueError):
        raise TypeError("quotes must be a DataFrame or a mapping of column name to values, not %s"
                        % type(quotes).__name__) from None
    n = len(next(iter(columns.values()))) if columns else 0
    return columns, list(range(n))


def _number(name, value):
    if isinstance(value, (str, bytes)) or not isinstance(value, numbers.Real):
        raise TypeError("%s must be a number, not %s" % (name, type(value).__name__))
    return float(value)


def _outside_domain(T, K, r, q, given, value, kind):
    if not (math.isfinite(T) and T > 0):
        return "T = %r is outside the domain of a fit (T finite and > 0)" % T
    if not (math.isfinite(K) and K > 0):
        return "K = %r is outside the model's domain (K finite and > 0)" % K
    for name, v in (("r", r), ("q", q)):
        if not math.isfinite(v):
            return "%s = %r is outside the model's domain (%s finite)" % (name, v, name)
    if given == "vol" and not (math.isfinite(value) and VOL_LOW <= value <= VOL_HIGH):
        return "vol = %r lies outside the volatilities a model price can have ([0.001, 2])" % value
    if given == "price" and not (math.isfinite(value) and value >= 0):
        return "price = %r is outside the model's domain (price finite and >= 0)" % value
    if given == "price" and kind not in ("call", "put"):
        return "kind = %r is neither 'call' nor 'put'" % kind
    return None


# --- Pricing the surface ------------------------------------------------------------

def _thread_clean():
    return raw.theIntegrand(*_PROBE) != 0.0


def _price_run(function, surface, params, first, last, out):
    for i in range(first, last):
        if not _thread_clean():
            # This thread's indicator is set for good: the rest goes to a fresh thread.
            _on_fresh_thread(_price_run, function, surface, params, i, last, out)
            return
        out[i] = function(surface.Sf[i], surface.K[i], surface.T[i], surface.r[i], *params)


def _on_fresh_thread(target, *args):
    thread = threading.Thread(target=target, args=args)
    thread.start()
    thread.join()


def _surface_call_prices(params, surface, method, workers):
    """Heston call prices (on S') of every quote of the surface, in order.

    Every evaluation of the fit prices the whole surface here and nowhere else. Each
    price comes from a thread whose error indicator was clear, never the caller's.
    """
    function = raw.HestonCall_exact if method == "exact" else raw.HestonCall_fast
    n = len(surface)
    out = [0.0] * n
    count = max(1, min(workers, n))
    bounds = [n * k // count for k in range(count + 1)]
    threads = [threading.Thread(target=_price_run, args=(function, surface, tuple(params), bounds[k],
                                                          bounds[k + 1], out)) for k in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return out


def _model_values(params, surface, method, workers):
    """(OTM prices, vols, statuses) of the model with parameters params."""
    calls = _surface_call_prices(params, surface, method, workers)
    prices, vols, statuses = [], [], []
    for i, call in enumerate(calls):
        Sf, Kd, put = surface.Sf[i], surface.Kd[i], surface.put[i]
        price = (call - Sf) + Kd if put else call
        vol, status = _implied_vol(Sf, surface.K[i], surface.T[i], surface.r[i], Kd, price, put)
        prices.append(price)
        vols.append(vol)
        statuses.append(status)
    return prices, vols, statuses


# --- The result ---------------------------------------------------------------------

class CalibrationResult:
    """What calibrate_heston found and how well it fits.

    Parameters: v0, theta, kappa, sigma, rho (and params, the five as a dict).
    Fit: rmse_vol (vol points, 100 x vol), sse_vol (vol points squared), rmse_price,
      max_error_vol (vol points, signed) and max_error_at (the quote's label, T, K).
    quotes: per quote T, K, r, q, option ("call"/"put", the OTM side), market_vol,
      model_vol, vol_error (points), market_price, model_price, price_error,
      model_status ("ok", or "below"/"above" the bracket [0.001, 2]); a DataFrame with
      the input's index when quotes came as one, else a dict of lists.
    excluded: [(label, reason)] of the quotes left out.
    Run: converged, status and message (SciPy's), evaluations (surface pricings, the
      Jacobian's included), iterations, seconds, seconds_per_iteration, starts (each
      start's parameters, sum of squared residuals and status), objective, method.
    feller: 2*kappa*theta >= sigma^2 holds at the result.
    jacobian: the residuals' Jacobian at the result (finite differences, one column per
      parameter; with enforce_feller the fourth column is d/ds, s = sigma/sqrt(2 kappa
      theta)): its pseudo-inverse maps residual noise to parameter uncertainty.
    """

    def __init__(self, **fields):
        self.__dict__.update(fields)

    @property
    def params(self):
        return {name: getattr(self, name) for name in PARAMETERS}

    def __repr__(self):
        return ("CalibrationResult(v0=%.6g, theta=%.6g, kappa=%.6g, sigma=%.6g, rho=%.6g, rmse_vol=%.4g, "
                "converged=%s)" % (self.v0, self.theta, self.kappa, self.sigma, self.rho, self.rmse_vol,
                                   self.converged))

    def summary(self):
        lines = ["v0 = %.6g  theta = %.6g  kappa = %.6g  sigma = %.6g  rho = %.6g" % tuple(
                     getattr(self, n) for n in PARAMETERS),
                 "%d quotes fitted (%s errors, %s prices): RMSE %.4g vol points, %.4g in price; "
                 "SSE %.6g vol points^2; largest error %.4g vol points at %r"
                 % (len(self.quotes["T"]), self.objective, self.method, self.rmse_vol, self.rmse_price,
                    self.sse_vol, self.max_error_vol, self.max_error_at),
                 "Feller condition 2*kappa*theta >= sigma^2: %s" % ("holds" if self.feller else "violated"),
                 "%s after %d evaluations, %d iterations, %.3g s: %s" % (
                     "converged" if self.converged else "NOT CONVERGED", self.evaluations, self.iterations,
                     self.seconds, self.message)]
        for label, reason in self.excluded:
            lines.append("left out %r: %s" % (label, reason))
        return "\n".join(lines)


# --- The fit ------------------------------------------------------------------------

def _default_start(surface):
    """v0 from the at-the-money vol of the shortest maturity, theta from the longest."""
    by_maturity = {}
    for i, T in enumerate(surface.T):
        moneyness = abs(math.log(surface.Kd[i] / surface.Sf[i]))
        best = by_maturity.get(T)
        if best is None or moneyness < best[0]:
            by_maturity[T] = (moneyness, surface.market_vol[i])
    short, long_ = by_maturity[min(by_maturity)][1], by_maturity[max(by_maturity)][1]
    return {"v0": short * short, "theta": long_ * long_, "kappa": 1.0, "sigma": 0.5, "rho": -0.5}


def _clip_into(np, x, lower, upper):
    # Strictly inside: least_squares refuses a start on a bound.
    span = upper - lower
    return np.minimum(np.maximum(x, lower + 1e-9 * span), upper - 1e-9 * span)


def calibrate_heston(quotes, S, r=None, q=None, *, objective="vol", method="exact", start=None, starts=0,
                     seed=0, bounds=None, enforce_feller=False, workers=1, max_evaluations=None,
                     tolerance=1e-10):
    """Fit v0, theta, kappa, sigma, rho to market quotes; returns a CalibrationResult.

    quotes     DataFrame or mapping of arrays: T, K, and vol or price (call prices, or
               with a kind column "call"/"put" per row); r and q as columns or arguments.
    objective  "vol" (default), "price" or "vega": the residuals (module docstring).
    method     "exact" (default) or "fast": HestonCall_exact or HestonCall_fast.
    start      dict of the five parameters; default v0 and theta from the at-the-money
               vols of the shortest and longest maturities, kappa 1, sigma 0.5, rho -0.5.
    starts     more starts: a number (drawn uniformly from a plausible box with `seed`)
               or a list of dicts; the fit with the smallest sum of squares is returned.
    bounds     dict name -> (low, high) overriding DEFAULT_BOUNDS.
    enforce_feller  keep 2*kappa*theta >= sigma^2 throughout.
    workers    threads that price the surface; the result is the same for any number.
    max_evaluations  per start (default 100 per parameter, SciPy's); tolerance: SciPy's
               ftol, xtol and gtol.
    """
    np, least_squares = _require_numpy_scipy()
    if objective not in OBJECTIVES:
        raise ValueError("objective must be one of %s, not %r" % (", ".join(map(repr, OBJECTIVES)), objective))
    if method not in METHODS:
        raise ValueError("method must be one of %s, not %r" % (", ".join(map(repr, METHODS)), method))
    if isinstance(workers, bool) or not isinstance(workers, numbers.Integral) or workers < 1:
        raise ValueError("workers must be a positive integer, not %r" % (workers,))
    surface = _Surface(quotes, S, r, q)
    if len(surface) < len(PARAMETERS):
        raise ValueError("%d usable quotes cannot fix the 5 parameters (%d left out: %s)" % (
            len(surface), len(surface.excluded), "; ".join("%r: %s" % e for e in surface.excluded) or "none"))

    limits = dict(DEFAULT_BOUNDS)
    for name, pair in (bounds or {}).items():
        if name not in limits:
            raise ValueError("bounds: unknown parameter %r (the parameters are %s)" % (name, ", ".join(PARAMETERS)))
        limits[name] = (float(pair[0]), float(pair[1]))
    lower = np.array([limits[n][0] for n in PARAMETERS])
    upper = np.array([limits[n][1] for n in PARAMETERS])
    if enforce_feller:
        # The fourth coordinate is s = sigma / sqrt(2 kappa theta).
        lower[3], upper[3] = 0.0, 1.0

    def to_params(x):
        v0, theta, kappa, fourth, rho = (float(v) for v in x)
        sigma = fourth * math.sqrt(2.0 * kappa * theta) if enforce_feller else fourth
        return (v0, theta, kappa, sigma, rho)

    def to_coordinates(params):
        v0, theta, kappa, sigma, rho = params
        fourth = min(sigma / math.sqrt(2.0 * kappa * theta), 1.0) if enforce_feller else sigma
        return _clip_into(np, np.array([v0, theta, kappa, fourth, rho]), lower, upper)

    market_vol = np.array(surface.market_vol)
    market_price = np.array(surface.market_price)
    vega = np.array(surface.vega)
    evaluations = [0]

    def residuals(x):
        evaluations[0] += 1
        prices, vols, _ = _model_values(to_params(x), surface, method, workers)
        if objective == "vol":
            return np.array(vols) - market_vol
        if objective == "price":
            return np.array(prices) - market_price
        return (np.array(prices) - market_price) / vega

    first = dict(_default_start(surface))
    first.update(start or {})
    missing = [n for n in PARAMETERS if n not in first]
    if missing or len(first) != len(PARAMETERS):
        raise ValueError("start must give the five parameters %s" % ", ".join(PARAMETERS))
    trial_starts = [first]
    if isinstance(starts, numbers.Integral) and not isinstance(starts, bool):
        rng = np.random.default_rng(seed)
        for _ in range(int(starts)):
            trial_starts.append({"v0": rng.uniform(0.5, 2.0) * first["v0"],
                                 "theta": rng.uniform(0.5, 2.0) * first["theta"],
                                 "kappa": rng.uniform(0.2, 8.0), "sigma": rng.uniform(0.1, 2.0),
                                 "rho": rng.uniform(-0.95, 0.5)})
    else:
        trial_starts += [dict(s) for s in starts]

    began = time.perf_counter()
    best, tried, iterations = None, [], 0
    for trial in trial_starts:
        x0 = to_coordinates(tuple(float(trial[n]) for n in PARAMETERS))
        fit = least_squares(residuals, x0, bounds=(lower, upper), method="trf", x_scale="jac",
                            diff_step=_DIFF_STEP, ftol=tolerance, xtol=tolerance, gtol=tolerance,
                            max_nfev=max_evaluations)
        iterations += fit.njev if fit.njev is not None else fit.nfev
        cost = 2.0 * fit.cost
        tried.append({"start": dict(trial), "params": dict(zip(PARAMETERS, to_params(fit.x))),
                      "sum_of_squares": cost, "status": fit.status, "message": fit.message})
        if best is None or cost < 2.0 * best.cost:
            best = fit
    seconds = time.perf_counter() - began

    params = to_params(best.x)
    prices, vols, statuses = _model_values(params, surface, method, workers)
    vol_error = 100.0 * (np.array(vols) - market_vol)
    price_error = np.array(prices) - market_price
    worst = int(np.argmax(np.abs(vol_error)))
    table = {"T": surface.T, "K": surface.K, "r": surface.r, "q": surface.q,
             "option": ["put" if p else "call" for p in surface.put],
             "market_vol": surface.market_vol, "model_vol": vols, "vol_error": vol_error.tolist(),
             "market_price": surface.market_price, "model_price": prices, "price_error": price_error.tolist(),
             "model_status": statuses}
    if surface.frame_index is not None:
        import pandas
        table = pandas.DataFrame(table, index=surface.labels)
    v0, theta, kappa, sigma, rho = params
    return CalibrationResult(
        v0=v0, theta=theta, kappa=kappa, sigma=sigma, rho=rho,
        rmse_vol=float(np.sqrt(np.mean(vol_error ** 2))), sse_vol=float(np.sum(vol_error ** 2)),
        rmse_price=float(np.sqrt(np.mean(price_error ** 2))),
        max_error_vol=float(vol_error[worst]),
        max_error_at=(surface.labels[worst], surface.T[worst], surface.K[worst]),
        quotes=table, excluded=list(surface.excluded),
        converged=bool(best.status > 0), status=int(best.status), message=best.message,
        evaluations=evaluations[0], iterations=iterations, seconds=seconds,
        seconds_per_iteration=seconds / max(iterations, 1), starts=tried, jacobian=best.jac,
        objective=objective, method=method, feller=2.0 * kappa * theta >= sigma * sigma)
