#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Expected values of the C++ tests whose arithmetic is fixed to the last bit.

Run with Debian's interpreter (it has mpmath):  /usr/bin/python3 tests/generate_expected.py

Each value is derived here, outside the library, and printed with 17 significant
digits (enough to fix the double); the tests hold the printed literals. Two kinds:

- exact values (mpmath at 60 digits, correctly rounded once to double), for quantities
  that are a mathematical function of the double inputs, such as ln(e^(rT) S / K);
- fixed-order values, for formulas whose grouping the library fixes: each operation is
  one IEEE double operation rounded to nearest (Python's float arithmetic), each
  elementary function (exp, log) correctly rounded from mpmath. Every such value is
  checked against its exact counterpart to a few ulps, so that a wrong formula cannot
  hide behind the fixed order.

Nothing here runs the library.
"""
import math

import mpmath

mpmath.mp.dps = 60

TWO_OVER_PI = 0.6366197723675814  # 2/pi rounded to double
assert TWO_OVER_PI == float(2 / mpmath.pi)


def exact(v):
    """The double nearest the mpmath value v."""
    return float(v)


def cr_exp(v):
    return exact(mpmath.exp(mpmath.mpf(v)))


def cr_log(v):
    return exact(mpmath.log(mpmath.mpf(v)))


def ulps(a, b):
    """Distance in units in the last place of b."""
    if a == b:
        return 0.0
    return abs(a - b) / math.ulp(b)


def lit(v):
    """17 significant digits, as the tests write them."""
    if math.isnan(v):
        return "kNaN"
    return "%.17g" % v


def section(title):
    print("\n// ---- %s" % title)


# ---- x = ln((e^rT S) / K) -----------------------------------------------------------
def log_forward_moneyness(S, K, rT):
    fixed = cr_log((cr_exp(rT) * S) / K)
    true = exact(mpmath.log(mpmath.exp(mpmath.mpf(rT)) * mpmath.mpf(S) / mpmath.mpf(K)))
    # Four roundings; the error is absolute, of a few units of 2^-53 of 1.
    assert abs(fixed - true) <= 4 * 2.0**-53, (S, K, rT, fixed, true)
    return fixed


section("LogForwardMoneyness (HestonCallTest): {S, K, rT, x}")
for S, K, rT in [(100, 100, 0.05), (100, 110, 0.5 * 0.02), (90, 110, 0.5 * 0.03), (105, 95, 0.75 * 0.03),
                 (100, 130, 0.1 * 0.05)]:
    print("{%s, %s, %s, %s}," % (lit(S), lit(K), lit(rT), lit(log_forward_moneyness(S, K, rT))))


# ---- the price of the integral --------------------------------------------------------
def formula_price(S, K, D, integral):
    """0.5 (S - (D (1 - (2/pi) integral)) K), in this order."""
    return 0.5 * (S - (D * (1.0 - integral * TWO_OVER_PI)) * K)


def exact_formula_price(S, K, D, integral):
    S, K, D, I = (mpmath.mpf(v) for v in (S, K, D, integral))
    return S / 2 - D * K / 2 + D * K * I / mpmath.pi


def check_formula(S, K, D, integral, fixed):
    if math.isnan(fixed) or fixed == 0.0:
        return
    true = exact_formula_price(S, K, D, integral)
    # The rounding of 2/pi, of D K and of the difference, in units of the larger terms.
    assert abs(fixed - exact(true)) <= 8 * math.ulp(max(abs(S), abs(D * K))), (S, K, integral, fixed, true)


def price_from_integral(S, K, D, integral):
    p = formula_price(S, K, D, integral)
    check_formula(S, K, D, integral, p)
    return 0.0 if p < 0.0 else p


def price_from_absolute_integral(S, K, D, integral):
    p = formula_price(S, K, D, abs(integral))
    check_formula(S, K, D, abs(integral), p)
    p = S if p > S else p  # a call is worth no more than the share
    L = S - D * K
    price = p if p > L else L
    return 0.0 if price < 0.0 else price


D = cr_exp(-0.05)  # e^(-rT) for T = 1, r = 0.05
section("e^-0.05 correctly rounded")
print(lit(D))

NaN = float("nan")
section("PriceFromIntegral (HestonCallFastTest): {S, K, integral, price}, D = e^-0.05")
for S, K, integral in [(100, 90, -0.05), (100, 100, -0.05), (100, 100, -2.0), (90, 100, 0.0), (100, 100, NaN),
                       (110, 100, 0.0), (100, 100, 0.0), (90, 110, 65.0), (100, 100, 0.7)]:
    print("{%s, %s, %s, %s}," % (lit(S), lit(K), lit(integral), lit(price_from_integral(S, K, D, integral))))

section("PriceFromAbsoluteIntegral (HestonCallExactTest): {K, integral, price}, S = 100, D = e^-0.05")
for K, integral in [(100, 0.7), (100, -0.7), (100, 0.0), (100, NaN), (150, 0.0), (150, NaN), (150, 1.2),
                    (100, 11.5)]:
    print("{%s, %s, %s}," % (lit(K), lit(integral), lit(price_from_absolute_integral(100, K, D, integral))))


# ---- the 16-point Gauss–Legendre rule ----------------------------------------------
def legendre16(t):
    """P16(t) and P16'(t) by the three-term recurrence."""
    p0, p1 = mpmath.mpf(1), t
    for k in range(2, 17):
        p0, p1 = p1, ((2 * k - 1) * t * p1 - (k - 1) * p0) / k
    return p1, 16 * (t * p1 - p0) / (t * t - 1)


def legendre_rule():
    """Positive abscissae (ascending) and weights 2 / ((1 - t^2) P16'(t)^2), as doubles."""
    pairs = []
    for k in range(1, 9):
        t = mpmath.cos(mpmath.pi * (k - mpmath.mpf(1) / 4) / mpmath.mpf(16.5))
        for _ in range(100):
            p, dp = legendre16(t)
            t -= p / dp
        p, dp = legendre16(t)
        pairs.append((t, 2 / ((1 - t * t) * dp * dp)))
    pairs.sort()
    return [exact(t) for t, _ in pairs], [exact(w) for _, w in pairs]


ABSCISSAE, WEIGHTS = legendre_rule()
assert ABSCISSAE[0] == 0.09501250983763744 and ABSCISSAE[7] == 0.9894009349916499
assert WEIGHTS[0] == 0.1894506104550685 and WEIGHTS[7] == 0.027152459411754096
assert len(set(ABSCISSAE)) == 8


def panel_nodes(a, b):
    h = (b - a) * 0.5
    c = (a + b) * 0.5
    out = []
    for t in ABSCISSAE:
        d = h * t
        out += [c - d, c + d]
    return out


def panel_sum(a, b, values):
    """Pair sums before the weight, pairs innermost first, the half width once at the end."""
    h = (b - a) * 0.5
    s = 0.0
    for i in range(8):
        s = (values[2 * i + 1] + values[2 * i]) * WEIGHTS[i] + s
    return h * s


section("GaussLegendreNodes (IntegratePanelTest): {a, b, innermost lower, innermost upper, outermost lower, "
        "outermost upper}")
for a, b in [(0.0, 4.0), (0.0, 0.1), (256.0, 260.0)]:
    n = panel_nodes(a, b)
    print("{%s, %s, %s, %s, %s, %s}," % (lit(a), lit(b), lit(n[0]), lit(n[1]), lit(n[14]), lit(n[15])))


def oscillating(phi):
    """cos(3 phi) / (1 + phi): pairs of opposite sign that partly cancel."""
    phi = mpmath.mpf(phi)
    return exact(mpmath.cos(3 * phi) / (1 + phi))


A, B = 0.3, 2.7  # a half width of 1.2, not a power of two, so that where it multiplies shows
section("GaussLegendreSum (IntegratePanelTest): cos(3 phi)/(1 + phi) at the nodes of [%s, %s], and the sum" % (A, B))
values = [oscillating(p) for p in panel_nodes(A, B)]
fixed = panel_sum(A, B, values)
# Each other grouping gives other bits, so the test pins the order.
h = (B - A) * 0.5
per_node = 0.0
for i in range(8):
    per_node = values[2 * i] * WEIGHTS[i] + per_node
    per_node = values[2 * i + 1] * WEIGHTS[i] + per_node
outermost_first = 0.0
for i in reversed(range(8)):
    outermost_first = (values[2 * i + 1] + values[2 * i]) * WEIGHTS[i] + outermost_first
per_term = 0.0
for i in range(8):
    per_term = (values[2 * i + 1] + values[2 * i]) * WEIGHTS[i] * h + per_term
for other in (h * per_node, h * outermost_first, per_term):
    assert other != fixed, (fixed, h * per_node, h * outermost_first, per_term)
exact_rule = sum(mpmath.mpf(WEIGHTS[i]) * (mpmath.mpf(values[2 * i]) + mpmath.mpf(values[2 * i + 1]))
                 for i in range(8)) * mpmath.mpf(h)
assert ulps(fixed, exact(exact_rule)) <= 16
for i in range(0, 16, 4):
    print("    " + ", ".join(lit(v) for v in values[i:i + 4]) + ",")
print("sum " + lit(fixed))


# ---- degenerate Black–Scholes prices --------------------------------------------------
section("BSCall with zero or NaN variance (BSCallTest): S - (1 e^(-rT)) K")
for S, K, T, r in [(110, 100, 1, 0.05), (90, 100, -1, 0.05)]:
    fixed = S - (1.0 * cr_exp(-(T * r))) * K
    true = exact(mpmath.mpf(S) - mpmath.exp(-mpmath.mpf(T) * mpmath.mpf(r)) * K)
    assert ulps(fixed, true) <= 8
    print("{%s, %s, %s, %s, %s}," % (lit(S), lit(K), lit(T), lit(r), lit(fixed)))
