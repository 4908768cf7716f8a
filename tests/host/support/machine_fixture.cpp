// Process state and journal formatting shared by the tests of the logic.
#include "support/machine_fixture.h"

#include <stdio.h>

#include "dialogs/progress_dialog.h"
#include "foundation/internal_error.h"
#include "foundation/process_state.h"
#include "run/uninstall_run.h"

void ResetProcess(DWORD platformId, SimWindowsWidth width)
{
    ClearRemovalList(&ProcessRemovalList);
    InstallDir[0] = '\0';
    ProgressDialog = NULL;
    RestartNeeded = 0;
    LogTrusted = 0;
    LastProgressPos = 0;
    InternalErrorDepth = 0;
    ResetMachine(platformId, width);
}

int RunUninstaller()
{
    char commandLine[] = "";
    return WinMain(SimInstance(), NULL, commandLine, SW_SHOW);
}

static std::string OwnerName(HWND owner)
{
    if (owner == NULL)
        return "none";
    SimWindowState* state = WindowState(owner);
    return state != NULL ? "dialog:" + state->templateName : "window";
}

std::vector<std::string> UiRows()
{
    std::vector<std::string> rows;
    for (const SimUiEvent& event : Machine().ui.journal) {
        char type[16];
        snprintf(type, sizeof type, "0x%X", event.type);
        rows.push_back(event.kind + " owner=" + OwnerName(event.owner) + " caption=" +
                       event.caption + " text=" + event.text + " type=" + type +
                       " answer=" + std::to_string((long long)event.answer));
    }
    return rows;
}

std::vector<std::string> CallsOf(const std::vector<std::string>& names)
{
    std::vector<std::string> rows;
    for (const std::string& call : Machine().calls) {
        for (const std::string& name : names) {
            if (call.compare(0, name.size() + 1, name + "(") == 0) {
                rows.push_back(call);
                break;
            }
        }
    }
    return rows;
}
