#!/usr/bin/env bash
# The README's test command, verbatim.
set -euo pipefail
cmake --workflow --preset default
