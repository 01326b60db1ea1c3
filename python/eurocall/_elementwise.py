# SPDX-License-Identifier: Apache-2.0
"""The library's exports over whole columns: the one place where elements meet the library.

One function per export family. Each takes its arguments as columns (contiguous float64
buffers of one length n: array('d') or one-dimensional NumPy arrays), in the export's
own order, and fills out (such a buffer of length n) with the export's result for every
element; workers=N spreads the elements over N threads. Everything above this module
(pandas, errors=, puts and dividends, Greeks, Dask) reaches the library only through
these functions, so an array entry point of the library can replace the loop here
without touching any of it.

The same export computes every element, one foreign call each, so a result is bit for
bit the list of scalar results whatever the number of threads. (The library's one
per-thread state, its maths error indicator, which once set makes the Heston integrand
0 for the rest of that thread's life, could tell threads apart; each call here starts
threads of its own, so none inherits one set by earlier calls.)
"""
import array

from . import raw

METHODS = ("exact", "fast")
PARTS = ("combined", "j0", "j1")


def _fill(kernel, columns, out, workers):
    n = len(out)
    rows = list(zip(*[c.tolist() for c in columns]))
    if workers == 1 or n < 2:
        out[:] = array.array("d", [kernel(*row) for row in rows])
        return
    from concurrent.futures import ThreadPoolExecutor

    # A few chunks per thread even out elements of unequal cost; each chunk is a run of
    # consecutive elements, written back in its own place.
    count = min(n, 4 * workers)
    bounds = [n * i // count for i in range(count + 1)]

    def chunk(i):
        lo, hi = bounds[i], bounds[i + 1]
        out[lo:hi] = array.array("d", [kernel(*row) for row in rows[lo:hi]])

    with ThreadPoolExecutor(max_workers=workers) as pool:
        list(pool.map(chunk, range(count)))


def bs_call(S, K, T, r, vol, out, workers=1):
    """BSCall on every element."""
    _fill(raw.BSCall, (S, K, T, r, vol), out, workers)


def bs_vol(S, K, T, r, price, out, workers=1):
    """BSVol on every element."""
    _fill(raw.BSVol, (S, K, T, r, price), out, workers)


def heston_call(method, S, K, T, r, v0, theta, kappa, sigma, rho, out, workers=1):
    """HestonCall_exact or HestonCall_fast on every element."""
    _fill(getattr(raw, "HestonCall_" + method), (S, K, T, r, v0, theta, kappa, sigma, rho), out, workers)


def heston_vol(method, S, K, T, r, v0, theta, kappa, sigma, rho, out, workers=1):
    """HestonVol_exact or HestonVol_fast on every element."""
    _fill(getattr(raw, "HestonVol_" + method), (S, K, T, r, v0, theta, kappa, sigma, rho), out, workers)


def integrand(part, x, T, v0, theta, kappa, sigma, rho, phi, out, workers=1):
    """theIntegrand ("combined"), RealIntegrand_j0 or RealIntegrand_j1 on every element.

    The columns come in theIntegrand's order (v0 before theta); the real integrands get
    theirs (theta before v0).
    """
    if part == "combined":
        _fill(raw.theIntegrand, (x, T, v0, theta, kappa, sigma, rho, phi), out, workers)
    else:
        kernel = raw.RealIntegrand_j0 if part == "j0" else raw.RealIntegrand_j1
        _fill(kernel, (x, T, theta, v0, kappa, sigma, rho, phi), out, workers)
