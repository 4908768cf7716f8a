#!/usr/bin/env python3
"""The silent uninstall of the deployment tools under Wine, with no display at all (pxwine.silent): Wine's
null display driver refuses every window, and a relay trace of the calls that make one fails a row that
tried. Each row runs pxunins.exe through the launcher, which reads its whole exit code, with /LOG, and
then holds the machine against the one before the installation: what differs must be what the report
names (the driver's file waiting for the restart, the driver kept for another program), nothing else.

    silent_scenarios.py list
    silent_scenarios.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --launcher PXLAUNCH.EXE
                                 --setup PLEXITONE-SETUP.EXE

The round trip installs with the reference installer, silent (/S /D=) and under the null driver too; the
other rows stand on pxwine's staging, which the round trips "install_matches_staging" hold against the
installer, the Uninstall entry's values included.
"""

import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))

import pxwine.installation as inst  # noqa: E402
from pxwine import fixed_names as names  # noqa: E402
from pxwine import scenario, silent  # noqa: E402
from pxwine.hand_off import copy_records, wait_for_hand_off  # noqa: E402
from pxwine.lanes import CONSUMER, LANES, NT32  # noqa: E402
from pxwine.registry import RegFile, normal_key, sz  # noqa: E402
from roundtrip_scenarios import expected_after, forget, put_other_64_bit_driver, system_state  # noqa: E402

ERROR_INSTALL_FAILURE = 1603
ERROR_INSTALL_ALREADY_RUNNING = 1618

FIELDS = {
    "install_dir": None,
    "top": None,             # the outermost folder the installation makes; what the snapshot looks at
    "install": False,        # True: the reference installer, silent; False: the staging
    "arguments": "/S",       # after the report's /LOG=FILE
    "shared": False,         # another program uses the driver: it stays, no restart
    "write_log": True,       # False: the uninstall log is missing
    "hidden_station": False,  # started on a window station no one can see, without /S
    "exit_code": 0,
    # The installer given /D= in quotation marks, which NSIS does not take: it must end with 2, having made
    # nothing, rather than install into its default folder and report success. No uninstall follows.
    "quoted_folder": False,
    # A second silent uninstall started while a first is under way, held by the launcher once its report
    # says it has read the log: 1618 and nothing changed; the first then ends as it would alone.
    "second": False,
}


def Row(name, lane, **fields):
    install_dir = "C:\\Program Files (x86)\\Plexitone" if lane.wow64 else "C:\\Program Files\\Plexitone"
    row = scenario.Row("silent_%s_%s" % (name, lane.name), lane, FIELDS, install_dir=install_dir, **fields)
    row.top = row.install_dir
    return row


ROWS = [
    row for lane in LANES for row in (
        # With a driver waiting for the restart: the code asked for, as Intune and Configuration Manager read it.
        Row("roundtrip", lane, install=True, arguments="/S /RESTARTEXITCODE=3010", exit_code=3010),
        # Without one the same command line ends with 0.
        Row("driver_shared", lane, shared=True, arguments="/S /RESTARTEXITCODE=3010"),
        # Nothing touched, and no reduced clean-up: no one chose it.
        Row("log_missing", lane, write_log=False, exit_code=ERROR_INSTALL_FAILURE),
        Row("second_uninstall", lane, second=True),
    )
] + [
    # A service's invisible window station, as Intune's agent and SYSTEM in session 0 give their programs:
    # no /S, and still no window; the restart code is the default 0.
    Row("hidden_station", lane, arguments="", hidden_station=True) for lane in (NT32, CONSUMER)
] + [
    Row("install_quoted_folder", NT32, install=True, quoted_folder=True),
]


def report_path(row, name="report"):
    return "C:\\e2e\\%s\\%s.txt" % (row.name, name)


def named_restart_paths(lines):
    """The paths the report names as waiting for the restart, in lower case."""
    found = []
    for line in lines:
        match = re.match(r"^waiting for the restart: (?:file|folder) (.*) \((?:PendingFileRenameOperations|wininit\.ini)\)$",
                         line)
        if match:
            found.append(match.group(1).lower())
    return found


def kept_driver(lines):
    """The driver's path where the report says it stays for another program."""
    for line in lines:
        match = re.match(r"^kept: pipe driver (.*): other programs still use it", line)
        if match:
            return match.group(1).lower()
    return None


def record_paths(state):
    """The paths a restart record names, in lower case: the strings of PendingFileRenameOperations (a
    deletion's empty target left out), the lines of wininit.ini's [rename] without their "nul="."""
    strings = list(state.strings()) if hasattr(state, "strings") else list(state or ())
    paths = []
    for text in strings:
        if text.lower().startswith("nul="):
            text = text[len("nul="):]
        if text:
            paths.append(text.lower())
    return paths


def is_kept_driver_item(item, state, row):
    """What stays of the driver while another program uses it: its file, its count, its registration and
    the machine's product key that names it."""
    if item[0] == "file":
        return item[1] == row.lane.disk_file(inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME).lower()
    if item[0] == "ini":
        return item[1] == names.SYSTEM_INI_FILE
    if item[0] in ("key", "value") and inst.in_tree(item[1], normal_key(row.lane.machine_key(inst.MACHINE_MAKER_KEY))):
        return True
    return item[0] == "value" and (item[2] == inst.DRIVER_NAME.lower() or state == sz(inst.DRIVER_NAME))


def unexplained(before, after, lines, row):
    """The differences between the machine before the installation and after the uninstall that the report
    does not name: a file waiting for the restart with its record, the driver kept for another program."""
    expected = expected_after(before, after, row)
    waiting = named_restart_paths(lines)
    driver_kept = kept_driver(lines) is not None
    for item, state in after.items():
        if item in before and before[item] == state:
            continue
        records = item[0] == "value" and item[2] == inst.PENDING_RENAMES.lower() or \
            item[0] == "ini" and item[1].startswith("wininit") and item[2] == "rename"
        if item[0] == "file" and item[1] in waiting:
            expected[item] = state
        elif records:
            gained = set(record_paths(state)) - set(record_paths(before.get(item)))
            if all(any(path.endswith(named) for named in waiting) for path in gained):
                expected[item] = state
        elif driver_kept and is_kept_driver_item(item, state, row):
            expected[item] = state
    return inst.compare(expected, after)


def check_report(lines, row, run, failures):
    """The footer against the run, and the reasons of the outcomes that remove nothing."""
    if not lines or lines[-1] != "exit code: %s" % run.exit_code:
        failures.append("the report does not end with the run's exit code %s: %r" % (run.exit_code, lines[-3:]))
    if not any(line.startswith("counts: removed ") for line in lines):
        failures.append("the report has no counts")
    needed = []
    if not row.write_log:
        needed.append("left: uninstall log %s\\%s: missing or unreadable" % (row.install_dir, names.LOG_FILE_NAME))
    if row.hidden_station:
        needed.append("mode: silent without /S")
    if row.shared:
        needed.append("kept: pipe driver ")
    for start in needed:
        if not any(line.startswith(start) for line in lines):
            failures.append("the report has no line %r" % start)


def check_second(session, harness, row, first, environment, failures):
    """The second uninstall, while the first holds the log: 1618, and a report of nothing done."""
    if not first.suspended():
        failures.append("the first uninstall was not held under way: %s" % first.output_lines())
        return
    second = silent.Launch(session, harness.launcher, row.install_dir + "\\" + names.UNINSTALLER_FILE_NAME,
                           "/S /LOG=" + report_path(row, "second"), row.lane, environment, row.name + ".second")
    failures.extend("the second uninstall: " + trouble for trouble in second.troubles())
    print("second uninstall: exit code %s" % second.exit_code, flush=True)
    if second.exit_code != ERROR_INSTALL_ALREADY_RUNNING:
        failures.append("the second uninstall ended with %s, expected %d" % (second.exit_code,
                                                                           ERROR_INSTALL_ALREADY_RUNNING))
    lines = silent.report_lines(session.prefix, report_path(row, "second"))
    print("second report:\n  " + "\n  ".join(lines), flush=True)
    held = "kept: uninstall log %s\\%s: another uninstall holds it" % (row.install_dir, names.LOG_FILE_NAME)
    if not any(line.startswith(held) for line in lines) or \
            "counts: removed 0, left 0, waiting for the restart 0" not in lines:
        failures.append("the second uninstall's report does not say it changed nothing because of the first")


def run_row(row, harness):
    session = harness.session
    prefix = session.prefix
    work = os.path.join(session.state_dir, "silent")
    os.makedirs(work, exist_ok=True)
    os.makedirs(inst.unix_path(prefix, report_path(row).rsplit("\\", 1)[0]), exist_ok=True)
    failures = []
    displayed = session.environment
    started = time.time()
    try:
        with silent.no_display(session, harness.driver) as environment:
            session.environment = environment
            # The other programs' items, once the new server's boot has carried out what waited for a
            # restart: the records among them must wait still.
            put_other_64_bit_driver(prefix, row)
            inst.stage_neighbours(prefix, RegFile(), row.lane).apply(environment, work)
            # The machine before the installation, to hold the end against; with no log the run must not
            # change the installation either, and that is the state it is held against.
            before = system_state(prefix, environment, work, row) if row.write_log else None
            if row.install:
                setup = silent.install(session, harness.launcher, harness.setup, row.install_dir, row.lane,
                                       environment, row.name, quoted=row.quoted_folder)
                print("install: exit code %s in %.1f s" % (setup.exit_code, time.time() - started), flush=True)
                failures.extend("the silent install: " + trouble for trouble in setup.troubles())
                if setup.exit_code != (2 if row.quoted_folder else 0):
                    failures.append("the silent install ended with %s" % setup.exit_code)
                if row.quoted_folder:
                    differences = inst.compare(before, system_state(prefix, environment, work, row))
                    if differences:
                        failures.append("the refused install made something:\n    " + "\n    ".join(differences))
                    forget(prefix, environment, work, row)
                    return failures
            else:
                inst.stage_installation(prefix, environment, row.lane, install_dir=row.install_dir,
                                        shared_count=2 if row.shared else 1, uninstaller=harness.exe,
                                        scratch_dir=work, write_log=row.write_log)
            if before is None:
                before = system_state(prefix, environment, work, row)
            records_before = copy_records(session)
            uninstaller = row.install_dir + "\\" + names.UNINSTALLER_FILE_NAME
            release = report_path(row, "release")
            run = silent.Launch(session, harness.launcher, uninstaller,
                                ("/LOG=%s %s" % (report_path(row), row.arguments)).strip(), row.lane, environment,
                                row.name, hidden_station=row.hidden_station,
                                suspend=(report_path(row), "read: uninstall log", release) if row.second else None)
            if row.second:
                check_second(session, harness, row, run, environment, failures)
                with open(inst.unix_path(prefix, release), "wb"):
                    pass
                run.finish()
            failures.extend(run.troubles())
            print("uninstall: exit code %s in %.1f s" % (run.exit_code, time.time() - started), flush=True)
            if run.exit_code != row.exit_code:
                failures.append("the uninstall ended with %s, expected %d" % (run.exit_code, row.exit_code))
            if run.result is None:
                return failures
            if row.write_log and wait_for_hand_off(session, inst.unix_path(prefix, row.install_dir),
                                                   records_before) is None:
                failures.append("the run's copy did not take the uninstaller and its log in the time allowed")
            after = system_state(prefix, environment, work, row)
            lines = silent.report_lines(prefix, report_path(row))
            print("report:\n  " + "\n  ".join(lines), flush=True)
            check_report(lines, row, run, failures)
            differences = unexplained(before, after, lines, row) if row.write_log else inst.compare(before, after)
            if differences:
                failures.append("%s:\n    " % ("what differs from the machine before, and the report does not name"
                                               if row.write_log else "the run with no log changed the machine")
                                + "\n    ".join(differences))
            forget(prefix, environment, work, row)
    finally:
        session.environment = displayed
    print("row done in %.1f s" % (time.time() - started), flush=True)
    return failures


if __name__ == "__main__":
    sys.exit(scenario.main(ROWS, run_row, options=("launcher", "setup")))

