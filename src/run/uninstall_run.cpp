// The uninstall run: its two roads, the order of every step, and the final messages.
#include "run/uninstall_run.h"

#include "cleanup/pipe_driver.h"
#include "cleanup/registry_cleanup.h"
#include "cleanup/start_menu.h"
#include "dialogs/fallback_dialog.h"
#include "dialogs/progress_dialog.h"
#include "foundation/fixed_names.h"
#include "foundation/internal_error.h"
#include "foundation/messages.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/process_state.h"
#include "foundation/run_report.h"
#include "run/administrator.h"
#include "run/dll_search.h"
#include "run/hand_off.h"
#include "run/install_folder.h"
#include "run/report_header.h"
#include "run/silent_mode.h"
#include "uninstall_log/log_loader.h"

RemovalList ProcessRemovalList;

// Releases the list at the runtime's normal exit. ExitProcess after an internal error skips
// this, as it skips every other destructor.
static struct ProcessRemovalListRelease {
    ~ProcessRemovalListRelease() { ClearRemovalList(&ProcessRemovalList); }
} processRemovalListRelease;

// The program's own path, only when it names this very program. A result of the buffer's size
// means the path was cut, and older systems then leave the buffer without its NUL. A folder name
// outside the ANSI code page comes back with "?" (naming nothing) or a look-alike letter (naming
// another folder, possibly another installation's); the loader, asked for the module at exactly
// that path, finds this instance only when the path is really ours.
static int GetOwnModulePath(HINSTANCE instance, char* modulePath, DWORD size)
{
    DWORD length = GetModuleFileNameA(NULL, modulePath, size);
    if (length == 0 || length >= size)
        return 0;
    return GetModuleHandleA(modulePath) == (HMODULE)instance;
}

// A question no one saw: MessageBoxA fails with 0, Wine's with -1 (its box is a dialog), and
// DialogBoxParamA with -1 (0 for an owner that is no window). Under Wine every window fails so
// while the program cannot reach its X display. An answer is a button's id, above 0.
static int QuestionShown(INT_PTR result)
{
    return result > 0;
}

// The dialog "AfterRun" and, on "&Go on", what may be left of the start-menu group and the
// pipe driver. No registry clean-up, no final message, no restart offer on this road.
static int RunFallbackRoad(HINSTANCE instance)
{
    INT_PTR choice = DialogBoxParamA(instance, "AfterRun", NULL, FallbackDialogProc, 0);
    if (!QuestionShown(choice)) {
        ReportLine("fallback dialog: it could not be shown; nothing changed");
        return kExitQuestionNotShown;
    }
    ReportLine("fallback dialog: %s", choice == IDOK ? "Go on" : "Cancel");
    if (choice != IDOK)
        return 0;
    // The results of the reduced clean-up are not looked at: each step runs regardless.
    RemoveStartMenuGroup();
    RemovePipeDriver();
    return 0;
}

// The removal under the progress dialog, the clean-up steps, and the final message.
static int RunMainRoad(HINSTANCE instance, const char* modulePath)
{
    int answer = MessageBoxA(NULL, kConfirmMessage, kMessageCaption, MB_YESNO | MB_DEFBUTTON2);
    if (!QuestionShown(answer)) {
        ReportLine("confirmation: it could not be shown; nothing changed");
        return kExitQuestionNotShown;
    }
    ReportLine("confirmation: %s", answer == IDYES ? "Yes" : "No");
    if (answer != IDYES)
        return 0;

    ProgressDialog = CreateDialogParamA(instance, "Uninstalling", NULL, ProgressDialogProc, 0);
    if (ProgressDialog == NULL) {
        ReportMessage(kCorruptMessage);
        MessageBoxA(NULL, kCorruptMessage, kMessageCaption, MB_OK);
        return 0;
    }
    ShowWindow(ProgressDialog, SW_SHOW);

    // Every step below runs whatever became of the one before. Where the pass left some of the
    // log's entries (a file in use, a link), the uninstaller and its log stay for a later run.
    char realPath[MAX_PATH];
    GetRealModulePath(modulePath, realPath);
    PrepareHandOff(realPath, &ProcessRemovalList);
    RemovalOutcome left = RunRemovalPass(&ProcessRemovalList, ReportProgress);
    if (left.stillThere != 0 || left.notFollowed != 0)
        KeepUninstallerInPlace();
    ReportProgress(NULL, 1.0);
    RemoveStartMenuGroup();
    CleanRegistry();
    RemovePipeDriver();

    ShowWindow(ProgressDialog, SW_HIDE);
    DestroyWindow(ProgressDialog);
    ProgressDialog = NULL;

    if (RestartNeeded == 0) {
        MessageBoxA(NULL, kCompleteMessage, kMessageCaption, MB_OK);
        HandOffLeftovers(0);
    } else {
        RestartSystem();  // hands off too, before it requests the restart
    }
    return 0;
}

// The program's own path, InstallDir in its one spelling, and the log read into the removal list,
// held to the end of the run where held. LogUnusable when the log cannot be used: the path
// unknown, no room for the log's name, the log missing, refused, or none of its entries in the
// installation folder however it is spelt.
static LogHold LoadOwnLog(HINSTANCE instance, char* modulePath, int held)
{
    if (!GetOwnModulePath(instance, modulePath, MAX_PATH) || !SpellInstallDir(modulePath)) {
        ReportItem(ReportLeft, "uninstall log", kLogFileName, "the uninstaller's own folder is unknown");
        return LogUnusable;
    }
    char logPath[MAX_PATH];
    memcpy(logPath, InstallDir, sizeof logPath);
    if (!AppendPathComponent(logPath, kLogFileName)) {
        ReportItem(ReportLeft, "uninstall log", InstallDir, "its path would pass 259 characters");
        return LogUnusable;
    }
    LogHold hold = held ? LoadUninstallLogHeld(&ProcessRemovalList, logPath)
                        : LoadUninstallLog(&ProcessRemovalList, logPath) ? LogRead : LogUnusable;
    if (hold == LogHeldByAnother) {
        ReportItem(ReportKept, "uninstall log", logPath, "another uninstall holds it: this one changes nothing");
        return hold;
    }
    if (hold == LogUnusable) {
        ReportItem(ReportLeft, "uninstall log", logPath, "missing or unreadable: nothing in the folder is touched");
        return hold;
    }
    // A log none of whose entries lies in the installation folder, however it is spelt, is not
    // this folder's: nothing of it is followed.
    if (!RespellInstallDirForLog(&ProcessRemovalList)) {
        ReportItem(ReportLeft, "uninstall log", logPath,
                   "none of its entries lies in the installation folder: nothing in the folder is touched");
        return LogUnusable;
    }
    unsigned long entries = 0;
    for (const RemovalNode* node = ProcessRemovalList.oldest; node != NULL; node = node->newer)
        entries++;
    ReportLine("read: uninstall log %s, %lu entries, %s", logPath, entries,
               LogTrusted ? "only administrators could have written it" : "others could have written it");
    if (hold == LogReadBesideAReader)
        ReportLine("note: another program holds the log open for reading: a second uninstall is not kept out");
    return hold;
}

// The run as a person starts it, as it always was: 0, or 2 for a question no one saw.
static DWORD RunInteractively(HINSTANCE instance, int administrator)
{
    // Before the confirmation and the fallback dialog, so that such a run changes nothing. The
    // consumer line has no users to keep apart.
    if (!administrator) {
        ReportMessage(kAdministratorRunMessage);
        MessageBoxA(NULL, kAdministratorRunMessage, kMessageCaption, MB_OK);
        return 0;
    }
    char modulePath[MAX_PATH];
    if (LoadOwnLog(instance, modulePath, 0) == LogUnusable)
        return (DWORD)RunFallbackRoad(instance);
    return (DWORD)RunMainRoad(instance, modulePath);
}

// The run a deployment tool starts: no window at all, /S or the window station standing for the
// confirmation, and an exit code for each outcome. It never restarts Windows; the records for the
// restart are made as on the main road. Nothing is done without the log: no one chose the
// reduced clean-up.
static DWORD RunSilently(HINSTANCE instance, const RunArguments* arguments, int argumentsSound,
                         int administrator)
{
    if (!argumentsSound) {
        ReportLine("refused: the argument \"%s\" is not one the uninstaller knows, or not well formed",
                   arguments->refused);
        return ERROR_INVALID_COMMAND_LINE;
    }
    if (!administrator) {
        ReportMessage(kAdministratorRunMessage);
        return ERROR_ELEVATION_REQUIRED;
    }
    // The log held from here to the run's end keeps a second uninstall out: it changes nothing.
    char modulePath[MAX_PATH];
    LogHold hold = LoadOwnLog(instance, modulePath, 1);
    if (hold == LogHeldByAnother)
        return ERROR_INSTALL_ALREADY_RUNNING;
    if (hold == LogUnusable)
        return ERROR_INSTALL_FAILURE;

    // Every step below runs whatever became of the one before. What the pass left keeps the
    // uninstaller and its log for a later run, as on the main road, and fails the run.
    char realPath[MAX_PATH];
    GetRealModulePath(modulePath, realPath);
    PrepareHandOff(realPath, &ProcessRemovalList);
    RemovalOutcome left = RunRemovalPass(&ProcessRemovalList, NULL);
    int entriesLeft = left.stillThere != 0 || left.notFollowed != 0;
    if (entriesLeft)
        KeepUninstallerInPlace();
    RemoveStartMenuGroup();
    CleanRegistry();
    // A driver that stays registered while no other program holds it is one the run was refused.
    int driverLeft = !RemovePipeDriver() && PipeDriverRegistered();
    ReleaseHeldUninstallLog();
    HandOffLeftovers(0);
    if (entriesLeft || driverLeft)
        return ERROR_INSTALL_FAILURE;
    return RestartNeeded ? arguments->restartExitCode : 0;
}

// A run that writes a report closes it with the internal error's text and exit code 1; a run that
// shows no window shows not the box either.
static int ReportInternalError(const char* text)
{
    ReportMessage(text);
    CloseRunReport(1);
    return SilentRun;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand)
{
    (void)previousInstance;
    (void)showCommand;

    // The copy that removes what a run left is known by its command line alone, before any
    // check or dialog of the run.
    HandOff handOff;
    if (ReadHandOff(commandLine, &handOff)) {
        RunHandOffCopy(&handOff);
        return 0;
    }

    // Whether the run may show a window is known before anything could show one, the internal
    // error's box included. An interactive run ignores an argument it does not know, as it always has.
    RunArguments arguments;
    int argumentsSound = ReadRunArguments(commandLine, &arguments);
    int stationVisible = WindowStationIsVisible();
    SilentRun = arguments.silent || !stationVisible;
    if (SilentRun || arguments.report)
        InternalErrorReport = ReportInternalError;

    // Before any library is loaded by name and any window is made, on both roads.
    RestrictDllSearch();
    if (arguments.report)
        OpenRunReport(arguments.reportPath[0] != '\0' ? arguments.reportPath : NULL);
    if (!SilentRun)
        LoadCommonControls(instance);
    int administrator = !IsNtPlatform() || RunsAsAdministrator();
    ReportRunHeader(commandLine, &arguments, stationVisible, administrator);

    DWORD exitCode = SilentRun ? RunSilently(instance, &arguments, argumentsSound, administrator)
                               : RunInteractively(instance, administrator);
    CloseRunReport(exitCode);
    InternalErrorReport = NULL;
    return (int)exitCode;
}
