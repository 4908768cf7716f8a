// The simulated disk's own part: declared short names, each line's system folder, declared faults
// and the C streams' bookkeeping. What Windows does with files and folders is the contract's.
#include <errno.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

TEST(SimDisk, SecondDeletionOfAPathFailsByDeclaredFault)
{
    ResetMachine(VER_PLATFORM_WIN32_NT);
    AddFile("C:\\Apps\\tool.exe");
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
    const char* text;
};

TEST(SimDisk, ShortPathNamesReplaceEachDeclaredComponent)
{
    const ShortRow rows[] = {
        {"long components", "C:\\Program Files\\Plexitone Audio", "C:\\PROGRA~1\\PLEXIT~1"},
        {"already short", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32"},
    };
    for (const ShortRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_NT);
        AddFolder("C:\\Program Files\\Plexitone Audio");
        SetShortName("C:\\Program Files", "PROGRA~1");
        SetShortName("C:\\Program Files\\Plexitone Audio", "PLEXIT~1");
        char buffer[MAX_PATH];
        EXPECT_EQ(GetShortPathNameA(row.path, buffer, sizeof buffer), strlen(row.text));
        EXPECT_STREQ(buffer, row.text);
    }
}

TEST(SimDisk, EachLineHasItsSystemFolder)
{
    const struct {
        DWORD line;
        const char* folder;
    } rows[] = {
        {VER_PLATFORM_WIN32_NT, "C:\\WINDOWS\\system32"},
        {VER_PLATFORM_WIN32_WINDOWS, "C:\\WINDOWS\\SYSTEM"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        ResetMachine(row.line);
        char buffer[MAX_PATH];
        EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), strlen(row.folder));
        EXPECT_STREQ(buffer, row.folder);
        EXPECT_TRUE(IsFolder(row.folder));
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
