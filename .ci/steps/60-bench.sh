#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Benchmarks, the side-by-side timing against QuantLib and the bit-for-bit comparison
# tool: built and run for a few iterations each, as a smoke test. Nothing here is
# timed against a limit; the figures of a real run are in the README.
set -euo pipefail
scripts/install-deps.sh libquantlib0-dev
cmake --preset bench
cmake --build --preset bench
build/bench/bench/eurocall_bench --benchmark_min_time=0.001
build/bench/bench/eurocall_side_by_side --quick
build/bench/bench/eurocall_calibration_side_by_side --quick
# Two builds of the same source (the default preset's, when the test step made it)
# must agree to the bit.
other=build/default/bin/libeurocall.so
[ -f "$other" ] || other=build/bench/bin/libeurocall.so
build/bench/bench/eurocall_bitcompare "$other" build/bench/bin/libeurocall.so 200
