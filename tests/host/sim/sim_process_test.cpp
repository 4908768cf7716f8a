// The simulated process: module path truncation, the version query, the restart privilege and
// the end of the process.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

const char kSentinel = '\x7F';

struct ModuleRow {
    const char* name;
    size_t length;  // of the module path
    DWORD result;
    bool nul;       // a NUL ends the path inside the buffer
    DWORD error;
};

TEST(SimProcess, ModuleFileNameFillsWithoutNulWhenThePathDoesNotFit)
{
    const ModuleRow rows[] = {
        {"259 fits", 259, 259, true, 0},
        {"260 fills the buffer", 260, 260, false, ERROR_INSUFFICIENT_BUFFER},
        {"261 is cut", 261, 260, false, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const ModuleRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_NT);
        std::string path = "C:\\" + std::string(row.length - 10, 'p') + "\\px.exe";
        ASSERT_EQ(path.size(), row.length);
        Machine().process.modulePath = path;
        SetLastError(0);
        char buffer[MAX_PATH + 8];
        memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, MAX_PATH), row.result);
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_EQ(std::string(buffer, row.result), path.substr(0, row.result));
        EXPECT_EQ(buffer[row.result], row.nul ? '\0' : kSentinel);
        EXPECT_EQ(buffer[MAX_PATH], kSentinel) << "written past nSize";
    }
}

struct VersionRow {
    const char* name;
    DWORD line;
    DWORD size;
    BOOL result;
    DWORD buildNumber;
};

TEST(SimProcess, VersionQueryChecksTheRecordSize)
{
    const DWORD nt = VER_PLATFORM_WIN32_NT, consumer = VER_PLATFORM_WIN32_WINDOWS;
    const VersionRow rows[] = {
        {"XP, plain record", nt, 148, TRUE, 2600},
        {"XP, extended record", nt, 156, TRUE, 2600},
        {"XP, wrong size", nt, 147, FALSE, 0},
        {"98 knows no extended record", consumer, 156, FALSE, 0},
        {"98 packs the version into the build number", consumer, 148, TRUE, 0x040A08AE},
    };
    for (const VersionRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(row.line);
        unsigned char record[160];
        memset(record, 0, sizeof record);
        OSVERSIONINFOA* info = (OSVERSIONINFOA*)record;
        info->dwOSVersionInfoSize = row.size;
        EXPECT_EQ(GetVersionExA(info), row.result);
        if (row.result) {
            EXPECT_EQ(info->dwPlatformId, row.line);
            EXPECT_EQ(info->dwBuildNumber, row.buildNumber);
        } else {
            EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        }
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
