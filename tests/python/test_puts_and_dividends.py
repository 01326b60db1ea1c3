# SPDX-License-Identifier: Apache-2.0
"""Puts and a dividend yield q: against closed forms and an independent Heston price with
the dividend in the rate (option_references.csv), the implied volatility of a put, and q
= 0 giving the call exports' own bits."""
import unittest

import eurocall
from support import C, BitsMixin, option_references

MARKET = dict(S=100, K=100, T=1, r=0.05)
TYPICAL = dict(MARKET, v0=0.04, theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7)
HESTON_ORDER = ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho")


def price_function(model, kind):
    return getattr(eurocall, "%s_%s" % ("bs" if model == "black-scholes" else "heston", kind))


def without_kind(arguments):
    return {k: v for k, v in arguments.items() if k != "kind"}


class Prices(BitsMixin, unittest.TestCase):
    def test_calls_and_puts_with_dividends_against_independent_prices(self):
        # Black-Scholes: the closed forms of the call and of the put (not parity), to a
        # few units in the last place of S (measured: 2e-16 S). Heston: e^(-qT)
        # C(S, K, T, r - q, 0) at 30 digits, to the exact integral's accuracy on these
        # parameters (measured: 1.3e-12 S).
        for model, tolerance in (("black-scholes", 1e-15), ("heston", 1e-11)):
            for arguments, expected in option_references(model):
                if arguments.get("sigma") == 0:
                    continue  # the small vol-of-vol mend's business, not the mapping's
                with self.subTest(model=model, **arguments):
                    function = price_function(model, arguments["kind"])
                    price = function(**without_kind(arguments))
                    self.assertLessEqual(abs(price - expected["price"]), tolerance * arguments["S"])

    def test_without_dividend_a_call_is_the_export_bit_for_bit(self):
        for q in (0, 0.0, -0.0):
            with self.subTest(q=q):
                self.assertSameDouble(eurocall.bs_call(q=q, vol=0.2, **MARKET), C.BSCall(100, 100, 1, 0.05, 0.2))
                self.assertSameDouble(eurocall.bs_vol(q=q, price=12, **MARKET), C.BSVol(100, 100, 1, 0.05, 12))
                args = tuple(float(TYPICAL[n]) for n in HESTON_ORDER)
                for method in ("exact", "fast"):
                    self.assertSameDouble(eurocall.heston_call(q=q, method=method, **TYPICAL),
                                          getattr(C, "HestonCall_" + method)(*args))
                    self.assertSameDouble(eurocall.heston_vol(q=q, method=method, **TYPICAL),
                                          getattr(C, "HestonVol_" + method)(*args))

    def test_the_put_at_the_money(self):
        # K e^(-rT) - S = -4.877057549928594 from the call 10.450583572185558: the put
        # 5.573526022256971 (parity by hand, in doubles: (call - S) + K e^(-rT)).
        self.assertSameDouble(eurocall.bs_put(vol=0.2, **MARKET), 5.573526022256971)


class Volatilities(BitsMixin, unittest.TestCase):
    def test_the_volatility_of_a_put_is_that_of_its_call(self):
        # Prices from the closed forms (option_references.csv): the search recovers the
        # volatility within its tolerance, 1.2e-7 of it (twice that for the rounding of
        # the price). The deep in-the-money call's time value is some 1e-70: its price
        # is its intrinsic value, which BSVol rejects.
        for arguments, expected in option_references("black-scholes"):
            with self.subTest(**arguments):
                quote = dict(without_kind(arguments), price=expected["price"], kind=arguments["kind"])
                del quote["vol"]
                if expected["vega"] < 1e-40:
                    with self.assertRaises(eurocall.VolatilityError) as caught:
                        eurocall.bs_vol(errors="raise", **quote)
                    self.assertEqual(caught.exception.case, "rejected")
                    continue
                vol = eurocall.bs_vol(errors="raise", **quote)
                self.assertLessEqual(abs(vol - arguments["vol"]), 2.4e-7 * arguments["vol"])

    def test_the_put_at_the_money_inverts_to_the_calls_volatility(self):
        # The put 5.573526022256971 is the call 10.450583572185558 by parity, whose
        # volatility BSVol gives as 0.2000000000000121 (the worked example), or, from the
        # call the parity rounds to, its neighbour.
        vol = eurocall.bs_vol(price=5.573526022256971, kind="put", **MARKET)
        self.assertLessEqual(abs(vol - 0.2000000000000121), 1e-16)

    def test_a_heston_volatility_with_a_dividend_inverts_its_own_price(self):
        heston = dict(TYPICAL, K=110, q=0.03)
        price = eurocall.heston_call(**heston)
        vol = eurocall.heston_vol(**heston)
        self.assertLessEqual(abs(eurocall.bs_call(vol=vol, q=0.03, **{k: heston[k] for k in MARKET}) - price), 1e-9)
        put = eurocall.heston_put(**heston)
        self.assertLessEqual(abs(eurocall.bs_vol(price=put, kind="put", q=0.03, **{k: heston[k] for k in MARKET}) - vol),
                             2.4e-7 * vol)

    def test_kind_must_be_call_or_put(self):
        for kind in ("straddle", None, 1):
            with self.subTest(kind=kind):
                with self.assertRaises(ValueError) as caught:
                    eurocall.bs_vol(price=5, kind=kind, **MARKET)
                self.assertIn("kind must be 'call' or 'put'", str(caught.exception))
        with self.assertRaises(ValueError) as caught:
            eurocall.bs_vol(price=[5, 6], kind=["put", "p"], **MARKET)
        self.assertIn("kind[1] must be 'call' or 'put', not 'p'", str(caught.exception))

    def test_a_put_price_outside_the_domain_is_named_as_given(self):
        with self.assertRaises(eurocall.DomainError) as caught:
            eurocall.bs_vol(price=-1.0, kind="put", errors="raise", **MARKET)
        self.assertEqual((caught.exception.argument, caught.exception.value), ("price", -1.0))


if __name__ == "__main__":
    unittest.main()
