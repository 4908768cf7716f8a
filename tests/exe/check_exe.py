#!/usr/bin/env python3
"""Reads the built uninstaller's PE headers and checks what it promises to whoever runs it:
DEP and ASLR, no timestamp, a GUI program with its manifest, stripped, small, and imports from
system DLLs only (each a KnownDLL, or the common controls that the manifest takes from the
side-by-side store), so that a DLL planted beside it is never loaded in their place."""
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "msvcrt.dll", "comctl32.dll"}
MAX_SIZE = 32 * 1024


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
    check("imports from system DLLs only", dlls <= SYSTEM_DLLS, ", ".join(sorted(dlls - SYSTEM_DLLS)))
    check("no C++ runtime or libgcc DLL", not any(d.startswith(("libstdc", "libgcc", "libwinpthread")) for d in dlls),
          ", ".join(sorted(dlls)))
    check("stripped", "no symbols" in symbols or not re.search(r"\[\s*\d+\]", symbols), "symbol table present")
    check("manifest: highestAvailable", b'level="highestAvailable"' in data, "missing")
    check("manifest: common controls 6", b'Microsoft.Windows.Common-Controls" version="6.0.0.0"' in data, "missing")
    check("manifest: supported OS list", data.count(b"<supportedOS Id=") >= 5, "missing")
    check("at most 32 KiB", len(data) <= MAX_SIZE, "%d bytes" % len(data))
    print("size %d bytes; imports %s; DllCharacteristics 0x%04x" % (len(data), ", ".join(sorted(dlls)), characteristics))
    print("%d passed, %d failed" % (13 - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "i686-w64-mingw32-objdump"))
