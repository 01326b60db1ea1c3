#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need. Packages already
# present are not touched, so a machine that has them all pays nothing.
set -euo pipefail
packages=(cmake g++ libgtest-dev libgmock-dev libbenchmark-dev binutils)
missing=()
for p in "${packages[@]}" "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
