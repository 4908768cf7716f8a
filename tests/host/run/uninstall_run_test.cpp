// Whole runs of the uninstaller on a staged installation: both roads, every message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/process_state.h"
#include "run/hand_off.h"
#include "run/install_folder.h"
#include "run/uninstall_run.h"
#include "uninstall_log/log_loader.h"
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
    int exitCode = 0;
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
        // The box never appeared: no one said No, and the exit code must not say so either.
        {"a failed confirmation", 1, {0}, true, {kConfirm + "0"}, false, false, kAdministrators, false,
         VER_PLATFORM_WIN32_NT, kExitQuestionNotShown},
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

        EXPECT_EQ(RunUninstaller(), row.exitCode);

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

struct SpellingRow {
    const char* name;
    std::string modulePath;  // how the run was started
    void (*arrange)();       // short names, links, another log
    bool vista;              // the system names a folder's real path (GetFinalPathNameByHandleA)
    bool followed;           // the log is this folder's: the confirmation, not the fallback dialog
};

// The log's entries name the folder as the installer wrote it; the run may be started by another
// spelling of it. Only one of the spellings the system gives of this very folder is compared with
// them, and a log none of whose entries lies under it is not followed at all.
TEST_F(UninstallRunTest, TheLogIsFollowedUnderTheSpellingOfTheFolderItsEntriesUse)
{
    const std::string elsewhere = "C:\\Elsewhere";
    const SpellingRow rows[] = {
        {"started by its 8.3 name", "C:\\PROGRA~1\\PLEXIT~1\\pxunins.exe",
         [] { SetShortName("C:\\Program Files", "PROGRA~1"); SetShortName(kInstallFolder, "PLEXIT~1"); }, false, true},
        {"started by its 8.3 name, no GetLongPathNameA", "C:\\PROGRA~1\\PLEXIT~1\\pxunins.exe",
         [] { SetShortName("C:\\Program Files", "PROGRA~1"); SetShortName(kInstallFolder, "PLEXIT~1");
              Machine().disk.kernelHasGetLongPathName = false; }, false, true},
        {"Vista: started through a link to its folder", "C:\\Link\\pxunins.exe",
         [] { AddLink("C:\\Link", kInstallFolder); }, true, true},
        {"XP: started through a link to its folder", "C:\\Link\\pxunins.exe",
         [] { AddLink("C:\\Link", kInstallFolder); }, false, false},
        {"XP: a link above the folder the log names", kInstallFolder + std::string("\\pxunins.exe"),
         [] { AddLink("C:\\Apps", "C:\\Program Files"); }, false, true},
        {"a log of another folder", kInstallFolder + std::string("\\pxunins.exe"),
         [] { AddFile(std::string(kInstallFolder) + "\\_pxunins.dat", LogBuilder().Header(1).File("C:\\Other\\x").Bytes()); },
         true, false},
    };
    for (const SpellingRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(VER_PLATFORM_WIN32_NT, 3);
        // A folder of the log replaced by a link to another's files, of the same names.
        DeleteFileA((kFolder + "\\Sounds\\Drums\\kick.wav").c_str());
        RemoveDirectoryA((kFolder + "\\Sounds\\Drums").c_str());
        AddFile(elsewhere + "\\kick.wav", "another's");
        AddLink(kFolder + "\\Sounds\\Drums", elsewhere);
        AddFile("C:\\Other\\x");
        row.arrange();
        Machine().process.modulePath = row.modulePath;
        Machine().disk.kernelHasGetFinalPathNameByHandle = row.vista;
        ScriptAnswers({row.followed ? IDYES : IDCANCEL, IDOK});
        const std::vector<std::string> registryBefore = ListRegistry();

        EXPECT_EQ(RunUninstaller(), 0);

        EXPECT_EQ(UiRows(), (row.followed ? std::vector<std::string>{kConfirm + "6", kComplete}
                                          : std::vector<std::string>{kFallback + "2"}));
        EXPECT_EQ(PathExists(kFolder + "\\readme.txt"), !row.followed);
        EXPECT_EQ(ListRegistry() == registryBefore, !row.followed);
        // Never through the link below the folder, whichever spelling the run was started by.
        EXPECT_EQ(FileData(elsewhere + "\\kick.wav"), "another's");
        EXPECT_TRUE(PathExists("C:\\Other\\x"));
    }
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
    bool dialogFails = false;      // DialogBoxParamA cannot make the dialog: no one is asked
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
        {"no log, the dialog cannot be made", kFolder + "\\pxunins.exe", "", SimFaultError, false, "", false,
         kAdministrators, true},
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
        if (row.dialogFails)
            FailCall("DialogBoxParamA");
        ScriptAnswers({row.administratorsGroup == kAdministrators ? IDCANCEL : IDOK});
        const std::vector<std::string> pathsBefore = ListPaths();
        const std::vector<std::string> registryBefore = ListRegistry();

        EXPECT_EQ(RunUninstaller(), row.dialogFails ? kExitQuestionNotShown : 0);

        std::vector<std::string> ui{row.administratorsGroup == kAdministrators ? kFallback + "2" : kNoAdminRun};
        EXPECT_EQ(UiRows(), row.dialogFails ? std::vector<std::string>{} : ui);
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

// ---- the hand-off to the copy in the temporary folder ------------------------------------------

const std::string kTemp = "C:\\WINDOWS\\TEMP";
const std::string kAdministratorsSid = "S-1-5-32-544", kSystem = "S-1-5-18", kUsers = "S-1-5-32-545";
const BYTE kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// The process the run started, or null.
const SimProcessRecord* StartedCopy()
{
    const std::vector<SimProcessRecord>& processes = Machine().objects.processes;
    return processes.size() > 1 ? &processes[1] : nullptr;
}

// What the copy's WinMain receives: its command line after its own quoted name.
std::string CopyArguments(const SimProcessRecord& copy)
{
    return copy.commandLine.substr(copy.commandLine.find("\" ") + 2);
}

// The disk's item at path, which must be there.
const SimDiskItem& ItemAt(const std::string& path)
{
    for (const auto& item : Machine().disk.items)
        if (item.second.path == path)
            return item.second;
    ADD_FAILURE() << "no item at " << path;
    return Machine().disk.items.begin()->second;
}

std::string Describe(const std::vector<SimAce>& dacl)
{
    std::string text;
    for (const SimAce& ace : dacl)
        text += ace.sid + ":" + std::to_string(ace.mask) + ":" + std::to_string(ace.flags) + " ";
    return text;
}

struct HandOffRow {
    const char* name;
    DWORD line;
    bool attributeLists;         // Vista on: the handle list
    bool jobWithoutBreakaway;
    std::string copyFolderPrefix;  // where the copy lies: its own folder, or the temporary folder
    DWORD flags;                 // the creation flags of the start that succeeded
    bool pipeStillInheritable;   // the caller's standard output pipe after the run
    size_t inherited;            // the handles the copy received: the run's process, and where
                                 // nothing can keep it home (the consumer line) the pipe
};

// Users may write in the temporary folder (C:\Windows\Temp lets them add files and folders, for
// every folder below too): the copy's folder must keep none of that.
void LetUsersWriteInTheTemporaryFolder()
{
    SimDiskItem& temp = Machine().disk.items["c:\\windows\\temp"];
    temp.security.owner = kSystem;
    temp.security.dacl = {{kUsers, FILE_WRITE_DATA | FILE_APPEND_DATA, CONTAINER_INHERIT_ACE, ACCESS_ALLOWED_ACE_TYPE},
                          {kAdministratorsSid, GENERIC_ALL, kInherited, ACCESS_ALLOWED_ACE_TYPE}};
}

TEST_F(UninstallRunTest, TheEndOfTheMainRoadStartsACopyInANewRestrictedFolderWithOnlyTheRunsHandle)
{
    const HandOffRow rows[] = {
        {"XP: the standard handles lose their inherit flag", VER_PLATFORM_WIN32_NT, false, false,
         kTemp + "\\pxu", CREATE_BREAKAWAY_FROM_JOB, false, 1},
        {"Vista on: the handle list", VER_PLATFORM_WIN32_NT, true, false, kTemp + "\\pxu",
         CREATE_BREAKAWAY_FROM_JOB | EXTENDED_STARTUPINFO_PRESENT, true, 1},
        {"a job that allows no breakaway", VER_PLATFORM_WIN32_NT, true, true, kTemp + "\\pxu",
         EXTENDED_STARTUPINFO_PRESENT, true, 1},
        {"consumer line: a file of its own in the temporary folder", VER_PLATFORM_WIN32_WINDOWS, false, false,
         kTemp + "\\", 0, true, 2},
    };
    for (const HandOffRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line, 3);
        LetUsersWriteInTheTemporaryFolder();
        Machine().objects.kernelHasProcThreadAttributes = row.attributeLists;
        Machine().objects.inJobWithoutBreakaway = row.jobWithoutBreakaway;
        HANDLE pipe = GiveStandardOutputPipe();
        ScriptAnswers({IDYES, IDOK});

        EXPECT_EQ(RunUninstaller(), 0);

        // Nothing the user sees changes, and nothing waits for a restart.
        EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kComplete}));
        EXPECT_EQ(RestartNeeded, 0);
        EXPECT_TRUE(Machine().disk.pendingDeletes.empty());
        EXPECT_EQ(IniFile("wininit.ini"), "");
        const SimProcessRecord* copy = StartedCopy();
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->application.compare(0, row.copyFolderPrefix.size(), row.copyFolderPrefix), 0)
            << copy->application;
        EXPECT_EQ(FileData(copy->application), "MZ");
        EXPECT_EQ(copy->currentFolder, copy->application.substr(0, copy->application.rfind('\\')));
        EXPECT_EQ(copy->creationFlags, row.flags);
        // Until CreateProcessA returned, no one could write or delete the copy, nor remove its
        // folder (the consumer line's copy lies in the temporary folder itself).
        EXPECT_TRUE(copy->imageHeld);
        EXPECT_EQ(copy->folderHeld, row.line == VER_PLATFORM_WIN32_NT);
        // The hand-off: the marker, a handle of the run's process, the run's file and its path.
        HandOff handOff;
        ASSERT_TRUE(ReadHandOff(CopyArguments(*copy).c_str(), &handOff));
        EXPECT_EQ(std::string(handOff.runPath), kFolder + "\\pxunins.exe");
        // That handle goes along, one the copy can wait on and query, and nothing else the run holds.
        EXPECT_EQ(copy->inheritedHandles.size(), row.inherited);
        ASSERT_EQ(copy->inheritedHandles.count((ULONG_PTR)handOff.runProcess), 1u);
        const SimHandle& inherited = copy->inheritedHandles.at((ULONG_PTR)handOff.runProcess);
        EXPECT_EQ(inherited.kind, SimObjectProcess);
        EXPECT_EQ(inherited.processId, Machine().objects.currentProcessId);
        EXPECT_EQ(inherited.access, (DWORD)(SYNCHRONIZE | PROCESS_QUERY_INFORMATION));
        EXPECT_EQ(Machine().objects.handles.at((ULONG_PTR)pipe).inheritable, row.pipeStillInheritable);
        // What the run opened is closed again, the folder and the copy included.
        EXPECT_EQ(OpenHandles(SimObjectFile), 0);
        EXPECT_EQ(Machine().token.sidsLive, 0);
        if (row.line == VER_PLATFORM_WIN32_NT) {
            std::string folder = copy->currentFolder;
            EXPECT_EQ(copy->application, folder + "\\pxunins.exe");
            EXPECT_EQ(Describe(ItemAt(folder).security.dacl),
                      Describe({{kAdministratorsSid, GENERIC_ALL, kInherited, ACCESS_ALLOWED_ACE_TYPE},
                                {kSystem, GENERIC_ALL, kInherited, ACCESS_ALLOWED_ACE_TYPE}}));
        }
    }
}

struct RespellRow {
    const char* name;
    std::string installDir;  // as the run was started
    std::string entry;       // the log's one entry
    int result;
    std::string spelt;       // InstallDir afterwards
};

// The spelling the log's entries are compared with, on XP, which cannot name a folder's real path:
// names are read whole in a double-byte code page, and a network folder's root is its share.
TEST_F(UninstallRunTest, TheFolderIsSpeltWithTheDoubleByteRulesOnEveryRoot)
{
    const std::string kanji = "C:\\Program Files\\\x95\x5C\\";  // 95 5C: a trail byte of 0x5C
    const RespellRow rows[] = {
        {"a folder whose last byte is a trail byte of 0x5C", kanji, kanji + "a.txt", 1, kanji},
        {"a log of its sibling that starts with the same character", kanji, "C:\\Program Files\\\x95\x5C\x8C\x76\\a.txt",
         0, kanji},
        {"a network folder", "\\\\server\\share\\Plexitone\\", "\\\\server\\share\\Plexitone\\a.txt", 1,
         "\\\\server\\share\\Plexitone\\"},
        {"a network server with a double-byte name", "\\\\\x95\x5C\\share\\Plexitone\\",
         "\\\\\x95\x5C\\share\\Plexitone\\a.txt", 1, "\\\\\x95\x5C\\share\\Plexitone\\"},
    };
    for (const RespellRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(VER_PLATFORM_WIN32_NT);
        Machine().process.doubleByteCodePage = true;
        AddFolder(row.installDir.substr(0, row.installDir.size() - 1));
        snprintf(InstallDir, sizeof InstallDir, "%s", row.installDir.c_str());
        AddFile(row.installDir + "_pxunins.dat", LogBuilder().Header(1).File(row.entry).Bytes());
        ASSERT_EQ(LoadUninstallLog(&ProcessRemovalList, (row.installDir + "_pxunins.dat").c_str()), 1);

        EXPECT_EQ(RespellInstallDirForLog(&ProcessRemovalList), row.result);
        EXPECT_EQ(std::string(InstallDir), row.spelt);
    }
}

// A running Plexitone holds px.exe against deletion: the run ends as ever, but its uninstaller
// and log stay, with no record for a restart, so that a second run, once Plexitone has ended,
// removes the rest and hands off.
TEST_F(UninstallRunTest, AFileInUseKeepsTheUninstallerAndItsLogForASecondRun)
{
    for (DWORD line : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        SCOPED_TRACE(line == VER_PLATFORM_WIN32_NT ? "NT line" : "consumer line");
        Stage(line, 3);
        SetInUse(kFolder + "\\px.exe");
        ScriptAnswers({IDYES, IDOK});

        EXPECT_EQ(RunUninstaller(), 0);

        EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kComplete}));
        EXPECT_EQ(PathsUnder(kFolder), (std::vector<std::string>{kFolder, kFolder + "\\_pxunins.dat",
                                                                 kFolder + "\\px.exe", kFolder + "\\pxunins.exe"}));
        EXPECT_EQ(StartedCopy(), nullptr);
        EXPECT_EQ(Machine().disk.pendingDeletes, std::vector<std::string>{});
        EXPECT_EQ(IniFile("wininit.ini"), "");

        SetInUse(kFolder + "\\px.exe", false);
        Machine().ui.journal.clear();
        ScriptAnswers({IDYES, IDOK});
        EXPECT_EQ(RunUninstaller(), 0);
        EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kComplete}));
        EXPECT_EQ(PathsUnder(kFolder), (std::vector<std::string>{kFolder, kFolder + "\\_pxunins.dat",
                                                                 kFolder + "\\pxunins.exe"}));
        EXPECT_NE(StartedCopy(), nullptr);
    }
}

struct NoCopyRow {
    const char* name;
    DWORD line;
    std::string failing;  // the call that fails, on its first use
    int unixMode;         // Wine's: a folder's DACL made from this mode; 0: the DACL given
    bool started;
    int occurrence = 0;   // the call of it that fails; 0: every one
    SimFaultKind kind = SimFaultError;
};

// Where no copy can be made, or where the folder is not the run's alone, the uninstaller and its log
// stay where they are for a later run: no restart that may come after a reinstall names them. Nothing
// of the attempt stays in the temporary folder.
TEST_F(UninstallRunTest, WhereNoCopyCanBeStartedTheUninstallerAndItsLogStay)
{
    const NoCopyRow rows[] = {
        {"no temporary folder", VER_PLATFORM_WIN32_NT, "GetTempPathA", 0, false},
        {"the folder cannot be made", VER_PLATFORM_WIN32_NT, "CreateDirectoryA", 0, false},
        // A name someone else took is tried no further; any other refusal ends the tries.
        {"the first name taken: the next is tried", VER_PLATFORM_WIN32_NT, "CreateDirectoryA", 0, true, 1,
         SimFaultTaken},
        {"the first name refused for another reason: no copy", VER_PLATFORM_WIN32_NT, "CreateDirectoryA", 0, false,
         1},
        {"the folder's rights cannot be read", VER_PLATFORM_WIN32_NT, "GetKernelObjectSecurity", 0, false},
        {"Wine's folder that everyone may write to", VER_PLATFORM_WIN32_NT, "", 0777, false},
        {"Wine's folder of the running user alone", VER_PLATFORM_WIN32_NT, "", 0755, true},
        {"the copy cannot be written", VER_PLATFORM_WIN32_NT, "CopyFileA", 0, false},
        {"the run's file cannot be read", VER_PLATFORM_WIN32_NT, "GetFileInformationByHandle", 0, false},
        {"the copy does not start", VER_PLATFORM_WIN32_NT, "CreateProcessA", 0, false},
        {"consumer line: no temporary file name", VER_PLATFORM_WIN32_WINDOWS, "GetTempFileNameA", 0, false},
        {"consumer line: the copy does not start", VER_PLATFORM_WIN32_WINDOWS, "CreateProcessA", 0, false},
    };
    for (const NoCopyRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line, 3);
        Machine().disk.unixMode = row.unixMode;
        if (!row.failing.empty())
            FailCall(row.failing, row.occurrence, row.kind);
        ScriptAnswers({IDYES, IDOK});

        EXPECT_EQ(RunUninstaller(), 0);

        EXPECT_EQ(UiRows(), (std::vector<std::string>{kConfirm + "6", kComplete}));
        EXPECT_EQ(RestartNeeded, 0);
        EXPECT_EQ(StartedCopy() != nullptr, row.started);
        EXPECT_EQ(Machine().disk.pendingDeletes, std::vector<std::string>{});
        EXPECT_EQ(IniFile("wininit.ini"), "");
        EXPECT_TRUE(PathExists(kFolder + "\\pxunins.exe"));
        EXPECT_TRUE(PathExists(kFolder + "\\_pxunins.dat"));
        if (!row.started)
            EXPECT_EQ(PathsUnder(kTemp + "\\"), std::vector<std::string>{});
        EXPECT_EQ(OpenHandles(SimObjectFile), 0);
    }
}

// The run as a person starts it: whatever it is given, it asks first. Only the copy reads a hand-off,
// and an incomplete one is none; the silent run's own switches misspelt are arguments it does not know.
TEST_F(UninstallRunTest, AnyOtherCommandLineIsIgnored)
{
    // The process handle, the run's file and its log (seven numbers each), the levels above.
    const std::string numbers = " 104 1 0 5 0 2 0 7 1 0 6 0 3 0 8 ";
    const struct {
        std::string line;
        bool handOff;  // the copy's: it shows nothing
    } rows[] = {
        {"/Q", false},
        {"/SILENT", false},
        {"-S", false},
        {"/LOG=", false},
        {"/RESTARTEXITCODE=x", false},
        {"/pxhandoff", false},
        {"/pxhandoff 104 1 0 5 0 2 0 7", false},
        {"/pxhandoffs" + numbers + "0 \"C:\\x.exe\"", false},
        {"/pxhandoff" + numbers + "0 \"C:\\x.exe\" more", false},
        // A path of 259 bytes has no more than 64 names above its folder.
        {"/pxhandoff" + numbers + "40 \"C:\\x.exe\"", true},
        {"/pxhandoff" + numbers + "41 \"C:\\x.exe\"", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        Stage(VER_PLATFORM_WIN32_NT);
        ScriptAnswers({IDNO});
        std::vector<char> commandLine(row.line.begin(), row.line.end());
        commandLine.push_back('\0');
        EXPECT_EQ(WinMain(SimInstance(), NULL, commandLine.data(), SW_SHOW), 0);
        EXPECT_EQ(UiRows(), row.handOff ? std::vector<std::string>{} : std::vector<std::string>{kConfirm + "7"});
    }
}

struct CopyRow {
    const char* name;
    DWORD line;
    std::string userFile;       // a file of the user's in the installation folder; empty: none
    int logHeld;                // how many times the log refuses deletion before it goes
    long long runEndsAtMs;      // the run ends this long after the copy starts waiting; 0: before
    std::string replaced;       // a file of the folder replaced by another after the run: an installer's
    bool startedByHand;         // the copy's hand-off names a handle it never inherited
    std::vector<std::string> left;     // under C:\Program Files
    std::vector<std::string> records;  // the restart records, in order; "copy", "copy folder" stand in
    bool folderHeld = false;    // after the run another program holds the folder without delete sharing
    bool throughLink = false;   // Vista: the run was started through a link to its folder
    bool logUntrusted = false;  // everyone may write in the folder, and so may have written the log
    // Just as the copy deletes the uninstaller, a reinstall renames it away and puts its own there.
    bool swappedWhileDeleted = false;
};

// The copy's own steps, on a machine where the run has ended and the copy has taken over.
TEST_F(UninstallRunTest, TheCopyRemovesWhatTheRunLeftOnceTheRunHasEnded)
{
    const std::string parent = "C:\\Program Files\\Morvaine";
    const std::string folder = parent + "\\Plexitone";
    const std::string log = folder + "\\_pxunins.dat";
    const std::vector<std::string> untouched = {parent, folder, log, folder + "\\pxunins.exe"};
    const CopyRow rows[] = {
        {"the folder and the parent the log made go", VER_PLATFORM_WIN32_NT, "", 0, 0, "", false, {},
         {"copy", "copy folder"}},
        {"consumer line", VER_PLATFORM_WIN32_WINDOWS, "", 0, 0, "", false, {}, {"copy"}},
        // The copy removes the folder the link leads to, holding it: never through the link.
        {"started through a link to its folder", VER_PLATFORM_WIN32_NT, "", 0, 0, "", false, {},
         {"copy", "copy folder"}, false, true},
        {"the user's file keeps its folder", VER_PLATFORM_WIN32_NT, "notes.txt", 0, 0, "", false,
         {parent, folder, folder + "\\notes.txt"}, {"copy", "copy folder"}},
        {"the log held nine times goes at the tenth try", VER_PLATFORM_WIN32_NT, "", 9, 0, "", false, {},
         {"copy", "copy folder"}},
        // A log named for some later restart would delete a reinstall's: it stays, and so does its folder.
        {"the log held ten times stays with its folder", VER_PLATFORM_WIN32_NT, "", 10, 0, "", false,
         {parent, folder, log}, {"copy", "copy folder"}},
        // Emptied, the folder waits for the restart, which removes it only if it is still empty.
        {"another program holds the folder", VER_PLATFORM_WIN32_NT, "", 0, 0, "", false, {parent, folder},
         {"copy", "copy folder", folder}, true},
        {"the run ends after 29 s", VER_PLATFORM_WIN32_NT, "", 0, 29000, "", false, {}, {"copy", "copy folder"}},
        // Such a log may name any folder up to the root: those above the folder stay.
        {"a log others could have written: the parent it lists stays", VER_PLATFORM_WIN32_NT, "", 0, 0, "", false,
         {parent}, {"copy", "copy folder"}, false, false, true},
        // The copy is named for the restart before it waits: whatever ends it, it goes then.
        {"the run still runs after 30 s: nothing goes but the copy", VER_PLATFORM_WIN32_NT, "", 0, 31000, "",
         false, untouched, {"copy", "copy folder"}},
        {"another file at the run's path: nothing goes but the copy", VER_PLATFORM_WIN32_NT, "", 0, 0, "pxunins.exe",
         false, untouched, {"copy", "copy folder"}},
        {"another file at the log's path: it stays with its folder", VER_PLATFORM_WIN32_NT, "", 0, 0,
         "_pxunins.dat", false, {parent, folder, log}, {"copy", "copy folder"}},
        {"consumer line: another file at the run's path", VER_PLATFORM_WIN32_WINDOWS, "", 0, 0, "pxunins.exe",
         false, untouched, {"copy"}},
        {"started by hand: nothing goes", VER_PLATFORM_WIN32_NT, "", 0, 0, "", true, untouched, {}},
        // The file the copy checked is held, without delete sharing, until it is gone.
        {"a file put in the uninstaller's place while it goes: refused", VER_PLATFORM_WIN32_NT, "", 0, 0, "",
         false, {}, {"copy", "copy folder"}, false, false, false, true},
    };
    for (const CopyRow& row : rows) {
        SCOPED_TRACE(row.name);
        Stage(row.line, 3);
        // The installer made the folder and its parent; the log says so.
        AddFile(folder + "\\pxunins.exe", "MZ");
        AddFile(folder + "\\readme.txt", "hello");
        AddFile(log, LogBuilder().Header(3).Folder(parent).Folder(folder).File(folder + "\\readme.txt").Bytes());
        Machine().process.modulePath = folder + "\\pxunins.exe";
        if (row.throughLink) {
            AddLink("C:\\Link", folder);
            Machine().process.modulePath = "C:\\Link\\pxunins.exe";
            Machine().disk.kernelHasGetFinalPathNameByHandle = true;
            Machine().disk.kernelHasSetFileInformationByHandle = true;
        }
        if (!row.userFile.empty())
            AddFile(folder + "\\" + row.userFile, "mine");
        if (row.logUntrusted)
            SetSecurity(folder, {"S-1-5-32-544", {{"S-1-1-0", FILE_ALL_ACCESS, 0, ACCESS_ALLOWED_ACE_TYPE}}});
        ScriptAnswers({IDYES, IDOK});
        RunUninstaller();
        ASSERT_NE(StartedCopy(), nullptr);
        const SimProcessRecord copy = *StartedCopy();

        BecomeStartedProcess(1);
        Machine().ui.journal.clear();
        if (row.runEndsAtMs != 0) {
            SimProcessRecord& run = Machine().objects.processes[0];
            run.ended = false;
            run.endsAtMs = Machine().objects.clockMs + row.runEndsAtMs;
        }
        if (!row.replaced.empty())
            AddFile(folder + "\\" + row.replaced, "another installation's");
        if (row.folderHeld)
            CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS, NULL);
        if (row.startedByHand)
            Machine().objects.handles.clear();
        if (row.swappedWhileDeleted)
            ReplaceFileBefore("NtSetInformationFile", "", folder + "\\pxunins.exe", "another installation's");
        for (int n = 1; n <= row.logHeld; n++)
            FailCall("CreateFileA", n, SimFaultError, log);
        std::string arguments = CopyArguments(copy);
        std::vector<char> commandLine(arguments.begin(), arguments.end());
        commandLine.push_back('\0');

        EXPECT_EQ(WinMain(SimInstance(), NULL, commandLine.data(), SW_SHOW), 0);

        EXPECT_EQ(PathsUnder(parent), row.left);
        std::vector<std::string> records;
        for (const std::string& record : row.records)
            records.push_back(record == "copy" ? copy.application
                              : record == "copy folder" ? copy.currentFolder
                                                        : record);
        if (row.line == VER_PLATFORM_WIN32_NT) {
            EXPECT_EQ(Machine().disk.pendingDeletes, records);
        } else {
            std::string wininit = "[rename]\r\n";
            for (const std::string& record : records)
                wininit += "nul=" + record + "\r\n";
            EXPECT_EQ(IniFile("wininit.ini"), records.empty() ? "" : wininit);
        }
        EXPECT_TRUE(Machine().ui.journal.empty());  // the copy shows nothing
        // The copy waits at most 30 s for the run, and tries the log every half second.
        EXPECT_LE(Machine().objects.clockMs, 30000 + 9 * 500);
    }
}

}  // namespace
