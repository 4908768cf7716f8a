#!/usr/bin/env python3
"""Turns src/foundation/fixed_names.h, the one home of the names the uninstaller finds an installation by
and of the log format's constants, into the NSIS kit's defines and the Wine harness's names.

    fixed_names.py write     -> installer/pxunins_names.nsh, tools/pxwine/fixed_names.py and
                                src/foundation/fixed_names_rc.h
    fixed_names.py check     -> exit code 1, and what differs, while any of them is not what write gives

kGroupName and UninstallLogMagic become PX_GROUP_NAME and PX_UNINSTALL_LOG_MAGIC in NSIS, GROUP_NAME and
UNINSTALL_LOG_MAGIC in Python. The header is read line by line in its three forms:
    #define FIXED_PIECE PIECES                 a piece other lines join; no name of its own
    static const char kName[] = PIECES;        PIECES: "text" and FIXED_ pieces defined above, side by side
    enum { Name = number };  or  enum : uint32_t { Name = number };
The four numbers kVersionMajor ... kVersionBuild also give the version's text, "2.1.0.0" for 2, 1, 0, 0:
PX_VERSION_TEXT in NSIS and VERSION_TEXT in Python, written once here so that no file joins the numbers
itself. windres runs the C preprocessor on a resource script but reads no C declaration, so the version
and the maker reach the resource scripts as the #defines of fixed_names_rc.h.
"""

import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
HEADER = os.path.join(ROOT, "src", "foundation", "fixed_names.h")
NSIS_OUT = os.path.join(ROOT, "installer", "pxunins_names.nsh")
PYTHON_OUT = os.path.join(ROOT, "tools", "pxwine", "fixed_names.py")
RC_OUT = os.path.join(ROOT, "src", "foundation", "fixed_names_rc.h")

VERSION_PARTS = ("kVersionMajor", "kVersionMinor", "kVersionPatch", "kVersionBuild")
# What a version resource shows: the version in numbers and as text, the maker and the copyright line.
RC_NAMES = VERSION_PARTS + ("kVersionText", "kMakerName", "kLegalCopyright")

TEXT = re.compile(r'^static const char (k[A-Za-z0-9]+)\[\] = (.+);$')
PIECE = re.compile(r'^#define (FIXED_[A-Z0-9_]+) (.+)$')
NUMBER = re.compile(r'^enum (?:: uint32_t )?\{ (k?[A-Za-z0-9]+) = (0x[0-9A-Fa-f]+|[0-9]+)u? \};')
TOKEN = re.compile(r'\s*(?:"((?:[^"\\]|\\.)*)"|(FIXED_[A-Z0-9_]+))')
C_ESCAPES = {"\\\\": "\\", '\\"': '"'}


def join_pieces(text, pieces):
    """The value of string literals and pieces side by side, as the C compiler joins them; None when the
    text holds anything else (a piece not defined above, an escape other than \\\\ and \\")."""
    value, at = "", 0
    while at < len(text):
        token = TOKEN.match(text, at)
        if not token or token.end() == at:
            return None
        if token.group(2) is not None:
            if token.group(2) not in pieces:
                return None
            value += pieces[token.group(2)]
        else:
            try:
                value += re.sub(r"\\.", lambda escape: C_ESCAPES[escape.group(0)], token.group(1))
            except KeyError:
                return None
        at = token.end()
    return value


def read_header(path=HEADER):
    """[(C name, value)] in the header's order; a value is a str or an int."""
    names, pieces = [], {}
    with open(path) as stream:
        for number, line in enumerate(stream, 1):
            line = line.rstrip("\n")
            text, piece, value = TEXT.match(line), PIECE.match(line), NUMBER.match(line)
            joined = join_pieces((text or piece).group(2), pieces) if text or piece else None
            if piece and joined is not None:
                pieces[piece.group(1)] = joined
            elif text and joined is not None:
                names.append((text.group(1), joined))
            elif value:
                names.append((value.group(1), int(value.group(2), 0)))
            elif re.match(r"^(static|enum|#define FIXED_)", line):
                raise ValueError("%s:%d: a constant in none of the forms: %s" % (path, number, line.strip()))
    values = dict(names)
    if all(part in values for part in VERSION_PARTS):
        at = [c_name for c_name, _value in names].index(VERSION_PARTS[-1]) + 1
        names.insert(at, ("kVersionText", ".".join(str(values[part]) for part in VERSION_PARTS)))
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


def rc_text(names):
    lines = ["// The product's version and maker for the resource scripts. Written by tools/fixed_names.py from",
             "// src/foundation/fixed_names.h: change them there.",
             "#ifndef FOUNDATION_FIXED_NAMES_RC_H", "#define FOUNDATION_FIXED_NAMES_RC_H"]
    values = dict(names)
    for c_name in RC_NAMES:
        value = values[c_name]
        if isinstance(value, str) and ("\\" in value or '"' in value):
            raise ValueError("%s: a text the resource compiler would read otherwise: %s" % (c_name, value))
        shown = str(value) if isinstance(value, int) else '"%s"' % value
        lines.append("#define PX_%s %s" % (upper_name(c_name), shown))
    lines.append("#endif")
    return "\n".join(lines) + "\n"


def outputs():
    names = read_header()
    return [(NSIS_OUT, nsis_text(names)), (PYTHON_OUT, python_text(names)), (RC_OUT, rc_text(names))]


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
