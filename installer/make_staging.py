#!/usr/bin/env python3
"""Writes the sample application the reference installer ships, the same one scripts/demo shows:

    make_staging.py OUT   -> OUT/Plexitone/... (the payload) and OUT/pxpipe.drv (the pipe driver)

The payload is the application's files of pxwine.installation and the demo's sample library. Its
names are ASCII: makensis keeps a script's other bytes in the code page of the machine that builds it.
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


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        stream.write(content)


def main(argv):
    if len(argv) != 2:
        print("usage: make_staging.py OUT", file=sys.stderr)
        return 2
    out = argv[1]
    payload = os.path.join(out, "Plexitone")
    # A file left from an earlier payload would be installed too.
    if os.path.exists(payload):
        shutil.rmtree(payload)
    for relative, content in installation.APPLICATION_FILES:
        write(os.path.join(payload, *relative.split("\\")), content)
    for index in range(demo.SAMPLE_COUNT):
        write(os.path.join(payload, *demo.SAMPLE_LIBRARY.split("\\"), "sound%03d.wav" % index),
              b"RIFF sample %03d\r\n" % index)
    write(os.path.join(out, installation.DRIVER_NAME), DRIVER_CONTENT)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
