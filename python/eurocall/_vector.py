"""Element-wise evaluation of a scalar kernel over scalars, lists or NumPy arrays.

The same kernel computes every element, one foreign call each, so a vectorised result
is bit for bit the list of scalar results whatever the number of threads. (The
library's one per-thread state, its maths error indicator, which once set makes the
Heston integrand 0 for the rest of that thread's life, could tell threads apart; each
vectorised call starts threads of its own, so none inherits one set by earlier calls.)
"""
import numbers
import sys


def _numpy():
    # An ndarray argument means NumPy is already imported; without it there is none to
    # look for, and importing it here would only cost time.
    return sys.modules.get("numpy")


def to_float(name, value):
    if isinstance(value, (str, bytes)) or not isinstance(value, numbers.Real) and not hasattr(value, "__float__"):
        raise TypeError("%s must be a number, not %s" % (name, type(value).__name__))
    return float(value)


def check_workers(workers):
    if isinstance(workers, bool) or not isinstance(workers, numbers.Integral) or workers < 1:
        raise ValueError("workers must be a positive integer, not %r" % (workers,))
    return int(workers)


def check_choice(name, value, choices):
    if value not in choices:
        raise ValueError("%s must be one of %s, not %r" % (name, ", ".join(repr(c) for c in choices), value))
    return value


def _run(kernel, rows, workers):
    if workers == 1 or len(rows) < 2:
        return [kernel(*row) for row in rows]
    from concurrent.futures import ThreadPoolExecutor

    # A few chunks per thread even out elements of unequal cost; each chunk is a run of
    # consecutive elements, and the chunks are joined back in order.
    count = min(len(rows), 4 * workers)
    bounds = [len(rows) * i // count for i in range(count + 1)]
    chunks = [rows[bounds[i]:bounds[i + 1]] for i in range(count)]
    with ThreadPoolExecutor(max_workers=workers) as pool:
        parts = list(pool.map(lambda chunk: [kernel(*row) for row in chunk], chunks))
    return [value for part in parts for value in part]


def evaluate(kernel, names, values, workers=1, check=None):
    """kernel(*floats) over the arguments `values` (named `names`, in kernel order).

    Scalars give a float. When any argument is a NumPy array, all broadcast and the
    result is a float64 array of the broadcast shape. Otherwise, when any is a list or
    tuple, they must have one length (scalars repeat) and the result is a list.
    check(row, value, index), when given, maps each result (it may raise).
    """
    workers = check_workers(workers)
    np = _numpy()
    if np is not None and any(isinstance(v, np.ndarray) for v in values):
        arrays = np.broadcast_arrays(*[np.asarray(v, dtype=np.float64) for v in values])
        shape = arrays[0].shape
        rows = list(zip(*[a.ravel().tolist() for a in arrays]))
        results = _run(kernel, rows, workers)
        if check is not None:
            results = [check(row, value, tuple(int(k) for k in np.unravel_index(i, shape)))
                       for i, (row, value) in enumerate(zip(rows, results))]
        return np.array(results, dtype=np.float64).reshape(shape)

    sequences = [(n, v) for n, v in zip(names, values) if isinstance(v, (list, tuple))]
    if not sequences:
        row = tuple(to_float(n, v) for n, v in zip(names, values))
        value = kernel(*row)
        return value if check is None else check(row, value, None)

    length = len(sequences[0][1])
    for name, sequence in sequences:
        if len(sequence) != length:
            raise ValueError("%s has %d elements and %s has %d: lists must have one length"
                             % (sequences[0][0], length, name, len(sequence)))
    columns = []
    for name, value in zip(names, values):
        if isinstance(value, (list, tuple)):
            columns.append([to_float("%s[%d]" % (name, i), e) for i, e in enumerate(value)])
        else:
            columns.append([to_float(name, value)] * length)
    rows = list(zip(*columns))
    results = _run(kernel, rows, workers)
    if check is not None:
        results = [check(row, value, i) for i, (row, value) in enumerate(zip(rows, results))]
    return results
