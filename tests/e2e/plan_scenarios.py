#!/usr/bin/env python3
"""pxlog plan against the real run: what the dry run predicts is what the uninstaller leaves.

    plan_scenarios.py list
    plan_scenarios.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --pxlog PXLOG.EXE

A scenario stages a folder whose log has every kind of trouble a plan reports (a folder listed after its
files, a folder holding a file the log does not name, a missing file, a file logged as a folder, a name in
other case), runs pxlog.exe plan on the prefix's disk, then the uninstaller, and compares: every entry
planned "removed" is gone, every entry planned to stay (and present) is still there.
"""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from pxwine.driver import DriverRun, prompts_differ  # noqa: E402
from pxwine.fixed_names import UNINSTALLER_FILE_NAME as UNINSTALLER  # noqa: E402
from pxwine.installation import Stage  # noqa: E402
from pxwine.lanes import CONSUMER, NT32  # noqa: E402
from pxwine.paths import disk_path  # noqa: E402
from pxwine.scenario import Row, main  # noqa: E402
from pxwine.texts import COMPLETE, CONFIRM, answered  # noqa: E402
from pxwine.uninstall_log import ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, LOG_NAME, sound_log  # noqa: E402

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


def Scenario(name, lane):
    return Row(name, lane, {})


SCENARIOS = [
    Scenario("plan_predicts_run", NT32),
    Scenario("plan_predicts_run_consumer_line", CONSUMER),
]


def run_plan(pxlog, log_windows_path, environment, output_path):
    with open(output_path, "wb") as output:
        subprocess.run(["wine", pxlog, "plan", log_windows_path], env=environment, stdin=subprocess.DEVNULL,
                       stdout=output, stderr=subprocess.STDOUT, timeout=120, check=False)
    with open(output_path, encoding="cp1252") as stream:
        text = stream.read().replace("\r\n", "\n")
    return [match.groups() for match in map(PLAN_LINE.match, text.split("\n")) if match], text


def run_scenario(scenario, harness):
    session = harness.session
    stage = Stage(session.prefix, "C:\\e2e\\%s\\" % scenario.name)
    stage.file(LOG_NAME, stage_troubles(stage))
    stage.copy(harness.exe, UNINSTALLER)

    plan, plan_text = run_plan(harness.pxlog, stage.win(LOG_NAME), session.environment,
                               os.path.join(session.journals, scenario.name + "-plan.txt"))
    print(plan_text)
    failures = []
    if len(plan) != 12:
        failures.append("the plan names %d entries, the log 12" % len(plan))

    run = DriverRun(session, harness.driver, scenario.name, stage.win(UNINSTALLER), ["Yes", "OK"],
                    scenario.lane, shots=False)
    difference = prompts_differ([answered(CONFIRM, "Yes"), answered(COMPLETE, "OK")], run.prompts())
    if difference:
        failures.append(difference)

    for verdict, number, kind, path, reason in plan:
        present = os.path.exists(disk_path(session.prefix, path))
        if verdict == "removed" and present:
            failures.append("#%s %s: planned removed, still there" % (number, path))
        if verdict == "stays" and not present and not (reason or "").startswith("missing"):
            failures.append("#%s %s: planned to stay (%s), gone" % (number, path, reason))
    removed = sum(1 for entry in plan if entry[0] == "removed")
    print("%d entries planned, %d of them removed" % (len(plan), removed))
    return failures


if __name__ == "__main__":
    sys.exit(main(SCENARIOS, run_scenario, options=("pxlog",)))
