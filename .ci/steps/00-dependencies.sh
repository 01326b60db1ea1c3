#!/usr/bin/env bash
set -euo pipefail
scripts/install-deps.sh
