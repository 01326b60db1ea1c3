#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets, field by field in the layouts their
sources describe. Run from anywhere; rewrites fuzz/corpus/<target>/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u8(v):
    return struct.pack('<B', v)


def i16(v):
    return struct.pack('<h', v)


def u16(v):
    return struct.pack('<H', v)


def raw(x):
    return struct.pack('<d', x)


def write(target, name, data):
    os.makedirs(os.path.join(HERE, target), exist_ok=True)
    with open(os.path.join(HERE, target, name), 'wb') as f:
        f.write(data)


# fuzz_exports: export, state, then per argument a kind byte and its payload.
ARITY = [5, 5, 9, 9, 9, 9, 8, 8, 8]
HOSTILE = 1 << 1 | 1 << 3 | 3 << 4 | 1 << 6  # upward, FTZ/DAZ, traps with flags, x87 24 bits
for e, n in enumerate(ARITY):
    write('fuzz_exports', f'request_{e}', u8(e) + u8(0) + u8(0) * n)
    # hostile host, first argument NaN, second scaled by 1.25, last argument raw -0.5
    args = u8(2) + u8(0) + u8(1) + i16(10240) + u8(0) * (n - 3) + u8(3) + raw(-0.5)
    write('fuzz_exports', f'hostile_{e}', u8(e) + u8(HOSTILE) + args)
write('fuzz_exports', 'indicator_set_8', u8(8) + u8(1) + u8(0) * 8)

# fuzz_integrate: range kind, bound, absolute and relative tolerance, terms.
TOL_0, TOL_1E8 = u8(0), u8(1) + u8(8)
KIND = {1: u8(0), -1: u8(1), 2: u8(2)}
write('fuzz_integrate', 'exp_minus_x', KIND[1] + u8(0) + TOL_0 + TOL_1E8 +
      u8(0) + u8(0) + i16(1024) + i16(-4096))
write('fuzz_integrate', 'inverse_square', KIND[1] + u8(1) + i16(256) + TOL_0 + TOL_1E8 +
      u8(0) + u8(1) + i16(1024) + u16(0) + i16(-4096))
write('fuzz_integrate', 'lorentzian_line', KIND[2] + u8(0) + TOL_0 + TOL_1E8 +
      u8(0) + u8(4) + i16(1024) + i16(1024))
write('fuzz_integrate', 'damped_sine_left', KIND[-1] + u8(1) + i16(-512) + u8(1) + u8(12) + TOL_1E8 +
      u8(1) + u8(3) + i16(2048) + i16(4096) + i16(3072) + u8(2) + i16(-1024) + i16(-2048) + i16(0))
write('fuzz_integrate', 'sine_divergent', KIND[1] + u8(0) + TOL_0 + TOL_1E8 +
      u8(0) + u8(2) + i16(1024) + i16(1024) + i16(0))
write('fuzz_integrate', 'invalid', u8(240) + u8(3) + u8(0) + u8(2) + u8(5) + u8(2) + u8(0) +
      u8(0) + u8(0) + i16(1024) + i16(-4096))

# fuzz_extrapolate: model L + c q^k, then per element a kind byte.
write('fuzz_extrapolate', 'geometric', i16(256) + i16(-256) + i16(16384) + u8(1) * 60)
write('fuzz_extrapolate', 'alternating', i16(256) + i16(256) + i16(-24576) + u8(1) * 55)
write('fuzz_extrapolate', 'near_equal', i16(0) + i16(0) + i16(0) + u8(0) + raw(1.0) +
      (u8(2) + u8(1)) * 8 + u8(1) * 10 + u8(3) + u8(0) + u8(1) * 5)

# fuzz_sort_error_list: limit, first error, then per bisection two errors and a choice.
def halves(k):
    a, b = (64 + 37 * k) % 256, (200 + 91 * k) % 256
    return u8(0) + u8(a) + u8(1) + u8(b)

write('fuzz_sort_error_list', 'limit_499', u16(497) + u8(4) +
      b''.join(halves(k) + u8(0 if k % 7 else 3) + (u8(k % 256) if k % 7 == 0 else b'') for k in range(499)))
write('fuzz_sort_error_list', 'limit_20_ties', u16(18) + u8(6) + raw(1.0) +
      b''.join(u8(4) + u8(0) + u8(128) + u8(k % 4) + (u8(k) if k % 4 == 3 else b'') for k in range(20)))
