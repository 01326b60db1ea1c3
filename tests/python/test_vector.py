# SPDX-License-Identifier: Apache-2.0
"""Vectorised calls: lists without NumPy, broadcasting NumPy arrays, threads.

Every element of a vectorised result must be bit for bit the scalar call's result.
The NumPy tests are skipped where NumPy is missing, unless EUROCALL_REQUIRE_NUMPY is
set (as CI does), where they fail instead.
"""
import math
import os
import subprocess
import sys
import unittest

import eurocall
from support import C, BitsMixin, bits, needs, optional, require

try:
    import numpy
except ImportError:
    numpy = None

MARKET = dict(S=100, K=100, T=1, r=0.05)
SKEWED = dict(MARKET, v0=0.09, theta=0.04, kappa=2, sigma=0.6, rho=0.3)
HERE = os.path.dirname(os.path.abspath(__file__))


class Lists(BitsMixin, unittest.TestCase):
    def test_lists_and_tuples_are_element_wise_and_scalars_repeat(self):
        strikes = [80, 100, 125.5]
        prices = eurocall.bs_call(S=100, K=strikes, T=(0.5, 1, 2), r=0.05, vol=0.2)
        self.assertIsInstance(prices, list)
        self.assertEqual(len(prices), 3)
        for price, K, T in zip(prices, strikes, (0.5, 1, 2)):
            self.assertSameDouble(price, C.BSCall(100, K, T, 0.05, 0.2))
        self.assertEqual(eurocall.bs_call(S=100, K=[], T=1, r=0.05, vol=0.2), [])

    def test_lengths_must_agree(self):
        with self.assertRaises(ValueError) as caught:
            eurocall.bs_call(S=100, K=[90, 100], T=[1, 2, 3], r=0.05, vol=0.2)
        self.assertIn("K has 2 elements and T has 3", str(caught.exception))

    def test_sentinels_per_element_name_the_index(self):
        prices = [20, 80, 0]
        self.assertEqual([bits(v) for v in eurocall.bs_vol(price=prices, errors="nan", **MARKET)],
                         [bits(C.BSVol(100, 100, 1, 0.05, 20)), bits(math.nan), bits(math.nan)])
        with self.assertRaises(eurocall.VolatilityError) as caught:
            eurocall.bs_vol(price=prices, errors="raise", **MARKET)
        self.assertEqual((caught.exception.case, caught.exception.index), ("not enclosed", 1))

    def test_without_numpy_and_pandas(self):
        # Both made unimportable: the package imports, and lists and scalars still work
        # for prices, puts, volatilities, Greeks and the flags.
        code = ("import sys; sys.modules['numpy'] = sys.modules['pandas'] = None\n"
                "import warnings; warnings.simplefilter('ignore')\n"
                "import eurocall\n"
                "print(eurocall.bs_call(S=100, K=[100, 110], T=1, r=0.05, vol=0.2)[0].hex())\n"
                "print(eurocall.bs_put(S=100, K=[100, 110], T=1, r=0.05, vol=[0.2, -1]))\n"
                "print(eurocall.bs_vol(S=100, K=100, T=1, r=0.05, price=[20, 80], kind='call'))\n"
                "print(sorted(eurocall.bs_greeks(S=100, K=[100], T=1, r=0.05, vol=0.2)))\n")
        done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, cwd=HERE)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.splitlines(), [
            (10.450583572185558).hex(), "[5.573526022256971, nan]", "[0.4523403603789396, nan]",
            "['delta', 'gamma', 'rho', 'theta', 'vega']"])


class NumPyTestCase(BitsMixin, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        optional("numpy", "EUROCALL_REQUIRE_NUMPY")

    def assertSameArray(self, actual, expected):
        self.assertIsInstance(actual, numpy.ndarray)
        self.assertEqual(actual.dtype, numpy.float64)
        self.assertEqual(actual.shape, expected.shape)
        self.assertEqual(actual.tobytes(), expected.tobytes())

    def scalar_loop(self, function, names, arguments):
        """The expected array: the C function, its arguments `names` in its own order,
        on every element of the broadcast arguments."""
        columns = numpy.broadcast_arrays(*[numpy.asarray(arguments[n], dtype=numpy.float64) for n in names])
        flat = [function(*[float(c.flat[i]) for c in columns]) for i in range(columns[0].size)]
        return numpy.array(flat, dtype=numpy.float64).reshape(columns[0].shape)


BS_CALL = ("S", "K", "T", "r", "vol")
BS_VOL = ("S", "K", "T", "r", "price")
HESTON = ("S", "K", "T", "r", "v0", "theta", "kappa", "sigma", "rho")


class Broadcasting(NumPyTestCase):
    def test_result_has_the_broadcast_shape(self):
        strikes = numpy.array([80.0, 100.0, 125.0])
        rows = [
            # (arguments, shape)
            (dict(K=strikes), (3,)),
            (dict(K=strikes.reshape(3, 1), T=numpy.array([0.25, 1.0])), (3, 2)),
            (dict(K=strikes, T=numpy.array([[0.5], [2.0]]), vol=[0.1, 0.2, 0.3]), (2, 3)),
            (dict(K=numpy.array(110.0)), ()),
            (dict(K=numpy.arange(90, 114, 1).reshape(2, 3, 4)), (2, 3, 4)),  # integer dtype
            (dict(K=numpy.zeros((0, 3))), (0, 3)),
        ]
        for changes, shape in rows:
            arguments = dict(S=100.0, K=100.0, T=1.0, r=0.05, vol=0.2)
            arguments.update(changes)
            with self.subTest(shape=shape):
                expected = self.scalar_loop(C.BSCall, BS_CALL, arguments)
                self.assertEqual(expected.shape, shape)
                self.assertSameArray(eurocall.bs_call(**arguments), expected)
                self.assertSameArray(eurocall.bs_call(workers=3, **arguments), expected)

    def test_shapes_that_do_not_broadcast(self):
        with self.assertRaises(ValueError):
            eurocall.bs_call(S=100, K=numpy.ones(3), T=numpy.ones(2), r=0.05, vol=0.2)

    def test_sentinels_per_element(self):
        # 80 lies above BSCall at vol 2, 0 below S - K e^(-rT); BSCall at 2 itself is a genuine 2.
        prices = numpy.array([[20.0, 80.0], [0.0, C.BSCall(100, 100, 1, 0.05, 2)]])
        vols = eurocall.bs_vol(price=prices, errors="nan", **MARKET)
        expected = self.scalar_loop(C.BSVol, BS_VOL, dict(MARKET, price=prices))
        expected[0, 1] = expected[1, 0] = math.nan
        self.assertSameArray(vols, expected)
        with self.assertRaises(eurocall.VolatilityError) as caught:
            eurocall.bs_vol(price=prices, errors="raise", **MARKET)
        self.assertEqual((caught.exception.case, caught.exception.index), ("not enclosed", (0, 1)))


class Threads(NumPyTestCase):
    STRIKES = numpy.linspace(60, 160, 26) if numpy is not None else None

    def test_black_scholes_any_workers(self):
        kwargs = dict(S=100, K=self.STRIKES, T=numpy.array([[0.1], [1.0], [5.0]]), r=0.05, vol=0.25)
        prices = eurocall.bs_call(**kwargs)
        self.assertSameArray(prices, self.scalar_loop(C.BSCall, BS_CALL, kwargs))
        kwargs = dict(kwargs, price=prices)
        del kwargs["vol"]
        expected = self.scalar_loop(C.BSVol, BS_VOL, kwargs)
        for workers in (1, 4):
            self.assertSameArray(eurocall.bs_vol(workers=workers, errors="raw", **kwargs), expected)

    def test_heston_any_workers(self):
        kwargs = dict(SKEWED, K=self.STRIKES, T=numpy.array([[0.5], [2.0]]))
        for family, function in (("HestonCall", eurocall.heston_call), ("HestonVol", eurocall.heston_vol)):
            for method in ("fast", "exact"):
                with self.subTest(family=family, method=method):
                    require(self, "%s_%s" % (family, method))
                    expected = self.scalar_loop(getattr(C, "%s_%s" % (family, method)), HESTON, kwargs)
                    for workers in (1, 4):
                        self.assertSameArray(function(method=method, workers=workers, errors="raw", **kwargs), expected)

    @needs("theIntegrand", "RealIntegrand_j0", "RealIntegrand_j1")
    def test_integrands_any_workers(self):
        kwargs = dict(x=-0.2, T=0.5, v0=0.09, theta=0.04, kappa=2, sigma=0.6, rho=0.3, phi=numpy.linspace(0.05, 40, 64))
        combined = ("x", "T", "v0", "theta", "kappa", "sigma", "rho", "phi")
        real = ("x", "T", "theta", "v0", "kappa", "sigma", "rho", "phi")
        for part, export, order in (("combined", C.theIntegrand, combined), ("j0", C.RealIntegrand_j0, real),
                                    ("j1", C.RealIntegrand_j1, real)):
            with self.subTest(part=part):
                expected = self.scalar_loop(export, order, kwargs)
                for workers in (1, 4):
                    self.assertSameArray(eurocall.heston_integrand(part=part, workers=workers, **kwargs), expected)


if __name__ == "__main__":
    unittest.main()
