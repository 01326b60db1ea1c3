#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages that the default preset builds and tests with; arguments
# name more packages (the CI steps add their own). Packages already present are not
# touched, so a machine that has them all pays nothing and needs no root. Installing
# needs root: run as root, or as a user with sudo, which is then used for apt-get alone.
set -euo pipefail

# make: cmake only recommends it, and apt-get here installs no recommendations.
# binutils: nm and readelf for the export and installed-tree tests. libcli11-dev: the
# command-line tool. pkg-config: the installed-tree test's C consumer. python3-numpy:
# the Python package's NumPy tests (the interpreter comes with it). libbenchmark-dev:
# the bench preset. librsvg2-bin, fonts-dejavu-core, libpng-dev: the tool's drawing tests
# render the SVG charts and read the pictures back. python3-scipy, python3-pandas: the
# calibration's optimiser and its tests' tables. libgsl-dev: the tool's calibrate
# command fits with GSL's nonlinear least squares. python3-dask, python3-distributed: the
# Python package's cluster tests and its README session. python3-mpmath: a calibration
# test inverts deep put prices at 40 digits. python3-pip, python3-setuptools,
# python3-wheel: the Python tests build a platform wheel that carries the library.
packages=(cmake make gcc g++ binutils libgtest-dev libgmock-dev libcli11-dev pkg-config
  python3-numpy libbenchmark-dev librsvg2-bin fonts-dejavu-core libpng-dev
  python3-scipy python3-pandas libgsl-dev python3-dask python3-distributed
  python3-mpmath python3-pip python3-setuptools python3-wheel)

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  echo "install-deps.sh: needs Debian's dpkg-query and apt-get (Debian 12 or later)" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}" "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps.sh: installing ${missing[*]} needs root; run this script as root (there is no sudo)" >&2
    exit 1
  fi
  as_root=(sudo)
fi

echo "installing: ${missing[*]}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { "${as_root[@]}" apt-get update -qq &&
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps.sh: apt-get failed (output above)" >&2
  exit 1
fi
