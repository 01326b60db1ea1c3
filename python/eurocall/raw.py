# SPDX-License-Identifier: Apache-2.0
"""The nine exports of the shared library, exactly as the C functions behave.

Each attribute is the ctypes function itself, with argtypes and restype declared:
positional doubles in the C order, one double back, sentinels as the library returns
them. Mind the order: RealIntegrand_j0 and RealIntegrand_j1 take theta before v0;
theIntegrand and the Heston prices and volatilities take v0 before theta.

    >>> from eurocall import raw
    >>> raw.BSCall(100, 100, 1, 0.05, 0.2)
    10.450583572185558

The library is loaded, and an export bound, on first access. A library that lacks an
export raises MissingExportError (an AttributeError) naming the function and the file.
Every export is reentrant, and ctypes releases the GIL for the length of each call.
"""
import ctypes

from . import _loader

# Argument names of each export in the C order, in ordinal order.
SIGNATURES = {
    "BSCall": ("S", "K", "T", "r", "vol"),
    "BSVol": ("S", "K", "T", "r", "price"),
    "HestonCall_exact": ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho"),
    "HestonCall_fast": ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho"),
    "HestonVol_exact": ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho"),
    "HestonVol_fast": ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho"),
    "RealIntegrand_j0": ("x", "T", "theta", "v0", "kappa", "sigma", "rho", "phi"),
    "RealIntegrand_j1": ("x", "T", "theta", "v0", "kappa", "sigma", "rho", "phi"),
    "theIntegrand": ("x", "T", "v0", "theta", "kappa", "sigma", "rho", "phi"),
}

__all__ = list(SIGNATURES)


class MissingExportError(AttributeError):
    """The loaded library does not define an export the package needs."""


def _bind(name):
    handle, path = _loader.library()
    try:
        function = getattr(handle, name)
    except AttributeError:
        raise MissingExportError(
            "eurocall: the library %s does not export %s (built from an older source?)" % (path, name)) from None
    function.argtypes = [ctypes.c_double] * len(SIGNATURES[name])
    function.restype = ctypes.c_double
    return function


def __getattr__(name):
    if name not in SIGNATURES:
        raise AttributeError("module %r has no attribute %r" % (__name__, name))
    function = _bind(name)
    globals()[name] = function
    return function


def __dir__():
    return sorted(set(globals()) | set(SIGNATURES))


def library_path():
    """The file (or, when the system loader found it, the name) of the loaded library."""
    return _loader.library()[1]
