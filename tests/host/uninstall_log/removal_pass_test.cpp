// The removal pass: newest first, one report per entry, failures left alone, list emptied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/memory.h"
#include "support/installation.h"
#include "support/machine_fixture.h"
#include "uninstall_log/removal_list.h"

namespace {

struct Report {
    std::string name;
    double fraction;
};
std::vector<Report> reports;

void RecordReport(const char* name, double fraction)
{
    reports.push_back({name != NULL ? name : "(null)", fraction});
}

class RemovalPassTest : public MachineTest {
  protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        reports.clear();
    }
    void TearDown() override
    {
        ClearRemovalList(&list);
        EXPECT_EQ(Machine().heap.liveBlocks, 0);
        MachineTest::TearDown();
    }
    void Add(EntryKind kind, const std::string& path)
    {
        RemovalEntry* entry = (RemovalEntry*)AllocTagged(10, 51, sizeof(RemovalEntry), 1);
        entry->kind = kind;
        entry->holder = NULL;
        entry->path = (char*)AllocTagged(10, 58, path.size() + 1, 1);
        memcpy(entry->path, path.c_str(), path.size() + 1);
        ASSERT_EQ(AddEntry(&list, entry), 1);
    }
    RemovalList list = {NULL, NULL};
};

TEST_F(RemovalPassTest, RemovesNewestFirstAndReportsEachEntryWithItsFraction)
{
    AddFolder("C:\\App");
    for (const char* name : {"A", "B", "C", "D"})
        AddFile(std::string("C:\\App\\") + name);
    for (const char* name : {"A", "B", "C", "D"})
        Add(EntryKindFile, std::string("C:\\App\\") + name);

    RunRemovalPass(&list, RecordReport);

    ASSERT_EQ(reports.size(), 4u);
    const char* order[] = {"C:\\App\\D", "C:\\App\\C", "C:\\App\\B", "C:\\App\\A"};
    const double fractions[] = {0.0, 0.25, 0.5, 0.75};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(reports[i].name, order[i]);
        EXPECT_DOUBLE_EQ(reports[i].fraction, fractions[i]);
    }
    EXPECT_EQ(CallsOf({"DeleteFileA"}),
              (std::vector<std::string>{"DeleteFileA(C:\\App\\D) = 1", "DeleteFileA(C:\\App\\C) = 1",
                                        "DeleteFileA(C:\\App\\B) = 1", "DeleteFileA(C:\\App\\A) = 1"}));
    EXPECT_EQ(PathsUnder("C:\\App"), std::vector<std::string>{"C:\\App"});
    EXPECT_EQ(list.oldest, nullptr);
    EXPECT_EQ(list.newest, nullptr);
}

struct OrderRow {
    const char* name;
    std::vector<std::pair<EntryKind, std::string>> log;
    std::vector<std::string> left;  // under C:\\App, then the files of otherDrives still there
    std::vector<std::string> otherDrives;  // files staged outside drive C:
};

TEST_F(RemovalPassTest, AFolderGoesOnlyWhenItIsEmptyAtItsTurn)
{
    const OrderRow rows[] = {
        {"folder before its files", {{EntryKindDirectory, "C:\\App\\Sub"}, {EntryKindFile, "C:\\App\\Sub\\a"}, {EntryKindFile, "C:\\App\\Sub\\b"}},
         {"C:\\App", "C:\\App\\keep.txt"}},
        {"folder after its files", {{EntryKindFile, "C:\\App\\Sub\\a"}, {EntryKindFile, "C:\\App\\Sub\\b"}, {EntryKindDirectory, "C:\\App\\Sub"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\keep.txt"}},
        {"same file twice", {{EntryKindFile, "C:\\App\\Sub\\a"}, {EntryKindFile, "C:\\App\\Sub\\a"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\b", "C:\\App\\keep.txt"}},
        {"a folder holding a file not logged", {{EntryKindDirectory, "C:\\App"}, {EntryKindDirectory, "C:\\App\\Sub"}, {EntryKindFile, "C:\\App\\Sub\\a"}, {EntryKindFile, "C:\\App\\Sub\\b"}},
         {"C:\\App", "C:\\App\\keep.txt"}},
        {"a file in use stays", {{EntryKindDirectory, "C:\\App\\Sub"}, {EntryKindFile, "C:\\App\\Sub\\a"}, {EntryKindFile, "C:\\App\\Sub\\inuse"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\b", "C:\\App\\Sub\\inuse", "C:\\App\\keep.txt"}},
        {"logged with other case", {{EntryKindFile, "c:\\app\\sub\\A"}, {EntryKindFile, "C:\\APP\\SUB\\B"}, {EntryKindDirectory, "c:\\App\\Sub"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\keep.txt"}},
        {"forward slashes make a full path", {{EntryKindDirectory, "C:/App/Sub"}, {EntryKindFile, "c:/app/sub/a"}, {EntryKindFile, "C:/App/Sub/b"}},
         {"C:\\App", "C:\\App\\keep.txt"}},
        // The working folder is C:\App\Sub: each of these would name a file there.
        {"paths that are not full stay", {{EntryKindFile, "a"}, {EntryKindFile, "\\App\\Sub\\b"}, {EntryKindFile, "C:a"}, {EntryKindFile, "./b"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt"}},
        // Z: is Wine's drive of the whole file system, and often a network drive on Windows.
        {"full paths on the first and last drive letters in either case",
         {{EntryKindFile, "A:\\Edge\\a"}, {EntryKindFile, "a:\\Edge\\b"}, {EntryKindFile, "Z:\\Edge\\a"}, {EntryKindFile, "z:\\Edge\\b"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt"},
         {"A:\\Edge\\a", "A:\\Edge\\b", "Z:\\Edge\\a", "Z:\\Edge\\b"}},
    };
    for (const OrderRow& row : rows) {
        SCOPED_TRACE(row.name);
        ClearRemovalList(&list);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        AddFile("C:\\App\\keep.txt");
        AddFile("C:\\App\\Sub\\a");
        AddFile("C:\\App\\Sub\\b");
        if (std::string(row.name) == "a file in use stays") {
            AddFile("C:\\App\\Sub\\inuse");
            SetInUse("C:\\App\\Sub\\inuse");
        }
        for (const std::string& path : row.otherDrives)
            AddFile(path);
        Machine().disk.currentFolder = "C:\\App\\Sub";
        for (const auto& entry : row.log)
            Add(entry.first, entry.second);
        reports.clear();
        RunRemovalPass(&list, RecordReport);
        std::vector<std::string> left = PathsUnder("C:\\App");
        for (const std::string& path : row.otherDrives)
            if (PathExists(path))
                left.push_back(path);
        EXPECT_EQ(left, row.left);
        EXPECT_EQ(reports.size(), row.log.size()) << "every entry is reported, removed or not";
        EXPECT_EQ(list.oldest, nullptr);
    }
}

TEST_F(RemovalPassTest, AnEmptyListReportsNothing)
{
    RunRemovalPass(&list, RecordReport);
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(CallsOf({"DeleteFileA", "RemoveDirectoryA"}).empty());
}

TEST_F(RemovalPassTest, ASingleEntryIsReportedAtZero)
{
    Add(EntryKindFile, "C:\\gone.txt");
    RunRemovalPass(&list, RecordReport);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].name, "C:\\gone.txt");
    EXPECT_EQ(reports[0].fraction, 0.0);
}

TEST_F(RemovalPassTest, ANodeThatCannotBeAllocatedLeavesTheEntryToTheCaller)
{
    RemovalEntry entry = {EntryKindFile, NULL, NULL};
    FailCall("HeapAlloc");
    EXPECT_EQ(AddEntry(&list, &entry), 0);
    EXPECT_EQ(list.oldest, nullptr);
    EXPECT_EQ(entry.holder, nullptr);
}

void AddTheSameEntryTwice()
{
    ResetProcess(VER_PLATFORM_WIN32_NT);
    ScriptAnswers({IDOK});
    RemovalList list = {NULL, NULL};
    RemovalEntry first = {EntryKindFile, (char*)"a", NULL};
    RemovalEntry second = {EntryKindFile, (char*)"b", NULL};
    AddEntry(&list, &first);
    AddEntry(&list, &second);
    AddEntry(&list, &first);
}

TEST(RemovalListDeathTest, TheSameEntryAddedTwiceIsAnInternalError)
{
    EXPECT_EXIT(AddTheSameEntryTwice(), ::testing::ExitedWithCode(1), "File 10\\s+Line 664");
}

}  // namespace
