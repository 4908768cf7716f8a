// The removal pass: newest first, one report per entry, failures left alone, list emptied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/process_state.h"
#include "support/installation.h"
#include "support/machine_fixture.h"
#include "support/log_builder.h"
#include "uninstall_log/log_loader.h"
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
        strcpy(InstallDir, "C:\\App\\");
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
    std::vector<std::string> left;  // under C:\\App but the log, then the files of outside still there
    std::vector<std::string> outside;  // files staged outside the installation folder
    void (*arrange)() = nullptr;       // links, rights, volumes; after the files are staged
    const char* installDir = "C:\\App\\";
    DWORD line = VER_PLATFORM_WIN32_NT;
    RemovalOutcome outcome = {0, 0};   // entries still there, entries not followed
    const char* logAt = nullptr;       // where the log lies when a link leads there; its folder's
    void (*afterLoad)() = nullptr;     // what changes between the log's reading and the pass
};

const std::vector<std::string> kAppStaged = {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\a",
                                             "C:\\App\\Sub\\b", "C:\\App\\keep.txt"};
const std::vector<std::string> kAppWithoutA = {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\b",
                                               "C:\\App\\keep.txt"};
const std::vector<std::string> kOutsideLeft = {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\b",
                                               "C:\\App\\keep.txt", "C:\\Elsewhere\\a"};
std::vector<std::string> Plus(std::vector<std::string> paths, const std::vector<std::string>& more)
{
    paths.insert(paths.end(), more.begin(), more.end());
    return paths;
}
// A file outside the installation folder and one in it, as a log rewritten by another user
// would list them.
const std::vector<std::pair<EntryKind, std::string>> kOutsideAndIn = {
    {EntryKindFile, "C:\\Elsewhere\\a"}, {EntryKindFile, "C:\\App\\Sub\\a"}};
const char kEveryone[] = "S-1-1-0";
const char kUsers[] = "S-1-5-32-545";

// What Windows XP gives Program Files and what is made in it: Power Users may change it there,
// and what is made inside passes to its maker.
SimSecurity ProgramFilesSecurity()
{
    const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    SimSecurity security;
    security.owner = "S-1-5-32-544";
    security.dacl = {{"S-1-5-32-544", FILE_ALL_ACCESS, inherited, ACCESS_ALLOWED_ACE_TYPE},
                     {"S-1-5-18", FILE_ALL_ACCESS, inherited, ACCESS_ALLOWED_ACE_TYPE},
                     {"S-1-5-32-547", 0x001301BF, inherited, ACCESS_ALLOWED_ACE_TYPE},
                     {"S-1-5-32-545", 0x001200A9, inherited, ACCESS_ALLOWED_ACE_TYPE},
                     {"S-1-3-0", GENERIC_ALL, (BYTE)(inherited | INHERIT_ONLY_ACE), ACCESS_ALLOWED_ACE_TYPE}};
    return security;
}

// Those rights with one more entry.
SimSecurity WithAce(BYTE type, BYTE flags, DWORD mask, const char* sid)
{
    SimSecurity security = ProgramFilesSecurity();
    security.dacl.push_back({sid, mask, flags, type});
    return security;
}

SimSecurity OwnedBy(const std::string& owner)
{
    SimSecurity security = ProgramFilesSecurity();
    security.owner = owner;
    return security;
}

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
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\b", "C:\\App\\Sub\\inuse", "C:\\App\\keep.txt"}, {}, nullptr,
         "C:\\App\\", VER_PLATFORM_WIN32_NT, {1, 0}},
        // A second run finds what the first removed gone, folders on the way included: nothing stays.
        {"entries already gone", {{EntryKindDirectory, "C:\\App\\Gone"}, {EntryKindFile, "C:\\App\\Gone\\x"}, {EntryKindFile, "C:\\App\\Sub\\gone"}},
         kAppStaged},
        {"logged with other case", {{EntryKindFile, "c:\\app\\sub\\A"}, {EntryKindFile, "C:\\APP\\SUB\\B"}, {EntryKindDirectory, "c:\\App\\Sub"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\keep.txt"}},
        {"forward slashes make a full path", {{EntryKindDirectory, "C:/App/Sub"}, {EntryKindFile, "c:/app/sub/a"}, {EntryKindFile, "C:/App/Sub/b"}},
         {"C:\\App", "C:\\App\\keep.txt"}},
        // The working folder is C:\App\Sub: each of these would name a file there.
        {"paths that are not full stay", {{EntryKindFile, "a"}, {EntryKindFile, "\\App\\Sub\\b"}, {EntryKindFile, "C:a"}, {EntryKindFile, "./b"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt"}, {},
         [] { Machine().disk.currentFolder = "C:\\App\\Sub"; }},
        // The installation folder, the working folder too, refuses removal while the run is in it.
        {"the installation folder is the copy's to remove", {{EntryKindDirectory, "C:\\App"}, {EntryKindFile, "C:\\App\\keep.txt"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b"}},
        // Z: is Wine's drive of the whole file system, and often a network drive on Windows.
        {"full paths on the first and last drive letters in either case",
         {{EntryKindFile, "A:\\Edge\\a"}, {EntryKindFile, "a:\\Edge\\b"}, {EntryKindFile, "Z:\\Edge\\a"}, {EntryKindFile, "z:\\Edge\\b"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt"},
         {"A:\\Edge\\a", "A:\\Edge\\b", "Z:\\Edge\\a", "Z:\\Edge\\b"}},
        // The characters just before and after each range of letters are no drive letters.
        {"no drive letter but a letter makes a full path",
         {{EntryKindFile, "@:\\Edge\\a"}, {EntryKindFile, "[:\\Edge\\a"}, {EntryKindFile, "`:\\Edge\\a"}, {EntryKindFile, "{:\\Edge\\a"}},
         Plus(kAppStaged, {"@:\\Edge\\a", "[:\\Edge\\a", "`:\\Edge\\a", "{:\\Edge\\a"}),
         {"@:\\Edge\\a", "[:\\Edge\\a", "`:\\Edge\\a", "{:\\Edge\\a"}},

        // Links: another folder's files of the same names stay; a folder entry that is a link
        // stays, and so does the folder it leads to.
        {"a link below the installation folder is not passed",
         {{EntryKindDirectory, "C:\\App\\Linked"}, {EntryKindFile, "C:\\App\\Linked\\a"}, {EntryKindFile, "C:\\App\\Linked\\b"}},
         {"C:\\App", "C:\\App\\Linked", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt",
          "C:\\Elsewhere\\a", "C:\\Elsewhere\\b"}, {"C:\\Elsewhere\\a", "C:\\Elsewhere\\b"},
         [] { AddLink("C:\\App\\Linked", "C:\\Elsewhere"); }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 3}},
        {"a folder entry that is a link to an empty folder",
         {{EntryKindDirectory, "C:\\App\\Linked"}},
         {"C:\\App", "C:\\App\\Linked", "C:\\App\\Sub", "C:\\App\\Sub\\Empty", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt"},
         {}, [] { AddFolder("C:\\App\\Sub\\Empty"); AddLink("C:\\App\\Linked", "C:\\App\\Sub\\Empty"); },
         "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        // The walk holds C:\\App\\Sub for the file; a link of the same length is no held folder.
        {"a folder entry that is a link, after a held folder of its length",
         {{EntryKindDirectory, "C:\\App\\Suc"}, {EntryKindFile, "C:\\App\\Sub\\a"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\Empty", "C:\\App\\Sub\\b", "C:\\App\\Suc", "C:\\App\\keep.txt"},
         {}, [] { AddFolder("C:\\App\\Sub\\Empty"); AddLink("C:\\App\\Suc", "C:\\App\\Sub\\Empty"); },
         "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"a plain folder entry the walk held goes",
         {{EntryKindDirectory, "C:\\App\\Sub\\Deep"}, {EntryKindFile, "C:\\App\\Sub\\Deep\\x"}},
         kAppStaged, {}, [] { AddFile("C:\\App\\Sub\\Deep\\x"); }},
        {"a link two levels down is not passed",
         {{EntryKindFile, "C:\\App\\Sub\\Deep\\a"}, {EntryKindFile, "C:\\App\\Sub\\b"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\Sub\\Deep", "C:\\App\\Sub\\a", "C:\\App\\keep.txt", "C:\\Elsewhere\\a"},
         {"C:\\Elsewhere\\a"}, [] { AddLink("C:\\App\\Sub\\Deep", "C:\\Elsewhere"); }, "C:\\App\\",
         VER_PLATFORM_WIN32_NT, {0, 1}},
        {"a link reached by dot-dot is not passed",
         {{EntryKindFile, "C:\\App\\Sub\\..\\Linked\\.\\a"}},
         {"C:\\App", "C:\\App\\Linked", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt", "C:\\Elsewhere\\a"},
         {"C:\\Elsewhere\\a"}, [] { AddLink("C:\\App\\Linked", "C:\\Elsewhere"); }, "C:\\App\\",
         VER_PLATFORM_WIN32_NT, {0, 1}},
        // Another user's program puts the link in between the look and the deletion.
        {"a folder swapped for a link while its files go",
         {{EntryKindFile, "C:\\App\\Sub\\a"}, {EntryKindFile, "C:\\App\\Sub\\b"}},
         {"C:\\App", "C:\\App\\Sub", "C:\\App\\keep.txt", "C:\\Elsewhere\\a", "C:\\Elsewhere\\b"},
         {"C:\\Elsewhere\\a", "C:\\Elsewhere\\b"},
         [] { SwapFolderForLink("DeleteFileA", "C:\\App\\Sub\\b", "C:\\App\\Sub", "C:\\Elsewhere"); }},
        {"a link above the installation folder is the user's",
         {{EntryKindFile, "C:\\Apps\\Tool\\x"}}, kAppStaged, {"C:\\Real\\Tool\\x"},
         [] { AddFile("C:\\Real\\Tool\\_pxunins.dat"); AddLink("C:\\Apps", "C:\\Real"); }, "C:\\Apps\\Tool\\",
         VER_PLATFORM_WIN32_NT, {0, 0}, "C:\\Real\\Tool\\_pxunins.dat"},
        {"the installation folder itself a link is the user's",
         {{EntryKindFile, "C:\\Linked\\a"}}, kAppStaged, {"C:\\Elsewhere\\a"},
         [] { AddFile("C:\\Elsewhere\\_pxunins.dat"); AddLink("C:\\Linked", "C:\\Elsewhere"); }, "C:\\Linked\\",
         VER_PLATFORM_WIN32_NT, {0, 0}, "C:\\Elsewhere\\_pxunins.dat"},
        {"a link under the installation folder on the consumer line",
         {{EntryKindFile, "C:\\App\\Linked\\a"}},
         {"C:\\App", "C:\\App\\Linked", "C:\\App\\Sub", "C:\\App\\Sub\\a", "C:\\App\\Sub\\b", "C:\\App\\keep.txt", "C:\\Elsewhere\\a"},
         {"C:\\Elsewhere\\a"},
         [] { AddLink("C:\\App\\Linked", "C:\\Elsewhere"); }, "C:\\App\\", VER_PLATFORM_WIN32_WINDOWS, {0, 1}},

        // The log's trust: beyond the installation folder only a log no one else could change.
        {"a trusted log goes as listed", kOutsideAndIn, kAppWithoutA, {"C:\\Elsewhere\\a"}},
        {"the folder writable by everyone", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, 0x001301BF, kEveryone)); }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"the log writable by users", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App\\_pxunins.dat", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, FILE_APPEND_DATA, kUsers)); }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"users given generic write", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, GENERIC_WRITE, kUsers)); }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"users who may change the rights", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App\\_pxunins.dat", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, WRITE_DAC, kUsers)); }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"write for everyone only passed on to what is made inside", kOutsideAndIn, kAppWithoutA, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", WithAce(ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE, GENERIC_ALL, kEveryone)); }},
        {"write denied to everyone", kOutsideAndIn, kAppWithoutA, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", WithAce(ACCESS_DENIED_ACE_TYPE, 0, FILE_ALL_ACCESS, kEveryone)); }},
        {"an entry of a kind not understood", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", WithAce(5, 0, FILE_GENERIC_READ, kUsers)); },  // ACCESS_ALLOWED_OBJECT_ACE_TYPE
         "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"no DACL", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SimSecurity none = ProgramFilesSecurity(); none.hasDacl = false; SetSecurity("C:\\App\\_pxunins.dat", none); }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"owned by another administrator", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", OwnedBy("S-1-5-21-1004336348-1177238915-682003330-1005")); }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"owned by the user uninstalling", kOutsideAndIn, kAppWithoutA, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App\\_pxunins.dat", OwnedBy(Machine().objects.userSid)); }},
        {"owned by SYSTEM", kOutsideAndIn, kAppWithoutA, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", OwnedBy("S-1-5-18")); }},
        // XP's own Program Files lets Power Users change it: they count as administrators there.
        {"Power Users may change it on Vista", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { Machine().process.majorVersion = 6; Machine().process.minorVersion = 0; }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"Power Users may change it on Windows 2000", kOutsideAndIn, kAppWithoutA, {"C:\\Elsewhere\\a"},
         [] { Machine().process.majorVersion = 5; Machine().process.minorVersion = 0; }},
        {"on FAT", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { Machine().disk.volumes["c:\\"] = {DRIVE_FIXED, FS_CASE_IS_PRESERVED, "FAT32"}; }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"on a network drive", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { Machine().disk.volumes["c:\\"] = {DRIVE_REMOTE, FS_CASE_IS_PRESERVED | FS_PERSISTENT_ACLS, "NTFS"}; }, "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"on a network share", {{EntryKindFile, "C:\\Elsewhere\\a"}, {EntryKindFile, "\\\\server\\share\\App\\x"}},
         Plus(kAppStaged, {"C:\\Elsewhere\\a"}), {"C:\\Elsewhere\\a"},
         [] { AddFile("\\\\server\\share\\App\\x"); AddFile("\\\\server\\share\\App\\_pxunins.dat"); },
         "\\\\server\\share\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"dot-dot out of an untrusted installation folder",
         {{EntryKindFile, "C:\\App\\Sub\\..\\..\\Elsewhere\\a"}, {EntryKindFile, "C:\\App\\Sub\\..\\Sub\\a"}},
         kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, FILE_WRITE_DATA, kEveryone)); }, "C:\\App\\",
         VER_PLATFORM_WIN32_NT, {0, 1}},
        // Whoever may change the log's rights may have written it while they let him, then restored
        // them: the rights judged are those of the file as it was read.
        {"the log's rights restored after it was read", kOutsideAndIn, kOutsideLeft, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App\\_pxunins.dat", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, FILE_WRITE_DATA, kUsers)); },
         "C:\\App\\", VER_PLATFORM_WIN32_NT, {0, 1}, nullptr,
         [] { SetSecurity("C:\\App\\_pxunins.dat", ProgramFilesSecurity()); }},
        // Code page 932: 83 41 and 83 61 are two folders; only the letters A-Z fold.
        {"another double-byte folder is outside an untrusted one",
         {{EntryKindFile, "C:\\Program Files\\\x83\x61\\a"}}, Plus(kAppStaged, {"C:\\Program Files\\\x83\x61\\a"}),
         {"C:\\Program Files\\\x83\x61\\a"},
         [] { Machine().process.doubleByteCodePage = true; AddFile("C:\\Program Files\\\x83\x41\\_pxunins.dat");
              SetSecurity("C:\\Program Files\\\x83\x41", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, FILE_WRITE_DATA, kEveryone)); },
         "C:\\Program Files\\\x83\x41\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        // Code page 932: 95 5C is one character, and the folder below named by it is walked whole.
        {"a double-byte folder below whose trail byte is 0x5C",
         {{EntryKindDirectory, "C:\\App\\\x95\x5C"}, {EntryKindFile, "C:\\App\\\x95\x5C\\a"}}, kAppStaged, {},
         [] { Machine().process.doubleByteCodePage = true; AddFile("C:\\App\\\x95\x5C\\a"); }},
        // Code page 932: a folder ending in 95 5C (a kanji whose trail byte is the separator's) is no
        // prefix of a sibling that starts with the same character.
        {"a sibling of a folder ending in a trail byte of 0x5C is outside it",
         {{EntryKindFile, "C:\\Program Files\\\x95\x5C\x8C\x76\\a"}},
         Plus(kAppStaged, {"C:\\Program Files\\\x95\x5C\x8C\x76\\a"}), {"C:\\Program Files\\\x95\x5C\x8C\x76\\a"},
         [] { Machine().process.doubleByteCodePage = true; AddFile("C:\\Program Files\\\x95\x5C\\_pxunins.dat");
              SetSecurity("C:\\Program Files\\\x95\x5C", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, FILE_WRITE_DATA, kEveryone)); },
         "C:\\Program Files\\\x95\x5C\\", VER_PLATFORM_WIN32_NT, {0, 1}},
        {"the consumer line trusts every log", kOutsideAndIn, kAppWithoutA, {"C:\\Elsewhere\\a"},
         [] { SetSecurity("C:\\App", WithAce(ACCESS_ALLOWED_ACE_TYPE, 0, FILE_ALL_ACCESS, kEveryone)); },
         "C:\\App\\", VER_PLATFORM_WIN32_WINDOWS},
    };
    for (const OrderRow& row : rows) {
        SCOPED_TRACE(row.name);
        ClearRemovalList(&list);
        ResetProcess(row.line);
        strcpy(InstallDir, row.installDir);
        AddFile("C:\\App\\keep.txt");
        AddFile("C:\\App\\Sub\\a");
        AddFile("C:\\App\\Sub\\b");
        AddFile("C:\\App\\_pxunins.dat");
        SetSecurity("C:\\App", ProgramFilesSecurity());
        SetSecurity("C:\\App\\_pxunins.dat", ProgramFilesSecurity());
        if (std::string(row.name) == "a file in use stays") {
            AddFile("C:\\App\\Sub\\inuse");
            SetInUse("C:\\App\\Sub\\inuse");
        }
        for (const std::string& path : row.outside)
            AddFile(path);
        // Started from its folder, as the list of installed programs may start it.
        Machine().disk.currentFolder = "C:\\App";
        if (row.arrange)
            row.arrange();
        LogBuilder log;
        log.Header((int32_t)row.log.size());
        for (const auto& entry : row.log)
            log.Entry(entry.first, entry.second);
        const std::string logPath = std::string(row.installDir) + "_pxunins.dat";
        AddFile(row.logAt != nullptr ? row.logAt : logPath, log.Bytes());
        ASSERT_EQ(LoadUninstallLog(&list, logPath.c_str()), 1);
        if (row.afterLoad)
            row.afterLoad();
        reports.clear();
        RemovalOutcome outcome = RunRemovalPass(&list, RecordReport);
        EXPECT_EQ(outcome.stillThere, row.outcome.stillThere);
        EXPECT_EQ(outcome.notFollowed, row.outcome.notFollowed);
        std::vector<std::string> left;
        for (const std::string& path : PathsUnder("C:\\App"))
            if (path != "C:\\App\\_pxunins.dat" && (path == "C:\\App" || path[6] == '\\'))
                left.push_back(path);
        for (const std::string& path : row.outside)
            if (PathExists(path))
                left.push_back(path);
        EXPECT_EQ(left, row.left);
        EXPECT_EQ(reports.size(), row.log.size()) << "every entry is reported, removed or not";
        EXPECT_EQ(list.oldest, nullptr);
        EXPECT_TRUE(Machine().objects.handles.empty()) << "every folder held is closed again";
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
