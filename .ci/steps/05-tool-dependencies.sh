#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The command-line host parses its arguments with CLI11 and calibrates with GSL; the installed-tree test builds
# its C consumer with pkg-config; the drawing tests render the smile's SVG with
# rsvg-convert, in DejaVu Sans (the face the layout's width estimates assume), and read
# the picture back with libpng. All of them are in scripts/install-deps.sh's own list
# too, because the Quick start runs it with no arguments: a package that the default
# preset needs belongs there, not only here.
set -euo pipefail
scripts/install-deps.sh libcli11-dev libgsl-dev pkg-config librsvg2-bin fonts-dejavu-core libpng-dev
