#!/usr/bin/env bash
# Compares the uninstaller with a second build of it from scratch, byte for byte: no timestamp, path or
# order of the build may leak into the exe. The second build is the release's (scripts/release builds it in
# build/release/win32, a folder of its own, with the preset's settings; release_signed runs it first).
# Usage: check_reproducible.sh FIRST_EXE SECOND_EXE
set -euo pipefail
first="$1"
second="$2"
if cmp "$first" "$second"; then
    echo "1 passed, 0 failed"
else
    echo "the second build differs from the first"
    echo "0 passed, 1 failed"
    exit 1
fi
