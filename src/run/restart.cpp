// The restart offer at the end of an uninstall that left a file to be deleted at restart.
#include "foundation/messages.h"
#include "foundation/platform_line.h"
#include "foundation/run_report.h"
#include "run/hand_off.h"
#include "run/uninstall_run.h"

// The NT line refuses ExitWindowsEx(EWX_REBOOT) unless the process holds the shutdown
// privilege enabled. Whether it was granted is not asked: the restart request will tell.
static void EnableShutdownPrivilege(void)
{
    TOKEN_PRIVILEGES request;
    if (!LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &request.Privileges[0].Luid))
        return;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return;
    request.PrivilegeCount = 1;
    request.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &request, 0, NULL, NULL);
    CloseHandle(token);
}

void RestartSystem(void)
{
    // Only a Yes restarts: a failed question must not close other programs' unsaved work.
    int answer = MessageBoxA(NULL, kRestartQuestion, kMessageCaption, MB_YESNO);
    ReportLine("restart question: %s", answer == IDYES ? "Yes" : "No");
    if (answer != IDYES) {
        // Records for a restart that may come only after a reinstall would delete the new
        // uninstaller and log: the copy alone.
        HandOffLeftovers(0);
        return;
    }
    // The restart may end the copy before it has run: the records first, then the copy.
    HandOffLeftovers(1);

    // The consumer line has no privileges to enable; its advapi32 is not called at all.
    if (IsNtPlatform())
        EnableShutdownPrivilege();

    if (ExitWindowsEx(EWX_REBOOT, 0)) {
        ReportLine("restart: requested");
        return;
    }
    ReportMessage(kRestartFailedMessage);
    MessageBoxA(NULL, kRestartFailedMessage, kMessageCaption, MB_OK);
}
