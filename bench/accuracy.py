#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Accuracy of HestonCall_fast and HestonCall_exact against the reference prices.

    /usr/bin/python3 bench/accuracy.py [LIBRARY] [--svg OUT]

Loads the shared library (default: build/default/bin/libeurocall.so), prices every row
of tests/data/heston_prices.csv with both methods, prints the largest absolute error by
maturity and parameter set as the Markdown tables of docs/accuracy.md (the largest over the five strikes and
both rates of each cell, with the strike and rate where it occurs), and draws the same
figures as an SVG (default docs/accuracy.svg). Only the standard library is used.
"""
import ctypes
import csv
import math
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The three Heston parameter sets of the reference grid, (v0, theta, kappa, sigma, rho).
SETS = [
    ("A", (0.04, 0.04, 1.5, 0.3, -0.7), "v0 = θ = 0.04, κ = 1.5, σ = 0.3, ρ = −0.7"),
    ("B", (0.09, 0.04, 2.0, 0.6, 0.3), "v0 = 0.09, θ = 0.04, κ = 2, σ = 0.6, ρ = 0.3"),
    ("C", (0.01, 0.09, 0.5, 1.0, -0.9), "v0 = 0.01, θ = 0.09, κ = 0.5, σ = 1, ρ = −0.9"),
]
METHODS = ["HestonCall_fast", "HestonCall_exact"]


def load(path):
    lib = ctypes.CDLL(path)
    for name in METHODS:
        f = getattr(lib, name)
        f.restype = ctypes.c_double
        f.argtypes = [ctypes.c_double] * 9
    return lib


def rows():
    with open(os.path.join(ROOT, "tests", "data", "heston_prices.csv")) as f:
        for r in csv.DictReader(f):
            yield {k: float(v) for k, v in r.items()}


def worst_errors(lib):
    """{(set, T, method): (error, K, r)} of the largest |price - reference|."""
    worst = {}
    for q in rows():
        params = (q["v0"], q["theta"], q["kappa"], q["sigma"], q["rho"])
        label = next(s for s, p, _ in SETS if p == params)
        for m in METHODS:
            price = getattr(lib, m)(q["S"], q["K"], q["T"], q["r"], *params)
            err = abs(price - q["price"]) if math.isfinite(price) else math.inf
            key = (label, q["T"], m)
            if key not in worst or err > worst[key][0]:
                worst[key] = (err, q["K"], q["r"])
    return worst


def markdown(worst, maturities):
    out = []
    for m in METHODS:
        out.append(f"`{m}`: largest |price − reference| by maturity (columns) and parameter set (rows)\n")
        out.append("| set | " + " | ".join(f"T = {t:g}" for t in maturities) + " |")
        out.append("|---|" + "---|" * len(maturities))
        for label, _, text in SETS:
            cells = []
            for t in maturities:
                err, K, r = worst[(label, t, m)]
                cells.append(f"{err:.1e} (K {K:g}, r {r:g})")
            out.append(f"| {label}: {text} | " + " | ".join(cells) + " |")
        out.append("")
    return "\n".join(out)


def svg(worst, maturities, path):
    """Three panels (one per parameter set): log10 of the largest error against T."""
    W, H, top, bottom, left, gap = 960, 380, 60, 60, 70, 30
    pw = (W - left - 20 - 2 * gap) / 3
    ph = H - top - bottom
    lo, hi = -16, 0  # log10 range of the vertical axis
    colors = {"HestonCall_fast": "#d95f02", "HestonCall_exact": "#1b9e77"}
    s = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" font-family="sans-serif" font-size="12">',
         f'<rect width="{W}" height="{H}" fill="white"/>',
         f'<text x="{W / 2}" y="22" text-anchor="middle" font-size="15">Largest |price − reference| over strikes '
         f'70–130 and r ∈ {{0, 0.05}}, by maturity</text>']

    def y_of(err):
        v = math.log10(max(err, 10.0 ** lo)) if math.isfinite(err) else hi
        return top + ph * (hi - min(max(v, lo), hi)) / (hi - lo)

    for i, (label, _, text) in enumerate(SETS):
        x0 = left + i * (pw + gap)
        s.append(f'<rect x="{x0}" y="{top}" width="{pw}" height="{ph}" fill="none" stroke="#888"/>')
        s.append(f'<text x="{x0 + pw / 2}" y="{top - 8}" text-anchor="middle" font-size="11">{label}: {text}</text>')
        for e in range(lo, hi + 1, 2):
            y = top + ph * (hi - e) / (hi - lo)
            s.append(f'<line x1="{x0}" x2="{x0 + pw}" y1="{y}" y2="{y}" stroke="#eee"/>')
            if i == 0:
                s.append(f'<text x="{x0 - 6}" y="{y + 4}" text-anchor="end">1e{e}</text>')
        xs = [x0 + pw * (k + 0.5) / len(maturities) for k in range(len(maturities))]
        for x, t in zip(xs, maturities):
            s.append(f'<text x="{x}" y="{top + ph + 16}" text-anchor="middle">{t:g}</text>')
        s.append(f'<text x="{x0 + pw / 2}" y="{top + ph + 34}" text-anchor="middle">T (years)</text>')
        for m in METHODS:
            pts = [(x, y_of(worst[(label, t, m)][0])) for x, t in zip(xs, maturities)]
            s.append('<polyline fill="none" stroke="{}" stroke-width="2" points="{}"/>'.format(
                colors[m], " ".join(f"{x:.1f},{y:.1f}" for x, y in pts)))
            for x, y in pts:
                s.append(f'<circle cx="{x:.1f}" cy="{y:.1f}" r="3.5" fill="{colors[m]}"/>')
    for k, m in enumerate(METHODS):
        x = left + 10 + k * 200
        y = H - 12
        s.append(f'<line x1="{x}" x2="{x + 24}" y1="{y - 4}" y2="{y - 4}" stroke="{colors[m]}" stroke-width="3"/>')
        s.append(f'<text x="{x + 30}" y="{y}">{m}</text>')
    s.append(f'<text x="{W - 20}" y="{H - 12}" text-anchor="end" fill="#666">errors below 1e-16 drawn at 1e-16; '
             f'the reference is good to about 1e-14</text>')
    s.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(s) + "\n")


def command_line(argv, picture):
    """(library path, SVG path) from [LIBRARY] [--svg OUT]; picture is the default under docs/."""
    out = os.path.join(ROOT, "docs", picture)
    args = list(argv)
    if "--svg" in args:
        i = args.index("--svg")
        out = args[i + 1]
        del args[i:i + 2]
    lib_path = args[0] if args else os.path.join(ROOT, "build", "default", "bin", "libeurocall.so")
    return lib_path, out


def main(argv):
    lib_path, out = command_line(argv, "accuracy.svg")
    worst = worst_errors(load(lib_path))
    maturities = sorted({t for (_, t, _) in worst})
    print(markdown(worst, maturities))
    os.makedirs(os.path.dirname(out), exist_ok=True)
    svg(worst, maturities, out)
    print(f"picture: {os.path.relpath(out, ROOT)}")


if __name__ == "__main__":
    main(sys.argv[1:])
