# SPDX-License-Identifier: Apache-2.0
"""Greeks: analytic under Black-Scholes, central differences of the library's prices under Heston.

Units, alike for both models: delta per unit of S, gamma per unit of S squared, vega
per unit of volatility or variance (a vega of 40 moves the price by 0.4 for a
volatility 0.01 higher), theta per year of calendar time (-dV/dT; divide by 365 for a
day), rho per unit of r (divide by 100 for a rate 1 % higher). A put's Greeks are
parity on the call's: delta - e^(-qT), theta - q S' + r K e^(-rT), rho - T K e^(-rT),
gamma and vegas unchanged (S' = S e^(-qT)).
"""
import math

from . import _columns, _elementwise, _quotes
from ._errors import Flag, ResultError, check_choice
from ._evaluation import evaluate

_SQRT_2PI = math.sqrt(2 * math.pi)
_SQRT_2 = math.sqrt(2)

BS_GREEKS = ("delta", "gamma", "vega", "theta", "rho")
HESTON_GREEKS = ("delta", "gamma", "vega_v0", "vega_parallel", "theta", "rho")


def _normal_cdf(x):
    # Through erfc, so that the far tails keep their relative accuracy.
    return 0.5 * math.erfc(-x / _SQRT_2)


def _bs_greeks_one(S, K, T, r, vol, q, put):
    """The five Greeks of one call (put = 0.0) or put (put = 1.0); T > 0 and vol > 0."""
    growth = math.exp(-(T * q))  # e^(-qT)
    discount = math.exp(-(T * r))
    spot = S * growth
    root = math.sqrt(T)
    sd = vol * root
    d1 = math.log(spot / (K * discount)) / sd + sd / 2
    d2 = d1 - sd
    density = math.exp(-d1 * d1 / 2) / _SQRT_2PI
    gamma = growth * density / (S * sd)
    vega = spot * density * root
    decay = -spot * density * vol / (2 * root)
    if put:
        return (-growth * _normal_cdf(-d1), gamma, vega,
                decay + r * K * discount * _normal_cdf(-d2) - q * spot * _normal_cdf(-d1),
                -T * K * discount * _normal_cdf(-d2))
    return (growth * _normal_cdf(d1), gamma, vega,
            decay - r * K * discount * _normal_cdf(d2) + q * spot * _normal_cdf(d1),
            T * K * discount * _normal_cdf(d2))


def _not_finite(export, greeks):
    """ResultError flags of the elements with a Greek that is not finite (the first one named)."""
    flags = []
    for p in range(len(greeks[next(iter(greeks))])):
        for name, values in greeks.items():
            if not abs(values[p]) < math.inf:
                flags.append(Flag(p, ResultError, values[p], case="not finite",
                                  detail="the %s %s is %r" % (export, name, values[p])))
                break
    return flags


def _bs_greeks_or_nan(*row):
    """_bs_greeks_one, or NaN where its arithmetic fails (only errors="raw" lets T = 0,
    vol = 0 or S <= 0 through)."""
    try:
        return _bs_greeks_one(*row)
    except (ArithmeticError, ValueError):
        return (math.nan,) * len(BS_GREEKS)


def bs_greeks(*, S, K, T, r, vol, q=0.0, kind="call", errors="warn"):
    """Black-Scholes delta, gamma, vega, theta and rho of a call or put, analytic.

    kind="call" or "put" (or a list, array or Series of them); q as for bs_call. The
    result is a dict {"delta": ..., "gamma": ..., "vega": ..., "theta": ..., "rho": ...}
    of floats, lists or arrays as the arguments are, or a DataFrame with those columns
    on the index of pandas Series. Units in the module's head (vega per unit of vol,
    theta per year, rho per unit of r). The Greeks need T > 0 and vol > 0; elsewhere
    they are flagged as outside the domain. Accuracy: within 5e-16 of each Greek's
    scale (1 for delta, 1/(S vol sqrt(T)) for gamma, S sqrt(T) for vega, S vol/sqrt(T)
    for theta, S T for rho), measured against 40-digit derivatives of the closed forms.
    """
    is_put = _quotes.is_put("kind", kind)

    def compute(c, n, check, workers):
        rows = zip(*[c[k] for k in ("S", "K", "T", "r", "vol", "q", "kind")])
        values = [_bs_greeks_or_nan(*row) for row in rows]
        greeks = {name: _columns.doubles(v[i] for v in values) for i, name in enumerate(BS_GREEKS)}
        return greeks, _not_finite("Black-Scholes", greeks) if check else []

    arguments = [("S", S), ("K", K), ("T", T), ("r", r), ("vol", vol), ("q", q), ("kind", is_put)]
    return evaluate("bs_greeks", arguments, compute, errors, 1, checked=("S", "K", "T", "r", "vol", "q"),
                    greeks=True)


# Heston Greeks by differences. Each step is a small fraction (_STEP) of the scale on
# which the price moves in that direction: the spread sqrt(max(v0, theta) T) of the
# log price (S moves the log forward by _STEP spreads, r by the same through r T), the
# variance max(v0, theta) itself, and T. Five-point stencils (error of order h^4) let
# the step stay large against the exact price's noise: its adaptive tail decides its
# subdivisions afresh for every input, and the price jumps by up to about 1e-8 where a
# decision changes (1e-12 is typical); a step of 2 % of the scale keeps a jump's share
# of a first derivative below about 1e-6 of its size, and the stencil's own error near
# 1e-8 of the Greek's scale.
_STEP = 0.02
# Where v0 (or theta, for the parallel shift) lies within two steps of 0, the stencil
# looks forward only; its error term is six times the central one's and the price bends
# faster near a variance of 0, so it steps a quarter as far (measured: the error falls
# from 5e-6 to 2e-8 of the vega's scale at v0 = 0).
_FORWARD_STEP = _STEP / 4
# The spread's bounds: the stencil on S stays inside S > 0, and a price without variance
# (v0 = theta = 0) still gets a step.
_SPREAD_MIN, _SPREAD_MAX = 1e-3, 1.0
_VARIANCE_MIN = 1e-4
# Weights on f(x + k h), k = -2, -1, 1, 2 (central) or 0..4 (forward), all over 12 h;
# the second derivative's central weights on k = -2..2 over 12 h^2.
_CENTRAL = ((-2, 1.0), (-1, -8.0), (1, 8.0), (2, -1.0))
_FORWARD = ((0, -25.0), (1, 48.0), (2, -36.0), (3, 16.0), (4, -3.0))
_SECOND = ((-2, -1.0), (-1, 16.0), (0, -30.0), (1, 16.0), (2, -1.0))

_HESTON = ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho", "q")


def _stencil_rows(row):
    """The steps of one element by direction, its stencil's weights on the variances,
    and its bumped rows [(direction, k, row)], the unbumped row first."""
    S, K, T, r, v0, theta, kappa, sigma, rho, q = row
    variance = max(v0, theta, _VARIANCE_MIN)
    # The expected variance of the log price over [0, T]: theta T + (v0 - theta)(1 - e^(-kappa T))/kappa.
    reverted = -math.expm1(-kappa * T) / kappa if kappa > 0 else T
    spread = min(max(math.sqrt(max(theta * T + (v0 - theta) * reverted, 0.0)), _SPREAD_MIN), _SPREAD_MAX)
    h = {"S": _STEP * spread * S, "r": _STEP * spread / T, "T": _STEP * T}
    weights = {}
    rows = [("centre", 0, row)]
    for k, _ in _CENTRAL:
        rows.append(("S", k, (S + k * h["S"],) + row[1:]))
        rows.append(("T", k, row[:2] + (T + k * h["T"],) + row[3:]))
        rows.append(("r", k, row[:3] + (r + k * h["r"],) + row[4:]))
    for direction, lowest in (("v0", v0), ("parallel", min(v0, theta))):
        central = lowest >= 2 * _STEP * variance
        h[direction] = (_STEP if central else _FORWARD_STEP) * variance
        weights[direction] = _CENTRAL if central else _FORWARD
        for k, _ in weights[direction]:
            if k != 0:
                shift = k * h[direction]
                bumped = (v0 + shift, theta + shift if direction == "parallel" else theta)
                rows.append((direction, k, row[:4] + bumped + row[6:]))
    return (h, weights), rows


def _derivative(values, h, weights):
    return sum(w * values[k] for k, w in weights) / (12 * h)


def _stencil_or_none(row):
    """_stencil_rows, or None where its arithmetic fails (T = 0 under errors="raw")."""
    try:
        return _stencil_rows(row)
    except (ArithmeticError, ValueError):
        return None


def _heston_greeks_one(steps, values, put, row):
    """The Greeks of one element from its prices values[direction][k]."""
    h, weights = steps
    S, K, T, r, v0, theta, kappa, sigma, rho, q = row
    centre = values["centre"][0]
    along_s = dict(values["S"])
    along_s[0] = centre
    greeks = {
        "delta": _derivative(along_s, h["S"], _CENTRAL),
        "gamma": _derivative(along_s, h["S"], _SECOND) / h["S"],
        "theta": -_derivative(values["T"], h["T"], _CENTRAL),
        "rho": _derivative(values["r"], h["r"], _CENTRAL),
    }
    for direction, name in (("v0", "vega_v0"), ("parallel", "vega_parallel")):
        along = dict(values[direction])
        along[0] = centre
        greeks[name] = _derivative(along, h[direction], weights[direction])
    if put:
        discounted = K * math.exp(-(T * r))
        greeks["delta"] -= math.exp(-(T * q))
        greeks["theta"] += -q * S * math.exp(-(T * q)) + r * discounted
        greeks["rho"] -= T * discounted
    return greeks


def heston_greeks(*, S, K, T, r, v0, theta, kappa, sigma, rho, q=0.0, kind="call", method="exact",
                  errors="warn", workers=1):
    """Heston delta, gamma, vegas, theta and rho of a call or put, by differences of prices.

    Arguments as for heston_call, kind as for bs_greeks. The result is a dict (or a
    DataFrame for pandas Series) with "delta", "gamma", "vega_v0" (dC/dv0),
    "vega_parallel" (v0 and theta shifted together), "theta" (-dC/dT per year) and
    "rho". Method: five-point central differences of the library's price (method=
    "exact" or "fast") with steps of 2 % of the scale on which the price moves in each
    direction: S and r by the spread of the log price (the square root of the expected
    variance over [0, T], theta T + (v0 - theta)(1 - e^(-kappa T))/kappa), the
    variances by max(v0, theta), T by T itself; where v0 (or theta) lies within two
    steps of 0, a forward stencil with a quarter of the step. 21 prices per element,
    all in one vectorised call (workers=N spreads them). The Greeks need T > 0.

    Accuracy, measured with method="exact" against 30-digit differences of an
    independent Heston price on six options (calls and puts, with and without a
    dividend, v0 = 0 among them; tests/python/option_references.csv), in each Greek's
    scale (1 for delta, 1/(S s) for gamma, S T/s for the vegas, S s/T for theta, S T
    for rho, s the spread): within 1e-8 (2e-8 for vega_parallel) and 1.3e-7 for gamma.
    Where the price itself is poor (short maturities with a high volatility of
    variance under method="fast"), the Greeks are as poor as the prices' differences.
    """
    check_choice("method", method, _elementwise.METHODS)
    is_put = _quotes.is_put("kind", kind)

    def compute(c, n, check, workers):
        elements = list(zip(*[c[k].tolist() for k in _HESTON]))
        stencils = [_stencil_or_none(row) for row in elements]
        flat = [bumped for stencil in stencils if stencil for _, _, bumped in stencil[1]]
        columns = [_columns.doubles(column) for column in zip(*flat)] if flat else [_columns.doubles([])] * 10
        spot = _quotes.forward_spot(columns[0], columns[2], columns[9])
        prices = _columns.constant(0.0, len(flat))
        _elementwise.heston_call(method, spot, *columns[1:9], prices, workers)
        greeks = {name: _columns.nans(n) for name in HESTON_GREEKS}
        at = 0
        for i, (stencil, row) in enumerate(zip(stencils, elements)):
            if stencil is None:
                continue
            steps, rows = stencil
            values = {}
            for direction, k, _ in rows:
                values.setdefault(direction, {})[k] = prices[at]
                at += 1
            for name, value in _heston_greeks_one(steps, values, c["kind"][i], row).items():
                greeks[name][i] = value
        return greeks, _not_finite("HestonCall_" + method, greeks) if check else []

    arguments = [("S", S), ("K", K), ("T", T), ("r", r), ("v0", v0), ("theta", theta), ("kappa", kappa),
                 ("sigma", sigma), ("rho", rho), ("q", q), ("kind", is_put)]
    return evaluate("heston_greeks", arguments, compute, errors, workers, checked=_HESTON, greeks=True)
