// Every operation of a whole run, failed in turn, in each way Windows can fail it: the run
// never crashes, ends with exit code 0 (1 only when the version query fails), shows only its
// own texts, and removes nothing that the log and the clean-up do not name.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/installation.h"
#include "support/machine_fixture.h"

namespace {

const char kConfirmText[] = "The Plexitone is about to be uninstalled. Proceed?";
const char kRestartText[] = "The computer must be rebooted in order\nto complete uninstall. Reboot now?";

const std::set<std::string> kOwnTexts = {
    kConfirmText,
    kRestartText,
    "The uninstall file is corrupt",
    "The uninstall is complete",
    "Failed to automatically reboot the system.\nPlease use Start->ShutDown to reboot manually",
    "You need to have Administrator privileges\nto remove the Plexitone pipe driver",
    "File 10\nLine 37",
};

struct SweepScenario {
    const char* name;
    DWORD line;
    bool withLog;  // false: the fallback road, answered "&Go on"
};

void StageScenario(const SweepScenario& scenario)
{
    ResetProcess(scenario.line);
    Machine().process.modulePath = std::string(kInstallFolder) + "\\pxunins.exe";
    StageInstallation(1);
    if (!scenario.withLog)
        DeleteFileA((std::string(kInstallFolder) + "\\_pxunins.dat").c_str());
    Machine().calls.clear();
    SimUi& ui = Machine().ui;
    for (const std::string& text : kOwnTexts)
        ui.answersByText[text] = IDOK;
    ui.answersByText[kConfirmText] = IDYES;
    ui.answersByText[kRestartText] = IDNO;
    ui.answersByText["Uninstall Plexitone"] = IDOK;  // the fallback dialog: "&Go on"
}

std::string Folded(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
    return text;
}

bool StartsWithKey(const std::string& row, const std::string& key)
{
    std::string folded = Folded(row), prefix = Folded(key);
    return folded.compare(0, prefix.size(), prefix) == 0 &&
           (folded.size() == prefix.size() || folded[prefix.size()] == '\\' ||
            folded[prefix.size()] == ' ');
}

// What the uninstaller may take away: the logged files, the start-menu group, the registry
// entries of the clean-up, and the pipe driver's registration.
bool MayVanish(const std::string& row, DWORD line)
{
    const std::string hklm = "HKEY_LOCAL_MACHINE\\", hkcu = "HKEY_CURRENT_USER\\";
    const std::string subtrees[] = {
        hklm + "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe",
        hkcu + "SOFTWARE\\Morvaine\\Plexitone",
        hklm + "SOFTWARE\\Morvaine\\Plexitone",
        (line == VER_PLATFORM_WIN32_NT ? hkcu : hklm) +
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone",
        std::string(kProgramsFolder) + "\\Plexitone",
    };
    for (const std::string& subtree : subtrees)
        if (StartsWithKey(row, subtree))
            return true;
    const std::string exact[] = {
        hkcu + "SOFTWARE\\Morvaine", hklm + "SOFTWARE\\Morvaine",
        hklm + "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs : pxpipe.drv",
        hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32 : midi1",
        hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc : pxpipe.drv",
    };
    for (const std::string& key : exact) {
        if (Folded(row) == Folded(key) || Folded(row).compare(0, Folded(key).size() + 3, Folded(key) + " = ") == 0 ||
            (Folded(row).compare(0, Folded(key).size() + 3, Folded(key) + " : ") == 0 &&
             key.find(" : ") == std::string::npos))
            return true;
    }
    const std::string folder = kInstallFolder;
    const std::string logged[] = {folder + "\\Sounds", folder + "\\Sounds\\Drums", folder + "\\px.exe",
                                  folder + "\\Sounds\\Drums\\kick.wav", folder + "\\Sounds\\piano.sf2",
                                  folder + "\\readme.txt"};
    for (const std::string& path : logged)
        if (Folded(row) == Folded(path))
            return true;
    return false;
}

struct MachineImage {
    std::vector<std::string> registry;
    std::vector<std::string> paths;
    std::vector<std::string> data;  // each file's path and bytes
};

MachineImage Image()
{
    MachineImage image{ListRegistry(), ListPaths(), {}};
    for (const std::string& path : image.paths)
        if (!IsFolder(path))
            image.data.push_back(path + "=" + FileData(path));
    return image;
}

// The violations of a finished run, one line each.
std::vector<std::string> Violations(const MachineImage& before, DWORD line)
{
    std::vector<std::string> found;
    MachineImage after = Image();
    auto missing = [](const std::vector<std::string>& from, const std::vector<std::string>& in) {
        std::vector<std::string> out;
        std::set<std::string> present(in.begin(), in.end());
        for (const std::string& row : from)
            if (!present.count(row))
                out.push_back(row);
        return out;
    };
    for (const std::string& row : missing(before.registry, after.registry))
        if (!MayVanish(row, line))
            found.push_back("registry row removed: " + row);
    for (const std::string& row : missing(after.registry, before.registry))
        found.push_back("registry row added: " + row);
    for (const std::string& row : missing(before.paths, after.paths))
        if (!MayVanish(row, line))
            found.push_back("path removed: " + row);
    for (const std::string& row : missing(after.paths, before.paths))
        if (Folded(row) != "c:\\windows\\wininit.ini")
            found.push_back("path added: " + row);
    for (const std::string& row : missing(before.data, after.data)) {
        std::string path = row.substr(0, row.find('='));
        std::string folded = Folded(path);
        if (!PathExists(path) || folded == "c:\\windows\\wininit.ini")
            continue;
        if (folded == "c:\\windows\\system.ini") {
            if (IniFile("system.ini").find("wave=mmdrv.dll") == std::string::npos)
                found.push_back("system.ini lost an entry not ours");
            continue;
        }
        found.push_back("file changed: " + path);
    }
    for (const std::string& pending : Machine().disk.pendingDeletes)
        if (Folded(pending) != "c:\\windows\\system32\\pxpipe.drv")
            found.push_back("pending deletion: " + pending);
    std::string wininit = IniFile("wininit.ini");
    if (!wininit.empty() && wininit != "[rename]\r\nnul=C:\\WINDOWS\\SYSTEM\\pxpipe.drv\r\n")
        found.push_back("wininit.ini: " + wininit);
    for (const SimUiEvent& event : Machine().ui.journal) {
        if (event.kind == "MessageBox" && !kOwnTexts.count(event.text))
            found.push_back("message not ours: " + event.text);
        if (event.kind == "Dialog" && event.caption != "Uninstall Plexitone")
            found.push_back("dialog not ours: " + event.caption);
    }
    if (Machine().ui.unscriptedPrompts != 0)
        found.push_back("a prompt without answer");
    return found;
}

struct FaultCase {
    std::string operation;
    int occurrence;
    SimFaultKind kind;
};

// Runs the scenario in a child process, with the fault armed; the child's exit code: 0 the run
// returned and its end state is sound, 1 the process ended through ExitProcess(1), 2 a violation.
int RunWithFault(const SweepScenario& scenario, const FaultCase& fault)
{
    fflush(NULL);
    pid_t child = fork();
    if (child == 0) {
        // The report of an internal error goes to standard error; the verdict is the exit code.
        if (freopen("/dev/null", "w", stderr) == NULL)
            _exit(3);
        StageScenario(scenario);
        MachineImage before = Image();
        FailCall(fault.operation, fault.occurrence, fault.kind);
        int result = RunUninstaller();
        std::vector<std::string> violations = Violations(before, scenario.line);
        if (result != 0)
            violations.push_back("WinMain returned " + std::to_string(result));
        for (const std::string& violation : violations)
            printf("  %s, %s #%d kind %d: %s\n", scenario.name, fault.operation.c_str(),
                    fault.occurrence, (int)fault.kind, violation.c_str());
        fflush(stdout);
        _exit(violations.empty() ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<SimFaultKind> KindsOf(const std::string& operation)
{
    if (operation == "_fsopen" || operation == "GetPrivateProfileSectionA")
        return {SimFaultError, SimFaultShortRead};
    // The registry hands back a value whole or not at all; what it can do is hold string data
    // without its NUL.
    if (operation == "RegQueryValueExA")
        return {SimFaultError, SimFaultNoNul};
    return {SimFaultError};
}

class FaultSweepTest : public ::testing::TestWithParam<SweepScenario> {};

TEST_P(FaultSweepTest, EveryOperationFailedInTurnLeavesASoundEnd)
{
    const SweepScenario& scenario = GetParam();
    // The recording run: which operations a sound run makes, in order.
    StageScenario(scenario);
    MachineImage before = Image();
    ASSERT_EQ(RunUninstaller(), 0);
    ASSERT_EQ(Violations(before, scenario.line), std::vector<std::string>{});
    std::vector<FaultCase> cases;
    std::map<std::string, int> seen;
    for (const std::string& call : Machine().calls) {
        std::string operation = call.substr(0, call.find('('));
        int occurrence = ++seen[operation];
        for (SimFaultKind kind : KindsOf(operation))
            cases.push_back({operation, occurrence, kind});
    }
    for (long n = 1; n <= Machine().heap.allocations; n++)
        cases.push_back({"HeapAlloc", (int)n, SimFaultError});

    int failures = 0;
    for (const FaultCase& fault : cases) {
        int exitCode = RunWithFault(scenario, fault);
        int expected = fault.operation == "GetVersionExA" ? 1 : 0;
        if (exitCode != expected) {
            failures++;
            ADD_FAILURE() << scenario.name << ": " << fault.operation << " #" << fault.occurrence
                          << " kind " << fault.kind << " ended with " << exitCode;
        }
    }
    printf("[ sweep    ] %s: %zu runs over %zu operations, %d failed\n", scenario.name,
           cases.size(), seen.size() + 1, failures);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FaultSweepTest,
    ::testing::Values(SweepScenario{"MainRoadNt", VER_PLATFORM_WIN32_NT, true},
                      SweepScenario{"MainRoadConsumer", VER_PLATFORM_WIN32_WINDOWS, true},
                      SweepScenario{"GoOnNt", VER_PLATFORM_WIN32_NT, false},
                      SweepScenario{"GoOnConsumer", VER_PLATFORM_WIN32_WINDOWS, false}),
    [](const ::testing::TestParamInfo<SweepScenario>& info) { return std::string(info.param.name); });

}  // namespace
