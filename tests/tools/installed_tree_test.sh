#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the build into a temporary prefix and uses that tree alone: the library's
# SONAME and links, the header, the licence, the pkg-config file with a C consumer, the
# CMake package with a C++ consumer, and the tool finding the library in the tree's lib
# directory.
# Arguments: build dir, examples dir, C compiler, C++ compiler, C flags, C++ flags,
# linker flags, bindir, libdir, includedir, version, docdir, the licence file.
set -euo pipefail
build=$1 examples=$2 cc=$3 cxx=$4 cflags=$5 cxxflags=$6 ldflags=$7
bindir=$8 libdir=$9 includedir=${10} version=${11} docdir=${12} licence=${13}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
work=$(cd "$work" && pwd -P)
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"

# The library under its real name, with the SONAME link and the development link.
lib=$prefix/$libdir
[ -f "$lib/libeurocall.so.$version" ] && [ ! -L "$lib/libeurocall.so.$version" ] || fail "no libeurocall.so.$version"
[ "$(readlink "$lib/libeurocall.so.${version%%.*}")" = "libeurocall.so.$version" ] || fail "SONAME link"
[ "$(readlink "$lib/libeurocall.so")" = "libeurocall.so.${version%%.*}" ] || fail "development link"
readelf -d "$lib/libeurocall.so.$version" | grep "SONAME.*\[libeurocall.so.${version%%.*}\]" >/dev/null || fail "SONAME"
[ -f "$prefix/$includedir/eurocall.h" ] || fail "header"
[ -f "$lib/cmake/eurocall/eurocallConfig.cmake" ] || fail "CMake package"
cmp -s "$licence" "$prefix/$docdir/LICENSE" || fail "no $docdir/LICENSE, or not the project's"

# Every consumer must bind the installed library, not the build tree's.
binds_installed() {
  LD_LIBRARY_PATH=$lib ldd "$1" | grep "libeurocall.so.${version%%.*} => $lib/" >/dev/null || fail "$1 does not bind $lib"
}
# What each consumer prints: the at-the-money price, its implied volatility and the
# Heston price of the same option (10.361869020966109 within 1e-7).
check_output() {
  grep -Eq '^BSCall +10\.4505835721855[0-9]*$' <<<"$1" || fail "price in: $1"
  grep -Eq '^BSVol +0\.2000000000000[0-9]*$' <<<"$1" || fail "volatility in: $1"
  grep -Eq '^HestonCall_fast +10\.361869[0-9]*$' <<<"$1" || fail "Heston price in: $1"
}

# C, with pkg-config.
export PKG_CONFIG_PATH=$lib/pkgconfig
[ "$(pkg-config --modversion eurocall)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2086,SC2046
"$cc" $cflags "$examples/c/example.c" $(pkg-config --cflags --libs eurocall) -o "$work/c-example"
binds_installed "$work/c-example"
c_out=$(LD_LIBRARY_PATH=$lib "$work/c-example")
check_output "$c_out"

# C++, with find_package; the build tree's RUNPATH points into the prefix.
cmake -S "$examples/cpp" -B "$work/cpp-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" > "$work/cpp-configure.log"
cmake --build "$work/cpp-build" > "$work/cpp-build.log"
binds_installed "$work/cpp-build/example"
cpp_out=$("$work/cpp-build/example")
check_output "$cpp_out"
[ "$c_out" = "$cpp_out" ] || fail "the C and C++ consumers disagree"

# The installed tool finds the installed library from its own place.
tool=$prefix/$bindir/eurocall
if [ -x "$tool" ]; then
  [ "$(env -u EUROCALL_LIBRARY "$tool" --version 2>/dev/null | sed -n 2p)" = "library $lib/libeurocall.so.${version%%.*}" ] ||
    fail "installed tool: $("$tool" --version 2>&1)"
  env -u EUROCALL_LIBRARY "$tool" bs-call --S 100 --K 100 --T 1 --r 0.05 --vol 0.2 |
    grep -E '^10\.4505835721855[0-9]*$' >/dev/null || fail "installed tool: bs-call"
fi
echo "installed tree at $prefix: library, header, pkg-config, CMake package and tool all work"
