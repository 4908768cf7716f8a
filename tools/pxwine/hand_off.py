"""The copy the uninstaller hands its leftovers to: at the end of the main road the run starts a copy of
itself in the temporary folder, which waits for the run to end, removes the uninstaller, its log and
their folder, and last names itself for deletion at the next restart. Rows that look at the
installation folder after a run wait for that copy first.

    copy_records(session)                    -> how many restart records name a copy now
    wait_for_hand_off(session, folder_unix, records_before)
                                             -> seconds from the call until the copy had removed the
                                                uninstaller and its log (and named itself for the restart);
                                                None when it had not within the time allowed
    temp_items(prefix)                       -> every file and folder below the prefix's temporary
                                                folders, as paths relative to drive_c
    without_copy_records(snapshot)           -> a pxwine.installation snapshot without the copy's
                                                restart records
"""

import glob
import os
import subprocess
import time

from pxwine.fixed_names import LOG_FILE_NAME, UNINSTALLER_FILE_NAME
from pxwine.ini_files import wininit_ini
from pxwine.product import PENDING_RENAMES

SESSION_MANAGER = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"
# The copy's name under the temporary folder: "pxu" and digits, a folder on the NT line, a file on the
# consumer line.
COPY_PREFIX = "pxu"
WAIT_SECONDS = 40  # the copy waits up to 30 s for the run, then tries each file up to 5 s


def copy_records(session):
    """How many restart records name a copy under the temporary folder: the copy's last step adds one."""
    text = ""
    try:
        with open(wininit_ini(session.prefix), "rb") as ini:
            text += ini.read().decode("latin-1")
    except OSError:
        pass
    result = subprocess.run(["wine", "reg", "query", SESSION_MANAGER, "/v", PENDING_RENAMES],
                            env=session.environment, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            timeout=60)
    text += result.stdout.decode("latin-1")
    return text.lower().count("\\" + COPY_PREFIX)


def wait_for_hand_off(session, folder_unix, records_before=None):
    """records_before: copy_records(session) before the run; None when a restart may take the copy's
    records as they come (the restart question answered Yes), and the removal alone is waited for."""
    started = time.time()
    leftovers = [os.path.join(folder_unix, name) for name in (UNINSTALLER_FILE_NAME, LOG_FILE_NAME)]
    removed = None
    while time.time() - started < WAIT_SECONDS:
        if removed is None and not any(os.path.exists(path) for path in leftovers):
            removed = time.time() - started
        if removed is not None and (records_before is None or copy_records(session) > records_before):
            return removed
        time.sleep(0.05)
    return None


def temp_items(prefix):
    drive = os.path.join(prefix, "drive_c")
    found = set()
    for folder in [os.path.join(drive, "windows", "temp")] + glob.glob(os.path.join(drive, "users", "*", "Temp")):
        for root, folders, files in os.walk(folder):
            for name in folders + files:
                found.add(os.path.relpath(os.path.join(root, name), drive))
    return found


def names_copy(text):
    """Whether a restart record's path is the copy's: under a temporary folder, named pxu..."""
    return ("\\temp\\" + COPY_PREFIX) in text.lower()


def without_copy_records(snapshot):
    """A snapshot of pxwine.installation with the copy's restart records taken out of the pending renames
    and of wininit.ini's [rename] (or wininit.bak's): what the rest of a row's expectations do not speak
    of."""
    from pxwine.registry import REG_MULTI_SZ, multi_sz, normal_key
    result = dict(snapshot)
    for item, state in snapshot.items():
        if item[0] == "value" and item[1] == normal_key(SESSION_MANAGER) and item[2] == PENDING_RENAMES.lower() \
                and getattr(state, "kind", None) == REG_MULTI_SZ:
            strings = state.strings()
            kept = []
            for source, target in zip(strings[0::2], strings[1::2]):
                if not (names_copy(source) and target == ""):
                    kept += [source, target]
            result[item] = multi_sz(kept)
            if not kept:
                del result[item]
        # A restart that ran before or while the copy ended may have worked its record through already:
        # wininit.ini is then "wininit.bak", with the copy's line in it.
        elif item[0] == "ini" and item[1] in ("wininit.ini", "wininit.bak") and item[2] == "rename" \
                and isinstance(state, tuple):
            result[item] = tuple(line for line in state if not names_copy(line))
            if not result[item]:
                del result[item]
    return result
