#!/usr/bin/env python3
"""Install and uninstall round trips: the reference installer (installer/plexitone.nsi, built with the
kit installer/pxunins.nsh) installs silently, pxlog check reads the log it wrote, the real pxunins.exe
removes the installation, and the system is compared with the one before the install.

    roundtrip_scenarios.py list
    roundtrip_scenarios.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --pxlog PXLOG.EXE
                                    --setup PLEXITONE-SETUP.EXE

--exe is the pxunins.exe the installer must carry (a stale installer fails the row). After the uninstall,
once the run's copy in the temporary folder has taken pxunins.exe, its log and the folders the install
made, everything is as before except the pipe driver's file, which waits for the restart (the restart
question is answered No), and the copy, which waits for it too.

On the 64-bit lane both programs run under WoW64, and another program keeps a 64-bit file of our driver's
name in the real system32. There the restart is carried out too (wineboot -r, a 64-bit process): after it
our driver in syswow64 is gone, the other program's file is still there, and the system is the one before
the install.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

import pxwine.installation as inst  # noqa: E402
from pxwine import fixed_names as names  # noqa: E402
from pxwine import scenario  # noqa: E402
from pxwine.driver import DriverRun  # noqa: E402
from pxwine.lanes import CONSUMER, NT32, NT64  # noqa: E402
from pxwine.paths import windows_path  # noqa: E402
from pxwine.product import driver_list_name, uninstall_key  # noqa: E402
from pxwine.registry import REG_BINARY, RegFile, Value, dword, export_registry, normal_key, sz  # noqa: E402
from pxwine.session import run_logged  # noqa: E402
from pxwine.shell_link import link_target  # noqa: E402
from pxwine.texts import COMPLETE, CONFIRM, RESTART  # noqa: E402
from pxwine.hand_off import copy_records, wait_for_hand_off, without_copy_records  # noqa: E402
from pxwine.uninstall_log import LOG_NAME, read_entries  # noqa: E402
import version_info  # noqa: E402

USER_FILE = "My notes.txt"
# "ソフト表": 表 is 95 5C in Shift-JIS, its trail byte a backslash.
SJIS_FOLDER = "C:\\\u30bd\u30d5\u30c8\u8868"
SETUP_TIMEOUT_SECONDS = 120
USER_PROGRAMS_LIST = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
# The uninstaller and its log, which stay in the installation folder (paths in a snapshot end so).
OWN_FILES = ("\\" + names.UNINSTALLER_FILE_NAME, "\\" + LOG_NAME)


FIELDS = {
    "install_dir": None,
    "top": None,            # the outermost folder the install makes or finds; what the snapshot looks at
    "code_page": None,
    "before": None,         # changes to the prefix before the install, given (prefix, environment, work, row)
    "installs": 1,
    # "installed", "stopped" (exit code 2, what was made is logged), "refused" (exit code 2, nothing made),
    # "shared" (installed; another program uses the driver too when the uninstall runs, so it stays) or
    # "staged" (installed, and the system compared with the one pxwine's staging makes; no uninstall)
    "expect": "installed",
    # between(prefix, environment, work) after every install but the last; before_uninstall likewise once
    # all are done; after(prefix) when the row ends, whatever became of it.
    "between": None,
    "before_uninstall": None,
    "after": None,
    # The log ends in the bytes of an entry whose write failed, after the last counted one.
    "broken_tail": False,
    # The rights PxLogOpen gives the folders it makes: "made" (the topmost level made gets those of Program
    # Files) or "none" (no call); None leaves them unlooked at. Wine keeps no DACL a program sets, so the
    # row reads the installer's calls in a relay trace of them.
    "protection": None,
    # The reference installer the row installs with: None for the ANSI build (--setup), "unicode" for the
    # Unicode build of the same payload, "ja" for the Unicode build with the Japanese files.
    "build": None,
}


def Row(name, lane, install_dir, **fields):
    row = scenario.Row("roundtrip_" + name, lane, FIELDS, install_dir=install_dir, **fields)
    row.top = row.top or install_dir
    return row


def row_setup(harness, row):
    """The installer of the row's build, beside the ANSI one the preset builds with it."""
    if row.build is None:
        return harness.setup
    return harness.setup[:-len(".exe")] + "-" + row.build + ".exe"


def put_user_file(prefix, _environment, _work, row):
    path = os.path.join(inst.unix_path(prefix, row.install_dir), USER_FILE)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as stream:
        stream.write(b"mine\r\n")


def block_driver_file(prefix, _environment, _work, row):
    """A folder where the pipe driver's file goes: its File fails after the whole payload is in."""
    os.makedirs(inst.unix_path(prefix, row.lane.disk_file(inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME)),
                exist_ok=True)


def take_first_driver_names(_prefix, environment, work, _row):
    """Another program's values of other types in the first two names of the MIDI driver list."""
    changes = RegFile()
    changes.set_values(inst.DRIVERS32_KEY, {driver_list_name(0): dword(7),
                                            driver_list_name(1): Value(REG_BINARY, b"\x01\x02")})
    changes.apply(environment, work)


def release_driver_count(_prefix, environment, work):
    """An uninstall that stopped after releasing the driver's use count: the count's value is gone, the
    driver, its registration and the product key are still there."""
    changes = RegFile()
    changes.set_values(inst.SHARED_DLLS_KEY, {inst.DRIVER_NAME: None})
    changes.apply(environment, work)


def other_program_counts_driver(prefix, environment, work):
    """Another program installs the same driver and counts its own use, as every installer does."""
    values = export_registry(environment, work).get(normal_key(inst.SHARED_DLLS_KEY), {})
    count = values.get(inst.DRIVER_NAME.lower())
    changes = RegFile()
    changes.set_values(inst.SHARED_DLLS_KEY, {inst.DRIVER_NAME: dword(count.number() + 1 if count else 1)})
    changes.apply(environment, work)


# What Program Files gives: Administrators and SYSTEM full control, Users read and execute, inherited below,
# protected from the parent's entries; PxLogOpen must ask for exactly this.
PROGRAM_FILES_RIGHTS = "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
PROTECTION_CALLS = ("advapi32.ConvertStringSecurityDescriptorToSecurityDescriptorA", "advapi32.SetNamedSecurityInfoA")
RELAY_KEY = "HKCU\\Software\\Wine\\Debug"


def trace_protection_calls(environment, work, row, on):
    """Wine's relay trace of the two calls alone, into the installer's output (which the installs append
    to: an earlier run's is removed), or no trace."""
    setup_output = os.path.join(work, row.name + ".setup.txt")
    if on and os.path.exists(setup_output):
        os.remove(setup_output)
    changes = RegFile()
    changes.set_values(RELAY_KEY, {"RelayInclude": sz(";".join(PROTECTION_CALLS)) if on else None})
    changes.apply(environment, work)
    debug = environment.get("WINEDEBUG", "").replace(",+relay", "")
    environment["WINEDEBUG"] = debug + ",+relay" if on else debug


def check_protection(row, work):
    """The installer's trace: for "made", the descriptor converted from PROGRAM_FILES_RIGHTS and set, with
    the protection from the parent, on the topmost folder made, and the call's success; for "none", no call."""
    with open(os.path.join(work, row.name + ".setup.txt"), "rb") as stream:
        trace = stream.read().decode("latin-1")
    converted = re.findall(r'Call advapi32\.ConvertStringSecurityDescriptorToSecurityDescriptorA\([0-9a-f]+ "([^"]*)",'
                           r'00000001,', trace)
    set_on = re.findall(r'Call advapi32\.SetNamedSecurityInfoA\([0-9a-f]+ "([^"]*)",00000001,80000004,'
                        r'00000000,00000000,[0-9a-f]{8},00000000\)', trace)
    results = re.findall(r"Ret  advapi32\.SetNamedSecurityInfoA\(\) retval=([0-9a-f]+)", trace)
    if row.protection == "none":
        return ["the installer set rights on %r, which was there before" % set_on] if set_on or converted else []
    top = row.top.replace("\\", "\\\\")
    if converted != [PROGRAM_FILES_RIGHTS] or set_on != [top] or results != ["00000000"]:
        return ["the rights of %s: converted %r, set on %r (with the DACL, protected), results %r"
                % (row.top, converted, set_on, results)]
    return []


def full_disk_dir(prefix):
    return os.path.join(os.path.dirname(prefix), "full-disk")


def log_on_small_disk(prefix, _environment, _work, row):
    """The log on a file system of two pages, which fills while the payload is logged: a write of an
    entry then fails part-way, as on a full disk."""
    mount = full_disk_dir(prefix)
    os.makedirs(mount, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=8k", "tmpfs", mount], check=True)
    folder = inst.unix_path(prefix, row.install_dir)
    os.makedirs(folder, exist_ok=True)
    open(os.path.join(mount, LOG_NAME), "wb").close()
    os.symlink(os.path.join(mount, LOG_NAME), os.path.join(folder, LOG_NAME))


def unmount_small_disk(prefix):
    mount = full_disk_dir(prefix)
    if os.path.ismount(mount):
        subprocess.run(["umount", mount], check=True)


def staged_neighbours(prefix, environment, work, row):
    """The other programs' items of pxwine.product, as the staging puts them beside an installation."""
    inst.stage_neighbours(prefix, RegFile(), row.lane).apply(environment, work)


# The deepest path is the folder and "\Samples\Library\sound000.wav" (29 bytes): 259 bytes fit exactly,
# 260 are one too many.
DEEPEST_FITS = "C:\\" + "D" * 227
TOO_DEEP = "C:\\" + "D" * 228

# The 64-bit rows are the ones whose outcome WoW64 can change: where the driver lies and is scheduled,
# which registry view holds the machine's keys.
ROWS = [
    Row("nt_folder_with_spaces", NT32, "C:\\Round Trip\\Plexitone Music", top="C:\\Round Trip"),
    Row("consumer_folder_with_spaces", CONSUMER, "C:\\Round Trip\\Plexitone Music",
        top="C:\\Round Trip", protection="none"),
    Row("nt64_folder_with_spaces", NT64, "C:\\Round Trip\\Plexitone Music", top="C:\\Round Trip"),
    Row("nt_folder_with_user_file", NT32, "C:\\Program Files\\Plexitone", before=put_user_file,
        protection="none"),
    # A folder outside Program Files, which would inherit what the drive's root gives every user.
    Row("nt_made_folder_protected", NT32, "C:\\Plexitone Apps\\Plexitone", top="C:\\Plexitone Apps",
        protection="made"),
    # Where the installer puts a 32-bit program on 64-bit Windows.
    Row("nt64_folder_with_user_file", NT64, "C:\\Program Files (x86)\\Plexitone", before=put_user_file),
    Row("nt_shift_jis_folder", NT32, SJIS_FOLDER + "\\Plexitone", top=SJIS_FOLDER, code_page=932),
    Row("nt_reinstall", NT32, "C:\\Program Files\\Plexitone", installs=2),
    Row("consumer_reinstall", CONSUMER, "C:\\Program Files\\Plexitone", installs=2),
    Row("nt64_reinstall", NT64, "C:\\Program Files (x86)\\Plexitone", installs=2),
    Row("nt_stopped_half_way", NT32, "C:\\Program Files\\Plexitone", before=block_driver_file,
        expect="stopped"),
    Row("nt64_stopped_half_way", NT64, "C:\\Program Files (x86)\\Plexitone", before=block_driver_file,
        expect="stopped"),
    Row("nt_log_write_fails_half_way", NT32, "C:\\Program Files\\Plexitone", before=log_on_small_disk,
        after=unmount_small_disk, expect="stopped", broken_tail=True),
    # The kit's count must hold, or the other program's use is released with ours and the driver goes.
    Row("nt_reinstall_after_released_count", NT32, "C:\\Program Files\\Plexitone", installs=2,
        between=release_driver_count, before_uninstall=other_program_counts_driver, expect="shared"),
    Row("consumer_reinstall_after_released_count", CONSUMER, "C:\\Program Files\\Plexitone", installs=2,
        between=release_driver_count, before_uninstall=other_program_counts_driver, expect="shared"),
    Row("nt_driver_names_of_other_types", NT32, "C:\\Program Files\\Plexitone",
        before=take_first_driver_names),
    Row("nt_deepest_path_259_bytes", NT32, DEEPEST_FITS),
    Row("nt_deepest_path_260_bytes", NT32, TOO_DEEP, expect="refused"),
    # The Unicode build on the NT line: the log in bytes of the code page, the length in those bytes.
    # Under 1252 "Ä" is one byte, C4.
    Row("nt_unicode_folder_with_umlaut", NT32, "C:\\Program Files\\Plexitone \u00c4", build="unicode"),
    # Under 932 the payload's Japanese names, 表 (95 5C) among them, and the folder of the ANSI row.
    Row("nt_unicode_japanese_payload", NT32, SJIS_FOLDER + "\\Plexitone", top=SJIS_FOLDER, code_page=932,
        build="ja"),
    # What 1252 cannot hold, refused before anything is made: "♫" would be logged as "?", naming nothing;
    # "Ā" as its best-fit look-alike "A", naming another folder.
    Row("nt_unicode_folder_not_in_code_page", NT32, "C:\\Program Files\\Plexitone \u266b", build="unicode",
        expect="refused"),
    Row("nt_unicode_best_fit_folder", NT32, "C:\\Program Files\\Plexitone \u0100", build="unicode",
        expect="refused"),
] + [
    # The staging that the clean-up rows, the demo and the host tests stand on is the installation the
    # installer really makes, item for item, on every lane.
    Row("%s_install_matches_staging" % prefix, lane, inst.DEFAULT_INSTALL_DIR, before=staged_neighbours,
        expect="staged")
    for prefix, lane in (("nt", NT32), ("consumer", CONSUMER), ("nt64", NT64))
]


def uninstaller_of(row):
    return row.install_dir + "\\" + names.UNINSTALLER_FILE_NAME


def row_environment(session, row):
    """Wine takes the ANSI code page from the Unix locale; ja_JP.UTF-8 gives 932 and still passes the
    command line as UTF-8. The locale is compiled into the state folder, as few machines have it."""
    environment = dict(session.environment)
    if row.code_page == 932:
        locales = os.path.join(session.state_dir, "locale")
        if not os.path.isdir(os.path.join(locales, "ja_JP.UTF-8")):
            os.makedirs(locales, exist_ok=True)
            subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(locales, "ja_JP.UTF-8")],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        environment["LOCPATH"] = locales
        environment.pop("LC_ALL", None)
        environment["LC_CTYPE"] = "ja_JP.UTF-8"
        # English texts, so the prompts read as on the other rows.
        environment["LC_MESSAGES"] = "C.UTF-8"
    return environment


def forget(prefix, environment, work, row):
    """Leaves the prefix without the row's installation, its folders and its blocking folder."""
    for folder in (row.top, inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME,
                   inst.WOW64_SYSTEM_DIR + "\\" + inst.DRIVER_NAME):
        path = inst.unix_path(prefix, folder)
        if os.path.isdir(path):
            shutil.rmtree(path)
    inst.reset_system(prefix, environment, work)


def expected_after(before, after, row):
    """The snapshot before, plus what must stay: the user's list of installed programs and system.ini's
    [drivers], which Wine's prefix lacks until an installer writes the first entry into them; the
    uninstaller removes the entry, not the list."""
    expected = dict(before)
    programs_list = normal_key(USER_PROGRAMS_LIST)
    if ("key", programs_list) in after and not any(
            item[0] in ("key", "value") and item[1].startswith(programs_list + "\\") for item in after):
        expected[("key", programs_list)] = None
    # Wine's system.ini has no [drivers] section until the consumer line's install writes the first line.
    drivers = ("ini", names.SYSTEM_INI_FILE, names.SYSTEM_INI_DRIVERS)
    if after.get(drivers) == () and drivers not in before:
        expected[drivers] = ()
    # The run's copy takes the uninstaller and its log, even a log that was there before the install.
    for name in (names.UNINSTALLER_FILE_NAME, LOG_NAME):
        expected.pop(("file", (row.install_dir + "\\" + name).lower()), None)
    return expected


def check_log(prefix, environment, pxlog, row, work, failures):
    log = row.install_dir + "\\" + LOG_NAME
    report = os.path.join(work, row.name + ".pxlog.txt")
    if os.path.exists(report):
        os.remove(report)
    code = run_logged(["wine", pxlog, "check", log, "--install-dir", row.top], environment, report, 60)
    with open(report, "rb") as stream:
        findings = stream.read().decode("utf-8", "replace")
    if row.broken_tail:
        # pxlog names the bytes the uninstaller never reads; the log itself must be accepted.
        if "after the last counted entry" not in findings or "accepted" not in findings:
            failures.append("pxlog check does not find the log accepted with a broken tail:\n" + findings)
    elif code != 0:
        failures.append("pxlog check: exit code %d, see %s.pxlog.txt" % (code, row.name))
    # pxlog check has said whether the uninstaller accepts the log.
    with open(inst.unix_path(prefix, log), "rb") as stream:
        return read_entries(stream.read(), "cp932" if row.code_page == 932 else "cp1252")


def system_state(prefix, environment, work, row):
    return without_copy_records(inst.snapshot(prefix, environment, work, install_dir=row.top))


def install(setup, row, environment, work):
    """Through cmd without quotes: NSIS ignores a quoted "/D=...". Returns the last exit code."""
    for number in range(row.installs):
        if number > 0 and row.between is not None:
            row.between(environment["WINEPREFIX"], environment, work)
        started = time.time()
        code = run_logged(["wine", "cmd", "/c", "%s /S /D=%s" % (windows_path(setup), row.install_dir)],
                          environment, os.path.join(work, row.name + ".setup.txt"), SETUP_TIMEOUT_SECONDS)
        print("install: exit code %d in %.1f s" % (code, time.time() - started), flush=True)
    return code


def is_driver_item(item, state):
    """What stays of the driver while another program uses it: its file, its count, its registration and
    the product key that names it."""
    if item[0] == "file":
        return item[1] == (inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME).lower()
    if item[0] == "ini":
        return item[1:] == (names.SYSTEM_INI_FILE, names.SYSTEM_INI_DRIVERS)
    if item[0] in ("key", "value") and inst.in_tree(item[1], normal_key(inst.MACHINE_MAKER_KEY)):
        return True
    if item[0] == "value" and item[1] in (normal_key(inst.SHARED_DLLS_KEY), normal_key(inst.DRIVERS_DESC_KEY)):
        return item[2] == inst.DRIVER_NAME.lower()
    return item[0] == "value" and item[1] == normal_key(inst.DRIVERS32_KEY) and state == sz(inst.DRIVER_NAME)


def check_logged_what_was_made(before, installed, row, entries, failures):
    """The log names exactly the folders and files the install made in its folder; neither the
    uninstaller, nor the log, nor anything that was there before."""
    made = {item[1] for item in installed if item[0] in ("file", "folder") and item not in before
            and inst.in_tree(item[1], row.top.lower())
            and not item[1].endswith(OWN_FILES)}
    logged = {path.lower() for _kind, path in entries}
    if made != logged:
        failures.append("made but not logged: %s; logged but not made: %s"
                        % (sorted(made - logged)[:5], sorted(logged - made)[:5]))


def check_one_version(installed, setup, prefix, row, failures):
    """The version the list of installed programs shows is the one the placed uninstaller's and the
    installer's properties show: winget matches a package by the first and a person reads the others."""
    entry = installed.get(("value", normal_key(uninstall_key(row.lane)), "displayversion"))
    shown = {}
    # An install stopped half way has not come to the entry.
    if row.expect != "stopped":
        shown["the Uninstall entry's DisplayVersion"] = entry.text() if entry is not None else None
    for what, path in (("the placed uninstaller's", inst.unix_path(prefix, uninstaller_of(row))),
                       ("the installer's", setup)):
        with open(path, "rb") as stream:
            strings = version_info.read(stream.read())[1]
        shown[what + " ProductVersion"] = strings.get("ProductVersion")
    if set(shown.values()) != {names.VERSION_TEXT}:
        failures.append("more than one version, or not %s: %s" % (names.VERSION_TEXT, shown))


def uninstall(session, driver, row, failures):
    # Under code page 932 Wine labels the buttons in Japanese, "はい(&Y)": the keys answer on every row.
    answers = ["{ALT+y}", "{ALT+n}"] if row.expect == "installed" else ["{ALT+y}", "{ENTER}"]
    started = time.time()
    run = DriverRun(session, driver, row.name, uninstaller_of(row), answers,
                    row.lane, shots=False)
    print("uninstall: driver exit code %d in %.1f s" % (run.result, time.time() - started), flush=True)
    failures.extend(run.troubles())
    # No restart question after a stopped install, which never registered the driver, nor while another
    # program uses the driver, which then stays.
    last = RESTART if row.expect == "installed" else COMPLETE
    prompts = [prompt[1:3] for prompt in run.prompts()]
    if run.exit_code() != 0 or prompts != [CONFIRM[1:3], last[1:3]]:
        failures.append("the uninstall: exit code %s, prompts %r" % (run.exit_code(), prompts))


def pending_texts(state):
    """The lines of a pending record: the strings of PendingFileRenameOperations, the lines of wininit.ini."""
    return list(state.strings()) if hasattr(state, "strings") else list(state)


def check_as_before(before, installed, after, row, failures, restarted=False):
    """restarted: after the restart nothing of the driver may wait any more."""
    expected = expected_after(before, after, row)
    for item in after:
        if item[0] == "file" and after[item] != before.get(item) and item[1].endswith(OWN_FILES):
            expected[item] = after[item]
    if row.expect == "shared":
        count = installed.get(("value", normal_key(inst.SHARED_DLLS_KEY), inst.DRIVER_NAME.lower()))
        if count != dword(1):
            failures.append("the driver's use count after the reinstall: %r, not REG_DWORD(1)" % (count,))
        for item, state in installed.items():
            if is_driver_item(item, state):
                expected[item] = state
        # Ours and the other program's; the uninstaller never writes the stored count.
        expected[("value", normal_key(inst.SHARED_DLLS_KEY), inst.DRIVER_NAME.lower())] = dword(2)
    if row.expect == "installed" and not restarted:
        # The driver's file waits for the restart: in the pending renames on the NT line, in wininit.ini
        # on the consumer line, under the name of the folder it really lies in.
        driver_disk_file = row.lane.disk_file(inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME).lower()
        driver_file = ("file", driver_disk_file)
        if driver_file in after:
            expected[driver_file] = after[driver_file]
        pending = [item for item in after if after[item] != before.get(item)
                   and (item[0] == "ini" and item[1].startswith("wininit")
                        or item[0] == "value" and item[2] == inst.PENDING_RENAMES.lower())]
        if not any(text.lower().endswith(driver_disk_file) for item in pending
                   for text in pending_texts(after[item])):
            failures.append("the driver's file %s is not awaiting the restart: %r" % (driver_disk_file, pending))
        for item in pending:
            expected[item] = after[item]
    differences = inst.compare(expected, after)
    if differences:
        failures.append("%s the system differs from the one before:\n    "
                        % ("after the restart" if restarted else "after the uninstall")
                        + "\n    ".join(differences))


def put_other_64_bit_driver(prefix, row):
    """Another program's 64-bit file of our driver's name in the real system32, which our 32-bit programs
    cannot see there."""
    if row.lane.wow64:
        inst.write_file(inst.unix_path(prefix, inst.SYSTEM_DIR + "\\" + inst.DRIVER_NAME),
                        inst.OTHER_DRIVER_64_CONTENT)


def logged_in_order(entries):
    """Whether each logged folder comes before everything logged in it, as the removal pass needs."""
    logged = {path.lower() for _kind, path in entries}
    seen = set()
    for _kind, path in entries:
        parent = path.rsplit("\\", 1)[0].lower()
        if parent in logged and parent not in seen:
            return False
        seen.add(path.lower())
    return True


def by_meaning(items, prefix, row):
    """The snapshot with the start-menu shortcuts read for their targets and the log for its entries: Wine's
    shell writes its own Shell Link layout, and the installer logs its payload in pxlog nsis's order (by
    name) where the staging keeps the order of pxwine.product; either lists each folder before its files."""
    meant = dict(items)
    group = os.path.join(inst.programs_folder(prefix), inst.GROUP_NAME)
    for name in os.listdir(group) if os.path.isdir(group) else []:
        with open(os.path.join(group, name), "rb") as stream:
            meant[("file", ("<programs>\\%s\\%s" % (inst.GROUP_NAME, name)).lower())] = \
                "a shortcut to " + str(link_target(stream.read()))
    log = row.install_dir + "\\" + LOG_NAME
    with open(inst.unix_path(prefix, log), "rb") as stream:
        entries = read_entries(stream.read())
    meant[("file", log.lower())] = "a log of %d entries, %s, %s" % (
        len(entries), hashlib.sha1(repr(sorted(entries)).encode()).hexdigest()[:16],
        "each folder before its files" if logged_in_order(entries) else "A FOLDER AFTER ITS FILES")
    return meant


def check_staging(installed, harness, row, environment, work, failures):
    """The system the installer made against the one pxwine's staging makes of the same installation, the
    shortcuts and the log by what they say (see by_meaning)."""
    prefix = environment["WINEPREFIX"]
    installed = by_meaning(installed, prefix, row)
    forget(prefix, environment, work, row)
    inst.stage_installation(prefix, environment, row.lane, install_dir=row.install_dir, uninstaller=harness.exe,
                            scratch_dir=work, sample_library_too=True)
    staged = by_meaning(system_state(prefix, environment, work, row), prefix, row)
    differences = inst.compare(installed, staged)
    if differences:
        failures.append("the staging differs from what the installer made (\"should be\": the installer's):\n    "
                        + "\n    ".join(differences))
    print("compared %d items installed with %d staged" % (len(installed), len(staged)), flush=True)


def run_row(row, harness):
    setup = row_setup(harness, row)
    if not os.path.exists(setup):
        return ["no %s: cmake --preset installer && cmake --build --preset installer" % setup]
    session = harness.session
    prefix = session.prefix
    environment = row_environment(session, row)
    session.environment = environment
    work = os.path.join(session.state_dir, "roundtrip")
    os.makedirs(work, exist_ok=True)
    failures = []
    forget(prefix, environment, work, row)
    try:
        versions = RegFile()
        versions.set_values("HKCU\\Software\\Wine\\AppDefaults\\" + os.path.basename(setup),
                            {"Version": sz(row.lane.version)})
        versions.apply(environment, work)
        put_other_64_bit_driver(prefix, row)
        if row.before is not None:
            row.before(prefix, environment, work, row)
        if row.protection:
            trace_protection_calls(environment, work, row, True)
        before = system_state(prefix, environment, work, row)
        code = install(setup, row, environment, work)
        if row.protection:
            trace_protection_calls(environment, work, row, False)
            failures.extend(check_protection(row, work))
        if code != (2 if row.expect in ("stopped", "refused") else 0):
            failures.append("the installer ended with %d" % code)
        installed = system_state(prefix, environment, work, row)
        if row.expect == "refused":
            differences = inst.compare(before, installed)
            if differences:
                failures.append("the refused install made something:\n    " + "\n    ".join(differences))
        else:
            entries = check_log(prefix, environment, harness.pxlog, row, work, failures)
            print("log: %d entries, the first %s" % (len(entries), entries[:1]), flush=True)
            check_logged_what_was_made(before, installed, row, entries, failures)
            check_one_version(installed, setup, prefix, row, failures)
            if row.expect == "staged":
                check_staging(installed, harness, row, environment, work, failures)
                return failures
            with open(harness.exe, "rb") as built, \
                    open(inst.unix_path(prefix, uninstaller_of(row)), "rb") as placed:
                if built.read() != placed.read():
                    failures.append("the installer placed another pxunins.exe than %s: build the installer "
                                    "preset again" % harness.exe)
            if row.before_uninstall is not None:
                row.before_uninstall(prefix, environment, work)
            records_before = copy_records(session)
            uninstall(session, harness.driver, row, failures)
            seconds = wait_for_hand_off(session, inst.unix_path(prefix, row.install_dir), records_before)
            if seconds is None:
                failures.append("the run's copy did not take the uninstaller and its log in the time allowed")
            else:
                print("hand-off: the uninstaller and its log gone %.2f s after the run ended" % seconds, flush=True)
            # Wine deletes the file a symbolic link names, not the link: the small disk's log leaves the
            # fixture's link behind, naming nothing.
            log_link = os.path.join(inst.unix_path(prefix, row.install_dir), LOG_NAME)
            if os.path.islink(log_link) and not os.path.exists(log_link):
                os.remove(log_link)
            check_as_before(before, installed, system_state(prefix, environment, work, row), row, failures)
            if row.lane.wow64:
                print("restart: wineboot -r in %.1f s" % session.restart(), flush=True)
                print(session.keep_desktop_held(harness.driver), flush=True)
                check_as_before(before, installed, system_state(prefix, environment, work, row), row, failures,
                                restarted=True)
    finally:
        forget(prefix, environment, work, row)
        if row.after is not None:
            row.after(prefix)
    return failures


if __name__ == "__main__":
    sys.exit(scenario.main(ROWS, run_row, options=("pxlog", "setup")))
