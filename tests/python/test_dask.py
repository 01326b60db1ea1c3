# SPDX-License-Identifier: Apache-2.0
"""eurocall.dask on a LocalCluster of two worker processes: Dask DataFrames and arrays
priced partition by partition, every element the local call's, bit for bit.

Skipped where dask or distributed is missing, unless EUROCALL_REQUIRE_DASK is set (as CI
does). The cluster starts once for the module (a few seconds).
"""
import logging
import math
import os
import unittest

import eurocall
from support import optional

HESTON = dict(r=0.05, v0=0.04, theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7)


def setUpModule():
    global numpy, pandas, dataframe, array, distributed, eurocall_dask, cluster, client
    numpy = optional("numpy", "EUROCALL_REQUIRE_NUMPY")
    pandas = optional("pandas", "EUROCALL_REQUIRE_PANDAS")
    distributed = optional("distributed", "EUROCALL_REQUIRE_DASK")
    dataframe = optional("dask.dataframe", "EUROCALL_REQUIRE_DASK")
    array = optional("dask.array", "EUROCALL_REQUIRE_DASK")
    import eurocall.dask as eurocall_dask

    # The workers' log of the errors the tests provoke on purpose stays quiet.
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                       silence_logs=logging.ERROR)
    client = distributed.Client(cluster)


def tearDownModule():
    if "client" in globals():
        client.close()
        cluster.close()


def options():
    """Forty options over two maturities, one strike outside the domain."""
    frame = pandas.DataFrame({
        "K": numpy.linspace(70, 130, 40),
        "T": numpy.repeat([0.5, 2.0], 20),
        "kind": ["call", "put"] * 20,
    }, index=pandas.Index(["opt%02d" % i for i in range(40)], name="option"))
    frame.loc["opt05", "K"] = -1.0
    return frame


class Cluster(unittest.TestCase):
    def test_two_worker_processes_load_the_clients_library(self):
        pids = client.run(os.getpid)
        self.assertEqual(len(set(pids.values())), 2)
        self.assertNotIn(os.getpid(), pids.values())
        self.assertEqual(set(client.run(eurocall.library_path).values()), {eurocall.library_path()})


class Frames(unittest.TestCase):
    def setUp(self):
        self.frame = options()
        self.distributed = dataframe.from_pandas(self.frame, npartitions=4)

    def test_every_function_gives_the_local_result_bit_for_bit(self):
        f, d = self.frame, self.distributed
        prices = eurocall.heston_call(S=100, K=f.K, T=f["T"], method="fast", errors="nan", **HESTON)
        quoted = pandas.Series(prices.to_numpy() * 1.01, index=f.index)
        rows = [
            ("heston_call", dict(K="K", T="T"), dict(method="fast")),
            ("heston_put", dict(K="K", T="T"), dict(method="fast", q=0.02)),
            ("heston_vol", dict(K="K", T="T"), dict(method="fast")),
            ("heston_greeks", dict(K="K", T="T", kind="kind"), dict(method="fast")),
            ("bs_greeks", dict(K="K", T="T", kind="kind"), dict(vol=0.2, r=0.05)),
        ]
        for name, columns, fixed in rows:
            with self.subTest(name):
                kwargs = dict(HESTON, **fixed) if name.startswith("heston") else fixed
                local = getattr(eurocall, name)(S=100, errors="nan", **kwargs, **{k: f[c] for k, c in columns.items()})
                lazy = getattr(eurocall_dask, name)(S=100, errors="nan", **kwargs, **{k: d[c] for k, c in columns.items()})
                remote = lazy.compute()
                self.assertIs(type(remote), type(local))
                self.assertTrue(remote.index.equals(local.index))
                self.assertEqual(remote.to_numpy().tobytes(), local.to_numpy().tobytes())
                if isinstance(local, pandas.Series):
                    self.assertEqual(remote.name, name)
                else:
                    self.assertEqual(list(remote.columns), list(local.columns))
                self.assertTrue(math.isnan(remote.iloc[5] if isinstance(remote, pandas.Series) else remote.iloc[5, 0]))
        with self.subTest("bs_vol of a price column"):
            d_quoted = dataframe.from_pandas(quoted, npartitions=4)
            local = eurocall.bs_vol(S=100, K=f.K, T=f["T"], r=0.05, price=quoted, errors="nan")
            remote = eurocall_dask.bs_vol(S=100, K=d.K, T=d["T"], r=0.05, price=d_quoted, errors="nan").compute()
            self.assertEqual(remote.to_numpy().tobytes(), local.to_numpy().tobytes())

    def test_errors_reach_the_client_named_by_label(self):
        lazy = eurocall_dask.bs_call(S=100, K=self.distributed.K, T=self.distributed["T"], r=0.05, vol=0.2,
                                     errors="raise")
        with self.assertRaises(eurocall.DomainError) as caught:
            lazy.compute()
        self.assertEqual((caught.exception.index, caught.exception.argument), ("opt05", "K"))
        # warn gives NaN on the workers, without a warning there.
        warned = eurocall_dask.bs_call(S=100, K=self.distributed.K, T=1, r=0.05, vol=0.2).compute()
        self.assertTrue(math.isnan(warned["opt05"]))
        self.assertEqual(int(warned.isna().sum()), 1)

    def test_wrong_arguments_fail_before_anything_runs(self):
        rows = [
            (lambda: eurocall_dask.bs_call(S=100, K=self.distributed.K, T=1, r=0.05, sigma=0.2),
             TypeError, "eurocall.dask.bs_call: missing a required argument: 'vol'"),
            (lambda: eurocall_dask.bs_call(S=100, K=100, T=1, r=0.05, vol=0.2), TypeError, "no argument is a Dask"),
            (lambda: eurocall_dask.bs_call(S=100, K=self.distributed, T=1, r=0.05, vol=0.2),
             TypeError, "K is a Dask DataFrame"),
            (lambda: eurocall_dask.bs_call(S=100, K=self.distributed.K, T=numpy.ones(40), r=0.05, vol=0.2),
             TypeError, "T is a ndarray"),
        ]
        for call, error, words in rows:
            with self.subTest(words):
                with self.assertRaises(error) as caught:
                    call()
                self.assertIn(words, str(caught.exception))


class Arrays(unittest.TestCase):
    def test_blocks_broadcast_and_match_the_local_call(self):
        strikes = numpy.linspace(70, 130, 10)
        maturities = numpy.array([[0.5], [1.0], [2.0]])
        lazy = eurocall_dask.bs_call(S=100, K=array.from_array(strikes, chunks=4), T=maturities, r=0.05, vol=0.2)
        local = eurocall.bs_call(S=100, K=strikes, T=maturities, r=0.05, vol=0.2)
        remote = lazy.compute()
        self.assertEqual(remote.shape, (3, 10))
        self.assertEqual(remote.tobytes(), local.tobytes())

    def test_an_error_names_the_index_in_the_whole_array(self):
        strikes = numpy.linspace(70, 130, 10)
        strikes[6] = -1
        lazy = eurocall_dask.bs_call(S=100, K=array.from_array(strikes, chunks=4), T=1, r=0.05, vol=0.2,
                                     errors="raise")
        with self.assertRaises(eurocall.DomainError) as caught:
            lazy.compute()
        self.assertEqual(caught.exception.index, (6,))
        self.assertIn("at index (6,), K = -1.0", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
