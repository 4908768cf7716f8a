// Every rule of the log format: what is accepted, with which entries, and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_builder.h"
#include "support/machine_fixture.h"
#include "uninstall_log/log_loader.h"

namespace {

const char kLogPath[] = "C:\\Program Files\\Plexitone\\_pxunins.dat";

// The list's entries from oldest to newest, as "F path" and "D path".
std::vector<std::string> Entries(const RemovalList& list)
{
    std::vector<std::string> entries;
    for (RemovalNode* node = list.oldest; node != NULL; node = node->newer)
        entries.push_back(std::string(node->entry->kind == EntryKindFile ? "F " : "D ") +
                          node->entry->path);
    return entries;
}

struct LogRow {
    const char* name;
    std::string bytes;
    int result;
    std::vector<std::string> entries;
};

class LoadUninstallLogTest : public MachineTest {
  protected:
    void TearDown() override
    {
        ClearRemovalList(&list);
        EXPECT_EQ(Machine().heap.liveBlocks, 0) << "blocks leaked";
        EXPECT_EQ(Machine().disk.openStreams, 0) << "the log stream was left open";
        MachineTest::TearDown();
    }
    RemovalList list = {NULL, NULL};
};

TEST_F(LoadUninstallLogTest, AcceptsSoundLogsAndRefusesEveryBrokenRule)
{
    const std::string p259(259, 'p');
    const std::string p260(260, 'p');
    const LogRow rows[] = {
        {"count 0", LogBuilder().Header(0).Bytes(), 1, {}},
        {"count 0 with bytes after", LogBuilder().Header(0).File("C:\\x").Bytes(), 1, {}},
        {"negative count", LogBuilder().Header(-5).File("C:\\x").Bytes(), 1, {}},
        {"folder then file", LogBuilder().Header(2).Folder("C:\\X").File("C:\\X\\a.txt").Bytes(),
         1, {"D C:\\X", "F C:\\X\\a.txt"}},
        {"count 2 of three entries", LogBuilder().Header(2).File("a").File("b").File("c").Bytes(),
         1, {"F a", "F b"}},
        {"count 2 and garbage after", LogBuilder().Header(2).File("a").File("b").Text("\xFF\x01").Bytes(),
         1, {"F a", "F b"}},
        {"path of 259", LogBuilder().Header(1).File(p259).Bytes(), 1, {"F " + p259}},
        {"path of 1", LogBuilder().Header(1).File("a").Bytes(), 1, {"F a"}},
        {"same path twice", LogBuilder().Header(2).File("a").File("a").Bytes(), 1, {"F a", "F a"}},
        {"NUL inside a path ends it", LogBuilder().Header(1).Entry(0, std::string("ab\0cd", 5)).Bytes(),
         1, {"F ab"}},
        {"11 bytes", LogBuilder().Header(0).Bytes().substr(0, 11), 0, {}},
        {"empty file", "", 0, {}},
        {"magic reversed", LogBuilder().Word(0xE0AA4957u).Word(0).Word(0).Bytes(), 0, {}},
        {"second word 1", LogBuilder().Word(0x5749AAE0u).Word(1).Word(0).Bytes(), 0, {}},
        {"kind 2", LogBuilder().Header(1).Entry(2, "a").Bytes(), 0, {}},
        {"kind 0xFFFFFFFF", LogBuilder().Header(1).Entry(0xFFFFFFFFu, "a").Bytes(), 0, {}},
        {"path length 0", LogBuilder().Header(1).Word(0).Word(0).Bytes(), 0, {}},
        {"path length -1", LogBuilder().Header(1).Word(0).Word(0xFFFFFFFFu).Text("a").Bytes(), 0, {}},
        {"path length 260", LogBuilder().Header(1).File(p260).Bytes(), 0, {}},
        {"count 3 of two entries", LogBuilder().Header(3).File("a").File("b").Bytes(), 0, {}},
        {"ends inside a path", LogBuilder().Header(1).Word(0).Word(10).Text("abc").Bytes(), 0, {}},
        {"ends after a kind", LogBuilder().Header(1).Word(0).Bytes(), 0, {}},
        {"second entry refused", LogBuilder().Header(2).File("a").Entry(7, "b").Bytes(), 0, {}},
    };
    for (const LogRow& row : rows) {
        SCOPED_TRACE(row.name);
        ClearRemovalList(&list);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        AddFile(kLogPath, row.bytes);
        EXPECT_EQ(LoadUninstallLog(&list, kLogPath), row.result);
        EXPECT_EQ(Entries(list), row.entries);
        // The log is only read.
        EXPECT_EQ(FileData(kLogPath), row.bytes);
    }
}

TEST_F(LoadUninstallLogTest, AMissingLogIsRefused)
{
    EXPECT_EQ(LoadUninstallLog(&list, kLogPath), 0);
    EXPECT_EQ(list.oldest, nullptr);
}

TEST_F(LoadUninstallLogTest, ALoadReplacesWhatTheListHeldAndAFailedOneLeavesItEmpty)
{
    AddFile(kLogPath, LogBuilder().Header(2).File("old1").File("old2").Bytes());
    ASSERT_EQ(LoadUninstallLog(&list, kLogPath), 1);

    AddFile(kLogPath, LogBuilder().Header(1).Folder("new").Bytes());
    EXPECT_EQ(LoadUninstallLog(&list, kLogPath), 1);
    EXPECT_EQ(Entries(list), std::vector<std::string>{"D new"});

    AddFile(kLogPath, LogBuilder().Header(1).Entry(3, "bad").Bytes());
    EXPECT_EQ(LoadUninstallLog(&list, kLogPath), 0);
    EXPECT_EQ(list.oldest, nullptr);
    EXPECT_EQ(list.newest, nullptr);
}

struct FaultRow {
    const char* name;
    std::string operation;
    int occurrence;
    SimFaultKind kind;
};

TEST_F(LoadUninstallLogTest, RefusesTheWholeLogWhenTheHeapOrTheStreamFails)
{
    // Three entries: allocations go entry, path, node for each, in this order.
    const std::string log = LogBuilder().Header(3).File("a").File("b").File("c").Bytes();
    const FaultRow rows[] = {
        {"first entry", "HeapAlloc", 1, SimFaultError},
        {"first path block", "HeapAlloc", 2, SimFaultError},
        {"first node", "HeapAlloc", 3, SimFaultError},
        {"last entry", "HeapAlloc", 7, SimFaultError},
        {"last path block", "HeapAlloc", 8, SimFaultError},
        {"last node: no log accepted with an entry missing", "HeapAlloc", 9, SimFaultError},
        {"log cannot be opened", "_fsopen", 1, SimFaultError},
        {"short read", "_fsopen", 1, SimFaultShortRead},
    };
    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        AddFile(kLogPath, log);
        FailCall(row.operation, row.occurrence, row.kind);
        EXPECT_EQ(LoadUninstallLog(&list, kLogPath), 0);
        EXPECT_EQ(list.oldest, nullptr);
        EXPECT_EQ(Machine().heap.liveBlocks, 0) << "a refused entry or its path leaked";
    }
}

}  // namespace
