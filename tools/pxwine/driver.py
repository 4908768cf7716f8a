"""Runs a program under the UI driver (pxdriver.exe) and reads back what the driver saw.

    DriverRun(session, driver, name, program, answers, line)  -> .result, .events, .journal, .prompts()
    read_journal(path)                                          -> [[field, ...], ...]

The journal's events and their fields are described at the top of tests/e2e/driver/pxdriver.cpp.
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


def read_journal(path):
    events = []
    with open(path, encoding="cp1252", errors="replace") as stream:
        for line in stream:
            events.append([unescape(field) for field in line.rstrip("\n").split("\t")])
    return events


def convert_shots(events, shots_dir, name):
    """The driver writes BMPs; PNGs are smaller and open anywhere."""
    converter = shutil.which("convert")
    for event in events:
        if event[0] != "shot":
            continue
        bmp = os.path.join(shots_dir, "%s-%s.bmp" % (name, event[1]))
        if converter is None or not os.path.exists(bmp):
            continue
        png = bmp[:-4] + ".png"
        if subprocess.run([converter, bmp, png], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, check=False).returncode == 0:
            os.remove(bmp)


class DriverRun:
    """One run of `program` (a Windows path) under the driver, on the line `line`, each prompt answered by
    the next of `answers`. The journal is SESSION/journals/NAME.txt, the driver's output NAME.log beside
    it, and with shots a PNG of every window SESSION/shots/NAME-N.png. cwd: the working folder (a
    Windows path; None: the program's folder). wide: started with CreateProcessW, as the shell starts a
    program, so that a path outside the ANSI code page names it exactly. echo prints the command first.
    dll_overrides: WINEDLLOVERRIDES entries for this run alone, after the session's ("uxtheme=n,b")."""

    def __init__(self, session, driver, name, program, answers, line, timeout=20, shots=True, cwd=None,
                 wide=False, echo=True, dll_overrides=None):
        self.journal = os.path.join(session.journals, name + ".txt")
        if os.path.exists(self.journal):
            os.remove(self.journal)
        command = ["wine", driver, "--journal", windows_path(self.journal)]
        if shots:
            command += ["--shots", windows_path(os.path.join(session.shots, name))]
        command += ["--timeout", str(timeout), "--version", line, "--start", "wide" if wide else "ansi"]
        if cwd is not None:
            command += ["--cwd", cwd]
        command += [program] + list(answers)
        if echo:
            print("running: " + " ".join(command), flush=True)
        environment = dict(session.environment)
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
        return [tuple(event) for event in self.events if event[0] in ("box", "dialog")]

    def windows(self, kind=None):
        return [event for event in self.events if event[0] == "window" and kind in (None, event[2])]

    def exit_code(self):
        """The program's exit code, None when it did not end on its own."""
        exits = [event for event in self.events if event[0] == "exit"]
        return int(exits[0][1]) if len(exits) == 1 else None

    def troubles(self):
        """What went wrong between the script and the program, one line each; empty for a clean run."""
        lines = ["journal: " + " ".join(event) for event in self.events if event[0] in TROUBLE]
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
