#!/usr/bin/env python3
"""Writes the seed corpus of the log fuzzer: sound logs and one of each refusal."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from pxwine.uninstall_log import (ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE,  # noqa: E402
                                  UNINSTALL_LOG_MAGIC, LogBuilder, sound_log)


SEEDS = {
    "empty-count": sound_log([]),
    "negative-count": LogBuilder().header(-1).entry(ENTRY_KIND_FILE, "C:\\x").bytes(),
    "folder-and-file": sound_log([(ENTRY_KIND_DIRECTORY, "C:\\X"), (ENTRY_KIND_FILE, "C:\\X\\a.txt")]),
    "longest-path": sound_log([(ENTRY_KIND_FILE, "p" * 259)]),
    "too-long-path": LogBuilder().header(1).entry(ENTRY_KIND_FILE, "p" * 260).bytes(),
    "kind-2": LogBuilder().header(1).entry(2, "a").bytes(),
    "length-0": LogBuilder().header(1).u32(ENTRY_KIND_FILE).i32(0).bytes(),
    "length-minus-1": LogBuilder().header(1).u32(ENTRY_KIND_FILE).i32(-1).raw(b"a").bytes(),
    "short-header": sound_log([])[:11],
    "reversed-magic": LogBuilder().header(0, magic=0xE0AA4957).bytes(),
    "second-word": LogBuilder().header(0, magic=UNINSTALL_LOG_MAGIC, second=1).bytes(),
    "count-beyond": LogBuilder().header(3).entry(ENTRY_KIND_FILE, "a").entry(ENTRY_KIND_FILE, "b").bytes(),
    "trailing-bytes": LogBuilder().header(1).entry(ENTRY_KIND_FILE, "a").raw(b"\xff" * 7).bytes(),
    "nul-in-path": LogBuilder().header(1).entry(ENTRY_KIND_FILE, "ab\0cd").bytes(),
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
