#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Accuracy of HestonCall_fast and HestonCall_exact as the vol of vol goes to zero.

    /usr/bin/python3 bench/accuracy_small_sigma.py [LIBRARY] [--svg OUT]

Loads the shared library (default: build/default/bin/libeurocall.so), prices every row
of tests/data/heston_small_sigma.csv with both methods, prints the largest error
|price − reference| / max(1, reference) by band of sigma/kappa as a Markdown table (with
the line of the table where it occurs), and draws every row's error against sigma/kappa
(and against sigma for kappa = 0) as an SVG (default docs/accuracy_small_sigma.svg).
Only the standard library is used.
"""
import csv
import math
import os
import sys

from accuracy import METHODS, ROOT, command_line, load

TABLE = os.path.join(ROOT, "tests", "data", "heston_small_sigma.csv")

# Bands of sigma/kappa, each a test on (kappa, sigma); every row falls in exactly one.
BANDS = [
    ("σ = 0 (deterministic variance)", lambda k, s: s == 0),
    ("κ = 0, σ > 0", lambda k, s: k == 0 and s > 0),
    ("0 < σ/κ ≤ 1e-9", lambda k, s: k > 0 and 0 < s <= 1e-9 * k),
    ("1e-9 < σ/κ ≤ 1e-6", lambda k, s: k > 0 and 1e-9 * k < s <= 1e-6 * k),
    ("1e-6 < σ/κ ≤ 1e-3", lambda k, s: k > 0 and 1e-6 * k < s <= 1e-3 * k),
    ("1e-3 < σ/κ < 0.05", lambda k, s: k > 0 and 1e-3 * k < s < 0.05 * k),
    ("0.05 ≤ σ/κ ≤ 1", lambda k, s: k > 0 and s >= 0.05 * k),
]
ARGS = ["S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho"]


def errors(lib):
    """[(line, kappa, sigma, {method: relative error})] for every row of the table."""
    out = []
    with open(TABLE) as f:
        for line, q in enumerate(csv.DictReader(f), start=2):
            q = {k: float(v) for k, v in q.items()}
            errs = {}
            for m in METHODS:
                price = getattr(lib, m)(*(q[a] for a in ARGS))
                errs[m] = abs(price - q["price"]) / max(1.0, q["price"]) if math.isfinite(price) else math.inf
            out.append((line, q["kappa"], q["sigma"], errs))
    return out


def markdown(rows):
    out = ["Largest |price − reference| / max(1, reference) over the rows of each band "
           "(line of tests/data/heston_small_sigma.csv in parentheses)\n",
           "| σ/κ | rows | " + " | ".join(f"`{m}`" for m in METHODS) + " |",
           "|---|---|" + "---|" * len(METHODS)]
    for label, test in BANDS:
        band = [r for r in rows if test(r[1], r[2])]
        cells = []
        for m in METHODS:
            err, line = max((r[3][m], r[0]) for r in band)
            cells.append(f"{err:.1e} ({line})")
        out.append(f"| {label} | {len(band)} | " + " | ".join(cells) + " |")
    return "\n".join(out) + "\n"


def svg(rows, path):
    """Two panels: error against sigma/kappa (kappa > 0), and against sigma (kappa = 0)."""
    W, H, top, bottom, left, gap = 960, 400, 60, 64, 70, 40
    panels = [("κ > 0: error against σ/κ", "σ/κ", lambda k, s: k > 0, lambda k, s: s / k, -12, 0),
              ("κ = 0: error against σ", "σ", lambda k, s: k == 0, lambda k, s: s, -12, -2)]
    widths = [0.66, 0.34]
    usable = W - left - 20 - gap
    ph = H - top - bottom
    lo, hi = -17, 1  # log10 range of the vertical axis
    colors = {"HestonCall_fast": "#d95f02", "HestonCall_exact": "#1b9e77"}
    s = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" font-family="sans-serif" font-size="12">',
         f'<rect width="{W}" height="{H}" fill="white"/>',
         f'<text x="{W / 2}" y="22" text-anchor="middle" font-size="15">|price − reference| / max(1, price) as the '
         f'vol of vol σ goes to zero (each row of the small-σ table)</text>']

    def y_of(err):
        v = math.log10(err) if 0 < err < math.inf else (lo if err == 0 else hi)
        return top + ph * (hi - min(max(v, lo), hi)) / (hi - lo)

    x0 = left
    for (title, axis, keep, abscissa, xlo, xhi), share in zip(panels, widths):
        pw = usable * share
        # one column left of the axis for sigma = 0
        span = xhi - xlo + 1.5

        def x_of(v, x0=x0, pw=pw, xlo=xlo, span=span):
            pos = 0.0 if v == 0 else math.log10(v) - xlo + 1.5
            return x0 + pw * (0.5 + pos) / (span + 1)

        s.append(f'<rect x="{x0}" y="{top}" width="{pw}" height="{ph}" fill="none" stroke="#888"/>')
        s.append(f'<text x="{x0 + pw / 2}" y="{top - 8}" text-anchor="middle" font-size="12">{title}</text>')
        for e in range(lo + 1, hi + 1, 2):
            y = top + ph * (hi - e) / (hi - lo)
            s.append(f'<line x1="{x0}" x2="{x0 + pw}" y1="{y}" y2="{y}" stroke="#eee"/>')
            if x0 == left:
                s.append(f'<text x="{x0 - 6}" y="{y + 4}" text-anchor="end">1e{e}</text>')
        y9 = y_of(1e-9)
        s.append(f'<line x1="{x0}" x2="{x0 + pw}" y1="{y9}" y2="{y9}" stroke="#c33" stroke-dasharray="4 3"/>')
        for e in range(xlo, xhi + 1, 3 if xhi - xlo > 6 else 2):
            x = x_of(10.0 ** e)
            s.append(f'<text x="{x}" y="{top + ph + 16}" text-anchor="middle">1e{e}</text>')
        s.append(f'<text x="{x_of(0)}" y="{top + ph + 16}" text-anchor="middle">0</text>')
        s.append(f'<text x="{x0 + pw / 2}" y="{top + ph + 36}" text-anchor="middle">{axis}</text>')
        if keep(1.0, 0.05):
            x = x_of(0.05)
            s.append(f'<line x1="{x}" x2="{x}" y1="{top}" y2="{top + ph}" stroke="#888" stroke-dasharray="2 3"/>')
            s.append(f'<text x="{x - 4}" y="{top + 14}" text-anchor="end" fill="#666">0.05</text>')
        for m, dx in zip(METHODS, (-2.5, 2.5)):
            for line, k, sg, errs in rows:
                if keep(k, sg):
                    s.append(f'<circle cx="{x_of(abscissa(k, sg)) + dx:.1f}" cy="{y_of(errs[m]):.1f}" r="3" '
                             f'fill="{colors[m]}" fill-opacity="0.75"/>')
        x0 += pw + gap
    for k, m in enumerate(METHODS):
        x = left + 10 + k * 200
        y = H - 12
        s.append(f'<circle cx="{x + 12}" cy="{y - 4}" r="4" fill="{colors[m]}"/>')
        s.append(f'<text x="{x + 22}" y="{y}">{m}</text>')
    s.append(f'<text x="{W - 20}" y="{H - 12}" text-anchor="end" fill="#666">dashed red: 1e-9; errors below '
             f'1e-17 drawn at 1e-17, above 10 (or not finite) at 10</text>')
    s.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(s) + "\n")


def main(argv):
    lib_path, out = command_line(argv, "accuracy_small_sigma.svg")
    rows = errors(load(lib_path))
    print(markdown(rows))
    os.makedirs(os.path.dirname(out), exist_ok=True)
    svg(rows, out)
    print(f"picture: {os.path.relpath(out, ROOT)}")


if __name__ == "__main__":
    main(sys.argv[1:])
