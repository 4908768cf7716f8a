"""What the demo found, apart from how the report words it: from the snapshots before the install, after it,
after the run (and after the restart), each thing the installer made either gone or kept with the reason
it stays; what the run left in the temporary folders; the records it left for the next restart.

    Findings(lane, installation, options, before_install, installed, after_run, temp_before, temp_after,
             final=None)
    temp_listing(prefix)                  -> {Windows path of a file or folder ("...\\"): size or None}

A reason is one of the REASON_* codes; demo.py says what each means.
"""

import os

from pxwine import fixed_names as names
import pxwine.installation as inst
from pxwine.lanes import NT64
from pxwine.paths import temp_folders, unix_path
from pxwine.product import driver_list_name
from pxwine.registry import REG_MULTI_SZ, REG_SZ, normal_key, sz

REASON_RUNNING = "running"            # the uninstaller's own file
REASON_LOG = "log"                    # the log, which does not list itself
REASON_HOLDS = "holds"                # a folder that still holds what stays
REASON_RESTART = "restart"            # the driver's file, named by a record for the next restart
REASON_SHARED_DRIVER = "shared"       # the driver and what names it, while another program uses it
REASON_SHARED_PARENT = "parent"       # a parent key or section that Windows and other programs share
REASON_NO_LOG = "no log"              # the installation folder, without a log to say what is in it
REASON_FALLBACK = "fallback"          # the registry, which the reduced clean-up leaves alone
REASON_UNKNOWN = "unknown"            # none of the above: a fault of the uninstaller or of the demo

# C:\windows\temp beside every user's own temporary folder (GetTempPath's answer).
WINDOWS_TEMP = inst.WINDOWS_DIR + "\\temp"


def item_order(item):
    return tuple(str(part) for part in item)


def views(key):
    """A key as our 32-bit programs name it, and where WoW64 redirects it (absent in a 32-bit prefix)."""
    redirected = NT64.machine_key(key)
    return (key, redirected) if redirected != key else (key,)


def value_of(items, key, name):
    for view in views(key):
        value = items.get(("value", normal_key(view), name.lower()))
        if value is not None:
            return value
    return None


def has_key(items, key):
    return any(("key", normal_key(view)) in items for view in views(key))


def temp_listing(prefix):
    """Every file (with its size) and folder (None) in the users' temporary folders and C:\\windows\\temp."""
    roots = [(folder, None) for folder in temp_folders(prefix)] + [(unix_path(prefix, WINDOWS_TEMP), WINDOWS_TEMP)]
    found = {}
    for root, windows_root in roots:
        if windows_root is None:
            windows_root = "C:\\" + os.path.relpath(root, os.path.join(prefix, "drive_c")).replace(os.sep, "\\")
        for folder, folders, files in os.walk(root):
            relative = os.path.relpath(folder, root)
            base = windows_root if relative == "." else windows_root + "\\" + relative.replace(os.sep, "\\")
            for name in folders:
                found[base + "\\" + name + "\\"] = None
            for name in files:
                found[base + "\\" + name] = os.path.getsize(os.path.join(folder, name))
    return found


def pending_records(items):
    """The records for the next restart: PendingFileRenameOperations' pairs (both registry views) and
    wininit.ini's [rename] lines, as readable texts."""
    records = []
    for view in views(inst.SESSION_MANAGER_KEY):
        value = items.get(("value", normal_key(view), inst.PENDING_RENAMES.lower()))
        strings = value.strings() if value is not None and value.kind == REG_MULTI_SZ else []
        for index in range(0, len(strings) - 1, 2):
            target = strings[index + 1] or "(delete)"
            records.append("%s: %s -> %s" % (inst.PENDING_RENAMES, strings[index], target))
    for text in items.get(("ini", "wininit.ini", "rename"), ()):
        records.append("wininit.ini [rename] " + text)
    return records


def driver_registration(items, lane):
    """Where the driver is listed as a MIDI driver, as readable lines."""
    found = []
    if lane.nt:
        for number in range(names.DRIVER_LIST_NAMES):
            name = driver_list_name(number)
            value = value_of(items, inst.DRIVERS32_KEY, name)
            if value is not None and value.kind == REG_SZ and value.text().lower() == inst.DRIVER_NAME:
                found.append("Drivers32 %s=%s" % (name, value.text()))
        if value_of(items, inst.DRIVERS_DESC_KEY, inst.DRIVER_NAME) is not None:
            found.append("drivers.desc %s" % inst.DRIVER_NAME)
    else:
        ours = names.SYSTEM_INI_DRIVER_KEY.lower() + "="
        for text in items.get(("ini", names.SYSTEM_INI_FILE, names.SYSTEM_INI_DRIVERS), ()):
            if text.lower().startswith(ours):
                found.append("%s [%s] %s" % (names.SYSTEM_INI_FILE, names.SYSTEM_INI_DRIVERS, text))
    return found


def own_keys(lane):
    """Our keys, as a 32-bit program names them: the application path, the user's settings with the
    maker key, the entry in the list of installed programs, the machine's product and maker keys."""
    return ([inst.APP_PATH_KEY]
            + [inst.USER_PRODUCT_KEY + "\\" + name for name in inst.USER_SETTINGS_KEYS]
            + [inst.USER_PRODUCT_KEY, inst.USER_MAKER_KEY, inst.uninstall_key(lane),
               inst.MACHINE_PRODUCT_KEY, inst.MACHINE_MAKER_KEY])


class Findings:
    """The measures of one demo run; demo.report words them."""

    def __init__(self, lane, installation, options, before_install, installed, after_run, temp_before,
                 temp_after, final=None):
        """final: the system after the restart, where one was carried out; what the installer made is
        judged there."""
        self.lane = lane
        self.installation = installation
        self.options = options            # .no_log, .shared
        install_dir = installation.install_dir.lower()
        self.install_dir = install_dir
        self.driver_file = ("file", installation.driver_disk_file.lower())
        self.pending_after = pending_records(after_run)
        pending_before = pending_records(installed)
        # What the run added for the next restart, and what the run left in the temporary folders.
        self.pending_new = [record for record in self.pending_after if record not in pending_before]
        self.temp_left = sorted(path for path in temp_after if path not in temp_before)
        self.temp_sizes = {path: temp_after[path] for path in self.temp_left}
        # A record names the file "\\??\\C:\\..." on the NT line, "C:\\..." in wininit.ini.
        driver_path = installation.driver_disk_file.lower()[2:]
        self.driver_pending = [record for record in self.pending_after if driver_path in record.lower()]

        # The installer's work: what it made, and what it changed of what was there.
        self.made = sorted((item for item in installed if item not in before_install), key=item_order)
        self.changed = sorted((item for item in installed if item in before_install
                               and installed[item] != before_install[item]), key=item_order)
        final = final if final is not None else after_run
        self.fates = {item: self.fate(item, final) for item in self.made}
        self.restored = {item: final.get(item) == before_install[item] for item in self.changed}

        self.files_installed = self.under(installed, "file", install_dir)
        self.folders_installed = self.under(installed, "folder", install_dir)
        self.files_left = self.under(after_run, "file", install_dir)
        self.folders_left = self.under(after_run, "folder", install_dir)
        group = "<programs>\\" + inst.GROUP_NAME.lower()
        self.shortcuts_installed = self.under(installed, "file", group)
        self.shortcuts_left = self.under(after_run, "file", group)
        self.group_gone = ("folder", group) not in after_run
        self.keys = [key for key in own_keys(lane) if has_key(installed, key)]
        self.keys_left = [key for key in self.keys if has_key(after_run, key)]
        self.shared_count = value_of(installed, inst.SHARED_DLLS_KEY, inst.DRIVER_NAME)
        self.shared_count_left = value_of(after_run, inst.SHARED_DLLS_KEY, inst.DRIVER_NAME)
        self.registered = driver_registration(installed, lane)
        self.registered_left = driver_registration(after_run, lane)
        self.driver_file_left = self.driver_file in after_run
        self.nothing_changed = installed == after_run
        self.neighbours_kept = self.neighbours(after_run)

    @staticmethod
    def under(items, kind, tree):
        return sorted(item[1] for item in items if item[0] == kind and inst.in_tree(item[1], tree))

    def fate(self, item, after):
        """"gone", or the reason the item stays."""
        if item not in after:
            return "gone"
        kind, path = item[0], item[1]
        if kind in ("file", "folder") and inst.in_tree(path, self.install_dir):
            if self.options.no_log:
                return REASON_NO_LOG
            if path == self.install_dir + "\\" + names.UNINSTALLER_FILE_NAME:
                return REASON_RUNNING
            if path == self.install_dir + "\\" + names.LOG_FILE_NAME.lower():
                return REASON_LOG
            if kind == "folder" and any(other[0] == "file" and inst.in_tree(other[1], path) for other in after):
                return REASON_HOLDS
        if item == self.driver_file:
            if self.options.shared:
                return REASON_SHARED_DRIVER
            return REASON_RESTART if self.driver_pending else REASON_UNKNOWN
        if kind in ("key", "value"):
            own = [normal_key(view) for key in own_keys(self.lane) for view in views(key)]
            machine = [normal_key(view) for key in (inst.MACHINE_PRODUCT_KEY, inst.MACHINE_MAKER_KEY)
                       for view in views(key)]
            names_driver = kind == "value" and (item[2] == inst.DRIVER_NAME.lower() or after[item] == sz(inst.DRIVER_NAME))
            if self.options.shared and (any(inst.in_tree(path, key) for key in machine) or names_driver):
                return REASON_SHARED_DRIVER
            if kind == "key" and not any(inst.in_tree(path, key) for key in own) \
                    and any(inst.in_tree(key, path) for key in own):
                return REASON_SHARED_PARENT
            if self.options.no_log:
                return REASON_FALLBACK
        if kind == "ini" and item[1:] == (names.SYSTEM_INI_FILE, names.SYSTEM_INI_DRIVERS):
            return REASON_SHARED_DRIVER if self.options.shared else REASON_SHARED_PARENT
        return REASON_UNKNOWN

    def left(self):
        """[(item, reason)] of what the installer made that is still there."""
        return [(item, fate) for item, fate in self.fates.items() if fate != "gone"]

    def neighbours(self, after):
        """The other programs' items still there, by name."""
        lane = self.lane
        if lane.nt:
            value = value_of(after, inst.DRIVERS32_KEY, driver_list_name(0))
            other_driver = value is not None and value.text().lower() == inst.OTHER_MIDI_DRIVER
        else:
            other_driver = (driver_list_name(0) + "=" + inst.OTHER_MIDI_DRIVER
                            in after.get(("ini", names.SYSTEM_INI_FILE, names.SYSTEM_INI_DRIVERS), ()))
        pending = pending_records(after)
        found = [
            ("another program's MIDI driver", other_driver),
            ("another program's shared-use count",
             value_of(after, inst.SHARED_DLLS_KEY, inst.OTHER_SHARED_FILE) is not None),
            ("another program's pending deletion",
             any(inst.OTHER_PENDING in record or inst.OTHER_WININIT_LINE in record for record in pending)),
            ("the all-users group \"%s\"" % inst.GROUP_NAME,
             ("file", ("<common programs>\\%s\\%s" % (inst.GROUP_NAME, inst.OTHER_COMMON_SHORTCUT[0])).lower())
             in after),
        ]
        return [name for name, present in found if present]
