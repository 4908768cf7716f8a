"""The silent uninstall as the deployment tools start it: under Wine with no display at all, its whole exit
code read, and the proof that no window was tried.

    with no_display(session, holder) as environment:   the prefix's wineserver and desktop restarted under
        ...                                            Wine's null display driver, which refuses every
                                                       window; afterwards the X desktop as before
    Launch(session, launcher, program, arguments, lane, environment, name, hidden_station=False)
        -> .exit_code (the whole of it, not the Unix status's low byte), .window_calls
    install(session, launcher, setup, install_dir, lane, environment, name, quoted=False)
                                                       -> the installer's Launch (/S /D=)
    report_lines(prefix, path)                         -> the lines of a report the run wrote

A desktop that is up keeps the display driver it was made with for every program started on it, so the
null driver takes effect only for a wineserver started after it is set (measured with Wine 8: a
message box under an X11 desktop still opened after "Graphics"="null" was set). Under the null driver
MessageBoxA, CreateDialogParamA and CreateWindowExA fail at once (error 1400): a window a silent run
tried would not wait for an answer, so each run also has a relay trace of the calls that make windows,
and one such call fails the row.
"""

import contextlib
import os
import re
import subprocess
import time

from pxwine.fixed_names import UNINSTALLER_FILE_NAME
from pxwine.paths import unix_path, windows_path
from pxwine.registry import RegFile, sz
from pxwine.session import run_logged

DRIVERS_KEY = "HKCU\\Software\\Wine\\Drivers"
DEBUG_KEY = "HKCU\\Software\\Wine\\Debug"
# Every user32 call by which a program of either kind (ANSI or Unicode, the uninstaller or the installer)
# makes a window, a dialog or a message box.
WINDOW_CALLS = ("MessageBoxA", "MessageBoxW", "MessageBoxExA", "MessageBoxExW", "MessageBoxIndirectA",
                "MessageBoxIndirectW", "CreateDialogParamA", "CreateDialogParamW", "CreateDialogIndirectParamA",
                "CreateDialogIndirectParamW", "DialogBoxParamA", "DialogBoxParamW", "DialogBoxIndirectParamA",
                "DialogBoxIndirectParamW", "CreateWindowExA", "CreateWindowExW")
WINDOW_CALL = re.compile(r"Call user32\.(%s)\(" % "|".join(WINDOW_CALLS))
# The programs whose own calls the trace takes: Wine's desktop (explorer.exe), which the first program
# of a server starts, makes windows of its own that no row is about.
TRACED_PROGRAMS = (UNINSTALLER_FILE_NAME, "plexitone-setup.exe", "plexitone-setup-unicode.exe")
# A silent run ends within seconds; one that waits longer waits for an answer no one can give.
RUN_TIMEOUT_SECONDS = 60


def is_window_call(line):
    """A relay line of a call that makes something a person could see: not a message-only window, whose
    parent is HWND_MESSAGE (ole32 makes one for every thread that initialises COM, the shell's shortcuts
    among them)."""
    match = WINDOW_CALL.search(line)
    if match is None:
        return False
    if match.group(1).startswith("CreateWindowEx"):
        arguments = line[match.end():].split(")", 1)[0].split(",")
        if len(arguments) > 8 and arguments[8].strip().lower() == "fffffffd":
            return False
    return True


def end_server(session, environment):
    """Every program of the prefix ends, its wineserver with them (the desktop holder among them)."""
    run_logged(["wineserver", "-k"], environment, session.wine_log, 60)
    run_logged(["wineserver", "-w"], environment, session.wine_log, 60)


def settings(null_driver):
    changes = RegFile()
    changes.set_values(DRIVERS_KEY, {"Graphics": sz("null") if null_driver else None})
    changes.set_values(DEBUG_KEY, {
        "RelayInclude": sz(";".join("user32." + call for call in WINDOW_CALLS)) if null_driver else None,
        "RelayFromInclude": sz(";".join(TRACED_PROGRAMS)) if null_driver else None})
    return changes


@contextlib.contextmanager
def no_display(session, holder):
    """The prefix without a display: no DISPLAY in the environment, Wine's null display driver, and a relay
    trace of the window calls ready for the runs that ask for it (Launch). The new server boots the
    prefix, which carries out what waited for a restart: a row stages what it needs after this."""
    environment = dict(session.environment)
    environment.pop("DISPLAY", None)
    scratch = os.path.join(session.state_dir, "silent")
    os.makedirs(scratch, exist_ok=True)
    end_server(session, environment)
    # A persistent server, as the session's: one that ends between two programs has the next one start
    # another, and Wine boots the prefix then, carrying out the records for the restart. Booted here,
    # with its background services on this command's output file: a later pipe they held would keep
    # its reader waiting.
    run_logged(["wineserver", "-p"], environment, session.wine_log, 60)
    run_logged(["wine", "wineboot"], environment, session.wine_log, 120)
    # The first program of the new server reads the driver when it makes the desktop.
    settings(True).apply(environment, scratch)
    try:
        yield environment
    finally:
        settings(False).apply(environment, scratch)
        end_server(session, environment)
        session.keep_desktop_held(holder)


class Launch:
    """One run of program (a Windows path) with the command line arguments after its quoted path, through
    the launcher (tests/e2e/launcher), as Windows of the lane; hidden_station: on a window station no one
    can see; suspend: (report, text, release), Windows paths and a text, to hold the run under way where
    its report first holds the text until the file release exists (started, not waited for: finish()).
    Its output and relay trace are SESSION/journals/NAME.launch.txt and NAME.trace.txt; the window calls
    are those of the program's own process."""

    def __init__(self, session, launcher, program, arguments, lane, environment, name, hidden_station=False,
                 suspend=None):
        command = ["wine", launcher, "--version", lane.version]
        if hidden_station:
            command += ["--station", "hidden"]
        if suspend is not None:
            command += ["--suspend"] + list(suspend)
        command += [program, arguments]
        print("running: " + " ".join(command), flush=True)
        environment = dict(environment)
        environment["WINEDEBUG"] = "-all,+pid,+relay"
        self.output = os.path.join(session.journals, name + ".launch.txt")
        self.trace = os.path.join(session.journals, name + ".trace.txt")
        self.started = time.time()
        with open(self.output, "wb") as output, open(self.trace, "wb") as trace:
            self.process = subprocess.Popen(command, env=environment, stdin=subprocess.DEVNULL, stdout=output,
                                            stderr=trace)
        self.result = None
        self.exit_code = None
        self.window_calls = []
        if suspend is None:
            self.finish()

    def output_lines(self):
        with open(self.output, "rb") as stream:
            return stream.read().decode("latin-1").splitlines()

    def suspended(self):
        """Waits until the launcher holds the run suspended; False when it ended, or after the time allowed."""
        while time.time() - self.started < RUN_TIMEOUT_SECONDS:
            lines = [line.strip() for line in self.output_lines()]
            if "suspended" in lines:
                return True
            if self.process.poll() is not None:
                return False
            time.sleep(0.02)
        return False

    def finish(self):
        try:
            self.result = self.process.wait(timeout=max(1, RUN_TIMEOUT_SECONDS - (time.time() - self.started)))
        except subprocess.TimeoutExpired:
            # What the run left waiting ends with the prefix's server, when the row gives the display back.
            self.process.kill()
            self.process.wait()
            self.result = None
        lines = self.output_lines()
        codes = [int(line.split()[-1]) for line in lines if re.match(r"^exit code \d+\s*$", line)]
        processes = [int(line.split()[-1]) for line in lines if re.match(r"^process \d+\s*$", line)]
        self.exit_code = codes[-1] if len(codes) == 1 else None
        own = ("%04x:" % processes[0]) if len(processes) == 1 else None
        with open(self.trace, "rb") as stream:
            self.window_calls = [line.strip() for line in stream.read().decode("latin-1").splitlines()
                                 if own is not None and line.startswith(own) and is_window_call(line)]
        return self

    def troubles(self):
        """What went wrong with the run itself, one line each: the launcher's failure, a window tried."""
        lines = []
        if self.result is None:
            lines.append("the run did not end within %d s: it waits for something; see %s"
                         % (RUN_TIMEOUT_SECONDS, self.trace))
        elif self.result != 0 or self.exit_code is None:
            lines.append("the launcher ended with %d and no exit code of the run; see %s" % (self.result, self.output))
        lines += ["a window was tried: " + call for call in self.window_calls[:5]]
        return lines


def install(session, launcher, setup, install_dir, lane, environment, name, quoted=False):
    """The reference installer as a deployment tool runs it: /S, and /D= unquoted and last (NSIS takes no
    other); quoted: "/D=..." in quotation marks, which the installer refuses."""
    folder = ('"/D=%s"' if quoted else "/D=%s") % install_dir
    return Launch(session, launcher, windows_path(setup), "/S " + folder, lane, environment, name + ".setup")


def report_lines(prefix, path):
    """The report's lines, UTF-8 with its mark on the NT line, the code page 1252's bytes on the consumer
    line; [] when there is none."""
    local = unix_path(prefix, path)
    if not os.path.exists(local):
        return []
    with open(local, "rb") as stream:
        data = stream.read()
    text = data[3:].decode("utf-8") if data.startswith(b"\xef\xbb\xbf") else data.decode("cp1252")
    return text.split("\r\n")[:-1] if text.endswith("\r\n") else text.split("\r\n")
