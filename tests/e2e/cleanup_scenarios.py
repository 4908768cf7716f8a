#!/usr/bin/env python3
"""End-to-end scenarios of the system clean-up and the restart: a complete installation in the prefix, the
real pxunins.exe run by pxdriver, and the whole system compared before and after.

    cleanup_scenarios.py list
    cleanup_scenarios.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE --cc COMPILER

Each scenario stages the installation (pxwine.installation) for its line of Windows, takes a snapshot of the
registry, the INI files, the start menus, the installation folder and the system folder, runs the
uninstaller with scripted answers, and checks the journal (every prompt with its exact texts, buttons and
default button) and that the snapshot after the run is the one before minus exactly what the run may
remove, plus the delete-at-restart record. Every scenario leaves the prefix without any installation, so
the scenarios of scenarios.py and these run in any order.
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

import pxwine.installation as inst  # noqa: E402
from pxwine import fixed_names as names  # noqa: E402
from pxwine.driver import DriverRun, prompts_differ  # noqa: E402
from pxwine.hand_off import copy_records, wait_for_hand_off, without_copy_records  # noqa: E402
from pxwine.installation import (DRIVERS32_KEY, DRIVERS_DESC_KEY, MACHINE_MAKER_KEY,  # noqa: E402
                                 PENDING_RENAMES, SESSION_MANAGER_KEY, SHARED_DLLS_KEY, USER_MAKER_KEY,
                                 USER_PRODUCT_KEY, USER_SETTINGS_KEYS)
from pxwine.lanes import CONSUMER, NT32, NT64  # noqa: E402
from pxwine.product import compared_keys  # noqa: E402
from pxwine.registry import RegFile, dword, expand_sz, multi_sz, normal_key, sz  # noqa: E402
from pxwine.scenario import Row, main  # noqa: E402
from pxwine.texts import (COMPLETE, CONFIRM, FALLBACK, NO_ADMIN, REBOOT_FAILED, RESTART,  # noqa: E402
                          answered)
from pxwine.uninstall_log import LOG_NAME, sound_log  # noqa: E402
from scenarios import DRIVER_TIMEOUT_SECONDS, check_run  # noqa: E402



def scheduled_path(lane):
    """Both lines schedule the same short path: the system folder's short form (equal to its long form
    here) and the driver's file name as stored under "PlexitonePipe". Under WoW64 the folder is the one
    the file really lies in, syswow64: the restart runs as a 64-bit process, for which system32 is
    another folder."""
    return lane.system_dirs[0] + "\\" + inst.DRIVER_NAME

# Wine's restart (wineboot) runs in its own process after ExitWindowsEx returns; the end state is read
# once it is gone.
RESTART_WAIT_SECONDS = 60


# ---------------------------------------------------------------------------------------------------------
# What a run may change, as a function of the staged installation and the snapshot before it.


class Outcome:
    """Which steps of the clean-up took effect; expected() applies them to the snapshot before the run."""

    def __init__(self, removal_pass=True, shortcuts=True, group_folder=True, app_path=True,
                 user_keys="all", uninstall_entry=True, driver="removed", restart_done=False):
        self.removal_pass = removal_pass
        self.shortcuts = shortcuts
        self.group_folder = group_folder
        self.app_path = app_path
        self.user_keys = user_keys            # "all", "settings" (the product key refused) or "none"
        self.uninstall_entry = uninstall_entry
        self.driver = driver                  # "removed", "kept" (shared) or "kept, the list refused"
        self.restart_done = restart_done      # Wine's restart has worked through the pending deletions

    def expected(self, installation, before):
        lane = installation.lane
        key_trees, values, paths = [], [], []
        if self.removal_pass:
            # The run's copy in the temporary folder takes the uninstaller, its log and their folder.
            paths += installation.removed_by_pass() + [installation.win(names.UNINSTALLER_FILE_NAME), installation.win(LOG_NAME),
                                                       installation.install_dir]
        if self.shortcuts:
            paths += ["<programs>\\" + name for name in installation.group_files()]
        if self.group_folder:
            paths.append("<programs>\\" + inst.GROUP_NAME)
        if self.app_path:
            key_trees.append(inst.APP_PATH_KEY)
        if self.user_keys == "all":
            key_trees.append(USER_MAKER_KEY)
        elif self.user_keys == "settings":
            key_trees += [USER_PRODUCT_KEY + "\\" + name for name in USER_SETTINGS_KEYS]
        if self.uninstall_entry:
            key_trees.append(inst.uninstall_key(lane))
        after = dict(before)
        if self.driver == "removed":
            # The count 0 or 1 goes, once the driver list has been read whole.
            values.append((SHARED_DLLS_KEY, inst.DRIVER_NAME))
            key_trees.append(MACHINE_MAKER_KEY)
            if lane.nt:
                values += [(DRIVERS32_KEY, inst.OUR_DRIVER_LIST_NAME), (DRIVERS_DESC_KEY, inst.DRIVER_NAME)]
            else:
                drivers = ("ini", names.SYSTEM_INI_FILE, names.SYSTEM_INI_DRIVERS)
                after[drivers] = tuple(entry for entry in before[drivers]
                                       if entry != names.SYSTEM_INI_DRIVER_KEY + "=" + inst.DRIVER_NAME)
            scheduled_nt = ("value", normal_key(SESSION_MANAGER_KEY), PENDING_RENAMES.lower())
            scheduled_consumer = ("ini", "wininit.ini", "rename")
            if lane.nt:
                after[scheduled_nt] = multi_sz(before[scheduled_nt].strings()
                                               + ["\\??\\" + scheduled_path(lane), ""])
            else:
                after[scheduled_consumer] = before[scheduled_consumer] + ("nul=" + scheduled_path(lane),)
            if self.restart_done:
                # Wine's restart works through both records whatever the line (the other program's
                # entries too): it deletes the files they name, drops the value, and keeps "wininit.ini"
                # as "wininit.bak", as the consumer line's start does.
                paths.append(scheduled_path(lane))
                del after[scheduled_nt]
                after[("ini", "wininit.bak", "rename")] = after.pop(scheduled_consumer)
        # The keys as a 32-bit program names them; under WoW64 below Wow6432Node, and in both places where
        # Wine shares a key between the views (App Paths: a 64-bit export lists it twice).
        def views(key):
            return [key] + ([lane.machine_key(key)] if lane.machine_key(key) != key else [])
        return inst.without(after, key_trees=[view for key in key_trees for view in views(key)],
                            values=[(view, name) for key, name in values for view in views(key)], paths=paths)


# ---------------------------------------------------------------------------------------------------------
# The table


FIELDS = {
    "answers": (),
    "prompts": None,              # [(kind, caption, text, buttons, default, answer)]
    "outcome": None,
    "stage": {},                  # keyword arguments of stage_installation
    "after_stage": None,          # changes to the staged files, given the Installation
    "restart_answered_yes": False,
    "deny_driver_list": False,
    # A folder of its own that the uninstaller runs from, started as the shell starts it (wide): None runs
    # the one in the installation folder.
    "run_from": None,
}


def Scenario(name, lane, answers, prompts, outcome, **fields):
    return Row(name, lane, FIELDS, answers=answers, prompts=prompts, outcome=outcome, **fields)


def user_file_in_group(installation):
    with open(os.path.join(installation.group, "My Notes.txt"), "wb") as stream:
        stream.write(b"the user's own notes\r\n")


def unknown_product_subkey():
    # Below "Skins" the names get shorter in Wine's (alphabetical) order: Wine's recursive RegDeleteKeyA of
    # the consumer line stops at a name longer than the one before it, which real Windows 98 does not.
    return (RegFile()
            .set_values(USER_PRODUCT_KEY + "\\Skins", {"Current": sz("Dark")})
            .set_values(USER_PRODUCT_KEY + "\\Skins\\Classic", {"Colour": dword(0xC0C0C0)})
            .set_values(USER_PRODUCT_KEY + "\\Skins\\Dark", {"Colour": dword(0x202020)}))


YES, NO, OK, GO_ON, CANCEL = "Yes", "No", "OK", "&Go on", "Cancel"

# "Plexitone \u0100" has no place in the ANSI code page: its ANSI path comes out as the look-alike
# "Plexitone A", where another installation lives. That one must stay whole.
LOOK_ALIKE_DIR = "C:\\Program Files\\Plexitone A"
OWN_DIR_OUTSIDE_CODE_PAGE = "C:\\Program Files\\Plexitone \u0100"
NOTHING_CHANGES = Outcome(removal_pass=False, shortcuts=False, group_folder=False, app_path=False,
                          user_keys="none", uninstall_entry=False, driver="kept")


def rows_for(lane):
    restart_no = [answered(CONFIRM, YES), answered(RESTART, NO)]
    rows = [
        Scenario("full_restart_no", lane, [YES, NO], restart_no, Outcome()),
        # A driver another program still uses: all of it stays, and so do the machine-wide keys.
        Scenario("driver_shared_count_3", lane, [YES, OK], [answered(CONFIRM, YES), answered(COMPLETE, OK)],
                 Outcome(driver="kept"), stage={"shared_count": 3}),
        Scenario("driver_count_missing", lane, [YES, NO], restart_no, Outcome(), stage={"shared_count": None}),
        Scenario("app_path_other_folder", lane, [YES, NO], restart_no, Outcome(app_path=False),
                 stage={"app_path": sz("C:\\Program Files\\Plexitone 2\\px.exe")}),
        # Same folder, other case: still ours.
        Scenario("app_path_folder_in_other_case", lane, [YES, NO], restart_no, Outcome(),
                 stage={"app_path": sz("c:\\PROGRAM FILES\\plexitone\\PX.EXE")}),
        Scenario("app_path_expand_sz", lane, [YES, NO], restart_no, Outcome(app_path=False),
                 stage={"app_path": expand_sz("C:\\Program Files\\Plexitone\\px.exe")}),
        Scenario("group_with_user_file", lane, [YES, NO], restart_no, Outcome(group_folder=False),
                 after_stage=user_file_in_group),
        # No log: the start menu and the driver go, the registry clean-up never runs, and the pending
        # deletion brings no restart offer.
        Scenario("fallback_go_on", lane, [GO_ON], [answered(FALLBACK, GO_ON)],
                 Outcome(removal_pass=False, app_path=False, user_keys="none", uninstall_entry=False),
                 stage={"write_log": False}),
        # The NT line refuses to delete a key with subkeys, so the product key and the maker key stay; the
        # consumer line deletes the product key with its subkeys.
        Scenario("user_product_unknown_subkey", lane, [YES, NO], restart_no,
                 Outcome(user_keys="settings" if lane.nt else "all"),
                 stage={"extra_changes": unknown_product_subkey()}),
    ]
    rows.append(Scenario("own_folder_outside_code_page", lane, [CANCEL], [answered(FALLBACK, CANCEL)],
                         NOTHING_CHANGES, stage={"install_dir": LOOK_ALIKE_DIR},
                         run_from=OWN_DIR_OUTSIDE_CODE_PAGE))
    if lane.nt:
        # A run stopped right after deleting the driver-list value (its use count already released)
        # leaves a driver that is no longer listed: it is still removed, and the machine's keys go.
        rows.append(Scenario("driver_no_longer_listed", lane, [YES, NO], restart_no, Outcome(),
                             stage={"shared_count": None,
                                    "extra_changes": RegFile().set_values(DRIVERS32_KEY,
                                                                          {inst.OUR_DRIVER_LIST_NAME: None})}))
        # A user who may only read the driver list: the message, owned by the progress dialog; the
        # list is read before the use count, so nothing of the driver changes, no restart is offered.
        rows.append(Scenario("driver_list_read_only", lane, [YES, OK, OK],
                             [answered(CONFIRM, YES), answered(NO_ADMIN, OK), answered(COMPLETE, OK)],
                             Outcome(driver="kept, the list refused"), deny_driver_list=True))
    # Last of its lane: Wine's restart runs wineboot in this prefix.
    rows.append(Scenario("full_restart_yes", lane, [YES, YES, OK], None, Outcome(), restart_answered_yes=True))
    if lane.wow64:
        # Under WoW64 only the system folder and HKLM can change an outcome.
        rows = [row for row in rows if row.name in WOW64_DECIDES]
    suffix = {NT32: "nt", CONSUMER: "consumer", NT64: "nt64"}[lane]
    for row in rows:
        row.name = "cleanup_%s_%s" % (row.name, suffix)
    return rows


WOW64_DECIDES = ("full_restart_yes", "driver_shared_count_3", "driver_no_longer_listed")


SCENARIOS = rows_for(NT32) + rows_for(CONSUMER) + rows_for(NT64)


# ---------------------------------------------------------------------------------------------------------
# A user who may only read Drivers32: a DACL set through RegSetKeySecurity by a helper compiled here.
# Wine's server checks a key's DACL against the caller's token like Windows does, so the uninstaller's
# RegOpenKeyExA(KEY_ALL_ACCESS) fails with ERROR_ACCESS_DENIED as for a limited user. The owner keeps
# WRITE_DAC, so the helper can give the old DACL back.

KEY_SECURITY_SOURCE = r"""
// Sets or shows the DACL of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Drivers32 in SDDL.
#include <windows.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>

static const char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

int main(int argc, char **argv)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDrivers32, 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS)
        return 2;
    int result = 0;
    if (argc == 2 && strcmp(argv[1], "get") == 0) {
        BYTE buffer[4096];
        DWORD size = sizeof buffer;
        LPSTR text = NULL;
        if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer, &size) != ERROR_SUCCESS ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorA(buffer, SDDL_REVISION_1,
                                                                  DACL_SECURITY_INFORMATION, &text, NULL))
            result = 3;
        else
            printf("%s\n", text);
    } else if (argc == 3 && strcmp(argv[1], "set") == 0) {
        PSECURITY_DESCRIPTOR descriptor;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(argv[2], SDDL_REVISION_1, &descriptor, NULL) ||
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) != ERROR_SUCCESS)
            result = 4;
    } else {
        result = 5;
    }
    RegCloseKey(key);
    return result;
}
"""

# Everyone may read the list, and nothing more: what a user without administrator rights has.
READ_ONLY_DACL = "D:(A;;KR;;;WD)"


def key_security_tool(state_dir, compiler):
    work = os.path.join(state_dir, "tools")
    os.makedirs(work, exist_ok=True)
    source = os.path.join(work, "key_security.cpp")
    exe = os.path.join(work, "key_security.exe")
    with open(source, "w", encoding="ascii") as stream:
        stream.write(KEY_SECURITY_SOURCE)
    subprocess.run([compiler, "-O1", "-o", exe, source, "-ladvapi32", "-static-libgcc", "-static-libstdc++"],
                   check=True, stdin=subprocess.DEVNULL)
    return exe


def key_security(tool, environment, *arguments):
    result = subprocess.run(["wine", tool] + list(arguments), env=environment, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60, check=False)
    if result.returncode != 0:
        raise RuntimeError("key_security %s ended with %d" % (" ".join(arguments), result.returncode))
    return result.stdout.decode().strip()


# ---------------------------------------------------------------------------------------------------------
# Running


def wineboot_running(prefix):
    """Whether a wineboot of this prefix runs: a process of ours whose environment names the prefix."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as stream:
                if b"wineboot" not in stream.read():
                    continue
            with open("/proc/%s/environ" % entry, "rb") as stream:
                if ("WINEPREFIX=" + prefix).encode() in stream.read().split(b"\0"):
                    return True
        except OSError:
            continue
    return False


def wait_for_wineboot(prefix):
    deadline = time.time() + RESTART_WAIT_SECONDS
    while wineboot_running(prefix):
        if time.time() > deadline:
            raise RuntimeError("Wine's restart still runs after %d s" % RESTART_WAIT_SECONDS)
        time.sleep(0.2)


def stage_own_copy(prefix, windows_dir, exe):
    """The uninstaller in a folder of its own, with a file and a log that lists nothing: an ANSI log
    cannot name this folder."""
    own = inst.Stage(prefix, windows_dir + "\\")
    own.file(names.APP_FILE_NAME, b"MZ own\r\n")
    own.copy(exe, names.UNINSTALLER_FILE_NAME)
    own.file(LOG_NAME, sound_log([]))
    return own.unix_dir


def folder_files(folder):
    if folder is None:
        return {}
    return {name: os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder)}


def without_restart_records_of_the_run(after, installation):
    """After a Yes the run names the uninstaller and its log for the restart (and on the NT line their
    folder), which Wine's restart may carry out before the copy runs. wininit.ini deletes no folder: on
    the consumer line the empty installation folder may then stay, as on Windows 98."""
    result = dict(after)
    renamed = ("ini", "wininit.bak", "rename")
    if renamed in result:
        result[renamed] = tuple(line for line in result[renamed]
                                if not line.lower().endswith(("\\" + names.UNINSTALLER_FILE_NAME, "\\" + LOG_NAME)))
    folder = ("folder", installation.install_dir.lower())
    if not installation.lane.nt and folder in result and not os.listdir(
            inst.unix_path(installation.prefix, installation.install_dir)):
        del result[folder]
    return result


def run_scenario(scenario, harness):
    session = harness.session
    prefix, environment, work = session.prefix, session.environment, session.journals
    tool = key_security_tool(session.state_dir, harness.cc) if scenario.deny_driver_list else None
    original_dacl = None
    failures = []
    install_dir = scenario.stage.get("install_dir", inst.DEFAULT_INSTALL_DIR)
    own_copy = None
    try:
        installation = inst.stage_installation(prefix, environment, scenario.lane, uninstaller=harness.exe,
                                               scratch_dir=work, **scenario.stage)
        if scenario.after_stage is not None:
            scenario.after_stage(installation)
        program = installation.win(names.UNINSTALLER_FILE_NAME)
        if scenario.run_from is not None:
            own_copy = stage_own_copy(prefix, scenario.run_from, harness.exe)
            program = scenario.run_from + "\\" + names.UNINSTALLER_FILE_NAME
        own_before = folder_files(own_copy)
        before = inst.snapshot(prefix, environment, work, install_dir=install_dir,
                               keys=compared_keys(scenario.lane))
        if tool is not None:
            original_dacl = key_security(tool, environment, "get")
            key_security(tool, environment, "set", READ_ONLY_DACL)

        print("%s lane, installation in %s" % (scenario.lane.name, installation.install_dir), flush=True)
        records_before = copy_records(session)
        run = DriverRun(session, harness.driver, scenario.name, program, scenario.answers, scenario.lane,
                        timeout=DRIVER_TIMEOUT_SECONDS, wide=scenario.run_from is not None)
        if tool is not None:
            key_security(tool, environment, "set", original_dacl)
            original_dacl = None

        if scenario.restart_answered_yes and ("unused", OK) in run.events:
            # The answer kept for a failure message that a started restart never shows.
            run.events.remove(("unused", OK))
        check_run(run, failures)
        prompts = run.prompts()

        outcome = scenario.outcome
        expected_prompts = scenario.prompts
        if scenario.restart_answered_yes:
            base = [answered(CONFIRM, YES), answered(RESTART, YES)]
            # Wine decides: a refused restart shows the failure message (answered OK); a restart it
            # starts runs wineboot, which works through the pending deletions.
            if prompts == base + [answered(REBOOT_FAILED, OK)]:
                print("ExitWindowsEx(EWX_REBOOT, 0) under Wine: failed, the failure message was shown")
                expected_prompts = prompts
            else:
                print("ExitWindowsEx(EWX_REBOOT, 0) under Wine: succeeded, no message; Wine restarted the prefix")
                expected_prompts = base
                outcome = Outcome(restart_done=True)
                wait_for_wineboot(prefix)
                print(session.keep_desktop_held(harness.driver))
        difference = prompts_differ(expected_prompts, prompts)
        if difference:
            failures.append(difference)

        if outcome.removal_pass and wait_for_hand_off(
                session, inst.unix_path(prefix, installation.install_dir),
                None if outcome.restart_done else records_before) is None:
            failures.append("the run's copy did not take the uninstaller and its log in the time allowed")
        after = without_copy_records(inst.snapshot(prefix, environment, work, install_dir=install_dir,
                                                   keys=compared_keys(scenario.lane)))
        if outcome.restart_done:
            after = without_restart_records_of_the_run(after, installation)
        differences = inst.compare(outcome.expected(installation, before), after)
        if folder_files(own_copy) != own_before:
            differences.append("the folder the uninstaller ran from changed: %s -> %s"
                               % (sorted(own_before), sorted(folder_files(own_copy))))
        if differences:
            failures.append("the system after the run differs from the one expected:\n    "
                            + "\n    ".join(differences))
        print("journal: " + run.journal)
        print("compared %d items before and %d after" % (len(before), len(after)))
    finally:
        if original_dacl is not None:
            key_security(tool, environment, "set", original_dacl)
        inst.reset_system(prefix, environment, work, install_dir)
        if own_copy is not None:
            shutil.rmtree(own_copy)
    return failures


if __name__ == "__main__":
    sys.exit(main(SCENARIOS, run_scenario, options=("cc",)))
