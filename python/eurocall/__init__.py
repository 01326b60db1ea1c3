"""European call options under Black-Scholes and Heston, from the eurocall library.

Keyword functions (every argument by name; scalars, lists or NumPy arrays):

    bs_call(S, K, T, r, vol)                       Black-Scholes price
    bs_vol(S, K, T, r, price, errors=)             Black-Scholes implied volatility
    heston_call(S, K, T, r, v0, theta, kappa, sigma, rho, method="exact"|"fast")
    heston_vol(..., method=, errors=)              implied volatility of the Heston price
    heston_integrand(x, T, v0, theta, kappa, sigma, rho, phi, part="combined"|"j0"|"j1")

errors="raw" keeps the library's sentinels (0, 2, 999), "nan" turns them into NaN and
"raise" into a VolatilityError (a ValueError); the docstrings of bs_vol and heston_vol
list the cases. workers=N spreads a vectorised call over N threads, with results bit
for bit those of the scalar calls.

eurocall.raw has the nine C functions themselves, positional and unchanged.

The shared library is found through EUROCALL_LIBRARY, next to this package, in the
build tree of a source checkout, or by the system loader, and loaded on first use.
"""
from . import raw
from ._functions import VolatilityError, bs_call, bs_vol, heston_call, heston_integrand, heston_vol
from ._loader import LibraryNotFoundError
from .calibration import CalibrationResult, calibrate_heston
from .raw import MissingExportError, library_path

__version__ = "1.0.0"

# Shown as eurocall.<name> in tracebacks, where a caller catches them.
VolatilityError.__module__ = LibraryNotFoundError.__module__ = __name__

__all__ = [
    "bs_call", "bs_vol", "heston_call", "heston_vol", "heston_integrand",
    "VolatilityError", "LibraryNotFoundError", "MissingExportError", "library_path", "raw",
]
