// Joining and splitting paths at the MAX_PATH bounds, with single- and double-byte code pages.
#include <gtest/gtest.h>

#include <string>

#include "foundation/paths.h"
#include "support/machine_fixture.h"

namespace {

const char kSentinel = '\x7F';

struct AppendRow {
    const char* name;
    std::string path;
    std::string component;
    int result;
    std::string expected;
};

TEST(AppendPathComponent, JoinsWithOneSeparatorAndRefusesWhatDoesNotFit)
{
    const std::string p250 = "C:\\" + std::string(246, 'a') + "\\";  // 250 with its backslash
    const std::string p258 = "C:\\" + std::string(255, 'b');         // 258, no separator
    const std::string p259 = "C:\\" + std::string(256, 'c');         // 259, no separator
    const AppendRow rows[] = {
        {"plain", "C:\\Apps", "Tool", 1, "C:\\Apps\\Tool"},
        {"trailing backslash", "C:\\Apps\\", "Tool", 1, "C:\\Apps\\Tool"},
        {"trailing slash", "C:/Apps/", "Tool", 1, "C:/Apps/Tool"},
        {"empty path", "", "Tool", 1, "Tool"},
        {"empty name", "C:\\Apps", "", 1, "C:\\Apps\\"},
        {"258 and one more", p258, "x", 0, p258 + "\\"},
        {"258 and empty name", p258, "", 1, p258 + "\\"},
        {"259 without separator", p259, "x", 0, p259},
        {"259 with empty name", p259, "", 0, p259},
        {"250 and 9 fits exactly", p250, "123456789", 1, p250 + "123456789"},
        {"250 and 10 is one too many", p250, "1234567890", 0, p250},
        {"name of 260", "", std::string(260, 'n'), 0, ""},
        {"name of 259", "", std::string(259, 'n'), 1, std::string(259, 'n')},
    };
    for (const AppendRow& row : rows) {
        SCOPED_TRACE(row.name);
        char buffer[MAX_PATH + 8];
        memset(buffer, kSentinel, sizeof buffer);
        memcpy(buffer, row.path.c_str(), row.path.size() + 1);
        EXPECT_EQ(AppendPathComponent(buffer, row.component.c_str()), row.result);
        EXPECT_EQ(std::string(buffer), row.expected);
        for (size_t i = MAX_PATH; i < sizeof buffer; i++)
            ASSERT_EQ(buffer[i], kSentinel) << "written past MAX_PATH at " << i;
    }
}

struct ExtractRow {
    const char* name;
    std::string source;
    int mask;
    std::string expected;
    bool doubleByte;
};

class ExtractPathPartsTest : public MachineTest {};

TEST_F(ExtractPathPartsTest, KeepsTheSelectedParts)
{
    const ExtractRow rows[] = {
        {"folder of a file", "C:\\Apps\\Tool\\run.exe", 0x1100, "C:\\Apps\\Tool\\", false},
        {"no folder", "run.exe", 0x1100, "", false},
        {"network path", "\\\\server\\share\\run.exe", 0x1100, "\\\\server\\share\\", false},
        {"drive-relative", "C:run.exe", 0x1100, "C:", false},
        {"name and extension", "C:\\Apps\\Tool\\run.exe", 0x0011, "run.exe", false},
        {"last extension only", "C:\\Apps\\Tool\\archive.tar.gz", 0x0001, ".gz", false},
        {"dot in a folder is no extension", "C:\\Apps\\Tool.d\\run", 0x0010, "run", false},
        {"forward slashes", "C:/Apps/run.exe", 0x1100, "C:/Apps/", false},
        {"bits above the four ignored", "C:\\A\\b.c", 0x71100, "C:\\A\\", false},
        {"everything", "C:\\A\\b.c", 0x1111, "C:\\A\\b.c", false},
        {"drive only", "D:\\A\\b.c", 0x1000, "D:", false},
        // In code page 932, 0x95 0x5C is one character whose trail byte is a backslash.
        {"trail byte 0x5C is no separator", "C:\\A\\\x95\x5C.txt", 0x1100, "C:\\A\\", true},
        {"trail byte 0x5C read as a separator without DBCS", "C:\\A\\\x95\x5C.txt", 0x1100,
         "C:\\A\\\x95\\", false},
        {"trail byte 0x2E is no dot", "C:\\A\\x\x81\x2E", 0x0001, "", true},
        {"lead byte at the very end", "C:\\A\\x\x81", 0x0010, "x\x81", true},
    };
    for (const ExtractRow& row : rows) {
        SCOPED_TRACE(row.name);
        Machine().process.doubleByteCodePage = row.doubleByte;
        char dest[MAX_PATH + 8];
        memset(dest, kSentinel, sizeof dest);
        ExtractPathParts(dest, row.source.c_str(), row.mask);
        EXPECT_EQ(std::string(dest), row.expected);
        EXPECT_EQ(dest[MAX_PATH], kSentinel);
    }
}

TEST_F(ExtractPathPartsTest, CutsEachPartTo255AndNeverPassesMaxPath)
{
    // A 256-character directory is cut to 255 bytes and given back its separator.
    const std::string folder = "\\" + std::string(254, 'd') + "\\";  // 256 bytes
    const std::string source = "C:" + folder + "n";                   // 259 bytes
    char dest[MAX_PATH + 8];
    memset(dest, kSentinel, sizeof dest);
    ExtractPathParts(dest, source.c_str(), 0x1111);
    EXPECT_EQ(std::string(dest), "C:" + folder.substr(0, 255) + "\\n");
    EXPECT_LE(strlen(dest), 259u);
    EXPECT_EQ(dest[MAX_PATH], kSentinel);
}

TEST(ExtractPathPartsDeathTest, AMaskSelectingNothingIsAnInternalError)
{
    for (int mask : {0, 0x0002, 0x10000}) {
        SCOPED_TRACE(mask);
        EXPECT_EXIT(
            {
                ResetProcess(VER_PLATFORM_WIN32_NT);
                ScriptAnswers({IDOK});
                char dest[MAX_PATH];
                ExtractPathParts(dest, "C:\\a.txt", mask);
            },
            ::testing::ExitedWithCode(1), "Internal Error.*File 10\\s+Line 914");
    }
}



struct ResolveRow {
    const char* name;
    std::string source;
    int result;
    std::string expected;  // "" when refused: dest keeps its sentinel
    bool doubleByte = false;
    bool folder = false;  // ResolveFolderPath, which ends the result with a separator
};

// The resolved path is what the removal pass compares with the installation folder and walks.
TEST(ResolveFullPath, ResolvesAsWindowsDoesBeforeTheFileSystemSeesIt)
{
    const std::string unc257 = "\\\\" + std::string(250, 's') + "\\share";  // 258 characters
    const ResolveRow rows[] = {
        {"separators of both kinds, repeated", "C:/App//Sub\\/x", 1, "C:\\App\\Sub\\x"},
        {"dot and dot-dot", "C:\\App\\.\\Sub\\..\\x", 1, "C:\\App\\x"},
        {"dot-dot never above the drive's root", "C:\\App\\..\\..\\..\\x", 1, "C:\\x"},
        {"dot-dot never above the share", "\\\\server\\share\\..\\x", 1, "\\\\server\\share\\x"},
        {"the root keeps its separator", "C:\\App\\..", 1, "C:\\"},
        {"a folder loses its trailing one", "C:\\App\\Sub\\", 1, "C:\\App\\Sub"},
        {"not a full path", "App\\x", 0, ""},
        {"a drive letter only in A-Z", "@:\\x", 0, ""},
        // Code page 932: 95 5C is one character, so "\x95\x5C.." is a name, not a separator and "..".
        {"a trail byte of 0x5C", "C:\\\x95\x5C..\\a", 1, "C:\\\x95\x5C..\\a", true},
        {"a share of 258 gains a separator and fits", unc257, 1, unc257 + "\\"},
        {"a share of 259 gains one too many", unc257 + "x", 0, ""},
        {"a folder gains a separator after its last name", "C:\\App\\Sub", 1, "C:\\App\\Sub\\", false, true},
        {"a folder keeps the one it has", "C:/App/Sub/", 1, "C:\\App\\Sub\\", false, true},
        {"a folder at the root keeps the root's", "C:\\App\\..", 1, "C:\\", false, true},
        // The last byte is the trail byte 0x5C, the separator's: it ends a name, and one is added.
        {"a folder ending in a trail byte of 0x5C", "C:\\\x95\x5C", 1, "C:\\\x95\x5C\\", true, true},
        {"a folder of 258 gains its separator and fits", "C:\\" + std::string(255, 'f'), 1,
         "C:\\" + std::string(255, 'f') + "\\", false, true},
        {"a folder of 259 gains one too many", "C:\\" + std::string(256, 'f'), 0, "", false, true},
    };
    for (const ResolveRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine(VER_PLATFORM_WIN32_NT);
        Machine().process.doubleByteCodePage = row.doubleByte;
        char buffer[MAX_PATH + 8];
        memset(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ((row.folder ? ResolveFolderPath : ResolveFullPath)(buffer, row.source.c_str()), row.result);
        if (row.result)
            EXPECT_EQ(std::string(buffer), row.expected);
        for (size_t i = row.result ? MAX_PATH : 0; i < sizeof buffer; i++)
            ASSERT_EQ(buffer[i], kSentinel) << "written at " << i;
    }
}

}  // namespace
