# SPDX-License-Identifier: Apache-2.0
"""Heston and Black–Scholes call prices computed independently of the library.

Used by the generators of the reference tables under tests/ (never by the tests
themselves, which read the tables). Two methods that share nothing but the model:

``heston_call_lewis``
    NumPy long double (64-bit significand, about 19 digits). The characteristic
    function of ln(S_T/F) in a form that stays accurate as the vol of vol goes to zero
    (beta - d by division, the logarithm through log1p of an uncancelled quantity,
    1 - e^(-dT) through expm1), integrated along Im u = -1/2 (the Lewis form, one
    integral, integrand decaying like |phi|/u^2) with composite 32-point
    Gauss–Legendre panels out to where the integrand is below 1e-25 of its start.

``heston_call_probabilities``
    mpmath at a working precision raised with -log10(sigma). The characteristic
    function in its textbook arrangement (g = (beta - d)/(beta + d), one principal
    logarithm of (1 - g e^(-dT))/(1 - g), A/sigma^2 divided as written, so the
    precision carries the cancellations), integrated as the two exercise
    probabilities P1 and P2 (Gil-Pelaez), with Gauss–Legendre panels at that
    precision.

At sigma = 0 the model has deterministic variance and both methods fall back to the
Black–Scholes price with the integrated variance theta T + (v0 - theta)(1 - e^(-kappa T))/kappa
(v0 T at kappa = 0): the first through the same characteristic function in its limit,
the second through the normal distribution in closed form.

Run as a script it prices a few rows both ways and prints the difference.
"""

import math

import mpmath as mp
import numpy as np

LD = np.longdouble
CLD = np.clongdouble
PI_LD = LD("3.14159265358979323846264338327950288")

# ---------------------------------------------------------------- Gauss–Legendre


def _legendre_nodes(n, dps):
    """Nodes and weights of the n-point Gauss–Legendre rule on [-1, 1] at dps digits."""
    with mp.workdps(dps + 10):
        nodes, weights = [], []
        for i in range(1, n + 1):
            x = mp.cos(mp.pi * (i - mp.mpf(1) / 4) / (n + mp.mpf(1) / 2))
            for _ in range(100):
                p0, p1 = mp.mpf(1), x
                for k in range(2, n + 1):
                    p0, p1 = p1, ((2 * k - 1) * x * p1 - (k - 1) * p0) / k
                dp = n * (x * p1 - p0) / (x * x - 1)
                step = p1 / dp
                x -= step
                if abs(step) < mp.mpf(10) ** (-(dps + 5)):
                    break
            nodes.append(x)
            weights.append(2 / ((1 - x * x) * dp * dp))
        return nodes, weights


_GL_CACHE = {}


def _gl(n, dps):
    key = (n, dps)
    if key not in _GL_CACHE:
        _GL_CACHE[key] = _legendre_nodes(n, dps)
    return _GL_CACHE[key]


def _gl_longdouble(n):
    key = (n, "ld")
    if key not in _GL_CACHE:
        nodes, weights = _gl(n, 30)
        with mp.workdps(30):
            _GL_CACHE[key] = (np.array([LD(mp.nstr(x, 25)) for x in nodes]),
                              np.array([LD(mp.nstr(w, 25)) for w in weights]))
    return _GL_CACHE[key]


def _panel_ends(scale):
    """Panel ends for an integrand whose decay length is about `scale` in u."""
    ends = [0.0]
    width = min(0.25, scale / 8)
    while True:
        u = ends[-1]
        ends.append(u + width)
        # Wider panels further out, never wider than an eighth of the decay length
        # nor 4 (the phase turns at most a few radians per panel).
        width = min(max(width, ends[-1] / 16), scale / 8, 4.0)
        if ends[-1] > 1e7:
            break
        yield ends[-2], ends[-1]


# ---------------------------------------------------------------- Black–Scholes


def bs_call(S, K, T, r, vol, dps=40):
    """Black–Scholes call price in mpmath (T > 0, vol > 0; else the limits)."""
    with mp.workdps(dps):
        S, K, T, r, vol = (mp.mpf(v) for v in (S, K, T, r, vol))
        D = mp.exp(-r * T)
        sd = vol * mp.sqrt(T)
        if sd == 0:
            return max(S - K * D, mp.mpf(0))
        d1 = (mp.log(S / K) + r * T) / sd + sd / 2
        return S * mp.ncdf(d1) - K * D * mp.ncdf(d1 - sd)


def implied_vol(S, K, T, r, price, dps=40):
    """Black–Scholes volatility of a call price, to dps digits (None when no volatility fits)."""
    with mp.workdps(dps):
        price = mp.mpf(price)
        lo, hi = mp.mpf("1e-6"), mp.mpf(10)
        if not (bs_call(S, K, T, r, lo, dps) < price < bs_call(S, K, T, r, hi, dps)):
            return None
        for _ in range(400):
            mid = (lo + hi) / 2
            if bs_call(S, K, T, r, mid, dps) < price:
                lo = mid
            else:
                hi = mid
            if hi - lo < mp.mpf(10) ** (-dps + 5) * hi:
                break
        return (lo + hi) / 2


def integrated_variance(T, v0, theta, kappa):
    """Integral of the deterministic variance of the sigma = 0 model over [0, T]."""
    with mp.workdps(40):
        T, v0, theta, kappa = (mp.mpf(v) for v in (T, v0, theta, kappa))
        if kappa == 0:
            return v0 * T
        return theta * T + (v0 - theta) * (-mp.expm1(-kappa * T)) / kappa


# ---------------------------------------------------------------- method 1: long double


def _expm1(z):
    """e^z - 1 for complex long double z, without cancellation for small |z|."""
    small = np.abs(z) < 0.05
    series = np.zeros_like(z)
    term = np.ones_like(z)
    for k in range(1, 22):
        term = term * z / k
        series = series + term
    return np.where(small, series, np.exp(z) - 1)


def _log1p_over(y):
    """ln(1 + y) / y for complex long double y (1 at y = 0)."""
    small = np.abs(y) < 0.05
    series = np.zeros_like(y)
    power = np.ones_like(y)
    for k in range(1, 24):
        series = series + power * ((-1) ** (k + 1)) / k
        power = power * y
    safe = np.where(small, 1, y)
    return np.where(small, series, np.log(1 + safe) / safe)


def char_fn_stable(u, T, v0, theta, kappa, sigma, rho):
    """E[exp(i u ln(S_T/F))] for complex long double u (array), stable as sigma -> 0.

    With w = u^2 + i u, beta = kappa - i rho sigma u and d^2 = beta^2 + sigma^2 w:
    beta - d = -sigma^2 w / (beta + d) (or beta + d by the same identity when Re beta
    < 0), so A / sigma^2 = -w / B needs no division by sigma^2; with
    g = A / B and E = e^(-dT),
      ln((1 - g E)/(1 - g)) = ln(1 + y),  y = g (1 - E)/(1 - g) = sigma^2 y',
      y' = -w (1 - E) / (B^2 (1 - g)),
    so C = kappa theta (-w T / B - 2 y' ln(1 + y)/y) and D = -(w / B)(1 - E)/(1 - g E).
    """
    T, v0, theta, kappa, sigma, rho = (LD(v) for v in (T, v0, theta, kappa, sigma, rho))
    w = u * u + 1j * u
    beta = kappa - 1j * rho * sigma * u
    s2 = sigma * sigma
    d = np.sqrt(beta * beta + s2 * w)
    # Form directly whichever of beta + d and beta - d is the larger (|beta + d| >= |beta - d|
    # exactly when Re(beta conj d) >= 0), the other by the identity, so neither is a
    # cancelled difference. Testing Re beta alone is not enough: with Re beta near 0
    # (kappa = 0, or kappa near rho sigma / 2) the principal d can lie close to -beta.
    plain = (beta * np.conj(d)).real >= 0
    with np.errstate(all="ignore"):
        B_direct, A_direct = beta + d, beta - d
        B = np.where(plain, B_direct, -s2 * w / A_direct)
        A = np.where(plain, -s2 * w / B_direct, A_direct)
    g = A / B
    one_minus_E = -_expm1(-d * T)
    E = 1 - one_minus_E
    y_prime = -w * one_minus_E / (B * B * (1 - g))
    y = s2 * y_prime
    C = kappa * theta * (-w * T / B - 2 * y_prime * _log1p_over(y))
    Dv = -(w / B) * one_minus_E / (1 - g * E) * v0
    return np.exp(C + Dv)


def heston_call_lewis(S, K, T, r, v0, theta, kappa, sigma, rho, nodes=32):
    """Heston call price, long double: C = S - sqrt(S K) e^(-rT/2)/pi int Re[e^(iuk) phi(u - i/2)]/(u^2 + 1/4) du."""
    S, K, T, r = (LD(v) for v in (S, K, T, r))
    if T == 0:
        return max(S - K, LD(0))
    if sigma == 0 and kappa == 0:
        # beta + d = 2 kappa = 0: the limit v0 T, through the Black–Scholes characteristic function.
        V = LD(v0) * T
        phi = lambda u: np.exp(-(u * u + 1j * u) * V / 2)  # noqa: E731
    else:
        phi = lambda u: char_fn_stable(u, T, v0, theta, kappa, sigma, rho)  # noqa: E731
    k = np.log(S / K) + r * T
    f = lambda u: (np.exp(1j * u * k) * phi(u - 0.5j)).real / (u.real * u.real + 0.25)  # noqa: E731
    x, wts = _gl_longdouble(nodes)
    start = abs(f(np.array([LD(0)], dtype=CLD))[0])
    # Decay length: where |f| first falls below e^-1 of its start along a geometric grid.
    grid = np.geomspace(1e-3, 1e7, 400).astype(LD)
    vals = np.abs(f(grid.astype(CLD)))
    below = np.nonzero(vals < start * math.exp(-1))[0]
    scale = float(grid[below[0]]) if len(below) else 1.0
    total = LD(0)
    batch_lo, batch_hi = [], []
    quiet = 0
    for lo, hi in _panel_ends(max(scale, 1e-3)):
        batch_lo.append(lo)
        batch_hi.append(hi)
        if len(batch_lo) < 256:
            continue
        part, last = _lewis_batch(f, x, wts, batch_lo, batch_hi)
        total += part
        batch_lo, batch_hi = [], []
        quiet = quiet + 1 if abs(last) < 1e-25 * start else 0
        if quiet >= 2:
            break
    if batch_lo:
        total += _lewis_batch(f, x, wts, batch_lo, batch_hi)[0]
    return S - np.sqrt(S * K) * np.exp(-r * T / 2) / PI_LD * total


def _lewis_batch(f, x, wts, lo, hi):
    lo = np.array(lo, dtype=LD)[:, None]
    hi = np.array(hi, dtype=LD)[:, None]
    half = (hi - lo) / 2
    mid = (hi + lo) / 2
    u = (mid + half * x[None, :]).astype(CLD)
    vals = f(u.ravel()).reshape(u.shape)
    panels = (vals * wts[None, :]).sum(axis=1) * half[:, 0]
    return panels.sum(), float(np.abs(vals[-1]).max())


# ---------------------------------------------------------------- method 2: mpmath


def char_fn_textbook(u, T, v0, theta, kappa, sigma, rho):
    """E[exp(i u ln(S_T/F))] in mpmath, arranged as usually written (needs the precision)."""
    w = u * u + 1j * u
    beta = kappa - 1j * rho * sigma * u
    d = mp.sqrt(beta * beta + sigma * sigma * w)
    A = beta - d
    g = A / (beta + d)
    E = mp.exp(-d * T)
    C = kappa * theta / sigma**2 * (A * T - 2 * mp.log((1 - g * E) / (1 - g)))
    D = A / sigma**2 * (1 - E) / (1 - g * E)
    return mp.exp(C + D * v0)


def heston_call_probabilities(S, K, T, r, v0, theta, kappa, sigma, rho, dps=None, nodes=24):
    """Heston call price S P1 - K e^(-rT) P2 in mpmath, P_j = 1/2 + (1/pi) int Re(...)/u du."""
    if sigma == 0:
        with mp.workdps(40):
            V = integrated_variance(T, v0, theta, kappa)
            return bs_call(S, K, T, r, mp.sqrt(V / T) if T > 0 else 0)
    dps = dps or _working_digits(T, kappa, sigma)
    with mp.workdps(dps):
        S, K, T, r, v0, theta, kappa, sigma, rho = (mp.mpf(v) for v in (S, K, T, r, v0, theta, kappa, sigma, rho))
        if T == 0:
            return max(S - K, mp.mpf(0))
        k = mp.log(S / K) + r * T  # ln(F/K)

        def both(u):
            p2 = char_fn_textbook(u, T, v0, theta, kappa, sigma, rho)
            p1 = char_fn_textbook(u - 1j, T, v0, theta, kappa, sigma, rho)  # phi(-i) = 1
            e = mp.expj(u * k)
            return (mp.re(e * p1 / (1j * u)), mp.re(e * p2 / (1j * u)))

        x, wts = _gl(nodes, dps)
        start = abs(both(mp.mpf("1e-3"))[1])
        scale = _decay_scale_mp(lambda u: both(u)[1], start)
        I1 = I2 = mp.mpf(0)
        quiet = 0
        for lo, hi in _panel_ends(max(scale, 1e-3)):
            lo, hi = mp.mpf(lo), mp.mpf(hi)
            half, mid = (hi - lo) / 2, (hi + lo) / 2
            s1 = s2 = mp.mpf(0)
            for xi, wi in zip(x, wts):
                a, b = both(mid + half * xi)
                s1 += wi * a
                s2 += wi * b
            I1 += half * s1
            I2 += half * s2
            quiet = quiet + 1 if max(abs(half * s1), abs(half * s2)) < mp.mpf(10) ** -24 else 0
            if quiet >= 3:
                break
        P1 = mp.mpf(1) / 2 + I1 / mp.pi
        P2 = mp.mpf(1) / 2 + I2 / mp.pi
        return S * P1 - K * mp.exp(-r * T) * P2


def _working_digits(T, kappa, sigma):
    """Digits for the textbook form: 30 plus what its cancellations cost.

    beta - d and ln((1 - g e^(-dT))/(1 - g)) / sigma^2 each lose about 2 log10(kappa/sigma)
    digits when sigma is small against kappa. 1 - e^(-dT) loses log10(1/(|d| T)) with |d|
    at least of the order of max(kappa, sigma), and the two terms of C agree to all but
    about kappa T / 2 of their size: both matter when kappa T and sigma T are small
    (kappa = 0 with a small sigma, or a very slow mean reversion).
    """
    scale = max(kappa, sigma)
    digits = 2 * max(0.0, math.log10(scale / sigma))
    if T > 0:
        digits += max(0.0, -math.log10(scale * T))
    return int(30 + digits)


def _decay_scale_mp(f, start):
    """Where |f| first falls below e^-1 of its value near 0, along a geometric grid."""
    u = mp.mpf("0.01")
    while u < 1e7:
        if abs(f(u)) < start * mp.exp(-1):
            return float(u)
        u *= 1.25
    return 1.0


# ---------------------------------------------------------------- reference tables

COLUMNS = ["S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho", "price", "price_uncertainty", "implied_vol"]


def reference_row(row):
    """(price, price_uncertainty, implied_vol) of one call row = (S, K, T, r, v0, theta, kappa, sigma, rho).

    price is the mpmath price (heston_call_probabilities, 30 digits and more) rounded to
    the nearest double. price_uncertainty bounds |price - true price|: the difference of
    the two methods (in practice the long double one's rounding, the larger error) plus
    the rounding of the mpmath price to the double written. implied_vol is the
    Black–Scholes volatility of the mpmath price, inverted at 40 digits.
    """
    lewis = heston_call_lewis(*row)
    exact = heston_call_probabilities(*row)
    with mp.workdps(50):
        exact = mp.mpf(exact)
        price = float(exact)
        spread = abs(mp.mpf(str(lewis)) - exact) + abs(mp.mpf(price) - exact)
        vol = implied_vol(*row[:4], exact)
        if vol is None:
            raise ValueError(f"no Black–Scholes volatility fits the price {price!r} of {row}")
        return price, float(spread), float(vol)


def write_table(path, rows, processes=2):
    """Prices every row (at most `processes` at once) and writes the CSV, 17 significant digits."""
    import multiprocessing
    import sys
    import time

    started = time.time()
    with multiprocessing.Pool(processes) as pool:
        results = []
        for i, result in enumerate(pool.imap(reference_row, rows)):
            results.append(result)
            print(f"\r{i + 1}/{len(rows)} rows, {time.time() - started:.0f} s", end="", file=sys.stderr)
    print(file=sys.stderr)
    with open(path, "w") as f:
        f.write(",".join(COLUMNS) + "\n")
        for row, result in zip(rows, results):
            f.write(",".join("%.17g" % v for v in tuple(row) + result) + "\n")
    return time.time() - started


def read_table(path):
    """The rows of a reference table as dicts of floats."""
    import csv

    with open(path) as f:
        return [{k: float(v) for k, v in r.items()} for r in csv.DictReader(f)]


if __name__ == "__main__":
    rows = [
        (100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.3, -0.7),
        (100, 110, 0.1, 0.0, 0.01, 0.09, 0.5, 1.0, -0.9),
        (100, 130, 0.1, 0.0, 0.01, 0.09, 0.5, 1.0, -0.9),
        (100, 100, 1, 0.05, 0.04, 0.04, 1.5, 1e-6, -0.7),
        (100, 100, 1, 0.05, 0.04, 0.04, 1.5, 0.0, -0.7),
    ]
    for row in rows:
        a = heston_call_lewis(*row)
        b = heston_call_probabilities(*row)
        print(row, mp.nstr(mp.mpf(str(a)), 20), mp.nstr(b, 20), float(abs(mp.mpf(str(a)) - b)))
