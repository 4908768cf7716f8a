#!/usr/bin/env python3
"""Fails while a source file spells a fixed name or the uninstall log's magic itself, instead of taking it
from its home: src/foundation/fixed_names.h and what tools/fixed_names.py writes from it.

    fixed_names_spelled.py    -> exit code 1 and "path:line: ..." for each spelling, 0 when there is none

A fixed name counts where a whole string literal equals a text of the header, without regard to case, as
Windows reads these names; the magic counts in the code outside comments, as a number or as its bytes.
Comments, docstrings and other triple-quoted texts are prose and are left alone, and so is a literal that is
the product's name alone, which is a text (an installer's Name, a DisplayName) rather than a name the
uninstaller finds anything by.
"""

import ast
import io
import os
import re
import subprocess
import sys
import tokenize

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fixed_names  # noqa: E402

# The homes; the unit tests, which spell the names on purpose so that a changed header shows; the resource
# scripts, whose version strings describe the file and which windres reads without the header. The
# end-to-end harness under tests/e2e is a tool like the others and is checked.
HOMES = ("src/foundation/fixed_names.h", "installer/pxunins_names.nsh", "tools/pxwine/fixed_names.py",
         "src/foundation/fixed_names_rc.h")
SKIPPED = re.compile(r"^(tests/(?!e2e/)|build/)|\.rc$")

MAGIC = re.compile(r"\b0x0*5749AAE0u?\b|\b1464445664\b|\\xe0\\xaa(\\x49|I)(\\x57|W)", re.IGNORECASE)

C_TOKENS = re.compile(r'//[^\n]*|/\*.*?\*/|"((?:[^"\\\n]|\\.)*)"|\'(?:[^\'\\\n]|\\.)*\'', re.DOTALL)
C_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0"}
# NSIS: ; and # open a comment where a word may start; $\" is the quote inside a string.
NSIS_TOKENS = re.compile(r'(?:(?<=\s)|^)[;#][^\n]*|/\*.*?\*/|"((?:\$\\"|[^"\n])*)"|\'([^\'\n]*)\'|`([^`\n]*)`',
                         re.DOTALL | re.MULTILINE)
SHELL_TOKENS = re.compile(r'(?:(?<=\s)|^)#[^\n]*|"((?:[^"\\\n]|\\.)*)"|\'([^\'\n]*)\'', re.MULTILINE)


def line_of(text, offset):
    return text.count("\n", 0, offset) + 1


def scan(tokens, text, unescape):
    """(literals as [(line, value)], the code without comments and literals) by a token pattern whose
    groups are the bodies of its string forms."""
    literals = []
    for token in tokens.finditer(text):
        body = next((group for group in token.groups() if group is not None), None)
        if body is not None:
            literals.append((line_of(text, token.start()), unescape(body)))
    # A token gives way to its line breaks alone, so that the code keeps its line numbers.
    return literals, tokens.sub(lambda token: " " + "\n" * token.group(0).count("\n"), text)


def c_literals(text):
    return scan(C_TOKENS, text, lambda body: re.sub(r"\\(.)", lambda e: C_ESCAPES.get(e.group(1), e.group(1)), body))


def nsis_literals(text):
    return scan(NSIS_TOKENS, text, lambda body: body.replace('$\\"', '"'))


def shell_literals(text):
    return scan(SHELL_TOKENS, text, lambda body: body)


def python_literals(text):
    literals, code = [], text.count("\n") * [""] + [""]
    for token in tokenize.generate_tokens(io.StringIO(text).readline):
        if token.type in (tokenize.COMMENT, tokenize.NEWLINE, tokenize.NL):
            continue
        if token.type != tokenize.STRING:
            code[token.start[0] - 1] += " " + token.string
            continue
        if re.match(r"^[A-Za-z]*('''|\"\"\")", token.string):
            continue
        try:
            value = ast.literal_eval(token.string)
        except (ValueError, SyntaxError):
            continue
        if isinstance(value, bytes):
            code[token.start[0] - 1] += " " + token.string
            value = value.decode("latin-1")
        literals.append((token.start[0], value))
    return literals, "\n".join(code)


def reader_for(path, text):
    first = text.split("\n", 1)[0] if text.startswith("#!") else ""
    if re.search(r"\.(c|cc|cpp|h|hpp)$", path):
        return c_literals
    if re.search(r"\.ns[hi]$", path):
        return nsis_literals
    if path.endswith(".py") or "python" in first:
        return python_literals
    if re.search(r"(\.sh|\.cmake|CMakeLists\.txt)$", path) or first.endswith("sh"):
        return shell_literals
    return None


def spellings(root):
    names = fixed_names.read_header()
    product = dict(names)["kGroupName"].lower()
    texts = {}
    for c_name, value in names:
        if isinstance(value, str) and value.lower() != product:
            texts.setdefault(value.lower(), c_name)
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=root, capture_output=True, text=True, check=True)
    findings = []
    for path in listed.stdout.split("\0"):
        if not path or path in HOMES or SKIPPED.search(path):
            continue
        try:
            with open(os.path.join(root, path), encoding="utf-8") as stream:
                text = stream.read()
        except (OSError, UnicodeDecodeError):
            continue
        reader = reader_for(path, text)
        if reader is None:
            continue
        literals, code = reader(text)
        for line, value in literals:
            if value.lower() in texts:
                findings.append('%s:%d: "%s" is %s of %s' % (path, line, value, texts[value.lower()], HOMES[0]))
        for magic in MAGIC.finditer(code):
            findings.append("%s:%d: %s is the log's magic, UninstallLogMagic of %s"
                            % (path, line_of(code, magic.start()), magic.group(0), HOMES[0]))
    return findings


def main():
    findings = spellings(fixed_names.ROOT)
    for finding in findings:
        print(finding)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
