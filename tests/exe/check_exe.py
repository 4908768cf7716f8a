#!/usr/bin/env python3
"""Reads the built uninstaller's PE headers and checks what it promises to whoever runs it:
DEP and ASLR, no timestamp, a GUI program with its manifest, stripped, small, and imports from
KnownDLLs only, which Windows always takes from its system folder, so that a DLL planted beside
it is never loaded in their place before the program can narrow the search (the common controls
are loaded at run time); and the version resource that the file's properties show.

    check_exe.py PXUNINS.EXE [OBJDUMP]      every check
    check_exe.py --version-only EXE         the version resource alone (pxlog.exe, the installers)"""
import os
import re
import subprocess
import sys

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)
import version_info  # noqa: E402
from pxwine import fixed_names as names  # noqa: E402

KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll"}
MAX_SIZE = 60 * 1024  # the hand-off and the link-proof walk took it past 40 KiB, the silent run and its report past 48, the version resource past 56
FIXED_SIGNATURE = 0xFEEF04BD
VOS__WINDOWS32 = 4
VFT_APP = 1


def check_version(data, check):
    resource = version_info.read(data)
    check("version resource present", resource is not None and resource[0] is not None, "none found")
    if resource is None or resource[0] is None:
        return
    fields, strings = resource
    (signature, _struct_version, file_ms, file_ls, product_ms, product_ls, _mask, _flags, file_os,
     file_type, _subtype, _date_ms, _date_ls) = fields
    check("version: VS_FIXEDFILEINFO signature", signature == FIXED_SIGNATURE, hex(signature))
    check("version: an application for Win32 of both lines", file_os == VOS__WINDOWS32 and file_type == VFT_APP,
          "FILEOS 0x%x, FILETYPE %d" % (file_os, file_type))
    check("version: the maker", strings.get("CompanyName") == names.MAKER_NAME, repr(strings.get("CompanyName")))
    check("version: product Plexitone", strings.get("ProductName") == "Plexitone", repr(strings.get("ProductName")))
    check("version: a file description", bool(strings.get("FileDescription")), repr(strings))
    check("version: the product's, " + names.VERSION_TEXT, strings.get("ProductVersion") == names.VERSION_TEXT
          and strings.get("FileVersion") == names.VERSION_TEXT, repr(strings))
    check("version: the copyright line", strings.get("LegalCopyright") == names.LEGAL_COPYRIGHT,
          repr(strings.get("LegalCopyright")))

    def dotted(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    check("version: file version text equals the number", strings.get("FileVersion") == dotted(file_ms, file_ls),
          "%r against %s" % (strings.get("FileVersion"), dotted(file_ms, file_ls)))
    check("version: product version text equals the number",
          strings.get("ProductVersion") == dotted(product_ms, product_ls),
          "%r against %s" % (strings.get("ProductVersion"), dotted(product_ms, product_ls)))
    print("version %s: %s" % (strings.get("FileVersion"), strings.get("FileDescription")))


def main_version_only(exe):
    failures = []

    def check(name, ok, detail=""):
        print(("PASS " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
        if not ok:
            failures.append(name)
    check_version(open(exe, "rb").read(), check)
    print("%d failed" % len(failures))
    return 1 if failures else 0


def main(exe, objdump):
    headers = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    symbols = subprocess.run([objdump, "-t", exe], capture_output=True, text=True).stdout
    data = open(exe, "rb").read()
    failures = []

    def check(name, ok, detail=""):
        print(("PASS " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
        if not ok:
            failures.append(name)

    characteristics = int(re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    check("DEP (NX compatible)", characteristics & 0x0100 != 0, hex(characteristics))
    check("ASLR (dynamic base)", characteristics & 0x0040 != 0, hex(characteristics))
    stamp = re.search(r"^Time/Date\s+(.*)$", headers, re.M).group(1).strip()
    check("no timestamp", stamp.startswith("Thu Jan  1 00:00:00 1970") or stamp == "00000000", stamp)
    subsystem = re.search(r"^Subsystem\s+([0-9a-fA-F]+)", headers, re.M).group(1)
    check("GUI subsystem", int(subsystem, 16) == 2, subsystem)
    check("32-bit x86", "file format pei-i386" in headers, "not pei-i386")
    check("relocations kept for ASLR", ".reloc" in subprocess.run(
        [objdump, "-h", exe], capture_output=True, text=True).stdout, "no .reloc section")
    dlls = {d.lower() for d in re.findall(r"DLL Name:\s+(\S+)", headers)}
    check("imports from KnownDLLs only", dlls <= KNOWN_DLLS, ", ".join(sorted(dlls - KNOWN_DLLS)))
    check("no C++ runtime or libgcc DLL", not any(d.startswith(("libstdc", "libgcc", "libwinpthread")) for d in dlls),
          ", ".join(sorted(dlls)))
    check("stripped", "no symbols" in symbols or not re.search(r"\[\s*\d+\]", symbols), "symbol table present")
    check("manifest: requireAdministrator", b'level="requireAdministrator"' in data, "missing")
    check("manifest: common controls 6", b'Microsoft.Windows.Common-Controls" version="6.0.0.0"' in data, "missing")
    check("manifest: supported OS list", data.count(b"<supportedOS Id=") >= 5, "missing")
    check("at most 60 KiB", len(data) <= MAX_SIZE, "%d bytes" % len(data))
    check_version(data, check)
    print("size %d bytes; imports %s; DllCharacteristics 0x%04x" % (len(data), ", ".join(sorted(dlls)), characteristics))
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1] == "--version-only":
        sys.exit(main_version_only(sys.argv[2]))
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "i686-w64-mingw32-objdump"))
