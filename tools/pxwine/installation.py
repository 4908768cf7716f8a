"""Stages what a run of the uninstaller meets in a Wine prefix: a folder of a test's own, or Plexitone as its
installer leaves it (described once in pxwine.product), with the other programs' items beside it.

    Stage(prefix, "C:\\e2e\\x\\")                      -> an empty folder of a test's own: .file(), .folder(),
                                                        .copy(), .win(), .snapshot()
    stage_installation(prefix, environment, lane, ...) -> Installation: Plexitone as its installer leaves it
    stage_neighbours(prefix, changes, lane)            -> the other programs' items alone (the demo's start)
    reset_system(prefix, environment, scratch_dir)     -> removes every trace of an installation

On the 64-bit lane the staging writes what a 32-bit installer writes: the driver's file in syswow64, the
registry through the 32-bit regedit (so HKLM\\Software lands in Wow6432Node).

The snapshots (pxwine.snapshot), the INI files (pxwine.ini_files), the shortcut writer (pxwine.shell_link)
and the description (pxwine.product) have modules of their own; their names are also here, where the
tables have always found them.
"""

import os
import shutil

from pxwine import fixed_names as names
from pxwine.ini_files import read_ini, set_ini_lines, system_ini, wininit_ini, write_ini  # noqa: F401
from pxwine.lanes import LANES
from pxwine.paths import common_programs_folder, programs_folder, unix_path  # noqa: F401
from pxwine.product import (APP_PATH_KEY, APPLICATION_FILES, DEFAULT_INSTALL_DIR, DRIVER_CONTENT,  # noqa: F401
                            DRIVER_NAME, DRIVERS32_KEY, DRIVERS_DESC_KEY, GROUP_NAME, MACHINE_MAKER_KEY,
                            MACHINE_PRODUCT_KEY, OTHER_COMMON_SHORTCUT, OTHER_DRIVER_64_CONTENT,
                            OTHER_MIDI_DRIVER, OTHER_PENDING, OUR_DRIVER_LIST_NAME, OTHER_SHARED_FILE, OTHER_SYSTEM_INI_DRIVERS,
                            OTHER_WININIT_LINE, PENDING_RENAMES, SESSION_MANAGER_KEY, SHARED_DLLS_KEY,
                            SHORTCUT_TARGETS, SHORTCUTS, SYSTEM_DIR, UNINSTALL_SUBKEY, USER_MAKER_KEY,
                            USER_PRODUCT_KEY, USER_SETTINGS_KEYS, WINDOWS_DIR, WOW64_SYSTEM_DIR,
                            installed_drivers_lines, installed_registry, neighbour_registry, sample_library,
                            uninstall_key)
from pxwine.registry import RegFile, normal_key
from pxwine.shell_link import shell_link
from pxwine.snapshot import compare, describe, in_tree, snapshot, without  # noqa: F401
from pxwine.uninstall_log import ENTRY_KIND_DIRECTORY, ENTRY_KIND_FILE, LOG_NAME, sound_log

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


def write_file(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        stream.write(content)


def logged_entries(install_dir, payload):
    """The log's entries for the payload, in the order the installer makes them: the folder, then each
    folder before the first file in it."""
    entries = [(ENTRY_KIND_DIRECTORY, install_dir)]
    known = {install_dir}
    for relative, _content in payload:
        parts = relative.split("\\")
        for depth in range(1, len(parts)):
            folder = install_dir + "\\" + "\\".join(parts[:depth])
            if folder not in known:
                known.add(folder)
                entries.append((ENTRY_KIND_DIRECTORY, folder))
        entries.append((ENTRY_KIND_FILE, install_dir + "\\" + relative))
    return entries


# Keys that only an installation of ours holds: a reset deletes them whole.
OWN_KEYS = (APP_PATH_KEY, USER_MAKER_KEY, MACHINE_MAKER_KEY, "HKCU\\" + UNINSTALL_SUBKEY, "HKLM\\" + UNINSTALL_SUBKEY)


def reset_changes():
    """Registry changes that remove every trace of an installation and of the neighbours we staged: our
    own keys whole, and in the keys others share (SharedDLLs, the driver lists) the values we wrote."""
    changes = RegFile()
    for key in OWN_KEYS:
        changes.delete_key(key)
    shared = {}
    for lane in LANES:
        for key, values in installed_registry(lane, DEFAULT_INSTALL_DIR) + neighbour_registry(lane):
            if not any(in_tree(normal_key(key), normal_key(own)) for own in OWN_KEYS):
                shared.setdefault(key, {}).update((name, None) for name in values)
    for key, values in shared.items():
        changes.set_values(key, values)
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
    write_ini(ini, [section for section in read_ini(ini) if section[0].lower() != names.SYSTEM_INI_DRIVERS])
    for name in ("wininit.ini", "wininit.bak"):
        path = unix_path(prefix, WINDOWS_DIR + "\\" + name)
        if os.path.exists(path):
            os.remove(path)


def reset_system(prefix, environment, scratch_dir, install_dir=DEFAULT_INSTALL_DIR):
    """Leaves the prefix as before any installation, so that the next test starts clean."""
    reset_files(prefix, install_dir)
    reset_changes().apply(environment, scratch_dir)


def stage_neighbours(prefix, changes, lane):
    """The other programs' items (pxwine.product): files written at once, registry values added to
    changes; the driver lists as before our installation."""
    if lane.wow64:
        write_file(unix_path(prefix, SYSTEM_DIR + "\\" + DRIVER_NAME), OTHER_DRIVER_64_CONTENT)
    set_ini_lines(system_ini(prefix), names.SYSTEM_INI_DRIVERS, OTHER_SYSTEM_INI_DRIVERS)
    # A delayed deletion of another program's, so the scheduling must keep what it finds.
    write_ini(wininit_ini(prefix), [("rename", [OTHER_WININIT_LINE])])
    # All users' start menu gets a group of the same name, as a second installation for everyone leaves it.
    name, target, description = OTHER_COMMON_SHORTCUT
    write_file(os.path.join(common_programs_folder(prefix), GROUP_NAME, name),
               shell_link(DEFAULT_INSTALL_DIR + "\\" + target, description, DEFAULT_INSTALL_DIR))
    for key, values in neighbour_registry(lane):
        changes.set_values(key, values)
    return changes


def stage_installation(prefix, environment, lane, install_dir=DEFAULT_INSTALL_DIR, shared_count=1,
                       uninstaller=None, scratch_dir=None, write_log=True, app_path=None,
                       extra_changes=None, sample_library_too=False):
    """Installs Plexitone into the prefix as its installer does on the lane (pxwine.lanes), beside the
    other programs' items.

    shared_count: the SharedDLLs use count of the driver; None leaves the value out.
    uninstaller:  the pxunins.exe to copy into the installation folder (None: no uninstaller).
    write_log:    False leaves "_pxunins.dat" out, as after a broken installation.
    app_path:     the default value of the application path (a pxwine.registry Value); None names px.exe in
                  the installation folder, as the installer writes it.
    extra_changes: a RegFile applied after the installation's own entries, in the same import.
    sample_library_too: the whole payload of the installer, its sample library of 400 files included.
    Whatever an earlier installation left is removed first."""
    assert lane in LANES
    assert not install_dir.endswith("\\")
    scratch_dir = scratch_dir or prefix
    reset_files(prefix, install_dir)
    installation = Installation(prefix, lane, install_dir)
    changes = stage_neighbours(prefix, reset_changes(), lane)

    # The installation folder, its files and the uninstaller with its log.
    payload = APPLICATION_FILES + (sample_library() if sample_library_too else ())
    for relative, content in payload:
        write_file(unix_path(prefix, installation.win(relative)), content)
    if uninstaller is not None:
        shutil.copyfile(uninstaller, unix_path(prefix, installation.win(names.UNINSTALLER_FILE_NAME)))
    installation.log_entries = logged_entries(install_dir, payload)
    if write_log:
        write_file(unix_path(prefix, installation.win(LOG_NAME)), sound_log(installation.log_entries))

    # The start-menu group of the current user.
    for name, target, description in SHORTCUT_TARGETS:
        target_path = installation.win(target)
        local = unix_path(prefix, target_path)
        size = os.path.getsize(local) if os.path.exists(local) else 0
        write_file(os.path.join(installation.group, name),
                   shell_link(target_path, description, install_dir, size))

    # The pipe driver's file and, on the consumer line, its line in "system.ini".
    write_file(unix_path(prefix, installation.driver_disk_file), DRIVER_CONTENT)
    set_ini_lines(system_ini(prefix), names.SYSTEM_INI_DRIVERS, installed_drivers_lines(lane))

    for key, values in installed_registry(lane, install_dir, shared_count, app_path, payload):
        changes.set_values(key, values)
    if extra_changes is not None:
        changes.extend(extra_changes)
    changes.apply(environment, scratch_dir)
    return installation
