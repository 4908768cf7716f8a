// pxlog nsis: the PxDir/PxFile lines it writes for a staging tree, and the trees it refuses.
#include <gtest/gtest.h>

#include "pxlog_support.h"

namespace {

struct NsisRow {
    const char* name;
    std::vector<std::string> files;    // relative paths with '/', created with content "x"
    std::string deepest;               // the PX_DEEPEST line's value
    std::vector<std::string> lines;    // the macro's lines; "@" stands for the staging folder
    const char* counts;                // "N folders and M files"
};

std::string Expand(const std::string& line, const std::string& root)
{
    std::string out = line;
    size_t at = out.find('@');
    if (at != std::string::npos)
        out.replace(at, 1, root);
    return out;
}

TEST(PxlogNsis, WritesEveryFolderBeforeItsContents)
{
    const NsisRow rows[] = {
        {"nested tree, names sorted without regard to case",
         {"b.txt", "A/x.dll", "A/Deep/longest-name.txt"},
         "A\\Deep\\longest-name.txt",
         {"  !insertmacro PxDir \"$INSTDIR\\A\"",
          "  !insertmacro PxDir \"$INSTDIR\\A\\Deep\"",
          "  !insertmacro PxFile \"@/A/Deep/longest-name.txt\" \"$INSTDIR\\A\\Deep\\longest-name.txt\"",
          "  !insertmacro PxFile \"@/A/x.dll\" \"$INSTDIR\\A\\x.dll\"",
          "  !insertmacro PxFile \"@/b.txt\" \"$INSTDIR\\b.txt\""},
         "2 folders and 3 files"},
        {"a dollar sign and a double quote are escaped",
         {"cost $5.txt", "say \"hello\".txt"},
         "say $\\\"hello$\\\".txt",
         {"  !insertmacro PxFile \"@/cost $$5.txt\" \"$INSTDIR\\cost $$5.txt\"",
          "  !insertmacro PxFile \"@/say $\\\"hello$\\\".txt\" \"$INSTDIR\\say $\\\"hello$\\\".txt\""},
         "0 folders and 2 files"},
        {"short names: the log is the deepest path", {"a"}, "_pxunins.dat",
         {"  !insertmacro PxFile \"@/a\" \"$INSTDIR\\a\""}, "0 folders and 1 file"},
    };
    for (const NsisRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        for (const std::string& file : row.files)
            folder.AddFile("staging/" + file);
        std::string root = folder.Path("staging");
        ToolResult result = RunTool({"nsis", "--from-dir", root});
        ASSERT_EQ(result.code, 0) << result.err;
        std::vector<std::string> expected = {
            "; The payload of " + root + ", " + row.counts +
                "; written by \"pxlog nsis\" for pxunins.nsh.",
            "!define PX_DEEPEST \"" + row.deepest + "\"", "!macro PxPayload",
            "  !insertmacro _PxPayloadBegin"};
        for (const std::string& line : row.lines)
            expected.push_back(Expand(line, root));
        expected.push_back("  !insertmacro _PxPayloadEnd");
        expected.push_back("!macroend");
        EXPECT_EQ(Lines(result.out), expected) << result.out;
    }
}

struct NsisRefusalRow {
    const char* name;
    std::string file;     // created under staging/, "" for none
    std::string reason;   // what standard error must hold
};

TEST(PxlogNsis, RefusesWhatTheInstallerCannotLogAsMeant)
{
    const NsisRefusalRow rows[] = {
        {"a byte outside printable ASCII", "caf\xE9.txt", "holds a byte outside printable ASCII"},
        {"the uninstaller in the payload", "bin/PXUNINS.EXE", "not part of the payload"},
        {"the log in the payload", "_pxunins.dat", "not part of the payload"},
    };
    for (const NsisRefusalRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        folder.AddFile("staging/" + row.file);
        std::string out = folder.Path("payload.nsh");
        ToolResult result = RunTool({"nsis", "--from-dir", folder.Path("staging"), "--out", out});
        EXPECT_EQ(result.code, 2);
        EXPECT_NE(result.err.find(row.reason), std::string::npos) << result.err;
        // No half-written include is left for makensis to pick up.
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
