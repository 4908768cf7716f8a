// Scheduling a file for deletion at the next restart: MoveFileExA on the NT line, the
// [rename] section of "wininit.ini" on the consumer line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cleanup/delete_at_restart.h"
#include "foundation/process_state.h"
#include "support/machine_fixture.h"

namespace {

const std::string kLongFolder = "C:\\Program Files\\Plexitone Drivers";
const std::string kShortFolder = "C:\\PROGRA~1\\PLEXIT~1";

class DeleteAtRestartTest : public MachineTest {
  protected:
    void Stage(DWORD line)
    {
        ResetProcess(line);
        AddFile(kLongFolder + "\\Long Driver Name.drv");
        AddFile(kLongFolder + "\\a.drv");
        SetShortName("C:\\Program Files", "PROGRA~1");
        SetShortName(kLongFolder, "PLEXIT~1");
    }
};

TEST_F(DeleteAtRestartTest, SchedulesTheShortFolderWithTheNameUnchanged)
{
    Stage(VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(ScheduleDeleteAtRestart(kLongFolder.c_str(), "Long Driver Name.drv"), 1);
    EXPECT_EQ(Machine().disk.pendingDeletes,
              std::vector<std::string>{kShortFolder + "\\Long Driver Name.drv"});
    EXPECT_EQ(RestartNeeded, 1);

    Stage(VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(ScheduleDeleteAtRestart(kLongFolder.c_str(), "Long Driver Name.drv"), 1);
    EXPECT_EQ(IniFile("wininit.ini"), "[rename]\r\nnul=" + kShortFolder + "\\Long Driver Name.drv\r\n");
    EXPECT_EQ(RestartNeeded, 1);
}

struct SectionRow {
    const char* name;
    std::string before;   // "wininit.ini" before; empty: no file
    int result;
    std::string after;    // "wininit.ini" after
};

TEST_F(DeleteAtRestartTest, AppendsTheLineAfterTheEntriesOfTheRenameSection)
{
    const std::string line = "nul=" + kShortFolder + "\\a.drv";
    // Each entry "k=vvv...v" is followed by its NUL in the section list.
    auto section = [](size_t characters) {
        std::string text;
        size_t n = 0;
        while (characters - n > 200) {
            std::string entry = "k" + std::to_string(n) + "=" + std::string(98 - std::to_string(n).size() - 1, 'v');
            text += entry + "\r\n";
            n += entry.size() + 1;
        }
        text += "z=" + std::string(characters - n - 3, 'w') + "\r\n";
        return text;
    };
    const SectionRow rows[] = {
        {"no wininit.ini", "", 1, "[rename]\r\n" + line + "\r\n"},
        {"entries kept in their order", "[rename]\r\nNUL=C:\\old1.tmp\r\nC:\\new.sys=C:\\old.sys\r\n", 1,
         "[rename]\r\nNUL=C:\\old1.tmp\r\nC:\\new.sys=C:\\old.sys\r\n" + line + "\r\n"},
        {"other sections stay", "[other]\r\na=b\r\n", 1, "[other]\r\na=b\r\n[rename]\r\n" + line + "\r\n"},
        {"30000 characters: still room", "[rename]\r\n" + section(30000), 1,
         "[rename]\r\n" + section(30000) + line + "\r\n"},
        {"30001 characters: nothing written", "[rename]\r\n" + section(30001), 0,
         "[rename]\r\n" + section(30001)},
        {"40000 characters: nothing written", "[rename]\r\n" + section(40000), 0,
         "[rename]\r\n" + section(40000)},
    };
    for (const SectionRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(VER_PLATFORM_WIN32_WINDOWS);
        if (!row.before.empty())
            SetIniFile("wininit.ini", row.before);
        EXPECT_EQ(ScheduleDeleteAtRestart(kLongFolder.c_str(), "a.drv"), row.result);
        EXPECT_EQ(IniFile("wininit.ini"), row.after);
        EXPECT_EQ(RestartNeeded, row.result);
        EXPECT_EQ(Machine().heap.liveBlocks, 0);
    }
}

TEST_F(DeleteAtRestartTest, TheSameFileTwiceGivesTwoLines)
{
    Stage(VER_PLATFORM_WIN32_WINDOWS);
    ScheduleDeleteAtRestart(kLongFolder.c_str(), "a.drv");
    ScheduleDeleteAtRestart(kLongFolder.c_str(), "a.drv");
    const std::string line = "nul=" + kShortFolder + "\\a.drv\r\n";
    EXPECT_EQ(IniFile("wininit.ini"), "[rename]\r\n" + line + line);
}

struct FailRow {
    const char* name;
    DWORD line;
    std::string folder;
    std::string fileName;
    std::string failing;
};

TEST_F(DeleteAtRestartTest, ReturnsZeroAndLeavesRestartNeededWhenNothingIsScheduled)
{
    const FailRow rows[] = {
        {"missing folder, NT", VER_PLATFORM_WIN32_NT, "C:\\Nowhere", "a.drv", ""},
        {"missing folder, consumer", VER_PLATFORM_WIN32_WINDOWS, "C:\\Nowhere", "a.drv", ""},
        {"joined path too long", VER_PLATFORM_WIN32_NT, kLongFolder, std::string(240, 'n'), ""},
        {"MoveFileExA refused", VER_PLATFORM_WIN32_NT, kLongFolder, "a.drv", "MoveFileExA"},
        {"wininit.ini cannot be written", VER_PLATFORM_WIN32_WINDOWS, kLongFolder, "a.drv", "WritePrivateProfileSectionA"},
        {"no room for the section buffer", VER_PLATFORM_WIN32_WINDOWS, kLongFolder, "a.drv", "HeapAlloc"},
    };
    for (const FailRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line);
        if (!row.failing.empty())
            FailCall(row.failing);
        EXPECT_EQ(ScheduleDeleteAtRestart(row.folder.c_str(), row.fileName.c_str()), 0);
        EXPECT_EQ(RestartNeeded, 0);
        EXPECT_TRUE(Machine().disk.pendingDeletes.empty());
        EXPECT_EQ(IniFile("wininit.ini"), "");
        EXPECT_EQ(Machine().heap.liveBlocks, 0);
    }
    // An earlier success is not undone by a later failure.
    Stage(VER_PLATFORM_WIN32_NT);
    ScheduleDeleteAtRestart(kLongFolder.c_str(), "a.drv");
    EXPECT_EQ(ScheduleDeleteAtRestart("C:\\Nowhere", "a.drv"), 0);
    EXPECT_EQ(RestartNeeded, 1);
}

struct RecordRow {
    const char* name;
    DWORD line;
    std::string path;
    int isFolder;
    int result;
    std::vector<std::string> pending;  // MoveFileExA's records
    std::string wininit;
};

// The uninstaller's own leftovers: named for the restart like the driver, but no message speaks of
// them, so RestartNeeded stays as it was.
TEST_F(DeleteAtRestartTest, LeftoversAreRecordedWithoutRestartNeeded)
{
    const RecordRow rows[] = {
        {"NT, a file", VER_PLATFORM_WIN32_NT, kLongFolder + "\\a.drv", 0, 1, {kShortFolder + "\\a.drv"}, ""},
        {"NT, a folder: its parent in short form", VER_PLATFORM_WIN32_NT, kLongFolder, 1, 1,
         {"C:\\PROGRA~1\\Plexitone Drivers"}, ""},
        {"consumer, a file", VER_PLATFORM_WIN32_WINDOWS, kLongFolder + "\\a.drv", 0, 1, {},
         "[rename]\r\nnul=" + kShortFolder + "\\a.drv\r\n"},
        // wininit.ini deletes files only.
        {"consumer, a folder", VER_PLATFORM_WIN32_WINDOWS, kLongFolder, 1, 0, {}, ""},
        {"a drive's root", VER_PLATFORM_WIN32_NT, "C:\\", 1, 0, {}, ""},
    };
    for (const RecordRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line);
        EXPECT_EQ(RecordDeleteAtRestart(row.path.c_str(), row.isFolder), row.result);
        EXPECT_EQ(Machine().disk.pendingDeletes, row.pending);
        EXPECT_EQ(IniFile("wininit.ini"), row.wininit);
        EXPECT_EQ(RestartNeeded, 0);
    }
}

// The line decides everything that follows, so a version query that fails must end the process
// before a missing folder could end the call quietly with 0.
TEST(DeleteAtRestartDeathTest, AFailedVersionQueryEndsTheProcessBeforeAnyPathWork)
{
    for (DWORD line : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        SCOPED_TRACE(line);
        EXPECT_EXIT(
            {
                ResetProcess(line);
                ScriptAnswers({IDOK});
                FailCall("GetVersionExA");
                ScheduleDeleteAtRestart("C:\\Nowhere", "a.drv");
            },
            ::testing::ExitedWithCode(1), "File 10\\s+Line 37");
    }
}

}  // namespace
