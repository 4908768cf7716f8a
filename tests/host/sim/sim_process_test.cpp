// The simulated process's own part: each line's version, the declared privileges and faults, the
// debugger, and the end of the process. Buffer sizes and record sizes are the contract's.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

TEST(SimProcess, EachLineReportsItsVersion)
{
    const DWORD nt = VER_PLATFORM_WIN32_NT, consumer = VER_PLATFORM_WIN32_WINDOWS;
    const struct {
        const char* name;
        DWORD line;
        DWORD buildNumber;
    } rows[] = {
        {"XP", nt, 2600},
        {"98 packs the version into the build number", consumer, 0x040A08AE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(row.line);
        OSVERSIONINFOA info = {sizeof info, 0, 0, 0, 0, {0}};
        EXPECT_EQ(GetVersionExA(&info), TRUE);
        EXPECT_EQ(info.dwPlatformId, row.line);
        EXPECT_EQ(info.dwBuildNumber, row.buildNumber);
    }
    ResetMachine(nt);
    FailCall("GetVersionExA");
    OSVERSIONINFOA info = {sizeof info, 0, 0, 0, 0, {0}};
    EXPECT_EQ(GetVersionExA(&info), FALSE);
}

struct RestartRow {
    const char* name;
    DWORD line;
    bool enablePrivilege;  // look up, open the token, adjust, close
    const char* privilege;
    bool systemAccepts;
    DWORD adjustError;     // the last error after AdjustTokenPrivileges
    BOOL result;
    DWORD error;
};

TEST(SimProcess, RestartNeedsTheShutdownPrivilegeOnNtOnly)
{
    const DWORD nt = VER_PLATFORM_WIN32_NT, consumer = VER_PLATFORM_WIN32_WINDOWS;
    const RestartRow rows[] = {
        {"NT with the privilege", nt, true, SE_SHUTDOWN_NAME, true, 0, TRUE, 0},
        {"NT without the privilege", nt, false, SE_SHUTDOWN_NAME, true, 0, FALSE,
         ERROR_PRIVILEGE_NOT_HELD},
        {"NT, token lacks the one asked for", nt, true, "SeDebugPrivilege", true,
         ERROR_NOT_ALL_ASSIGNED, FALSE, ERROR_PRIVILEGE_NOT_HELD},
        {"NT, system refuses", nt, true, SE_SHUTDOWN_NAME, false, 0, FALSE, ERROR_ACCESS_DENIED},
        {"consumer line checks nothing", consumer, false, SE_SHUTDOWN_NAME, true, 0, TRUE, 0},
    };
    for (const RestartRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(row.line);
        Machine().ui.exitWindowsSucceeds = row.systemAccepts;
        if (row.enablePrivilege) {
            TOKEN_PRIVILEGES request;
            request.PrivilegeCount = 1;
            request.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            ASSERT_TRUE(LookupPrivilegeValueA(nullptr, row.privilege, &request.Privileges[0].Luid));
            HANDLE token = nullptr;
            ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
            EXPECT_EQ(Machine().process.openTokens, 1);
            EXPECT_EQ(AdjustTokenPrivileges(token, FALSE, &request, 0, nullptr, nullptr), TRUE);
            EXPECT_EQ(GetLastError(), row.adjustError);
            EXPECT_TRUE(CloseHandle(token));
            EXPECT_EQ(Machine().process.openTokens, 0);
            EXPECT_FALSE(CloseHandle(token));
        }
        SetLastError(0);
        EXPECT_EQ(ExitWindowsEx(EWX_REBOOT, 0), row.result);
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_EQ(Machine().process.restartRequested, row.result == TRUE);
    }
}

TEST(SimProcess, TokenCallsAreMissingOnTheConsumerLineAndNamesAreChecked)
{
    ResetMachine(VER_PLATFORM_WIN32_WINDOWS);
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
    ResetMachine(VER_PLATFORM_WIN32_NT);
    LUID luid;
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE);
}

struct DebuggerRow {
    const char* name;
    bool hasExport;
    bool attached;
    bool found;
    BOOL answer;
};

TEST(SimProcess, IsDebuggerPresentThroughKernel32)
{
    const DebuggerRow rows[] = {
        {"attached", true, true, true, TRUE},
        {"not attached", true, false, true, FALSE},
        {"kernel32 without the export", false, true, false, FALSE},
    };
    for (const DebuggerRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_NT);
        Machine().process.kernelHasIsDebuggerPresent = row.hasExport;
        Machine().process.debuggerAttached = row.attached;
        EXPECT_EQ(LoadLibraryA("user32.dll"), nullptr);
        HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
        ASSERT_NE(kernel, nullptr);
        FARPROC found = GetProcAddress(kernel, "IsDebuggerPresent");
        ASSERT_EQ(found != nullptr, row.found);
        if (found) {
            BOOL (*isDebuggerPresent)(void) =
                reinterpret_cast<BOOL (*)(void)>(reinterpret_cast<void (*)(void)>(found));
            EXPECT_EQ(isDebuggerPresent(), row.answer);
        }
        EXPECT_TRUE(FreeLibrary(kernel));
        EXPECT_EQ(Machine().process.libraryRefs, 0);
        EXPECT_FALSE(FreeLibrary(kernel));
    }
}

TEST(SimProcessDeathTest, ExitProcessWritesWhatTheUserSawAndTheCode)
{
    ResetMachine(VER_PLATFORM_WIN32_NT);
    SimUiEvent box;
    box.kind = "MessageBox";
    box.caption = "Internal Error";
    box.text = "File 10\nLine 664";
    box.type = MB_TASKMODAL;
    box.answer = IDOK;
    Machine().ui.journal.push_back(box);
    EXPECT_EXIT(ExitProcess(1), ::testing::ExitedWithCode(1),
                "caption=\"Internal Error\".*ExitProcess\\(1\\)");
}

}  // namespace
