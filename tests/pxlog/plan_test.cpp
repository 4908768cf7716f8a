// pxlog plan against a real folder tree: what the removal pass (newest first, a folder only
// when empty at its turn) would remove, and why the rest stays.
#include <gtest/gtest.h>

#include <filesystem>

#include "pxlog_support.h"

namespace {

struct PlanRow {
    const char* name;
    std::vector<std::string> files;    // local files under the root, '/'-separated
    std::string list;                  // the log, as "file"/"dir" lines for pxlog make
    int code;
    std::vector<std::string> verdicts; // per entry, newest first: "removed" or "stays: why..."
};

// The verdict part of each plan line: "removed", or "stays: " and the reason.
std::vector<std::string> Verdicts(const std::string& out)
{
    std::vector<std::string> verdicts;
    for (const std::string& line : Lines(out)) {
        if (line.compare(0, 2, "  ") != 0)
            continue;
        size_t reason = line.find(" -- ");
        verdicts.push_back(line.compare(2, 7, "removed") == 0 ? "removed"
                                                              : "stays: " + line.substr(reason + 4));
    }
    return verdicts;
}

TEST(PxlogPlan, WalksTheRemovalOrderAgainstATree)
{
    const PlanRow rows[] = {
        {"folder before its files", {"a.txt", "Sub/b.txt"},
         "dir C:\\App\nfile C:\\App\\a.txt\ndir C:\\App\\Sub\nfile C:\\App\\Sub\\b.txt\n", 0,
         {"removed", "removed", "removed", "removed"}},
        {"names match without regard to case", {"Data/A.TXT"},
         "dir c:\\APP\\data\nfile C:\\app\\DATA\\a.txt\n", 0, {"removed", "removed"}},
        {"folder after its files", {"a.txt"},
         "file C:\\App\\a.txt\ndir C:\\App\n", 1,
         {"stays: not empty at its turn: its turn comes before 1 entry inside it, listed before it "
          "(first: entry 1 \"C:\\App\\a.txt\"); list the folder first",
          "removed"}},
        {"a file the log does not name keeps its folder", {"a.txt", "notes.txt", "cache/x.bin"},
         "dir C:\\App\nfile C:\\App\\a.txt\n", 1,
         {"removed", "stays: not empty at its turn: 3 items the log does not name (cache, cache\\x.bin, notes.txt)"}},
        {"missing file", {},
         "dir C:\\App\nfile C:\\App\\gone.txt\n", 1,
         {"stays: missing: no such file", "removed"}},
        {"a folder listed as a file", {"Sub/b.txt"},
         "dir C:\\App\nfile C:\\App\\Sub\\b.txt\nfile C:\\App\\Sub\n", 1,
         {"stays: a folder, listed as a file: DeleteFileA deletes only files", "removed",
          "stays: not empty at its turn: 1 item inside it stayed at their turn (Sub)"}},
        {"not a full path stays; slashes and dots resolve", {"b.txt"},
         "dir C:\\App\nfile a.txt\nfile C:/App/Sub/../b.txt\n", 1,
         {"removed", "stays: not a full path", "removed"}},
        {"outside every root", {},
         "dir C:\\App\nfile D:\\Other\\x\n", 1,
         {"stays: not under any --root", "removed"}},
    };
    for (const PlanRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        folder.AddFolder("tree");
        for (const std::string& file : row.files)
            folder.AddFile("tree/" + file);
        std::string log = folder.Path("_pxunins.dat");
        ASSERT_EQ(RunTool({"make", log}, row.list).code, 0);

        ToolResult result = RunTool({"plan", log, "--root", "C:\\App=" + folder.Path("tree")});
        EXPECT_EQ(result.code, row.code) << result.out << result.err;
        EXPECT_EQ(Verdicts(result.out), row.verdicts) << result.out;
        // The plan only reads: every file is still there.
        for (const std::string& file : row.files)
            EXPECT_TRUE(std::filesystem::exists(folder.Path("tree/" + file))) << file;
    }
}

}  // namespace
