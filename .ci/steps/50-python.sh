#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Python package: its unittest suites under Debian's interpreter with NumPy, pandas and
# Dask there (their tests must run, not skip), the package straight from the source tree
# under whichever python3 comes first on PATH, and the README's install: the wheel with the
# library inside, into a virtual environment.
set -euo pipefail
scripts/install-deps.sh python3-numpy python3-scipy python3-pandas python3-dask python3-distributed \
  python3-pip python3-setuptools python3-wheel python3-venv

# Configured after the interpreter and the packages are in place, so CTest uses that interpreter.
cmake --preset default >/dev/null
cmake --build --preset default -j2
log=$(mktemp)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp" "$log"' EXIT
EUROCALL_REQUIRE_NUMPY=1 EUROCALL_REQUIRE_PANDAS=1 EUROCALL_REQUIRE_DASK=1 \
  ctest --test-dir build/default -L python -V >"$log" 2>&1 || { cat "$log"; exit 1; }
grep -E '^[0-9]+% tests passed|Total Test time' "$log"
# One test of each optional kind, by name, that must have run and passed.
for ran in test_result_has_the_broadcast_shape test_na_becomes_nan_and_is_flagged_by_its_label \
  test_every_function_gives_the_local_result_bit_for_bit test_session_prints_what_the_readme_shows; do
  if ! grep -q "$ran .* ok$" "$log"; then
    cat "$log"
    echo "$ran did not run: the NumPy, pandas or Dask tests were skipped" >&2
    exit 1
  fi
done
if grep -q "skipped '.*is not installed" "$log"; then
  cat "$log"
  echo "a Python suite skipped tests for want of an optional package" >&2
  exit 1
fi

# From the source tree, finding the library in the build tree.
library=$(cd python && env -u EUROCALL_LIBRARY python3 -c "import eurocall; print(eurocall.library_path())")
(cd python && python3 -c "import eurocall; print(eurocall.heston_vol(S=100, K=100, T=1, r=0.05, v0=0.04, theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7))")

# The README's install: the wheel with the library inside, tagged for this platform, into
# a virtual environment that sees Debian's packages, used from elsewhere.
wheel=$(scripts/python-wheel.sh "$library" "$tmp/wheel")
case "$wheel" in
  *-py3-none-any.whl) echo "the wheel carries the library but is tagged for any platform: $wheel" >&2; exit 1 ;;
esac
/usr/bin/python3 -m venv --system-site-packages "$tmp/venv"
"$tmp/venv/bin/pip" install --quiet --no-index "$wheel"
(cd / && env -u EUROCALL_LIBRARY "$tmp/venv/bin/python" -c "
import eurocall, pandas
site = eurocall.__file__.rsplit('/', 1)[0]
assert eurocall.library_path() == site + '/libeurocall.so', eurocall.library_path()
assert site.startswith('$tmp/venv/'), site
print('installed:', eurocall.__version__, eurocall.bs_put(S=100, K=100, T=1, r=0.05, vol=0.2, q=0.01))")
