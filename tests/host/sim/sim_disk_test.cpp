// The simulated disk: deletion and removal refusals, names without case, short names, the
// system folder, delete-at-restart, and the C streams over its files.
#include <errno.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

const char kSentinel = '\x7F';

// C:\Apps holds a full folder, an empty one, a file in use and a plain file.
void BuildDisk(DWORD line = VER_PLATFORM_WIN32_NT)
{
    ResetMachine(line);
    AddFile("C:\\Apps\\Full\\a.txt", "a");
    AddFolder("C:\\Apps\\Empty");
    AddFile("C:\\Apps\\busy.dll");
    SetInUse("C:\\Apps\\busy.dll");
    AddFile("C:\\Apps\\tool.exe");
}

struct RemoveRow {
    const char* name;
    bool folder;  // RemoveDirectoryA, else DeleteFileA
    const char* path;
    BOOL result;
    DWORD error;
    const char* gone;  // a path that must be gone afterwards, or NULL
    const char* kept;  // a path that must still be there, or NULL
};

TEST(SimDisk, DeleteAndRemoveRefuseAsWindowsDoes)
{
    const RemoveRow rows[] = {
        {"folder not empty", true, "C:\\Apps\\Full", FALSE, ERROR_DIR_NOT_EMPTY, nullptr,
         "C:\\Apps\\Full\\a.txt"},
        {"empty folder, other case, trailing separator", true, "c:\\APPS\\empty\\", TRUE, 0,
         "C:\\Apps\\Empty", "C:\\Apps"},
        {"a file is no folder", true, "C:\\Apps\\tool.exe", FALSE, ERROR_DIRECTORY, nullptr,
         "C:\\Apps\\tool.exe"},
        {"missing folder", true, "C:\\Apps\\None", FALSE, ERROR_FILE_NOT_FOUND, nullptr, nullptr},
        {"missing parent", true, "C:\\None\\Sub", FALSE, ERROR_PATH_NOT_FOUND, nullptr, nullptr},
        {"file in use", false, "C:\\Apps\\busy.dll", FALSE, ERROR_SHARING_VIOLATION, nullptr,
         "C:\\Apps\\busy.dll"},
        {"forward slashes, other case", false, "c:/apps/TOOL.EXE", TRUE, 0, "C:\\Apps\\tool.exe",
         nullptr},
        {"a folder is no file", false, "C:\\Apps\\Empty", FALSE, ERROR_ACCESS_DENIED, nullptr,
         "C:\\Apps\\Empty"},
        {"missing file", false, "C:\\Apps\\none.txt", FALSE, ERROR_FILE_NOT_FOUND, nullptr,
         nullptr},
        {"file in missing folder", false, "C:\\None\\a.txt", FALSE, ERROR_PATH_NOT_FOUND, nullptr,
         nullptr},
    };
    for (const RemoveRow& row : rows) {
        SCOPED_TRACE(row.name);
        BuildDisk();
        SetLastError(0);
        BOOL result = row.folder ? RemoveDirectoryA(row.path) : DeleteFileA(row.path);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(GetLastError(), row.error);
        if (row.gone) {
            EXPECT_FALSE(PathExists(row.gone));
        }
        if (row.kept) {
            EXPECT_TRUE(PathExists(row.kept));
        }
    }
}

TEST(SimDisk, SecondDeletionOfAPathFailsByDeclaredFault)
{
    BuildDisk();
    AddFile("C:\\Apps\\x.txt");
    FailCall("DeleteFileA", 2, SimFaultError, "c:\\apps\\X.TXT");
    EXPECT_EQ(DeleteFileA("C:\\Apps\\tool.exe"), TRUE);  // another path does not count
    EXPECT_EQ(DeleteFileA("C:\\Apps\\x.txt"), TRUE);    // the first of this path goes through
    AddFile("C:\\Apps\\x.txt");
    EXPECT_EQ(DeleteFileA("C:\\Apps\\x.txt"), FALSE);   // the second is the fault
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(PathExists("C:\\Apps\\x.txt"));
    EXPECT_EQ(Machine().calls.back(), "DeleteFileA(C:\\Apps\\x.txt) = 0");
    EXPECT_EQ(DeleteFileA("C:\\Apps\\x.txt"), TRUE);   // the third goes through again
}

struct ShortRow {
    const char* name;
    const char* path;
    DWORD size;
    DWORD result;
    const char* text;  // NULL: the buffer stays untouched
    DWORD error;
};

TEST(SimDisk, ShortPathNamesReplaceEachLongComponent)
{
    const char* const kShort = "C:\\PROGRA~1\\PLEXIT~1";  // 20 characters
    const ShortRow rows[] = {
        {"long components", "C:\\Program Files\\Plexitone Audio", 260, 20, kShort, 0},
        {"other case, trailing separator kept", "c:\\program files\\", 260, 12, "c:\\PROGRA~1\\",
         0},
        {"already short", "C:\\WINDOWS\\system32", 260, 19, "C:\\WINDOWS\\system32", 0},
        {"fits exactly", "C:\\Program Files\\Plexitone Audio", 21, 20, kShort, 0},
        {"one too small", "C:\\Program Files\\Plexitone Audio", 20, 21, nullptr, 0},
        {"missing last component", "C:\\Program Files\\None", 260, 0, nullptr,
         ERROR_FILE_NOT_FOUND},
        {"missing folder on the way", "C:\\None\\Plexitone Audio", 260, 0, nullptr,
         ERROR_FILE_NOT_FOUND},  // Wine says so, where CreateFile would say path not found
    };
    for (const ShortRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_NT);
        AddFolder("C:\\Program Files\\Plexitone Audio");
        SetShortName("C:\\Program Files", "PROGRA~1");
        SetShortName("C:\\Program Files\\Plexitone Audio", "PLEXIT~1");
        SetLastError(0);
        char buffer[300];
        memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(GetShortPathNameA(row.path, buffer, row.size), row.result);
        EXPECT_EQ(GetLastError(), row.error);
        if (row.text) {
            EXPECT_STREQ(buffer, row.text);
        } else {
            EXPECT_EQ(buffer[0], kSentinel);
        }
    }
}

struct SystemFolderRow {
    const char* name;
    DWORD line;
    UINT size;
    UINT result;
    const char* text;  // NULL: the buffer stays untouched
};

TEST(SimDisk, SystemDirectoryByLineAndBufferSize)
{
    const DWORD nt = VER_PLATFORM_WIN32_NT, consumer = VER_PLATFORM_WIN32_WINDOWS;
    const SystemFolderRow rows[] = {
        {"NT line", nt, 260, 19, "C:\\WINDOWS\\system32"},
        {"fits exactly", nt, 20, 19, "C:\\WINDOWS\\system32"},
        {"one too small: size needed", nt, 19, 20, nullptr},
        {"consumer line", consumer, 260, 17, "C:\\WINDOWS\\SYSTEM"},
    };
    for (const SystemFolderRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(row.line);
        char buffer[300];
        memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(GetSystemDirectoryA(buffer, row.size), row.result);
        if (row.text) {
            EXPECT_STREQ(buffer, row.text);
            EXPECT_TRUE(IsFolder(row.text));
        } else {
            EXPECT_EQ(buffer[0], kSentinel);
        }
    }
}

struct MoveRow {
    const char* name;
    DWORD line;
    const char* path;
    BOOL result;
    DWORD error;
};

// Wine records a delayed deletion on either line and whether or not the file exists; the
// contract tests hold the simulation to that.
TEST(SimDisk, DeleteAtRestartIsRecordedAsWineRecordsIt)
{
    const MoveRow rows[] = {
        {"NT line", VER_PLATFORM_WIN32_NT, "C:\\Apps\\busy.dll", TRUE, 0},
        {"consumer line", VER_PLATFORM_WIN32_WINDOWS, "C:\\Apps\\busy.dll", TRUE, 0},
        {"missing file", VER_PLATFORM_WIN32_NT, "C:\\Apps\\none.dll", TRUE, 0},
    };
    for (const MoveRow& row : rows) {
        SCOPED_TRACE(row.name);
        BuildDisk(row.line);
        SetLastError(0);
        EXPECT_EQ(MoveFileExA(row.path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT), row.result);
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_EQ(Machine().disk.pendingDeletes,
                  row.result ? std::vector<std::string>{row.path} : std::vector<std::string>{});
        EXPECT_TRUE(PathExists("C:\\Apps\\busy.dll"));  // nothing goes before the restart
    }
}

std::string ReadAll(FILE* stream)
{
    std::string bytes;
    char chunk[4];
    size_t count;
    while ((count = fread(chunk, 1, sizeof chunk, stream)) > 0)
        bytes.append(chunk, count);
    return bytes;
}

TEST(SimStreams, OpenReadAndCloseAll)
{
    ResetMachine(VER_PLATFORM_WIN32_NT);
    AddFile("C:\\Apps\\log.dat", std::string("0123456789\0ab", 13));

    errno = 0;
    EXPECT_EQ(_fsopen("C:\\Apps\\none.dat", "rb", _SH_DENYNO), nullptr);
    EXPECT_EQ(errno, ENOENT);

    FILE* whole = _fsopen("c:\\apps\\LOG.DAT", "rb", _SH_DENYNO);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(ReadAll(whole), std::string("0123456789\0ab", 13));
    EXPECT_EQ(fseek(whole, 0, SEEK_END), 0);
    EXPECT_EQ(ftell(whole), 13);

    FailCall("_fsopen", 1, SimFaultShortRead);
    FILE* half = _fsopen("C:\\Apps\\log.dat", "rb", _SH_DENYNO);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(ReadAll(half), "012345");

    FailCall("_fsopen", 1, SimFaultError);
    EXPECT_EQ(_fsopen("C:\\Apps\\log.dat", "rb", _SH_DENYNO), nullptr);

    FILE* third = _fsopen("C:\\Apps\\log.dat", "rb", _SH_DENYNO);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(Machine().disk.openStreams, 3);
    EXPECT_EQ(fclose(half), 0);  // a plain fclose is counted as well
    EXPECT_EQ(Machine().disk.openStreams, 2);
    EXPECT_EQ(_fcloseall(), 2);
    EXPECT_EQ(Machine().disk.openStreams, 0);
    EXPECT_EQ(_fcloseall(), 0);
}

}  // namespace
