# SPDX-License-Identifier: Apache-2.0
"""The path of every keyword function: arguments to columns, the domain, the
computation on the elements inside it, errors=, and the result in the caller's shape."""
from . import _columns, _errors


def evaluate(function, arguments, compute, errors, workers, checked=None, greeks=False, volatility=False):
    """Run compute on the elements of the arguments and hand the result back.

    arguments is a list of (name, value); checked the names whose domain is checked (all
    of them by default). compute(columns, n, check, workers) returns (out, flags): out a
    column of n results, or a dict of such columns (a table, one per result name);
    flags the elements whose result is unusable (positions among the n), looked for only
    when check is true. Elements outside the domain never reach compute.
    """
    _errors.check_choice("errors", errors, _errors.ERRORS)
    workers = _columns.check_workers(workers)
    names = [name for name, _ in arguments]
    batch = _columns.gather(names, [value for _, value in arguments])
    columns = batch.columns
    check = errors != "raw"
    outside = []
    if check:
        outside = _errors.domain_flags(columns, checked or names, greeks, volatility)
        if outside and errors == "raise":
            _errors.settle(function, outside, [], errors, batch.locate)
    if outside:
        flagged = set(f.position for f in outside)
        inside = [p for p in range(batch.n) if p not in flagged]
        columns = {name: _columns.take(c, inside) for name, c in columns.items()}
        result, flags = compute(columns, len(inside), check, workers)
        results = result if isinstance(result, dict) else {function: result}
        for key, column in results.items():
            full = _columns.nans(batch.n)
            _columns.scatter(full, inside, column)
            results[key] = full
        for flag in flags:
            flag.position = inside[flag.position]
        flags = sorted(outside + flags, key=lambda f: f.position)
    else:
        result, flags = compute(columns, batch.n, check, workers)
        results = result if isinstance(result, dict) else {function: result}
    _errors.settle(function, flags, list(results.values()), errors, batch.locate)
    if isinstance(result, dict):
        return batch.table(results, function)
    return batch.result(results[function], function)
