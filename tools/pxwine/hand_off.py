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
"""

import glob
import os
import subprocess
import time

from pxwine.installation import PENDING_RENAMES, wininit_ini

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


def wait_for_hand_off(session, folder_unix, records_before):
    """records_before: copy_records(session) before the run."""
    started = time.time()
    leftovers = [os.path.join(folder_unix, name) for name in ("pxunins.exe", "_pxunins.dat")]
    removed = None
    while time.time() - started < WAIT_SECONDS:
        if removed is None and not any(os.path.exists(path) for path in leftovers):
            removed = time.time() - started
        if removed is not None and copy_records(session) > records_before:
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
