# SPDX-License-Identifier: Apache-2.0
"""Writes option_references.csv: prices and Greeks of calls and puts with a dividend
yield, computed without the package, for the Python tests to read.

Run with Debian's interpreter (mpmath and NumPy): /usr/bin/python3 make_option_references.py
(about an hour; the Heston rows take the time). Every value is printed with 17 significant digits.

Black-Scholes rows, in mpmath at 40 digits: the call S e^(-qT) N(d1) - K e^(-rT) N(d2)
and the put K e^(-rT) N(-d2) - S e^(-qT) N(-d1), each in its own closed form (so the
put checks parity, not restates it), d1 = (ln(S/K) + (r - q + vol^2/2) T)/(vol sqrt(T));
the Greeks are mpmath's own derivatives of those prices (mp.diff, at 40 digits), good
to about 1e-38 of the price: the deep in-the-money call's gamma and vega, truly some
1e-70, come out as 0 to that precision (-6.7e-52 and 0).

Heston rows, from heston_call_probabilities of tests/data/heston_reference.py (the
textbook characteristic function in mpmath, 30 digits and more): the dividend enters
through the rate, C(S, K, T, r, q) = e^(-qT) C(S, K, T, r - q, 0), an identity other
than the package's S e^(-qT) in place of S; the put is parity on that call at the same
precision. The Greeks are five-point central differences of those prices with steps of
1e-4 of each argument's scale (truncation error below 1e-14 relative; the prices'
precision, 1e-24 and better, makes the rounding share smaller still). theta is -dV/dT.
Rows with sigma = 0 have deterministic variance, where the reference is the
Black-Scholes price of the integrated variance (the limit sigma -> 0).
"""
import csv
import os
import sys

import mpmath as mp

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "data"))
from heston_reference import heston_call_probabilities  # noqa: E402

OUTPUT = os.path.join(HERE, "option_references.csv")
COLUMNS = ("model", "kind", "S", "K", "T", "r", "q", "vol", "v0", "theta", "kappa", "sigma", "rho",
           "quantity", "value")

BLACK_SCHOLES = [
    # kind, S, K, T, r, q, vol
    ("call", 100, 100, 1, 0.05, 0, 0.2),
    ("put", 100, 100, 1, 0.05, 0, 0.2),
    ("call", 4523.25, 4400, 0.25, 0.0525, 0.0135, 0.18),
    ("put", 4523.25, 4400, 0.25, 0.0525, 0.0135, 0.18),
    ("put", 50, 65, 2.5, 0.01, 0.04, 0.45),
    ("call", 120, 80, 0.05, -0.005, 0.02, 0.1),
]

HESTON = [
    # kind, S, K, T, r, q, v0, theta, kappa, sigma, rho
    ("call", 100, 100, 1, 0.05, 0, 0.04, 0.04, 1.5, 0.3, -0.7),
    ("put", 100, 100, 1, 0.05, 0.02, 0.04, 0.04, 1.5, 0.3, -0.7),
    ("call", 100, 110, 0.5, 0.01, 0.03, 0.09, 0.04, 2, 0.6, 0.3),
    ("put", 100, 80, 2, 0.03, 0.01, 0.04, 0.06, 1, 0.5, -0.5),
    ("call", 100, 90, 0.5, 0, 0, 0.01, 0.09, 0.5, 1, -0.9),
    # v0 = 0: the variance starts at its lower bound (one-sided differences in the package)
    ("call", 100, 105, 0.25, 0.02, 0, 0, 0.05, 3, 0.4, -0.6),
    # sigma = 0: deterministic variance
    ("call", 100, 100, 1, 0.05, 0, 0.04, 0.04, 1.5, 0, -0.7),
    ("put", 100, 95, 0.75, 0.03, 0.02, 0.09, 0.04, 2, 0, 0.5),
]

DIGITS = 40


def bs_price(kind, S, K, T, r, q, vol):
    sd = vol * mp.sqrt(T)
    d1 = (mp.log(S / K) + (r - q + vol * vol / 2) * T) / sd
    d2 = d1 - sd
    if kind == "call":
        return S * mp.exp(-q * T) * mp.ncdf(d1) - K * mp.exp(-r * T) * mp.ncdf(d2)
    return K * mp.exp(-r * T) * mp.ncdf(-d2) - S * mp.exp(-q * T) * mp.ncdf(-d1)


def bs_rows(kind, S, K, T, r, q, vol):
    with mp.workdps(DIGITS):
        S, K, T, r, q, vol = (mp.mpf(v) for v in (S, K, T, r, q, vol))
        values = {
            "price": bs_price(kind, S, K, T, r, q, vol),
            "delta": mp.diff(lambda s: bs_price(kind, s, K, T, r, q, vol), S),
            "gamma": mp.diff(lambda s: bs_price(kind, s, K, T, r, q, vol), S, 2),
            "vega": mp.diff(lambda v: bs_price(kind, S, K, T, r, q, v), vol),
            "theta": -mp.diff(lambda t: bs_price(kind, S, K, t, r, q, vol), T),
            "rho": mp.diff(lambda x: bs_price(kind, S, K, T, x, q, vol), r),
        }
    return values


def heston_price(kind, S, K, T, r, q, v0, theta, kappa, sigma, rho):
    call = mp.exp(-q * T) * heston_call_probabilities(S, K, T, r - q, v0, theta, kappa, sigma, rho)
    if kind == "call":
        return call
    return call - S * mp.exp(-q * T) + K * mp.exp(-r * T)


def central(f, x, h, f0):
    """First and second derivative of f at x (where f is f0), five-point stencils."""
    f2, f1, g1, g2 = (f(x + k * h) for k in (-2, -1, 1, 2))
    return (f2 - 8 * f1 + 8 * g1 - g2) / (12 * h), (-f2 + 16 * f1 - 30 * f0 + 16 * g1 - g2) / (12 * h * h)


def heston_rows(kind, S, K, T, r, q, v0, theta, kappa, sigma, rho):
    with mp.workdps(DIGITS):
        S, K, T, r, q, v0, theta = (mp.mpf(v) for v in (S, K, T, r, q, v0, theta))
        model = (kappa, sigma, rho)

        def price(S=S, T=T, r=r, v0=v0, theta=theta):
            return heston_price(kind, S, K, T, r, q, v0, theta, *model)

        # The price is analytic in v0 and theta, so the stencils may reach below 0 where
        # v0 is 0: the characteristic function continues there, as the one-sided
        # derivative does.
        step = mp.mpf("1e-4")
        centre = price()
        delta, gamma = central(lambda s: price(S=s), S, step * S, centre)
        variance = max(v0, theta)
        return {
            "price": centre,
            "delta": delta,
            "gamma": gamma,
            "vega_v0": central(lambda v: price(v0=v), v0, step * variance, centre)[0],
            "vega_parallel": central(lambda d: price(v0=v0 + d, theta=theta + d), 0, step * variance, centre)[0],
            "theta": -central(lambda t: price(T=t), T, step * T, centre)[0],
            "rho": central(lambda x: price(r=x), r, step, centre)[0],
        }


def main():
    rows = []
    for kind, S, K, T, r, q, vol in BLACK_SCHOLES:
        for quantity, value in bs_rows(kind, S, K, T, r, q, vol).items():
            rows.append(("black-scholes", kind, S, K, T, r, q, vol, "", "", "", "", "", quantity, value))
        print("black-scholes", kind, S, K, T, flush=True)
    for kind, S, K, T, r, q, v0, theta, kappa, sigma, rho in HESTON:
        for quantity, value in heston_rows(kind, S, K, T, r, q, v0, theta, kappa, sigma, rho).items():
            rows.append(("heston", kind, S, K, T, r, q, "", v0, theta, kappa, sigma, rho, quantity, value))
        print("heston", kind, S, K, T, sigma, flush=True)
    with open(OUTPUT, "w", newline="") as out:
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(COLUMNS)
        for row in rows:
            writer.writerow(row[:-1] + (mp.nstr(row[-1], 17, min_fixed=-4, max_fixed=8),))


if __name__ == "__main__":
    main()
