// pxlog check on logs the uninstaller accepts: each finding names the entry it is about.
#include <gtest/gtest.h>

#include "pxlog_support.h"

namespace {

// One expected finding: where ("entry 2 (offset 24)", or "" for the file as a whole) and a
// fragment of what it says.
struct Finding {
    std::string where;
    std::string says;
};

struct LintRow {
    const char* name;
    std::string bytes;
    std::string installDir;  // empty: no --install-dir
    std::vector<Finding> findings;
};

TEST(PxlogLint, ReportsEachFindingWithItsEntry)
{
    const std::string app = "C:\\App";
    const LintRow rows[] = {
        {"clean", LogBuilder().Header(2).Folder("C:\\App").File("C:\\App\\a.txt").Bytes(), app, {}},
        {"folder after its file",
         LogBuilder().Header(2).File("C:\\App\\a.txt").Folder("C:\\App").Bytes(), "",
         {{"entry 2 (offset 32)", "folder \"C:\\App\" is listed after 1 entry inside it (first: entry 1"}}},
        {"folder after a deeper file, other case",
         LogBuilder().Header(3).Folder("C:\\App\\Sub").File("C:\\APP\\SUB\\a.txt").Folder("c:\\app\\").Bytes(), "",
         {{"entry 3 (offset 54)", "listed after 2 entries inside it (first: entry 1"}}},
        {"sibling with a longer name is not inside",
         LogBuilder().Header(2).File("C:\\AppData\\a").Folder("C:\\App").Bytes(), "", {}},
        {"same path twice, other case",
         LogBuilder().Header(2).File("C:\\App\\a.txt").File("c:\\APP\\A.TXT").Bytes(), "",
         {{"entry 2 (offset 32)", "is already listed as entry 1"}}},
        {"folding is A-Z only",
         LogBuilder().Header(2).File("C:\\App\\\xC4.txt").File("C:\\App\\\xE4.txt").Bytes(), "", {}},
        {"relative path", LogBuilder().Header(1).File("App\\a.txt").Bytes(), "",
         {{"entry 1 (offset 12)", "\"App\\a.txt\" is not a full path; the uninstaller accepts the "
           "log and shows the entry in its progress, but leaves it alone and never deletes it"}}},
        {"drive without backslash is not full", LogBuilder().Header(1).File("C:a.txt").Bytes(), "",
         {{"entry 1 (offset 12)", "is not a full path"}}},
        {"relative path named like the log", LogBuilder().Header(1).File("_pxunins.dat").Bytes(), "",
         {{"entry 1 (offset 12)", "is not a full path"}}},
        {"network path is full", LogBuilder().Header(1).File("\\\\srv\\share\\a").Bytes(), "", {}},
        {"slashes make a full path inside",
         LogBuilder().Header(1).File("c:/program files/plexitone/px.chm").Bytes(),
         "C:\\Program Files\\Plexitone", {}},
        {"dots lead out of the install folder",
         LogBuilder().Header(1).File("C:\\Program Files\\Plexitone\\..\\..\\windows\\win.ini").Bytes(),
         "C:\\Program Files\\Plexitone",
         {{"entry 1 (offset 12)", "is outside the install folder (Windows resolves it to \"C:\\windows\\win.ini\")"}}},
        {"dots that stay inside, and none above the root",
         LogBuilder().Header(2).File("C:\\Other\\..\\.\\App\\a.txt").File("C:\\..\\App\\b.txt").Bytes(), app, {}},
        {"network share: slashes inside, dots stop at the share",
         LogBuilder().Header(3).File("//srv/share/App/a").File("\\\\srv\\share\\..\\..\\App\\b")
             .File("\\\\srv\\share\\App\\..\\c").Bytes(), "\\\\srv\\share\\App",
         {{"entry 3 (offset 68)", "is outside the install folder"}}},
        {"outside the install folder",
         LogBuilder().Header(3).Folder("C:\\App").File("C:\\Apps\\b").File("D:\\App\\c").Bytes(), app,
         {{"entry 2 (offset 26)", "\"C:\\Apps\\b\" is outside the install folder"},
          {"entry 3 (offset 43)", "\"D:\\App\\c\" is outside the install folder"}}},
        {"install folder given with a backslash and other case",
         LogBuilder().Header(1).File("C:\\App\\a").Bytes(), "c:\\APP\\", {}},
        {"uninstaller in the install folder",
         LogBuilder().Header(2).File("C:\\App\\PXUNINS.EXE").File("C:\\App\\Sub\\pxunins.exe").Bytes(), app,
         {{"entry 1 (offset 12)", "is the uninstaller itself"}}},
        {"uninstaller anywhere, install folder unknown",
         LogBuilder().Header(1).File("C:\\App\\Sub\\pxunins.exe").Bytes(), "",
         {{"entry 1 (offset 12)", "is the uninstaller itself"}}},
        {"the log itself", LogBuilder().Header(1).File("C:\\App\\_pxunins.dat").Bytes(), app,
         {{"entry 1 (offset 12)", "is the uninstall log itself; the uninstaller closes the log once "
           "it is loaded, so the removal pass deletes it, and the next run finds no log"}}},
        {"bytes after the last counted entry",
         LogBuilder().Header(1).File("C:\\a").File("C:\\b").Bytes(), "",
         {{"", "12 bytes after the last counted entry (count 1), at offset 24"}}},
        {"bytes after a header of count 0", LogBuilder().Header(0).Text("x").Bytes(), "",
         {{"", "1 byte after the header (count 0), at offset 12"}}},
        {"NUL inside a path",
         LogBuilder().Header(1).File(std::string("C:\\a\0.bak", 9)).Bytes(), "",
         {{"entry 1 (offset 12)", "NUL at byte 5 of 9; the uninstaller uses only \"C:\\a\" and ignores \"<00>.bak\""}}},
    };
    for (const LintRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        std::string log = folder.Path("_pxunins.dat");
        WriteWholeFile(log, row.bytes);
        std::vector<std::string> words = {"check", log};
        if (!row.installDir.empty())
            words.insert(words.end(), {"--install-dir", row.installDir});

        ToolResult result = RunTool(words);
        EXPECT_EQ(result.code, row.findings.empty() ? 0 : 1) << result.out << result.err;
        std::vector<std::string> lines = Lines(result.out);
        EXPECT_EQ(lines.size(), row.findings.size() + 1) << result.out;
        if (lines.size() != row.findings.size() + 1)
            continue;  // the other rows still run
        for (size_t i = 0; i < row.findings.size(); i++) {
            std::string where = log + ": " + row.findings[i].where + (row.findings[i].where.empty() ? "" : ": ");
            EXPECT_EQ(lines[i].compare(0, where.size(), where), 0) << lines[i];
            EXPECT_NE(lines[i].find(row.findings[i].says), std::string::npos) << lines[i];
        }
        EXPECT_NE(lines.back().find(std::to_string(row.findings.size()) + " finding"),
                  std::string::npos) << lines.back();
    }
}

}  // namespace
