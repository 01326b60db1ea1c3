# SPDX-License-Identifier: Apache-2.0
"""What errors= makes of elements that have no trustworthy number.

An element is *flagged* when one of its arguments lies outside the model's domain (it
then never reaches the library) or when the library's result for it is unusable: a
price, Greek or integrand that is not finite, a volatility that is a sentinel or
unresolved. errors= decides what the caller sees:

=========  ==============================================================
"warn"     flagged elements are NaN, and one OptionValueWarning says how many there
           were and why the first was flagged (the default)
"nan"      flagged elements are NaN, silently
"raise"    the first flagged element raises an OptionValueError subclass that names
           the argument or the case, the value and, for arrays, the index
"raw"      no check at all: every element goes to the library and its number comes
           back untouched, sentinels included
=========  ==============================================================

The model's domain, checked element by element:

=================================  ======================
argument                           inside the domain
=================================  ======================
S, K                               finite and > 0
T                                  finite and >= 0
vol, v0, theta, kappa, sigma       finite and >= 0
price                              finite and >= 0
rho                                in [-1, 1]
r, q, x, phi                       finite
=================================  ======================
"""
import math
import os
import sys
import warnings

ERRORS = ("warn", "nan", "raise", "raw")

_PACKAGE = os.path.dirname(os.path.abspath(__file__))

_INF = math.inf

# argument -> (test that holds inside the domain, what the domain is). Each test is
# written so that NaN fails it, and works alike on one float or on a NumPy array.
_POSITIVE = (lambda v: (abs(v) < _INF) & (v > 0), "finite and > 0")
_NON_NEGATIVE = (lambda v: (abs(v) < _INF) & (v >= 0), "finite and >= 0")
_CORRELATION = (lambda v: (v >= -1) & (v <= 1), "in [-1, 1]")
_FINITE = (lambda v: abs(v) < _INF, "finite")
DOMAIN = {
    "S": _POSITIVE, "K": _POSITIVE,
    "T": _NON_NEGATIVE, "vol": _NON_NEGATIVE, "price": _NON_NEGATIVE,
    "v0": _NON_NEGATIVE, "theta": _NON_NEGATIVE, "kappa": _NON_NEGATIVE, "sigma": _NON_NEGATIVE,
    "rho": _CORRELATION,
    "r": _FINITE, "q": _FINITE, "x": _FINITE, "phi": _FINITE,
}

# Derivatives need time and variance to act on: the Greeks' narrower domain.
_GREEK_DOMAIN = {"T": (lambda v: (abs(v) < _INF) & (v > 0), "finite and > 0"), "vol": _POSITIVE}


class OptionValueError(ValueError):
    """An element of a call has no trustworthy value (raised with errors="raise").

    function is the package function called; index the element's position (an int for
    a list, a tuple for a NumPy array, the label for a pandas Series; None for
    scalars); value the offending number (the argument's, or the library's result);
    argument the argument's name where one is to blame, else None; case says what
    happened ("outside the domain", "not finite", or a volatility's case).
    """

    def __init__(self, message, function=None, index=None, value=None, argument=None, case=None):
        ValueError.__init__(self, message)
        self.function = function
        self.index = index
        self.value = value
        self.argument = argument
        self.case = case

    def __reduce__(self):
        # Whole, with its attributes, across processes (a Dask worker's error reaches the client).
        return type(self), (self.args[0], self.function, self.index, self.value, self.argument, self.case)


class DomainError(OptionValueError):
    """An argument lies outside the model's domain; the element never reached the library."""


class ResultError(OptionValueError):
    """The library's price, Greek or integrand for an element inside the domain is not finite."""


class VolatilityError(OptionValueError):
    """An implied volatility is not a volatility: a sentinel of the search, or unresolved.

    case is "rejected" (BSVol returned 0), "not enclosed" (2, and the price lies outside
    what the bracket [0.001, 2] spans), "no convergence" (999) or "unresolved" (no
    volatility in the bracket tells the price from the one at 0.001).
    """


class VolatilityDomainError(DomainError, VolatilityError):
    """An argument of an implied volatility lies outside the model's domain.

    Both a DomainError and a VolatilityError, so that either catches it.
    """


class OptionValueWarning(UserWarning):
    """Elements were flagged and came back as NaN (errors="warn")."""


class Flag:
    """Why one element has no trustworthy value: what the error and the warning say."""

    __slots__ = ("position", "kind", "argument", "value", "case", "detail", "domain")

    def __init__(self, position, kind, value, argument=None, case=None, detail=None, domain="the model's"):
        self.position = position  # in the flattened elements
        self.kind = kind  # the OptionValueError subclass to raise
        self.value = value
        self.argument = argument
        self.case = case
        self.detail = detail
        self.domain = domain

    def describe(self, where):
        if self.argument is not None:
            return "%s%s = %r is outside %s domain (%s %s)" % (
                where, self.argument, self.value, self.domain, self.argument, self.detail)
        return "%s%s" % (where, self.detail)


def domain_flags(columns, names, greeks=False, volatility=False):
    """Flags of the elements with an argument outside the domain, the first such argument each.

    columns maps each name to a sequence of floats, all of one length.
    """
    kind = VolatilityDomainError if volatility else DomainError
    numpy = sys.modules.get("numpy")
    flagged = {}
    for name in names:
        narrower = greeks and _GREEK_DOMAIN.get(name)
        inside, says = narrower or DOMAIN[name]
        domain = "the Greeks'" if narrower else "the model's"
        column = columns[name]
        if numpy is not None and len(column) > 1:
            # The same tests on the whole column at once.
            outside = numpy.flatnonzero(~inside(numpy.frombuffer(column, dtype=numpy.float64))).tolist()
        else:
            outside = [p for p, value in enumerate(column) if not inside(value)]
        for position in outside:
            if position not in flagged:
                flagged[position] = Flag(position, kind, column[position], argument=name, detail=says,
                                         domain=domain)
    return [flagged[p] for p in sorted(flagged)]


def check_choice(name, value, choices):
    if not isinstance(value, str) or value not in choices:
        raise ValueError("%s must be one of %s, not %r" % (name, ", ".join(repr(c) for c in choices), value))
    return value


def _caller_level():
    """The stacklevel of warnings.warn, called here, that names the first frame outside the package."""
    frame, level = sys._getframe(1), 1
    while frame is not None and os.path.dirname(os.path.abspath(frame.f_code.co_filename)) == _PACKAGE:
        frame, level = frame.f_back, level + 1
    return level


def settle(function, flags, outs, errors, locate):
    """Apply errors= to the flagged elements of the results outs (writable columns).

    locate(position) gives the caller's index of an element (None for scalars).
    """
    if not flags:
        return
    first = flags[0]
    index = locate(first.position)
    if errors == "raise":
        where = "" if index is None else "at index %r, " % (index,)
        raise first.kind("%s: %s" % (function, first.describe(where)), function, index, first.value,
                         first.argument, first.case or "outside the domain")
    for out in outs:
        for flag in flags:
            out[flag.position] = math.nan
    if errors == "warn":
        if index is None:
            message = "%s: %s; the result is NaN" % (function, first.describe(""))
        else:
            message = "%s: %d of %d elements flagged, their results are NaN; the first %s" % (
                function, len(flags), len(outs[0]), first.describe("at index %r: " % (index,)))
        warnings.warn(message, OptionValueWarning, stacklevel=_caller_level())
