// pxlog make: the bytes it writes, what it refuses, and the order --from-dir lists a tree in.
#include <gtest/gtest.h>

#include <filesystem>

#include "pxlog_support.h"

namespace {

struct RoundTripRow {
    const char* name;
    std::string list;                   // standard input of pxlog make
    std::string bytes;                  // the log it must write
    std::vector<std::string> shownEntries;  // "kind path" in file order, as show prints them
    int checkCode;                      // 1 where a path is relative, a finding of check
};

// The "kind  path" part of show's entry lines, in file order.
std::vector<std::string> ShownEntries(const std::string& out)
{
    std::vector<std::string> entries;
    for (const std::string& line : Lines(out)) {
        if (line.compare(0, 3, "  #") != 0)
            continue;
        size_t offset = line.find("offset ");
        size_t kind = line.find_first_not_of("0123456789 ", offset + 7);
        std::string rest = line.substr(kind);
        size_t path = rest.find_first_not_of(' ', rest.find(' '));
        entries.push_back(rest.substr(0, rest.find(' ')) + " " + rest.substr(path));
    }
    return entries;
}

TEST(PxlogMake, WritesTheListAndReadsItBack)
{
    const std::string p259(259, 'p');
    const RoundTripRow rows[] = {
        {"folder then file", "dir C:\\X\nfile C:\\X\\a.txt\n",
         LogBuilder().Header(2).Folder("C:\\X").File("C:\\X\\a.txt").Bytes(),
         {"folder C:\\X", "file C:\\X\\a.txt"}, 0},
        {"comments, blank lines, CRLF and spaces",
         "# made by hand\r\n\r\n  dir   C:\\Program Files\\App  \r\n\tfile C:\\Program Files\\App\\a b.txt\r\n",
         LogBuilder().Header(2).Folder("C:\\Program Files\\App").File("C:\\Program Files\\App\\a b.txt").Bytes(),
         {"folder C:\\Program Files\\App", "file C:\\Program Files\\App\\a b.txt"}, 0},
        {"no entries", "# nothing\n", LogBuilder().Header(0).Bytes(), {}, 0},
        {"path of 259", "file " + p259 + "\n", LogBuilder().Header(1).File(p259).Bytes(),
         {"file " + p259}, 1},
    };
    for (const RoundTripRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        std::string log = folder.Path("out.dat");
        ToolResult made = RunTool({"make", log}, row.list);
        ASSERT_EQ(made.code, 0) << made.err;
        EXPECT_EQ(ReadWholeFile(log), row.bytes);

        ToolResult checked = RunTool({"check", log});
        EXPECT_EQ(checked.code, row.checkCode) << checked.out;
        ToolResult shown = RunTool({"show", log});
        EXPECT_EQ(shown.code, 0);
        EXPECT_EQ(ShownEntries(shown.out), row.shownEntries) << shown.out;
    }
}

struct MakeErrorRow {
    const char* name;
    std::string list;
    std::string error;  // the whole of standard error
};

TEST(PxlogMake, RefusesABadListWithItsLineNumber)
{
    const MakeErrorRow rows[] = {
        {"unknown keyword", "dir C:\\X\n\nfolder C:\\X\\Y\n",
         "pxlog make: line 3: expected \"file PATH\" or \"dir PATH\", got \"folder C:\\X\\Y\"\n"},
        {"keyword without a path", "# list\nfile   \n", "pxlog make: line 2: \"file\" without a path\n"},
        {"path of 260", "dir C:\\X\nfile " + std::string(260, 'p') + "\n",
         "pxlog make: line 2: the path is 260 bytes; the uninstaller accepts 1 to 259 and refuses "
         "the whole log: " + std::string(260, 'p') + "\n"},
        {"path of 261", "file " + std::string(261, 'p') + "\n",
         "pxlog make: line 1: the path is 261 bytes; the uninstaller accepts 1 to 259 and refuses "
         "the whole log: " + std::string(261, 'p') + "\n"},
    };
    for (const MakeErrorRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        std::string log = folder.Path("out.dat");
        ToolResult made = RunTool({"make", log}, row.list);
        EXPECT_EQ(made.code, 2);
        EXPECT_EQ(made.err, row.error);
        EXPECT_EQ(made.out, "");
        EXPECT_FALSE(std::filesystem::exists(log)) << "a refused list must leave no log";
    }
}

struct TreeRow {
    const char* name;
    std::vector<std::string> files;    // '/'-separated, under the tree
    std::vector<std::string> folders;  // empty folders
    std::vector<std::string> options;  // after --from-dir TREE
    std::vector<std::string> entries;  // show's "kind path" lines, in file order
};

TEST(PxlogMake, FromDirListsEveryFolderBeforeItsContents)
{
    const TreeRow rows[] = {
        {"sorted, folders first in their own turn", {"b.txt", "A/z.txt", "A/B/c.txt", "a.txt"}, {},
         {"--as", "C:\\App"},
         {"folder C:\\App", "folder C:\\App\\A", "folder C:\\App\\A\\B", "file C:\\App\\A\\B\\c.txt",
          "file C:\\App\\A\\z.txt", "file C:\\App\\a.txt", "file C:\\App\\b.txt"}},
        {"no root, trailing backslash", {"x.dll"}, {"Empty"}, {"--as", "C:\\App\\", "--no-root"},
         {"folder C:\\App\\Empty", "file C:\\App\\x.dll"}},
        {"drive root", {"x.dll"}, {}, {"--as", "D:\\", "--no-root"}, {"file D:\\x.dll"}},
    };
    for (const TreeRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        folder.AddFolder("tree");
        for (const std::string& file : row.files)
            folder.AddFile("tree/" + file);
        for (const std::string& empty : row.folders)
            folder.AddFolder("tree/" + empty);
        std::string log = folder.Path("out.dat");
        std::vector<std::string> words = {"make", log, "--from-dir", folder.Path("tree")};
        words.insert(words.end(), row.options.begin(), row.options.end());

        ToolResult made = RunTool(words);
        ASSERT_EQ(made.code, 0) << made.err;
        EXPECT_EQ(ShownEntries(RunTool({"show", log}).out), row.entries);
        // Made from the tree itself, the log removes all of it.
        ToolResult planned = RunTool({"plan", log, "--root", row.options[1] + "=" + folder.Path("tree")});
        EXPECT_EQ(planned.code, 0) << planned.out;
    }
}

TEST(PxlogMake, FromDirRefusesAPathTooLongForTheLog)
{
    ScratchFolder folder;
    folder.AddFile("tree/" + std::string(200, 'n'));
    std::string log = folder.Path("out.dat");
    // "C:\" + 55 characters + "\" + 200 = 259 fits; one more character does not.
    const std::string fits = "C:\\" + std::string(55, 'w');
    const std::string over = "C:\\" + std::string(56, 'w');
    EXPECT_EQ(RunTool({"make", log, "--from-dir", folder.Path("tree"), "--as", fits}).code, 0);
    ToolResult refused = RunTool({"make", log + "2", "--from-dir", folder.Path("tree"), "--as", over});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("entry 2: the path is 260 bytes"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(log + "2"));
}

}  // namespace
