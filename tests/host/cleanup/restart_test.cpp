// The restart offer: only Yes restarts; the NT line enables the shutdown privilege first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/uninstall_run.h"
#include "support/machine_fixture.h"

namespace {

struct RestartRow {
    const char* name;
    DWORD line;
    INT_PTR answer;
    std::string failing;
    bool systemAccepts;
    bool restarted;
    bool failureShown;
    std::vector<std::string> privilegeCalls;
};

class RestartSystemTest : public MachineTest {};

TEST_F(RestartSystemTest, RestartsOnlyOnYes)
{
    const std::vector<std::string> ntCalls = {"LookupPrivilegeValueA", "OpenProcessToken",
                                              "AdjustTokenPrivileges", "CloseHandle"};
    const RestartRow rows[] = {
        {"NT, Yes", VER_PLATFORM_WIN32_NT, IDYES, "", true, true, false, ntCalls},
        {"consumer, Yes: no privilege calls", VER_PLATFORM_WIN32_WINDOWS, IDYES, "", true, true, false, {}},
        {"No", VER_PLATFORM_WIN32_NT, IDNO, "", true, false, false, {}},
        {"the question fails", VER_PLATFORM_WIN32_NT, 0, "", true, false, false, {}},
        {"the system refuses", VER_PLATFORM_WIN32_NT, IDYES, "", false, false, true, ntCalls},
        {"privilege unknown: restart still asked", VER_PLATFORM_WIN32_NT, IDYES, "LookupPrivilegeValueA",
         true, false, true, {"LookupPrivilegeValueA"}},
        {"token not opened: nothing to close", VER_PLATFORM_WIN32_NT, IDYES, "OpenProcessToken", true,
         false, true, {"LookupPrivilegeValueA", "OpenProcessToken"}},
        {"adjustment fails unseen", VER_PLATFORM_WIN32_NT, IDYES, "AdjustTokenPrivileges", true,
         false, true, ntCalls},
    };
    for (const RestartRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(row.line);
        Machine().ui.exitWindowsSucceeds = row.systemAccepts;
        if (!row.failing.empty())
            FailCall(row.failing);
        std::vector<INT_PTR> answers = {row.answer};
        if (row.failureShown)
            answers.push_back(IDOK);
        ScriptAnswers(answers);

        RestartSystem();

        EXPECT_EQ(Machine().process.restartRequested, row.restarted);
        // A plain restart: no force flag, so no program loses unsaved work unasked.
        if (row.restarted)
            EXPECT_EQ(Machine().process.exitWindowsFlags, (UINT)EWX_REBOOT);
        // The token is asked for the one right the adjustment needs, nothing more.
        for (DWORD access : Machine().process.tokenAccessOpened)
            EXPECT_EQ(access, (DWORD)TOKEN_ADJUST_PRIVILEGES);
        std::vector<std::string> names;
        for (const std::string& call : CallsOf({"LookupPrivilegeValueA", "OpenProcessToken",
                                                "AdjustTokenPrivileges", "CloseHandle"}))
            names.push_back(call.substr(0, call.find('(')));
        EXPECT_EQ(names, row.privilegeCalls);
        EXPECT_EQ(Machine().process.openTokens, 0);
        EXPECT_EQ(Machine().ui.journal.size(), row.failureShown ? 2u : 1u);
        EXPECT_EQ(CallsOf({"ExitWindowsEx"}).size(), row.answer == IDYES ? 1u : 0u);
    }
}

}  // namespace
