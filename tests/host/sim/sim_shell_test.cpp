// The simulated shell: its allocator's references, the item lists and their paths.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

struct FolderRow {
    const char* name;
    int csidl;
    const char* failing;  // the operation made to fail, or NULL
    HRESULT location;     // SHGetSpecialFolderLocation's result
    BOOL converted;       // SHGetPathFromIDListA's result
    std::string path;
};

TEST(SimShell, ProgramsFoldersThroughItemListsAndTheAllocator)
{
    ResetMachine(VER_PLATFORM_WIN32_NT);
    const std::string user = Machine().shell.programsFolder;
    const std::string common = Machine().shell.commonProgramsFolder;
    const FolderRow rows[] = {
        {"user's Programs", CSIDL_PROGRAMS, nullptr, S_OK, TRUE, user},
        {"common Programs", CSIDL_COMMON_PROGRAMS, nullptr, S_OK, TRUE, common},
        {"other folder", 0x0005, nullptr, E_INVALIDARG, FALSE, ""},
        {"location fails", CSIDL_PROGRAMS, "SHGetSpecialFolderLocation", E_FAIL, FALSE, ""},
        {"path fails", CSIDL_PROGRAMS, "SHGetPathFromIDListA", S_OK, FALSE, ""},
    };
    for (const FolderRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_NT);
        if (row.failing)
            FailCall(row.failing);
        LPMALLOC allocator = nullptr;
        ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
        EXPECT_EQ(Machine().shell.allocatorRefs, 1);
        LPITEMIDLIST list = (LPITEMIDLIST)1;
        EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, row.csidl, &list), row.location);
        EXPECT_EQ(list != nullptr, row.location == S_OK);
        EXPECT_EQ(Machine().shell.itemListsLive, row.location == S_OK ? 1 : 0);
        char path[MAX_PATH] = "unchanged";
        EXPECT_EQ(SHGetPathFromIDListA(list, path), row.converted);
        EXPECT_EQ(std::string(path), row.path);
        allocator->Free(list);
        allocator->Release();
        EXPECT_EQ(Machine().shell.itemListsLive, 0);
        EXPECT_EQ(Machine().shell.allocatorRefs, 0);
        EXPECT_EQ(Machine().shell.foreignFrees, 0);
    }
}

TEST(SimShell, FreeingAnItemListTwiceIsCounted)
{
    ResetMachine(VER_PLATFORM_WIN32_NT);
    LPMALLOC allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, &list), S_OK);
    allocator->Free(list);
    allocator->Free(list);
    allocator->Release();
    EXPECT_EQ(Machine().shell.foreignFrees, 1);
    EXPECT_EQ(Machine().shell.itemListsLive, 0);
}

}  // namespace
