#!/usr/bin/env bash
# Everything the default preset builds and tests with, as the Quick start installs it.
set -euo pipefail
scripts/install-deps.sh
