#!/usr/bin/env bash
# Builds the uninstaller a second time from scratch and compares it byte for byte with the
# first: no timestamp, path or order of the build may leak into the exe.
# Usage: check_reproducible.sh SOURCE_DIR FIRST_EXE
set -euo pipefail
source_dir="$1"
first="$2"
second_dir="$(mktemp -d /tmp/pxunins-repro.XXXXXX)"
trap 'rm -rf "$second_dir"' EXIT
cmake -S "$source_dir" -B "$second_dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$second_dir" --target pxunins >/dev/null
if cmp "$first" "$second_dir/pxunins.exe"; then
    echo "1 passed, 0 failed"
else
    echo "the second build differs from the first"
    echo "0 passed, 1 failed"
    exit 1
fi
