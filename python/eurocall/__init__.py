# SPDX-License-Identifier: Apache-2.0
"""European options under Black-Scholes and Heston, from the eurocall library.

Keyword functions (every argument by name; scalars, lists, NumPy arrays or pandas
Series; q= a continuous dividend yield, 0 by default):

    bs_call(S, K, T, r, vol), bs_put(...)            Black-Scholes prices
    bs_vol(S, K, T, r, price, kind="call"|"put")     Black-Scholes implied volatility
    bs_greeks(S, K, T, r, vol, kind=)                delta, gamma, vega, theta, rho (analytic)
    heston_call(S, K, T, r, v0, theta, kappa, sigma, rho, method="exact"|"fast"), heston_put(...)
    heston_vol(..., method=)                         implied volatility of the Heston price
    heston_greeks(..., kind=, method=)               delta, gamma, vegas, theta, rho (differences)
    heston_integrand(x, T, v0, theta, kappa, sigma, rho, phi, part="combined"|"j0"|"j1")
    calibrate_heston(quotes, S, r, q=0)              the Heston parameters fitted to a surface

Every argument is checked against the model's domain element by element, and every
result that is not a trustworthy number (a volatility sentinel or an unresolved one, a
price that is not finite) is flagged. errors= says what the caller sees: "warn" (the
default: NaN where flagged, and one OptionValueWarning with the count), "nan", "raise"
(an OptionValueError: DomainError, ResultError or VolatilityError, naming the argument
or the case, the value and the index) or "raw" (the library's numbers untouched).
workers=N spreads a vectorised call over N threads, with results bit for bit those of
the scalar calls. eurocall.dask does the same on a Dask cluster.

eurocall.raw has the nine C functions themselves, positional and unchanged.

The shared library is found through EUROCALL_LIBRARY, next to this package, in the
build tree of a source checkout, or by the system loader, and loaded on first use;
library_path() is the full path of the file loaded.
"""
from . import raw
from ._errors import (DomainError, OptionValueError, OptionValueWarning, ResultError, VolatilityDomainError,
                      VolatilityError)
from ._functions import bs_call, bs_put, bs_vol, heston_call, heston_integrand, heston_put, heston_vol
from ._greeks import bs_greeks, heston_greeks
from ._loader import LibraryNotFoundError
from .calibration import CalibrationResult, calibrate_heston
from .raw import MissingExportError, library_path

__version__ = "1.1.0"

# Shown as eurocall.<name> in tracebacks, where a caller catches them.
for _class in (OptionValueError, DomainError, ResultError, VolatilityError, VolatilityDomainError,
               OptionValueWarning, LibraryNotFoundError, MissingExportError):
    _class.__module__ = __name__
del _class

__all__ = [
    "bs_call", "bs_put", "bs_vol", "bs_greeks",
    "heston_call", "heston_put", "heston_vol", "heston_greeks", "heston_integrand",
    "OptionValueError", "DomainError", "ResultError", "VolatilityError", "VolatilityDomainError",
    "OptionValueWarning", "LibraryNotFoundError", "MissingExportError", "library_path", "raw",
    "calibrate_heston", "CalibrationResult",
]
