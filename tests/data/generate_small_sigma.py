#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Writes heston_small_sigma.csv: Heston calls with the vol of vol small against kappa.

    /usr/bin/python3 tests/data/generate_small_sigma.py [--out PATH]

Same columns and methods as heston_prices.csv (heston_reference.reference_row): the
mpmath price, its precision raised with -log10(sigma/kappa), written as the nearest
double; the uncertainty adds the long double method's difference and that rounding.
At sigma = 0 the model has deterministic variance and the price is the Black–Scholes
price with the integrated variance, in closed form. Two processes at most; a few
minutes.

The rows, 100 of them:
  - the typical request (S = K = 100, T = 1, r = 0.05, v0 = theta = 0.04, kappa = 1.5,
    rho = -0.7) with sigma from 0.3 down to 1e-12 and 0, and three rows named with it;
  - sigma across 0.05 kappa (0.049 ... 0.051 times kappa) for four parameter sets, the
    line below which a small vol of vol is evaluated differently;
  - ladders of sigma/kappa from 1 (or the largest reasonable for a large kappa) down to
    1e-12 and 0 for nine parameter sets: T from 0.05 to 10, K/S from 0.7 to 1.4 (far out
    of the money where the price stays above 1e-6 S), rho from -0.95 to 0.5, kappa from
    1e-3 to 8;
  - kappa = 0 with sigma small and 0 (variance without mean reversion: v0 T at sigma = 0).
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import heston_reference as ref  # noqa: E402

# (S, K, T, r, v0, theta, kappa, rho): sigma is added per row.
TYPICAL = (100.0, 100.0, 1.0, 0.05, 0.04, 0.04, 1.5, -0.7)


def with_sigma(base, sigma, **changes):
    S, K, T, r, v0, theta, kappa, rho = base
    d = dict(S=S, K=K, T=T, r=r, v0=v0, theta=theta, kappa=kappa, rho=rho)
    d.update(changes)
    return (d["S"], d["K"], d["T"], d["r"], d["v0"], d["theta"], d["kappa"], sigma, d["rho"])


# sigma as a multiple of kappa across the switch line 0.05 kappa; the product is the one
# a comparison sigma < 0.05 * kappa forms, so the 0.05 row lies exactly on the line.
SEAM_FACTORS = [0.049, 0.0499, 0.05, 0.0501, 0.051]
SEAM_SETS = [
    TYPICAL,
    (100.0, 110.0, 0.25, 0.02, 0.09, 0.05, 4.0, -0.3),
    (100.0, 70.0, 5.0, 0.03, 0.02, 0.06, 0.5, 0.4),
    (100.0, 95.0, 0.05, 0.0, 0.16, 0.04, 8.0, -0.95),
]

# (parameters, sigma/kappa ratios)
ALL_RATIOS = [1.0, 0.1, 1e-2, 1e-4, 1e-6, 1e-9, 1e-12, 0.0]
LADDERS = [
    ((100.0, 70.0, 0.05, 0.02, 0.09, 0.04, 3.0, -0.95), [0.2] + ALL_RATIOS[1:]),  # deep in the money, short
    ((100.0, 140.0, 10.0, 0.03, 0.02, 0.05, 0.8, 0.5), ALL_RATIOS),  # far out of the money, long
    ((100.0, 140.0, 0.25, 0.0, 0.06, 0.06, 2.0, -0.5), [0.25, 0.02, 1e-3, 1e-6, 1e-12, 0.0]),
    ((100.0, 140.0, 0.1, 0.0, 0.09, 0.09, 2.0, -0.7), [0.07, 0.03, 1e-3, 1e-6, 0.0]),  # price ~ 5e-6 S
    ((100.0, 100.0, 2.0, 0.05, 0.01, 0.09, 0.5, -0.9), ALL_RATIOS),
    ((100.0, 90.0, 5.0, 0.01, 0.25, 0.04, 8.0, 0.3), [0.1, 1e-2, 1e-4, 1e-9, 0.0]),
    ((100.0, 110.0, 1.0, 0.05, 0.04, 0.04, 1e-3, -0.7), [1.0, 1e-2, 1e-6, 1e-12, 0.0]),  # slow reversion
    ((100.0, 130.0, 0.5, 0.05, 0.04, 0.09, 1.0, 0.5), [1.0, 0.1, 0.03, 0.01, 1e-3, 1e-6, 1e-12, 0.0]),
]

# kappa = 0: (parameters, sigmas)
NO_REVERSION = [
    ((100.0, 100.0, 1.0, 0.05, 0.04, 0.04, 0.0, -0.7), [1e-2, 1e-4, 1e-6, 1e-9, 1e-12, 0.0]),
    ((100.0, 120.0, 5.0, 0.02, 0.09, 0.02, 0.0, 0.5), [1e-3, 1e-6, 1e-12, 0.0]),
    ((100.0, 85.0, 0.05, 0.01, 0.04, 0.04, 0.0, -0.3), [1e-4, 1e-8, 0.0]),
    ((100.0, 135.0, 0.5, 0.0, 0.02, 0.1, 0.0, -0.95), [1e-3, 1e-7, 0.0]),
]


def rows():
    out = [with_sigma(TYPICAL, s) for s in [0.3, 0.03, 0.01, 0.001, 1e-5, 1e-6, 1e-12, 0.0]]
    out.append(with_sigma(TYPICAL, 0.05, K=120.0, T=0.5, kappa=2.0))
    out.append(with_sigma(TYPICAL, 0.1, kappa=5.0, rho=0.0))
    out.append(with_sigma(TYPICAL, 1e-12, K=80.0, T=2.0))
    for base in SEAM_SETS:
        out += [with_sigma(base, f * base[6]) for f in SEAM_FACTORS]
    for base, ratios in LADDERS:
        out += [with_sigma(base, q * base[6]) for q in ratios]
    for base, sigmas in NO_REVERSION:
        out += [with_sigma(base, s) for s in sigmas]
    assert len(set(out)) == len(out), "a row is listed twice"
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(HERE, "heston_small_sigma.csv"))
    args = parser.parse_args()
    table = rows()
    seconds = ref.write_table(args.out, table)
    small = [(r, q["price"]) for r, q in zip(table, ref.read_table(args.out)) if q["price"] < 1e-6 * r[0]]
    assert not small, f"prices below 1e-6 S: {small}"
    print(f"{args.out}: {len(table)} rows in {seconds:.0f} s")


if __name__ == "__main__":
    main()
