"""Stages what a run of the uninstaller meets in a Wine prefix, and takes snapshots of the whole system.

    Stage(prefix, "C:\\e2e\\x\\")                      -> an empty folder of a test's own: .file(), .folder(),
                                                        .copy(), .win(), .snapshot()
    stage_installation(prefix, environment, lane, ...) -> Installation: Plexitone as its installer leaves it
    snapshot(prefix, environment, scratch_dir)         -> {item: state} of registry, files, INI lines
    compare(expected, actual), without(items, ...)     -> the differences; a snapshot minus what a run removes
    reset_system(prefix, environment, scratch_dir)     -> removes every trace of an installation

An installation is: the installation folder with nested folders, the uninstaller and its log
"_pxunins.dat"; the start-menu group with five real shortcut files; the application path, the per-user
settings, the machine-wide product key and the entry in the list of installed programs; and the MIDI pipe
driver: its file in the system folder, its shared-file use count and its place in the MIDI driver list of
the line of Windows (the registry on the NT line, "system.ini" on the consumer line).

Around it the prefix gets what other programs would have left, so that a run which touches more than
its own entries shows up in a snapshot: another MIDI driver before ours (in the registry and in
"system.ini"), another shared file's use count, a group of the same name in all users' start menu, and
pending deletions of someone else's on both lines; on the 64-bit lane another program's 64-bit file of
our driver's name in the real system32, where a record that names system32 would have the restart delete it.

On the 64-bit lane the staging writes what a 32-bit installer writes: the driver's file in syswow64, the
registry through the 32-bit regedit (so HKLM\\Software lands in Wow6432Node); snapshots read both
registry views and both system folders.
"""

import hashlib
import os
import shutil
import struct

from pxwine import fixed_names as names
from pxwine.paths import common_programs_folder, programs_folder, unix_path
from pxwine.registry import RegFile, dword, export_registry, multi_sz, normal_key, sz
from pxwine.lanes import LANES
from pxwine.uninstall_log import ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, LOG_NAME, sound_log

DEFAULT_INSTALL_DIR = "C:\\Program Files\\Plexitone"
DRIVER_NAME = names.PIPE_DRIVER_FILE_NAME
# Wine answers GetSystemDirectoryA with this folder on every lane (under WoW64 too); the consumer line's
# C:\WINDOWS\SYSTEM is not emulated.
SYSTEM_DIR = "C:\\windows\\system32"
# Where a 32-bit program's system folder lies on a 64-bit Windows, and what 64-bit programs keep there.
WOW64_SYSTEM_DIR = "C:\\windows\\syswow64"
OTHER_DRIVER_64_CONTENT = b"MZ another program's 64-bit pxpipe.drv\r\n"
WINDOWS_DIR = "C:\\windows"

GROUP_NAME = names.GROUP_NAME
SHORTCUTS = (names.APP_SHORTCUT, names.HELP_SHORTCUT, names.LICENSE_SHORTCUT, names.HOME_PAGE_SHORTCUT,
             names.UNINSTALL_SHORTCUT)

APP_PATH_KEY = "HKLM\\" + names.APP_PATH_KEY
USER_MAKER_KEY = "HKCU\\" + names.MAKER_KEY
USER_PRODUCT_KEY = "HKCU\\" + names.PRODUCT_KEY
USER_SETTINGS_KEYS = tuple(key.rsplit("\\", 1)[1] for key in (
    names.AUDIO_SETTINGS_KEY, names.MIDI_SETTINGS_KEY, names.RECENT_FILES_KEY, names.OFFLINE_RENDERING_KEY))
MACHINE_MAKER_KEY = "HKLM\\" + names.MAKER_KEY
MACHINE_PRODUCT_KEY = "HKLM\\" + names.PRODUCT_KEY
UNINSTALL_SUBKEY = names.UNINSTALL_KEY
SHARED_DLLS_KEY = "HKLM\\" + names.SHARED_DLLS_KEY
DRIVERS32_KEY = "HKLM\\" + names.DRIVERS32_KEY
DRIVERS_DESC_KEY = "HKLM\\" + names.DRIVERS_DESC_KEY
SESSION_MANAGER_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"
PENDING_RENAMES = "PendingFileRenameOperations"

# Another program's MIDI driver holds "midi", so ours is the second name the uninstaller tries.
OTHER_MIDI_DRIVER = "othersynth.drv"
OTHER_SHARED_FILE = "C:\\Program Files\\Common Files\\Other\\shared.dll"
OTHER_PENDING = "\\??\\C:\\windows\\temp\\other-setup.tmp"


def uninstall_key(lane):
    """The NT line lists a per-user installation under the user; the consumer line has only the machine's
    list."""
    return ("HKCU\\" if lane.nt else "HKLM\\") + UNINSTALL_SUBKEY


# ---------------------------------------------------------------------------------------------------------
# Shortcuts: Shell Link files (.lnk) with an absolute local target, written field by field.

LINK_CLSID = bytes.fromhex("0114020000000000C000000000000046")  # {00021401-0000-0000-C000-000000000046}
HAS_LINK_INFO = 0x00000002
HAS_NAME = 0x00000004
HAS_WORKING_DIR = 0x00000010
IS_UNICODE = 0x00000080
FILE_ATTRIBUTE_ARCHIVE = 0x20
SW_SHOWNORMAL = 1
DRIVE_FIXED = 3
VOLUME_ID_AND_LOCAL_BASE_PATH = 1


def link_string(text):
    """StringData in a Unicode link: a 16-bit count of characters, then UTF-16LE without a NUL."""
    encoded = text.encode("utf-16-le")
    return struct.pack("<H", len(encoded) // 2) + encoded


def shell_link(target, description, working_dir, target_size=0):
    """A shortcut to the local file target: header, LinkInfo (volume and local base path), name and
    working folder. No item ID list: the shell resolves the target from LinkInfo's local base path."""
    volume_id = (struct.pack("<I", 0x11)                 # VolumeIDSize: this block, label included
                 + struct.pack("<I", DRIVE_FIXED)        # DriveType
                 + struct.pack("<I", 0x50584E31)         # DriveSerialNumber
                 + struct.pack("<I", 0x10)               # VolumeLabelOffset: right after these fields
                 + b"\0")                                # VolumeLabel: empty
    local_base_path = target.encode("cp1252") + b"\0"    # LocalBasePath: the target, ANSI
    common_path_suffix = b"\0"                           # CommonPathSuffix: nothing to add
    header_size = 0x1C
    link_info_body = volume_id + local_base_path + common_path_suffix
    link_info = (struct.pack("<I", header_size + len(link_info_body))          # LinkInfoSize
                 + struct.pack("<I", header_size)                             # LinkInfoHeaderSize
                 + struct.pack("<I", VOLUME_ID_AND_LOCAL_BASE_PATH)           # LinkInfoFlags
                 + struct.pack("<I", header_size)                             # VolumeIDOffset
                 + struct.pack("<I", header_size + len(volume_id))            # LocalBasePathOffset
                 + struct.pack("<I", 0)                                       # CommonNetworkRelativeLinkOffset
                 + struct.pack("<I", header_size + len(volume_id) + len(local_base_path))  # CommonPathSuffixOffset
                 + link_info_body)
    header = (struct.pack("<I", 0x4C)                    # HeaderSize
              + LINK_CLSID                               # LinkCLSID
              + struct.pack("<I", HAS_LINK_INFO | HAS_NAME | HAS_WORKING_DIR | IS_UNICODE)  # LinkFlags
              + struct.pack("<I", FILE_ATTRIBUTE_ARCHIVE)  # FileAttributes of the target
              + struct.pack("<Q", 0)                     # CreationTime: unknown
              + struct.pack("<Q", 0)                     # AccessTime: unknown
              + struct.pack("<Q", 0)                     # WriteTime: unknown
              + struct.pack("<I", target_size)           # FileSize of the target
              + struct.pack("<i", 0)                     # IconIndex
              + struct.pack("<I", SW_SHOWNORMAL)         # ShowCommand
              + struct.pack("<H", 0)                     # HotKey: none
              + struct.pack("<H", 0)                     # Reserved1
              + struct.pack("<I", 0)                     # Reserved2
              + struct.pack("<I", 0))                    # Reserved3
    assert len(header) == 0x4C
    return (header + link_info
            + link_string(description)                   # NAME_STRING
            + link_string(working_dir)                   # WORKING_DIR
            + struct.pack("<I", 0))                      # TerminalBlock of the ExtraData


# ---------------------------------------------------------------------------------------------------------
# A folder of a test's own


class Stage:
    """A folder under the prefix: its Windows path (with the trailing backslash) and where it lies on the
    disk. It starts empty: whatever an earlier run left there goes."""

    def __init__(self, prefix, windows_dir):
        assert windows_dir[1:3] == ":\\" and windows_dir.endswith("\\"), windows_dir
        self.windows_dir = windows_dir
        self.prefix = prefix
        self.unix_dir = unix_path(prefix, windows_dir)
        self.outside = []  # files of other programs, outside the folder, that must survive the run
        if os.path.exists(self.unix_dir):
            shutil.rmtree(self.unix_dir)
        os.makedirs(self.unix_dir)

    def outside_file(self, windows_path, content=b"another program's\r\n"):
        path = unix_path(self.prefix, windows_path)
        write_file(path, content)
        self.outside.append(path)

    def win(self, relative):
        return self.windows_dir + relative

    def unix(self, relative):
        return os.path.join(self.unix_dir, *relative.split("\\"))

    def file(self, relative, content=b"plexitone\r\n"):
        write_file(self.unix(relative), content)

    def folder(self, relative):
        os.makedirs(self.unix(relative), exist_ok=True)

    def copy(self, source, relative):
        shutil.copyfile(source, self.unix(relative))

    def snapshot(self):
        """Every file and folder below the folder, as relative Windows paths; folders end in '\\'."""
        found = set()
        for root, folders, files in os.walk(self.unix_dir):
            relative_root = os.path.relpath(root, self.unix_dir)
            base = "" if relative_root == "." else relative_root.replace(os.sep, "\\") + "\\"
            found.update(base + name + "\\" for name in folders)
            found.update(base + name for name in files)
        return found


# ---------------------------------------------------------------------------------------------------------
# The installation


class Installation:
    """What stage_installation put where; the scenarios derive their expectations from it."""

    def __init__(self, prefix, lane, install_dir):
        self.prefix = prefix
        self.lane = lane
        self.install_dir = install_dir                 # no trailing backslash
        self.driver_name = DRIVER_NAME
        self.log_entries = []                          # (kind, Windows path), in file order
        self.group = os.path.join(programs_folder(prefix), GROUP_NAME)
        self.common_group = os.path.join(common_programs_folder(prefix), GROUP_NAME)
        self.driver_file = SYSTEM_DIR + "\\" + DRIVER_NAME    # as the uninstaller names it
        self.driver_disk_file = lane.disk_file(self.driver_file)  # where it lies

    def win(self, relative=""):
        return self.install_dir + ("\\" + relative if relative else "")

    def removed_by_pass(self):
        """The logged paths the removal pass takes away: all but the installation folder, which still
        holds the uninstaller and its log."""
        return [path for _kind, path in self.log_entries if path != self.install_dir]

    def group_files(self):
        return [GROUP_NAME + "\\" + name for name in SHORTCUTS]


# (relative path, content); folders come from the paths. Logged in this order, each folder before the
# first file in it, as the installer creates them.
APPLICATION_FILES = (
    ("px.exe", b"MZ plexitone\r\n"),
    ("license.txt", b"Plexitone license\r\n"),
    ("Plexitone.url", b"[InternetShortcut]\r\nURL=http://plexitone.example/\r\n"),
    ("Help\\px.chm", b"ITSF help\r\n"),
    ("Help\\images\\logo.bmp", b"BM logo\r\n"),
    ("Samples\\Drums\\kick.wav", b"RIFF kick\r\n"),
    ("Samples\\Drums\\snare.wav", b"RIFF snare\r\n"),
    ("Samples\\Keys\\piano.mid", b"MThd piano\r\n"),
    ("Plugins\\reverb.dll", b"MZ reverb\r\n"),
)

# (shortcut, target relative to the installation folder, description)
SHORTCUT_TARGETS = (
    ("Plexitone.lnk", "px.exe", "Plexitone"),
    ("Plexitone Help.lnk", "Help\\px.chm", "Plexitone Help"),
    ("Plexitone License.lnk", "license.txt", "Plexitone License"),
    ("Plexitone Home Page.lnk", "Plexitone.url", "Plexitone Home Page"),
    ("Uninstall Plexitone.lnk", "pxunins.exe", "Uninstall Plexitone"),
)


def write_file(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        stream.write(content)


def logged_entries(install_dir):
    entries = [(ENTRY_KIND_DIRECTORY, install_dir)]
    known = {install_dir}
    for relative, _content in APPLICATION_FILES:
        parts = relative.split("\\")
        for depth in range(1, len(parts)):
            folder = install_dir + "\\" + "\\".join(parts[:depth])
            if folder not in known:
                known.add(folder)
                entries.append((ENTRY_KIND_DIRECTORY, folder))
        entries.append((ENTRY_KIND_FILE, install_dir + "\\" + relative))
    return entries


def read_ini(path):
    """[(section, [lines])] in file order; blank lines dropped, every other line kept as it is."""
    sections = []
    if not os.path.exists(path):
        return sections
    with open(path, "rb") as stream:
        text = stream.read().decode("cp1252")
    for raw in text.splitlines():
        line = raw.strip()
        if not line:
            continue
        if line.startswith("[") and line.endswith("]"):
            sections.append((line[1:-1], []))
        elif sections:
            sections[-1][1].append(line)
        else:
            sections.append(("", [line]))
    return sections


def write_ini(path, sections):
    with open(path, "wb") as stream:
        for section, lines in sections:
            stream.write(("[%s]\r\n" % section).encode("cp1252"))
            for line in lines:
                stream.write((line + "\r\n").encode("cp1252"))


def set_ini_lines(path, section, lines):
    """Replaces (or adds) one section and keeps every other one."""
    sections = [(name, body) for name, body in read_ini(path) if name.lower() != section.lower()]
    if lines is not None:
        sections.append((section, list(lines)))
    write_ini(path, sections)


def system_ini(prefix):
    return unix_path(prefix, WINDOWS_DIR + "\\system.ini")


def wininit_ini(prefix):
    return unix_path(prefix, WINDOWS_DIR + "\\wininit.ini")


# What other programs keep in [drivers] of "system.ini"; ours goes between them.
OTHER_SYSTEM_INI_DRIVERS = ("wave=mmsystem.dll", "midi=" + OTHER_MIDI_DRIVER, "timer=timer.drv")
OTHER_WININIT_LINE = "nul=C:\\WINDOWS\\TEMP\\OTHER~1.TMP"


def reset_changes():
    """Registry changes that remove every trace of an installation and of the neighbours we staged."""
    changes = RegFile()
    for key in (APP_PATH_KEY, USER_MAKER_KEY, MACHINE_MAKER_KEY, "HKCU\\" + UNINSTALL_SUBKEY,
                "HKLM\\" + UNINSTALL_SUBKEY):
        changes.delete_key(key)
    changes.set_values(SHARED_DLLS_KEY, {DRIVER_NAME: None, OTHER_SHARED_FILE: None})
    changes.set_values(DRIVERS32_KEY, {"midi": None, "midi1": None})
    changes.set_values(DRIVERS_DESC_KEY, {DRIVER_NAME: None, OTHER_MIDI_DRIVER: None})
    changes.set_values(SESSION_MANAGER_KEY, {PENDING_RENAMES: None})
    return changes


def reset_files(prefix, install_dir=DEFAULT_INSTALL_DIR):
    for folder in (unix_path(prefix, install_dir), os.path.join(programs_folder(prefix), GROUP_NAME),
                   os.path.join(common_programs_folder(prefix), GROUP_NAME)):
        if os.path.exists(folder):
            shutil.rmtree(folder)
    for folder in (SYSTEM_DIR, WOW64_SYSTEM_DIR):
        driver = unix_path(prefix, folder + "\\" + DRIVER_NAME)
        if os.path.isfile(driver):
            os.remove(driver)
    ini = system_ini(prefix)
    sections = read_ini(ini)
    write_ini(ini, [(name, [line for line in body if not line.lower().startswith(names.SYSTEM_INI_DRIVER_KEY.lower() + "=")])
                    for name, body in sections if name.lower() != "drivers"])
    for name in ("wininit.ini", "wininit.bak"):
        path = unix_path(prefix, WINDOWS_DIR + "\\" + name)
        if os.path.exists(path):
            os.remove(path)


def reset_system(prefix, environment, scratch_dir, install_dir=DEFAULT_INSTALL_DIR):
    """Leaves the prefix as before any installation, so that the next test starts clean."""
    reset_files(prefix, install_dir)
    reset_changes().apply(environment, scratch_dir)


def stage_installation(prefix, environment, lane, install_dir=DEFAULT_INSTALL_DIR, shared_count=1,
                       uninstaller=None, scratch_dir=None, write_log=True, app_path=None,
                       extra_changes=None):
    """Installs Plexitone into the prefix as its installer does on the lane (pxwine.lanes).

    shared_count: the SharedDLLs use count of the driver; None leaves the value out.
    uninstaller:  the pxunins.exe to copy into the installation folder (None: no uninstaller).
    write_log:    False leaves "_pxunins.dat" out, as after a broken installation.
    app_path:     the default value of the application path (a pxwine.registry Value); None names px.exe in
                  the installation folder, as the installer writes it.
    extra_changes: a RegFile applied after the installation's own entries, in the same import.
    Whatever an earlier installation left is removed first."""
    assert lane in LANES
    assert not install_dir.endswith("\\")
    scratch_dir = scratch_dir or prefix
    reset_files(prefix, install_dir)
    installation = Installation(prefix, lane, install_dir)

    # The installation folder, its files and the uninstaller with its log.
    for relative, content in APPLICATION_FILES:
        write_file(unix_path(prefix, installation.win(relative)), content)
    if uninstaller is not None:
        shutil.copyfile(uninstaller, unix_path(prefix, installation.win("pxunins.exe")))
    installation.log_entries = logged_entries(install_dir)
    if write_log:
        write_file(unix_path(prefix, installation.win(LOG_NAME)), sound_log(installation.log_entries))

    # The start-menu group of the current user. All users' start menu gets a group of the same name,
    # as a second installation for everyone would leave it.
    for name, target, description in SHORTCUT_TARGETS:
        target_path = installation.win(target)
        local = unix_path(prefix, target_path)
        size = os.path.getsize(local) if os.path.exists(local) else 0
        write_file(os.path.join(installation.group, name),
                   shell_link(target_path, description, install_dir, size))
    write_file(os.path.join(installation.common_group, "Plexitone.lnk"),
               shell_link(installation.win("px.exe"), "Plexitone", install_dir))

    # The pipe driver's file and, on the consumer line, its line in "system.ini".
    write_file(unix_path(prefix, installation.driver_disk_file), b"MZ plexitone pipe driver\r\n")
    if lane.wow64:
        write_file(unix_path(prefix, installation.driver_file), OTHER_DRIVER_64_CONTENT)
    drivers = list(OTHER_SYSTEM_INI_DRIVERS)
    if not lane.nt:
        drivers.insert(2, names.SYSTEM_INI_DRIVER_KEY + "=" + DRIVER_NAME)
    set_ini_lines(system_ini(prefix), "drivers", drivers)
    # A delayed deletion of another program's, so the scheduling must keep what it finds.
    write_ini(wininit_ini(prefix), [("rename", [OTHER_WININIT_LINE])])

    changes = reset_changes()
    changes.set_values(APP_PATH_KEY, {
        "": app_path if app_path is not None else sz(installation.win("px.exe")),
        "Path": sz(install_dir),
    })
    changes.set_values(USER_PRODUCT_KEY, {"Version": sz("2.1"), "Skin": sz("Classic")})
    changes.set_values(USER_PRODUCT_KEY + "\\Audio", {"Device": sz("Primary Sound Driver"),
                                                       "Latency": dword(40)})
    changes.set_values(USER_PRODUCT_KEY + "\\MIDI", {"Input": sz("Plexitone Pipe"), "Thru": dword(1)})
    changes.set_values(USER_PRODUCT_KEY + "\\Recent Files", {
        "File1": sz("C:\\My Music\\song.pxs"), "File2": sz("C:\\My Music\\demo.pxs")})
    changes.set_values(USER_PRODUCT_KEY + "\\Offline Rendering", {"Format": sz("WAV"), "Bits": dword(16)})
    changes.set_values(uninstall_key(lane), {
        "DisplayName": sz("Plexitone"),
        "UninstallString": sz('"%s"' % installation.win("pxunins.exe")),
    })
    changes.set_values(MACHINE_PRODUCT_KEY, {names.PIPE_DRIVER_VALUE: sz(DRIVER_NAME), "Path": sz(install_dir)})
    shared = {OTHER_SHARED_FILE: dword(2)}
    if shared_count is not None:
        shared[DRIVER_NAME] = dword(shared_count)
    changes.set_values(SHARED_DLLS_KEY, shared)
    if lane.nt:
        changes.set_values(DRIVERS32_KEY, {"midi": sz(OTHER_MIDI_DRIVER), "midi1": sz(DRIVER_NAME)})
        changes.set_values(DRIVERS_DESC_KEY, {OTHER_MIDI_DRIVER: sz("Other Synth"),
                                              DRIVER_NAME: sz("Plexitone MIDI Pipe")})
    else:
        changes.set_values(DRIVERS_DESC_KEY, {OTHER_MIDI_DRIVER: sz("Other Synth")})
    changes.set_values(SESSION_MANAGER_KEY, {PENDING_RENAMES: multi_sz([OTHER_PENDING, ""])})
    if extra_changes is not None:
        changes.extend(extra_changes)
    changes.apply(environment, scratch_dir)
    return installation


# ---------------------------------------------------------------------------------------------------------
# Snapshots


# Registry trees a run may touch or must leave alone. HKCU\Software\Wine is left out: the driver writes the
# program's Windows version there before every run. So is NetworkCards: Wine lists the host's network
# adapters there when a fresh prefix first asks for them, whichever program asks, at any moment of a test.
SNAPSHOT_TREES = ("HKLM\\Software", "HKCU\\Software", SESSION_MANAGER_KEY)
SNAPSHOT_EXCLUDED = ("HKCU\\Software\\Wine", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
                     "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards")


def in_tree(path, tree):
    return path == tree or path.startswith(tree + "\\")


def file_items(prefix, items, tag, root_unix, root_windows, hash_content=True):
    if not os.path.isdir(root_unix):
        return
    for folder, folders, files in os.walk(root_unix):
        relative = os.path.relpath(folder, root_unix)
        base = root_windows if relative == "." else root_windows + "\\" + relative.replace(os.sep, "\\")
        items[("folder", base.lower())] = tag
        for name in files:
            path = os.path.join(folder, name)
            if hash_content:
                with open(path, "rb") as stream:
                    state = hashlib.sha1(stream.read()).hexdigest()[:16]
            else:
                state = "%d bytes" % os.path.getsize(path)
            items[("file", (base + "\\" + name).lower())] = state


def snapshot(prefix, environment, scratch_dir=None, install_dir=DEFAULT_INSTALL_DIR):
    """Every registry key and value under SNAPSHOT_TREES (both views in a 64-bit prefix: Wow6432Node is a
    key below HKLM\\Software there), every file of the installation folder, of both start menus' Programs
    folders and of the system folders (system32, and syswow64 where there is one), and every line of
    "system.ini" and
    "wininit.ini", as one flat dict:
        ("key", path) -> None, ("value", path, name) -> Value, ("file", path) -> content digest or size,
        ("folder", path) -> tag, ("ini", file, section) -> tuple of lines.
    Paths and names are in lower case."""
    items = {}
    registry = export_registry(environment, scratch_dir or prefix)
    trees = [normal_key(tree) for tree in SNAPSHOT_TREES]
    excluded = [normal_key(tree) for tree in SNAPSHOT_EXCLUDED]
    for path, values in registry.items():
        if not any(in_tree(path, tree) for tree in trees) or any(in_tree(path, tree) for tree in excluded):
            continue
        items[("key", path)] = None
        for name, value in values.items():
            items[("value", path, name)] = value

    file_items(prefix, items, "install", unix_path(prefix, install_dir), install_dir)
    file_items(prefix, items, "start menu", programs_folder(prefix), "<programs>")
    file_items(prefix, items, "common start menu", common_programs_folder(prefix), "<common programs>")
    # The system folder is large: names and sizes tell enough there.
    file_items(prefix, items, "system", unix_path(prefix, SYSTEM_DIR), SYSTEM_DIR, hash_content=False)
    file_items(prefix, items, "system", unix_path(prefix, WOW64_SYSTEM_DIR), WOW64_SYSTEM_DIR,
               hash_content=False)
    for name in ("system.ini", "win.ini", "wininit.ini", "wininit.bak"):
        for section, lines in read_ini(unix_path(prefix, WINDOWS_DIR + "\\" + name)):
            items[("ini", name, section.lower())] = tuple(lines)
    return items


def describe(item):
    return " ".join(str(part) for part in item)


def compare(expected, actual):
    """The differences between two snapshots, one readable line each; empty when they are equal."""
    lines = []
    for item in sorted(set(expected) | set(actual), key=lambda key: tuple(str(part) for part in key)):
        if item not in actual:
            lines.append("gone, should be there: %s = %r" % (describe(item), expected[item]))
        elif item not in expected:
            lines.append("there, should be gone: %s = %r" % (describe(item), actual[item]))
        elif expected[item] != actual[item]:
            lines.append("changed: %s: expected %r, found %r" % (describe(item), expected[item], actual[item]))
    return lines


def without(items, key_trees=(), values=(), paths=()):
    """A copy of a snapshot without the keys below key_trees (with the trees themselves), the values
    (key, name) and the files and folders at or below paths."""
    trees = [normal_key(tree) for tree in key_trees]
    value_set = {(normal_key(key), name.lower()) for key, name in values}
    path_list = [path.lower() for path in paths]
    kept = {}
    for item, state in items.items():
        if item[0] in ("key", "value") and any(in_tree(item[1], tree) for tree in trees):
            continue
        if item[0] == "value" and (item[1], item[2]) in value_set:
            continue
        if item[0] in ("file", "folder") and any(in_tree(item[1], path) for path in path_list):
            continue
        kept[item] = state
    return kept
