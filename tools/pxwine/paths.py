"""Where a Windows path of a Wine prefix lies on the Unix disk, and the Windows name of a Unix path."""

import glob
import os


def unix_path(prefix, windows_path):
    """C:\\X\\y.txt -> PREFIX/drive_c/X/y.txt, in the case the path is written."""
    assert windows_path[1:3] == ":\\", windows_path
    drive = os.path.join(prefix, "drive_" + windows_path[0].lower())
    parts = [part for part in windows_path[3:].split("\\") if part]
    return os.path.join(drive, *parts)


def disk_path(prefix, windows_path):
    """As unix_path, but each existing part in the case the disk has it: Windows finds a file in any case,
    so a check of a path the program was given must too."""
    path = unix_path(prefix, windows_path[:3])
    for part in windows_path[3:].split("\\"):
        if not part:
            continue
        names = {name.lower(): name for name in os.listdir(path)} if os.path.isdir(path) else {}
        path = os.path.join(path, names.get(part.lower(), part))
    return path


def windows_path(unix_path_):
    """Wine maps the Linux root to drive Z:."""
    return "Z:" + os.path.abspath(unix_path_).replace("/", "\\")


def programs_folder(prefix):
    """The current user's start-menu Programs folder, where Wine keeps CSIDL_PROGRAMS on both lines."""
    candidates = [path for path in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                                          "Microsoft", "Windows", "Start Menu", "Programs"))
                  if os.sep + "Public" + os.sep not in path]
    if len(candidates) != 1:
        raise RuntimeError("cannot find the user's Programs folder in %s: %s" % (prefix, candidates))
    return candidates[0]


def common_programs_folder(prefix):
    """CSIDL_COMMON_PROGRAMS: the start menu of all users, which the uninstaller must leave alone."""
    return os.path.join(prefix, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs")


def temp_folders(prefix):
    """Every user's temporary folder (%TEMP%) in the prefix."""
    users = os.path.join(prefix, "drive_c", "users")
    found = []
    for user in sorted(os.listdir(users)) if os.path.isdir(users) else []:
        for temp in (os.path.join(users, user, "AppData", "Local", "Temp"), os.path.join(users, user, "Temp")):
            if os.path.isdir(temp):
                found.append(temp)
                break
    return found
