#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every fuzz target under AddressSanitizer and UndefinedBehaviorSanitizer for a bounded
# time, starting from its seed corpus. Any finding (a crash, a sanitizer report, a
# failed check, an input slower than the timeout) stops libFuzzer with a non-zero
# status, which fails the step; the input is kept in build/fuzz/findings/ and printed
# in base64 by libFuzzer.
set -euo pipefail
scripts/install-deps.sh clang libclang-rt-14-dev
cmake --preset fuzz
cmake --build --preset fuzz -j2
seconds="${EUROCALL_FUZZ_SECONDS:-45}"
findings=build/fuzz/findings
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"
# Each target with the longest input its decoder reads: nine arguments of 9 bytes, four
# integrand terms, a long sequence, 499 bisections. Inputs that long from the start
# (-len_control=0), so that the subinterval limit and the kept-length cut are reached.
for spec in fuzz_exports:96 fuzz_integrate:128 fuzz_extrapolate:2048 fuzz_sort_error_list:4096 fuzz_csv:4096; do
  target="${spec%%:*}"
  echo "::: fuzzing $target for ${seconds} s"
  mkdir -p "$work/$target"
  "build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len="${spec##*:}" -len_control=0 -timeout=30 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
    "$work/$target" "fuzz/corpus/$target"
done
