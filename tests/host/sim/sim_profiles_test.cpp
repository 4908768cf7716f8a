// The simulated profile functions: the section layout, truncation, and the rewritten INI text.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

const char kSentinel = '\x7F';

struct SectionRow {
    const char* name;
    const char* text;     // wininit.ini; NULL: no file
    const char* section;
    DWORD size;
    DWORD result;
    std::string bytes;    // the buffer's first bytes, through the list's final NUL
};

TEST(SimProfiles, GetSectionCountsWithoutTheFinalNulAndTruncatesToSizeMinusTwo)
{
    const char* const kRename =
        "[boot]\r\nshell=explorer.exe\r\n"
        "[rename]\r\nnul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL\r\n; a comment\r\n  b = two  \r\n"
        "plain\r\n\r\n";
    // 33 + 6 + 6 = 45 characters of entries, each with its NUL.
    const std::string entries("nul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL\0b=two\0plain\0", 45);
    const SectionRow rows[] = {
        {"whole section", kRename, "rename", 100, 45, entries + '\0'},
        {"section name in other case", kRename, "RENAME", 100, 45, entries + '\0'},
        {"room for the final NUL and one more", kRename, "rename", 47, 45, entries + '\0'},
        // Wine's reader stops once fewer than two characters are left, and then reports a cut
        // even when the last entry came through whole.
        {"one byte less reports a cut", kRename, "rename", 46, 44, entries + '\0'},
        {"40 bytes", kRename, "rename", 40, 38,
         std::string("nul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL\0b=two\0\0", 40)},
        {"36 bytes keep the next key alone", kRename, "rename", 36, 34,
         std::string("nul=C:\\WINDOWS\\SYSTEM\\PXPIPE.DLL\0b\0\0", 36)},
        {"20 bytes cut the first value", kRename, "rename", 20, 18,
         std::string("nul=C:\\WINDOWS\\SYS\0\0", 20)},
        {"missing section", kRename, "drivers", 100, 0, std::string("\0\0", 2)},
        {"missing file", nullptr, "rename", 100, 0, std::string("\0\0", 2)},
    };
    for (const SectionRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_WINDOWS);
        if (row.text)
            SetIniFile("wininit.ini", row.text);
        char buffer[128];
        memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(GetPrivateProfileSectionA(row.section, buffer, row.size, "wininit.ini"),
                  row.result);
        EXPECT_EQ(std::string(buffer, row.bytes.size()), row.bytes);
        EXPECT_EQ(buffer[row.size], kSentinel) << "written past the given size";
    }
}

struct WriteRow {
    const char* name;
    const char* text;     // system.ini before; NULL: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;    // system.ini afterwards; NULL: still no file
};

TEST(SimProfiles, WriteStringSetsAndDeletesKeysAndSections)
{
    const char* const kSystem =
        "[boot]\r\nshell=explorer.exe\r\n"
        "[drivers]\r\nwave=a.drv\r\nMIDIPlexitone=pxpipe.dll\r\nmidi=b.drv\r\n";
    const WriteRow rows[] = {
        {"delete a key, names in other case", kSystem, "DRIVERS", "midiplexitone", nullptr,
         "[boot]\r\nshell=explorer.exe\r\n[drivers]\r\nwave=a.drv\r\nmidi=b.drv\r\n"},
        {"delete a missing key", kSystem, "drivers", "Nothing", nullptr, kSystem},
        {"delete a section", kSystem, "drivers", nullptr, nullptr,
         "[boot]\r\nshell=explorer.exe\r\n"},
        {"change a key in place", kSystem, "drivers", "WAVE", "c.drv",
         "[boot]\r\nshell=explorer.exe\r\n"
         "[drivers]\r\nwave=c.drv\r\nMIDIPlexitone=pxpipe.dll\r\nmidi=b.drv\r\n"},
        {"new key in a new section", kSystem, "mci", "cdaudio", "mcicda.drv",
         "[boot]\r\nshell=explorer.exe\r\n"
         "[drivers]\r\nwave=a.drv\r\nMIDIPlexitone=pxpipe.dll\r\nmidi=b.drv\r\n"
         "[mci]\r\ncdaudio=mcicda.drv\r\n"},
        {"delete from a missing file", nullptr, "drivers", "MIDIPlexitone", nullptr, nullptr},
    };
    for (const WriteRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_WINDOWS);
        if (row.text)
            SetIniFile("system.ini", row.text);
        EXPECT_EQ(WritePrivateProfileStringA(row.section, row.key, row.value, "system.ini"), TRUE);
        EXPECT_EQ(PathExists("C:\\WINDOWS\\system.ini"), row.after != nullptr);
        if (row.after) {
            EXPECT_EQ(IniFile("system.ini"), row.after);
        }
    }
}

struct SectionWriteRow {
    const char* name;
    const char* text;   // wininit.ini before; NULL: no file
    std::string list;   // NUL-separated, double-NUL ended
    const char* after;
};

TEST(SimProfiles, WriteSectionReplacesOneSectionWhole)
{
    const std::string twice("nul=C:\\A.DLL\0nul=C:\\A.DLL\0\0", 27);
    const SectionWriteRow rows[] = {
        {"keeps the other sections", "[boot]\r\nx=1\r\n[Rename]\r\nold=gone\r\n[last]\r\ny=2\r\n",
         twice, "[boot]\r\nx=1\r\n[Rename]\r\nnul=C:\\A.DLL\r\nnul=C:\\A.DLL\r\n[last]\r\ny=2\r\n"},
        {"creates the file", nullptr, twice, "[rename]\r\nnul=C:\\A.DLL\r\nnul=C:\\A.DLL\r\n"},
        {"adds the section at the end", "[boot]\r\nx=1\r\n", std::string("nul=B\0\0", 7),
         "[boot]\r\nx=1\r\n[rename]\r\nnul=B\r\n"},
        {"empty list empties the section", "[rename]\r\nold=x\r\n", std::string("\0", 1),
         "[rename]\r\n"},
    };
    for (const SectionWriteRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_WINDOWS);
        if (row.text)
            SetIniFile("wininit.ini", row.text);
        EXPECT_EQ(WritePrivateProfileSectionA("rename", row.list.c_str(), "wininit.ini"), TRUE);
        EXPECT_EQ(IniFile("wininit.ini"), row.after);
    }
}

TEST(SimProfiles, WrittenSectionReadsBackAndFaultFails)
{
    ResetMachine(VER_PLATFORM_WIN32_WINDOWS);
    const std::string list("nul=C:\\A.DLL\0nul=C:\\B.DLL\0\0", 27);
    ASSERT_EQ(WritePrivateProfileSectionA("rename", list.c_str(), "wininit.ini"), TRUE);
    char buffer[64];
    EXPECT_EQ(GetPrivateProfileSectionA("rename", buffer, sizeof buffer, "wininit.ini"), 26u);
    EXPECT_EQ(std::string(buffer, 27), list);

    FailCall("WritePrivateProfileSectionA");
    EXPECT_EQ(WritePrivateProfileSectionA("rename", "x=1\0", "wininit.ini"), FALSE);
    EXPECT_EQ(IniFile("wininit.ini"), "[rename]\r\nnul=C:\\A.DLL\r\nnul=C:\\B.DLL\r\n");
}

}  // namespace
