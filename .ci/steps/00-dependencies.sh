#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Everything the default preset builds and tests with, as the Quick start installs it.
set -euo pipefail
scripts/install-deps.sh
