#!/usr/bin/env python3
"""Reads a Windows program's version resource (VS_VERSION_INFO) as the file's properties show it: the
uninstaller's, pxlog's and the installers' alike.

    version_info.py FILE [NAME]    -> every string, "Name: text" a line; with NAME that string's text alone
    read(data)                      -> (VS_FIXEDFILEINFO fields, {string name: text}), or None

The resource is found by its key, "VS_VERSION_INFO" in UTF-16, in the file's bytes: one such key a file,
which is so in every file of ours (the resource compiler and makensis write one).
"""

import struct
import sys

VERSION_KEY = "VS_VERSION_INFO".encode("utf-16-le")


def version_node(data, offset):
    """One node of the version tree: (key, value bytes, children); every node starts on a 32-bit
    boundary of the resource and holds wLength, wValueLength, wType, the key in UTF-16 with its NUL."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    position = (key_end + 2 + 3) & ~3
    size = value_length * 2 if value_type == 1 else value_length  # text values count characters
    value = data[position:position + size]
    position = (position + size + 3) & ~3
    children = []
    while position + 6 <= end:
        child = version_node(data, position)
        children.append(child)
        position = (position + struct.unpack_from("<H", data, position)[0] + 3) & ~3
    return key, value, children


def read(data):
    """(VS_FIXEDFILEINFO fields, {string name: text}) of the file's version resource, or None."""
    found = data.find(VERSION_KEY)
    if found < 6:
        return None
    _key, fixed, children = version_node(data, found - 6)
    strings = {}
    for key, _value, tables in children:
        if key == "StringFileInfo":
            for _table, _empty, values in tables:
                for name, text, _none in values:
                    strings[name] = text.decode("utf-16-le").rstrip("\0")
    fields = struct.unpack_from("<13I", fixed) if len(fixed) >= 52 else None
    return fields, strings


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as stream:
        resource = read(stream.read())
    if resource is None:
        print("%s: no version resource" % argv[1], file=sys.stderr)
        return 1
    strings = resource[1]
    if len(argv) == 3:
        if argv[2] not in strings:
            print("%s: no %s in the version resource" % (argv[1], argv[2]), file=sys.stderr)
            return 1
        print(strings[argv[2]])
    else:
        for name, text in strings.items():
            print("%s: %s" % (name, text))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
