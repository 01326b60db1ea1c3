#!/usr/bin/env bash
# The command-line host parses its arguments with CLI11; the installed-tree test builds
# its C consumer with pkg-config.
set -euo pipefail
scripts/install-deps.sh libcli11-dev pkg-config
