// The program group in the user's start menu: its five shortcuts, its folder, nothing else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cleanup/start_menu.h"
#include "support/installation.h"
#include "support/machine_fixture.h"

namespace {

const std::string kGroup = std::string(kProgramsFolder) + "\\Plexitone";

struct GroupRow {
    const char* name;
    std::vector<std::string> files;  // in the group folder before the call
    bool groupExists;
    std::string failing;             // an operation that fails, or empty
    int result;
    std::vector<std::string> left;   // left in the group folder, the folder included
};

class StartMenuTest : public MachineTest {};

TEST_F(StartMenuTest, DeletesTheFiveShortcutsAndTheFolderWhenEmpty)
{
    const std::vector<std::string> all = ShortcutNames();
    const GroupRow rows[] = {
        {"complete group", all, true, "", 1, {}},
        {"group missing", {}, false, "", 1, {}},
        {"a user's file stays with the folder", {"Plexitone.lnk", "My notes.txt"}, true, "", 1,
         {kGroup, kGroup + "\\My notes.txt"}},
        {"some shortcuts already gone", {"Uninstall Plexitone.lnk"}, true, "", 1, {}},
        {"no allocator", all, true, "SHGetMalloc", 0, {}},
        {"no Programs folder", all, true, "SHGetSpecialFolderLocation", 0, {}},
        {"no path for the folder", all, true, "SHGetPathFromIDListA", 0, {}},
    };
    for (const GroupRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        if (row.groupExists)
            AddFolder(kGroup);
        for (const std::string& file : row.files)
            AddFile(kGroup + "\\" + file);
        if (!row.failing.empty())
            FailCall(row.failing);
        const std::vector<std::string> before = PathsUnder(kGroup);

        EXPECT_EQ(RemoveStartMenuGroup(), row.result);

        EXPECT_EQ(PathsUnder(kGroup), row.result == 0 ? before : row.left);
        EXPECT_EQ(Machine().shell.allocatorRefs, 0) << "the allocator was not released";
        EXPECT_EQ(Machine().shell.itemListsLive, 0) << "the item list was not freed";
    }
}

TEST_F(StartMenuTest, DeletesInTheInstallersOrderThenTheFolder)
{
    for (const std::string& name : ShortcutNames())
        AddFile(kGroup + "\\" + name);
    RemoveStartMenuGroup();
    std::vector<std::string> expected;
    for (const std::string& name : ShortcutNames())
        expected.push_back("DeleteFileA(" + kGroup + "\\" + name + ") = 1");
    expected.push_back("RemoveDirectoryA(" + kGroup + ") = 1");
    EXPECT_EQ(CallsOf({"DeleteFileA", "RemoveDirectoryA"}), expected);
}

TEST_F(StartMenuTest, LeavesTheGroupSharedByAllUsers)
{
    const std::string common = Machine().shell.commonProgramsFolder + "\\Plexitone";
    for (const std::string& name : ShortcutNames())
        AddFile(common + "\\" + name);
    EXPECT_EQ(RemoveStartMenuGroup(), 1);
    EXPECT_EQ(PathsUnder(common).size(), 6u);
}

TEST_F(StartMenuTest, AGroupPathThatWouldNotFitDeletesNothing)
{
    // 251 characters leave room for "\Plexitone" (10) only up to 249.
    const std::string programs = "C:\\" + std::string(246, 'p');  // 249
    Machine().shell.programsFolder = programs;
    AddFile(programs + "\\Plexitone\\Plexitone.lnk");
    EXPECT_EQ(RemoveStartMenuGroup(), 1);  // 249 + 10 = 259 fits exactly
    Machine().shell.programsFolder = programs + "q";
    AddFile(programs + "q\\Plexitone\\Plexitone.lnk");
    EXPECT_EQ(RemoveStartMenuGroup(), 0);
    EXPECT_TRUE(PathExists(programs + "q\\Plexitone\\Plexitone.lnk"));
}

TEST_F(StartMenuTest, DeleteFileInSkipsAPathThatWouldNotFit)
{
    const std::string folder = "C:\\" + std::string(250, 'd');  // 253
    AddFile(folder + "\\12345");  // 259: fits
    AddFile(folder + "\\123456");  // 260: does not
    DeleteFileIn(folder.c_str(), "12345");
    DeleteFileIn(folder.c_str(), "123456");
    EXPECT_FALSE(PathExists(folder + "\\12345"));
    EXPECT_TRUE(PathExists(folder + "\\123456"));
}

}  // namespace
