#!/usr/bin/env python3
"""End-to-end scenarios: the real pxunins.exe under Wine, its prompts answered by pxdriver.

    scenarios.py list
    scenarios.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --marker PXMARKER.DLL
                          --holder PXHOLD.EXE --release RELEASE_TEST_DIR --trust PXTRUST.EXE

Each scenario stages an install folder under the prefix's C:\\e2e, copies the uninstaller into it, writes
its log, has the driver run it with the scripted answers, and then checks the driver's journal (every
prompt with its exact texts, buttons and default button; the dialogs centred on the screen; the progress
dialog's texts), the files left in the folder, the start-menu group, and the exit code 0. The state
directory is the one pxwine.session made; shots of every window land in its shots/ as NAME-N.png.
"""

import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from pxwine.driver import DriverRun, prompts_differ  # noqa: E402
from pxwine.fixed_names import APP_FILE_NAME, GROUP_NAME, UNINSTALLER_FILE_NAME as UNINSTALLER, VERSION_TEXT  # noqa: E402
from pxwine.hand_off import copy_records, temp_items, wait_for_hand_off  # noqa: E402
from pxwine.installation import SHORTCUTS, Stage, write_file  # noqa: E402
from pxwine.lanes import CONSUMER, NT32, NT64  # noqa: E402
from pxwine.paths import programs_folder, unix_path, windows_path  # noqa: E402
from pxwine.scenario import Row, main  # noqa: E402
from pxwine.texts import (CAPTION_DIALOG, COMPLETE, CONFIRM, FALLBACK, NO_ADMIN, REMOVING,  # noqa: E402
                          answered)
from pxwine.uninstall_log import (ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, LOG_NAME,  # noqa: E402
                                  UNINSTALL_LOG_MAGIC, LogBuilder, read_entries, sound_log)

DRIVER_TIMEOUT_SECONDS = 20

# ---------------------------------------------------------------------------------------------------------
# Staging


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
            .u32(UNINSTALL_LOG_MAGIC)  # magic
            .u32(0)                    # second header word
            .raw(b"\x00\x00\x00")      # entry count: one byte short
            .bytes())


def log_wrong_magic(stage):
    return (LogBuilder()
            .u32(UNINSTALL_LOG_MAGIC ^ 1)  # magic, last bit flipped
            .u32(0)
            .i32(1)
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .bytes())


def log_reversed_magic(stage):
    return (LogBuilder()
            .raw(struct.pack(">I", UNINSTALL_LOG_MAGIC))  # magic stored big-endian
            .u32(0)
            .i32(1)
            .entry(ENTRY_KIND_FILE, stage.win("a.txt"))
            .bytes())


def log_second_word_1(stage):
    return (LogBuilder()
            .u32(UNINSTALL_LOG_MAGIC)
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


def outside_folder(stage):
    """A folder of another program's, next to the test's own: C:\\e2e\\NAME\\ -> C:\\e2e\\NAME-other\\."""
    return stage.windows_dir[:-1] + "-other\\"


def stage_links(stage):
    """A logged folder replaced by a link (a Unix symbolic link, which Wine shows as a junction) to another
    program's folder with files of the same names: they stay, and so does the link; the rest goes."""
    other = outside_folder(stage)
    for name in ("a.txt", "b.txt"):
        stage.outside_file(other + name)
    os.symlink(unix_path(stage.prefix, other), stage.unix("linked"))
    stage.file("c.txt")
    log = sound_log([
        (ENTRY_KIND_DIRECTORY, stage.win("linked")),
        (ENTRY_KIND_FILE, stage.win("linked\\a.txt")),
        (ENTRY_KIND_FILE, stage.win("linked\\b.txt")),
        (ENTRY_KIND_FILE, stage.win("c.txt")),
    ])
    return log, {"c.txt"}


def log_naming_outside(writable_by_everyone):
    """A log naming a file outside the installation folder beside one in it, in a folder that every user
    may write (chmod o+w) or only its owner: Wine reads the DACL from the Unix mode."""
    def stager(stage):
        stage.outside_file(outside_folder(stage) + "x.txt")
        stage.file("a.txt")
        if writable_by_everyone:
            os.chmod(stage.unix_dir, 0o777)
        log = sound_log([(ENTRY_KIND_FILE, outside_folder(stage) + "x.txt"), (ENTRY_KIND_FILE, stage.win("a.txt"))])
        return log, {"a.txt"}
    return stager


# The DLLs the run loads after its start that Windows does not keep among its KnownDLLs: comctl32 (loaded
# by the program), uxtheme (imported by comctl32) and msimg32 (a delayed import of uxtheme). Wine loads
# more such names (version, ucrtbase, zlib1, win32u), but only as imports of its own builtins while the
# process is mapped, before the program's first instruction: Windows's DLLs import none of them there.
PLANTED_DLLS = ("uxtheme", "msimg32", "comctl32")
WORKING_FOLDER = "work"


def stage_hand_off(user_file, second_file="b.txt"):
    """An installation folder the log made together with its parent, a folder and two files in it, and with
    user_file a file of the user's that the log does not name."""
    def stager(stage):
        for relative in ("sub\\a.txt", second_file) + (("user.txt",) if user_file else ()):
            stage.file(relative)
        folder = stage.win("")[:-1]
        log = sound_log([
            (ENTRY_KIND_DIRECTORY, folder.rsplit("\\", 1)[0]),
            (ENTRY_KIND_DIRECTORY, folder),
            (ENTRY_KIND_DIRECTORY, stage.win("sub")),
            (ENTRY_KIND_FILE, stage.win("sub\\a.txt")),
            (ENTRY_KIND_FILE, stage.win(second_file)),
        ])
        return log, {"sub\\", "sub\\a.txt", second_file}
    return stager


class HeldFile:
    """pxhold.exe holding a file of the prefix open without delete sharing until end() ends it by its id."""

    def __init__(self, session, holder, windows_path):
        self.process = subprocess.Popen(["wine", holder, windows_path], env=session.environment,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT)
        line = self.process.stdout.readline().decode("latin-1").strip()
        if line != "held":
            self.end()
            raise RuntimeError("pxhold did not hold %s: %r" % (windows_path, line))

    def end(self):
        self.process.kill()
        self.process.wait(timeout=60)


def plant_marker_dlls(stage, marker, names):
    """Copies of the marker DLL under each name, beside the uninstaller and in the working folder; returns
    the marker files that a load of any of them would leave, and the native-first override for the names
    (Wine prefers its built-in DLLs otherwise, where Windows searches the folders)."""
    stage.folder(WORKING_FOLDER)
    markers = []
    for folder in ("", WORKING_FOLDER + "\\"):
        for name in names:
            stage.copy(marker, folder + name + ".dll")
            markers.append(stage.unix(folder + name + ".dll.loaded"))
    return markers, ",".join(names) + "=n,b"


def check_no_marker_loaded(markers, failures):
    for marker in markers:
        if os.path.exists(marker):
            failures.append("a planted DLL was loaded: " + marker[:-len(".loaded")])
            os.remove(marker)


# ---------------------------------------------------------------------------------------------------------
# The table


FIELDS = {
    "stager": None,
    "answers": (),
    "prompts": (),               # [(kind, caption, text, buttons, default, answer)]
    "start_menu": "kept",        # "removed" or "kept": the group staged before the run
    "removes": False,            # whether the removal pass runs, or the folder stays as staged
    "folder_length": None,
    "progress": False,
    "working_folder": None,      # None: the program's own folder
    "planted_dlls": (),          # names of marker DLLs beside the program and in the working folder
    "outside_goes": False,       # the files staged outside the folder are listed and must go, not stay
    "no_display": False,         # the run's X display names a screen the slot's X server lacks
    "exit_code": 0,
    # The copy the run hands its leftovers to: None, or what the row looks at once the copy has ended:
    # "folder_gone" (the folder and the parent the log made), "user_file" (only the user's file stays),
    # "restart" (the folder gone, and after wineboot -r nothing of the run in the temporary folders).
    "hand_off": None,
    # The pass leaves some of the log's entries (a link, an untrusted log's entries outside the folder):
    # the uninstaller and its log stay for a later run, and no copy is started.
    "keeps_uninstaller": False,
    # A logged file held open through the run by another program: the uninstaller and its log stay with
    # it; the program ended, a second run removes the rest and hands off.
    "held": None,
    # The run is started through a link beside the folder that leads to it (C:\\e2e\\NAME-via).
    "started_through_link": False,
    # The DPI the run is drawn at (LogPixels), every window measured: each control inside its window's
    # client area, each text within its control. None: Wine's 96, unmeasured.
    "dpi": None,
    # The uninstaller of the signed release (tests/exe/check_release.py's dist) instead of the build's: its
    # copy in the temporary folder must be that file byte for byte, and WinVerifyTrust must verify it, with
    # the release's throwaway authority among the machine's roots; on the NT line also the installers, and
    # refuse the uninstaller with one byte changed.
    "signed": False,
}


def Scenario(name, stager, answers, prompts, start_menu, lane=NT32, **fields):
    return Row(name, lane, FIELDS, stager=stager, answers=answers, prompts=prompts, start_menu=start_menu,
               **fields)


def main_road(name, stager, lane=NT32, **fields):
    return Scenario(name, stager, ["Yes", "OK"], [answered(CONFIRM, "Yes"), answered(COMPLETE, "OK")],
                    "removed", lane=lane, removes=True, **fields)


def refused(name, stager, lane=NT32, **fields):
    return Scenario(name, stager, ["Cancel"], [answered(FALLBACK, "Cancel")], "kept", lane=lane, **fields)


SCENARIOS = [
    main_road("confirm_yes", stage_basic),
    main_road("confirm_yes_consumer_line", stage_basic, lane=CONSUMER),
    Scenario("confirm_no", stage_basic, ["No"], [answered(CONFIRM, "No")], "kept"),
    # Enter takes the default button, which must be No.
    Scenario("confirm_enter_is_no", stage_basic, ["{ENTER}"], [answered(CONFIRM, "{ENTER}")], "kept"),
    # Wine makes no window for a program that cannot reach its X display: the confirmation fails
    # (MessageBoxA gives -1) unseen. No one said No, and the exit code says so.
    Scenario("confirm_cannot_show", stage_basic, [], [], "kept", no_display=True, exit_code=2),
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
    refused("log_fewer_entries_consumer_line", malformed(log_fewer_entries), lane=CONSUMER),
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
    main_road("relative_entries_left_alone_consumer_line", stage_relative_entries, lane=CONSUMER,
              working_folder="C:\\windows\\system32"),
] + [
    # Elevated, from a folder any user may write to: no DLL planted there or in the working folder is
    # loaded, on every lane (under WoW64 the system folder the run loads from is syswow64).
    main_road(name, stage_basic, lane=lane, working_folder="C:\\e2e\\%s\\work" % name, planted_dlls=PLANTED_DLLS)
    for name, lane in (("planted_dlls_not_loaded", NT32), ("planted_dlls_not_loaded_consumer_line", CONSUMER),
                       ("planted_dlls_not_loaded_nt64", NT64))
] + [
    main_road("links_not_passed", stage_links, keeps_uninstaller=True),
    main_road("links_not_passed_consumer_line", stage_links, lane=CONSUMER, keeps_uninstaller=True),
    # Started through another spelling of its folder, the run still knows the link below it.
    main_road("links_not_passed_started_through_a_link", stage_links, keeps_uninstaller=True,
              started_through_link=True),
    main_road("links_not_passed_started_through_a_link_consumer_line", stage_links, lane=CONSUMER,
              keeps_uninstaller=True, started_through_link=True),
    # Only a log no other user could change is followed beyond the installation folder.
    main_road("untrusted_log_outside_left", log_naming_outside(True), keeps_uninstaller=True),
    main_road("untrusted_log_outside_left_nt64", log_naming_outside(True), lane=NT64, keeps_uninstaller=True),
    main_road("trusted_log_outside_goes", log_naming_outside(False), outside_goes=True),
    main_road("trusted_log_outside_goes_nt64", log_naming_outside(False), lane=NT64, outside_goes=True),
] + [
    # Declared DPI-aware, the dialogs are laid out from their templates at the system's DPI and the message
    # boxes in its message font: at 100 %, 150 % and 200 % every text fits its control, every control its
    # window. The main road shows the confirmation, the progress dialog and the completion; the fallback
    # dialog the two statics that wrap.
    row("dpi_%d_%s" % (dpi, kind), stage, dpi=dpi)
    for dpi in (96, 144, 192)
    for kind, row, stage in (("main_road", main_road, stage_basic), ("fallback", refused, stage_missing_log))
] + [
    # The run's copy in the temporary folder removes the uninstaller, its log, their folder and the
    # parent the log made, once the run has ended; the user's file keeps its folder; the restart takes
    # the copy. On every lane: the consumer line's copy is a file of its own, named in wininit.ini.
    main_road("hand_off_%s_%s" % (kind, lane.name), stage_hand_off(kind == "user_file"), lane=lane,
              hand_off=kind, signed=kind == "folder_gone")
    for kind in ("folder_gone", "user_file", "restart") for lane in (NT32, CONSUMER, NT64)
] + [
    # Plexitone still running holds its own file: the first run removes the rest of the payload alone.
    main_road("program_running_then_second_run_%s" % lane.name, stage_hand_off(False, APP_FILE_NAME),
              lane=lane, held=APP_FILE_NAME, hand_off="folder_gone")
    for lane in (NT32, CONSUMER)
]


# ---------------------------------------------------------------------------------------------------------
# Running


def stage_start_menu(prefix):
    group = os.path.join(programs_folder(prefix), GROUP_NAME)
    if os.path.exists(group):
        shutil.rmtree(group)
    for name in SHORTCUTS:
        write_file(os.path.join(group, name), b"L\0\0\0")
    return group


def truncated_half(value):
    """Half of a signed int, rounded toward zero as C's division does."""
    return -((-value) // 2) if value < 0 else value // 2


def check_centred(window, failures):
    x, y, width, height = window.rect("geometry")
    screen_width, screen_height = window.rect("screen")
    expected = (truncated_half(screen_width - width), truncated_half(screen_height - height))
    if (x, y) != expected:
        failures.append("window %s (%s) at %d,%d, size %dx%d: centred on %dx%d it would be at %d,%d"
                        % (window.seq, window.caption, x, y, width, height, screen_width, screen_height,
                           expected[0], expected[1]))


def controls_of(events, seq):
    return [event for event in events if event.kind == "control" and event.seq == seq]


def check_fallback_controls(events, window, failures):
    buttons = {control.text: control for control in controls_of(events, window.seq)
               if control.control_class.lower() == "button"}
    # The dialog's result is the button's id: 1 goes on, 2 stops; Enter takes the BS_DEFPUSHBUTTON one.
    for text, control_id, style in (("&Go on", "1", 0x50010001), ("Cancel", "2", 0x50010000)):
        control = buttons.get(text)
        if control is None:
            failures.append("fallback dialog has no button %r" % text)
        elif control.id != control_id or int(control.style, 16) & 0xFFFF000F != style & 0xFFFF000F:
            failures.append("fallback button %r: id %s style %s, expected id %s style 0x%08X"
                            % (text, control.id, control.style, control_id, style))


def check_progress(log_paths, events, failures):
    windows = [event for event in events if event.kind == "window" and event.window_kind == "progress"]
    if len(windows) != 1:
        failures.append("expected the progress dialog once, saw it %d times" % len(windows))
        return
    window = windows[0]
    if window.caption != CAPTION_DIALOG or window.owner != "none":
        failures.append("progress dialog caption %r owner %s" % (window.caption, window.owner))
    classes = {control.id: control.control_class for control in controls_of(events, window.seq)}
    if classes.get("100", "").lower() != "static" or classes.get("200") != "msctls_progress32":
        failures.append("progress dialog controls: %s" % sorted(classes.items()))

    # The pass goes newest first; position k of n shows "Removing: <path>" and then the bar at k/n.
    removal_order = list(reversed(log_paths))
    position_of = {}
    for k, path in enumerate(removal_order):
        position_of.setdefault(REMOVING + " " + path, k)
    count = len(removal_order)
    named = 0
    wrong_bars = []
    last_k = -1
    largest_fill = -1
    for event in events:
        if event.kind != "progress":
            continue
        text, pos, fill = event.text, int(event.pos), int(event.fill)
        if pos != -1 and not 0 <= pos <= 100:
            failures.append("progress bar position %d out of 0..100" % pos)
        largest_fill = max(largest_fill, fill)
        if text in (REMOVING, ""):
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


def check_windows(run, failures):
    """The dialogs centred, the fallback dialog's buttons, and every box without an owner but the
    administrator message, which the progress dialog owns."""
    for window in run.windows():
        if window.window_kind in ("dialog", "progress"):
            check_centred(window, failures)
        if window.window_kind == "dialog":
            check_fallback_controls(run.events, window, failures)
    box_prompts = [prompt for prompt in run.prompts() if prompt.kind == "box"]
    for window, prompt in zip(run.windows("box"), box_prompts):
        owner = "progress" if prompt.text == NO_ADMIN[2] else "none"
        if window.owner != owner:
            failures.append("box %r has owner %s, expected %s" % (prompt.text, window.owner, owner))


def check_fit(run, dpi, failures):
    """Every window measured at the row's DPI; each control inside its window's client area and each text
    within its control. Prints the figures."""
    measured = {event.seq: event for event in run.events if event.kind == "dpi"}
    for window in run.windows():
        event = measured.get(window.seq)
        if event is None or int(event.logpixels) != dpi:
            failures.append("window %s (%s) not measured at %d DPI: %s" % (window.seq, window.caption, dpi, event))
            continue
        fits = [fit for fit in run.events if fit.kind == "fit" and fit.seq == window.seq]
        print("%d DPI: %s %s, client %s, %s: %s" % (dpi, window.window_kind, window.caption, event.client, event.font,
              "; ".join("%s %s in %s" % (fit.id, fit.text, fit.box) for fit in fits)))
        if not fits:
            failures.append("window %s (%s): no control with a text measured" % (window.seq, window.caption))
        for fit in fits:
            (need_w, need_h), (have_w, have_h) = fit.rect("text"), fit.rect("box")
            if fit.inside != "1":
                failures.append("%d DPI, window %s: control %s lies outside the client area" % (dpi, window.seq, fit.id))
            if need_w > have_w or need_h > have_h:
                failures.append("%d DPI, window %s (%s): the text of control %s needs %dx%d, has %dx%d"
                                % (dpi, window.seq, window.caption, fit.id, need_w, need_h, have_w, have_h))


def check_run(run, failures, exit_code=0):
    """A clean run to the end with that exit code, and its windows as check_windows has them."""
    failures.extend(run.troubles())
    if run.exit_code() != exit_code:
        failures.append("exit: %s, expected exit code %d" % ([e for e in run.events if e.kind == "exit"], exit_code))
    check_windows(run, failures)


def check_hand_off(scenario, harness, stage, temp_before, failures):
    session = harness.session
    folder = stage.unix_dir
    parent = os.path.dirname(folder.rstrip(os.sep))
    if scenario.hand_off in ("folder_gone", "restart"):
        for path in (folder, parent):
            if os.path.exists(path):
                failures.append("%s is still there once the copy has ended: %s" % (path, os.listdir(path)))
        if not os.path.isdir(os.path.dirname(parent)):
            failures.append("the folder above the ones the log made is gone: " + os.path.dirname(parent))
    if scenario.hand_off == "user_file":
        left = sorted(os.listdir(folder)) if os.path.isdir(folder) else None
        if left != ["user.txt"] or not os.path.isdir(parent):
            failures.append("the user's file should stay alone in its folder, which holds %s" % left)
    if scenario.hand_off == "restart":
        print("restart: wineboot -r in %.1f s" % session.restart(), flush=True)
        print(session.keep_desktop_held(harness.driver), flush=True)
        left = sorted(temp_items(session.prefix) - temp_before)
        if left:
            failures.append("after the restart the temporary folders still hold %s" % left)


# What WinVerifyTrust answers: 0 for a good signature; TRUST_E_BAD_DIGEST for a file changed after it was
# signed.
TRUST_VERIFIED = "0x00000000"
TRUST_E_BAD_DIGEST = "0x80096010"


def signed_release(harness):
    """The signed release's uninstaller, its installers and the uninstaller with one byte changed."""
    dist = os.path.join(harness.release, "dist")
    setups = sorted(os.path.join(dist, name) for name in os.listdir(dist) if name.startswith("plexitone-setup"))
    return (os.path.join(dist, "pxunins-%s.exe" % VERSION_TEXT), setups,
            os.path.join(harness.release, "changed.exe"))


def check_signed_copy(scenario, harness, temp_before, failures):
    """The hand-off's copy is the signed file byte for byte, and WinVerifyTrust verifies it."""
    session = harness.session
    signed, setups, changed = signed_release(harness)
    with open(signed, "rb") as stream:
        wanted = stream.read()
    drive = os.path.join(session.prefix, "drive_c")
    copies = [os.path.join(drive, item) for item in sorted(temp_items(session.prefix) - temp_before)
              if os.path.isfile(os.path.join(drive, item))]
    same = [copy for copy in copies if open(copy, "rb").read() == wanted]
    if len(same) != 1:
        failures.append("the copy in the temporary folder is not the signed uninstaller byte for byte: %s" % copies)
        return
    expected = [(same[0], TRUST_VERIFIED)]
    if not scenario.lane.wow64 and scenario.lane.nt:
        expected += [(setup, TRUST_VERIFIED) for setup in setups] + [(changed, TRUST_E_BAD_DIGEST)]
    output = os.path.join(session.journals, scenario.name + ".trust.txt")
    with open(output, "wb") as stream:
        subprocess.run(["wine", harness.trust, "--root", windows_path(os.path.join(harness.release, "ca", "ca.der"))]
                       + [windows_path(path) for path, _ in expected], env=session.environment,
                       stdin=subprocess.DEVNULL, stdout=stream, stderr=subprocess.STDOUT, timeout=120, check=False)
    with open(output, encoding="latin-1") as stream:
        answers = dict(line.rstrip("\n").rsplit("\t", 1) for line in stream if "\t" in line)
    for path, result in expected:
        seen = answers.get(windows_path(path))
        print("WinVerifyTrust %s: %s" % (os.path.basename(path), seen))
        if seen != result:
            failures.append("WinVerifyTrust answers %s for %s, expected %s (see %s)" % (seen, path, result, output))


def run_scenario(scenario, harness):
    session = harness.session
    folder = (long_folder(scenario.name, scenario.folder_length) if scenario.folder_length
              else "C:\\e2e\\%s\\Morvaine\\Plexitone\\" % scenario.name if scenario.hand_off
              else "C:\\e2e\\%s\\" % scenario.name)
    stage = Stage(session.prefix, folder)
    log, removed = scenario.stager(stage)
    markers, dll_overrides = ([], None)
    if scenario.planted_dlls:
        markers, dll_overrides = plant_marker_dlls(stage, harness.marker, scenario.planted_dlls)
    stage.copy(signed_release(harness)[0] if scenario.signed else harness.exe, UNINSTALLER)
    log_paths = []
    if log is not None:
        stage.file(LOG_NAME, log)
        if scenario.progress:
            log_paths = [path for _kind, path in read_entries(log)]
    group = stage_start_menu(session.prefix)
    before = stage.snapshot()
    temp_before = temp_items(session.prefix)
    records_before = copy_records(session) if scenario.removes else 0

    program = stage.win(UNINSTALLER)
    if scenario.started_through_link:
        via = folder[:-1] + "-via\\"
        os.symlink(stage.unix_dir, unix_path(session.prefix, via[:-1]))
        program = via + UNINSTALLER
    held = HeldFile(session, harness.holder, stage.win(scenario.held)) if scenario.held else None

    print("folder %s (%d characters), %s lane" % (folder, len(folder), scenario.lane.name), flush=True)
    try:
        run = DriverRun(session, harness.driver, scenario.name, program, scenario.answers,
                        scenario.lane, timeout=DRIVER_TIMEOUT_SECONDS, cwd=scenario.working_folder,
                        dll_overrides=dll_overrides, dpi=scenario.dpi,
                        display=session.values["DISPLAY"] + ".7" if scenario.no_display else None)
    finally:
        if held is not None:
            held.end()
    failures = []
    check_no_marker_loaded(markers, failures)
    check_run(run, failures, scenario.exit_code)
    if scenario.dpi:
        check_fit(run, scenario.dpi, failures)
    difference = prompts_differ(scenario.prompts, run.prompts())
    if difference:
        failures.append(difference)
    if scenario.progress:
        check_progress(log_paths, run.events, failures)

    if scenario.keeps_uninstaller or scenario.held:
        # Nothing handed off: no copy in the temporary folder, no record for a restart, and the
        # uninstaller and its log where they were, with what the pass left.
        if temp_items(session.prefix) != temp_before or copy_records(session) != records_before:
            failures.append("a copy was started although the pass left some of the log's entries")
        kept = {UNINSTALLER, LOG_NAME} | ({scenario.held} if scenario.held else set())
        if not kept <= stage.snapshot():
            failures.append("the uninstaller and its log should stay for a later run: %s" % sorted(stage.snapshot()))
    if scenario.held:
        after_first = stage.snapshot()
        expected_first = before - (removed - {scenario.held})
        if after_first != expected_first:
            failures.append("the first run, with %s held: still there but should be gone: %s; gone but should "
                            "be there: %s" % (scenario.held, sorted(after_first - expected_first),
                                              sorted(expected_first - after_first)))
        run = DriverRun(session, harness.driver, scenario.name + "-second", program, scenario.answers,
                        scenario.lane, timeout=DRIVER_TIMEOUT_SECONDS)
        check_run(run, failures)
        difference = prompts_differ(scenario.prompts, run.prompts())
        if difference:
            failures.append("the second run: " + difference)
    if scenario.removes and not scenario.keeps_uninstaller:
        # The end of the main road hands the uninstaller, its log and their folder to the copy.
        seconds = wait_for_hand_off(session, stage.unix_dir, records_before)
        if seconds is None:
            failures.append("the copy did not remove the uninstaller and its log and name itself for the "
                            "restart within the time allowed")
        else:
            print("hand-off: the uninstaller and its log gone %.2f s after the run ended" % seconds)
        removed = removed | {UNINSTALLER, LOG_NAME}
        if scenario.signed:
            check_signed_copy(scenario, harness, temp_before, failures)
        check_hand_off(scenario, harness, stage, temp_before, failures)
    after = stage.snapshot()
    expected_after = before - removed if scenario.removes else before
    if after != expected_after:
        failures.append("files: still there but should be gone: %s; gone but should be there: %s"
                        % (sorted(after - expected_after), sorted(expected_after - after)))
    for path in stage.outside:
        if scenario.outside_goes:
            if os.path.exists(path):
                failures.append("a listed file outside the folder stayed: " + path)
                os.remove(path)
        elif not os.path.exists(path):
            failures.append("another program's file outside the folder was deleted: " + path)
        else:
            os.remove(path)
    group_left = sorted(os.listdir(group)) if os.path.isdir(group) else None
    if scenario.start_menu == "removed" and group_left is not None:
        failures.append("start-menu group should be gone, holds %s" % group_left)
    if scenario.start_menu == "kept" and group_left != sorted(SHORTCUTS):
        failures.append("start-menu group should be untouched, holds %s" % group_left)
    if scenario.started_through_link:
        os.remove(unix_path(session.prefix, via[:-1]))
    print("journal: %s; %d prompts, %d windows" % (run.journal, len(run.prompts()), len(run.windows())))
    return failures


if __name__ == "__main__":
    sys.exit(main(SCENARIOS, run_scenario, options=("marker", "holder", "release", "trust")))
