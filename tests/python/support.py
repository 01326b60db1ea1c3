# SPDX-License-Identifier: Apache-2.0
"""What the Python tests share: the C library opened on its own, bit comparison, the
optional modules, and the independent reference values.

The library is opened here through a ctypes handle of the tests' own, with prototypes
declared here, so that an expected value is the C function's result and does not pass
through eurocall.raw.
"""
import csv
import ctypes
import importlib
import math
import os
import struct
import sys
import unittest

import eurocall

# Number of double arguments of each export.
ARITY = {
    "BSCall": 5, "BSVol": 5,
    "HestonCall_exact": 9, "HestonCall_fast": 9, "HestonVol_exact": 9, "HestonVol_fast": 9,
    "RealIntegrand_j0": 8, "RealIntegrand_j1": 8, "theIntegrand": 8,
}

HESTON_EXPORTS = [name for name in ARITY if not name.startswith("BS")]

LIBRARY_PATH = os.environ.get("EUROCALL_LIBRARY") or eurocall.library_path()


class _Library:
    def __init__(self, path):
        self._handle = ctypes.CDLL(path)

    def has(self, name):
        return hasattr(self._handle, name)

    def __getattr__(self, name):
        function = getattr(self._handle, name)
        function.argtypes = [ctypes.c_double] * ARITY[name]
        function.restype = ctypes.c_double
        return function


C = _Library(LIBRARY_PATH)


def needs(*exports):
    """Skip a test or class until the library defines every export it calls."""
    missing = [name for name in exports if not C.has(name)]
    return unittest.skipIf(missing, "the library does not export %s yet" % ", ".join(missing))


needs_heston = needs(*HESTON_EXPORTS)


def require(test, *exports):
    """Skip the running test (or subtest) until the library defines the exports."""
    missing = [name for name in exports if not C.has(name)]
    if missing:
        test.skipTest("the library does not export %s yet" % ", ".join(missing))


def bits(value):
    """The double's bit pattern: equal bits mean the same double, NaN payload and sign of zero included."""
    return struct.pack("<d", value)


class BitsMixin:
    def assertSameDouble(self, actual, expected, msg=None):
        self.assertIsInstance(actual, float, msg)
        if bits(actual) != bits(expected) and not (math.isnan(actual) and math.isnan(expected)):
            self.fail("%r != %r (%s)%s" % (actual, expected, actual.hex(), "" if msg is None else ": %s" % (msg,)))


def optional(module, variable):
    """The module, imported; or a skip where it cannot be, a failure where the variable is set.

    The optional modules (NumPy, pandas, Dask) are skipped where they are missing, but CI
    sets EUROCALL_REQUIRE_NUMPY, EUROCALL_REQUIRE_PANDAS and EUROCALL_REQUIRE_DASK so
    that a missing one fails instead of passing as skipped.
    """
    try:
        return importlib.import_module(module)
    except ImportError:
        if os.environ.get(variable):
            raise AssertionError("%s is set but %s cannot be imported by %s" % (variable, module, sys.executable))
        raise unittest.SkipTest("%s is not installed for %s" % (module, sys.executable))


REFERENCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "option_references.csv")


def option_references(model):
    """The reference options of make_option_references.py for a model ("black-scholes" or
    "heston"): a list of (arguments, {quantity: value}), arguments with kind and q."""
    cases = {}
    with open(REFERENCES, newline="") as table:
        for row in csv.DictReader(table):
            if row["model"] != model:
                continue
            names = ("S", "K", "T", "r", "q", "vol") if model == "black-scholes" else (
                "S", "K", "T", "r", "q", "v0", "theta", "kappa", "sigma", "rho")
            arguments = dict(kind=row["kind"], **{n: float(row[n]) for n in names})
            key = tuple(sorted(arguments.items()))
            cases.setdefault(key, (arguments, {}))[1][row["quantity"]] = float(row["value"])
    return list(cases.values())
