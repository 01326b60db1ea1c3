#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The concurrency tests under ThreadSanitizer: exact prices on several threads at once.
set -euo pipefail
cmake --preset tsan
cmake --build --preset tsan -j"$(nproc)" --target heston_tests
ctest --preset tsan -R 'HestonConcurrency|IntegrandParams|ErrorIndicator'
