#!/usr/bin/env python3
"""Turns src/foundation/fixed_names.h, the one home of the names the uninstaller finds an installation by
and of the log format's constants, into the NSIS kit's defines and the Wine harness's names.

    fixed_names.py write     -> installer/pxunins_names.nsh and tools/pxwine/fixed_names.py
    fixed_names.py check     -> exit code 1, and what differs, while either file is not what write gives

kGroupName and UninstallLogMagic become PX_GROUP_NAME and PX_UNINSTALL_LOG_MAGIC in NSIS, GROUP_NAME and
UNINSTALL_LOG_MAGIC in Python. The header is read line by line in its two forms:
    static const char kName[] = "text";
    enum { Name = number };  or  enum : uint32_t { Name = number };
"""

import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
HEADER = os.path.join(ROOT, "src", "foundation", "fixed_names.h")
NSIS_OUT = os.path.join(ROOT, "installer", "pxunins_names.nsh")
PYTHON_OUT = os.path.join(ROOT, "tools", "pxwine", "fixed_names.py")

TEXT = re.compile(r'^static const char (k[A-Za-z0-9]+)\[\] = "((?:[^"\\]|\\.)*)";')
NUMBER = re.compile(r'^enum (?:: uint32_t )?\{ (k?[A-Za-z0-9]+) = (0x[0-9A-Fa-f]+|[0-9]+)u? \};')
C_ESCAPES = {"\\\\": "\\", '\\"': '"'}


def read_header(path=HEADER):
    """[(C name, value)] in the header's order; a value is a str or an int."""
    names = []
    with open(path) as stream:
        for number, line in enumerate(stream, 1):
            text, value = TEXT.match(line), NUMBER.match(line)
            if text:
                body = re.sub(r'\\.', lambda escape: C_ESCAPES[escape.group(0)], text.group(2))
                names.append((text.group(1), body))
            elif value:
                names.append((value.group(1), int(value.group(2), 0)))
            elif re.match(r"^(static|enum)\b", line):
                raise ValueError("%s:%d: a constant in neither form: %s" % (path, number, line.strip()))
    return names


def upper_name(c_name):
    """kAppPathKey -> APP_PATH_KEY, UninstallLogMagic -> UNINSTALL_LOG_MAGIC."""
    if re.match(r"^k[A-Z]", c_name):
        c_name = c_name[1:]
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", c_name).upper()


def nsis_text(names):
    lines = ["; The names the uninstaller finds the installation by and the log format's constants. Written",
             "; by tools/fixed_names.py from src/foundation/fixed_names.h: change them there.",
             "!ifndef PXUNINS_NAMES_NSH", "!define PXUNINS_NAMES_NSH"]
    for c_name, value in names:
        if isinstance(value, int):
            shown = "0x%08X" % value if value > 0xFFFF else str(value)
        else:
            if "$" in value or '"' in value:
                raise ValueError("%s: a name NSIS would read otherwise: %s" % (c_name, value))
            shown = '"%s"' % value
        lines.append("!define PX_%s %s" % (upper_name(c_name), shown))
    lines.append("!endif")
    return "\n".join(lines) + "\n"


def python_text(names):
    lines = ['"""The names the uninstaller finds the installation by and the log format\'s constants. Written by',
             "tools/fixed_names.py from src/foundation/fixed_names.h: change them there.", '"""', ""]
    for c_name, value in names:
        shown = ("0x%08X" % value if value > 0xFFFF else str(value)) if isinstance(value, int) else repr(value)
        lines.append("%s = %s" % (upper_name(c_name), shown))
    return "\n".join(lines) + "\n"


def outputs():
    names = read_header()
    return [(NSIS_OUT, nsis_text(names)), (PYTHON_OUT, python_text(names))]


def main(argv):
    if len(argv) != 2 or argv[1] not in ("write", "check"):
        print(__doc__, file=sys.stderr)
        return 2
    stale = []
    for path, text in outputs():
        current = open(path).read() if os.path.exists(path) else None
        if current == text:
            continue
        if argv[1] == "write":
            with open(path, "w") as stream:
                stream.write(text)
        else:
            stale.append(os.path.relpath(path, ROOT))
    if stale:
        print("not what %s gives: %s; run tools/fixed_names.py write"
              % (os.path.relpath(HEADER, ROOT), ", ".join(stale)), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
