# SPDX-License-Identifier: Apache-2.0
"""pandas: Series and DataFrame columns in, a Series (or a DataFrame of Greeks) out on
the aligned index, nullable columns with NA, and errors that name the label.

Skipped where pandas is missing, unless EUROCALL_REQUIRE_PANDAS is set (as CI does).
"""
import math
import unittest
import warnings

import eurocall
from support import C, BitsMixin, bits, optional

MARKET = dict(S=100, T=1, r=0.05)
HESTON = dict(v0=0.04, theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7)


class PandasTestCase(BitsMixin, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        global pandas, numpy
        pandas = optional("pandas", "EUROCALL_REQUIRE_PANDAS")
        numpy = optional("numpy", "EUROCALL_REQUIRE_NUMPY")

    def assertSeriesBits(self, actual, expected_values, index, name):
        self.assertIsInstance(actual, pandas.Series)
        self.assertEqual(actual.name, name)
        self.assertEqual(actual.dtype, numpy.float64)
        self.assertTrue(actual.index.equals(index), actual.index)
        self.assertEqual([bits(v) for v in actual], [bits(v) for v in expected_values])


class SeriesInSeriesOut(PandasTestCase):
    def test_columns_of_a_frame_give_a_series_on_its_index_named_after_the_function(self):
        frame = pandas.DataFrame({"K": [90.0, 100.0, 110.0], "T": [0.5, 1, 2], "vol": [0.3, 0.2, 0.25]},
                                 index=pandas.Index(["a", "b", "c"], name="option"))
        prices = eurocall.bs_call(S=100, K=frame.K, T=frame["T"], r=0.05, vol=frame.vol)
        expected = [C.BSCall(100, K, T, 0.05, vol) for K, T, vol in zip(frame.K, frame["T"], frame.vol)]
        self.assertSeriesBits(prices, expected, frame.index, "bs_call")
        # The frame's columns by name, all at once.
        self.assertTrue(eurocall.bs_call(S=100, r=0.05, **frame).equals(prices))
        vols = eurocall.bs_vol(S=100, K=frame.K, T=frame["T"], r=0.05, price=prices)
        self.assertSeriesBits(vols, [C.BSVol(100, K, T, 0.05, p) for K, T, p in zip(frame.K, frame["T"], prices)],
                              frame.index, "bs_vol")

    def test_every_function_answers_a_series_with_a_series(self):
        strikes = pandas.Series([95.0, 105.0], index=[10, 20])
        rows = [
            (eurocall.bs_put, dict(MARKET, K=strikes, vol=0.2)),
            (eurocall.heston_call, dict(MARKET, K=strikes, **HESTON)),
            (eurocall.heston_put, dict(MARKET, K=strikes, method="fast", **HESTON)),
            (eurocall.heston_vol, dict(MARKET, K=strikes, **HESTON)),
            (eurocall.heston_integrand, dict(x=0.1, T=1, phi=strikes / 100, **HESTON)),
        ]
        for function, kwargs in rows:
            with self.subTest(function.__name__):
                result = function(**kwargs)
                self.assertIsInstance(result, pandas.Series)
                self.assertEqual(result.name, function.__name__)
                self.assertEqual(list(result.index), [10, 20])
                self.assertEqual(result.tolist(), [function(**dict(kwargs, **{k: v[i] for k, v in kwargs.items()
                                                                          if isinstance(v, pandas.Series)}))
                                                   for i in (10, 20)])

    def test_series_are_aligned_as_pandas_aligns_them(self):
        strikes = pandas.Series([90.0, 100.0, 110.0], index=["a", "b", "c"])
        vols = pandas.Series([0.25, 0.2], index=["c", "a"])
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            prices = eurocall.bs_call(K=strikes, vol=vols, **MARKET)
        # b has no vol: NaN, flagged like any NaN argument.
        self.assertSeriesBits(prices, [C.BSCall(100, 90, 1, 0.05, 0.2), math.nan, C.BSCall(100, 110, 1, 0.05, 0.25)],
                              pandas.Index(["a", "b", "c"]), "bs_call")
        self.assertIn("at index 'b': vol = nan", str(caught[0].message))

    def test_arrays_and_lists_beside_a_series_go_by_position(self):
        strikes = pandas.Series([90.0, 110.0], index=[7, 3])
        prices = eurocall.bs_call(K=strikes, vol=numpy.array([0.2, 0.3]), S=[100, 101], T=1, r=0.05)
        self.assertSeriesBits(prices, [C.BSCall(100, 90, 1, 0.05, 0.2), C.BSCall(101, 110, 1, 0.05, 0.3)],
                              strikes.index, "bs_call")
        with self.assertRaises(ValueError) as caught:
            eurocall.bs_call(K=strikes, vol=[0.2, 0.3, 0.4], S=100, T=1, r=0.05)
        self.assertIn("vol has shape (3,) and the Series' index has 2 labels", str(caught.exception))

    def test_a_frame_or_text_where_numbers_belong_is_a_type_error(self):
        frame = pandas.DataFrame({"S": [100.0], "K": [100.0], "T": [1.0], "note": ["x"]})
        rows = [
            (dict(S=frame.S, K=frame.K, T=frame.T, r=0.05, vol=0.2), "frame.T is the transpose"),
            (dict(S=frame, K=100, T=1, r=0.05, vol=0.2), "S is a DataFrame"),
            (dict(S=frame.S, K=frame.note, T=1, r=0.05, vol=0.2), "K must hold numbers"),
        ]
        for kwargs, words in rows:
            with self.subTest(words):
                with self.assertRaises(TypeError) as caught:
                    eurocall.bs_call(**kwargs)
                self.assertIn(words, str(caught.exception))


class NullableColumns(PandasTestCase):
    def test_na_becomes_nan_and_is_flagged_by_its_label(self):
        frame = pandas.DataFrame({
            "K": pandas.array([90, None, 110], dtype="Int64"),
            "vol": pandas.array([0.2, 0.25, None], dtype="Float64"),
        }, index=["x", "y", "z"])
        expected = [C.BSCall(100, 90, 1, 0.05, 0.2), math.nan, math.nan]
        self.assertSeriesBits(eurocall.bs_call(errors="nan", **frame, **MARKET), expected, frame.index, "bs_call")
        with self.assertRaises(eurocall.DomainError) as caught:
            eurocall.bs_call(errors="raise", **frame, **MARKET)
        self.assertEqual((caught.exception.index, caught.exception.argument), ("y", "K"))
        self.assertTrue(math.isnan(caught.exception.value))
        self.assertEqual(str(caught.exception),
                         "bs_call: at index 'y', K = nan is outside the model's domain (K finite and > 0)")


    def test_a_pandas_array_or_index_is_an_array(self):
        # Series.array and .values of a nullable column are pandas arrays, not Series:
        # they go as NumPy arrays do, NA as NaN.
        strikes = pandas.array([90, None, 110], dtype="Int64")
        expected = [C.BSCall(100, 90, 1, 0.05, 0.2), math.nan, C.BSCall(100, 110, 1, 0.05, 0.2)]
        for value in (strikes, pandas.Series(strikes).values, pandas.Index([90.0, math.nan, 110.0])):
            with self.subTest(type(value).__name__):
                prices = eurocall.bs_call(K=value, vol=0.2, errors="nan", **MARKET)
                self.assertIsInstance(prices, numpy.ndarray)
                self.assertEqual([bits(v) for v in prices], [bits(v) for v in expected])


class Tables(PandasTestCase):
    def test_greeks_of_series_are_a_frame_on_their_index(self):
        quotes = pandas.DataFrame({"K": [90.0, 110.0], "kind": ["put", "call"]}, index=["p", "c"])
        greeks = eurocall.bs_greeks(K=quotes.K, kind=quotes.kind, vol=0.2, **MARKET)
        self.assertIsInstance(greeks, pandas.DataFrame)
        self.assertEqual(list(greeks.columns), ["delta", "gamma", "vega", "theta", "rho"])
        self.assertTrue(greeks.index.equals(quotes.index))
        for label, K, kind in zip(quotes.index, quotes.K, quotes.kind):
            one = eurocall.bs_greeks(K=K, kind=kind, vol=0.2, **MARKET)
            self.assertEqual(greeks.loc[label].tolist(), [one[name] for name in greeks.columns])
        self.assertLess(greeks.loc["p", "delta"], 0)
        self.assertGreater(greeks.loc["c", "delta"], 0)

    def test_kind_column_prices_puts_and_calls_in_one_call(self):
        quotes = pandas.DataFrame({"K": [90.0, 110.0], "kind": ["put", "CALL"],
                                   "price": [eurocall.bs_put(K=90, vol=0.3, **MARKET),
                                             eurocall.bs_call(K=110, vol=0.3, **MARKET)]})
        vols = eurocall.bs_vol(K=quotes.K, price=quotes.price, kind=quotes.kind, **MARKET)
        self.assertEqual(vols.name, "bs_vol")
        for vol in vols:
            self.assertLess(abs(vol - 0.3), 1e-7)
        with self.assertRaises(ValueError) as caught:
            eurocall.bs_vol(K=quotes.K, price=quotes.price, kind=pandas.Series(["put", "straddle"]), **MARKET)
        self.assertIn("'straddle'", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
