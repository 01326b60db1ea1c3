#!/usr/bin/env bash
# The Python package: its unittest suites under Debian's interpreter with NumPy there
# (the NumPy tests must run, not skip), the package straight from the source tree under
# whichever python3 comes first on PATH, and an offline pip install.
set -euo pipefail
scripts/install-deps.sh python3-numpy python3-scipy python3-pandas python3-pip python3-setuptools python3-wheel

# Configured after the interpreter and NumPy are in place, so CTest uses that interpreter.
cmake --preset default >/dev/null
cmake --build --preset default -j2
log=$(mktemp)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp" "$log"' EXIT
EUROCALL_REQUIRE_NUMPY=1 ctest --test-dir build/default -L python -V >"$log" 2>&1 || { cat "$log"; exit 1; }
grep -E '^[0-9]+% tests passed|Total Test time' "$log"
if grep -q "skipped 'NumPy" "$log" || ! grep -q 'test_result_has_the_broadcast_shape .* ok$' "$log"; then
  cat "$log"
  echo "the NumPy tests did not run" >&2
  exit 1
fi

# From the source tree, finding the library in the build tree.
library=$(cd python && env -u EUROCALL_LIBRARY python3 -c "import eurocall; print(eurocall.library_path())")
(cd python && python3 -c "import eurocall; print(eurocall.heston_vol(S=100, K=100, T=1, r=0.05, v0=0.04, theta=0.04, kappa=1.5, sigma=0.3, rho=-0.7))")

# Installed offline into a scratch target, with the library copied in beside the
# package first so that it travels with the install.
cp -r python "$tmp/python"
cp -L "$library" "$tmp/python/eurocall/libeurocall.so"
(cd "$tmp" && /usr/bin/python3 -m pip install --quiet --root-user-action=ignore --no-index --no-build-isolation --target "$tmp/site" ./python)
(cd / && env -u EUROCALL_LIBRARY PYTHONPATH="$tmp/site" /usr/bin/python3 -c "
import eurocall
assert eurocall.library_path() == '$tmp/site/eurocall/libeurocall.so', eurocall.library_path()
print('installed:', eurocall.__version__, eurocall.bs_call(S=100, K=100, T=1, r=0.05, vol=0.2))")
