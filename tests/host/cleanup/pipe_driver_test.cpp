// The pipe driver: shared use, its registration on each line, its file, the machine's keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cleanup/pipe_driver.h"
#include "dialogs/progress_dialog.h"
#include "foundation/process_state.h"
#include "support/installation.h"
#include "support/machine_fixture.h"
#include "support/texts.h"

namespace {

const char kProduct[] = "SOFTWARE\\Morvaine\\Plexitone";
const char kShared[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const char kDesc[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
const std::string kAdminMessage = texts::BoxRow(texts::kNoAdmin, "0x0") + "1";

class PipeDriverTest : public MachineTest {
  protected:
    void Stage(DWORD line, DWORD count = 1, SimWindowsWidth width = SimWindows32)
    {
        ResetProcess(line, width);
        StageInstallation(count);
        registryBefore = ListRegistry();
        iniBefore = IniFile("system.ini");
    }
    bool Untouched()
    {
        return ListRegistry() == registryBefore && IniFile("system.ini") == iniBefore &&
               Machine().disk.pendingDeletes.empty() && IniFile("wininit.ini").empty() &&
               RestartNeeded == 0;
    }
    std::vector<std::string> registryBefore;
    std::string iniBefore;
};

struct CompleteRow {
    const char* name;
    DWORD line;
    SimWindowsWidth width;
    bool kernelHasWow64Folder;  // GetProcAddress finds GetSystemWow64DirectoryA
    std::vector<std::string> pendingDeletes;  // the NT line's records
    std::string renameSection;                // the consumer line's [rename] in wininit.ini
};

// The restart deletes what the record names, with no redirection: under WoW64 that must be the
// 32-bit folder the driver was installed in, or another program's 64-bit file of that name goes.
TEST_F(PipeDriverTest, ACompleteRemovalSchedulesTheDriverWhereItLies)
{
    const CompleteRow rows[] = {
        {"XP, which refuses the WoW64 folder", VER_PLATFORM_WIN32_NT, SimWindows32, true,
         {"C:\\WINDOWS\\system32\\pxpipe.drv"}, ""},
        {"a kernel without the WoW64 folder", VER_PLATFORM_WIN32_NT, SimWindows32, false,
         {"C:\\WINDOWS\\system32\\pxpipe.drv"}, ""},
        {"XP x64", VER_PLATFORM_WIN32_NT, SimWindows64, true,
         {"C:\\WINDOWS\\SysWOW64\\pxpipe.drv"}, ""},
        {"98", VER_PLATFORM_WIN32_WINDOWS, SimWindows32, false, {},
         "[rename]\r\nnul=C:\\WINDOWS\\SYSTEM\\pxpipe.drv\r\n"},
    };
    for (const CompleteRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line, 1, row.width);
        Machine().process.kernelHasGetSystemWow64Directory = row.kernelHasWow64Folder;
        // What the 32-bit installer and uninstaller reach: the machine's own keys under WoW64.
        const std::string maker = RedirectedKeyPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine");
        AddKey(HKEY_LOCAL_MACHINE, maker + "\\Other");
        EXPECT_EQ(RemovePipeDriver(), 1);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, RedirectedKeyPath(HKEY_LOCAL_MACHINE, kProduct)));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, maker));  // another product's
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, RedirectedKeyPath(HKEY_LOCAL_MACHINE, kShared),
                                 kDriverName));
        EXPECT_EQ(Machine().disk.pendingDeletes, row.pendingDeletes);
        EXPECT_EQ(IniFile("wininit.ini"), row.renameSection);
        EXPECT_EQ(RestartNeeded, 1);
        EXPECT_EQ(Machine().registry.openKeys, 0);
        EXPECT_TRUE(UiRows().empty());
    }
}

struct SharedRow {
    const char* name;
    bool present;
    DWORD type;
    std::string data;
    uint32_t result;
    bool valueStays;
    std::string dataAfter;
};

TEST_F(PipeDriverTest, ReleaseSharedDllNeverWritesTheCount)
{
    const std::string three("\x03\0\0\0", 4);
    const std::string two("\x02\0\0\0", 4);
    const std::string one("\x01\0\0\0", 4);
    const std::string zero("\0\0\0\0", 4);
    const SharedRow rows[] = {
        {"count 3", true, REG_DWORD, three, 2, true, three},
        {"count 2", true, REG_DWORD, two, 1, true, two},
        {"count 1", true, REG_DWORD, one, 0, false, ""},
        {"count 0", true, REG_DWORD, zero, 0, false, ""},
        {"no value", false, REG_DWORD, "", 0, false, ""},
        {"a string", true, REG_SZ, std::string("3\0", 2), 0, false, ""},
        {"too long for a count", true, REG_BINARY, std::string(8, '\x05'), 0, false, ""},
    };
    for (const SharedRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        AddKey(HKEY_LOCAL_MACHINE, kShared);
        if (row.present)
            SetValue(HKEY_LOCAL_MACHINE, kShared, "pxpipe.drv", row.type, row.data);
        EXPECT_EQ(ReleaseSharedDll("pxpipe.drv"), row.result);
        EXPECT_EQ(ValueExists(HKEY_LOCAL_MACHINE, kShared, "pxpipe.drv"), row.valueStays);
        if (row.valueStays)
            EXPECT_EQ(ValueData(HKEY_LOCAL_MACHINE, kShared, "pxpipe.drv"), row.dataAfter);
    }
    ResetProcess(VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(ReleaseSharedDll("pxpipe.drv"), 0u) << "no SharedDLLs key counts as no user";
}

TEST_F(PipeDriverTest, ADriverStillSharedStaysWhole)
{
    for (DWORD line : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        SCOPED_TRACE(line);
        Stage(line, 3);
        EXPECT_EQ(RemovePipeDriver(), 1);
        EXPECT_TRUE(Untouched());
    }
}

struct FailureRow {
    const char* name;
    DWORD line;
    void (*arrange)();
    int result;
    bool messageShown;
    bool untouched;  // failed before the shared-use count was consulted: nothing changed
    SimWindowsWidth width = SimWindows32;
};

TEST_F(PipeDriverTest, StopsAtTheFirstFailureAndKeepsTheProductKey)
{
    const FailureRow rows[] = {
        {"no product key", VER_PLATFORM_WIN32_NT,
         [] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone"); }, 0, false, true},
        {"no PlexitonePipe value", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "Version", "1");
              HKEY key; RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", 0, KEY_ALL_ACCESS, &key);
              RegDeleteValueA(key, "PlexitonePipe"); RegCloseKey(key); }, 0, false, true},
        {"an empty PlexitonePipe", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", ""); }, 0, false, true},
        {"PlexitonePipe filling the buffer without NUL", VER_PLATFORM_WIN32_NT,
         [] { SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", REG_BINARY, std::string(260, 'p')); }, 0, false, true},
        {"PlexitonePipe longer than the buffer", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", std::string(260, 'p')); }, 0, false, true},
        {"PlexitonePipe climbing out of the system folder", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", "..\\EXPLORER.EXE"); }, 0, false, true},
        {"PlexitonePipe with a forward slash", VER_PLATFORM_WIN32_WINDOWS,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", "drivers/pxpipe.drv"); }, 0, false, true},
        {"PlexitonePipe naming a drive", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", "C:pxpipe.drv"); }, 0, false, true},
        {"PlexitonePipe is a dot", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", "."); }, 0, false, true},
        {"PlexitonePipe is two dots", VER_PLATFORM_WIN32_WINDOWS,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", ".."); }, 0, false, true},
        {"no system folder", VER_PLATFORM_WIN32_NT, [] { FailCall("GetSystemDirectoryA"); }, 0, false, true},
        // 259 characters fit the buffer, yet leave no room for the driver's name; 260 do not fit.
        {"system folder of 259 characters", VER_PLATFORM_WIN32_NT,
         [] { Machine().disk.systemFolderNt = "C:\\" + std::string(256, 's'); AddFolder(Machine().disk.systemFolderNt); }, 0, false, true},
        {"system folder of 260 characters", VER_PLATFORM_WIN32_NT,
         [] { Machine().disk.systemFolderNt = "C:\\" + std::string(257, 's'); AddFolder(Machine().disk.systemFolderNt); }, 0, false, true},
        // Its use count of 1 would be deleted if it were consulted.
        {"driver path too long", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone", "PlexitonePipe", std::string(240, 'p'));
              SetDword(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", std::string(240, 'p'), 1); }, 0, false, true},
        // Anything but "not there on 32-bit Windows" leaves the driver's folder unknown.
        {"the WoW64 folder refused for another reason", VER_PLATFORM_WIN32_NT,
         [] { FailCall("GetSystemWow64DirectoryA"); }, 0, false, true, SimWindows64},
        {"no right to Drivers32", VER_PLATFORM_WIN32_NT,
         [] { DenyAllAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32"); }, 0, true, true},
        // A limited user may read the product key, and so learns the name before being refused.
        {"a limited user", VER_PLATFORM_WIN32_NT,
         [] { DenyAllAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone");
              DenyAllAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32"); }, 0, true, true},
        // Registrations in a form the run does not delete: the driver is not already removed,
        // and taking out the rest would leave them naming a file the restart deletes.
        {"listed as REG_EXPAND_SZ", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi1", "pxpipe.drv", REG_EXPAND_SZ); }, 0, false, true},
        {"REG_EXPAND_SZ beside the REG_SZ value", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi2", "PXPIPE.DRV", REG_EXPAND_SZ); }, 0, false, true},
        {"listed by its path", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi1", "C:\\WINDOWS\\system32\\pxpipe.drv"); }, 0, false, true},
        {"its path beside the REG_SZ value", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi7", "c:/windows/SYSTEM32/pxpipe.drv"); }, 0, false, true},
        // A value this run cannot read whole may name the driver by a path of its own.
        {"a list value of 261 bytes with its NUL", VER_PLATFORM_WIN32_NT,
         [] { SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi5",
                        "C:\\" + std::string(246, 'd') + "\\pxpipe.drv"); }, 0, false, true},
        {"a list value filling the buffer without NUL", VER_PLATFORM_WIN32_NT,
         [] { SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi5", REG_SZ,
                       "C:\\" + std::string(247, 'd') + "\\pxpipe.dr"); }, 0, false, true},
        {"the list value cannot be deleted", VER_PLATFORM_WIN32_NT,
         [] { FailCall("RegDeleteValueA", 1, SimFaultError, "midi1"); }, 0, false, false},
        {"no right to drivers.desc", VER_PLATFORM_WIN32_NT,
         [] { DenyAllAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc"); }, 0, false, false},
        // The first deletion of that name is the use count's; the second is the description.
        {"the description cannot be deleted", VER_PLATFORM_WIN32_NT,
         [] { FailCall("RegDeleteValueA", 2, SimFaultError, "pxpipe.drv"); }, 0, false, false},
        {"system.ini cannot be written", VER_PLATFORM_WIN32_WINDOWS,
         [] { FailCall("WritePrivateProfileStringA"); }, 0, false, false},
        {"the file cannot be scheduled", VER_PLATFORM_WIN32_NT, [] { FailCall("MoveFileExA"); }, 0, false, false},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line, 1, row.width);
        row.arrange();
        registryBefore = ListRegistry();
        Machine().calls.clear();
        if (row.messageShown)
            ScriptAnswers({IDOK});
        const bool productKeyBefore = KeyExists(HKEY_LOCAL_MACHINE, kProduct);
        EXPECT_EQ(RemovePipeDriver(), row.result);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kProduct), productKeyBefore);
        EXPECT_EQ(RestartNeeded, 0);
        EXPECT_TRUE(Machine().disk.pendingDeletes.empty());
        EXPECT_EQ(UiRows(), row.messageShown ? std::vector<std::string>{kAdminMessage}
                                             : std::vector<std::string>{});
        EXPECT_EQ(Machine().registry.openKeys, 0);
        if (row.untouched)
            EXPECT_TRUE(Untouched());
    }
}

struct UnregisteredRow {
    const char* name;
    void (*arrange)();
    std::vector<std::string> driverListAfter;  // Drivers32 values left, "name=data"
};

// Every list value naming the driver goes; none left names a file the restart deletes. A run
// stopped after deleting the list value, or a user who took the driver out of the MIDI list,
// leaves a driver that is no longer registered: the rest of it must still go.
TEST_F(PipeDriverTest, TheDriverGoesWithEveryListValueNamingIt)
{
    const UnregisteredRow rows[] = {
        {"no list value", [] { HKEY key; RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0, KEY_ALL_ACCESS, &key);
              RegDeleteValueA(key, "midi1"); RegCloseKey(key); },
         {"midi=other.drv"}},
        {"listed under midi100 only", [] { HKEY key; RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0, KEY_ALL_ACCESS, &key);
              RegDeleteValueA(key, "midi1"); RegCloseKey(key);
              SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi100", "pxpipe.drv"); },
         {"midi=other.drv", "midi100=pxpipe.drv"}},
        {"no description value", [] { HKEY key; RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc", 0, KEY_ALL_ACCESS, &key);
              RegDeleteValueA(key, "pxpipe.drv"); RegCloseKey(key); },
         {"midi=other.drv"}},
        {"no drivers.desc key", [] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc"); },
         {"midi=other.drv"}},
        {"named in any case under midi and midi99 as well", [] {
              SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi", "PXPIPE.DRV");
              SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi99", "pxpipe.drv"); },
         {}},
        // Code page 932: 95 5C is one character, so the value is one file name, not a path.
        {"a double-byte name whose trail byte is the separator's", [] {
              Machine().process.doubleByteCodePage = true;
              SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi2", "\x95\x5Cpxpipe.drv"); },
         {"midi=other.drv", "midi2=\x95\x5Cpxpipe.drv"}},
    };
    for (const UnregisteredRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(VER_PLATFORM_WIN32_NT);
        row.arrange();
        EXPECT_EQ(RemovePipeDriver(), 1);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProduct));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine"));
        EXPECT_EQ(Machine().disk.pendingDeletes,
                  std::vector<std::string>{"C:\\WINDOWS\\system32\\pxpipe.drv"});
        EXPECT_EQ(RestartNeeded, 1);
        std::vector<std::string> driverList;
        for (const char* name : {"midi", "midi1", "midi2", "midi99", "midi100"})
            if (ValueExists(HKEY_LOCAL_MACHINE, kDrivers32, name))
                driverList.push_back(std::string(name) + "=" +
                                     ValueData(HKEY_LOCAL_MACHINE, kDrivers32, name).c_str());
        EXPECT_EQ(driverList, row.driverListAfter);
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kDesc, kDriverName));
        EXPECT_TRUE(UiRows().empty());
    }
}

// Shift-JIS 0x95 0x5C: the trail byte is the separator's byte, yet the name is one file name.
TEST_F(PipeDriverTest, ADoubleByteNameWithASeparatorTrailByteIsAFileName)
{
    const std::string name = "\x95\x5C.drv";
    Stage(VER_PLATFORM_WIN32_NT);
    Machine().process.doubleByteCodePage = true;
    SetString(HKEY_LOCAL_MACHINE, kProduct, "PlexitonePipe", name);
    SetString(HKEY_LOCAL_MACHINE, kDrivers32, "midi1", name);
    SetString(HKEY_LOCAL_MACHINE, kDesc, name, "Plexitone Pipe");
    EXPECT_EQ(RemovePipeDriver(), 1);
    EXPECT_EQ(Machine().disk.pendingDeletes,
              std::vector<std::string>{"C:\\WINDOWS\\system32\\" + name});
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kDrivers32, "midi1"));
}

TEST_F(PipeDriverTest, TheAdministratorMessageIsOwnedByTheProgressDialogWhenThereIsOne)
{
    Stage(VER_PLATFORM_WIN32_NT);
    DenyAllAccess(HKEY_LOCAL_MACHINE, kDrivers32);
    InitCommonControls();
    ProgressDialog = CreateDialogParamA(SimInstance(), "Uninstalling", NULL, ProgressDialogProc, 0);
    ASSERT_NE(ProgressDialog, nullptr);
    ScriptAnswers({IDOK});
    EXPECT_EQ(RemovePipeDriver(), 0);
    ASSERT_EQ(Machine().ui.journal.size(), 1u);
    EXPECT_EQ(Machine().ui.journal[0].owner, ProgressDialog);
    DestroyWindow(ProgressDialog);
    ProgressDialog = NULL;
}

}  // namespace
