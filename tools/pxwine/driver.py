"""Runs a program under the UI driver (pxdriver.exe) and reads back what the driver saw.

    DriverRun(session, driver, name, program, answers, lane)  -> .result, .events, .journal, .prompts()
    read_journal(path)                                          -> [Event, ...]

The journal's events and their fields are described at the top of tests/e2e/driver/pxdriver.cpp; an
Event names them as that table does: event.kind, window.seq, window.owner, box.caption, progress.fill.
"""

import os
import shutil
import subprocess

from pxwine.paths import windows_path

# Events that mean the script and the program did not meet as planned.
TROUBLE = ("unscripted", "unmatched", "timeout", "unused", "killed", "launchfailed")

DRIVER_RESULTS = "2: time-out, 3: unscripted or unanswerable prompt, 4: could not start the program"


def unescape(field):
    out = []
    index = 0
    while index < len(field):
        char = field[index]
        if char == "\\" and index + 1 < len(field):
            following = field[index + 1]
            out.append({"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}.get(following, "\\" + following))
            index += 2
        else:
            out.append(char)
            index += 1
    return "".join(out)


# The fields after the kind, by kind, as pxdriver.cpp's table lists them.
EVENT_FIELDS = {
    "start": ("program", "folder", "version"),
    "window": ("seq", "window_kind", "window_class", "caption", "geometry", "screen", "owner"),
    "shot": ("seq", "file"),
    "control": ("seq", "id", "control_class", "style", "text"),
    "box": ("caption", "text", "buttons", "default", "answer"),
    "dialog": ("caption", "text", "buttons", "default", "answer"),
    "progress": ("text", "pos", "fill"),
    "unscripted": ("seq", "caption"),
    "unmatched": ("seq", "answer"),
    "timeout": ("seconds",),
    "unused": ("answer",),
    "exit": ("code",),
    "killed": ("code",),
    "launchfailed": ("error",),
    "dpi": ("seq", "logpixels", "client", "font"),
    "fit": ("seq", "id", "text", "box", "inside"),
}


class Event(tuple):
    """One journal line: the kind, then its fields, each readable by its name; a field the line lacks
    reads as "". As a tuple it equals a prompt of pxwine.texts with its answer."""

    def __getattr__(self, name):
        if name == "kind":
            return self[0]
        names = EVENT_FIELDS.get(self[0], ())
        if name not in names:
            raise AttributeError("a %r event has no field %r (it has %s)" % (self[0], name, names))
        index = names.index(name) + 1
        return self[index] if index < len(self) else ""

    def rect(self, field):
        """"x,y,w,h" or "w,h" fields as ints."""
        return tuple(int(part) for part in getattr(self, field).split(","))


def read_journal(path):
    events = []
    with open(path, encoding="cp1252", errors="replace") as stream:
        for line in stream:
            events.append(Event(unescape(field) for field in line.rstrip("\n").split("\t")))
    return events


def convert_shots(events, shots_dir, name):
    """The driver writes BMPs; PNGs are smaller and open anywhere."""
    converter = shutil.which("convert")
    for event in events:
        if event.kind != "shot":
            continue
        bmp = os.path.join(shots_dir, "%s-%s.bmp" % (name, event.seq))
        if converter is None or not os.path.exists(bmp):
            continue
        png = bmp[:-4] + ".png"
        if subprocess.run([converter, bmp, png], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, check=False).returncode == 0:
            os.remove(bmp)


class DriverRun:
    """One run of `program` (a Windows path) under the driver, on the lane `lane`, each prompt answered by
    the next of `answers`. The journal is SESSION/journals/NAME.txt, the driver's output NAME.log beside
    it, and with shots a PNG of every window SESSION/shots/NAME-N.png. cwd: the working folder (a
    Windows path; None: the program's folder). wide: started with CreateProcessW, as the shell starts a
    program, so that a path outside the ANSI code page names it exactly. echo prints the command first.
    dll_overrides: WINEDLLOVERRIDES entries for this run alone, after the session's ("uxtheme=n,b"). dpi: the
    DPI the run is drawn at, every window measured ("dpi" and "fit" events); None for Wine's 96 unmeasured.
    display: the X display for this run alone, instead of the session's."""

    def __init__(self, session, driver, name, program, answers, lane, timeout=20, shots=True, cwd=None,
                 wide=False, echo=True, dll_overrides=None, dpi=None, display=None):
        if session.arch != lane.arch:
            raise RuntimeError("the %s lane needs a %s prefix; %s is %s"
                               % (lane.name, lane.arch, session.prefix, session.arch))
        self.journal = os.path.join(session.journals, name + ".txt")
        if os.path.exists(self.journal):
            os.remove(self.journal)
        command = ["wine", driver, "--journal", windows_path(self.journal)]
        if shots:
            command += ["--shots", windows_path(os.path.join(session.shots, name))]
        command += ["--timeout", str(timeout), "--version", lane.version, "--start", "wide" if wide else "ansi"]
        if cwd is not None:
            command += ["--cwd", cwd]
        if dpi is not None:
            command += ["--dpi", str(dpi)]
        command += [program] + list(answers)
        if echo:
            print("running: " + " ".join(command), flush=True)
        environment = dict(session.environment)
        if display is not None:
            environment["DISPLAY"] = display
        if dll_overrides:
            environment["WINEDLLOVERRIDES"] = ";".join(
                part for part in (environment.get("WINEDLLOVERRIDES"), dll_overrides) if part)
        with open(os.path.join(session.journals, name + ".log"), "wb") as output:
            self.result = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL,
                                         stdout=output, stderr=subprocess.STDOUT, timeout=timeout * 4,
                                         check=False).returncode
        self.events = read_journal(self.journal) if os.path.exists(self.journal) else []
        if shots:
            convert_shots(self.events, session.shots, name)

    def prompts(self):
        """Every message box and dialog answered: (kind, caption, text, buttons, default, answer)."""
        return [event for event in self.events if event.kind in ("box", "dialog")]

    def windows(self, kind=None):
        return [event for event in self.events if event.kind == "window" and kind in (None, event.window_kind)]

    def exit_code(self):
        """The program's exit code, None when it did not end on its own."""
        exits = [event for event in self.events if event.kind == "exit"]
        return int(exits[0].code) if len(exits) == 1 else None

    def troubles(self):
        """What went wrong between the script and the program, one line each; empty for a clean run."""
        lines = ["journal: " + " ".join(event) for event in self.events if event.kind in TROUBLE]
        if not self.windows() and self.exit_code() is not None and any(e.kind == "unused" for e in self.events):
            lines.insert(0, "the program ended with %d without a single window: under Wine every window of a "
                         "program fails while it cannot reach its X display, or while its desktop has none "
                         "(started before the X server answered)" % self.exit_code())
        if self.result != 0:
            lines.insert(0, "the driver ended with %d (%s); its journal is %s"
                         % (self.result, DRIVER_RESULTS, self.journal))
        return lines


def prompts_differ(expected, seen):
    """A readable failure when the prompts seen are not the ones expected, else None."""
    if list(expected) == list(seen):
        return None
    return ("prompts differ\n  expected:\n%s\n  seen:\n%s"
            % ("\n".join("    %r" % (p,) for p in expected), "\n".join("    %r" % (p,) for p in seen)))
