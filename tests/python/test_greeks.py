# SPDX-License-Identifier: Apache-2.0
"""Greeks against values computed without the package (option_references.csv, written by
make_option_references.py): Black-Scholes against mpmath's derivatives of the closed
forms, Heston against high-precision differences of an independent Heston price."""
import math
import unittest
import warnings

import eurocall
from support import option_references

BS_GREEKS = ("delta", "gamma", "vega", "theta", "rho")
HESTON_GREEKS = ("delta", "gamma", "vega_v0", "vega_parallel", "theta", "rho")


def scale(name, arguments):
    """The size against which a Greek's error is measured: its natural unit for the
    option, so that a Greek near 0 (a far out-of-the-money delta) is not judged
    relative to itself. S and the spread s = sqrt(variance T) of the log price set it."""
    S, T = arguments["S"], arguments["T"]
    variance = arguments["vol"] ** 2 if "vol" in arguments else max(arguments["v0"], arguments["theta"])
    spread = math.sqrt(variance * T)
    return {
        "delta": 1.0, "gamma": 1 / (S * spread), "vega": S * math.sqrt(T),
        "vega_v0": S * T / spread, "vega_parallel": S * T / spread,
        "theta": S * spread / T, "rho": S * T,
    }[name]


class GreekTestCase(unittest.TestCase):
    def assertGreeksNear(self, greeks, expected, arguments, tolerances):
        for name, tolerance in tolerances.items():
            error = abs(greeks[name] - expected[name]) / scale(name, arguments)
            self.assertLessEqual(error, tolerance, "%s: %r against %r" % (name, greeks[name], expected[name]))


class BlackScholes(GreekTestCase):
    def test_against_forty_digit_derivatives(self):
        # Closed forms evaluated in doubles: a few units in the last place of each
        # Greek's scale (measured: 4.4e-16 at most), for calls and puts with and
        # without a dividend yield.
        tolerances = dict.fromkeys(BS_GREEKS, 4e-15)
        for arguments, expected in option_references("black-scholes"):
            with self.subTest(**arguments):
                self.assertGreeksNear(eurocall.bs_greeks(**arguments), expected, arguments, tolerances)

    def test_elements_of_a_vectorised_call_are_the_scalar_calls(self):
        cases = [arguments for arguments, _ in option_references("black-scholes")]
        columns = {name: [case[name] for case in cases] for name in cases[0]}
        greeks = eurocall.bs_greeks(**columns)
        for i, case in enumerate(cases):
            one = eurocall.bs_greeks(**case)
            self.assertEqual([greeks[name][i] for name in BS_GREEKS], [one[name] for name in BS_GREEKS])

    def test_no_time_or_no_volatility_is_outside_the_greeks_domain(self):
        for name in ("T", "vol"):
            with self.subTest(name):
                arguments = dict(dict(S=100, K=100, T=1, r=0.05, vol=0.2), **{name: 0.0})
                with self.assertRaises(eurocall.DomainError) as caught:
                    eurocall.bs_greeks(errors="raise", **arguments)
                self.assertIn("%s = 0.0 is outside the Greeks' domain (%s finite and > 0)" % (name, name),
                              str(caught.exception))
                self.assertTrue(all(math.isnan(v) for v in eurocall.bs_greeks(errors="nan", **arguments).values()))


class Heston(GreekTestCase):
    # Measured on these rows (largest error over them, in each Greek's scale): delta
    # 7.5e-9, gamma 1.3e-7, vega_v0 3.1e-9, vega_parallel 2.2e-8, theta 9.8e-9, rho
    # 8.6e-9; with room for the exact price's noise, which moves with the platform's
    # last bits.
    TOLERANCES = dict(delta=1e-7, gamma=1e-6, vega_v0=1e-7, vega_parallel=2e-7, theta=1e-7, rho=1e-7)

    def cases(self, deterministic):
        return [(a, e) for a, e in option_references("heston") if (a["sigma"] == 0) == deterministic]

    def test_against_high_precision_differences_of_an_independent_price(self):
        for arguments, expected in self.cases(deterministic=False):
            with self.subTest(**arguments):
                greeks = eurocall.heston_greeks(**arguments)
                self.assertEqual(sorted(greeks), sorted(HESTON_GREEKS))
                self.assertGreeksNear(greeks, expected, arguments, self.TOLERANCES)

    def test_no_vol_of_vol_is_black_scholes_of_the_integrated_variance(self):
        # sigma = 0: deterministic variance, where the references are derivatives of the
        # Black-Scholes price of the integrated variance.
        for arguments, expected in self.cases(deterministic=True):
            with self.subTest(**arguments):
                self.assertGreeksNear(eurocall.heston_greeks(**arguments), expected, arguments, self.TOLERANCES)

    def test_threads_and_vectors_give_the_scalar_calls_bit_for_bit(self):
        cases = [arguments for arguments, _ in self.cases(deterministic=False)]
        columns = {name: [case[name] for case in cases] for name in cases[0]}
        together = eurocall.heston_greeks(method="fast", workers=3, **columns)
        for i, case in enumerate(cases):
            one = eurocall.heston_greeks(method="fast", **case)
            self.assertEqual([together[name][i] for name in HESTON_GREEKS], [one[name] for name in HESTON_GREEKS])

    def test_no_time_is_outside_the_greeks_domain(self):
        arguments = dict(S=100, K=100, T=0, r=0.05, v0=0.04, theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7)
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            greeks = eurocall.heston_greeks(**arguments)
        self.assertTrue(all(math.isnan(v) for v in greeks.values()))
        self.assertIn("T = 0.0 is outside the Greeks' domain", str(caught[0].message))


if __name__ == "__main__":
    unittest.main()
