# SPDX-License-Identifier: Apache-2.0
"""The keyword functions for prices, volatilities and the integrand."""
from . import _columns, _elementwise, _quotes
from ._errors import check_choice
from ._evaluation import evaluate

_MARKET = ("S", "K", "T", "r")
_HESTON = ("v0", "theta", "kappa", "sigma", "rho")


def _spot(c):
    return _quotes.forward_spot(c["S"], c["T"], c["q"])


def _heston_prices(method, c, spot, workers):
    out = _columns.constant(0.0, len(spot))
    _elementwise.heston_call(method, spot, c["K"], c["T"], c["r"], *[c[n] for n in _HESTON], out, workers)
    return out


def _bs_prices(c, spot, workers):
    out = _columns.constant(0.0, len(spot))
    _elementwise.bs_call(spot, c["K"], c["T"], c["r"], c["vol"], out, workers)
    return out


def _price(function, export, kind, arguments, prices, errors, workers):
    """A price function: call prices on S' of every element, puts by parity."""
    def compute(c, n, check, workers):
        spot = _spot(c)
        out = prices(c, spot, workers)
        if kind == "put":
            _quotes.puts_from_calls(out, spot, c["K"], c["T"], c["r"], _columns.constant(1.0, n))
        return out, _quotes.not_finite_flags(export, out) if check else []

    return evaluate(function, arguments, compute, errors, workers)


def _bs_arguments(S, K, T, r, vol, q):
    return [("S", S), ("K", K), ("T", T), ("r", r), ("vol", vol), ("q", q)]


def _heston_arguments(S, K, T, r, v0, theta, kappa, sigma, rho, q):
    return [("S", S), ("K", K), ("T", T), ("r", r), ("v0", v0), ("theta", theta), ("kappa", kappa),
            ("sigma", sigma), ("rho", rho), ("q", q)]


def bs_call(*, S, K, T, r, vol, q=0.0, errors="warn", workers=1):
    """Black-Scholes price of a European call.

    S spot, K strike, T years to maturity, r continuously compounded rate, vol
    volatility (0.2 is 20 %), q continuous dividend yield (the call is priced on
    S e^(-qT); with q = 0 the result is BSCall's, bit for bit). Arguments may be
    scalars, lists (element-wise, of one length), NumPy arrays (they broadcast) or
    pandas Series (the result is a Series on their index); workers=N spreads the
    elements over N threads. errors= says what becomes of an element outside the
    model's domain (vol < 0, S <= 0, a NaN, ...): "warn" (NaN and a warning), "nan",
    "raise" (DomainError) or "raw" (the library's number as it is).
    """
    return _price("bs_call", "BSCall", "call", _bs_arguments(S, K, T, r, vol, q), _bs_prices, errors, workers)


def bs_put(*, S, K, T, r, vol, q=0.0, errors="warn", workers=1):
    """Black-Scholes price of a European put: put-call parity on bs_call's price,
    (call - S e^(-qT)) + K e^(-rT). Arguments as for bs_call."""
    return _price("bs_put", "BSCall", "put", _bs_arguments(S, K, T, r, vol, q), _bs_prices, errors, workers)


def _heston_price(function, kind, method, arguments, errors, workers):
    check_choice("method", method, _elementwise.METHODS)
    return _price(function, "HestonCall_" + method, kind, arguments,
                  lambda c, spot, w: _heston_prices(method, c, spot, w), errors, workers)


def heston_call(*, S, K, T, r, v0, theta, kappa, sigma, rho, q=0.0, method="exact", errors="warn", workers=1):
    """Heston price of a European call.

    v0 current variance, theta long-run variance, kappa mean-reversion speed, sigma
    volatility of the variance, rho correlation; S, K, T, r, q, errors= as for bs_call.
    method="exact" integrates fixed panels plus an adaptive tail to infinity, and is
    never below max(S' - K e^(-rT), 0); method="fast" sums fixed Gauss-Legendre panels.
    Vectorised as bs_call; workers=N pays most here, each element being costly.
    """
    arguments = _heston_arguments(S, K, T, r, v0, theta, kappa, sigma, rho, q)
    return _heston_price("heston_call", "call", method, arguments, errors, workers)


def heston_put(*, S, K, T, r, v0, theta, kappa, sigma, rho, q=0.0, method="exact", errors="warn", workers=1):
    """Heston price of a European put: put-call parity on heston_call's price,
    (call - S e^(-qT)) + K e^(-rT). Arguments as for heston_call."""
    arguments = _heston_arguments(S, K, T, r, v0, theta, kappa, sigma, rho, q)
    return _heston_price("heston_put", "put", method, arguments, errors, workers)


_VOLATILITY_CASES = """
    A result that is not a volatility is flagged, and errors= decides what the caller
    sees ("warn", the default: NaN and one warning; "nan"; "raise": a VolatilityError
    naming the case; "raw": the library's number as it is):

    ==============  =====  ======================================================
    case            value  when
    ==============  =====  ======================================================
    rejected        0      BSVol only: a call price within 1e-15 of
                           max(S' - K e^(-rT), 0), above S', or in the money and
                           not above S' - K e^(-rT)
    not enclosed    2      the price lies below BSCall at 0.001 or above BSCall
                           at 2 (checked with BSCall at both ends: a genuine 2 is
                           kept)
    no convergence  999    the search passed its cap (100 iterations; 200 for
                           HestonVol_exact)
    unresolved      v      BSCall(S', K, T, r, v) - BSCall(S', K, T, r, 0.001)
                           <= 1e-12 S': no volatility in the bracket tells the
                           price from the one at its lower end (a far
                           out-of-the-money price of 1e-8 that the exact Heston
                           integral gives as 0, a price of a few 1e-12)
    outside the     -      an argument outside the model's domain (price < 0,
    domain                 S <= 0, a NaN, ...): the element never reaches the
                           library (a VolatilityDomainError)
    ==============  =====  ======================================================
"""


def bs_vol(*, S, K, T, r, price, q=0.0, kind="call", errors="warn", workers=1):
    """Black-Scholes implied volatility of a price, searched in [0.001, 2] by BSVol.

    kind="put" (or a list, array or Series of "call" and "put") takes the price as a
    put's: parity turns it into the call price (put + S e^(-qT)) - K e^(-rT) first. With
    q the call is inverted on S' = S e^(-qT).
    """
    is_put = _quotes.is_put("kind", kind)

    def compute(c, n, check, workers):
        spot = _spot(c)
        calls = _columns.doubles(c["price"])
        _quotes.calls_from_puts(calls, spot, c["K"], c["T"], c["r"], c["kind"])
        out = _columns.constant(0.0, n)
        _elementwise.bs_vol(spot, c["K"], c["T"], c["r"], calls, out, workers)
        if not check:
            return out, []
        return out, _quotes.volatility_flags("BSVol", out, spot, c["K"], c["T"], c["r"],
                                             lambda positions: [calls[p] for p in positions], workers)

    arguments = [("S", S), ("K", K), ("T", T), ("r", r), ("price", price), ("q", q), ("kind", is_put)]
    return evaluate("bs_vol", arguments, compute, errors, workers, checked=("S", "K", "T", "r", "price", "q"),
                    volatility=True)


bs_vol.__doc__ += _VOLATILITY_CASES


def heston_vol(*, S, K, T, r, v0, theta, kappa, sigma, rho, q=0.0, method="exact", errors="warn", workers=1):
    """Black-Scholes implied volatility of the Heston price (method as for heston_call).

    The same for the put as for the call (parity moves both prices alike). With q the
    search runs on S' = S e^(-qT). The search runs on the Heston price without BSVol's
    input checks, so 0 never comes back.
    """
    check_choice("method", method, _elementwise.METHODS)
    export = "HestonVol_" + method

    def compute(c, n, check, workers):
        spot = _spot(c)
        out = _columns.constant(0.0, n)
        _elementwise.heston_vol(method, spot, c["K"], c["T"], c["r"], *[c[k] for k in _HESTON], out, workers)
        if not check:
            return out, []

        def targets(positions):
            # The Heston price the search inverted, recomputed where it is needed.
            subset = {k: _columns.take(v, positions) for k, v in c.items()}
            return _heston_prices(method, subset, _columns.take(spot, positions), 1)

        return out, _quotes.volatility_flags(export, out, spot, c["K"], c["T"], c["r"], targets, workers)

    arguments = _heston_arguments(S, K, T, r, v0, theta, kappa, sigma, rho, q)
    return evaluate("heston_vol", arguments, compute, errors, workers, volatility=True)


heston_vol.__doc__ += _VOLATILITY_CASES


def heston_integrand(*, x, T, v0, theta, kappa, sigma, rho, phi, part="combined", errors="warn", workers=1):
    """The Heston integrand at frequency phi, x = ln(S e^(rT) / K).

    part="combined" is theIntegrand, e^x * j1 - j0 (phi with |phi| <= 1e-300, and NaN,
    evaluated at 1e-300); "j0" and "j1" are the real integrands of the strike and the
    spot probability, not finite at phi = 0 (flagged). Arguments go by name, so theta
    and v0 reach each export in its own order. errors= as for bs_call.
    """
    check_choice("part", part, _elementwise.PARTS)
    export = {"combined": "theIntegrand", "j0": "RealIntegrand_j0", "j1": "RealIntegrand_j1"}[part]
    names = ("x", "T", "v0", "theta", "kappa", "sigma", "rho", "phi")

    def compute(c, n, check, workers):
        out = _columns.constant(0.0, n)
        _elementwise.integrand(part, *[c[k] for k in names], out, workers)
        return out, _quotes.not_finite_flags(export, out) if check else []

    values = (x, T, v0, theta, kappa, sigma, rho, phi)
    return evaluate("heston_integrand", list(zip(names, values)), compute, errors, workers)
