#!/usr/bin/env python3
"""The demonstration behind scripts/demo: a scratch Wine prefix, Plexitone installed in it by its real
installer (silent), one run of pxunins.exe, and a report of what the installer made, what the run removed
and what it left, with the reason for each thing left.

    demo.py --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --pxlog PXLOG --setup PLEXITONE-SETUP.EXE
            [--lane nt32|consumer|nt64] [--no-log] [--shared] [--on-display DISPLAY] [--started EPOCH]
            [--silent --launcher PXLAUNCH.EXE]

Without --on-display the uninstaller runs on a screenless X server and the driver answers its prompts as
a user would; every dialog is saved as DIR/shots/<lane>-<n>-<what>.png. With it, the dialogs open on that
display and the person at it answers them. On the 64-bit lane (a 64-bit prefix, both programs under
WoW64) the restart is carried out after the run (wineboot -r) and the report says what it removed. With
--silent both programs run as the deployment tools run them, with no display at all (Wine's null display
driver, pxwine.silent): the installer with /S /D=, the uninstaller with /S /LOG; the demo shows the
uninstaller's report and its whole exit code.
"""

import argparse
import contextlib
import os
import shutil
import subprocess
import sys
import textwrap
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import findings  # noqa: E402
import pxwine.installation as inst  # noqa: E402
from pxwine import fixed_names as names  # noqa: E402
from pxwine import product  # noqa: E402
from pxwine import session as wine_session  # noqa: E402
from pxwine import silent  # noqa: E402
from pxwine.driver import DriverRun  # noqa: E402
from pxwine.paths import windows_path  # noqa: E402
from pxwine.registry import RegFile, dword, sz  # noqa: E402
from pxwine.lanes import LANES, NT32, by_name  # noqa: E402
from pxwine.texts import REMOVING, prompt_name  # noqa: E402
from pxwine.uninstall_log import LOG_NAME, read_entries  # noqa: E402

EXE_NAME = names.UNINSTALLER_FILE_NAME
SETUP_NAME = "plexitone-setup.exe"

# What the driver answers: the confirmation Yes, the restart question No (the prefix stays to be looked
# at), the completion OK, the fallback dialog "Go on".
ANSWERS = {"confirm": "Yes", "restart": "No", "complete": "OK", "fallback": "&Go on"}

DRIVER_TIMEOUT_SECONDS = 30
# Where the silent run writes its report: outside every folder the findings look at.
SILENT_REPORT = "C:\\plexitone-uninstall.log"

STARTED = time.time()


def phase(text):
    print("== %s (%d s)" % (text, time.time() - STARTED), flush=True)


def say(text=""):
    print(text, flush=True)


# ---------------------------------------------------------------------------------------------------------
# The installation


def check_log(pxlog, prefix, installation, scratch_dir):
    """The installer's log: its entry count and pxlog check's verdict; pxlog show's listing beside."""
    log = inst.unix_path(prefix, installation.win(LOG_NAME))
    with open(os.path.join(scratch_dir, "log.txt"), "wb") as stream:
        subprocess.run([pxlog, "show", log], stdin=subprocess.DEVNULL, stdout=stream,
                       stderr=subprocess.STDOUT, check=False)
    check = subprocess.run([pxlog, "check", log, "--install-dir", installation.install_dir],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           check=False)
    verdict = check.stdout.decode(errors="replace").strip().splitlines()
    with open(log, "rb") as stream:
        installation.log_entries = read_entries(stream.read())
    return len(installation.log_entries), verdict[0].split(": ", 1)[-1] if verdict else "no answer"


def stage_neighbours(session, lane, shared, scratch_dir):
    """What other programs left in the prefix (pxwine.product), so that a run which touches more than its
    own shows; with shared, another program that uses the pipe driver already."""
    prefix = session.prefix
    inst.reset_files(prefix)
    changes = inst.stage_neighbours(prefix, inst.reset_changes(), lane)
    if shared:
        changes.set_values(inst.SHARED_DLLS_KEY, {inst.DRIVER_NAME: dword(1)})
        inst.write_file(inst.unix_path(prefix, lane.disk_file(inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME)),
                        inst.DRIVER_CONTENT)
    # The installer asks which line it runs on, as the uninstaller does.
    changes.set_values("HKCU\\Software\\Wine\\AppDefaults\\" + os.path.basename(SETUP_NAME),
                       {"Version": sz(lane.version)})
    changes.apply(session.environment, scratch_dir)


# The installer's payload carries the sample library (pxwine.product), so that the progress dialog stays
# on the screen long enough to be seen and photographed, as it does for a real installation.
SAMPLE_LIBRARY = product.SAMPLE_LIBRARY
SAMPLE_COUNT = product.SAMPLE_COUNT


# Wine's own faces (MS Sans Serif, Tahoma, Marlett for the caption's close box) come with its fonts
# package, but this Wine does not look in that package's folder; the Fonts folder of the prefix it reads.
WINE_FONTS = "/usr/share/wine/fonts"


def add_wine_fonts(prefix):
    if not os.path.isdir(WINE_FONTS):
        return
    target = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(target, exist_ok=True)
    for name in os.listdir(WINE_FONTS):
        if name.endswith((".ttf", ".fon")):
            shutil.copyfile(os.path.join(WINE_FONTS, name), os.path.join(target, name))


class Setup:
    """One silent run of the installer: its exit code, its time, and the prefix just before it. With
    --silent through the launcher, which reads its whole exit code, on no display."""

    def __init__(self, arguments, session):
        stage_neighbours(session, arguments.lane, arguments.shared, arguments.state)
        self.before = inst.snapshot(session.prefix, session.environment, arguments.state)
        started = time.time()
        if arguments.silent:
            launch = silent.install(session, arguments.launcher, arguments.setup, inst.DEFAULT_INSTALL_DIR,
                                    arguments.lane, session.environment, "demo")
            self.exit_code = -1 if launch.troubles() else launch.exit_code
        else:
            # Through cmd, with /D= unquoted and last: NSIS ignores a quoted "/D=...".
            command = ["wine", "cmd", "/c", "%s /S /D=%s" % (windows_path(arguments.setup), inst.DEFAULT_INSTALL_DIR)]
            self.exit_code = session.run_logged(command, 300)
        self.seconds = time.time() - started


def install(arguments, session):
    prefix = session.prefix
    add_wine_fonts(prefix)
    setup = Setup(arguments, session)
    if setup.exit_code != 0:
        raise RuntimeError("the installer ended with exit code %d (see %s)"
                           % (setup.exit_code, os.path.relpath(session.wine_log)))
    installation = inst.Installation(prefix, arguments.lane, inst.DEFAULT_INSTALL_DIR)
    log = check_log(arguments.pxlog, prefix, installation, arguments.state)
    if arguments.no_log:
        os.remove(inst.unix_path(prefix, installation.win(LOG_NAME)))
    return installation, log, setup


# ---------------------------------------------------------------------------------------------------------
# The run


class HeadlessRun:
    """pxdriver answers from a script, so the prompts to expect are known before the run."""

    def __init__(self, arguments, session, installation):
        self.arguments = arguments
        self.session = session
        self.installation = installation
        self.prompts = []    # (name, caption, text, answer)
        self.exit_code = None
        self.problems = []

    def script(self):
        if self.arguments.no_log:
            return [ANSWERS["fallback"]]
        last = "complete" if self.arguments.shared else "restart"
        return [ANSWERS["confirm"], ANSWERS[last]]

    def run(self):
        run = DriverRun(self.session, self.arguments.driver, self.arguments.lane.name,
                        self.installation.win(EXE_NAME), self.script(), self.arguments.lane,
                        timeout=DRIVER_TIMEOUT_SECONDS, echo=False)
        self.name_shots(run.events, self.session.shots)
        names_seen = 0
        progress_row = None
        for event in run.events:
            if event.kind == "window" and event.window_kind == "progress":
                progress_row = len(self.prompts)
                self.prompts.append(None)
            elif event.kind == "progress" and event.text.startswith(REMOVING + " "):
                names_seen += 1
            elif event.kind in ("box", "dialog"):
                self.prompts.append((prompt_name(event), event.caption, event.text, event.answer))
        if progress_row is not None:
            self.prompts[progress_row] = ("progress", "", "Removing: ...", "the driver saw %d of the names"
                                          % names_seen)
        self.exit_code = run.exit_code()
        self.problems = run.troubles()

    def name_shots(self, events, shots):
        """<lane>-<n>.png becomes <lane>-<n>-<what>.png, so the folder reads as the run went."""
        names = {}
        last_window = None
        for event in events:
            if event.kind == "window":
                last_window = event.seq
                if event.window_kind == "progress":
                    names[event.seq] = "progress"
            elif event.kind in ("box", "dialog") and last_window is not None:
                names[last_window] = prompt_name(event)
        self.shots = []
        lane = self.arguments.lane.name
        for seq, name in sorted(names.items(), key=lambda item: int(item[0])):
            plain = os.path.join(shots, "%s-%s.png" % (lane, seq))
            named = os.path.join(shots, "%s-%s-%s.png" % (lane, seq, name))
            if os.path.exists(plain):
                os.replace(plain, named)
                self.shots.append(named)


class SilentRun:
    """The uninstaller as a deployment tool starts it: /S /LOG, no display at all; no prompt to expect."""

    def __init__(self, arguments, session, installation):
        self.arguments = arguments
        self.session = session
        self.installation = installation
        self.prompts = []
        self.exit_code = None
        self.problems = []
        self.shots = []
        self.report = []

    def run(self):
        launch = silent.Launch(self.session, self.arguments.launcher, self.installation.win(EXE_NAME),
                               "/S /LOG=" + SILENT_REPORT, self.arguments.lane, self.session.environment, "demo")
        self.exit_code = launch.exit_code
        self.problems = launch.troubles()
        self.report = silent.report_lines(self.session.prefix, SILENT_REPORT)


class DisplayRun:
    """The uninstaller on the person's own display, started as the start-menu shortcut starts it."""

    def __init__(self, arguments, session, installation):
        self.arguments = arguments
        self.session = session
        self.installation = installation
        self.prompts = []
        self.exit_code = None
        self.problems = []
        self.shots = []

    def environment(self):
        return wine_session.wine_environment(self.session.values, display=self.arguments.on_display)

    def prepare(self):
        """On a real display the window manager may frame and move the dialogs, and the Windows version
        that the driver sets for each run is set here once."""
        changes = RegFile()
        changes.set_values("HKCU\\Software\\Wine\\X11 Driver", {"Decorated": None, "Managed": None})
        changes.set_values("HKCU\\Software\\Wine\\AppDefaults\\" + EXE_NAME,
                           {"Version": sz(self.arguments.lane.version)})
        changes.apply(self.session.environment, self.arguments.state)

    def run(self):
        say("   The uninstaller opens on display %s: answer its dialogs as you like."
            % self.arguments.on_display)
        say("   (Yes, then No to the restart question, keeps the result to look at.)")
        with open(os.path.join(self.arguments.state, "wine-run.log"), "wb") as output:
            self.exit_code = subprocess.run(["wine", self.installation.win(EXE_NAME)], env=self.environment(),
                                            stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                                            check=False).returncode


# ---------------------------------------------------------------------------------------------------------
# The report: the findings (findings.py) in words


# What each reason for a thing to stay means, in the report's words.
REASONS = {
    findings.REASON_RUNNING: "a running program cannot delete its own file",
    findings.REASON_LOG: "the log does not list itself",
    findings.REASON_HOLDS: "it still holds what stays",
    findings.REASON_RESTART: "a driver may be in use until Windows restarts: it goes at the next restart",
    findings.REASON_SHARED_DRIVER: "another program still uses the pipe driver",
    findings.REASON_SHARED_PARENT: "Windows and other programs share it; the uninstaller removes its own "
                                   "entry, not the list",
    findings.REASON_NO_LOG: "without its log the uninstaller cannot know what was installed",
    findings.REASON_FALLBACK: "the reduced clean-up after the fallback dialog leaves the registry alone",
    findings.REASON_UNKNOWN: "NO REASON KNOWN: the uninstaller should have removed it",
}
LISTED = 12


def wrapped(text, indent="  "):
    say(textwrap.fill(text, width=100, initial_indent=indent, subsequent_indent=indent + "  "))


def short(found, path):
    return path.replace(found.install_dir, "<install>")


def report_installer(arguments, setup, found):
    """What the installer made, against what the uninstall removed of it: each thing gone or named with
    the reason it stays."""
    kinds = {}
    for item in found.made:
        kinds[item[0]] = kinds.get(item[0], 0) + 1
    left = found.left()
    say()
    say("Plexitone installed by its installer, then uninstalled:")
    say("  %s /S, exit code %d in %.1f s: made %s; changed %d"
        % (os.path.relpath(arguments.setup), setup.exit_code, setup.seconds,
           ", ".join("%d %ss" % (number, kind) for kind, number in sorted(kinds.items())), len(found.changed)))
    say("  the uninstall removed %d of the %d things made%s" % (len(found.made) - len(left), len(found.made),
                                                                 "; stayed, and why:" if left else ""))
    by_reason = {}
    for item, reason in left:
        by_reason.setdefault(reason, []).append(item)
    for reason, items in sorted(by_reason.items()):
        wrapped("%d: %s" % (len(items), REASONS[reason]), "    ")
        for item in items[:LISTED]:
            say("      " + short(found, inst.describe(item)))
        if len(items) > LISTED:
            say("      ... and %d more" % (len(items) - LISTED))
    for item in found.changed:
        say("  changed by the install, %s by the uninstall: %s"
            % ("restored" if found.restored[item] else "NOT restored", inst.describe(item)))


def report_run(found, run):
    say()
    if isinstance(run, SilentRun):
        say("The run, silent (/S /LOG=%s), no display at all; its report:" % SILENT_REPORT)
        for line in run.report:
            say("  | " + line)
    else:
        say("The run%s:" % ("" if run.prompts else " (answered on the display)"))
    for name, _caption, text, answer in run.prompts:
        if name == "progress":
            say("  progress  \"Removing: <path>\" and the bar while the files go (%s)" % answer)
        else:
            quoted = "\"%s\" -> %s" % (text.replace("\n", " ").replace("|", " "), answer.replace("&", ""))
            say(textwrap.fill(quoted, width=100, initial_indent="  %-9s " % name, subsequent_indent=" " * 13))
    say("  exit code %s" % ("unknown" if run.exit_code is None else run.exit_code))
    for problem in run.problems:
        say("  problem: " + problem)


def report(arguments, found, log, run):
    installation = found.installation
    lane = found.lane
    say()
    say("Plexitone uninstall demo, %s" % lane.title)
    say()
    say("Installed:")
    say("  %d files in %d folders under %s" % (len(found.files_installed), len(found.folders_installed),
                                              installation.install_dir))
    if arguments.no_log:
        say("  no uninstall log (%s, %d entries from the installer, deleted on purpose)" % (LOG_NAME, log[0]))
    else:
        say("  the uninstall log %s, %d entries, written by the installer (pxlog show: %s)"
            % (LOG_NAME, log[0], os.path.relpath(os.path.join(arguments.state, "log.txt"))))
        say("    pxlog check: %s" % log[1])
    say("  %d shortcuts in the start-menu group \"%s\"" % (len(found.shortcuts_installed), inst.GROUP_NAME))
    say("  %d registry keys: App Paths\\%s, the user's settings (5 keys) and the maker key, the entry"
        % (len(found.keys), names.APP_FILE_NAME))
    say("    in the list of installed programs, the machine's product and maker keys")
    say("  the MIDI pipe driver %s%s, shared-use count %s,"
        % (installation.driver_file, " (on the disk %s)" % installation.driver_disk_file if lane.wow64 else "",
           found.shared_count.number() if found.shared_count is not None else "none"))
    say("    registered in %s" % (" and ".join(found.registered) or "nothing"))

    report_run(found, run)

    say()
    say("Gone:")
    say("  %d of %d files and %d of %d folders of the installation"
        % (len(found.files_installed) - len(found.files_left), len(found.files_installed),
           len(found.folders_installed) - len(found.folders_left), len(found.folders_installed)))
    say("  %d of %d shortcuts%s" % (len(found.shortcuts_installed) - len(found.shortcuts_left),
                                     len(found.shortcuts_installed), ", and the group folder" if found.group_gone else ""))
    say("  %d of %d registry keys" % (len(found.keys) - len(found.keys_left), len(found.keys)))
    gone_driver = [text for text in found.registered if text not in found.registered_left]
    if found.shared_count is not None and found.shared_count_left is None:
        gone_driver.append("its SharedDLLs count")
    if gone_driver:
        say("  the driver's registration: " + ", ".join(gone_driver))
    if found.nothing_changed:
        say("  nothing: the run ended before its first step (No to the confirmation ends it at once)")
        return

    say()
    say("Left for the next restart (records the run added):")
    for record in found.pending_new:
        say("  " + record)
    if not found.pending_new:
        say("  nothing")
    if found.driver_file_left and not found.driver_pending and not arguments.shared:
        say("  the driver's file %s stays and NO record deletes it" % installation.driver_disk_file)
    say()
    say("Left in the temporary folders (GetTempPath's folder, %s):" % findings.WINDOWS_TEMP)
    for path in found.temp_left[:LISTED]:
        size = found.temp_sizes[path]
        say("  %s%s" % (path, "" if size is None else " (%d bytes)" % size))
    if len(found.temp_left) > LISTED:
        say("  ... and %d more" % (len(found.temp_left) - LISTED))
    if not found.temp_left:
        say("  nothing")

    if found.neighbours_kept:
        say()
        say("Left alone, as they belong to others:")
        wrapped(", ".join(found.neighbours_kept))

    if run.shots:
        say()
        say("Pictures of the dialogs:")
        for shot in run.shots:
            say("  " + os.path.relpath(shot))


def report_restart(installation, seconds, after, restarted):
    """What the restart removed, and that another program's 64-bit file of our driver's name stayed."""
    say()
    say("The restart (wineboot -r in %.1f s) removed:" % seconds)
    removed = [item for item in after if item not in restarted]
    for item in sorted(removed, key=findings.item_order):
        say("  " + inst.describe(item))
    if not removed:
        say("  nothing")
    other = ("file", installation.driver_file.lower())
    say("  another program's 64-bit %s in the real system32: %s"
        % (installation.driver_file, "still there" if other in restarted else "GONE, deleted by our record"))
    ours = ("file", installation.driver_disk_file.lower())
    if ours in restarted:
        say("  our driver %s is still there" % installation.driver_disk_file)
    left = findings.pending_records(restarted)
    if left:
        say("  records still waiting: " + "; ".join(left))


# ---------------------------------------------------------------------------------------------------------


def main(argv):
    global STARTED
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--state", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--pxlog", required=True)
    parser.add_argument("--setup", required=True)
    parser.add_argument("--lane", choices=[lane.name for lane in LANES], default=NT32.name)
    parser.add_argument("--no-log", action="store_true")
    parser.add_argument("--shared", action="store_true")
    parser.add_argument("--on-display")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--launcher")
    parser.add_argument("--started", type=float)
    arguments = parser.parse_args(argv[1:])
    if arguments.started:
        STARTED = arguments.started
    arguments.lane = by_name(arguments.lane)
    if arguments.silent and (not arguments.launcher or arguments.on_display):
        parser.error("--silent takes --launcher, and no --on-display: it shows nothing")
    for name in ("state", "exe", "driver", "pxlog", "setup") + (("launcher",) if arguments.silent else ()):
        setattr(arguments, name, os.path.abspath(getattr(arguments, name)))
    os.makedirs(arguments.state, exist_ok=True)

    phase("creating a fresh Wine prefix in %s (Xvfb, wineboot: up to a minute)"
          % os.path.relpath(arguments.state))
    try:
        wine_session.start(arguments.state, arguments.driver, arch=arguments.lane.arch)
    except (RuntimeError, OSError, subprocess.TimeoutExpired) as error:
        say("scripts/demo: the prefix could not be made: %s (see %s)"
            % (error, os.path.relpath(os.path.join(arguments.state, "wine.log"))))
        wine_session.stop(arguments.state)
        return 1
    session = wine_session.Session(arguments.state)
    prefix = session.prefix
    environment = session.environment
    stopped = False
    try:
        # A deployment tool's run has no display at all: Wine's null driver on a server of its own.
        quiet = silent.no_display(session, arguments.driver) if arguments.silent else contextlib.nullcontext()
        with quiet as no_display_environment:
            if no_display_environment is not None:
                environment = session.environment = no_display_environment
            phase("installing Plexitone into the prefix (%s)" % arguments.lane.title)
            installation, log, setup = install(arguments, session)
            if arguments.on_display:
                run = DisplayRun(arguments, session, installation)
                run.prepare()
                # The screenless server and its desktop go; the person's display takes over. The first
                # program of a new wineserver boots the prefix, and a boot carries out pending deletions:
                # one server, kept until the end, makes the run and both looks at the prefix one session.
                wine_session.stop(arguments.state)
                stopped = True
                environment = run.environment()
                wine_log = session.wine_log
                wine_session.run_logged(["wineserver", "-p"], environment, wine_log, 60)
                # The boot's background services inherit this command's output file, not a later pipe.
                wine_session.run_logged(["wine", "wineboot"], environment, wine_log, 120)
                before = inst.snapshot(prefix, environment, arguments.state)
                temp_before = findings.temp_listing(prefix)
                phase("running %s on display %s" % (installation.win(EXE_NAME), arguments.on_display))
                run.run()
            elif arguments.silent:
                before = inst.snapshot(prefix, environment, arguments.state)
                temp_before = findings.temp_listing(prefix)
                run = SilentRun(arguments, session, installation)
                phase("running %s /S /LOG=%s, with no display at all" % (installation.win(EXE_NAME), SILENT_REPORT))
                run.run()
            else:
                before = inst.snapshot(prefix, environment, arguments.state)
                temp_before = findings.temp_listing(prefix)
                run = HeadlessRun(arguments, session, installation)
                phase("running %s, answering %s" % (installation.win(EXE_NAME), ", then ".join(
                    answer.replace("&", "") for answer in run.script())))
                run.run()

            phase("looking at what is left")
            after = inst.snapshot(prefix, environment, arguments.state)
            temp_after = findings.temp_listing(prefix)
            restarted = None
            if arguments.lane.wow64 and not arguments.on_display:
                phase("restarting Windows as Wine does (wineboot -r, a 64-bit process)")
                seconds = session.restart()
                restarted = inst.snapshot(prefix, environment, arguments.state)
        found = findings.Findings(arguments.lane, installation, arguments, setup.before, before, after,
                                  temp_before, temp_after, final=restarted)
        report_installer(arguments, setup, found)
        report(arguments, found, log, run)
        if restarted is not None:
            report_restart(installation, seconds, after, restarted)
        say()
        say("The prefix stays for a look: WINEPREFIX=%s" % os.path.relpath(prefix))
    finally:
        if stopped:
            wine_session.run_logged(["wineserver", "-k"], run.environment(), session.wine_log, 60)
        else:
            wine_session.stop(arguments.state)
    phase("done")
    return 0 if run.exit_code == 0 and not run.problems else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
