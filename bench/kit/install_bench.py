#!/usr/bin/env python3
"""What the NSIS kit costs an installer under Wine: silent installs of the same payload built three times,
with the kit (PxLogOpen, the PxDir/PxFile lines of pxlog nsis, PxLogClose) as an ANSI and as a Unicode
installer, and with plain CreateDirectory and File lines (ANSI), timed side by side, round after round.

    install_bench.py --build DIR --pxlog PXLOG --holder HOLDER.EXE [--sizes 1000,5000] [--runs 5]
                     [--table docs/performance.md]

A payload of N files is N/100 folders of 100 small files under Samples\\. Both installers use the
reference installer's compressor. Each run installs into a folder that is not there yet, from a cold
start of the installer (wine cmd /c setup.exe /S /D=...), and is timed from the start of the process to
its end. After a kit run, of either kind, the log must list every folder and file, or the bench stops. The table goes to
stdout, to DIR/results/kit.md and, with --table, into that file between its two marker lines.
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))

from pxwine import session as wine_session  # noqa: E402
from pxwine.fixed_names import LOG_COUNT_OFFSET, LOG_FILE_NAME  # noqa: E402
from pxwine.paths import unix_path, windows_path  # noqa: E402

FILES_PER_FOLDER = 100
TARGET = "C:\\bench\\install"
TABLE_BEGIN = "<!-- kit install bench: begin -->"
TABLE_END = "<!-- kit install bench: end -->"


def log(message):
    print("[kit bench] " + message, flush=True)


def stage_payload(staging, count):
    if os.path.exists(staging):
        shutil.rmtree(staging)
    for number in range(count):
        folder = os.path.join(staging, "Samples", "Folder%02d" % (number // FILES_PER_FOLDER))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "sample%03d.wav" % (number % FILES_PER_FOLDER)), "wb") as stream:
            stream.write(b"RIFF sample %05d\r\n" % number)


def plain_payload(staging, out):
    """The same tree as CreateDirectory and File lines, folders before their files."""
    lines = ["!macro PxPlainPayload"]
    for root, folders, files in os.walk(staging):
        folders.sort()
        relative = os.path.relpath(root, staging)
        target = "$INSTDIR" if relative == "." else "$INSTDIR\\" + relative.replace(os.sep, "\\")
        lines.append('  CreateDirectory "%s"' % target)
        for name in sorted(files):
            lines.append('  File "/oname=%s\\%s" "%s"' % (target, name, os.path.join(root, name)))
    lines.append("!macroend")
    with open(out, "w") as stream:
        stream.write("\n".join(lines) + "\n")


HEADER = """Unicode {unicode}
SetCompressor /SOLID lzma
Name "Plexitone"
OutFile "{out}"
InstallDir "$PROGRAMFILES\\Plexitone"
RequestExecutionLevel admin
"""

KIT_SCRIPT = HEADER + """!include "{payload}"
!include "{kit}"
Section
  !insertmacro PxLogOpen
  !insertmacro PxPayload
  !insertmacro PxLogClose
SectionEnd
"""

PLAIN_SCRIPT = HEADER + """!include "{payload}"
Section
  !insertmacro PxPlainPayload
SectionEnd
"""


# name, script, Unicode: the order in which each round runs them.
CONTENDERS = (("plain", PLAIN_SCRIPT, "false"), ("kit", KIT_SCRIPT, "false"), ("kit-unicode", KIT_SCRIPT, "true"))


def build_installers(work, pxlog, count):
    staging = os.path.join(work, "staging-%d" % count)
    stage_payload(staging, count)
    installers = {}
    for name, template, unicode in CONTENDERS:
        payload = os.path.join(work, "%s-payload-%d.nsh" % (name, count))
        if template is KIT_SCRIPT:
            subprocess.run([pxlog, "nsis", "--from-dir", staging, "--out", payload], check=True)
        else:
            plain_payload(staging, payload)
        script = os.path.join(work, "%s-%d.nsi" % (name, count))
        out = os.path.join(work, "%s-%d.exe" % (name, count))
        with open(script, "w") as stream:
            stream.write(template.format(out=out, payload=payload, unicode=unicode,
                                         kit=os.path.join(ROOT, "installer", "pxunins.nsh")))
        subprocess.run(["makensis", "-V1", script], check=True)
        installers[name] = out
    return installers


def logged_entries(path):
    with open(path, "rb") as stream:
        data = stream.read()
    return struct.unpack_from("<i", data, LOG_COUNT_OFFSET)[0]


def run_install(session, prefix, setup, count, name):
    target = unix_path(prefix, TARGET)
    if os.path.exists(target):
        shutil.rmtree(target)
    subprocess.run(["sync"], check=False)
    started = time.perf_counter()
    code = subprocess.run(["wine", "cmd", "/c", "%s /S /D=%s" % (windows_path(setup), TARGET)],
                          env=session.environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=600, check=False).returncode
    seconds = time.perf_counter() - started
    if code != 0:
        raise RuntimeError("%s: the installer ended with %d" % (name, code))
    made = sum(len(files) for _, _, files in os.walk(target))
    if name.startswith("kit"):
        # The payload's files, its folders (Samples and those in it) and the install folder.
        expected = count + (count // FILES_PER_FOLDER + 1) + 1
        logged = logged_entries(os.path.join(target, LOG_FILE_NAME))
        if logged != expected:
            raise RuntimeError("%s: the log lists %d entries, not %d" % (name, logged, expected))
        made -= 1
    if made != count:
        raise RuntimeError("%s: %d files installed, not %d" % (name, made, count))
    return seconds


def spread(samples):
    return "%.1f–%.1f s (median %.1f s)" % (min(samples), max(samples), statistics.median(samples))


def table(results, runs):
    # On a machine others share, the fastest run of each is the one least disturbed: its ratio beside the
    # medians'.
    lines = ["| files | plain `CreateDirectory` and `File` | the kit, ANSI | the kit, Unicode | kit / plain "
             "| Unicode / ANSI | Unicode / ANSI, fastest runs |",
             "|---|---|---|---|---|---|---|"]
    for count, samples in results:
        median = {name: statistics.median(samples[name]) for name in samples}
        lines.append("| %s | %s | %s | %s | %.2f× | %.2f× | %.2f× |" % (
            "{:,}".format(count), spread(samples["plain"]), spread(samples["kit"]), spread(samples["kit-unicode"]),
            median["kit"] / median["plain"], median["kit-unicode"] / median["kit"],
            min(samples["kit-unicode"]) / min(samples["kit"])))
    lines.append("")
    lines.append("%d rounds, plain, kit and Unicode kit in turn, each a silent install from a cold start; "
                 "ratios of medians but for the last column." % runs)
    return "\n".join(lines)


def write_into(path, text):
    with open(path) as stream:
        content = stream.read()
    if TABLE_BEGIN not in content or TABLE_END not in content:
        raise RuntimeError("%s has no marker lines %s ... %s" % (path, TABLE_BEGIN, TABLE_END))
    head, rest = content.split(TABLE_BEGIN, 1)
    _old, tail = rest.split(TABLE_END, 1)
    with open(path, "w") as stream:
        stream.write(head + TABLE_BEGIN + "\n" + text + "\n" + TABLE_END + tail)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--pxlog", required=True)
    parser.add_argument("--holder", required=True)
    parser.add_argument("--sizes", default="1000,5000")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--table")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    work = os.path.join(build, "kit")
    os.makedirs(work, exist_ok=True)
    os.makedirs(os.path.join(build, "results"), exist_ok=True)
    sizes = [int(size) for size in args.sizes.split(",")]
    installers = {count: build_installers(work, os.path.abspath(args.pxlog), count) for count in sizes}

    wine_session.start(build, os.path.abspath(args.holder), fresh=False)
    session = wine_session.Session(build)
    results = []
    try:
        for count in sizes:
            names = [contender[0] for contender in CONTENDERS]
            samples = {name: [] for name in names}
            # One untimed round first: the first start of a program fills Wine's caches.
            for name in names:
                run_install(session, session.prefix, installers[count][name], count, name)
            for round_number in range(args.runs):
                for name in names:
                    seconds = run_install(session, session.prefix, installers[count][name], count, name)
                    samples[name].append(seconds)
                    log("%d files, %s, round %d: %.2f s" % (count, name, round_number + 1, seconds))
            results.append((count, samples))
    finally:
        wine_session.stop(build)
    text = table(results, args.runs)
    print(text)
    with open(os.path.join(build, "results", "kit.md"), "w") as stream:
        stream.write(text + "\n")
    if args.table:
        write_into(args.table, text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
