// The uninstall run: its two roads, the order of every step, and the final messages.
#include "run/uninstall_run.h"

#include "cleanup/pipe_driver.h"
#include "cleanup/registry_cleanup.h"
#include "cleanup/start_menu.h"
#include "dialogs/fallback_dialog.h"
#include "dialogs/progress_dialog.h"
#include "foundation/fixed_names.h"
#include "foundation/messages.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/process_state.h"
#include "run/administrator.h"
#include "run/dll_search.h"
#include "run/hand_off.h"
#include "run/install_folder.h"
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
    if (!QuestionShown(choice))
        return kExitQuestionNotShown;
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
    if (!QuestionShown(answer))
        return kExitQuestionNotShown;
    if (answer != IDYES)
        return 0;

    ProgressDialog = CreateDialogParamA(instance, "Uninstalling", NULL, ProgressDialogProc, 0);
    if (ProgressDialog == NULL) {
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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand)
{
    (void)previousInstance;
    (void)showCommand;

    // The copy that removes what a run left is known by its command line alone, before any
    // check or dialog of the run; the run itself reads no argument.
    HandOff handOff;
    if (ReadHandOff(commandLine, &handOff)) {
        RunHandOffCopy(&handOff);
        return 0;
    }

    // Before any library is loaded by name and any window is made, on both roads.
    RestrictDllSearch();
    LoadCommonControls(instance);

    // Before the confirmation and the fallback dialog, so that such a run changes nothing. The
    // consumer line has no users to keep apart.
    if (IsNtPlatform() && !RunsAsAdministrator()) {
        MessageBoxA(NULL, kAdministratorRunMessage, kMessageCaption, MB_OK);
        return 0;
    }

    char modulePath[MAX_PATH];
    if (!GetOwnModulePath(instance, modulePath, sizeof modulePath) || !SpellInstallDir(modulePath))
        return RunFallbackRoad(instance);

    // A log none of whose entries lies in the installation folder, however it is spelt, is not
    // this folder's: nothing of it is followed.
    char logPath[MAX_PATH];
    memcpy(logPath, InstallDir, sizeof logPath);
    if (!AppendPathComponent(logPath, kLogFileName) ||
        !LoadUninstallLog(&ProcessRemovalList, logPath) ||
        !RespellInstallDirForLog(&ProcessRemovalList))
        return RunFallbackRoad(instance);
    return RunMainRoad(instance, modulePath);
}
