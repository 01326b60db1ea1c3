#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# eurocall.dll: cross-built with MinGW-w64 and run under Wine (the 64-bit build: every
# Windows test), and the 32-bit __stdcall build's export table checked (running it
# would need a 32-bit Wine).
set -euo pipefail
scripts/install-deps.sh g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 wine64 wine
# The tests' Wine prefix lives in the build tree; its server outlives the last program
# by a few seconds, so it is ended here rather than left behind.
trap 'WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true' EXIT
cmake --workflow --preset windows
cmake --workflow --preset windows-x86
