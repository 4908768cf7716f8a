// The restart offer: only Yes restarts; the NT line enables the shutdown privilege first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/process_state.h"
#include "run/hand_off.h"
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

struct RestartRecordsRow {
    const char* name;
    DWORD line;
    INT_PTR answer;
    std::string failing;  // fails at every call
    std::vector<std::string> records;  // pending deletions (NT) or "nul=" lines (consumer), in order
    bool copyStarted;
};

// The run's own leftovers at the restart question go with the copy. Only a Yes where no copy starts
// names them for the restart that follows at once, the files before their folder, which only an
// empty folder lets go, and before the restart is asked for. Any other record would wait for some
// later restart and delete the uninstaller and log of a reinstall made in between.
TEST_F(RestartSystemTest, OnlyAYesWithoutACopyNamesTheLeftoversForTheRestart)
{
    const std::string folder = "C:\\Program Files\\Plexitone";
    const std::vector<std::string> all = {folder + "\\pxunins.exe", folder + "\\_pxunins.dat", folder};
    const std::vector<std::string> files = {folder + "\\pxunins.exe", folder + "\\_pxunins.dat"};
    const RestartRecordsRow rows[] = {
        {"NT, Yes", VER_PLATFORM_WIN32_NT, IDYES, "", {}, true},
        {"NT, No", VER_PLATFORM_WIN32_NT, IDNO, "", {}, true},
        {"NT, the question fails", VER_PLATFORM_WIN32_NT, 0, "", {}, true},
        {"NT, Yes, no copy: each named once", VER_PLATFORM_WIN32_NT, IDYES, "CreateProcessA", all, false},
        {"NT, No, no copy: they stay for a later run", VER_PLATFORM_WIN32_NT, IDNO, "CreateProcessA", {}, false},
        {"consumer, Yes", VER_PLATFORM_WIN32_WINDOWS, IDYES, "", {}, true},
        {"consumer, Yes, no copy: the files alone", VER_PLATFORM_WIN32_WINDOWS, IDYES, "CreateProcessA", files, false},
    };
    for (const RestartRecordsRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(row.line);
        Machine().process.privilegesEnabled["SeShutdownPrivilege"] = true;
        Machine().process.modulePath = folder + "\\pxunins.exe";
        AddFile(folder + "\\pxunins.exe", "MZ");
        AddFile(folder + "\\_pxunins.dat", "log");
        RemovalList emptied = {NULL, NULL};
        PrepareHandOff(Machine().process.modulePath.c_str(), &emptied);
        if (!row.failing.empty())
            FailCall(row.failing, 0);
        ScriptAnswers({row.answer});

        RestartSystem();

        if (row.line == VER_PLATFORM_WIN32_NT) {
            EXPECT_EQ(Machine().disk.pendingDeletes, row.records);
        } else {
            std::string wininit = "[rename]\r\n";
            for (const std::string& record : row.records)
                wininit += "nul=" + record + "\r\n";
            EXPECT_EQ(IniFile("wininit.ini"), row.records.empty() ? "" : wininit);
        }
        EXPECT_EQ(Machine().objects.processes.size() > 1, row.copyStarted);
        EXPECT_EQ(Machine().process.restartRequested, row.answer == IDYES);
        // None of this is the driver's restart: the run's flag stays as it was.
        EXPECT_EQ(RestartNeeded, 0);
        if (row.answer == IDYES) {
            std::vector<std::string> order = CallsOf({"MoveFileExA", "WritePrivateProfileSectionA",
                                                      "CreateProcessA", "ExitWindowsEx"});
            ASSERT_FALSE(order.empty());
            EXPECT_EQ(order.back().substr(0, 13), "ExitWindowsEx");
        }
    }
}

}  // namespace
