"""The one description of an installation of Plexitone under Wine: what its installer makes on each lane
(pxwine.lanes), and what other programs keep beside it. The staging (pxwine.installation), the demo, the
benchmark and the round trip that checks the staging against the real installer all read it here.

    DEFAULT_INSTALL_DIR, APPLICATION_FILES, sample_library()   the payload, as (relative path, content)
    SHORTCUT_TARGETS                                            the start-menu group's five shortcuts
    installed_registry(lane, install_dir, ...)                  [(key, {name: Value})] the installer writes
    uninstall_entry(install_dir, payload)                       the values of the list of installed programs
    installed_drivers_lines(lane)                               system.ini's [drivers] after the install
    OTHER_*, neighbour_registry(lane)                       the other programs' items

Keys are named as a 32-bit program names them; on the 64-bit lane WoW64 moves HKLM\\Software below
Wow6432Node (lane.machine_key). The fixed names come from pxwine.fixed_names; the sample values are the
reference installer's (installer/plexitone.nsi), and the round trip "install_matches_staging" fails while
the two differ.
"""

import time

from pxwine import fixed_names as names
from pxwine.registry import dword, multi_sz, sz

DEFAULT_INSTALL_DIR = "C:\\Program Files\\" + names.GROUP_NAME
# Wine answers GetSystemDirectoryA with this folder on every lane (under WoW64 too); the consumer line's
# C:\WINDOWS\SYSTEM is not emulated.
SYSTEM_DIR = "C:\\windows\\system32"
# Where a 32-bit program's system folder lies on a 64-bit Windows, and what 64-bit programs keep there.
WOW64_SYSTEM_DIR = "C:\\windows\\syswow64"
WINDOWS_DIR = "C:\\windows"

DRIVER_NAME = names.PIPE_DRIVER_FILE_NAME
DRIVER_CONTENT = b"MZ plexitone pipe driver\r\n"
DRIVER_DESCRIPTION = "Plexitone MIDI Pipe"
# The product's name in the list of installed programs: the last part of its key.
DISPLAY_NAME = names.PRODUCT_KEY.rsplit("\\", 1)[1]

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


def uninstall_key(lane):
    """The NT line lists a per-user installation under the user; the consumer line has only the machine's
    list."""
    return ("HKCU\\" if lane.nt else "HKLM\\") + UNINSTALL_SUBKEY


def compared_keys(lane):
    """The registry keys that an uninstall reads or writes, each whole (the lists that hold our entries
    beside other programs': App Paths, both lists of installed programs, the driver lists, the shared-use
    counts, the pending renames), in both views on the 64-bit lane: all that a clean-up row compares. A
    round trip compares the whole registry instead."""
    keys = [APP_PATH_KEY.rsplit("\\", 1)[0], "HKCU\\" + UNINSTALL_SUBKEY.rsplit("\\", 1)[0],
            "HKLM\\" + UNINSTALL_SUBKEY.rsplit("\\", 1)[0], USER_MAKER_KEY, MACHINE_MAKER_KEY, SHARED_DLLS_KEY,
            DRIVERS32_KEY, DRIVERS_DESC_KEY, SESSION_MANAGER_KEY]
    return keys + [lane.machine_key(key) for key in keys if lane.machine_key(key) != key]


def driver_list_name(number):
    """The number-th name of the MIDI driver list: "midi", "midi1" ... "midi99"."""
    return names.DRIVER_LIST_NAME + (str(number) if number else "")


# ---------------------------------------------------------------------------------------------------------
# What the installer makes

# (relative path, content); folders come from the paths, each logged before the first file in it.
APPLICATION_FILES = (
    (names.APP_FILE_NAME, b"MZ plexitone\r\n"),
    ("license.txt", b"Plexitone license\r\n"),
    ("Plexitone.url", b"[InternetShortcut]\r\nURL=" + names.HOME_PAGE_URL.encode("ascii") + b"\r\n"),
    ("Help\\px.chm", b"ITSF help\r\n"),
    ("Help\\images\\logo.bmp", b"BM logo\r\n"),
    ("Samples\\Drums\\kick.wav", b"RIFF kick\r\n"),
    ("Samples\\Drums\\snare.wav", b"RIFF snare\r\n"),
    ("Samples\\Keys\\piano.mid", b"MThd piano\r\n"),
    ("Plugins\\reverb.dll", b"MZ reverb\r\n"),
)

# A sample library like the one the full product brings: enough files that the progress dialog stays on
# the screen long enough to be seen. The installer's payload carries it; the staging only when asked.
SAMPLE_LIBRARY = "Samples\\Library"
SAMPLE_COUNT = 400


def sample_library():
    return tuple(("%s\\sound%03d.wav" % (SAMPLE_LIBRARY, index), b"RIFF sample %03d\r\n" % index)
                 for index in range(SAMPLE_COUNT))


# (shortcut, target relative to the installation folder, description)
SHORTCUT_TARGETS = (
    (names.APP_SHORTCUT, names.APP_FILE_NAME, DISPLAY_NAME),
    (names.HELP_SHORTCUT, "Help\\px.chm", "Plexitone Help"),
    (names.LICENSE_SHORTCUT, "license.txt", "Plexitone License"),
    (names.HOME_PAGE_SHORTCUT, "Plexitone.url", "Plexitone Home Page"),
    (names.UNINSTALL_SHORTCUT, names.UNINSTALLER_FILE_NAME, "Uninstall Plexitone"),
)

# The sample application's settings, as its installer writes them.
USER_SETTINGS = (
    (USER_PRODUCT_KEY, {"Version": sz("%d.%d" % (names.VERSION_MAJOR, names.VERSION_MINOR)), "Skin": sz("Classic")}),
    (USER_PRODUCT_KEY + "\\Audio", {"Device": sz("Primary Sound Driver"), "Latency": dword(40)}),
    (USER_PRODUCT_KEY + "\\MIDI", {"Input": sz("Plexitone Pipe"), "Thru": dword(1)}),
    (USER_PRODUCT_KEY + "\\Recent Files", {"File1": sz("C:\\My Music\\song.pxs"),
                                           "File2": sz("C:\\My Music\\demo.pxs")}),
    (USER_PRODUCT_KEY + "\\Offline Rendering", {"Format": sz("WAV"), "Bits": dword(16)}),
)

# With another program's driver in "midi", the installer takes the next free name.
OUR_DRIVER_LIST_NAME = driver_list_name(1)


VERSION = names.VERSION_TEXT


def uninstall_entry(install_dir, payload):
    """The values of the entry in the list of installed programs: what Windows shows (publisher, version,
    size in KiB of the payload's (relative path, content) pairs, rounded up, the day of the install by
    this machine's clock, the icon, no Modify or Repair button), what winget matches a package by, and
    the commands the deployment tools run."""
    uninstaller = install_dir + "\\" + names.UNINSTALLER_FILE_NAME
    size = sum(len(content) for _relative, content in payload)
    return {"DisplayName": sz(DISPLAY_NAME), "UninstallString": sz('"%s"' % uninstaller),
            "QuietUninstallString": sz('"%s" /S' % uninstaller), "DisplayVersion": sz(VERSION),
            "VersionMajor": dword(names.VERSION_MAJOR), "VersionMinor": dword(names.VERSION_MINOR),
            "Publisher": sz(names.MAKER_NAME), "DisplayIcon": sz(install_dir + "\\" + names.APP_FILE_NAME),
            "InstallLocation": sz(install_dir), "EstimatedSize": dword((size + 1023) // 1024),
            "InstallDate": sz(time.strftime("%Y%m%d")), "NoModify": dword(1), "NoRepair": dword(1)}


def installed_registry(lane, install_dir, shared_count=1, app_path=None, payload=APPLICATION_FILES):
    """What the installer writes on the lane, as [(key, {name: Value})]; its values in keys that others
    share (SharedDLLs, the driver lists) go beside theirs. shared_count: the driver's use count, None for
    none; app_path: the App Paths default value, None for px.exe in install_dir; payload: the files
    installed, (relative path, content), whose size the entry gives."""
    app = install_dir + "\\" + names.APP_FILE_NAME
    items = [(APP_PATH_KEY, {"": app_path if app_path is not None else sz(app), "Path": sz(install_dir)})]
    items += list(USER_SETTINGS)
    items += [
        (uninstall_key(lane), uninstall_entry(install_dir, payload)),
        (MACHINE_PRODUCT_KEY, {names.PIPE_DRIVER_VALUE: sz(DRIVER_NAME), "Path": sz(install_dir)}),
    ]
    if shared_count is not None:
        items.append((SHARED_DLLS_KEY, {DRIVER_NAME: dword(shared_count)}))
    if lane.nt:
        items += [(DRIVERS32_KEY, {OUR_DRIVER_LIST_NAME: sz(DRIVER_NAME)}),
                  (DRIVERS_DESC_KEY, {DRIVER_NAME: sz(DRIVER_DESCRIPTION)})]
    return items


def installed_drivers_lines(lane):
    """[drivers] of "system.ini" after the install: the consumer line's installer adds its line at the
    end of the section, as WritePrivateProfileString does with a new key."""
    ours = (names.SYSTEM_INI_DRIVER_KEY + "=" + DRIVER_NAME,) if not lane.nt else ()
    return OTHER_SYSTEM_INI_DRIVERS + ours


# ---------------------------------------------------------------------------------------------------------
# What other programs keep beside it, so that a run which touches more than its own shows in a snapshot:
# another MIDI driver before ours (in the registry and in "system.ini"), another shared file's use count, a
# group of our name in all users' start menu, pending deletions of someone else's on both lines; on the
# 64-bit lane another program's 64-bit file of our driver's name in the real system32, where a record
# that names system32 would have the restart delete it.

OTHER_MIDI_DRIVER = "othersynth.drv"
OTHER_MIDI_DESCRIPTION = "Other Synth"
OTHER_SHARED_FILE = "C:\\Program Files\\Common Files\\Other\\shared.dll"
OTHER_PENDING = "\\??\\C:\\windows\\temp\\other-setup.tmp"
OTHER_SYSTEM_INI_DRIVERS = ("wave=mmsystem.dll", driver_list_name(0) + "=" + OTHER_MIDI_DRIVER,
                                "timer=timer.drv")
OTHER_WININIT_LINE = "nul=C:\\WINDOWS\\TEMP\\OTHER~1.TMP"
OTHER_DRIVER_64_CONTENT = b"MZ another program's 64-bit pxpipe.drv\r\n"
# All users' group holds one shortcut of a second installation, for everyone.
OTHER_COMMON_SHORTCUT = SHORTCUT_TARGETS[0]


def neighbour_registry(lane):
    """The other programs' keys and values, as [(key, {name: Value})]."""
    items = [(SESSION_MANAGER_KEY, {PENDING_RENAMES: multi_sz([OTHER_PENDING, ""])}),
             (SHARED_DLLS_KEY, {OTHER_SHARED_FILE: dword(2)}),
             (DRIVERS_DESC_KEY, {OTHER_MIDI_DRIVER: sz(OTHER_MIDI_DESCRIPTION)})]
    if lane.nt:
        items.append((DRIVERS32_KEY, {driver_list_name(0): sz(OTHER_MIDI_DRIVER)}))
    return items
