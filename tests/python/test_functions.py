# SPDX-License-Identifier: Apache-2.0
"""Scalar calls: the raw bindings and the keyword functions against the C functions,
keyword handling, and what errors= makes of each volatility sentinel."""
import ctypes
import math
import pickle
import unittest
import warnings
from unittest import mock

import eurocall
from eurocall import _elementwise, raw
from support import C, BitsMixin, bits, needs, require

MARKET = dict(S=100, K=100, T=1, r=0.05)
# The typical request, and a second parameter set with v0 != theta so that a swap of the
# two changes every result.
TYPICAL = dict(MARKET, v0=0.04, theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7)
SKEWED = dict(MARKET, v0=0.09, theta=0.04, kappa=2, sigma=0.6, rho=0.3)
INTEGRAND = dict(x=-0.2, T=0.5, v0=0.09, theta=0.04, kappa=2, sigma=0.6, rho=0.3, phi=0.75)


def c_order(kwargs, *names):
    return tuple(float(kwargs[n]) for n in names)


HESTON_ORDER = ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho")


class RawBindings(BitsMixin, unittest.TestCase):
    # One argument list per export, in its C order.
    ARGUMENTS = {
        "BSCall": (100, 95, 0.75, 0.02, 0.3),
        "BSVol": (100, 95, 0.75, 0.02, 12.5),
        "HestonCall_exact": c_order(SKEWED, *HESTON_ORDER),
        "HestonCall_fast": c_order(SKEWED, *HESTON_ORDER),
        "HestonVol_exact": c_order(SKEWED, *HESTON_ORDER),
        "HestonVol_fast": c_order(SKEWED, *HESTON_ORDER),
        "RealIntegrand_j0": (-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75),
        "RealIntegrand_j1": (-0.2, 0.5, 0.04, 0.09, 2, 0.6, 0.3, 0.75),
        "theIntegrand": (-0.2, 0.5, 0.09, 0.04, 2, 0.6, 0.3, 0.75),
    }

    def test_every_export_is_the_c_function(self):
        self.assertEqual(sorted(raw.__all__), sorted(self.ARGUMENTS))
        for name, args in self.ARGUMENTS.items():
            with self.subTest(name):
                require(self, name)
                function = getattr(raw, name)
                self.assertEqual(function.argtypes, [ctypes.c_double] * len(args))
                self.assertIs(function.restype, ctypes.c_double)
                self.assertSameDouble(function(*args), getattr(C, name)(*args))
                with self.assertRaises(TypeError):
                    function(*args[:-1])

    def test_worked_values(self):
        self.assertSameDouble(raw.BSCall(100, 100, 1, 0.05, 0.2), 10.450583572185558)
        self.assertSameDouble(raw.BSVol(100, 100, 1, 0.05, 10.450583572185558), 0.20000000000001211)

    def test_unknown_name(self):
        with self.assertRaises(AttributeError):
            raw.BSPut  # noqa: B018


class KeywordFunctions(BitsMixin, unittest.TestCase):
    def test_black_scholes_worked_values(self):
        # S = K = 100, T = 1, r = 0.05: the price at vol 0.2, its inverse, and the inverse of 20.
        rows = [
            (eurocall.bs_call, dict(MARKET, vol=0.2), 10.450583572185558),
            (eurocall.bs_vol, dict(MARKET, price=10.450583572185558), 0.20000000000001211),
            (eurocall.bs_vol, dict(MARKET, price=20), 0.4523403603789396),
        ]
        for function, kwargs, expected in rows:
            with self.subTest(function=function.__name__, **kwargs):
                self.assertSameDouble(function(**kwargs), expected)

    def test_heston_against_c_and_reference_values(self):
        # Reference prices and volatilities of an independent high-precision evaluation;
        # the tolerances are far below what a swapped or misplaced argument changes.
        rows = [
            (dict(TYPICAL), "HestonCall", 10.361869020966109, 1e-8),
            (dict(SKEWED), "HestonCall", 11.573825833253203, 1e-8),
            (dict(TYPICAL), "HestonVol", 0.19763504898137924, 1e-7),
            (dict(SKEWED), "HestonVol", 0.22983606237895543, 1e-7),
        ]
        functions = {"HestonCall": eurocall.heston_call, "HestonVol": eurocall.heston_vol}
        for kwargs, family, reference, tolerance in rows:
            for method in ("exact", "fast"):
                with self.subTest(family=family, method=method, v0=kwargs["v0"]):
                    require(self, "%s_%s" % (family, method))
                    value = functions[family](method=method, **kwargs)
                    self.assertSameDouble(value, getattr(C, "%s_%s" % (family, method))(*c_order(kwargs, *HESTON_ORDER)))
                    self.assertLess(abs(value - reference), tolerance)
        with self.subTest("exact by default"):
            require(self, "HestonCall_exact")
            self.assertSameDouble(eurocall.heston_call(**TYPICAL), C.HestonCall_exact(*c_order(TYPICAL, *HESTON_ORDER)))

    @needs("theIntegrand", "RealIntegrand_j0", "RealIntegrand_j1")
    def test_integrand_parts_get_theta_and_v0_in_their_own_order(self):
        x, T, kappa, sigma, rho, phi = -0.2, 0.5, 2.0, 0.6, 0.3, 0.75
        v0, theta = INTEGRAND["v0"], INTEGRAND["theta"]
        combined = eurocall.heston_integrand(**INTEGRAND)
        j0 = eurocall.heston_integrand(part="j0", **INTEGRAND)
        j1 = eurocall.heston_integrand(part="j1", **INTEGRAND)
        self.assertSameDouble(combined, C.theIntegrand(x, T, v0, theta, kappa, sigma, rho, phi))
        self.assertSameDouble(j0, C.RealIntegrand_j0(x, T, theta, v0, kappa, sigma, rho, phi))
        self.assertSameDouble(j1, C.RealIntegrand_j1(x, T, theta, v0, kappa, sigma, rho, phi))
        self.assertSameDouble(eurocall.heston_integrand(part="combined", **INTEGRAND), combined)
        # The worked value, given to 10 significant digits.
        self.assertLess(abs(combined - 0.06819789125), 5e-12)
        # The combination e^x j1 - j0, and a fixture in which a swap would show.
        self.assertTrue(math.isclose(math.exp(x) * j1 - j0, combined, rel_tol=1e-14))
        self.assertNotEqual(j0, C.RealIntegrand_j0(x, T, v0, theta, kappa, sigma, rho, phi))


def without(kwargs, *names):
    return {k: v for k, v in kwargs.items() if k not in names}


class Keywords(unittest.TestCase):
    def test_wrong_or_missing_keywords_and_positions_are_type_errors(self):
        calls = [
            ("positional", lambda: eurocall.bs_call(100, 100, 1, 0.05, 0.2), "positional"),
            ("vol for a Heston price", lambda: eurocall.heston_call(vol=0.2, **TYPICAL), "vol"),
            ("sigma for vol", lambda: eurocall.bs_call(sigma=0.2, **MARKET), "sigma"),
            ("missing rho", lambda: eurocall.heston_vol(**without(SKEWED, "rho")), "rho"),
            ("S for x", lambda: eurocall.heston_integrand(S=100, **without(INTEGRAND, "x")), "S"),
            ("case of a name", lambda: eurocall.bs_vol(s=100, K=100, T=1, r=0.05, price=10), "s"),
        ]
        for label, call, word in calls:
            with self.subTest(label):
                with self.assertRaises(TypeError) as caught:
                    call()
                self.assertIn(word, str(caught.exception))

    def test_choices_and_values_are_checked(self):
        calls = [
            (lambda: eurocall.heston_call(method="slow", **TYPICAL), ValueError, "'exact', 'fast'"),
            (lambda: eurocall.heston_vol(errors="ignore", **TYPICAL), ValueError, "'warn', 'nan', 'raise', 'raw'"),
            (lambda: eurocall.heston_integrand(part="j2", **INTEGRAND), ValueError, "'combined', 'j0', 'j1'"),
            (lambda: eurocall.bs_call(workers=0, vol=0.2, **MARKET), ValueError, "workers"),
            (lambda: eurocall.bs_call(workers=2.0, vol=0.2, **MARKET), ValueError, "workers"),
            (lambda: eurocall.bs_call(vol="0.2", **MARKET), TypeError, "vol"),
        ]
        for call, error, words in calls:
            with self.subTest(words):
                with self.assertRaises(error) as caught:
                    call()
                self.assertIn(words, str(caught.exception))


def at_vol_2(kwargs):
    return C.BSCall(kwargs["S"], kwargs["K"], kwargs["T"], kwargs["r"], 2.0)


class Sentinels(BitsMixin, unittest.TestCase):
    def check_modes(self, function, kwargs, raw_value, case):
        """raw keeps the value; warn, nan and raise act on the flagged cases only."""
        self.assertSameDouble(function(errors="raw", **kwargs), raw_value)
        self.assertSameDouble(function(errors="nan", **kwargs), math.nan if case else raw_value)
        with warnings.catch_warnings(record=True) as caught_warnings:
            warnings.simplefilter("always")
            self.assertSameDouble(function(**kwargs), math.nan if case else raw_value)  # warn, the default
        self.assertEqual([w.category for w in caught_warnings], [eurocall.OptionValueWarning] if case else [])
        if case is None:
            self.assertSameDouble(function(errors="raise", **kwargs), raw_value)
            return
        self.assertIn(case, str(caught_warnings[0].message))
        with self.assertRaises(ValueError) as caught:
            function(errors="raise", **kwargs)
        self.assertIsInstance(caught.exception, eurocall.VolatilityError)
        self.assertIsInstance(caught.exception, eurocall.OptionValueError)
        self.assertEqual((caught.exception.case, caught.exception.value, caught.exception.index), (case, raw_value, None))
        self.assertIn(case, str(caught.exception))

    def test_bs_vol(self):
        # S = K = 100, T = 1, r = 0.05: S - K e^(-rT) = 4.877057549928594 and BSCall at
        # vol 2 is 69.05746979565662; K = 101: BSCall at 0.001 is 3.925828125427884.
        # K = 200: BSCall at 0.001 is 0, so a volatility is resolved once its price
        # exceeds 1e-12 S = 1e-10.
        rows = [
            (dict(MARKET, price=0), 0.0, "rejected"),  # in the money, below S - K e^(-rT)
            (dict(MARKET, price=100.0000001), 0.0, "rejected"),  # above S
            (dict(MARKET, price=80), 2.0, "not enclosed"),  # above BSCall at 2
            (dict(MARKET, K=101, price=3), 2.0, "not enclosed"),  # below BSCall at 0.001
            (dict(MARKET, price=at_vol_2(MARKET)), 2.0, None),  # f(2) = 0: a genuine 2
            (dict(MARKET, price=20), 0.4523403603789396, None),
            (dict(MARKET, K=200, price=3e-12), C.BSVol(100, 200, 1, 0.05, 3e-12), "unresolved"),
            (dict(MARKET, K=200, price=1e-9), C.BSVol(100, 200, 1, 0.05, 1e-9), None),
        ]
        for kwargs, raw_value, case in rows:
            with self.subTest(**kwargs):
                self.assertSameDouble(C.BSVol(*c_order(kwargs, "S", "K", "T", "r", "price")), raw_value)
                self.check_modes(eurocall.bs_vol, kwargs, raw_value, case)

    def test_rejections_name_the_failed_check(self):
        rows = [
            (dict(MARKET, K=200, price=1e-16), "within 1e-15"),
            (dict(MARKET, price=100.0000001), "above S"),
            (dict(MARKET, price=4.877057), "in the money"),
        ]
        for kwargs, words in rows:
            with self.subTest(**kwargs):
                with self.assertRaises(eurocall.VolatilityError) as caught:
                    eurocall.bs_vol(errors="raise", **kwargs)
                self.assertIn(words, str(caught.exception))

    def test_no_convergence(self):
        # No BSVol input is known to pass the cap; the library's 999 is stood in for.
        with mock.patch.object(raw, "BSVol", lambda *args: 999.0):
            self.check_modes(eurocall.bs_vol, dict(MARKET, price=20), 999.0, "no convergence")
        for method, cap in (("exact", "200"), ("fast", "100")):
            with mock.patch.object(raw, "HestonVol_" + method, lambda *args: 999.0, create=True):
                self.check_modes(lambda **kw: eurocall.heston_vol(method=method, **kw), TYPICAL, 999.0, "no convergence")
                with self.assertRaises(eurocall.VolatilityError) as caught:
                    eurocall.heston_vol(method=method, errors="raise", **TYPICAL)
                self.assertIn(cap, str(caught.exception))

    def test_heston_genuine_2_is_told_from_a_miss_by_the_heston_price(self):
        # The wrapper decides a 2 by the price the search inverted: here Heston prices that
        # stand at BSCall's value at vol 2 (enclosed) and just above it (not enclosed).
        for method in ("exact", "fast"):
            for price, case in ((at_vol_2(TYPICAL), None), (at_vol_2(TYPICAL) + 1e-9, "not enclosed")):
                with self.subTest(method=method, price=price), \
                        mock.patch.object(raw, "HestonVol_" + method, lambda *args: 2.0, create=True), \
                        mock.patch.object(raw, "HestonCall_" + method, lambda *args, p=price: p, create=True):
                    self.check_modes(lambda **kw: eurocall.heston_vol(method=method, **kw), TYPICAL, 2.0, case)

    def test_heston_vol(self):
        both = ("exact", "fast")
        # The exact price of this far out-of-the-money call (truly about 1e-8) comes out
        # as 0, and its volatility as the bracket's lower end; the fast price is 2e-8.
        far = dict(S=100, K=130, T=0.05, r=0.05, v0=0.04, theta=0.04, kappa=1.5, sigma=0.5, rho=-0.7)
        rows = [
            (dict(TYPICAL), both, None),
            (dict(TYPICAL, v0=9, theta=9), both, "not enclosed"),  # about 300 %: above BSCall at 2
            (far, ("exact",), "unresolved"),
            (far, ("fast",), None),
        ]
        for kwargs, methods, case in rows:
            for method in methods:
                with self.subTest(method=method, **kwargs):
                    require(self, "HestonVol_" + method, "HestonCall_" + method)
                    args = c_order(kwargs, *HESTON_ORDER)
                    raw_value = getattr(C, "HestonVol_" + method)(*args)
                    if case == "not enclosed":
                        self.assertSameDouble(raw_value, 2.0)
                        self.assertFalse(getattr(C, "HestonCall_" + method)(*args) <= at_vol_2(kwargs))
                    if case == "unresolved":
                        self.assertSameDouble(raw_value, 0.001)
                    self.check_modes(lambda **kw: eurocall.heston_vol(method=method, **kw), kwargs, raw_value, case)

    def test_errors_pickle_whole(self):
        # As a Dask worker's error reaches the client.
        error = eurocall.VolatilityDomainError("message", "bs_vol", 3, -1.0, "price", "outside the domain")
        copy = pickle.loads(pickle.dumps(error))
        self.assertIs(type(copy), eurocall.VolatilityDomainError)
        self.assertEqual((str(copy), copy.function, copy.index, copy.value, copy.argument, copy.case),
                         ("message", "bs_vol", 3, -1.0, "price", "outside the domain"))


class Domain(BitsMixin, unittest.TestCase):
    """Every argument outside the model's domain, per function: named with its value,
    never passed to the library (except with errors="raw")."""

    # (function, arguments inside the domain, export and its argument order)
    FUNCTIONS = {
        "bs_call": (eurocall.bs_call, dict(MARKET, vol=0.2)),
        "bs_put": (eurocall.bs_put, dict(MARKET, vol=0.2)),
        "bs_vol": (eurocall.bs_vol, dict(MARKET, price=10)),
        "heston_call": (eurocall.heston_call, dict(TYPICAL)),
        "heston_put": (eurocall.heston_put, dict(TYPICAL)),
        "heston_vol": (eurocall.heston_vol, dict(TYPICAL)),
        "heston_integrand": (eurocall.heston_integrand, dict(INTEGRAND)),
    }
    # (argument, a value outside, the domain as the message says it)
    OUTSIDE = [
        ("S", -100.0, "S finite and > 0"), ("S", 0.0, "S finite and > 0"), ("K", math.inf, "K finite and > 0"),
        ("T", -1.0, "T finite and >= 0"), ("r", math.nan, "r finite"), ("q", -math.inf, "q finite"),
        ("vol", -0.2, "vol finite and >= 0"), ("price", -1.0, "price finite and >= 0"),
        ("price", math.nan, "price finite and >= 0"),
        ("v0", math.nan, "v0 finite and >= 0"), ("theta", -0.04, "theta finite and >= 0"),
        ("kappa", -1.5, "kappa finite and >= 0"), ("sigma", -0.3, "sigma finite and >= 0"),
        ("rho", 1.5, "rho in [-1, 1]"), ("rho", -1.0000001, "rho in [-1, 1]"), ("rho", math.nan, "rho in [-1, 1]"),
        ("x", math.inf, "x finite"), ("phi", math.nan, "phi finite"),
    ]

    def test_outside_the_domain_is_named_and_never_computed(self):
        reached = []
        fill = _elementwise._fill

        def spy(kernel, columns, out, workers):
            reached.extend([kernel] * len(out))
            fill(kernel, columns, out, workers)

        for label, (function, inside) in self.FUNCTIONS.items():
            for name, value, says in self.OUTSIDE:
                if name not in inside and not (name == "q" and label != "heston_integrand"):
                    continue
                kwargs = dict(inside, **{name: value})
                with self.subTest(function=label, argument=name, value=value):
                    error = eurocall.VolatilityDomainError if label.endswith("_vol") else eurocall.DomainError
                    with mock.patch.object(_elementwise, "_fill", spy):
                        with self.assertRaises(error) as caught:
                            function(errors="raise", **kwargs)
                        self.assertSameDouble(function(errors="nan", **kwargs), math.nan)
                    self.assertEqual(reached, [])
                    expected = "%s: %s = %r is outside the model's domain (%s)" % (label, name, value, says)
                    self.assertEqual(str(caught.exception), expected)
                    self.assertEqual((caught.exception.argument, caught.exception.index), (name, None))
                    self.assertSameDouble(caught.exception.value, value)

    def test_edges_of_the_domain_are_inside(self):
        rows = [
            (eurocall.bs_call, dict(MARKET, vol=0.0)), (eurocall.bs_call, dict(MARKET, T=0.0, vol=0.2)),
            (eurocall.heston_call, dict(TYPICAL, rho=-1.0)), (eurocall.heston_call, dict(TYPICAL, rho=1.0)),
            (eurocall.heston_call, dict(TYPICAL, v0=0.0, kappa=0.0)), (eurocall.bs_vol, dict(MARKET, K=200, price=0.0)),
        ]
        for function, kwargs in rows:
            with self.subTest(function=function.__name__, **kwargs):
                with warnings.catch_warnings():
                    warnings.simplefilter("error", eurocall.OptionValueWarning)
                    try:
                        function(errors="raise", **kwargs)
                    except eurocall.DomainError as error:
                        self.fail(error)
                    except eurocall.OptionValueError:
                        pass  # inside the domain, but no volatility: not what is tested here

    def test_raw_hands_anything_to_the_library(self):
        # The numbers of the report that asked for the domain: a negative volatility
        # gives a negative price, a correlation of 1.5 an exact price of some 3000.
        rows = [
            (eurocall.bs_call, dict(MARKET, vol=-0.2), C.BSCall(100, 100, 1, 0.05, -0.2)),
            (eurocall.bs_call, dict(MARKET, S=-100, vol=0.2), C.BSCall(-100, 100, 1, 0.05, 0.2)),
            (eurocall.heston_call, dict(TYPICAL, rho=1.5), C.HestonCall_exact(*c_order(dict(TYPICAL, rho=1.5), *HESTON_ORDER))),
            (eurocall.heston_vol, dict(TYPICAL, v0=math.nan), C.HestonVol_exact(*c_order(dict(TYPICAL, v0=math.nan), *HESTON_ORDER))),
        ]
        for function, kwargs, expected in rows:
            with self.subTest(function=function.__name__, **kwargs):
                self.assertSameDouble(function(errors="raw", **kwargs), expected)
        self.assertLess(rows[0][2], 0)


class ErrorModes(BitsMixin, unittest.TestCase):
    def test_warn_is_the_default_and_counts_the_flagged_elements(self):
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            prices = eurocall.bs_call(S=100, K=[90, 100, 110], T=1, r=0.05, vol=[0.2, -0.2, math.nan])
        self.assertSameDouble(prices[0], C.BSCall(100, 90, 1, 0.05, 0.2))
        self.assertEqual([bits(p) for p in prices[1:]], [bits(math.nan)] * 2)
        self.assertEqual(len(caught), 1)
        self.assertIs(caught[0].category, eurocall.OptionValueWarning)
        self.assertEqual(str(caught[0].message), "bs_call: 2 of 3 elements flagged, their results are NaN; the first "
                         "at index 1: vol = -0.2 is outside the model's domain (vol finite and >= 0)")
        # The warning points at the caller's line, not into the package.
        self.assertEqual(caught[0].filename, __file__)

    def test_raise_names_the_first_flagged_element(self):
        with self.assertRaises(eurocall.DomainError) as caught:
            eurocall.heston_call(K=[100, 110, 120], rho=[-0.7, 1.5, 2], **without(TYPICAL, "K", "rho"), errors="raise")
        self.assertEqual(str(caught.exception), "heston_call: at index 1, rho = 1.5 is outside the model's domain "
                                                "(rho in [-1, 1])")
        self.assertEqual((caught.exception.index, caught.exception.argument, caught.exception.value), (1, "rho", 1.5))

    def test_a_result_that_is_not_finite_is_flagged(self):
        # Far out of range for a double: the integrand of the strike probability at phi = 0.
        with self.assertRaises(eurocall.ResultError) as caught:
            eurocall.heston_integrand(part="j0", errors="raise", **dict(INTEGRAND, phi=0.0))
        self.assertIn("RealIntegrand_j0 returned", str(caught.exception))
        self.assertEqual(caught.exception.case, "not finite")

    def test_errors_must_be_one_of_the_four(self):
        with self.assertRaises(ValueError) as caught:
            eurocall.bs_call(errors="ignore", vol=0.2, **MARKET)
        self.assertIn("'warn', 'nan', 'raise', 'raw'", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
