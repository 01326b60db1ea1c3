#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Every source file the project tracks names its licence in its first three lines, so
# that a file copied out of the tree still says under what terms it may be used.
# Exit 77 (skipped) outside a git checkout, where the tracked files cannot be listed.
set -euo pipefail
cd "$1"
command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1 || exit 77
missing=0
while IFS= read -r f; do
  case "$f" in
    fuzz/corpus/*) continue ;;
    *.c | *.cpp | *.h | *.py | *.sh | *.cmake | *CMakeLists.txt | *.in | *.bas | *.def | *.map | *.toml | .ci/run) ;;
    *) continue ;;
  esac
  head -n 3 "$f" | grep -q 'SPDX-License-Identifier: Apache-2.0' || { echo "no SPDX line: $f"; missing=1; }
done < <(git ls-files)
exit "$missing"
