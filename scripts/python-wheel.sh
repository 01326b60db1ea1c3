#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Python package's wheel with the shared library inside it, offline:
#   scripts/python-wheel.sh [LIBRARY [DIRECTORY]]
# LIBRARY defaults to build/default/bin/libeurocall.so (cmake --workflow --preset default
# builds it), DIRECTORY to build/python. The wheel is tagged for this platform
# (eurocall-VERSION-py3-none-linux_x86_64.whl on 64-bit Linux): it carries a compiled
# library, though the package is plain Python for any Python 3 from 3.8. Needs Debian's
# python3-pip, python3-setuptools and python3-wheel (scripts/install-deps.sh installs them
# when named). The source tree is left as it was: the build runs on a copy.
set -euo pipefail
cd "$(dirname "$0")/.."
library=${1:-build/default/bin/libeurocall.so}
directory=${2:-build/python}
python=${PYTHON:-/usr/bin/python3}
if [ ! -f "$library" ]; then
  echo "python-wheel.sh: no library at $library; build it first (cmake --workflow --preset default)" >&2
  exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r python "$tmp/python"
rm -rf "$tmp/python/build" "$tmp"/python/*.egg-info "$tmp"/python/eurocall/__pycache__
# Under the name the package looks for, whatever link or version the path names.
case "$library" in
  *.dll) name=eurocall.dll ;;
  *.dylib) name=libeurocall.dylib ;;
  *) name=libeurocall.so ;;
esac
cp -L "$library" "$tmp/python/eurocall/$name"
mkdir -p "$directory"
"$python" -m pip wheel --quiet --no-deps --no-build-isolation --no-index --wheel-dir "$directory" "$tmp/python"
ls "$directory"/eurocall-*.whl
