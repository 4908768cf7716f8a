// Whole runs of the uninstaller on a staged installation: both roads, every message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/process_state.h"
#include "run/uninstall_run.h"
#include "support/installation.h"
#include "support/log_builder.h"
#include "support/machine_fixture.h"
#include "support/texts.h"

namespace {

const std::string kConfirm = texts::BoxRow(texts::kConfirm, "0x104");
const std::string kComplete = texts::BoxRow(texts::kComplete, "0x0") + "1";
const std::string kRestartQuestion = texts::BoxRow(texts::kRestart, "0x4");
const std::string kCorrupt = texts::BoxRow(texts::kCorrupt, "0x0") + "1";
const std::string kRebootFailed = texts::BoxRow(texts::kRebootFailed, "0x0") + "1";
const std::string kFallback =
    "Dialog owner=none caption=" + texts::kDialogCaption + " text=" + texts::kFallbackTexts + " type=0x0 answer=";

const std::string kNoAdminRun = texts::BoxRow(texts::kNoAdminRun, "0x0") + "1";

const std::string kFolder = kInstallFolder;

// The attributes of the Administrators group in the run's token, or kNoAdministrators without it.
const DWORD kAdministrators = 7;           // mandatory, enabled by default, enabled
const DWORD kNotElevated = 0x10;           // deny-only: an administrator's run UAC did not elevate
const DWORD kNoAdministrators = 0xFFFFFFFF;  // a standard user

void SetAdministratorsGroup(DWORD attributes)
{
    std::vector<SimTokenGroup>& groups = Machine().token.groups;
    for (size_t i = 0; i < groups.size(); i++) {
        if (groups[i].sid == "S-1-5-32-544") {
            groups.erase(groups.begin() + (long)i);
            break;
        }
    }
    if (attributes != kNoAdministrators)
        groups.push_back({"S-1-5-32-544", attributes});
}

class UninstallRunTest : public MachineTest {
  protected:
    void Stage(DWORD line, DWORD sharedUseCount = 1)
    {
        ResetProcess(line);
        Machine().process.modulePath = kFolder + "\\pxunins.exe";
        StageInstallation(sharedUseCount);
    }
};

TEST_F(UninstallRunTest, YesRemovesTheLoggedFilesAndEveryRegistrationThenOffersTheRestart)
{
    for (DWORD line : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        SCOPED_TRACE(line == VER_PLATFORM_WIN32_NT ? "NT line" : "consumer line");
        Stage(line);
        ScriptAnswers({IDYES, IDNO});

        EXPECT_EQ(RunUninstaller(), 0);

        EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kRestartQuestion + "7"}));
        // The uninstaller and its log stay in their folder; everything logged is gone.
        EXPECT_EQ(PathsUnder(kFolder), (std::vector<std::string>{
                                           kFolder, kFolder + "\\_pxunins.dat", kFolder + "\\pxunins.exe"}));
        EXPECT_EQ(PathsUnder(std::string(kProgramsFolder) + "\\Plexitone"), std::vector<std::string>{});
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe"));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine"));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone"));
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", kDriverName));
        EXPECT_EQ(RestartNeeded, 1);
        EXPECT_FALSE(Machine().process.restartRequested);
        if (line == VER_PLATFORM_WIN32_NT) {
            EXPECT_EQ(Machine().disk.pendingDeletes,
                      std::vector<std::string>{"C:\\WINDOWS\\system32\\pxpipe.drv"});
            EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi1"));
            EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "midi"));
            EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc", kDriverName));
        } else {
            EXPECT_EQ(IniFile("system.ini").find("MIDIPlexitone"), std::string::npos);
            EXPECT_NE(IniFile("system.ini").find("wave=mmdrv.dll"), std::string::npos);
            EXPECT_NE(IniFile("wininit.ini").find("nul=C:\\WINDOWS\\SYSTEM\\pxpipe.drv"), std::string::npos);
        }
        // The driver file itself waits for the restart.
        EXPECT_TRUE(PathExists((line == VER_PLATFORM_WIN32_NT ? Machine().disk.systemFolderNt
                                                              : Machine().disk.systemFolderConsumer) +
                               "\\pxpipe.drv"));
    }
}

TEST_F(UninstallRunTest, RunsTheStepsInTheirOrderUnderTheProgressDialog)
{
    Stage(VER_PLATFORM_WIN32_NT);
    ScriptAnswers({IDYES, IDNO});
    RunUninstaller();

    const std::vector<std::string> steps = CallsOf({"CreateDialogParamA", "ShowWindow", "DeleteFileA",
                                                    "RemoveDirectoryA", "SetDlgItemTextA",
                                                    "SHGetSpecialFolderLocation", "RegOpenKeyExA",
                                                    "DestroyWindow", "MessageBoxA"});
    std::vector<std::string> names;
    for (const std::string& step : steps)
        names.push_back(step.substr(0, step.find('(')));
    // Confirmation, dialog, the pass with a text per entry, the end report, start menu,
    // registry, driver, then the dialog goes before the last question.
    const std::vector<std::string> head = {"MessageBoxA", "CreateDialogParamA", "ShowWindow",
                                           "DeleteFileA", "SetDlgItemTextA"};
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5), head);
    const std::string expectedTexts[] = {
        "Removing: " + kFolder + "\\readme.txt", "Removing: " + kFolder + "\\Sounds\\piano.sf2",
        "Removing: " + kFolder + "\\Sounds\\Drums\\kick.wav", "Removing: " + kFolder + "\\px.exe",
        "Removing: " + kFolder + "\\Sounds\\Drums", "Removing: " + kFolder + "\\Sounds", ""};
    std::vector<std::string> texts = CallsOf({"SetDlgItemTextA"});
    ASSERT_EQ(texts.size(), 7u);
    for (size_t i = 0; i < 7; i++)
        EXPECT_NE(texts[i].find(expectedTexts[i]), std::string::npos) << texts[i];
    // Start menu, registry, pipe driver: the first call each step makes, in the machine's record.
    auto firstCall = [](const std::string& prefix) {
        const std::vector<std::string>& calls = Machine().calls;
        for (size_t i = 0; i < calls.size(); i++)
            if (calls[i].compare(0, prefix.size(), prefix) == 0)
                return i;
        return calls.size();
    };
    size_t startMenu = firstCall("SHGetSpecialFolderLocation(");
    size_t registry = firstCall("RegOpenKeyExA(Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe)");
    size_t pipeDriver = firstCall("RegQueryValueExA(PlexitonePipe)");
    EXPECT_LT(startMenu, registry);
    EXPECT_LT(registry, pipeDriver);
    EXPECT_LT(pipeDriver, Machine().calls.size());
    EXPECT_EQ(names[names.size() - 3], "ShowWindow");
    EXPECT_EQ(names[names.size() - 2], "DestroyWindow");
    EXPECT_EQ(names.back(), "MessageBoxA");
    EXPECT_EQ(ProgressDialog, nullptr);
}

struct MainRoadRow {
    const char* name;
    DWORD sharedUseCount;
    std::vector<INT_PTR> answers;
    bool restartAllowed;  // whether the system accepts the restart request
    std::vector<std::string> ui;
    bool restartRequested;
    bool removes;  // the logged files and the registrations go
    DWORD administratorsGroup = kAdministrators;  // in the run's token
    bool nt4 = false;  // an advapi32 without CheckTokenMembership: the token's groups decide
    DWORD line = VER_PLATFORM_WIN32_NT;
};

TEST_F(UninstallRunTest, EndsWithTheCompletionOrTheRestartQuestion)
{
    const MainRoadRow rows[] = {
        {"driver still shared: plain completion", 3, {IDYES, IDOK}, true, {kConfirm + "6", kComplete}, false, true},
        {"restart Yes", 1, {IDYES, IDYES}, true, {kConfirm + "6", kRestartQuestion + "6"}, true, true},
        {"restart refused by the system", 1, {IDYES, IDYES, IDOK}, false,
         {kConfirm + "6", kRestartQuestion + "6", kRebootFailed}, false, true},
        {"restart question fails: no restart", 1, {IDYES, 0}, true, {kConfirm + "6", kRestartQuestion + "0"}, false,
         true},
        {"No to the confirmation", 1, {IDNO}, true, {kConfirm + "7"}, false, false},
        {"a failed confirmation", 1, {0}, true, {kConfirm + "0"}, false, false},
        // Such a run would remove the start-menu group and the HKCU entry alone and leave a
        // program that the list of installed programs no longer offers to remove.
        {"a standard user", 3, {IDOK}, true, {kNoAdminRun}, false, false, kNoAdministrators},
        {"an administrator's run UAC did not elevate", 3, {IDOK}, true, {kNoAdminRun}, false, false, kNotElevated},
        {"NT 4: an administrator", 3, {IDYES, IDOK}, true, {kConfirm + "6", kComplete}, false, true,
         kAdministrators, true},
        {"NT 4: a standard user", 3, {IDOK}, true, {kNoAdminRun}, false, false, kNoAdministrators, true},
        {"NT 4: the group switched off", 3, {IDOK}, true, {kNoAdminRun}, false, false, 0, true},
        {"consumer line: no token to ask", 3, {IDYES, IDOK}, true, {kConfirm + "6", kComplete}, false, true,
         kNoAdministrators, false, VER_PLATFORM_WIN32_WINDOWS},
    };
    for (const MainRoadRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line, row.sharedUseCount);
        SetAdministratorsGroup(row.administratorsGroup);
        Machine().token.advapiHasCheckTokenMembership = !row.nt4;
        Machine().ui.exitWindowsSucceeds = row.restartAllowed;
        ScriptAnswers(row.answers);
        const std::vector<std::string> pathsBefore = ListPaths();
        const std::vector<std::string> registryBefore = ListRegistry();

        EXPECT_EQ(RunUninstaller(), 0);

        EXPECT_EQ(UiRows(), row.ui);
        EXPECT_EQ(Machine().process.restartRequested, row.restartRequested);
        EXPECT_EQ(PathExists(kFolder + "\\readme.txt"), !row.removes);
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine"), !row.removes);
        if (!row.removes) {
            EXPECT_EQ(ListPaths(), pathsBefore);
            EXPECT_EQ(ListRegistry(), registryBefore);
        }
        EXPECT_EQ(Machine().token.sidsLive, 0);
        EXPECT_EQ(Machine().process.openTokens, 0);
    }
}

TEST_F(UninstallRunTest, NoToTheConfirmationChangesNothing)
{
    Stage(VER_PLATFORM_WIN32_NT);
    const std::vector<std::string> pathsBefore = ListPaths();
    const std::vector<std::string> registryBefore = ListRegistry();
    ScriptAnswers({IDNO});
    EXPECT_EQ(RunUninstaller(), 0);
    EXPECT_EQ(ListPaths(), pathsBefore);
    EXPECT_EQ(ListRegistry(), registryBefore);
    EXPECT_TRUE(CallsOf({"CreateDialogParamA"}).empty());
}

TEST_F(UninstallRunTest, AProgressDialogThatCannotBeCreatedIsReportedAndNothingIsRemoved)
{
    Stage(VER_PLATFORM_WIN32_NT);
    const std::vector<std::string> pathsBefore = ListPaths();
    const std::vector<std::string> registryBefore = ListRegistry();
    FailCall("CreateDialogParamA");
    ScriptAnswers({IDYES, IDOK});
    EXPECT_EQ(RunUninstaller(), 0);
    EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kCorrupt}));
    EXPECT_EQ(ListPaths(), pathsBefore);
    EXPECT_EQ(ListRegistry(), registryBefore);
}

TEST_F(UninstallRunTest, AnEmptyLogStillRunsEveryCleanupStep)
{
    Stage(VER_PLATFORM_WIN32_NT, 3);
    AddFile(kFolder + "\\_pxunins.dat", LogBuilder().Header(0).Bytes());
    ScriptAnswers({IDYES, IDOK});
    EXPECT_EQ(RunUninstaller(), 0);
    EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kComplete}));
    EXPECT_TRUE(PathExists(kFolder + "\\readme.txt"));
    EXPECT_FALSE(PathExists(std::string(kProgramsFolder) + "\\Plexitone"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine"));
    EXPECT_EQ(CallsOf({"SetDlgItemTextA"}).size(), 1u);  // the end report alone
}

// What a system DLL may ask for by name during a run, planted beside the program and in the
// working folder: comctl32, what comctl32 6 and uxtheme ask for, what shell32 asks for to find
// the Programs folder (userenv), and what userenv of Windows 7 imports (profapi).
const char* const kPlantedNames[] = {"comctl32.dll", "uxtheme.dll", "msimg32.dll",
                                     "dwmapi.dll",   "userenv.dll", "profapi.dll"};

// names: the DLLs, separated by spaces, in the system folder given.
std::vector<std::string> InFolder(const std::string& folder, const std::string& names)
{
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(' ', start);
        end = end == std::string::npos ? names.size() : end;
        paths.push_back(folder + "\\" + names.substr(start, end - start) + ".dll");
        start = end + 1;
    }
    return paths;
}

std::vector<std::string> Then(std::vector<std::string> paths, const std::string& last)
{
    paths.push_back(last);
    return paths;
}

struct DllSearchRow {
    const char* name;
    DWORD line, major, minor;
    bool hasSetDefaultDllDirectories, hasSetDllDirectoryA, hasActivationContexts;
    std::vector<std::string> loaded;  // every DLL mapped, as the loader recorded it
    // A file "pxunins.exe.manifest" beside the exe that names comctl32 as a file of its own,
    // which XP takes over the embedded manifest for the process's default activation context.
    bool manifestBesideTheExe = false;
    // A name the system asks for by name at the first window and does not have, in the working
    // folder alone.
    const char* lackedInWorkingFolder = nullptr;
};

// The run is elevated and its folder may be writable by every user: no DLL is taken from there
// or from the working folder, whatever the system offers to narrow the search.
TEST_F(UninstallRunTest, LoadsNoDllFromBesideItselfOrFromTheWorkingFolder)
{
    const std::string system = "C:\\WINDOWS\\system32";
    const std::string sideBySide =
        "C:\\WINDOWS\\WinSxS\\x86_Microsoft.Windows.Common-Controls_6595b64144ccf1df_6.0.2600.2180_x-ww_a84f1ff9"
        "\\comctl32.dll";
    const std::vector<std::string> vista7 = Then(
        InFolder(system, "dwmapi msimg32 uxtheme userenv profapi oleacc setupapi apphelp propsys cryptbase clbcatq "
                         "ntmarta"),
        sideBySide);
    const std::vector<std::string> xp =
        Then(InFolder(system, "msimg32 uxtheme userenv oleacc setupapi apphelp clbcatq ntmarta"), sideBySide);
    const DllSearchRow rows[] = {
        {"Windows 8: the system folder alone", VER_PLATFORM_WIN32_NT, 6, 2, true, true, true, vista7},
        {"Windows 7 without the search update: imports of the preloaded from the system folder",
         VER_PLATFORM_WIN32_NT, 6, 1, false, true, true, vista7},
        {"XP SP2: no working folder, the system's DLLs by full path", VER_PLATFORM_WIN32_NT, 5, 1, false, true, true,
         xp},
        {"XP before SP1: the system's DLLs by full path", VER_PLATFORM_WIN32_NT, 5, 1, false, false, true, xp},
        {"XP SP2: a manifest file beside the exe", VER_PLATFORM_WIN32_NT, 5, 1, false, true, true, xp, true},
        {"XP SP2: a name the system lacks, in the working folder", VER_PLATFORM_WIN32_NT, 5, 1, false, true, true, xp,
         false, "pxlacked.dll"},
        // No side-by-side store: comctl32 5 of the system folder by full path.
        {"Windows 2000", VER_PLATFORM_WIN32_NT, 5, 0, false, false, false,
         Then(InFolder(system, "msimg32 userenv oleacc setupapi clbcatq ntmarta"), system + "\\comctl32.dll")},
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, false, false, false,
         InFolder("C:\\WINDOWS\\SYSTEM", "msimg32 oleacc comctl32")},
    };
    const std::string workingFolder = "C:\\Documents and Settings\\User";
    for (const DllSearchRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line);
        SimProcess& process = Machine().process;
        process.majorVersion = row.major;
        process.minorVersion = row.minor;
        process.kernelHasSetDefaultDllDirectories = row.hasSetDefaultDllDirectories;
        process.kernelHasSetDllDirectoryA = row.hasSetDllDirectoryA;
        process.kernelHasActivationContexts = row.hasActivationContexts;
        Machine().disk.currentFolder = workingFolder;
        AddFolder(workingFolder);
        for (const char* name : kPlantedNames) {
            AddFile(kFolder + "\\" + name, "planted");
            AddFile(workingFolder + "\\" + name, "planted");
        }
        if (row.manifestBesideTheExe)
            AddFile(kFolder + "\\pxunins.exe.manifest",
                    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
                    "<file name=\"comctl32.dll\"><windowClass>msctls_progress32</windowClass>"
                    "<windowClass>Button</windowClass></file></assembly>");
        if (row.lackedInWorkingFolder != nullptr) {
            process.loadedByNameAtFirstWindow.push_back(row.lackedInWorkingFolder);
            AddFile(workingFolder + "\\" + row.lackedInWorkingFolder, "planted");
        }
        ScriptAnswers({IDYES, IDNO});

        EXPECT_EQ(RunUninstaller(), 0);

        EXPECT_EQ(Machine().process.loadedDlls, row.loaded);
        EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kRestartQuestion + "7"}));
        EXPECT_FALSE(PathExists(kFolder + "\\readme.txt"));
    }
}

struct FallbackRow {
    const char* name;
    std::string modulePath;
    std::string log;      // empty: no log file
    SimFaultKind moduleFault;
    bool failModulePath;
    std::string loadedModulePath;  // where the program really runs from, when the ANSI path differs
    bool logInWorkingFolder;       // a sound log naming a file lies in the working folder too
    DWORD administratorsGroup = kAdministrators;  // in the run's token
};

TEST_F(UninstallRunTest, AnUnusableLogLeadsToTheFallbackDialog)
{
    const std::string folder247 = "C:\\" + std::string(243, 'f') + "\\";  // 247 with its backslash
    const std::string folder248 = "C:\\" + std::string(244, 'f') + "\\";
    const std::string good = LogBuilder().Header(1).File(kFolder + "\\readme.txt").Bytes();
    const FallbackRow rows[] = {
        {"no log", kFolder + "\\pxunins.exe", "", SimFaultError, false},
        {"malformed log", kFolder + "\\pxunins.exe", LogBuilder().Header(1).Entry(2, "x").Bytes(), SimFaultError, false},
        {"module path unknown", kFolder + "\\pxunins.exe", good, SimFaultError, true},
        // Without its own path the run must not fall back on a relative "_pxunins.dat".
        {"module path unknown, a log in the working folder", kFolder + "\\pxunins.exe", "", SimFaultError, true, "",
         true},
        {"folder of 248 characters", folder248 + "pxunins.exe", good, SimFaultError, false},
        {"module path of 260 characters is cut", "C:\\" + std::string(253, 'm') + "\\x.exe", good, SimFaultError, false},
        // "Plexitone \u0100" outside the code page: the ANSI path names another installation's
        // folder, or nothing at all. Either way that log is not ours.
        {"folder name rendered as a look-alike", "C:\\Program Files\\Plexitone A\\pxunins.exe", good, SimFaultError,
         false, "C:\\Program Files\\Plexitone \xC4\x80\\pxunins.exe"},
        {"folder name rendered with a question mark", "C:\\Program Files\\Plexitone ?\\pxunins.exe", good, SimFaultError,
         false, "C:\\Program Files\\Plexitone \xC4\x80\\pxunins.exe"},
        // Refused before the dialog: "&Go on" would remove the start-menu group and not the driver.
        {"no log, a standard user", kFolder + "\\pxunins.exe", "", SimFaultError, false, "", false, kNoAdministrators},
        {"module path unknown, not elevated", kFolder + "\\pxunins.exe", good, SimFaultError, true, "", false,
         kNotElevated},
    };
    for (const FallbackRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(VER_PLATFORM_WIN32_NT);
        Machine().process.modulePath = row.modulePath;
        Machine().process.loadedModulePath = row.loadedModulePath;
        std::string folder = row.modulePath.substr(0, row.modulePath.rfind('\\'));
        AddFolder(folder);
        if (!row.log.empty())
            AddFile(folder + "\\_pxunins.dat", row.log);
        else
            DeleteFileA((kFolder + "\\_pxunins.dat").c_str());
        if (row.logInWorkingFolder) {
            const std::string victim = Machine().disk.currentFolder + "\\victim.txt";
            AddFile(victim);
            AddFile(Machine().disk.currentFolder + "\\_pxunins.dat", LogBuilder().Header(1).File(victim).Bytes());
        }
        if (row.failModulePath)
            FailCall("GetModuleFileNameA", 0);  // every call: the system cannot give it
        SetAdministratorsGroup(row.administratorsGroup);
        ScriptAnswers({row.administratorsGroup == kAdministrators ? IDCANCEL : IDOK});
        const std::vector<std::string> pathsBefore = ListPaths();
        const std::vector<std::string> registryBefore = ListRegistry();

        EXPECT_EQ(RunUninstaller(), 0);

        EXPECT_EQ(UiRows(), std::vector<std::string>{row.administratorsGroup == kAdministrators ? kFallback + "2"
                                                                                                 : kNoAdminRun});
        EXPECT_EQ(ListPaths(), pathsBefore);
        EXPECT_EQ(ListRegistry(), registryBefore);
    }
    // 247 characters leave room for the log's name: 247 + 12 = 259.
    Stage(VER_PLATFORM_WIN32_NT);
    Machine().process.modulePath = folder247 + "pxunins.exe";
    AddFile(folder247 + "_pxunins.dat", LogBuilder().Header(0).Bytes());
    ScriptAnswers({IDNO});
    RunUninstaller();
    EXPECT_EQ(UiRows(), std::vector<std::string>{kConfirm + "7"});
    EXPECT_EQ(std::string(InstallDir), folder247);
}

TEST_F(UninstallRunTest, GoOnRemovesTheStartMenuGroupThenThePipeDriverAndNothingElse)
{
    for (DWORD line : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        SCOPED_TRACE(line == VER_PLATFORM_WIN32_NT ? "NT line" : "consumer line");
        Stage(line);
        DeleteFileA((kFolder + "\\_pxunins.dat").c_str());
        Machine().calls.clear();
        ScriptAnswers({IDOK});

        EXPECT_EQ(RunUninstaller(), 0);

        // No final message and no restart offer, although a deletion is pending.
        EXPECT_EQ(UiRows(), std::vector<std::string>{kFallback + "1"});
        EXPECT_EQ(RestartNeeded, 1);
        EXPECT_FALSE(PathExists(std::string(kProgramsFolder) + "\\Plexitone"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine"));
        // The registry clean-up is not part of this road.
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe"));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine\\Plexitone\\Audio"));
        EXPECT_TRUE(PathExists(kFolder + "\\readme.txt"));
        // The group goes before the driver.
        std::vector<std::string> order = CallsOf({"RemoveDirectoryA", "RegOpenKeyExA"});
        ASSERT_FALSE(order.empty());
        EXPECT_EQ(order.front().substr(0, 16), "RemoveDirectoryA");
    }
}

}  // namespace
