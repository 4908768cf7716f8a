#!/usr/bin/env python3
"""pxlog plan against the real run: what the dry run predicts is what the uninstaller leaves.

    plan_scenarios.py list
    plan_scenarios.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --pxlog PXLOG.EXE

A scenario stages a folder whose log has every kind of trouble a plan reports (a folder listed after its
files, a folder holding a file the log does not name, a missing file, a file logged as a folder, a name in
other case), runs pxlog.exe plan on the prefix's disk, then the uninstaller, and compares: every entry
planned "removed" is gone, every entry planned to stay (and present) is still there.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from fixture import load_env, wine_environment  # noqa: E402
from scenarios import (COMPLETE, CONFIRM, NT_LINE, CONSUMER_LINE, Stage, answered,  # noqa: E402
                       read_journal, windows_path)
from uninstall_log import ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, sound_log  # noqa: E402

PLAN_LINE = re.compile(r"^\s+(removed|stays)\s+#(\d+)\s+(file|folder)\s+(.*?)(?: -- (.*))?$")


def stage_troubles(stage):
    for relative in ("before\\a.txt", "before\\deep\\b.txt", "after\\c.txt", "mixed\\x.txt",
                     "mixed\\user.txt", "Upper\\D.TXT", "notafolder.txt", "keep.txt"):
        stage.file(relative)
    return sound_log([
        (ENTRY_KIND_DIRECTORY, stage.win("before")),
        (ENTRY_KIND_DIRECTORY, stage.win("before\\deep")),
        (ENTRY_KIND_FILE, stage.win("before\\a.txt")),
        (ENTRY_KIND_FILE, stage.win("before\\deep\\b.txt")),
        (ENTRY_KIND_FILE, stage.win("after\\c.txt")),
        (ENTRY_KIND_DIRECTORY, stage.win("after")),
        (ENTRY_KIND_DIRECTORY, stage.win("mixed")),
        (ENTRY_KIND_FILE, stage.win("mixed\\x.txt")),
        (ENTRY_KIND_DIRECTORY, stage.win("upper")),
        (ENTRY_KIND_FILE, stage.win("UPPER\\d.txt")),
        (ENTRY_KIND_FILE, stage.win("missing.txt")),
        (ENTRY_KIND_DIRECTORY, stage.win("notafolder.txt")),
    ])


SCENARIOS = {
    "plan_predicts_run": NT_LINE,
    "plan_predicts_run_consumer_line": CONSUMER_LINE,
}


def unix_path(stage, windows):
    """Where a path of the staged folder lies on the disk, in the case the disk has it."""
    assert windows.lower().startswith(stage.windows_dir.lower())
    path = stage.unix_dir
    for part in windows[len(stage.windows_dir):].split("\\"):
        names = {name.lower(): name for name in os.listdir(path)} if os.path.isdir(path) else {}
        path = os.path.join(path, names.get(part.lower(), part))
    return path


def run_plan(pxlog, log_windows_path, environment, work):
    with open(os.path.join(work, "plan.txt"), "wb") as output:
        subprocess.run(["wine", pxlog, "plan", log_windows_path], env=environment, stdin=subprocess.DEVNULL,
                       stdout=output, stderr=subprocess.STDOUT, timeout=120, check=False)
    with open(os.path.join(work, "plan.txt"), encoding="cp1252") as stream:
        text = stream.read().replace("\r\n", "\n")
    return [match.groups() for match in map(PLAN_LINE.match, text.split("\n")) if match], text


def run(name, state_dir, exe, driver, pxlog):
    values = load_env(state_dir)
    environment = wine_environment(values)
    line = SCENARIOS[name]
    stage = Stage(values["WINEPREFIX"], "C:\\e2e\\%s\\" % name)
    if os.path.exists(stage.unix_dir):
        shutil.rmtree(stage.unix_dir)
    os.makedirs(stage.unix_dir)
    with open(os.path.join(stage.unix_dir, "_pxunins.dat"), "wb") as stream:
        stream.write(stage_troubles(stage))
    shutil.copyfile(exe, os.path.join(stage.unix_dir, "pxunins.exe"))
    work = os.path.join(state_dir, "journals", name)
    os.makedirs(work, exist_ok=True)

    plan, plan_text = run_plan(pxlog, stage.win("_pxunins.dat"), environment, work)
    print(plan_text)
    failures = []
    if len(plan) != 12:
        failures.append("the plan names %d entries, the log 12" % len(plan))

    journal = os.path.join(work, "journal.txt")
    command = ["wine", driver, "--journal", windows_path(journal), "--timeout", "20", "--version", line,
               stage.win("pxunins.exe"), "Yes", "OK"]
    subprocess.run(command, env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120, check=False)
    events = read_journal(journal) if os.path.exists(journal) else []
    prompts = [tuple(event) for event in events if event[0] in ("box", "dialog")]
    if prompts != [answered(CONFIRM, "Yes"), answered(COMPLETE, "OK")]:
        failures.append("prompts: %s" % prompts)

    for verdict, number, kind, path, reason in plan:
        present = os.path.exists(unix_path(stage, path))
        if verdict == "removed" and present:
            failures.append("#%s %s: planned removed, still there" % (number, path))
        if verdict == "stays" and not present and not (reason or "").startswith("missing"):
            failures.append("#%s %s: planned to stay (%s), gone" % (number, path, reason))
    removed = sum(1 for entry in plan if entry[0] == "removed")
    if failures:
        print("FAILED %s" % name)
        for failure in failures:
            print(" - " + failure)
        return 1
    print("passed %s: %d entries planned, %d removed as planned, the rest stayed as planned"
          % (name, len(plan), removed))
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=("list", "run"))
    parser.add_argument("name", nargs="?")
    parser.add_argument("--state")
    parser.add_argument("--exe")
    parser.add_argument("--driver")
    parser.add_argument("--pxlog")
    arguments = parser.parse_args(argv[1:])
    if arguments.action == "list":
        print("\n".join(SCENARIOS))
        return 0
    if arguments.name not in SCENARIOS or not (arguments.state and arguments.exe and arguments.driver
                                               and arguments.pxlog):
        parser.error("run needs a scenario name (see list), --state, --exe, --driver and --pxlog")
    return run(arguments.name, os.path.abspath(arguments.state), os.path.abspath(arguments.exe),
               os.path.abspath(arguments.driver), os.path.abspath(arguments.pxlog))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
