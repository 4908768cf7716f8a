"""Writes "_pxunins.dat" files for the end-to-end scenarios, one field at a time.

Every number is a 32-bit little-endian integer; nothing is padded or aligned. A sound log is built with
sound_log(); a malformed one is spelled out field by field with LogBuilder, so each test shows the one
field it breaks.
"""

import struct

UNINSTALL_LOG_MAGIC = 0x5749AAE0  # on disk E0 AA 49 57
ENTRY_KIND_FILE = 0
ENTRY_KIND_DIRECTORY = 1

# The installer writes paths in the system's ANSI code page; the scenarios use its Western page.
PATH_ENCODING = "cp1252"


class LogBuilder:
    """Appends fields in file order; bytes() gives the file."""

    def __init__(self):
        self._data = bytearray()

    def u32(self, value):
        self._data += struct.pack("<I", value & 0xFFFFFFFF)
        return self

    def i32(self, value):
        self._data += struct.pack("<i", value)
        return self

    def raw(self, data):
        self._data += data
        return self

    def header(self, count):
        self.u32(UNINSTALL_LOG_MAGIC)  # magic
        self.u32(0)                    # second header word: must be 0
        self.i32(count)                # entry count, signed; 0 or less lists nothing
        return self

    def entry(self, kind, path):
        encoded = path.encode(PATH_ENCODING)
        self.u32(kind)                 # kind: 0 file, 1 folder; 2 and above refused
        self.i32(len(encoded))         # path length: 1 to 259 bytes
        self.raw(encoded)              # the path, no NUL, no padding
        return self

    def bytes(self):
        return bytes(self._data)


def sound_log(entries):
    """A valid log of (kind, path) pairs, in file order (the uninstaller removes them last first)."""
    builder = LogBuilder().header(len(entries))
    for kind, path in entries:
        builder.entry(kind, path)
    return builder.bytes()
