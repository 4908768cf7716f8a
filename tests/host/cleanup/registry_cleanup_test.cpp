// The registry clean-up: the application path's folder test, the per-user keys, the maker key,
// and the uninstall entry under the root of the machine's line.
#include <gtest/gtest.h>

#include <string>

#include "cleanup/registry_cleanup.h"
#include "foundation/process_state.h"
#include "support/machine_fixture.h"

namespace {

const char kAppPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone";

struct AppPathRow {
    const char* name;
    std::string value;
    DWORD type;
    bool deleted;
    std::string installDir = "C:\\Program Files\\Plexitone\\";
    bool doubleByte = false;  // code page 932
};

class RegistryCleanupTest : public MachineTest {
  protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        strcpy(InstallDir, "C:\\Program Files\\Plexitone\\");
    }
};

TEST_F(RegistryCleanupTest, DeletesTheApplicationPathOnlyWhenItNamesOurFolder)
{
    const std::string folder = "C:\\Program Files\\Plexitone\\";
    const AppPathRow rows[] = {
        {"our folder", folder + "px.exe", REG_SZ, true},
        {"our folder in other case", "c:\\PROGRAM FILES\\plexitone\\other.exe", REG_SZ, true},
        {"another folder", "C:\\Apps\\px.exe", REG_SZ, false},
        {"a subfolder of ours", folder + "bin\\px.exe", REG_SZ, false},
        {"REG_EXPAND_SZ naming our folder", folder + "px.exe", REG_EXPAND_SZ, false},
        {"short form of our folder", "C:\\PROGRA~1\\PLEXIT~1\\px.exe", REG_SZ, false},
        {"forward slashes", "C:/Program Files/Plexitone/px.exe", REG_SZ, false},
        {"259 characters are read", folder + std::string(259 - folder.size(), 'x'), REG_SZ, true},
        {"260 characters do not fit", folder + std::string(260 - folder.size(), 'x'), REG_SZ, false},
        // 83 41 and 83 61 are two katakana: only the letters A-Z fold, never a trail byte.
        {"another double-byte folder", "C:\\Program Files\\\x83\x61\\px.exe", REG_SZ, false,
         "C:\\Program Files\\\x83\x41\\", true},
        {"our double-byte folder in other case", "c:\\program files\\\x83\x41\\px.exe", REG_SZ, true,
         "C:\\Program Files\\\x83\x41\\", true},
    };
    for (const AppPathRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        Machine().process.doubleByteCodePage = row.doubleByte;
        strcpy(InstallDir, row.installDir.c_str());
        SetString(HKEY_LOCAL_MACHINE, kAppPath, "", row.value, row.type);
        CleanRegistry();
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kAppPath), !row.deleted);
        EXPECT_EQ(Machine().registry.openKeys, 0);
    }
}

TEST_F(RegistryCleanupTest, AValueFillingTheBufferWithoutItsNulIsNoMatch)
{
    // 260 bytes of our folder's text and no NUL: reading on would run past the buffer.
    const std::string folder = InstallDir;
    SetValue(HKEY_LOCAL_MACHINE, kAppPath, "", REG_SZ, folder + std::string(260 - folder.size(), 'x'));
    CleanRegistry();
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
    // Shorter data stored without a NUL is still read as the text it holds.
    SetValue(HKEY_LOCAL_MACHINE, kAppPath, "", REG_SZ, folder + "px.exe");
    CleanRegistry();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
}

TEST_F(RegistryCleanupTest, DeletesTheUserKeysAndTheMakerKeyWhenNothingElseIsLeft)
{
    struct Row {
        const char* name;
        DWORD line;
        std::string extraKey;   // another key under the maker or product key
        bool makerGone;
        bool productGone;
    };
    const Row rows[] = {
        {"nothing else", VER_PLATFORM_WIN32_NT, "", true, true},
        {"another product of the maker stays", VER_PLATFORM_WIN32_NT, "SOFTWARE\\Morvaine\\Other", false, true},
        {"NT: an unknown subkey keeps the product key", VER_PLATFORM_WIN32_NT, "SOFTWARE\\Morvaine\\Plexitone\\Skins", false, false},
        {"consumer: the unknown subkey goes with the product key", VER_PLATFORM_WIN32_WINDOWS, "SOFTWARE\\Morvaine\\Plexitone\\Skins", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(row.line);
        for (const char* key : {"Audio", "MIDI", "Recent Files", "Offline Rendering"})
            AddKey(HKEY_CURRENT_USER, std::string("SOFTWARE\\Morvaine\\Plexitone\\") + key);
        SetString(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine", "Owner", "x");  // values do not count
        if (!row.extraKey.empty())
            AddKey(HKEY_CURRENT_USER, row.extraKey);
        CleanRegistry();
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine"), !row.makerGone);
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine\\Plexitone"), !row.productGone);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine\\Plexitone\\Audio"));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine\\Plexitone\\Offline Rendering"));
    }
}

TEST_F(RegistryCleanupTest, AMissingSettingsKeyDoesNotStopTheOthers)
{
    AddKey(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine\\Plexitone\\Offline Rendering");
    CleanRegistry();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine"));
    EXPECT_EQ(CallsOf({"RegDeleteKeyA"}).size(), 7u);
}

TEST_F(RegistryCleanupTest, DeletesTheUninstallEntryUnderTheRootOfTheLine)
{
    struct Row {
        const char* name;
        DWORD line;
        HKEY gone;
        HKEY stays;
    };
    const Row rows[] = {
        {"NT line: the user's", VER_PLATFORM_WIN32_NT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE},
        {"consumer line: the machine's", VER_PLATFORM_WIN32_WINDOWS, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(row.line);
        SetString(HKEY_CURRENT_USER, kUninstall, "DisplayName", "Plexitone");
        SetString(HKEY_LOCAL_MACHINE, kUninstall, "DisplayName", "Plexitone");
        CleanRegistry();
        EXPECT_FALSE(KeyExists(row.gone, kUninstall));
        EXPECT_TRUE(KeyExists(row.stays, kUninstall));
    }
}

TEST_F(RegistryCleanupTest, DeleteKeyIfNoSubkeysLeavesAKeyItCannotCount)
{
    struct Row {
        const char* name;
        std::string failing;
        bool deny;
        bool gone;
    };
    const Row rows[] = {
        {"counted and empty", "", false, true},
        {"cannot be opened", "RegOpenKeyExA", false, false},
        {"no right to open it fully", "", true, false},
        {"subkeys cannot be counted", "RegQueryInfoKeyA", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker", "v", "1");
        if (row.deny)
            DenyAllAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker");
        if (!row.failing.empty())
            FailCall(row.failing);
        DeleteKeyIfNoSubkeys(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker");
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker"), !row.gone);
        EXPECT_EQ(Machine().registry.openKeys, 0);
    }
}

}  // namespace
