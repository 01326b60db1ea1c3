#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The README's test command, verbatim.
set -euo pipefail
cmake --workflow --preset default
