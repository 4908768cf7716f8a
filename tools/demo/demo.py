#!/usr/bin/env python3
"""The demonstration behind scripts/demo: a scratch Wine prefix, Plexitone installed in it by its real
installer (silent), one run of pxunins.exe, and a report of what the installer made, what the run removed
and what it left, with the reason for each thing left.

    demo.py --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --pxlog PXLOG --setup PLEXITONE-SETUP.EXE
            [--lane nt32|consumer|nt64] [--no-log] [--shared] [--on-display DISPLAY] [--started EPOCH]

Without --on-display the uninstaller runs on a screenless X server and the driver answers its prompts as
a user would; every dialog is saved as DIR/shots/<lane>-<n>-<what>.png. With it, the dialogs open on that
display and the person at it answers them. On the 64-bit lane (a 64-bit prefix, both programs under
WoW64) the restart is carried out after the run (wineboot -r) and the report says what it removed.
"""

import argparse
import os
import shutil
import subprocess
import sys
import textwrap
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import pxwine.installation as inst  # noqa: E402
from pxwine import session as wine_session  # noqa: E402
from pxwine.driver import DriverRun  # noqa: E402
from pxwine.paths import windows_path  # noqa: E402
from pxwine.registry import RegFile, dword, multi_sz, sz  # noqa: E402
from pxwine.lanes import LANES, NT32, NT64, by_name  # noqa: E402
from pxwine.texts import REMOVING, prompt_name  # noqa: E402
from pxwine.uninstall_log import LOG_NAME, read_entries  # noqa: E402

EXE_NAME = "pxunins.exe"
SETUP_NAME = "plexitone-setup.exe"

# What the driver answers: the confirmation Yes, the restart question No (the prefix stays to be looked
# at), the completion OK, the fallback dialog "Go on".
ANSWERS = {"confirm": "Yes", "restart": "No", "complete": "OK", "fallback": "&Go on"}

DRIVER_TIMEOUT_SECONDS = 30

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
    """What other programs left in the prefix, so that a run which touches more than its own shows: another
    MIDI driver before ours, another shared file's use count, a group of the same name in all users' start
    menu, another program's pending deletion; with shared, another program that uses the pipe driver; under
    WoW64 another program's 64-bit file of our driver's name in the real system32."""
    prefix = session.prefix
    inst.reset_files(prefix)
    changes = inst.reset_changes()
    shared_counts = {inst.OTHER_SHARED_FILE: dword(2)}
    if shared:
        shared_counts[inst.DRIVER_NAME] = dword(1)
        inst.write_file(inst.unix_path(prefix, lane.disk_file(inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME)),
                        b"MZ plexitone pipe driver\r\n")
    if lane.wow64:
        inst.write_file(inst.unix_path(prefix, inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME),
                        inst.OTHER_DRIVER_64_CONTENT)
    changes.set_values(inst.SHARED_DLLS_KEY, shared_counts)
    if lane.nt:
        changes.set_values(inst.DRIVERS32_KEY, {"midi": sz(inst.OTHER_MIDI_DRIVER)})
        changes.set_values(inst.DRIVERS_DESC_KEY, {inst.OTHER_MIDI_DRIVER: sz("Other Synth")})
    else:
        inst.set_ini_lines(inst.system_ini(prefix), "drivers", inst.OTHER_SYSTEM_INI_DRIVERS)
    changes.set_values(inst.SESSION_MANAGER_KEY, {inst.PENDING_RENAMES: multi_sz([inst.OTHER_PENDING, ""])})
    inst.write_ini(inst.wininit_ini(prefix), [("rename", [inst.OTHER_WININIT_LINE])])
    common_group = os.path.join(inst.common_programs_folder(prefix), inst.GROUP_NAME)
    inst.write_file(os.path.join(common_group, "Plexitone.lnk"),
                    inst.shell_link(inst.DEFAULT_INSTALL_DIR + "\\px.exe", "Plexitone", inst.DEFAULT_INSTALL_DIR))
    # The installer asks which line it runs on, as the uninstaller does.
    changes.set_values("HKCU\\Software\\Wine\\AppDefaults\\" + os.path.basename(SETUP_NAME),
                       {"Version": sz(lane.version)})
    changes.apply(session.environment, scratch_dir)


# A sample library like the one the full product brings: enough files that the progress dialog stays on the
# screen long enough to be seen (and photographed), as it does for a real installation. The installer's
# payload (installer/make_staging.py) carries it.
SAMPLE_LIBRARY = "Samples\\Library"
SAMPLE_COUNT = 400


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
    """One silent run of the installer: its exit code, its time, and the prefix just before it."""

    def __init__(self, arguments, session):
        stage_neighbours(session, arguments.lane, arguments.shared, arguments.state)
        self.before = inst.snapshot(session.prefix, session.environment, arguments.state)
        # Through cmd, with /D= unquoted and last: NSIS ignores a quoted "/D=...".
        command = ["wine", "cmd", "/c", "%s /S /D=%s" % (windows_path(arguments.setup), inst.DEFAULT_INSTALL_DIR)]
        started = time.time()
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
# The report


def count(items, kind, under):
    under = under.lower()
    return sorted(item[1] for item in items if item[0] == kind and inst.in_tree(item[1], under))


def product_keys(lane):
    return ([inst.APP_PATH_KEY]
            + [inst.USER_PRODUCT_KEY + "\\" + name for name in inst.USER_SETTINGS_KEYS]
            + [inst.USER_PRODUCT_KEY, inst.USER_MAKER_KEY, inst.uninstall_key(lane),
               inst.MACHINE_PRODUCT_KEY, inst.MACHINE_MAKER_KEY])


def views(key):
    """A key as our 32-bit programs name it, and where WoW64 redirects it (absent in a 32-bit prefix)."""
    return (key, NT64.machine_key(key))


def has_key(items, key):
    return any(("key", inst.normal_key(view)) in items for view in views(key))


def value_of(items, key, name):
    for view in views(key):
        value = items.get(("value", inst.normal_key(view), name.lower()))
        if value is not None:
            return value
    return None


def shorten(path, installation):
    return path.replace(installation.install_dir.lower(), "<install>")


def driver_registration(items, lane):
    """Where the driver is listed as a MIDI driver, as readable lines."""
    found = []
    if lane.nt:
        for name in ["midi"] + ["midi%d" % i for i in range(1, 100)]:
            value = value_of(items, inst.DRIVERS32_KEY, name)
            if value is not None and value.kind == 1 and value.text().lower() == inst.DRIVER_NAME:
                found.append("Drivers32 %s=%s" % (name, value.text()))
        if value_of(items, inst.DRIVERS_DESC_KEY, inst.DRIVER_NAME) is not None:
            found.append("drivers.desc %s" % inst.DRIVER_NAME)
    else:
        for line_text in items.get(("ini", "system.ini", "drivers"), ()):
            if line_text.lower().startswith("midiplexitone="):
                found.append("system.ini [drivers] " + line_text)
    return found


def pending_deletions(items, lane, driver_file):
    """The record that deletes the driver's file at the next start of Windows."""
    wanted = driver_file.lower()
    if lane.nt:
        value = value_of(items, inst.SESSION_MANAGER_KEY, inst.PENDING_RENAMES)
        strings = value.strings() if value is not None and value.kind == 7 else []
        return ["PendingFileRenameOperations: %s -> (delete)" % strings[i]
                for i in range(0, len(strings) - 1, 2) if strings[i].lower().endswith(wanted[2:])]
    return ["wininit.ini [rename] " + text for text in items.get(("ini", "wininit.ini", "rename"), ())
            if text.lower().startswith("nul=") and text.lower().endswith(wanted[2:])]


def report_installer(arguments, setup, installed, after):
    """What the installer made, against what the uninstall removed of it."""
    made = [item for item in installed if item not in setup.before]
    changed = [item for item in installed if item in setup.before and installed[item] != setup.before[item]]
    left = [item for item in made if item in after]
    kinds = {}
    for item in made:
        kinds[item[0]] = kinds.get(item[0], 0) + 1
    say()
    say("Plexitone installed by its installer, then uninstalled:")
    say("  %s /S, exit code %d in %.1f s: made %s; changed %d"
        % (os.path.relpath(arguments.setup), setup.exit_code, setup.seconds,
           ", ".join("%d %ss" % (number, kind) for kind, number in sorted(kinds.items())), len(changed)))
    say("  the uninstall removed %d of the %d things made; left:" % (len(made) - len(left), len(made)))
    for item in sorted(left, key=lambda item: tuple(str(part) for part in item))[:12]:
        say("    " + inst.describe(item))
    if len(left) > 12:
        say("    ... and %d more" % (len(left) - 12))


def report(arguments, installation, log, before, after, run):
    install_dir = installation.install_dir
    lane = arguments.lane
    files_before = count(before, "file", install_dir)
    folders_before = count(before, "folder", install_dir)
    files_after = count(after, "file", install_dir)
    folders_after = count(after, "folder", install_dir)
    group = "<programs>\\" + inst.GROUP_NAME
    shortcuts_before = count(before, "file", group)
    shortcuts_after = count(after, "file", group)
    keys = [key for key in product_keys(lane) if has_key(before, key)]
    keys_left = [key for key in keys if has_key(after, key)]
    driver_file = ("file", installation.driver_disk_file.lower())
    shared_before = value_of(before, inst.SHARED_DLLS_KEY, inst.DRIVER_NAME)
    shared_after = value_of(after, inst.SHARED_DLLS_KEY, inst.DRIVER_NAME)
    registered_before = driver_registration(before, lane)
    registered_after = driver_registration(after, lane)
    pending = pending_deletions(after, lane, installation.driver_disk_file)

    say()
    say("Plexitone uninstall demo, %s" % lane.title)
    say()
    say("Installed:")
    say("  %d files in %d folders under %s" % (len(files_before), len(folders_before), install_dir))
    if arguments.no_log:
        say("  no uninstall log (%s, %d entries from the installer, deleted on purpose)" % (LOG_NAME, log[0]))
    else:
        say("  the uninstall log %s, %d entries, written by the installer (pxlog show: %s)"
            % (LOG_NAME, log[0], os.path.relpath(os.path.join(arguments.state, "log.txt"))))
        say("    pxlog check: %s" % log[1])
    say("  %d shortcuts in the start-menu group \"%s\"" % (len(shortcuts_before), inst.GROUP_NAME))
    say("  %d registry keys: App Paths\\px.exe, the user's settings (5 keys) and the maker key, the entry"
        % len(keys))
    say("    in the list of installed programs, the machine's product and maker keys")
    say("  the MIDI pipe driver %s%s, shared-use count %s,"
        % (installation.driver_file, " (on the disk %s)" % installation.driver_disk_file
           if lane.wow64 else "", shared_before.number() if shared_before is not None else "none"))
    say("    registered in %s" % (" and ".join(registered_before) or "nothing"))

    say()
    say("The run%s:" % ("" if run.prompts else " (answered on the display)"))
    if run.prompts:
        for name, _caption, text, answer in run.prompts:
            if name == "progress":
                say("  progress  \"Removing: <path>\" and the bar while the files go (%s)" % answer)
            else:
                quoted = "\"%s\" -> %s" % (text.replace("\n", " ").replace("|", " "), answer.replace("&", ""))
                say(textwrap.fill(quoted, width=100, initial_indent="  %-9s " % name,
                                  subsequent_indent=" " * 13))
    say("  exit code %s" % ("unknown" if run.exit_code is None else run.exit_code))
    for problem in run.problems:
        say("  problem: " + problem)

    say()
    say("Gone:")
    say("  %d of %d files and %d of %d folders of the installation"
        % (len(files_before) - len(files_after), len(files_before),
           len(folders_before) - len(folders_after), len(folders_before)))
    group_gone = ("folder", group.lower()) not in after
    say("  %d of %d shortcuts%s" % (len(shortcuts_before) - len(shortcuts_after), len(shortcuts_before),
                                     ", and the group folder" if group_gone else ""))
    say("  %d of %d registry keys" % (len(keys) - len(keys_left), len(keys)))
    gone_driver = [text for text in registered_before if text not in registered_after]
    if shared_before is not None and shared_after is None:
        gone_driver.append("its SharedDLLs count")
    if gone_driver:
        say("  the driver's registration: " + ", ".join(gone_driver))
    if driver_file in before and driver_file not in after:
        say("  the driver's file %s, deleted while Wine restarted (Yes to the restart question)"
            % installation.driver_disk_file)
    if before == after:
        say("  nothing: the run ended before its first step (No to the confirmation ends it at once)")
        return

    say()
    say("Stayed, and why:")
    stayed = False
    if files_after or folders_after:
        stayed = True
        own = {(install_dir + "\\" + name).lower(): name for name in (EXE_NAME, LOG_NAME)}
        own_left = [name for name in (EXE_NAME, LOG_NAME) if (install_dir + "\\" + name).lower() in files_after]
        others = [path for path in files_after if path not in own]
        if arguments.no_log:
            say("  %d files in %d folders under %s: without its log the uninstaller"
                % (len(files_after), len(folders_after), install_dir))
            say("    cannot know what was installed, so it removes none of them")
        else:
            if own_left:
                say("  %s: not in the log, as a running program cannot delete its own file"
                    % " and ".join(own_left))
                say("    and the log does not list itself; so %s stays too, not empty" % install_dir)
            if others:
                say("  %d files the log lists that the removal pass could not delete: %s"
                    % (len(others), ", ".join(shorten(path, installation) for path in others[:5])))
            if install_dir.lower() in folders_after and not own_left:
                say("  the folder %s: it is not empty" % install_dir)
    if shortcuts_after:
        stayed = True
        say("  %d shortcuts in the start-menu group" % len(shortcuts_after))
    if keys_left:
        stayed = True
        if arguments.no_log:
            why = "the reduced clean-up after the fallback dialog leaves the registry alone"
        elif arguments.shared and set(keys_left) <= {inst.MACHINE_PRODUCT_KEY, inst.MACHINE_MAKER_KEY}:
            why = "they name the pipe driver, which another program still uses"
        else:
            why = "not removed"
        say("  %d registry keys: %s" % (len(keys_left), why))
        for key in keys_left:
            say("    " + key)
    if driver_file in after:
        stayed = True
        if pending:
            say("  %s: a driver may be in use until Windows restarts, so its file goes"
                % installation.driver_disk_file)
            say("    at the next restart (%s); the record that does it:"
                % ("hence the restart question" if not arguments.no_log
                   else "the fallback road offers none, Windows does it at any restart"))
            for record in pending:
                say("    " + record)
        elif arguments.shared:
            say("  %s and its registration: another program still uses the driver;"
                % installation.driver_disk_file)
            say("    its shared-use count (%s) is only read, never lowered"
                % (shared_after.number() if shared_after is not None else "gone"))
        else:
            say("  %s: not scheduled for deletion" % installation.driver_disk_file)
    if registered_after and not arguments.shared:
        stayed = True
        say("  the driver's registration: " + ", ".join(registered_after))
    if not stayed:
        say("  nothing")

    neighbours = [
        ("another program's MIDI driver", driver_registration_other(after, lane)),
        ("another program's shared-use count",
         value_of(after, inst.SHARED_DLLS_KEY, inst.OTHER_SHARED_FILE) is not None),
        ("another program's pending deletion", other_pending(after, lane)),
        ("the all-users group \"Plexitone\"",
         ("file", "<common programs>\\plexitone\\plexitone.lnk") in after),
    ]
    kept = [name for name, present in neighbours if present]
    if kept:
        say()
        say("Left alone, as they belong to others:")
        say(textwrap.fill(", ".join(kept), width=100, initial_indent="  ", subsequent_indent="  "))

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
    for item in sorted(removed, key=lambda item: tuple(str(part) for part in item)):
        say("  " + inst.describe(item))
    if not removed:
        say("  nothing")
    other = ("file", installation.driver_file.lower())
    say("  another program's 64-bit %s in the real system32: %s"
        % (installation.driver_file, "still there" if other in restarted else "GONE, deleted by our record"))
    ours = ("file", installation.driver_disk_file.lower())
    if ours in restarted:
        say("  our driver %s is still there" % installation.driver_disk_file)


def other_pending(items, lane):
    if lane.nt:
        value = value_of(items, inst.SESSION_MANAGER_KEY, inst.PENDING_RENAMES)
        return value is not None and value.kind == 7 and inst.OTHER_PENDING in value.strings()
    return inst.OTHER_WININIT_LINE in items.get(("ini", "wininit.ini", "rename"), ())


def driver_registration_other(items, lane):
    if lane.nt:
        value = value_of(items, inst.DRIVERS32_KEY, "midi")
        return value is not None and value.text().lower() == inst.OTHER_MIDI_DRIVER
    return any(text.lower() == "midi=" + inst.OTHER_MIDI_DRIVER
               for text in items.get(("ini", "system.ini", "drivers"), ()))


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
    parser.add_argument("--started", type=float)
    arguments = parser.parse_args(argv[1:])
    if arguments.started:
        STARTED = arguments.started
    arguments.lane = by_name(arguments.lane)
    for name in ("state", "exe", "driver", "pxlog", "setup"):
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
            phase("running %s on display %s" % (installation.win(EXE_NAME), arguments.on_display))
            run.run()
        else:
            before = inst.snapshot(prefix, environment, arguments.state)
            run = HeadlessRun(arguments, session, installation)
            phase("running %s, answering %s" % (installation.win(EXE_NAME), ", then ".join(
                answer.replace("&", "") for answer in run.script())))
            run.run()

        phase("looking at what is left")
        after = inst.snapshot(prefix, environment, arguments.state)
        restarted = None
        if arguments.lane.wow64 and not arguments.on_display:
            phase("restarting Windows as Wine does (wineboot -r, a 64-bit process)")
            seconds = session.restart()
            restarted = inst.snapshot(prefix, environment, arguments.state)
        report_installer(arguments, setup, before, restarted or after)
        report(arguments, installation, log, before, after, run)
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
