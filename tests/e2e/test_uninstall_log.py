#!/usr/bin/env python3
"""Checks the log builder byte for byte: a builder that wrote the magic the wrong way round would turn every
"malformed log" scenario into a pass for the wrong reason."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from pxwine.uninstall_log import (ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, LogBuilder,  # noqa: E402
                                  sound_log)

ROWS = [
    # name, built, expected bytes
    ("folder then file, 42 bytes",
     sound_log([(ENTRY_KIND_DIRECTORY, "C:\\X"), (ENTRY_KIND_FILE, "C:\\X\\a.txt")]),
     bytes([0xE0, 0xAA, 0x49, 0x57, 0, 0, 0, 0, 2, 0, 0, 0,
            1, 0, 0, 0, 4, 0, 0, 0]) + b"C:\\X"
     + bytes([0, 0, 0, 0, 10, 0, 0, 0]) + b"C:\\X\\a.txt"),
    ("empty log, header only",
     sound_log([]),
     bytes([0xE0, 0xAA, 0x49, 0x57, 0, 0, 0, 0, 0, 0, 0, 0])),
    ("negative count, signed",
     LogBuilder().header(-1).bytes(),
     bytes([0xE0, 0xAA, 0x49, 0x57, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF])),
    ("kind above 1 and negative length",
     LogBuilder().u32(2).i32(-1).bytes(),
     bytes([2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF])),
    ("path in the Western code page",
     LogBuilder().entry(ENTRY_KIND_FILE, "C:\\\u00e9").bytes(),
     bytes([0, 0, 0, 0, 4, 0, 0, 0]) + b"C:\\\xe9"),
]


class UninstallLogBuilderTest(unittest.TestCase):
    def test_rows(self):
        for name, built, expected in ROWS:
            with self.subTest(name):
                self.assertEqual(built.hex(" "), expected.hex(" "))


if __name__ == "__main__":
    unittest.main()
