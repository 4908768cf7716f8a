#!/usr/bin/env python3
"""End-to-end scenarios: the real pxunins.exe under Wine, its prompts answered by pxdriver.

    scenarios.py list
    scenarios.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE

Each scenario stages an install folder under the prefix's C:\\e2e, copies the uninstaller into it, writes
its log, has the driver run it with the scripted answers, and then checks the driver's journal (every
prompt with its exact texts, buttons and default button; the dialogs centred on the screen; the progress
dialog's texts), the files left in the folder, the start-menu group, and the exit code 0. The state
directory is the one fixture.py made; shots of every window land in its shots/ as NAME-N.png.
"""

import argparse
import glob
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from fixture import load_env, wine_environment  # noqa: E402
from uninstall_log import (ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, LogBuilder,  # noqa: E402
                           sound_log)

# ---------------------------------------------------------------------------------------------------------
# What the user sees. The buttons' own texts ("&Yes", "OK") are user32's; the rest is the uninstaller's.

CAPTION_BOX = "Plexitone Uninstall"
CAPTION_DIALOG = "Uninstall Plexitone"
CONFIRM_TEXT = "The Plexitone is about to be uninstalled. Proceed?"
COMPLETE_TEXT = "The uninstall is complete"
FALLBACK_TEXTS = ("The Plexitone uninstall cannot start. The program had possibly been already uninstalled."
                  "|However the uninstall may attempt to remove the Plexitone pipe driver and/or start menu"
                  " group if they are left in the system.")

# (kind, caption, text, buttons, default button) as the journal writes them.
CONFIRM = ("box", CAPTION_BOX, CONFIRM_TEXT, "&Yes|&No", "&No")  # MB_YESNO | MB_DEFBUTTON2
COMPLETE = ("box", CAPTION_BOX, COMPLETE_TEXT, "OK", "OK")       # MB_OK
FALLBACK = ("dialog", CAPTION_DIALOG, FALLBACK_TEXTS, "&Go on|Cancel", "&Go on")

START_MENU_SHORTCUTS = ("Plexitone.lnk", "Plexitone Help.lnk", "Plexitone License.lnk",
                        "Plexitone Home Page.lnk", "Uninstall Plexitone.lnk")

NT_LINE = "winxp"
CONSUMER_LINE = "win98"

DRIVER_TIMEOUT_SECONDS = 20

# ---------------------------------------------------------------------------------------------------------
# Staging


class Stage:
    """One install folder: its Windows path (with the trailing backslash) and where it lies on the disk."""

    def __init__(self, prefix, windows_dir):
        assert windows_dir.startswith("C:\\") and windows_dir.endswith("\\")
        self.windows_dir = windows_dir
        self.prefix = prefix
        self.unix_dir = os.path.join(prefix, "drive_c", *windows_dir[3:-1].split("\\"))
        self.outside = []  # files of other programs, outside the folder, that must survive the run

    def outside_file(self, windows_path, content=b"another program's\r\n"):
        path = os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))
        with open(path, "wb") as stream:
            stream.write(content)
        self.outside.append(path)

    def win(self, relative):
        return self.windows_dir + relative

    def file(self, relative, content=b"plexitone\r\n"):
        path = os.path.join(self.unix_dir, *relative.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as stream:
            stream.write(content)

    def folder(self, relative):
        os.makedirs(os.path.join(self.unix_dir, *relative.split("\\")), exist_ok=True)

    def snapshot(self):
        """Every file and folder below the install folder, as relative Windows paths; folders end in '\\'."""
        found = set()
        for root, folders, files in os.walk(self.unix_dir):
            relative_root = os.path.relpath(root, self.unix_dir)
            base = "" if relative_root == "." else relative_root.replace(os.sep, "\\") + "\\"
            found.update(base + name + "\\" for name in folders)
            found.update(base + name for name in files)
        return found


def long_folder(name, length):
    """C:\\e2e\\NAME\\... padded with folders to exactly `length` characters, trailing backslash included."""
    path = "C:\\e2e\\" + name + "\\"
    remaining = length - len(path)
    assert remaining >= 0
    while remaining > 0:
        size = min(100, remaining - 1)
        if remaining - (size + 1) == 1:
            size -= 1
        path += "p" * size + "\\"
        remaining -= size + 1
    assert len(path) == length
    return path


# Each stager fills the folder and returns (log bytes or None for no log, the relative paths that a run
# through the removal pass removes).

def stage_basic(stage):
    """A folder listed before its files, a file at the top, and one file the log does not name."""
    for relative in ("sub\\b.txt", "sub\\c.txt", "a.txt", "keep.txt"):
        stage.file(relative)
    log = sound_log([
        (ENTRY_KIND_DIRECTORY, stage.win("sub")),
        (ENTRY_KIND_FILE, stage.win("sub\\b.txt")),
        (ENTRY_KIND_FILE, stage.win("sub\\c.txt")),
        (ENTRY_KIND_FILE, stage.win("a.txt")),
    ])
    return log, {"sub\\", "sub\\b.txt", "sub\\c.txt", "a.txt"}


def stage_removal_order(stage):
    """Newest first: a folder listed before its files goes; one listed after its file stays, emptied;
    a folder that holds a file the log does not name stays with it."""
    for relative in ("before\\a.txt", "before\\b.txt", "after\\c.txt", "mixed\\x.txt", "mixed\\user.txt",
                     "keep.txt"):
        stage.file(relative)
    log = sound_log([
        (ENTRY_KIND_DIRECTORY, stage.win("before")),
        (ENTRY_KIND_FILE, stage.win("before\\a.txt")),
        (ENTRY_KIND_FILE, stage.win("before\\b.txt")),
        (ENTRY_KIND_FILE, stage.win("after\\c.txt")),
        (ENTRY_KIND_DIRECTORY, stage.win("after")),
        (ENTRY_KIND_DIRECTORY, stage.win("mixed")),
        (ENTRY_KIND_FILE, stage.win("mixed\\x.txt")),
    ])
    return log, {"before\\", "before\\a.txt", "before\\b.txt", "after\\c.txt", "mixed\\x.txt"}


def stage_empty_log(stage):
    stage.file("keep.txt")
    return sound_log([]), set()


def stage_negative_count(stage):
    """A negative count lists nothing, whatever follows the header."""
    stage.file("a.txt")
    log = (LogBuilder()
           .header(-1)
           .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
           .bytes())
    return log, set()


def stage_bytes_after_count(stage):
    """Entries after the counted ones are never read."""
    stage.file("a.txt")
    stage.file("b.txt")
    log = (LogBuilder()
           .header(1)
           .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
           .entry(ENTRY_KIND_FILE, stage.win("b.txt"))
           .bytes())
    return log, {"a.txt"}


def stage_missing_log(stage):
    stage.file("a.txt")
    return None, set()


def malformed(build):
    """A refused log: its sound entries name real files, so a loader that took them would remove them."""
    def stager(stage):
        stage.file("a.txt")
        stage.file("b.txt")
        return build(stage), set()
    return stager


def log_11_bytes(stage):
    return (LogBuilder()
            .u32(0x5749AAE0)           # magic
            .u32(0)                    # second header word
            .raw(b"\x00\x00\x00")      # entry count: one byte short
            .bytes())


def log_wrong_magic(stage):
    return (LogBuilder()
            .u32(0x5749AAE1)           # magic, last bit flipped
            .u32(0)
            .i32(1)
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .bytes())


def log_reversed_magic(stage):
    return (LogBuilder()
            .raw(b"\x57\x49\xAA\xE0")  # magic stored big-endian
            .u32(0)
            .i32(1)
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .bytes())


def log_second_word_1(stage):
    return (LogBuilder()
            .u32(0x5749AAE0)
            .u32(1)                    # second header word: must be 0
            .i32(1)
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .bytes())


def log_kind_2(stage):
    return (LogBuilder()
            .header(2)
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .u32(2)                    # kind: neither file nor folder
            .i32(len(stage.win("b.txt")))
            .raw(stage.win("b.txt").encode("cp1252"))
            .bytes())


def log_path_length(length):
    def build(stage):
        return (LogBuilder()
                .header(2)
                .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
                .u32(ENTRY_KIND_FILE)
                .i32(length)           # path length out of 1..259
                .raw(b"C" * max(length, 0))
                .bytes())
    return build


def log_ends_inside_entry(stage):
    path = stage.win("b.txt").encode("cp1252")
    return (LogBuilder()
            .header(2)
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .u32(ENTRY_KIND_FILE)
            .i32(len(path))
            .raw(path[:-1])            # the file ends one byte into the path
            .bytes())


def log_fewer_entries(stage):
    return (LogBuilder()
            .header(3)                 # three counted, two present
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .entry(ENTRY_KIND_FILE, stage.win("b.txt"))
            .bytes())


GHOSTS = 3000
REAL_FILES = 10


def stage_progress(stage):
    """Enough entries to keep the progress dialog up for a while: nonexistent files between real ones.
    The real files come last in the log, so the pass starts with them."""
    entries = [(ENTRY_KIND_DIRECTORY, stage.win("data"))]
    removed = {"data\\"}
    for index in range(REAL_FILES // 2):
        stage.file("data\\early%02d.txt" % index)
        entries.append((ENTRY_KIND_FILE, stage.win("data\\early%02d.txt" % index)))
        removed.add("data\\early%02d.txt" % index)
    entries += [(ENTRY_KIND_FILE, stage.win("ghost\\g%04d.txt" % index)) for index in range(GHOSTS)]
    for index in range(REAL_FILES // 2):
        stage.file("data\\late%02d.txt" % index)
        entries.append((ENTRY_KIND_FILE, stage.win("data\\late%02d.txt" % index)))
        removed.add("data\\late%02d.txt" % index)
    return sound_log(entries), removed


def stage_relative_entries(stage):
    """Started from the list of installed programs, the working folder is the system folder: entries that
    are not full paths would name other programs' files there. They stay; the full path goes."""
    stage.outside_file("C:\\windows\\system32\\pxrel.ini")
    stage.outside_file("C:\\windows\\pxrel.ini")
    stage.file("a.txt")
    log = sound_log([
        (ENTRY_KIND_FILE, "pxrel.ini"),
        (ENTRY_KIND_FILE, "..\\pxrel.ini"),
        (ENTRY_KIND_FILE, "\\windows\\system32\\pxrel.ini"),
        (ENTRY_KIND_FILE, "C:pxrel.ini"),
        (ENTRY_KIND_FILE, stage.win("a.txt")),
    ])
    return log, {"a.txt"}


# ---------------------------------------------------------------------------------------------------------
# The table


class Scenario:
    def __init__(self, name, stager, answers, prompts, start_menu, removes=False, line=NT_LINE,
                 folder_length=None, progress=False, working_folder=None):
        self.name = name
        self.removes = removes          # whether the removal pass runs, or the folder stays as staged
        self.stager = stager
        self.answers = answers
        self.prompts = prompts          # [(kind, caption, text, buttons, default, answer)]
        self.start_menu = start_menu    # "removed" or "kept": the group staged before the run
        self.line = line
        self.folder_length = folder_length
        self.progress = progress
        self.working_folder = working_folder  # None: the program's own folder


def answered(prompt, answer):
    return prompt + (answer,)


def main_road(name, stager, line=NT_LINE, folder_length=None, progress=False, working_folder=None):
    return Scenario(name, stager, ["Yes", "OK"], [answered(CONFIRM, "Yes"), answered(COMPLETE, "OK")],
                    "removed", removes=True, line=line, folder_length=folder_length, progress=progress,
                    working_folder=working_folder)


def refused(name, stager, line=NT_LINE, folder_length=None):
    return Scenario(name, stager, ["Cancel"], [answered(FALLBACK, "Cancel")], "kept", line=line,
                    folder_length=folder_length)


SCENARIOS = [
    main_road("confirm_yes", stage_basic),
    main_road("confirm_yes_consumer_line", stage_basic, line=CONSUMER_LINE),
    Scenario("confirm_no", stage_basic, ["No"], [answered(CONFIRM, "No")], "kept"),
    # Enter takes the default button, which must be No.
    Scenario("confirm_enter_is_no", stage_basic, ["{ENTER}"], [answered(CONFIRM, "{ENTER}")], "kept"),
    main_road("removal_order", stage_removal_order),
    main_road("empty_log", stage_empty_log),
    main_road("negative_count", stage_negative_count),
    main_road("bytes_after_last_counted_entry", stage_bytes_after_count),
    refused("log_missing", stage_missing_log),
    refused("log_11_bytes", malformed(log_11_bytes)),
    refused("log_wrong_magic", malformed(log_wrong_magic)),
    refused("log_reversed_magic", malformed(log_reversed_magic)),
    refused("log_second_word_1", malformed(log_second_word_1)),
    refused("log_kind_2", malformed(log_kind_2)),
    refused("log_path_length_0", malformed(log_path_length(0))),
    refused("log_path_length_minus_1", malformed(log_path_length(-1))),
    refused("log_path_length_260", malformed(log_path_length(260))),
    refused("log_ends_inside_entry", malformed(log_ends_inside_entry)),
    refused("log_fewer_entries_than_counted", malformed(log_fewer_entries)),
    refused("log_fewer_entries_consumer_line", malformed(log_fewer_entries), line=CONSUMER_LINE),
    # The fallback dialog's answers: "&Go on" (also Enter and Alt+G) removes the start-menu group and
    # nothing else; "Cancel" (also Esc and the close box) removes nothing. No message follows either.
    Scenario("fallback_go_on", stage_missing_log, ["&Go on"], [answered(FALLBACK, "&Go on")], "removed"),
    Scenario("fallback_go_on_malformed_log", malformed(log_fewer_entries), ["&Go on"],
             [answered(FALLBACK, "&Go on")], "removed"),
    Scenario("fallback_enter", stage_missing_log, ["{ENTER}"], [answered(FALLBACK, "{ENTER}")], "removed"),
    Scenario("fallback_alt_g", stage_missing_log, ["{ALT+g}"], [answered(FALLBACK, "{ALT+g}")], "removed"),
    refused("fallback_cancel", stage_missing_log),
    Scenario("fallback_escape", stage_missing_log, ["{ESC}"], [answered(FALLBACK, "{ESC}")], "kept"),
    Scenario("fallback_close_box", stage_missing_log, ["{CLOSE}"], [answered(FALLBACK, "{CLOSE}")], "kept"),
    # The log path is the folder (trailing backslash included) and "_pxunins.dat": 247 + 12 = 259 fits.
    main_road("folder_247_characters", stage_basic, folder_length=247),
    refused("folder_248_characters", stage_basic, folder_length=248),
    main_road("progress_dialog", stage_progress, progress=True),
    main_road("relative_entries_left_alone", stage_relative_entries, working_folder="C:\\windows\\system32"),
    main_road("relative_entries_left_alone_consumer_line", stage_relative_entries, line=CONSUMER_LINE,
              working_folder="C:\\windows\\system32"),
]


# ---------------------------------------------------------------------------------------------------------
# Running


def windows_path(unix_path):
    """Wine maps the Linux root to drive Z:."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


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


def programs_folder(prefix):
    """The current user's start-menu Programs folder, where Wine keeps CSIDL_PROGRAMS on both lines."""
    candidates = [path for path in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                                          "Microsoft", "Windows", "Start Menu", "Programs"))
                  if os.sep + "Public" + os.sep not in path]
    if len(candidates) != 1:
        raise RuntimeError("cannot find the user's Programs folder in %s: %s" % (prefix, candidates))
    return candidates[0]


def stage_start_menu(prefix):
    group = os.path.join(programs_folder(prefix), "Plexitone")
    if os.path.exists(group):
        shutil.rmtree(group)
    os.makedirs(group)
    for name in START_MENU_SHORTCUTS:
        with open(os.path.join(group, name), "wb") as stream:
            stream.write(b"L\0\0\0")
    return group


def truncated_half(value):
    """Half of a signed int, rounded toward zero as C's division does."""
    return -((-value) // 2) if value < 0 else value // 2


def parse_geometry(window):
    x, y, width, height = (int(part) for part in window[5].split(","))
    screen_width, screen_height = (int(part) for part in window[6].split(","))
    return x, y, width, height, screen_width, screen_height


def check_centred(window, failures):
    x, y, width, height, screen_width, screen_height = parse_geometry(window)
    expected = (truncated_half(screen_width - width), truncated_half(screen_height - height))
    if (x, y) != expected:
        failures.append("window %s (%s) at %d,%d, size %dx%d: centred on %dx%d it would be at %d,%d"
                        % (window[1], window[4], x, y, width, height, screen_width, screen_height,
                           expected[0], expected[1]))


def controls_of(events, seq):
    return [event for event in events if event[0] == "control" and event[1] == seq]


def check_fallback_controls(events, window, failures):
    buttons = {control[5]: control for control in controls_of(events, window[1]) if control[3].lower() == "button"}
    # The dialog's result is the button's id: 1 goes on, 2 stops; Enter takes the BS_DEFPUSHBUTTON one.
    for text, control_id, style in (("&Go on", "1", 0x50010001), ("Cancel", "2", 0x50010000)):
        control = buttons.get(text)
        if control is None:
            failures.append("fallback dialog has no button %r" % text)
        elif control[2] != control_id or int(control[4], 16) & 0xFFFF000F != style & 0xFFFF000F:
            failures.append("fallback button %r: id %s style %s, expected id %s style 0x%08X"
                            % (text, control[2], control[4], control_id, style))


def check_progress(log_paths, events, failures):
    windows = [event for event in events if event[0] == "window" and event[2] == "progress"]
    if len(windows) != 1:
        failures.append("expected the progress dialog once, saw it %d times" % len(windows))
        return
    window = windows[0]
    if window[4] != CAPTION_DIALOG or window[7] != "none":
        failures.append("progress dialog caption %r owner %s" % (window[4], window[7]))
    controls = {control[2]: control for control in controls_of(events, window[1])}
    if controls.get("100", [""] * 4)[3].lower() != "static" or controls.get("200", [""] * 4)[3] != "msctls_progress32":
        failures.append("progress dialog controls: %s" % sorted((c[2], c[3]) for c in controls.values()))

    # The pass goes newest first; position k of n shows "Removing: <path>" and then the bar at k/n.
    removal_order = list(reversed(log_paths))
    position_of = {}
    for k, path in enumerate(removal_order):
        position_of.setdefault("Removing: " + path, k)
    count = len(removal_order)
    named = 0
    wrong_bars = []
    last_k = -1
    largest_fill = -1
    for event in events:
        if event[0] != "progress":
            continue
        text, pos, fill = event[1], int(event[2]), int(event[3])
        if pos != -1 and not 0 <= pos <= 100:
            failures.append("progress bar position %d out of 0..100" % pos)
        largest_fill = max(largest_fill, fill)
        if text in ("Removing:", ""):
            continue  # the template's text before the first report; the empty line after the last
        k = position_of.get(text)
        if k is None:
            failures.append("progress text %r names no logged path" % text)
            continue
        named += 1
        if k < last_k:
            failures.append("progress text %r after a later entry" % text)
        last_k = k
        # The bar is read just before the text: it shows entry k's position or one a little behind it,
        # measured to the width of one of its blocks.
        expected = round(k * 100.0 / count)
        if fill != -1 and not expected - 6 <= fill <= expected + 3:
            wrong_bars.append("bar shows %d%% at %r, entry %d of %d is %d%%" % (fill, text, k, count, expected))
    failures.extend(wrong_bars[:5])
    if len(wrong_bars) > 5:
        failures.append("... and %d more such bars" % (len(wrong_bars) - 5))
    if named < 3:
        failures.append("saw only %d progress texts naming a logged path" % named)
    if largest_fill < 50:
        failures.append("the bar never got past %d%% on the screen" % largest_fill)


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


def run_scenario(scenario, state_dir, exe, driver):
    values = load_env(state_dir)
    prefix = values["WINEPREFIX"]
    environment = wine_environment(values)

    folder = (long_folder(scenario.name, scenario.folder_length) if scenario.folder_length
              else "C:\\e2e\\%s\\" % scenario.name)
    stage = Stage(prefix, folder)
    if os.path.exists(stage.unix_dir):
        shutil.rmtree(stage.unix_dir)
    os.makedirs(stage.unix_dir)
    log, removed = scenario.stager(stage)
    shutil.copyfile(exe, os.path.join(stage.unix_dir, "pxunins.exe"))
    log_paths = []
    if log is not None:
        with open(os.path.join(stage.unix_dir, "_pxunins.dat"), "wb") as stream:
            stream.write(log)
        if scenario.progress:
            log_paths = list(read_log_paths(log))
    group = stage_start_menu(prefix)
    before = stage.snapshot()

    work = os.path.join(state_dir, "journals")
    shots = os.path.join(state_dir, "shots")
    os.makedirs(work, exist_ok=True)
    os.makedirs(shots, exist_ok=True)
    journal = os.path.join(work, scenario.name + ".txt")
    if os.path.exists(journal):
        os.remove(journal)
    command = ["wine", driver, "--journal", windows_path(journal),
               "--shots", windows_path(os.path.join(shots, scenario.name)),
               "--timeout", str(DRIVER_TIMEOUT_SECONDS), "--version", scenario.line]
    if scenario.working_folder:
        command += ["--cwd", scenario.working_folder]
    command += [stage.win("pxunins.exe")] + scenario.answers
    print("folder %s (%d characters), %s line" % (folder, len(folder), scenario.line), flush=True)
    print("running: " + " ".join(command), flush=True)
    with open(os.path.join(work, scenario.name + ".log"), "wb") as output:
        driver_result = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.STDOUT, timeout=DRIVER_TIMEOUT_SECONDS * 4,
                                       check=False).returncode

    failures = []
    events = read_journal(journal) if os.path.exists(journal) else []
    convert_shots(events, shots, scenario.name)
    if driver_result != 0:
        failures.append("the driver ended with %d (2: time-out, 3: unscripted or unanswerable prompt, "
                        "4: could not start the program)" % driver_result)
    for event in events:
        if event[0] in ("unscripted", "unmatched", "timeout", "unused", "killed", "launchfailed"):
            failures.append("journal: " + " ".join(event))

    prompts = [tuple(event) for event in events if event[0] in ("box", "dialog")]
    if prompts != scenario.prompts:
        failures.append("prompts differ\n  expected:\n%s\n  seen:\n%s"
                        % ("\n".join("    %r" % (p,) for p in scenario.prompts),
                           "\n".join("    %r" % (p,) for p in prompts)))
    exits = [event for event in events if event[0] == "exit"]
    if [event[1:] for event in exits] != [["0"]]:
        failures.append("exit: %s, expected exit code 0" % exits)

    windows = [event for event in events if event[0] == "window"]
    for window in windows:
        if window[2] in ("dialog", "progress"):
            check_centred(window, failures)
        elif window[7] != "none":
            failures.append("message box %s has owner %s, expected none" % (window[1], window[7]))
        if window[2] == "dialog":
            check_fallback_controls(events, window, failures)
    if scenario.progress:
        check_progress(log_paths, events, failures)

    after = stage.snapshot()
    expected_after = before - removed if scenario.removes else before
    if after != expected_after:
        failures.append("files: still there but should be gone: %s; gone but should be there: %s"
                        % (sorted(after - expected_after), sorted(expected_after - after)))
    for path in stage.outside:
        if not os.path.exists(path):
            failures.append("another program's file outside the folder was deleted: " + path)
        else:
            os.remove(path)
    group_left = sorted(os.listdir(group)) if os.path.isdir(group) else None
    if scenario.start_menu == "removed" and group_left is not None:
        failures.append("start-menu group should be gone, holds %s" % group_left)
    if scenario.start_menu == "kept" and group_left != sorted(START_MENU_SHORTCUTS):
        failures.append("start-menu group should be untouched, holds %s" % group_left)

    print("journal: " + journal)
    if failures:
        print("FAILED %s" % scenario.name)
        for failure in failures:
            print(" - " + failure)
        return 1
    print("passed %s: %d prompts, %d windows" % (scenario.name, len(prompts), len(windows)))
    return 0


def read_log_paths(log):
    """The paths of a sound log, in file order, read back from its bytes."""
    count = struct.unpack_from("<i", log, 8)[0]
    offset = 12
    for _ in range(max(count, 0)):
        _kind, length = struct.unpack_from("<Ii", log, offset)
        yield log[offset + 8:offset + 8 + length].decode("cp1252")
        offset += 8 + length


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=("list", "run"))
    parser.add_argument("name", nargs="?")
    parser.add_argument("--state")
    parser.add_argument("--exe")
    parser.add_argument("--driver")
    arguments = parser.parse_args(argv[1:])
    names = [scenario.name for scenario in SCENARIOS]
    assert len(set(names)) == len(names), "scenario names must be unique"
    if arguments.action == "list":
        print("\n".join(names))
        return 0
    by_name = {scenario.name: scenario for scenario in SCENARIOS}
    if arguments.name not in by_name or not (arguments.state and arguments.exe and arguments.driver):
        parser.error("run needs a scenario name (see list), --state, --exe and --driver")
    if not os.path.exists(os.path.join(arguments.state, "env")):
        print("no %s/env: the e2e_setup test starts Xvfb and the prefix first" % arguments.state)
        return 1
    return run_scenario(by_name[arguments.name], os.path.abspath(arguments.state), os.path.abspath(arguments.exe),
                        os.path.abspath(arguments.driver))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
