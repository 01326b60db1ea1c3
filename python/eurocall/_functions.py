"""The keyword functions: every argument by name, scalars, lists or NumPy arrays."""
import math

from . import _vector, raw

_ERRORS = ("raw", "nan", "raise")
_METHODS = ("exact", "fast")
_PARTS = ("combined", "j0", "j1")

_MARKET = ("S", "K", "T", "r")
_HESTON = ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho")

# The search bracket of every implied volatility, and its caps.
_LOW, _HIGH = 0.001, 2.0
_CAPS = {"BSVol": 100, "HestonVol_fast": 100, "HestonVol_exact": 200}


class VolatilityError(ValueError):
    """An implied volatility is a sentinel, not a volatility (raised with errors="raise").

    case is "rejected" (the library returned 0), "not enclosed" (2, and the price lies
    outside what the bracket [0.001, 2] spans) or "no convergence" (999); value is the
    library's result; index is the element's position in a vectorised call, else None.
    """

    def __init__(self, message, case, value, index=None):
        ValueError.__init__(self, message)
        self.case = case
        self.value = value
        self.index = index


def _same_side(u, w):
    # As the search tests its bracket: zero lies on no side, NaN counts as negative.
    return (u > 0 and w > 0) or (not u >= 0 and not w >= 0)


def _rejection(S, K, T, r, price):
    """Which of BSVol's input checks a rejected price failed, for the message."""
    if any(math.isnan(v) for v in (S, K, T, r, price)):
        return "a NaN argument"
    difference = S - math.exp(-(T * r)) * K
    intrinsic = difference if difference > 0 else 0.0
    if not abs(price - intrinsic) >= 1e-15:
        return "the price %r is within 1e-15 of the intrinsic value %r" % (price, intrinsic)
    if not S >= price:
        return "the price %r is above S = %r" % (price, S)
    if not K > S and not price > difference:
        return "in the money and the price %r is not above S - K*exp(-rT) = %r" % (price, difference)
    return "the price %r is rejected" % (price,)


def _sentinels(export, errors, target):
    """The check() of a volatility: returns the value, NaN for a sentinel, or raises.

    target(row) is the price the search inverted: BSVol's own argument, or the Heston
    price recomputed (only for a result of 2, to tell a volatility of 2 from a miss).
    """
    if errors == "raw":
        return None

    def check(row, vol, index):
        S, K, T, r = row[:4]
        if vol == 0.0:
            case = "rejected"
            detail = _rejection(S, K, T, r, row[4]) if export == "BSVol" else "the price is rejected"
        elif vol == 999.0:
            case = "no convergence"
            detail = "the search passed its cap of %d iterations" % _CAPS[export]
        elif vol == _HIGH:
            price = target(row)
            # f(v) = BSCall(v) - price at both ends, in the search's order and rounding.
            if not _same_side(raw.BSCall(S, K, T, r, _LOW) - price, raw.BSCall(S, K, T, r, _HIGH) - price):
                return vol
            case = "not enclosed"
            detail = "the price %r is not between BSCall at vol 0.001 and at vol 2" % (price,)
        else:
            return vol
        if errors == "nan":
            return math.nan
        where = "" if index is None else " at index %r" % (index,)
        raise VolatilityError("%s returned %r%s: %s (%s)" % (export, vol, where, case, detail), case, vol, index)

    return check


def bs_call(*, S, K, T, r, vol, workers=1):
    """Black-Scholes price of a European call.

    S spot, K strike, T years to maturity, r continuously compounded rate, vol
    volatility (0.2 is 20 %). Never negative. Arguments may be NumPy arrays (they
    broadcast), lists (element-wise, of one length) or scalars; workers=N spreads a
    vectorised call over N threads.
    """
    return _vector.evaluate(raw.BSCall, _MARKET + ("vol",), (S, K, T, r, vol), workers)


def bs_vol(*, S, K, T, r, price, errors="raw", workers=1):
    """Black-Scholes implied volatility of a call price, searched in [0.001, 2].

    The library's sentinels, and what errors= makes of them:

    =====  ================================================  =======  ==========
    value  case                                              "nan"    "raise"
    =====  ================================================  =======  ==========
    0      rejected: a NaN argument, a price within 1e-15    NaN      ValueError
           of max(S - K e^(-rT), 0), above S, or in the
           money and not above S - K e^(-rT)
    2      not enclosed: the price lies below BSCall at      NaN      ValueError
           0.001 or above BSCall at 2 (or is NaN)
    2      a genuine volatility of 2 (the bracket encloses   2        2
           the price): checked with BSCall at 0.001 and 2
    999    no convergence within 100 iterations              NaN      ValueError
    =====  ================================================  =======  ==========

    errors="raw" (the default) returns the library's value unchanged. The ValueError
    is a VolatilityError naming the case and, in a vectorised call, the index.
    """
    _vector.check_choice("errors", errors, _ERRORS)
    check = _sentinels("BSVol", errors, lambda row: row[4])
    return _vector.evaluate(raw.BSVol, _MARKET + ("price",), (S, K, T, r, price), workers, check)


def _heston(name, method):
    _vector.check_choice("method", method, _METHODS)
    export = "%s_%s" % (name, method)
    return export, getattr(raw, export)


def heston_call(*, S, K, T, r, v0, theta, kappa, sigma, rho, method="exact", workers=1):
    """Heston price of a European call.

    v0 current variance, theta long-run variance, kappa mean-reversion speed, sigma
    volatility of the variance, rho correlation; S, K, T, r as for bs_call.
    method="exact" integrates fixed panels plus an adaptive tail to infinity, and is
    never below max(S - K e^(-rT), 0); method="fast" sums fixed Gauss-Legendre panels.
    Vectorised as bs_call; workers=N pays most here, each element being costly.
    """
    export, kernel = _heston("HestonCall", method)
    return _vector.evaluate(kernel, _HESTON, (S, K, T, r, v0, theta, kappa, sigma, rho), workers)


def heston_vol(*, S, K, T, r, v0, theta, kappa, sigma, rho, method="exact", errors="raw", workers=1):
    """Black-Scholes implied volatility of the Heston price (method as for heston_call).

    The search runs on the Heston price without BSVol's input checks, so 0 never
    comes back. The sentinels, and what errors= makes of them:

    =====  ================================================  =======  ==========
    value  case                                              "nan"    "raise"
    =====  ================================================  =======  ==========
    2      not enclosed: the Heston price lies below BSCall  NaN      ValueError
           at 0.001 (say under S - K e^(-rT)), above BSCall
           at 2, or is NaN
    2      a genuine volatility of 2: the Heston price is    2        2
           recomputed and checked with BSCall at 0.001 and 2
    999    no convergence (100 iterations for "fast", 200    NaN      ValueError
           for "exact")
    =====  ================================================  =======  ==========

    errors="raw" (the default) returns the library's value unchanged. The ValueError
    is a VolatilityError naming the case and, in a vectorised call, the index.
    The exact price is floored at S - K e^(-rT), a failed (NaN) one included, so a
    NaN argument gives method="exact" the floor's volatility, often 0.001, not 2.
    """
    _vector.check_choice("errors", errors, _ERRORS)
    export, kernel = _heston("HestonVol", method)
    # The Heston price is needed (and bound) only to judge a result of 2.
    check = _sentinels(export, errors, lambda row: _heston("HestonCall", method)[1](*row))
    return _vector.evaluate(kernel, _HESTON, (S, K, T, r, v0, theta, kappa, sigma, rho), workers, check)


def heston_integrand(*, x, T, v0, theta, kappa, sigma, rho, phi, part="combined", workers=1):
    """The Heston integrand at frequency phi, x = ln(S e^(rT) / K).

    part="combined" is theIntegrand, e^x * j1 - j0 (phi with |phi| <= 1e-300, and NaN,
    evaluated at 1e-300); "j0" and "j1" are the real integrands of the strike and the
    spot probability, not finite at phi = 0. Arguments go by name, so theta and v0 reach
    each export in its own order.
    """
    _vector.check_choice("part", part, _PARTS)
    values = (x, T, v0, theta, kappa, sigma, rho, phi)
    if part == "combined":
        return _vector.evaluate(raw.theIntegrand, raw.SIGNATURES["theIntegrand"], values, workers)
    function = raw.RealIntegrand_j0 if part == "j0" else raw.RealIntegrand_j1
    reordered = (x, T, theta, v0, kappa, sigma, rho, phi)
    return _vector.evaluate(function, raw.SIGNATURES["RealIntegrand_j0"], reordered, workers)
