"""Writes and reads "_pxunins.dat", the uninstall log, for the end-to-end tests, the demo, the benchmark and
the fuzz seeds. (The fuzzer's reference reader in tests/fuzz is a second, independent reading on purpose.)

Every number is a 32-bit little-endian integer; nothing is padded or aligned. A sound log is built with
sound_log(); a malformed one is spelled out field by field with LogBuilder, so each test shows the one
field it breaks.
"""

import struct

from pxwine.fixed_names import ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, UNINSTALL_LOG_MAGIC  # noqa: F401
from pxwine.fixed_names import LOG_COUNT_OFFSET, LOG_ENTRY_HEAD_SIZE, LOG_HEADER_SIZE
from pxwine.fixed_names import LOG_FILE_NAME as LOG_NAME  # noqa: F401

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

    def header(self, count, magic=UNINSTALL_LOG_MAGIC, second=0):
        self.u32(magic)                # magic
        self.u32(second)               # second header word: must be 0
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


def read_entries(data, encoding=PATH_ENCODING):
    """The (kind, path) pairs of a sound log, in file order; encoding None leaves each path as its bytes."""
    count = struct.unpack_from("<i", data, LOG_COUNT_OFFSET)[0]
    offset = LOG_HEADER_SIZE
    entries = []
    for _ in range(max(count, 0)):
        kind, length = struct.unpack_from("<Ii", data, offset)
        path = data[offset + LOG_ENTRY_HEAD_SIZE:offset + LOG_ENTRY_HEAD_SIZE + length]
        entries.append((kind, path if encoding is None else path.decode(encoding)))
        offset += LOG_ENTRY_HEAD_SIZE + length
    return entries
