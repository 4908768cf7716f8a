// The silent uninstall of the deployment tools: its arguments, its exit codes with no window made,
// and the report of what it did and left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/process_state.h"
#include "run/silent_mode.h"
#include "support/installation.h"
#include "support/log_builder.h"
#include "support/machine_fixture.h"
#include "support/texts.h"

namespace {

const std::string kFolder = kInstallFolder;
const std::string kReport = "C:\\report.txt";
const char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

struct ArgumentsRow {
    const char* name;
    std::string commandLine;
    int sound;
    int silent, report;
    std::string reportPath;
    DWORD restartExitCode;
    std::string refused;
};

TEST(RunArgumentsTest, ReadsTheSwitchesAsWindowsSplitsTheCommandLine)
{
    const std::string path259 = "C:\\" + std::string(256, 'r');
    const std::string path260 = path259 + "r";
    const ArgumentsRow rows[] = {
        {"none", "", 1, 0, 0, "", 0, ""},
        {"/S", "/S", 1, 1, 0, "", 0, ""},
        {"any case, /LOG alone", "/s /log", 1, 1, 1, "", 0, ""},
        {"a report file", "/S /LOG=C:\\r.txt", 1, 1, 1, "C:\\r.txt", 0, ""},
        {"a quoted path with spaces", "/S /LOG=\"C:\\a b\\r.txt\"", 1, 1, 1, "C:\\a b\\r.txt", 0, ""},
        {"the whole switch quoted", "\"/LOG=C:\\a b\\r.txt\" /S", 1, 1, 1, "C:\\a b\\r.txt", 0, ""},
        {"an unquoted path with spaces, last", "/S /LOG=C:\\a b\\r.txt", 1, 1, 1, "C:\\a b\\r.txt", 0, ""},
        {"an unquoted path with spaces, before a switch", "/LOG=C:\\a  b\\r.txt  /S", 1, 1, 1, "C:\\a  b\\r.txt",
         0, ""},
        {"tabs and blanks around", " \t/S\t /RESTARTEXITCODE=3010 ", 1, 1, 0, "", 3010, ""},
        {"a restart code of 0", "/RESTARTEXITCODE=0 /S", 1, 1, 0, "", 0, ""},
        {"the largest restart code", "/S /RESTARTEXITCODE=4294967295", 1, 1, 0, "", 4294967295u, ""},
        {"a path of 259 characters", "/S /LOG=" + path259, 1, 1, 1, path259, 0, ""},
        {"a path of 260 characters", "/S /LOG=" + path260, 0, 1, 0, "", 0, "/LOG=" + path260},
        {"a restart code one too large", "/S /RESTARTEXITCODE=4294967296", 0, 1, 0, "", 0,
         "/RESTARTEXITCODE=4294967296"},
        // 259 is STILL_ACTIVE: a tool asking GetExitCodeProcess would wait on for a run that ended.
        {"the restart code 259", "/S /RESTARTEXITCODE=259", 0, 1, 0, "", 0, "/RESTARTEXITCODE=259"},
        {"a restart code with a sign", "/S /RESTARTEXITCODE=-1", 0, 1, 0, "", 0, "/RESTARTEXITCODE=-1"},
        {"a restart code of letters", "/S /RESTARTEXITCODE=30l0", 0, 1, 0, "", 0, "/RESTARTEXITCODE=30l0"},
        {"no restart code", "/S /RESTARTEXITCODE=", 0, 1, 0, "", 0, "/RESTARTEXITCODE="},
        {"two restart codes", "/S /RESTARTEXITCODE=1 /RESTARTEXITCODE=2", 0, 1, 0, "", 1, "/RESTARTEXITCODE=2"},
        {"no report file", "/S /LOG=", 0, 1, 0, "", 0, "/LOG="},
        {"two reports", "/S /LOG=C:\\a.txt /LOG", 0, 1, 1, "C:\\a.txt", 0, "/LOG"},
        {"another installer's switch", "/VERYSILENT /S", 0, 1, 0, "", 0, "/VERYSILENT"},
        {"the first refused is named", "/S /Q -S", 0, 1, 0, "", 0, "/Q"},
    };
    for (const ArgumentsRow& row : rows) {
        SCOPED_TRACE(row.name);
        RunArguments arguments;
        memset(&arguments, 0x5A, sizeof arguments);  // a sentinel: every field is set by the call
        EXPECT_EQ(ReadRunArguments(row.commandLine.c_str(), &arguments), row.sound);
        EXPECT_EQ(arguments.silent, row.silent);
        EXPECT_EQ(arguments.report, row.report);
        EXPECT_EQ(std::string(arguments.reportPath), row.reportPath);
        EXPECT_EQ(arguments.restartExitCode, row.restartExitCode);
        EXPECT_EQ(std::string(arguments.refused), row.refused);
    }
}

void StageRun(DWORD line, DWORD sharedUseCount = 1, SimWindowsWidth width = SimWindows32)
{
    ResetProcess(line, width);
    Machine().process.modulePath = kFolder + "\\pxunins.exe";
    StageInstallation(sharedUseCount);
}

// The attributes of the Administrators group in the run's token, or none for a standard user.
void RemoveAdministrators()
{
    std::vector<SimTokenGroup>& groups = Machine().token.groups;
    for (size_t i = 0; i < groups.size(); i++) {
        if (groups[i].sid == "S-1-5-32-544") {
            groups.erase(groups.begin() + (long)i);
            return;
        }
    }
}

// What a silent row finds at its end besides its exit code.
enum SilentEnd {
    Untouched,   // the machine as before, not even the temporary folder changed
    Removed,     // the logged files and every registration gone, the uninstaller handed to its copy
    DriverStays, // as Removed, but the driver's registration and file stay
    EntryStays,  // as Removed, but a logged file stays, and with it the uninstaller and its log: no copy
};

struct SilentRow {
    const char* name;
    DWORD line;
    std::string commandLine;
    void (*prepare)();  // after the installation is staged; may be null
    DWORD exitCode;
    SilentEnd end;
    bool restartRecorded;  // the driver's file is named for the restart
    DWORD sharedUseCount = 1;
};

void NoLog()
{
    DeleteFileA((kFolder + "\\_pxunins.dat").c_str());
}
void MalformedLog()
{
    AddFile(kFolder + "\\_pxunins.dat", LogBuilder().Header(2).File(kFolder + "\\readme.txt").Bytes());
}
void DriverListRefused()
{
    DenyAllAccess(HKEY_LOCAL_MACHINE, kDrivers32);
}
void ReadmeHeld()
{
    SetInUse(kFolder + "\\readme.txt");
}
void InvisibleStation()
{
    Machine().session.windowStationVisible = false;
    Machine().session.sessionId = 0;
}

TEST(SilentRunTest, EveryOutcomeHasItsExitCodeAndNoWindowIsMade)
{
    const SilentRow rows[] = {
        {"restart needed: 0 unless told", VER_PLATFORM_WIN32_NT, "/S", nullptr, 0, Removed, true},
        {"restart needed, /RESTARTEXITCODE=3010", VER_PLATFORM_WIN32_NT, "/S /RESTARTEXITCODE=3010", nullptr, 3010,
         Removed, true},
        {"consumer line, /RESTARTEXITCODE=3010", VER_PLATFORM_WIN32_WINDOWS, "/s /restartexitcode=3010", nullptr, 3010,
         Removed, true},
        {"the driver still shared: no restart, 0", VER_PLATFORM_WIN32_NT, "/S /RESTARTEXITCODE=3010", nullptr, 0,
         DriverStays, false, 3},
        {"not an administrator", VER_PLATFORM_WIN32_NT, "/S", RemoveAdministrators, ERROR_ELEVATION_REQUIRED,
         Untouched, false},
        // No one chose the reduced clean-up: the start-menu group and the driver stay too.
        {"the log missing", VER_PLATFORM_WIN32_NT, "/S", NoLog, ERROR_INSTALL_FAILURE, Untouched, false},
        {"the log malformed", VER_PLATFORM_WIN32_WINDOWS, "/S", MalformedLog, ERROR_INSTALL_FAILURE, Untouched, false},
        {"the driver's registration refused", VER_PLATFORM_WIN32_NT, "/S", DriverListRefused, ERROR_INSTALL_FAILURE,
         DriverStays, false},
        {"a logged file in use", VER_PLATFORM_WIN32_NT, "/S /RESTARTEXITCODE=3010", ReadmeHeld, ERROR_INSTALL_FAILURE,
         EntryStays, true},
        {"an argument it does not know", VER_PLATFORM_WIN32_NT, "/S /NORESTART", nullptr, ERROR_INVALID_COMMAND_LINE,
         Untouched, false},
        {"a malformed argument", VER_PLATFORM_WIN32_NT, "/S /RESTARTEXITCODE=x", nullptr, ERROR_INVALID_COMMAND_LINE,
         Untouched, false},
        // SYSTEM in session 0, a service: no one could answer a question there.
        {"an invisible window station, no /S", VER_PLATFORM_WIN32_NT, "", InvisibleStation, 0, Removed, true},
        {"an invisible window station, an argument it does not know", VER_PLATFORM_WIN32_NT, "/Q", InvisibleStation,
         ERROR_INVALID_COMMAND_LINE, Untouched, false},
    };
    for (const SilentRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(row.line);
        Machine().process.modulePath = kFolder + "\\pxunins.exe";
        StageInstallation(row.sharedUseCount);
        if (row.prepare != nullptr)
            row.prepare();
        const std::vector<std::string> pathsBefore = ListPaths();
        const std::vector<std::string> registryBefore = ListRegistry();

        EXPECT_EQ((DWORD)RunUninstaller(row.commandLine), row.exitCode);

        // Not a box, not a dialog, not a window of any kind.
        EXPECT_TRUE(Machine().ui.journal.empty());
        EXPECT_TRUE(Machine().ui.windows.empty());
        EXPECT_EQ(Machine().process.restartRequested, false);
        bool nt = row.line == VER_PLATFORM_WIN32_NT;
        if (row.end == Untouched) {
            EXPECT_EQ(ListPaths(), pathsBefore);
            EXPECT_EQ(ListRegistry(), registryBefore);
            EXPECT_EQ(Machine().objects.processes.size(), 1u);  // no copy started
            continue;
        }
        std::vector<std::string> left = {kFolder, kFolder + "\\_pxunins.dat", kFolder + "\\pxunins.exe"};
        if (row.end == EntryStays)
            left.push_back(kFolder + "\\readme.txt");
        EXPECT_EQ(PathsUnder(kFolder), left);
        EXPECT_EQ(PathsUnder(std::string(kProgramsFolder) + "\\Plexitone"), std::vector<std::string>{});
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine"));
        EXPECT_FALSE(KeyExists(nt ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone"));
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Morvaine\\Plexitone"), row.end == DriverStays);
        EXPECT_EQ(RestartNeeded, row.restartRecorded ? 1 : 0);
        std::string driver = (nt ? Machine().disk.systemFolderNt : Machine().disk.systemFolderConsumer) + "\\pxpipe.drv";
        if (nt)
            EXPECT_EQ(Machine().disk.pendingDeletes,
                      row.restartRecorded ? std::vector<std::string>{driver} : std::vector<std::string>{});
        else
            EXPECT_EQ(IniFile("wininit.ini").find("nul=" + driver) != std::string::npos, row.restartRecorded);
        // The copy is under way before the run returns; the tool waiting sees the final state. What the
        // pass left keeps the uninstaller and its log for a later run.
        EXPECT_EQ(Machine().objects.processes.size(), row.end == EntryStays ? 1u : 2u);
        // The held log's handle is closed before: a copy that inherited it could not delete the log.
        if (row.end != EntryStays)
            EXPECT_EQ(Machine().objects.processes[1].inheritedHandles.size(), 1u);
    }
}

struct GuardRow {
    const char* name;
    DWORD access, share;     // how another program holds the log while the run starts
    std::string commandLine;
    DWORD exitCode;
    bool changes;            // the run removes what it removes when alone
    std::vector<std::string> ui;
};

// Only a run that may write the log keeps another out: a silent run holds it for writing, which
// administrators alone may, without write sharing. A reader, as any user may be, holds no one out;
// one that shares nothing keeps every run from reading the log at all.
TEST(SilentRunTest, AnotherUninstallUnderWayKeepsASilentRunOutAndChangesNothing)
{
    const std::string confirm = texts::BoxRow(texts::kConfirm, "0x104") + "7";
    const std::string fallback = "Dialog owner=none caption=" + texts::kDialogCaption + " text=" +
                                 texts::kFallbackTexts + " type=0x0 answer=2";
    const GuardRow rows[] = {
        {"a silent run under way", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, "/S", ERROR_INSTALL_ALREADY_RUNNING,
         false, {}},
        {"a reader that denies writing", GENERIC_READ, FILE_SHARE_READ, "/S", 0, true, {}},
        {"a reader that shares nothing", GENERIC_READ, 0, "/S", ERROR_INSTALL_ALREADY_RUNNING, false, {}},
        // A person's run reads the log as it always did: beside another's it asks, beside a silent
        // run's it cannot read it.
        {"a person's run beside a person's run", GENERIC_READ, FILE_SHARE_READ, "", 0, false, {confirm}},
        {"a person's run beside a silent run", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, "", 0, false,
         {fallback}},
    };
    for (const GuardRow& row : rows) {
        SCOPED_TRACE(row.name);
        StageRun(VER_PLATFORM_WIN32_NT);
        HANDLE other = CreateFileA((kFolder + "\\_pxunins.dat").c_str(), row.access, row.share, NULL,
                                   OPEN_EXISTING, 0, NULL);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        ScriptAnswers({IDNO, IDCANCEL});
        const std::vector<std::string> pathsBefore = ListPaths();
        const std::vector<std::string> registryBefore = ListRegistry();

        EXPECT_EQ((DWORD)RunUninstaller(row.commandLine + " /LOG=" + kReport), row.exitCode);

        EXPECT_EQ(UiRows(), row.ui);
        EXPECT_EQ(PathExists(kFolder + "\\readme.txt"), !row.changes);
        if (!row.changes) {
            std::vector<std::string> paths;
            for (const std::string& path : ListPaths())
                if (path != kReport)
                    paths.push_back(path);
            EXPECT_EQ(paths, pathsBefore);
            EXPECT_EQ(ListRegistry(), registryBefore);
        }
        const std::string report = FileData(kReport);
        if (row.exitCode == ERROR_INSTALL_ALREADY_RUNNING)
            EXPECT_NE(report.find("kept: uninstall log " + kFolder + "\\_pxunins.dat: another uninstall holds it: "
                                  "this one changes nothing\r\n"),
                      std::string::npos);
        if (row.changes)
            EXPECT_NE(report.find("note: another program holds the log open for reading"), std::string::npos);
    }
}

// ---- the report --------------------------------------------------------------------------

const std::string kGroup = std::string(kProgramsFolder) + "\\Plexitone";
const std::string kUtf8Mark = "\xEF\xBB\xBF";

// The report's lines without their CR LF; its byte-order mark, when it has one, stays on the first.
std::vector<std::string> ReportLines(const std::string& path)
{
    std::vector<std::string> lines;
    const std::string text = FileData(path);
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "the report ends inside a line";
    return lines;
}


// A whole report of the run an administrator's tool makes, as a person and a script read it.
TEST(SilentRunTest, TheReportHasAHeaderALineForEachStepAndTheCounts)
{
    StageRun(VER_PLATFORM_WIN32_NT);
    ASSERT_EQ(RunUninstaller("/S /LOG=" + kReport + " /RESTARTEXITCODE=3010"), 3010);
    const std::string hklm = "HKEY_LOCAL_MACHINE\\", hkcu = "HKEY_CURRENT_USER\\";
    const std::string windows = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    const std::string windowsNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
    std::vector<std::string> lines = ReportLines(kReport);
    // The copy's folder has a name no one could know before: only its start is told.
    const std::string handedOff = "handed off: the uninstaller " + kFolder + "\\pxunins.exe, its log and its "
                                  "folder to the copy C:\\WINDOWS\\TEMP\\pxu";
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3].compare(0, handedOff.size(), handedOff), 0) << lines[lines.size() - 3];
    EXPECT_NE(lines[lines.size() - 3].find("\\pxunins.exe, which removes them once this run has ended"),
              std::string::npos);
    lines[lines.size() - 3] = "handed off";
    EXPECT_EQ(lines, (std::vector<std::string>{
        kUtf8Mark + "Plexitone uninstaller 2.1.0.0: report of a run",
        "command line: /S /LOG=C:\\report.txt /RESTARTEXITCODE=3010",
        "program: C:\\Program Files\\Plexitone\\pxunins.exe",
        "started: 2026-03-17 09:30:05",
        "user: User, with an administrator's rights",
        "windows: 5.1.2600, the NT line, 32-bit",
        "session: 1",
        "mode: silent (/S): no window; /S stands for the confirmation",
        "code page: 1252, the names of this report converted from it to UTF-8",
        "read: uninstall log C:\\Program Files\\Plexitone\\_pxunins.dat, 6 entries, only administrators could "
        "have written it",
        "removed: file " + kFolder + "\\readme.txt",
        "removed: file " + kFolder + "\\Sounds\\piano.sf2",
        "removed: file " + kFolder + "\\Sounds\\Drums\\kick.wav",
        "removed: file " + kFolder + "\\px.exe",
        "removed: folder " + kFolder + "\\Sounds\\Drums",
        "removed: folder " + kFolder + "\\Sounds",
        "removed: shortcut " + kGroup + "\\Plexitone.lnk",
        "removed: shortcut " + kGroup + "\\Plexitone Help.lnk",
        "removed: shortcut " + kGroup + "\\Plexitone License.lnk",
        "removed: shortcut " + kGroup + "\\Plexitone Home Page.lnk",
        "removed: shortcut " + kGroup + "\\Uninstall Plexitone.lnk",
        "removed: folder " + kGroup,
        "removed: registry key " + hklm + windows + "App Paths\\px.exe",
        "removed: registry key " + hkcu + "SOFTWARE\\Morvaine\\Plexitone\\Audio",
        "removed: registry key " + hkcu + "SOFTWARE\\Morvaine\\Plexitone\\MIDI",
        "removed: registry key " + hkcu + "SOFTWARE\\Morvaine\\Plexitone\\Recent Files",
        "removed: registry key " + hkcu + "SOFTWARE\\Morvaine\\Plexitone\\Offline Rendering",
        "removed: registry key " + hkcu + "SOFTWARE\\Morvaine\\Plexitone",
        "removed: registry key " + hkcu + "SOFTWARE\\Morvaine",
        "removed: registry key " + hkcu + windows + "Uninstall\\Plexitone",
        "removed: registry value pxpipe.drv of " + hklm + windows + "SharedDLLs",
        "removed: registry value midi1 of " + hklm + windowsNt + "Drivers32",
        "removed: registry value pxpipe.drv of " + hklm + windowsNt + "drivers.desc",
        "waiting for the restart: file C:\\WINDOWS\\system32\\pxpipe.drv (PendingFileRenameOperations)",
        "removed: registry key " + hklm + "SOFTWARE\\Morvaine\\Plexitone",
        "removed: registry key " + hklm + "SOFTWARE\\Morvaine",
        "handed off",
        "counts: removed 25, left 0, waiting for the restart 1",
        "exit code: 3010",
    }));
}

struct ReportRow {
    const char* name;
    DWORD line;
    std::string commandLine;  // /LOG=C:\report.txt follows
    void (*prepare)();
    std::vector<std::string> lines;  // among the report's lines, in this order
    DWORD sharedUseCount = 1;
    SimWindowsWidth width = SimWindows32;
};

void HelpShortcutInUse()
{
    SetInUse(kGroup + "\\Plexitone Help.lnk");
}
void LicenseShortcutGone()
{
    DeleteFileA((kGroup + "\\Plexitone License.lnk").c_str());
}
void AppPathOfAnotherFolder()
{
    SetString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe", "",
              "D:\\Other\\px.exe");
    AddKey(HKEY_CURRENT_USER, "SOFTWARE\\Morvaine\\Other Product");
}
void RestartCannotBeRecorded()
{
    FailCall("MoveFileExA", 0);
}
void ReadmeInUse()
{
    SetInUse(kFolder + "\\readme.txt");
}
void UsersFileInSounds()
{
    AddFile(kFolder + "\\Sounds\\mine.txt", "mine");
}
// A log every user may have written, naming a file outside the folder, a file through a link, a
// path that is not a full one, and a file in the folder.
void UntrustedLogWithStrayEntries()
{
    AddFile("C:\\Elsewhere\\a.txt", "another program's");
    AddFile("C:\\Other\\b.txt", "another program's");
    AddLink(kFolder + "\\Linked", "C:\\Other");
    AddFile(kFolder + "\\_pxunins.dat", LogBuilder()
                                          .Header(4)
                                          .File("C:\\Elsewhere\\a.txt")
                                          .File(kFolder + "\\Linked\\b.txt")
                                          .File("readme.txt")
                                          .File(kFolder + "\\readme.txt")
                                          .Bytes());
    SimSecurity everyoneWrites;
    everyoneWrites.owner = "S-1-5-32-544";
    everyoneWrites.dacl = {{"S-1-1-0", FILE_WRITE_DATA, 0, ACCESS_ALLOWED_ACE_TYPE}};
    SetSecurity(kFolder, everyoneWrites);
}

// Each line against what the simulated Windows answered.
TEST(SilentRunTest, TheReportNamesWhatWindowsRefusedAndWhy)
{
    const std::string hklm = "HKEY_LOCAL_MACHINE\\";
    const ReportRow rows[] = {
        {"a shortcut in use keeps the group", VER_PLATFORM_WIN32_NT, "/S", HelpShortcutInUse,
         {"left: shortcut " + kGroup + "\\Plexitone Help.lnk: in use (error 32)",
          "left: folder " + kGroup + ": not empty (error 145)", "counts: removed 23, left 2, waiting for the restart 1"}},
        {"a shortcut already gone", VER_PLATFORM_WIN32_NT, "/S", LicenseShortcutGone,
         {"not found: shortcut " + kGroup + "\\Plexitone License.lnk", "removed: folder " + kGroup}},
        {"another installation's application path and another product's key", VER_PLATFORM_WIN32_NT, "/S",
         AppPathOfAnotherFolder,
         {"kept: registry key " + hklm +
              "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe: it names a program outside "
              "this installation's folder",
          "kept: registry key HKEY_CURRENT_USER\\SOFTWARE\\Morvaine: it holds keys of other products"}},
        {"the driver list refused", VER_PLATFORM_WIN32_NT, "/S", DriverListRefused,
         {"left: registry key " + hklm + kDrivers32 + ": access denied (error 5)",
          "message: " + std::string("You need to have Administrator privileges to remove the Plexitone pipe driver"),
          "counts: removed 20, left 1, waiting for the restart 0", "exit code: 1603"}},
        {"the driver shared", VER_PLATFORM_WIN32_NT, "/S", nullptr,
         {"kept: pipe driver C:\\WINDOWS\\system32\\pxpipe.drv: other programs still use it (shared-use count 3)",
          "exit code: 0"},
         3},
        // The uninstaller and its log stay for a later run, which the pass's entries need.
        {"a file in use", VER_PLATFORM_WIN32_NT, "/S", ReadmeInUse,
         {"left: file " + kFolder + "\\readme.txt: in use (error 32)",
          "kept: uninstaller " + kFolder + "\\pxunins.exe: entries of its log are left, and a later run needs it "
          "and its log to remove them",
          "exit code: 1603"}},
        {"a user's file keeps its folder", VER_PLATFORM_WIN32_NT, "/S", UsersFileInSounds,
         {"left: folder " + kFolder + "\\Sounds: not empty (error 145)", "exit code: 0"}},
        {"an untrusted log's stray entries", VER_PLATFORM_WIN32_NT, "/S", UntrustedLogWithStrayEntries,
         {"read: uninstall log " + kFolder + "\\_pxunins.dat, 4 entries, others could have written it",
          "removed: file " + kFolder + "\\readme.txt",
          "left: file readme.txt: not a full path: it would name a file of the working folder",
          "left: file " + kFolder + "\\Linked\\b.txt: the way to it passes through a link, or a folder that "
          "cannot be held",
          "left: file C:\\Elsewhere\\a.txt: outside the installation folder, and others could have written the log",
          "exit code: 1603"}},
        {"the restart cannot be recorded", VER_PLATFORM_WIN32_NT, "/S", RestartCannotBeRecorded,
         {"left: file C:\\WINDOWS\\system32\\pxpipe.drv: access denied (error 5)", "exit code: 1603"}},
        {"under WoW64", VER_PLATFORM_WIN32_NT, "/S", nullptr,
         {"windows: 5.2.3790, the NT line, 64-bit, this 32-bit program under WoW64",
          "waiting for the restart: file C:\\WINDOWS\\SysWOW64\\pxpipe.drv (PendingFileRenameOperations)"},
         1, SimWindows64},
        {"the consumer line", VER_PLATFORM_WIN32_WINDOWS, "/S", nullptr,
         {"user: User (the consumer line keeps no rights)", "windows: 4.10.2222, the consumer line, 32-bit",
          "mode: silent (/S): no window; /S stands for the confirmation",
          "code page: 1252, the names of this report in it as they are",
          "removed: line MIDIPlexitone= of [drivers] in system.ini",
          "waiting for the restart: file C:\\WINDOWS\\SYSTEM\\pxpipe.drv (wininit.ini)"}},
        {"not an administrator", VER_PLATFORM_WIN32_NT, "/S", RemoveAdministrators,
         {"user: User, without an administrator's rights",
          "message: You need to have Administrator privileges to uninstall Plexitone",
          "counts: removed 0, left 0, waiting for the restart 0", "exit code: 740"}},
        {"the log missing", VER_PLATFORM_WIN32_NT, "/S", NoLog,
         {"left: uninstall log " + kFolder + "\\_pxunins.dat: missing or unreadable: nothing in the folder is touched",
          "counts: removed 0, left 1, waiting for the restart 0", "exit code: 1603"}},
        {"an argument it does not know", VER_PLATFORM_WIN32_NT, "/S /NORESTART", nullptr,
         {"refused: the argument \"/NORESTART\" is not one the uninstaller knows, or not well formed",
          "exit code: 1639"}},
        {"an invisible window station", VER_PLATFORM_WIN32_NT, "", InvisibleStation,
         {"session: 0",
          "mode: silent without /S: no one can see this window station (a service's, or session 0)",
          "exit code: 0"}},
    };
    for (const ReportRow& row : rows) {
        SCOPED_TRACE(row.name);
        StageRun(row.line, row.sharedUseCount, row.width);
        if (row.prepare != nullptr)
            row.prepare();
        RunUninstaller(row.commandLine + " /LOG=" + kReport);
        const std::vector<std::string> lines = ReportLines(kReport);
        size_t at = 0;
        for (const std::string& expected : row.lines) {
            size_t found = at;
            while (found < lines.size() && lines[found] != expected)
                found++;
            EXPECT_LT(found, lines.size()) << "not in the report, or not in this order: " << expected;
            at = found < lines.size() ? found + 1 : at;
        }
    }
}

struct EncodingRow {
    const char* name;
    DWORD line;
    bool codePage932;
    std::string folder;    // the installation folder in the ANSI code page
    std::string inReport;  // that folder as the report must hold it
    std::string codePageLine;
    bool mark;             // the report opens with UTF-8's byte-order mark
};

// Names beyond ASCII as an editor shows them: UTF-8 where the system converts, the consumer line's
// own code page, which the header names.
TEST(SilentRunTest, TheReportHoldsNamesBeyondAsciiAsTheyAre)
{
    const EncodingRow rows[] = {
        {"NT line, code page 1252", VER_PLATFORM_WIN32_NT, false, "C:\\Program Files\\Plexitone \xC4",
         "C:\\Program Files\\Plexitone \xC3\x84", "code page: 1252, the names of this report converted from it to UTF-8",
         true},
        // \x95\x5C is one character whose trail byte is a backslash's.
        {"NT line, code page 932", VER_PLATFORM_WIN32_NT, true, "C:\\\x83\x5C\x83\x74\x83\x67\x95\x5C",
         "C:\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\xE8\xA1\xA8",
         "code page: 932, the names of this report converted from it to UTF-8", true},
        {"consumer line, code page 1252", VER_PLATFORM_WIN32_WINDOWS, false, "C:\\Program Files\\Plexitone \xC4",
         "C:\\Program Files\\Plexitone \xC4", "code page: 1252, the names of this report in it as they are", false},
    };
    for (const EncodingRow& row : rows) {
        SCOPED_TRACE(row.name);
        ResetProcess(row.line);
        Machine().process.doubleByteCodePage = row.codePage932;
        Machine().process.modulePath = row.folder + "\\pxunins.exe";
        AddFile(row.folder + "\\pxunins.exe", "MZ");
        AddFile(row.folder + "\\_pxunins.dat", LogBuilder().Header(0).Bytes());

        RunUninstaller("/S /LOG=" + kReport);

        const std::vector<std::string> lines = ReportLines(kReport);
        ASSERT_GT(lines.size(), 9u);
        EXPECT_EQ(lines[0].compare(0, 3, kUtf8Mark) == 0, row.mark);
        EXPECT_EQ(lines[2], "program: " + row.inReport + "\\pxunins.exe");
        EXPECT_EQ(lines[row.line == VER_PLATFORM_WIN32_NT ? 8 : 7], row.codePageLine);
        EXPECT_EQ(lines[row.line == VER_PLATFORM_WIN32_NT ? 9 : 8],
                  "read: uninstall log " + row.inReport + "\\_pxunins.dat, 0 entries, only administrators could have "
                  "written it");
    }
}

struct ReportFaultRow {
    const char* name;
    std::string operation;  // the report's call that fails
    int occurrence;         // 0: every call
};

// A report that cannot be written is lines fewer, never another outcome: the same machine and the
// same exit code as the run without /LOG.
TEST(SilentRunTest, AReportThatCannotBeWrittenChangesNothingOfTheRun)
{
    StageRun(VER_PLATFORM_WIN32_NT);
    ASSERT_EQ(RunUninstaller("/S /RESTARTEXITCODE=3010"), 3010);
    const std::vector<std::string> pathsWithout = ListPaths();
    const std::vector<std::string> registryWithout = ListRegistry();
    const std::vector<std::string> pendingWithout = Machine().disk.pendingDeletes;
    const ReportFaultRow rows[] = {
        {"the file cannot be made", "CreateFileA", 1},
        {"the first write fails", "WriteFile", 1},
        {"the fifth write fails", "WriteFile", 5},
        {"every write fails", "WriteFile", 0},
        {"no line converts", "MultiByteToWideChar", 0},
    };
    for (const ReportFaultRow& row : rows) {
        SCOPED_TRACE(row.name);
        StageRun(VER_PLATFORM_WIN32_NT);
        FailCall(row.operation, row.occurrence, SimFaultError, row.operation == "CreateFileA" ? kReport : "");

        EXPECT_EQ(RunUninstaller("/S /RESTARTEXITCODE=3010 /LOG=" + kReport), 3010);

        std::vector<std::string> paths;
        for (const std::string& path : ListPaths())
            if (path != kReport)
                paths.push_back(path);
        EXPECT_EQ(paths, pathsWithout);
        EXPECT_EQ(ListRegistry(), registryWithout);
        EXPECT_EQ(Machine().disk.pendingDeletes, pendingWithout);
        EXPECT_TRUE(Machine().ui.journal.empty());
    }
}

// /LOG alone: a file named for the run in the temporary folder, which other users may write to: a
// file they put at that name is never written through.
TEST(SilentRunTest, AReportWithoutAFileNameIsMadeNewInTheTemporaryFolder)
{
    const std::string first = "C:\\WINDOWS\\TEMP\\pxunins-20260317-093005-1-1.log";
    const std::string second = "C:\\WINDOWS\\TEMP\\pxunins-20260317-093005-1-2.log";
    for (bool planted : {false, true}) {
        SCOPED_TRACE(planted ? "a file planted at the first name" : "the first name free");
        StageRun(VER_PLATFORM_WIN32_NT);
        if (planted)
            AddFile(first, "planted");

        RunUninstaller("/S /LOG");

        const std::string report = planted ? second : first;
        EXPECT_EQ(FileData(report).compare(0, 3, kUtf8Mark), 0);
        EXPECT_NE(FileData(report).find("exit code: 0\r\n"), std::string::npos);
        if (planted)
            EXPECT_EQ(FileData(first), "planted");
    }
}

// A person's run given /LOG asks as always, and its report says what was answered.
TEST(SilentRunTest, AnInteractiveRunWithLogAsksAsAlwaysAndReportsTheAnswers)
{
    StageRun(VER_PLATFORM_WIN32_NT);
    ScriptAnswers({IDYES, IDNO});

    EXPECT_EQ(RunUninstaller("/LOG=" + kReport + " /RESTARTEXITCODE=3010"), 0);

    EXPECT_EQ(UiRows(), (std::vector<std::string>{texts::BoxRow(texts::kConfirm, "0x104") + "6",
                                                  texts::BoxRow(texts::kRestart, "0x4") + "7"}));
    const std::vector<std::string> lines = ReportLines(kReport);
    ASSERT_GT(lines.size(), 12u);
    EXPECT_EQ(lines[7], "mode: shows its windows and asks first");
    EXPECT_EQ(lines[10], "confirmation: Yes");
    EXPECT_EQ(lines[lines.size() - 4], "restart question: No");
    EXPECT_EQ(lines.back(), "exit code: 0");
}

// The internal error still ends the run with exit code 1; a silent run shows not even its box.
TEST(SilentRunDeathTest, AnInternalErrorEndsASilentRunWithoutItsBox)
{
    for (const char* commandLine : {"/S", ""}) {
        SCOPED_TRACE(commandLine);
        EXPECT_EXIT(
            {
                StageRun(VER_PLATFORM_WIN32_NT);
                ScriptAnswers({IDOK});
                FailCall("GetVersionExA");
                RunUninstaller(std::string(commandLine) + " /LOG=" + kReport);
            },
            ::testing::ExitedWithCode(1),
            *commandLine ? "^ExitProcess\\(1\\)" : "caption=\"Internal Error\".*\nExitProcess\\(1\\)");
    }
}

}  // namespace
