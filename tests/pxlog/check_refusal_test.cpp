// pxlog check refuses exactly the logs the uninstaller's loader refuses, and names the offset,
// field and value where the loader stops.
#include <gtest/gtest.h>

#include <stdio.h>

#include "log_reader.h"
#include "pxlog_support.h"
#include "uninstall_log/log_loader.h"
#include "uninstall_log/removal_list.h"

namespace {

struct RefusalRow {
    const char* name;
    std::string bytes;
    int code;            // what check exits with
    std::string reason;  // the refusal text after "refused: ", empty for an accepted log
};

// The loader's own verdict on the bytes, for the same row.
int LoaderAccepts(const std::string& bytes)
{
    FILE* stream = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), stream);
    rewind(stream);
    RemovalList list = {NULL, NULL};
    int accepted = ParseUninstallLog(&list, stream);
    ClearRemovalList(&list);
    fclose(stream);
    return accepted;
}

TEST(PxlogCheckRefusal, RefusesWhatTheLoaderRefusesAndSaysWhere)
{
    const std::string p259(259, 'p'), p260(260, 'p'), p261(261, 'p');
    const RefusalRow rows[] = {
        {"empty file", "", 2, "offset 0, magic: the file ends after 0 of its 4 bytes; a short read refuses the log"},
        {"11 bytes", LogBuilder().Header(0).Bytes().substr(0, 11), 2,
         "offset 8, entry count: the file ends after 3 of its 4 bytes; a short read refuses the log"},
        {"12 bytes, count 0", LogBuilder().Header(0).Bytes(), 0, ""},
        {"magic stored big-endian", LogBuilder().Text("\x57\x49\xAA\xE0").Word(0).Word(0).Bytes(), 2,
         "offset 0, magic: 0xE0AA4957 (stored big-endian); must be 0x5749AAE0, the bytes E0 AA 49 57"},
        {"magic off by one", LogBuilder().Word(0x5749AAE1u).Word(0).Word(0).Bytes(), 2,
         "offset 0, magic: 0x5749AAE1; must be 0x5749AAE0, the bytes E0 AA 49 57"},
        {"second word 1", LogBuilder().Word(0x5749AAE0u).Word(1).Word(0).Bytes(), 2,
         "offset 4, second header word: 0x00000001; must be 0"},
        {"second word cut", LogBuilder().Word(0x5749AAE0u).Text(std::string(2, '\0')).Bytes(), 2,
         "offset 4, second header word: the file ends after 2 of its 4 bytes; a short read refuses the log"},
        {"negative count, junk after", LogBuilder().Header(-1).Text("junk").Bytes(), 1, ""},
        {"kind 2", LogBuilder().Header(1).Entry(2, "C:\\a").Bytes(), 2,
         "offset 12, entry 1 kind: 2 (0x00000002); must be 0 (file) or 1 (folder)"},
        {"kind 0xFFFFFFFF", LogBuilder().Header(2).File("C:\\a").Entry(0xFFFFFFFFu, "C:\\b").Bytes(), 2,
         "offset 24, entry 2 kind: 4294967295 (0xFFFFFFFF); must be 0 (file) or 1 (folder)"},
        {"path length 0", LogBuilder().Header(1).Word(0).Word(0).Bytes(), 2,
         "offset 16, entry 1 path length: 0; must be 1 to 259"},
        {"path length -1", LogBuilder().Header(1).Word(0).Word(0xFFFFFFFFu).Text("C:\\a").Bytes(), 2,
         "offset 16, entry 1 path length: -1; must be 1 to 259"},
        {"path of 259", LogBuilder().Header(1).File(p259).Bytes(), 1, ""},
        {"path of 260", LogBuilder().Header(1).File(p260).Bytes(), 2,
         "offset 16, entry 1 path length: 260; must be 1 to 259"},
        {"path of 261", LogBuilder().Header(1).File(p261).Bytes(), 2,
         "offset 16, entry 1 path length: 261; must be 1 to 259"},
        {"length word cut", LogBuilder().Header(1).Word(0).Text("\x04").Bytes(), 2,
         "offset 16, entry 1 path length: the file ends after 1 of its 4 bytes; a short read refuses the log"},
        {"path cut short", LogBuilder().Header(1).Word(0).Word(10).Text("C:\\X").Bytes(), 2,
         "offset 20, entry 1 path: the file ends after 4 of its 10 bytes; a short read refuses the log"},
        {"count 3, two entries", LogBuilder().Header(3).Folder("C:\\X").File("C:\\X\\a.txt").Bytes(), 2,
         "offset 42, entry 3 kind: the file ends here; the count says 3 entries, 2 are present"},
        {"count 2, three entries", LogBuilder().Header(2).Folder("C:\\X").File("C:\\X\\a").File("C:\\X\\b").Bytes(), 1, ""},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        std::string log = folder.Path("_pxunins.dat");
        WriteWholeFile(log, row.bytes);

        ASSERT_EQ(LoaderAccepts(row.bytes), row.code != 2) << "the row contradicts the loader";
        ToolResult result = RunTool({"check", log});
        EXPECT_EQ(result.code, row.code) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        std::string refusedLine = log + ": refused: " + row.reason;
        std::vector<std::string> lines = Lines(result.out);
        if (row.code == 2) {
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines[0], refusedLine);
        } else {
            EXPECT_EQ(result.out.find("refused"), std::string::npos) << result.out;
        }
        // show reads the log the same way and ends with the same reason.
        ToolResult shown = RunTool({"show", log});
        EXPECT_EQ(shown.code, row.code == 2 ? 2 : 0);
        if (row.code == 2)
            EXPECT_EQ(Lines(shown.out).back(), "refused: " + row.reason);
    }
}

struct DisagreementRow {
    const char* name;
    void (*tamper)(LogReading* reading);  // what pxlog's reading gets wrong
    std::string difference;
};

// pxlog's verdict is only worth something while it matches the loader's; a reading that
// drifts from the loader must be caught, not printed as the truth.
TEST(PxlogCheckRefusal, CatchesAReadingThatDisagreesWithTheLoader)
{
    const DisagreementRow rows[] = {
        {"sound reading", [](LogReading*) {}, ""},
        {"refuses what the loader accepts", [](LogReading* r) { r->refused = 1; },
         "the loader accepts the log, pxlog refuses it"},
        {"other path", [](LogReading* r) { r->entries[1].path = "C:\\X\\b.txt"; }, "entry 2 differs"},
        {"other kind", [](LogReading* r) { r->entries[0].kind = 0; }, "entry 1 differs"},
        {"one entry short", [](LogReading* r) { r->entries.pop_back(); },
         "the loader has more entries than pxlog read"},
        {"one entry too many", [](LogReading* r) { r->entries.push_back(r->entries[0]); },
         "the loader has fewer entries than pxlog read"},
    };
    for (const DisagreementRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        std::string log = folder.Path("_pxunins.dat");
        std::string bytes = LogBuilder().Header(2).Folder("C:\\X").File("C:\\X\\a.txt").Bytes();
        WriteWholeFile(log, bytes);
        LogReading reading = ReadLogFields(bytes);
        row.tamper(&reading);
        EXPECT_EQ(CompareWithLoader(log.c_str(), reading), row.difference);
    }
}

}  // namespace
