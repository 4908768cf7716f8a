// The fatal report: its box, its exit code, its nesting guard, and the debugger question.
#include <gtest/gtest.h>

#include "foundation/internal_error.h"
#include "foundation/platform_line.h"
#include "support/machine_fixture.h"

namespace {

struct ReportRow {
    const char* name;
    bool debuggerAttached;
    const char* expected;  // what the machine recorded: the box, streams open under it, traps
};

// The log may be open when the report comes: it is closed before the box goes up. The trap
// stops only an attached debugger; without one it would end the process with a crash report.
TEST(InternalErrorDeathTest, ShowsFileAndLineWithEveryStreamClosedThenEndsWithExitCode1)
{
    const ReportRow rows[] = {
        {"no debugger", false,
         "MessageBox owner=\\(nil\\) caption=\"Internal Error\" type=0x2000 answer=1 "
         "text=\"File 10\nLine 664\" streams=0\nExitProcess\\(1\\) breakpoints=0"},
        {"a debugger attached", true,
         "text=\"File 10\nLine 664\" streams=0\nExitProcess\\(1\\) breakpoints=1"},
    };
    for (const ReportRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EXIT(
            {
                ResetProcess(VER_PLATFORM_WIN32_NT);
                Machine().process.debuggerAttached = row.debuggerAttached;
                AddFile("C:\\log.dat", "log");
                _fsopen("C:\\log.dat", "rb", _SH_DENYNO);
                ScriptAnswers({IDOK});
                InternalError(10, 664);
            },
            ::testing::ExitedWithCode(1), row.expected);
    }
}

TEST(InternalErrorDeathTest, ANestedReportEndsWithoutASecondBox)
{
    // The box of the first report is up; a second report arrives from its message loop.
    EXPECT_EXIT(
        {
            ResetProcess(VER_PLATFORM_WIN32_NT);
            InternalErrorDepth = 1;
            InternalError(10, 37);
        },
        ::testing::ExitedWithCode(1), "^ExitProcess\\(1\\)");
}

TEST(InternalErrorDeathTest, AFailedVersionQueryEndsTheProcess)
{
    EXPECT_EXIT(
        {
            ResetProcess(VER_PLATFORM_WIN32_NT);
            ScriptAnswers({IDOK});
            FailCall("GetVersionExA");
            IsNtPlatform();
        },
        ::testing::ExitedWithCode(1), "File 10\\s+Line 37");
}

struct DebuggerRow {
    const char* name;
    bool hasIsDebuggerPresent;
    bool attached;
    bool loadFails;
    int expected;
};

class DebuggerTest : public MachineTest {};

TEST_F(DebuggerTest, AsksKernel32AfreshAndCountsAMissingFunctionAsNoDebugger)
{
    const DebuggerRow rows[] = {
        {"attached", true, true, false, 1},
        {"not attached", true, false, false, 0},
        {"kernel32 without IsDebuggerPresent", false, true, false, 0},
        {"kernel32 does not load", true, true, true, 0},
    };
    for (const DebuggerRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        Machine().process.kernelHasIsDebuggerPresent = row.hasIsDebuggerPresent;
        Machine().process.debuggerAttached = row.attached;
        if (row.loadFails)
            FailCall("LoadLibraryA");
        EXPECT_EQ(IsDebuggerAttached() != 0, row.expected != 0);
        // The library is released again on every road that loaded it.
        EXPECT_EQ(CallsOf({"LoadLibraryA"}).size(), 1u);
        EXPECT_EQ(CallsOf({"FreeLibrary"}).size(), row.loadFails ? 0u : 1u);
    }
}

struct PlatformRow {
    const char* name;
    DWORD platformId;
    int expected;
};

TEST_F(DebuggerTest, IsNtPlatformTellsTheLines)
{
    const PlatformRow rows[] = {
        {"Windows XP", VER_PLATFORM_WIN32_NT, 1},
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 0},
        {"Win32s", VER_PLATFORM_WIN32s, 0},
    };
    for (const PlatformRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        Machine().process.platformId = row.platformId;
        EXPECT_EQ(IsNtPlatform(), row.expected);
    }
}

}  // namespace
