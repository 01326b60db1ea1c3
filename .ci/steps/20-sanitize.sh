#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --workflow --preset sanitize
