# SPDX-License-Identifier: Apache-2.0
"""eurocall on a Dask cluster: the keyword functions over Dask collections, partition by partition.

Each function here takes the arguments of its namesake in eurocall, any of them a
column of one Dask DataFrame (a Dask Series), or any of them Dask arrays, the rest
scalars, and returns the lazy result: a Dask Series named after the function (a Dask
DataFrame for the Greeks) on the frame's index, or a Dask array of the broadcast shape.
Computing it runs the package's own function on every partition (or block) where the
partition lies, so every element is the local call's, bit for bit.

    import eurocall.dask
    prices = eurocall.dask.heston_call(S=frame.S, K=frame.K, T=frame["T"], r=0.05, v0=0.04,
                                       theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7)
    prices.compute()

The workers import eurocall and load the library by the same lookup order as the client
(EUROCALL_LIBRARY, next to the package, the build tree, the system loader); on a
LocalCluster they inherit the client's environment, on other machines the package (with
the library inside it) has to be installed where the workers run.
client.run(eurocall.library_path) says which file each worker loaded.

errors= works as locally, except that "warn" gives NaN without a warning (the workers'
warnings stay on the workers): count the flagged elements with result.isna().sum().
errors="raise" raises the first flagged element's error when the result is computed.
Needs dask (with dask.dataframe for Series) and distributed for a cluster.
"""
import inspect
import sys

from dask import array as _arrays

import eurocall

_SERIES = ("bs_call", "bs_put", "bs_vol", "heston_call", "heston_put", "heston_vol", "heston_integrand")
_TABLES = {"bs_greeks": eurocall._greeks.BS_GREEKS, "heston_greeks": eurocall._greeks.HESTON_GREEKS}


def _apply(function, fixed, names, *parts):
    """What runs on a worker: the package's function on one partition or block."""
    arguments = dict(fixed)
    arguments.update(zip(names, parts))
    if arguments.get("errors", "warn") == "warn":
        arguments["errors"] = "nan"
    return getattr(eurocall, function)(**arguments)


def _apply_block(function, fixed, names, *parts, block_info=None):
    """_apply on one block of Dask arrays; an error names the element's index in the whole array."""
    try:
        return _apply(function, fixed, names, *parts)
    except eurocall.OptionValueError as error:
        if error.index is None or not block_info:
            raise
        starts = [start for start, _ in block_info[None]["array-location"]]
        index = tuple(start + k for start, k in zip(starts, error.index))
        message = error.args[0].replace("at index %r," % (error.index,), "at index %r," % (index,), 1)
        raise type(error)(message, error.function, index, error.value, error.argument, error.case) from None


def _frames():
    # dask.dataframe needs pandas; Dask arrays alone do not.
    from dask import dataframe

    return dataframe


def _is_series(value):
    frames = sys.modules.get("dask.dataframe")
    return frames is not None and isinstance(value, frames.Series)


def _is_frame(value):
    frames = sys.modules.get("dask.dataframe")
    return frames is not None and isinstance(value, frames.DataFrame)


def _distribute(function, arguments):
    # Wrong or missing names fail here, not later on a worker.
    try:
        inspect.signature(getattr(eurocall, function)).bind(**arguments)
    except TypeError as error:
        raise TypeError("eurocall.dask.%s: %s" % (function, error)) from None
    for name, value in arguments.items():
        if _is_frame(value):
            raise TypeError("eurocall.dask.%s: %s is a Dask DataFrame; pass one of its columns, such as frame[%r]"
                            % (function, name, name))
    collections = {k: v for k, v in arguments.items() if _is_series(v) or isinstance(v, _arrays.Array)}
    fixed = {k: v for k, v in arguments.items() if k not in collections}
    names = list(collections)
    parts = [collections[k] for k in names]
    if not parts:
        raise TypeError("eurocall.dask.%s: no argument is a Dask collection; call eurocall.%s instead"
                        % (function, function))
    arrays = [k for k, v in fixed.items() if isinstance(v, (list, tuple)) or hasattr(v, "__array__")]
    if all(_is_series(p) for p in parts):
        import pandas

        if arrays:
            raise TypeError("eurocall.dask.%s: %s beside Dask Series: give columns of the same Dask DataFrame, "
                            "or scalars" % (function, ", ".join("%s is a %s" % (k, type(fixed[k]).__name__)
                                                                for k in arrays)))

        if function in _TABLES:
            meta = pandas.DataFrame({k: pandas.Series([], dtype="float64") for k in _TABLES[function]})
            meta.columns.name = function
        else:
            meta = pandas.Series([], dtype="float64", name=function)
        return _frames().map_partitions(_apply, function, fixed, names, *parts, meta=meta)
    if any(_is_series(p) for p in parts):
        raise TypeError("eurocall.dask.%s: Dask Series and Dask arrays do not mix; %s"
                        % (function, ", ".join("%s is a %s" % (k, type(collections[k]).__name__) for k in names)))
    if function in _TABLES:
        raise TypeError("eurocall.dask.%s: the Greeks come as a table; give the options as columns of a "
                        "Dask DataFrame" % function)
    # NumPy arrays and lists join the Dask arrays, to be cut into the same blocks.
    for k in arrays:
        names.append(k)
        parts.append(_arrays.asarray(fixed.pop(k)))
    parts = _arrays.broadcast_arrays(*parts)
    return _arrays.map_blocks(_apply_block, function, fixed, names, *parts, dtype="float64")


def _distributed(function):
    def distributed(**arguments):
        return _distribute(function, arguments)

    distributed.__name__ = distributed.__qualname__ = function
    distributed.__doc__ = ("eurocall.%s over Dask collections, partition by partition (see eurocall.dask).\n\n"
                           % function) + getattr(eurocall, function).__doc__
    return distributed


bs_call = _distributed("bs_call")
bs_put = _distributed("bs_put")
bs_vol = _distributed("bs_vol")
bs_greeks = _distributed("bs_greeks")
heston_call = _distributed("heston_call")
heston_put = _distributed("heston_put")
heston_vol = _distributed("heston_vol")
heston_greeks = _distributed("heston_greeks")
heston_integrand = _distributed("heston_integrand")

__all__ = list(_SERIES) + list(_TABLES)
