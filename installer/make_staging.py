#!/usr/bin/env python3
"""Writes the sample application the reference installer ships, the same one scripts/demo shows:

    make_staging.py OUT [--localized]   -> OUT/Plexitone/... (the payload) and OUT/pxpipe.drv (the driver)

The payload is the application's files of pxwine.installation and the demo's sample library, with
ASCII names, which every code page holds. --localized adds the Japanese help and samples of a
translated edition, for a Unicode installer on machines of code page 932.
"""

import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "demo"))
sys.dont_write_bytecode = True

import demo  # noqa: E402
import pxwine.installation as installation  # noqa: E402

DRIVER_CONTENT = b"MZ plexitone pipe driver\r\n"
# "ヘルプ" (help) and "ソフト音源\表.txt" (software sounds, table): 表 is 95 5C in Shift-JIS, a trail byte
# that is a backslash, which a byte-wise reading of the path would take for a separator.
LOCALIZED_FILES = [
    ("Help\\\u30d8\u30eb\u30d7.chm", b"ITSF help\r\n"),
    ("\u30bd\u30d5\u30c8\u97f3\u6e90\\\u8868.txt", b"sound table\r\n"),
]


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        stream.write(content)


def main(argv):
    if len(argv) not in (2, 3) or len(argv) == 3 and argv[2] != "--localized":
        print("usage: make_staging.py OUT [--localized]", file=sys.stderr)
        return 2
    out = argv[1]
    payload = os.path.join(out, "Plexitone")
    # A file left from an earlier payload would be installed too.
    if os.path.exists(payload):
        shutil.rmtree(payload)
    localized = LOCALIZED_FILES if "--localized" in argv else []
    for relative, content in list(installation.APPLICATION_FILES) + localized:
        write(os.path.join(payload, *relative.split("\\")), content)
    for index in range(demo.SAMPLE_COUNT):
        write(os.path.join(payload, *demo.SAMPLE_LIBRARY.split("\\"), "sound%03d.wav" % index),
              b"RIFF sample %03d\r\n" % index)
    write(os.path.join(out, installation.DRIVER_NAME), DRIVER_CONTENT)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
