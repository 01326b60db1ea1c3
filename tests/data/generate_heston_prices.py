#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Writes heston_prices.csv: 151 Heston calls priced independently of the library.

    /usr/bin/python3 tests/data/generate_heston_prices.py [--out PATH] [--compare OLD.csv]

Each row is priced by the two methods of heston_reference.py (an mpmath Gil-Pelaez
integral of the textbook characteristic function at 30 digits and more, and a long
double Lewis integral of a rearranged one); the mpmath price is written, rounded to the
nearest double, with the bound on its error described in reference_row. Two processes
at most; about ten minutes on one core pair (the short maturities with a vol of vol of 1
decay slowly and take most of it).

With --compare, prints how far the new prices lie from those of an older table, in
units of the older table's stated uncertainty, and exits non-zero when a price moved by
more than the two uncertainties together.
"""
import argparse
import itertools
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import heston_reference as ref  # noqa: E402

TYPICAL = (100.0, 100.0, 1.0, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7)

# (v0, theta, kappa, sigma, rho): a moderate smile, a positive correlation with v0 above
# theta, and a vol of vol of 1 with strong negative correlation and v0 far below theta.
PARAMETER_SETS = [
    (0.04, 0.04, 1.5, 0.3, -0.7),
    (0.09, 0.04, 2.0, 0.6, 0.3),
    (0.01, 0.09, 0.5, 1.0, -0.9),
]
RATES = [0.0, 0.05]
MATURITIES = [0.1, 0.5, 1.0, 2.0, 5.0]
STRIKES = [70.0, 90.0, 100.0, 110.0, 130.0]


def rows():
    """The typical request, then the grid: parameter set, rate, maturity, strike (innermost)."""
    grid = [(100.0, K, T, r) + p for p, r, T, K in itertools.product(PARAMETER_SETS, RATES, MATURITIES, STRIKES)]
    return [TYPICAL] + grid


def compare(old_path, new_path):
    """Largest |new - old| over the old uncertainty; False if one exceeds both uncertainties."""
    old, new = ref.read_table(old_path), ref.read_table(new_path)
    assert len(old) == len(new), "the tables have different rows"
    inputs = ref.COLUMNS[:9]
    worst, ok = 0.0, True
    for line, (o, n) in enumerate(zip(old, new), start=2):
        assert all(o[c] == n[c] for c in inputs), f"line {line}: different inputs"
        moved = abs(n["price"] - o["price"])
        if moved > o["price_uncertainty"] + n["price_uncertainty"]:
            print(f"line {line}: price moved by {moved:.3g}, beyond the uncertainties "
                  f"{o['price_uncertainty']:.3g} (old) + {n['price_uncertainty']:.3g} (new)")
            ok = False
        if o["price_uncertainty"] > 0:
            worst = max(worst, moved / o["price_uncertainty"])
        elif moved > 0:
            print(f"line {line}: price moved by {moved:.3g} where the old table states no uncertainty")
    print(f"largest |new - old| / old uncertainty: {worst:.3g}")
    print(f"largest new uncertainty: {max(n['price_uncertainty'] for n in new):.3g} "
          f"(old: {max(o['price_uncertainty'] for o in old):.3g})")
    print(f"largest |new - old| implied volatility: {max(abs(n['implied_vol'] - o['implied_vol']) for o, n in zip(old, new)):.3g}")
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(HERE, "heston_prices.csv"))
    parser.add_argument("--compare", metavar="OLD", help="an older table to compare the new one with")
    args = parser.parse_args()
    seconds = ref.write_table(args.out, rows())
    print(f"{args.out}: {len(rows())} rows in {seconds:.0f} s")
    if args.compare and not compare(args.compare, args.out):
        sys.exit(1)


if __name__ == "__main__":
    main()
