"""Reads and writes the registry of the test prefix through Wine's own regedit.

Reading: one `regedit /e` of the whole registry per snapshot (about a second), parsed here. The hive
files (system.reg, user.reg) are not read: the session keeps one wineserver for the whole run, and it
writes them only now and then, so they may lag behind what a program just changed. regedit asks the
server itself and sees every change the moment it is made.

Writing: one `regedit /s` of a generated .reg file per batch of changes; a key or value that starts with
'-' is deleted. The file is in regedit's Unicode format, so REG_MULTI_SZ and REG_EXPAND_SZ data keep
Wine's own UTF-16 layout.

In a 64-bit prefix `wine regedit` is the 32-bit regedit: its writes land where a 32-bit installer's do
(HKLM\\Software\\Wow6432Node), so staging writes keys as our programs name them. The export there is
made by the 64-bit regedit (`wine64`), which sees both views: the 64-bit keys and Wow6432Node below them.
"""

import os
import shutil
import subprocess
import tempfile

from pxwine.paths import windows_path

REG_SZ = 1
REG_EXPAND_SZ = 2
REG_BINARY = 3
REG_DWORD = 4
REG_MULTI_SZ = 7

ROOTS = {
    "HKLM": "HKEY_LOCAL_MACHINE",
    "HKCU": "HKEY_CURRENT_USER",
    "HKCR": "HKEY_CLASSES_ROOT",
    "HKU": "HKEY_USERS",
}

REGEDIT_TIMEOUT_SECONDS = 120
# Debian's wine64 package keeps the 64-bit loader off PATH; `wine` is the 32-bit one.
WINE64 = shutil.which("wine64") or "/usr/lib/wine/wine64"


def full_key(path):
    """"HKLM\\Software\\X" -> "HKEY_LOCAL_MACHINE\\Software\\X"; full root names pass unchanged."""
    root, _, rest = path.partition("\\")
    root = ROOTS.get(root.upper(), root)
    return root + ("\\" + rest if rest else "")


def normal_key(path):
    """The registry compares key and value names without regard to case; so does every lookup here."""
    return full_key(path).lower()


def run_regedit(arguments, environment, both_views=False):
    loader = WINE64 if both_views and environment.get("WINEARCH") == "win64" else "wine"
    result = subprocess.run([loader, "regedit"] + arguments, env=environment, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            timeout=REGEDIT_TIMEOUT_SECONDS, check=False)
    if result.returncode != 0:
        raise RuntimeError("regedit %s ended with %d: %s"
                           % (" ".join(arguments), result.returncode, result.stdout.decode(errors="replace")))


# ---------------------------------------------------------------------------------------------------------
# Values


class Value:
    """One registry value: its type and its data as the bytes Windows stores (REG_DWORD: 4 bytes)."""

    def __init__(self, kind, data):
        self.kind = kind
        self.data = bytes(data)

    def __eq__(self, other):
        return isinstance(other, Value) and (self.kind, self.data) == (other.kind, other.data)

    def __hash__(self):
        return hash((self.kind, self.data))

    def __repr__(self):
        if self.kind in (REG_SZ, REG_EXPAND_SZ):
            return "%s(%r)" % ({REG_SZ: "REG_SZ", REG_EXPAND_SZ: "REG_EXPAND_SZ"}[self.kind], self.text())
        if self.kind == REG_DWORD and len(self.data) == 4:
            return "REG_DWORD(%d)" % self.number()
        if self.kind == REG_MULTI_SZ:
            return "REG_MULTI_SZ(%r)" % (self.strings(),)
        return "type %d (%s)" % (self.kind, self.data.hex())

    def text(self):
        """The string of a REG_SZ or REG_EXPAND_SZ value, without its terminating NUL."""
        return self.data.decode("utf-16-le").split("\0", 1)[0]

    def number(self):
        return int.from_bytes(self.data, "little")

    def strings(self):
        """The strings of a REG_MULTI_SZ, empty ones included (a delayed deletion has an empty target);
        the final empty string that ends the list is not one of them."""
        text = self.data.decode("utf-16-le")
        if text.endswith("\0\0"):
            text = text[:-1]
        return text.split("\0")[:-1] if text else []


def sz(text):
    return Value(REG_SZ, (text + "\0").encode("utf-16-le"))


def expand_sz(text):
    return Value(REG_EXPAND_SZ, (text + "\0").encode("utf-16-le"))


def dword(number):
    return Value(REG_DWORD, number.to_bytes(4, "little"))


def multi_sz(strings):
    return Value(REG_MULTI_SZ, "".join(s + "\0" for s in strings).encode("utf-16-le") + b"\0\0")


# ---------------------------------------------------------------------------------------------------------
# Reading


def unquote(text, start):
    """Reads a quoted string of a .reg file from text[start] == '"'; returns (string, index after it)."""
    assert text[start] == '"'
    out = []
    index = start + 1
    while index < len(text):
        char = text[index]
        if char == "\\" and index + 1 < len(text):
            following = text[index + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(following, following))
            index += 2
        elif char == '"':
            return "".join(out), index + 1
        else:
            out.append(char)
            index += 1
    raise ValueError("unterminated string in %r" % text)


def parse_data(data):
    if data.startswith('"'):
        text, _ = unquote(data, 0)
        return sz(text)
    if data.startswith("dword:"):
        return dword(int(data[6:], 16))
    if data.startswith("hex"):
        kind = REG_BINARY
        head, _, body = data.partition(":")
        if head != "hex":
            kind = int(head[4:-1], 16)   # hex(N): N is the type in hexadecimal
        body = body.replace(" ", "")
        return Value(kind, bytes(int(part, 16) for part in body.split(",") if part))
    raise ValueError("cannot read value data %r" % data)


def parse_export(text):
    """A regedit export -> {normal key path: {normal value name (default value: ""): Value}}.
    Names are kept in lower case: Windows finds them in any case, and so must a comparison."""
    keys = {}
    current = None
    lines = text.splitlines()
    index = 0
    while index < len(lines):
        line = lines[index]
        index += 1
        # A long value goes on over lines that end in a backslash.
        while line.endswith("\\") and index < len(lines):
            line = line[:-1] + lines[index].strip()
            index += 1
        if not line or line.startswith(";") or line.startswith("Windows Registry Editor") \
                or line == "REGEDIT4":
            continue
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1].lower(), {})
            continue
        if current is None:
            continue
        if line.startswith("@="):
            name, data = "", line[2:]
        else:
            name, after = unquote(line, 0)
            assert line[after] == "=", line
            data = line[after + 1:]
        current[name.lower()] = parse_data(data)
    return keys


def export_registry(environment, scratch_dir):
    """The whole registry of the prefix, read through the running wineserver; both views in a 64-bit one."""
    handle, path = tempfile.mkstemp(prefix="registry-", suffix=".reg", dir=scratch_dir)
    os.close(handle)
    try:
        run_regedit(["/e", windows_path(path)], environment, both_views=True)
        with open(path, "rb") as stream:
            raw = stream.read()
    finally:
        os.remove(path)
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("cp1252")
    return current_user_named(parse_export(text))


def export_keys(environment, scratch_dir, keys):
    """Only the given keys with everything below them, one regedit /e each (a tenth of a second, where the
    whole registry takes one to eight): {normal key path: {name: Value}}, HKCU under its own name. A key
    that does not exist is left out; in a 64-bit prefix a key below Wow6432Node names the 32-bit view."""
    found = {}
    for key in keys:
        handle, path = tempfile.mkstemp(prefix="key-", suffix=".reg", dir=scratch_dir)
        os.close(handle)
        try:
            try:
                run_regedit(["/e", windows_path(path), full_key(key)], environment, both_views=True)
            except RuntimeError as error:
                if "Unable to open the registry key" in str(error):
                    continue
                raise
            with open(path, "rb") as stream:
                raw = stream.read()
        finally:
            os.remove(path)
        found.update(parse_export(raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff")
                                  else raw.decode("cp1252")))
    return found


def current_user_named(keys):
    """A whole export shows HKEY_CURRENT_USER only as the user's tree under HKEY_USERS (Wine's one user is
    S-1-5-21-0-0-0-1000); it is listed here under its usual name as well."""
    users = [path for path in keys if path.startswith("hkey_users\\s-1-5-21-") and path.count("\\") == 1]
    if len(users) != 1:
        raise RuntimeError("expected one user under HKEY_USERS, found %s" % users)
    user = users[0]
    named = dict(keys)
    for path, values in keys.items():
        if path == user or path.startswith(user + "\\"):
            named["hkey_current_user" + path[len(user):]] = values
    return named


# ---------------------------------------------------------------------------------------------------------
# Writing


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def format_value(value):
    if value.kind == REG_SZ:
        return quote(value.text())
    if value.kind == REG_DWORD and len(value.data) == 4:
        return "dword:%08x" % value.number()
    head = "hex" if value.kind == REG_BINARY else "hex(%x)" % value.kind
    return head + ":" + ",".join("%02x" % byte for byte in value.data)


class RegFile:
    """A batch of changes, applied in the order they were added by one regedit import."""

    def __init__(self):
        self._lines = ["Windows Registry Editor Version 5.00", ""]

    def delete_key(self, path):
        """Deletes the key with everything below it (regedit does this on every Windows version)."""
        self._lines += ["[-%s]" % full_key(path), ""]
        return self

    def set_values(self, path, values):
        """Creates the key with its parents; values maps a name ("" for the default) to a Value, or to
        None to delete that value."""
        self._lines.append("[%s]" % full_key(path))
        for name, value in values.items():
            target = "@" if name == "" else quote(name)
            self._lines.append("%s=%s" % (target, "-" if value is None else format_value(value)))
        self._lines.append("")
        return self

    def extend(self, other):
        self._lines += other._lines[2:]
        return self

    def text(self):
        return "\r\n".join(self._lines) + "\r\n"

    def apply(self, environment, scratch_dir):
        handle, path = tempfile.mkstemp(prefix="changes-", suffix=".reg", dir=scratch_dir)
        with os.fdopen(handle, "wb") as stream:
            stream.write(b"\xff\xfe" + self.text().encode("utf-16-le"))
        try:
            run_regedit(["/s", windows_path(path)], environment)
        finally:
            os.remove(path)
