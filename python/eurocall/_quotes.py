# SPDX-License-Identifier: Apache-2.0
"""Quotes on columns: puts and dividends around the call exports, and which volatilities
are not volatilities.

Puts and dividends. With a continuous dividend yield q the call is priced on the
forward-equivalent spot S' = S e^(-qT), exact for both models:
call(S, K, T, r, q, ...) = export(S', K, T, r, ...). The put is put-call parity on that
same call price, put = (call - S') + K e^(-rT); a put price is turned into the call
price by the same parity, call = (put + S') - K e^(-rT), before a volatility is sought.
The discount is the library's own, exp(-(T*r)), and S' is S itself where q = 0, so a
call without dividend is the export's result bit for bit. Both exponentials are the C
library's exp (math.exp), element by element, as every host of the library computes
them: NumPy's own exp may differ from it in the last bit.

Volatilities. The search brackets the volatility in [0.001, 2]. Besides its sentinels
(0 rejected by BSVol, 2 not enclosed, 999 no convergence), a volatility v is
unresolved when its price cannot be told from the price at the bracket's lower end:
BSCall(S', K, T, r, v) - BSCall(S', K, T, r, 0.001) <= 1e-12 S'. That is the 0.001
that HestonVol_exact returns where the exact price of a far out-of-the-money option
comes out as 0, and the noise-level volatility of a price of a few 1e-12.

The functions here work on columns (array('d') of one length) and are what the
package's price, volatility and Greek functions are made of; a calibration builds on
them too.
"""
import array
import math

from . import _columns, _elementwise, _errors

LOWER, UPPER = 0.001, 2.0
CAPS = {"BSVol": 100, "HestonVol_fast": 100, "HestonVol_exact": 200}
# Below this many S' between the prices at v and at LOWER, no volatility is resolved:
# about 1e-12 relative is where the Heston prices' own noise lies.
UNRESOLVED = 1e-12

KINDS = ("call", "put")


def is_put(name, value):
    """kind as numbers (1.0 for a put, 0.0 for a call), in the container it came in.

    kind is "call" or "put" (any case), or a list, tuple, NumPy array or pandas Series
    of them.
    """
    def one(v, where):
        if isinstance(v, str) and v.lower() in KINDS:
            return 1.0 if v.lower() == "put" else 0.0
        raise ValueError("%s must be 'call' or 'put', not %r" % (where, v))

    if isinstance(value, str):
        return one(value, name)
    if _columns._is_series(value):
        return value.map(lambda v: one(v, "%s values" % name)).astype("float64")
    if _columns._is_array(value):
        numpy = _columns._numpy()
        return numpy.vectorize(lambda v: one(v, "%s values" % name), otypes=[numpy.float64])(value)
    if isinstance(value, (list, tuple)):
        return [one(v, "%s[%d]" % (name, i)) for i, v in enumerate(value)]
    return one(value, name)


def forward_spot(S, T, q):
    """S e^(-qT), element by element; S itself where q is 0 (the column S itself where
    every q is: read it, do not write it)."""
    if not any(q):
        return S
    return array.array("d", [s if y == 0.0 else s * math.exp(-(t * y)) for s, t, y in zip(S, T, q)])


def discounted_strike(K, T, r):
    """K e^(-rT) with the library's discount exp(-(T*r))."""
    return [k * math.exp(-(t * r_)) for k, t, r_ in zip(K, T, r)]


def puts_from_calls(prices, spot, K, T, r, put):
    """Turn the calls of prices into puts where put is 1: (call - S') + K e^(-rT)."""
    for i, kd in _puts(put, K, T, r):
        prices[i] = (prices[i] - spot[i]) + kd


def calls_from_puts(prices, spot, K, T, r, put):
    """Turn the put prices of prices into calls where put is 1: (put + S') - K e^(-rT)."""
    for i, kd in _puts(put, K, T, r):
        prices[i] = (prices[i] + spot[i]) - kd


def _puts(put, K, T, r):
    positions = [i for i, p in enumerate(put) if p]
    return zip(positions, discounted_strike(*[[c[i] for i in positions] for c in (K, T, r)]))


def not_finite_flags(export, values):
    """ResultError flags of the values that are not finite numbers."""
    return [_errors.Flag(p, _errors.ResultError, v, case="not finite",
                         detail="%s returned %r" % (export, v))
            for p, v in enumerate(values) if not abs(v) < math.inf]


def _same_side(u, w):
    # As the search tests its bracket: zero lies on no side, NaN counts as negative.
    return (u > 0 and w > 0) or (not u >= 0 and not w >= 0)


def _rejection(S, K, T, r, price):
    """Which of BSVol's input checks a rejected call price failed."""
    difference = S - math.exp(-(T * r)) * K
    intrinsic = difference if difference > 0 else 0.0
    if not abs(price - intrinsic) >= 1e-15:
        return "the call price %r is within 1e-15 of the intrinsic value %r" % (price, intrinsic)
    if not S >= price:
        return "the call price %r is above S = %r" % (price, S)
    if not K > S and not price > difference:
        return "in the money and the call price %r is not above S - K*exp(-rT) = %r" % (price, difference)
    return "the call price %r is rejected" % (price,)


def volatility_flags(export, vols, spot, K, T, r, targets, workers=1):
    """VolatilityError flags of the volatilities that are sentinels or unresolved.

    spot is S' (the forward-equivalent spot the search ran on); targets(positions) gives
    the call prices the search inverted at those positions (asked only for results of 2,
    to tell a genuine volatility of 2 from a price the bracket does not enclose).
    """
    flags = {}

    def flag(p, case, detail):
        flags[p] = _errors.Flag(p, _errors.VolatilityError, vols[p], case=case,
                                detail="%s returned %r: %s (%s)" % (export, vols[p], case, detail))

    twos = [p for p, v in enumerate(vols) if v == UPPER]
    if twos:
        prices = targets(twos)
        at_ends = [_bs_calls([p] * 2, (LOWER, UPPER), spot, K, T, r) for p in twos]
        for p, price, (low, high) in zip(twos, prices, at_ends):
            # f(v) = BSCall(v) - price at both ends, in the search's order and rounding.
            if _same_side(low - price, high - price):
                flag(p, "not enclosed", "the call price %r is not between BSCall at vol 0.001 and at vol 2" % (price,))
    for p, v in enumerate(vols):
        if v == 0.0:
            detail = (_rejection(spot[p], K[p], T[p], r[p], targets([p])[0]) if export == "BSVol"
                      else "the price is rejected")
            flag(p, "rejected", detail)
        elif v == 999.0:
            flag(p, "no convergence", "the search passed its cap of %d iterations" % CAPS[export])
    candidates = [p for p in range(len(vols)) if p not in flags]
    if candidates:
        n = len(candidates)
        at_v = _bs_calls(candidates, [vols[p] for p in candidates], spot, K, T, r, workers)
        at_low = _bs_calls(candidates, [LOWER] * n, spot, K, T, r, workers)
        for p, high, low in zip(candidates, at_v, at_low):
            if high - low <= UNRESOLVED * spot[p]:
                flag(p, "unresolved", "the price is below what the volatility bracket's lower end 0.001 distinguishes")
    return [flags[p] for p in sorted(flags)]


def _bs_calls(positions, vols, spot, K, T, r, workers=1):
    """BSCall(S', K, T, r, vol) at the given positions, one vol each."""
    out = _columns.constant(0.0, len(positions))
    columns = [_columns.take(c, positions) for c in (spot, K, T, r)]
    _elementwise.bs_call(*columns, array.array("d", vols), out, workers)
    return out
