"""The INI files of the Windows folder that the clean-up and the restart read and write: "system.ini" with
the consumer line's MIDI driver list, "wininit.ini" with its deletions at the next restart.

    read_ini(path) -> [(section, [lines])];  write_ini(path, sections);  set_ini_lines(path, section, lines)
    system_ini(prefix), wininit_ini(prefix)   where they lie on the disk
"""

import os

from pxwine import fixed_names as names
from pxwine.paths import unix_path
from pxwine.product import WINDOWS_DIR

# The profile API reads and writes these in the ANSI code page; the prefixes use its Western page.
INI_ENCODING = "cp1252"


def read_ini(path):
    """[(section, [lines])] in file order; blank lines dropped, every other line kept as it is."""
    sections = []
    if not os.path.exists(path):
        return sections
    with open(path, "rb") as stream:
        text = stream.read().decode(INI_ENCODING)
    for raw in text.splitlines():
        line = raw.strip()
        if not line:
            continue
        if line.startswith("[") and line.endswith("]"):
            sections.append((line[1:-1], []))
        elif sections:
            sections[-1][1].append(line)
        else:
            sections.append(("", [line]))
    return sections


def write_ini(path, sections):
    with open(path, "wb") as stream:
        for section, lines in sections:
            stream.write(("[%s]\r\n" % section).encode(INI_ENCODING))
            for line in lines:
                stream.write((line + "\r\n").encode(INI_ENCODING))


def set_ini_lines(path, section, lines):
    """Replaces (or adds) one section and keeps every other one; lines None drops it."""
    sections = [(name, body) for name, body in read_ini(path) if name.lower() != section.lower()]
    if lines is not None:
        sections.append((section, list(lines)))
    write_ini(path, sections)


def system_ini(prefix):
    return unix_path(prefix, WINDOWS_DIR + "\\" + names.SYSTEM_INI_FILE)


def wininit_ini(prefix):
    return unix_path(prefix, WINDOWS_DIR + "\\wininit.ini")
