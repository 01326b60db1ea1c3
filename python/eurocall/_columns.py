# SPDX-License-Identifier: Apache-2.0
"""Arguments to columns of one length, and results back in the caller's shape.

Whatever the caller passes (scalars, lists or tuples, NumPy arrays, pandas Series,
nullable ones included), the arguments become columns: array('d') buffers of one
length n, contiguous float64, the same representation with or without NumPy. The
result comes back as the arguments came:

==============================  ===========================================================
arguments                       result
==============================  ===========================================================
all scalars                     a float
lists or tuples (and scalars)   a list; the sequences must have one length, scalars repeat
a NumPy array among them        a float64 array of the broadcast shape
a pandas Series among them      a Series on the Series' index (aligned as pandas aligns:
                                the union where indexes differ), named after the function;
                                NA and missing labels become NaN; arrays and lists go by
                                position and must have the index's length
==============================  ===========================================================

NumPy and pandas are only looked for among modules already imported: an argument that
is an array or a Series means they are there, and without one they cost nothing.
"""
import array
import math
import numbers
import sys


def _numpy():
    return sys.modules.get("numpy")


def _pandas():
    return sys.modules.get("pandas")


def _is_series(value):
    pandas = _pandas()
    return pandas is not None and isinstance(value, pandas.Series)


def _is_frame(value):
    pandas = _pandas()
    return pandas is not None and isinstance(value, pandas.DataFrame)


def _is_array(value):
    numpy = _numpy()
    return numpy is not None and isinstance(value, numpy.ndarray)


def to_float(name, value):
    if isinstance(value, (str, bytes)) or not isinstance(value, numbers.Real) and not hasattr(value, "__float__"):
        raise TypeError("%s must be a number, not %s" % (name, type(value).__name__))
    return float(value)


def doubles(values):
    """A column from an iterable of floats."""
    return array.array("d", values)


def constant(value, n):
    return array.array("d", [value]) * n


def nans(n):
    return constant(math.nan, n)


def take(column, positions):
    return array.array("d", [column[p] for p in positions])


def scatter(out, positions, values):
    for p, v in zip(positions, values):
        out[p] = v


def check_workers(workers):
    if isinstance(workers, bool) or not isinstance(workers, numbers.Integral) or workers < 1:
        raise ValueError("workers must be a positive integer, not %r" % (workers,))
    return int(workers)


class Batch:
    """The arguments as columns of n elements, and how to hand a result back.

    columns maps each argument's name to an array('d') of length n.
    """

    def __init__(self, columns, n, form, shape=None, index=None):
        self.columns = columns
        self.n = n
        self._form = form  # "scalar", "list", "array" or "series"
        self._shape = shape
        self._index = index

    def locate(self, position):
        """The caller's index of the element at a position of the columns."""
        if self._form == "scalar":
            return None
        if self._form == "list":
            return position
        if self._form == "series":
            return self._index[position]
        return tuple(int(k) for k in _numpy().unravel_index(position, self._shape))

    def result(self, out, name):
        """out (a column of n floats) in the caller's shape."""
        if self._form == "scalar":
            return out[0]
        if self._form == "list":
            return out.tolist()
        numpy = _numpy()
        values = numpy.frombuffer(out, dtype=numpy.float64)
        if self._form == "array":
            return values.reshape(self._shape)
        return _pandas().Series(values, index=self._index, name=name)

    def table(self, columns, name):
        """Several named results (a dict of columns) in the caller's shape: a dict of
        floats, of lists or of arrays, or a DataFrame on the index for Series."""
        if self._form == "series":
            numpy = _numpy()
            frame = _pandas().DataFrame(
                {key: numpy.frombuffer(column, dtype=numpy.float64) for key, column in columns.items()},
                index=self._index)
            frame.columns.name = name
            return frame
        return {key: self.result(column, name) for key, column in columns.items()}


_PLAIN = (float, int)


def gather(names, values):
    """A Batch of the arguments `values`, named `names` (in that order)."""
    if all(type(v) in _PLAIN for v in values):
        # The common scalar call, without looking further.
        return Batch({n: array.array("d", (float(v),)) for n, v in zip(names, values)}, 1, "scalar")
    for name, value in zip(names, values):
        if _is_frame(value):
            hint = " (frame.T is the transpose, not the column T)" if name == "T" else ""
            raise TypeError("%s is a DataFrame; pass one of its columns, such as frame[%r]%s" % (name, name, hint))
    values = [_pandas_array(n, v) for n, v in zip(names, values)]
    if any(_is_series(v) for v in values):
        return _gather_series(names, values)
    if any(_is_array(v) for v in values):
        return _gather_arrays(names, values)
    sequences = [(n, v) for n, v in zip(names, values) if isinstance(v, (list, tuple))]
    if not sequences:
        columns = {n: array.array("d", [to_float(n, v)]) for n, v in zip(names, values)}
        return Batch(columns, 1, "scalar")
    length = len(sequences[0][1])
    for name, sequence in sequences:
        if len(sequence) != length:
            raise ValueError("%s has %d elements and %s has %d: lists must have one length"
                             % (sequences[0][0], length, name, len(sequence)))
    columns = {}
    for name, value in zip(names, values):
        if isinstance(value, (list, tuple)):
            columns[name] = array.array("d", [to_float("%s[%d]" % (name, i), e) for i, e in enumerate(value)])
        else:
            columns[name] = constant(to_float(name, value), length)
    return Batch(columns, length, "list")


def _pandas_array(name, value):
    """A pandas array or Index (Series.values of a nullable column, frame.index) as a
    float64 NumPy array, NA as NaN; anything else as it is."""
    pandas = _pandas()
    if pandas is None or not isinstance(value, (pandas.api.extensions.ExtensionArray, pandas.Index)):
        return value
    numpy = _numpy()
    try:
        return value.to_numpy(dtype=numpy.float64, na_value=numpy.nan)
    except (TypeError, ValueError) as error:
        raise TypeError("%s must hold numbers (%s)" % (name, error)) from None


def _flat(numpy, values):
    return array.array("d", numpy.ascontiguousarray(values, dtype=numpy.float64).tobytes())


def _gather_arrays(names, values):
    numpy = _numpy()
    converted = []
    for name, value in zip(names, values):
        converted.append(numpy.asarray(value if _is_array(value) or isinstance(value, (list, tuple))
                                       else to_float(name, value), dtype=numpy.float64))
    broadcast = numpy.broadcast_arrays(*converted)
    shape = broadcast[0].shape
    columns = {name: _flat(numpy, a) for name, a in zip(names, broadcast)}
    return Batch(columns, int(numpy.prod(shape, dtype=numpy.int64)), "array", shape=shape)


def _gather_series(names, values):
    numpy = _numpy()
    index = None
    for value in values:
        if _is_series(value):
            index = value.index if index is None or index.equals(value.index) else index.union(value.index)
    converted = []
    for name, value in zip(names, values):
        if _is_series(value):
            column = _pandas_array(name, (value if value.index.equals(index) else value.reindex(index)).array)
        elif _is_array(value) or isinstance(value, (list, tuple)):
            column = numpy.asarray(value, dtype=numpy.float64)
            if column.shape != (len(index),):
                raise ValueError("%s has shape %s and the Series' index has %d labels: arrays and lists "
                                 "beside a Series go by position and must match it" % (name, column.shape, len(index)))
        else:
            column = numpy.full(len(index), to_float(name, value))
        converted.append(column)
    columns = {name: _flat(numpy, c) for name, c in zip(names, converted)}
    return Batch(columns, len(index), "series", index=index)
