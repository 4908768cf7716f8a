// pxlog nsis: the PxDir/PxFile lines it writes for a staging tree, and the trees it refuses.
#include <gtest/gtest.h>

#include "pxlog_support.h"

namespace {

struct NsisRow {
    const char* name;
    std::vector<std::string> files;    // relative paths with '/', UTF-8, created with content "x"
    const char* charset;               // --charset, "" for the default
    std::string deepest;               // the PX_DEEPEST line's value, in the script's bytes
    std::vector<std::string> first;    // the names _PxPayloadNames checks first
    std::vector<std::string> lines;    // the macro's lines; "@" stands for the staging folder
    const char* counts;                // "N folders and M files, in CHARSET"
    size_t fileBytes = 1;              // each file's size
    unsigned kib = 1;                  // the PX_PAYLOAD_KIB line's value: the sizes' sum, rounded up
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
         {"b.txt", "A/x.dll", "A/Deep/longest-name.txt"}, "",
         "A\\Deep\\longest-name.txt", {"A\\Deep\\longest-name.txt"},
         {"  !insertmacro PxDir \"$INSTDIR\\A\"",
          "  !insertmacro PxDir \"$INSTDIR\\A\\Deep\"",
          "  !insertmacro PxFile \"@/A/Deep/longest-name.txt\" \"$INSTDIR\\A\\Deep\\longest-name.txt\"",
          "  !insertmacro PxFile \"@/A/x.dll\" \"$INSTDIR\\A\\x.dll\"",
          "  !insertmacro PxFile \"@/b.txt\" \"$INSTDIR\\b.txt\""},
         "2 folders and 3 files, in UTF-8"},
        {"a dollar sign and a double quote are escaped",
         {"cost $5.txt", "say 'hello'.txt"}, "",
         "say 'hello'.txt", {"say 'hello'.txt"},
         {"  !insertmacro PxFile \"@/cost $$5.txt\" \"$INSTDIR\\cost $$5.txt\"",
          "  !insertmacro PxFile \"@/say 'hello'.txt\" \"$INSTDIR\\say 'hello'.txt\""},
         "0 folders and 2 files, in UTF-8"},
        {"short names: the log is the deepest path", {"a"}, "", "_pxunins.dat", {"a"},
         {"  !insertmacro PxFile \"@/a\" \"$INSTDIR\\a\""}, "0 folders and 1 file, in UTF-8"},
        // 表 is 95 5C in Shift-JIS: its trail byte is a backslash. Deepest by UTF-8 bytes; checked first:
        // every name beyond ASCII, then the longest ASCII one.
        {"Japanese names, in UTF-8",
         {"\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88/\xE8\xA1\xA8.txt", "Help/\xE3\x83\x98\xE3\x83\xAB\xE3\x83\x97.chm",
          "readme.txt"}, "",
         "Help\\\xE3\x83\x98\xE3\x83\xAB\xE3\x83\x97.chm",
         {"Help\\\xE3\x83\x98\xE3\x83\xAB\xE3\x83\x97.chm", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88",
          "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\\\xE8\xA1\xA8.txt", "readme.txt"},
         {"  !insertmacro PxDir \"$INSTDIR\\Help\"",
          "  !insertmacro PxFile \"@/Help/\xE3\x83\x98\xE3\x83\xAB\xE3\x83\x97.chm\" "
          "\"$INSTDIR\\Help\\\xE3\x83\x98\xE3\x83\xAB\xE3\x83\x97.chm\"",
          "  !insertmacro PxFile \"@/readme.txt\" \"$INSTDIR\\readme.txt\"",
          "  !insertmacro PxDir \"$INSTDIR\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\"",
          "  !insertmacro PxFile \"@/\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88/\xE8\xA1\xA8.txt\" "
          "\"$INSTDIR\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\\\xE8\xA1\xA8.txt\""},
         "2 folders and 3 files, in UTF-8"},
        // é is E9 in code page 1252, in the target and in the source alike.
        {"a name in code page 1252", {"caf\xC3\xA9.txt"}, "CP1252", "_pxunins.dat", {"caf\xE9.txt"},
         {"  !insertmacro PxFile \"@/caf\xE9.txt\" \"$INSTDIR\\caf\xE9.txt\""}, "0 folders and 1 file, in CP1252"},
        // The Uninstall entry's EstimatedSize: 1023 and 1024 bytes are 1 KiB, 1025 are 2.
        {"a KiB less a byte", {"a"}, "", "_pxunins.dat", {"a"}, {"  !insertmacro PxFile \"@/a\" \"$INSTDIR\\a\""},
         "0 folders and 1 file, in UTF-8", 1023, 1},
        {"two files of half a KiB", {"a", "b"}, "", "_pxunins.dat", {"a"},
         {"  !insertmacro PxFile \"@/a\" \"$INSTDIR\\a\"", "  !insertmacro PxFile \"@/b\" \"$INSTDIR\\b\""},
         "0 folders and 2 files, in UTF-8", 512, 1},
        {"a KiB and a byte", {"a"}, "", "_pxunins.dat", {"a"}, {"  !insertmacro PxFile \"@/a\" \"$INSTDIR\\a\""},
         "0 folders and 1 file, in UTF-8", 1025, 2},
        {"no files", {}, "", "_pxunins.dat", {}, {}, "0 folders and 0 files, in UTF-8", 1, 0},
    };
    for (const NsisRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        folder.AddFolder("staging");
        for (const std::string& file : row.files)
            folder.AddFile("staging/" + file, std::string(row.fileBytes, 'x'));
        std::string root = folder.Path("staging");
        std::vector<std::string> words = {"nsis", "--from-dir", root};
        if (*row.charset) {
            words.push_back("--charset");
            words.push_back(row.charset);
        }
        ToolResult result = RunTool(words);
        ASSERT_EQ(result.code, 0) << result.err;
        // UTF-8 with its mark, which makensis needs to read it as UTF-8; a code page without.
        std::string mark = *row.charset ? "" : "\xEF\xBB\xBF";
        std::vector<std::string> expected = {
            mark + "; The payload of " + root + ", " + row.counts + "; written by \"pxlog nsis\" for pxunins.nsh.",
            "!define PX_DEEPEST \"" + row.deepest + "\"", "!define PX_PAYLOAD_KIB " + std::to_string(row.kib),
            "!macro _PxPayloadNames"};
        for (const std::string& name : row.first)
            expected.push_back("  !insertmacro _PxPayloadName \"" + name + "\"");
        expected.push_back("!macroend");
        expected.push_back("!macro PxPayload");
        expected.push_back("  !insertmacro _PxPayloadBegin");
        for (const std::string& line : row.lines)
            expected.push_back(Expand(line, root));
        expected.push_back("  !insertmacro _PxPayloadEnd");
        expected.push_back("!macroend");
        EXPECT_EQ(Lines(result.out), expected) << result.out;
    }
}

struct NsisRefusalRow {
    const char* name;
    std::vector<std::string> files;  // created under staging/
    const char* charset;             // --charset, "" for the default
    std::string reason;              // what standard error must hold, the name among it
};

TEST(PxlogNsis, RefusesWhatTheInstallerCannotLogAsMeant)
{
    const NsisRefusalRow rows[] = {
        {"bytes that are not UTF-8", {"caf\xE9.txt"}, "", "\"caf<E9>.txt\" is not UTF-8"},
        {"a colon", {"a:b.txt"}, "", "\"a:b.txt\" holds :"},
        {"a backslash", {"a\\b.txt"}, "", "\"a\\b.txt\" cannot be found again"},
        {"a question mark", {"why?.txt"}, "", "\"why?.txt\" holds ?"},
        {"a control character", {"a\tb.txt"}, "", "\"a<09>b.txt\" holds a control character"},
        {"a trailing dot", {"name."}, "", "\"name.\" ends in a dot or a space"},
        {"a trailing space", {"Help /x.txt"}, "", "\"Help \" ends in a dot or a space"},
        {"a device name with an extension", {"Con.txt"}, "", "\"Con.txt\" is a device name"},
        {"a numbered device name", {"lpt9"}, "", "\"lpt9\" is a device name"},
        {"two names equal but for case", {"Read.txt", "READ.TXT"}, "", "\"Read.txt\" and \"READ.TXT\" are one name"},
        {"two names equal but for the case of an accent",
         {"\xC3\x84rger.txt", "\xC3\xA4rger.txt"}, "", "are one name to Windows"},
        {"a name code page 1252 cannot hold", {"\xE8\xA1\xA8.txt"}, "CP1252",
         "\"\xE8\xA1\xA8.txt\" holds a character that code page 1252 cannot hold"},
        {"the uninstaller in the payload", {"bin/PXUNINS.EXE"}, "", "not part of the payload"},
        {"the log in the payload", {"_pxunins.dat"}, "", "not part of the payload"},
    };
    for (const NsisRefusalRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        for (const std::string& file : row.files)
            folder.AddFile("staging/" + file);
        std::string out = folder.Path("payload.nsh");
        std::vector<std::string> words = {"nsis", "--from-dir", folder.Path("staging"), "--out", out};
        if (*row.charset) {
            words.push_back("--charset");
            words.push_back(row.charset);
        }
        ToolResult result = RunTool(words);
        EXPECT_EQ(result.code, 2);
        EXPECT_NE(result.err.find(row.reason), std::string::npos) << result.err;
        // No half-written include is left for makensis to pick up.
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
