#!/usr/bin/env python3
"""Writes the seed corpus of the log fuzzer: sound logs and one of each refusal."""
import os
import struct
import sys


def header(count, magic=0x5749AAE0, second=0):
    return struct.pack("<IIi", magic, second, count)  # magic, second word, entry count


def entry(kind, path, length=None):
    data = path.encode("latin-1")
    return struct.pack("<Ii", kind, len(data) if length is None else length) + data


SEEDS = {
    "empty-count": header(0),
    "negative-count": header(-1) + entry(0, "C:\\x"),
    "folder-and-file": header(2) + entry(1, "C:\\X") + entry(0, "C:\\X\\a.txt"),
    "longest-path": header(1) + entry(0, "p" * 259),
    "too-long-path": header(1) + entry(0, "p" * 260),
    "kind-2": header(1) + entry(2, "a"),
    "length-0": header(1) + entry(0, "", 0),
    "length-minus-1": header(1) + entry(0, "a", -1),
    "short-header": header(0)[:11],
    "reversed-magic": header(0, magic=0xE0AA4957),
    "second-word": header(0, second=1),
    "count-beyond": header(3) + entry(0, "a") + entry(0, "b"),
    "trailing-bytes": header(1) + entry(0, "a") + b"\xff" * 7,
    "nul-in-path": header(1) + entry(0, "ab\0cd"),
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
