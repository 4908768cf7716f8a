// Every operation of a whole run, failed in turn, in each way Windows can fail it: the run
// never crashes, ends with exit code 0 (1 only when the version query fails, 2 only when the
// question that opens its road cannot be shown; a silent run with one of its own codes), shows only
// its own texts (a silent run none), and removes nothing that the log and the clean-up do not name.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "run/uninstall_run.h"
#include "support/end_state.h"
#include "support/installation.h"
#include "support/machine_fixture.h"
#include "support/texts.h"

namespace {


struct SweepScenario {
    const char* name;
    DWORD line;
    bool withLog;  // false: the fallback road, answered "&Go on"
    const char* commandLine = "";  // "/S ...": the silent road, with its report
};


void PrintTo(const SweepScenario& scenario, std::ostream* out)
{
    *out << scenario.name;
}

void StageScenario(const SweepScenario& scenario)
{
    ResetProcess(scenario.line);
    Machine().process.modulePath = std::string(kInstallFolder) + "\\pxunins.exe";
    StageInstallation(1);
    if (!scenario.withLog)
        DeleteFileA((std::string(kInstallFolder) + "\\_pxunins.dat").c_str());
    Machine().calls.clear();
    SimUi& ui = Machine().ui;
    for (const std::string& text : OwnTexts())
        ui.answersByText[text] = IDOK;
    ui.answersByText[texts::kConfirm] = IDYES;
    ui.answersByText[texts::kRestart] = IDNO;
    ui.answersByText["Uninstall Plexitone"] = IDOK;  // the fallback dialog: "&Go on"
}

struct FaultCase {
    std::string operation;
    int occurrence;
    SimFaultKind kind;
};

// The confirmation on the main road, the fallback dialog on the other: the first of its kind.
bool OpensTheRoad(const SweepScenario& scenario, const FaultCase& fault)
{
    return fault.occurrence == 1 && fault.operation == (scenario.withLog ? "MessageBoxA" : "DialogBoxParamA");
}

// The exit codes a run may end with, the internal error's aside; fault NULL for the run without one.
bool ExpectedResult(const SweepScenario& scenario, const FaultCase* fault, int result)
{
    if (*scenario.commandLine == '\0')
        return result == (fault != NULL && OpensTheRoad(scenario, *fault) ? kExitQuestionNotShown : 0);
    // A refused step leaves the machine as it is, or its part of it; the report never decides.
    return result == 3010 || result == 0 || result == (int)ERROR_INSTALL_FAILURE ||
           result == (int)ERROR_ELEVATION_REQUIRED;
}

// Runs the scenario in a child process, with the fault armed; the child's exit code: 0 the run
// returned what it should and its end state is sound, 1 the process ended through
// ExitProcess(1), 2 a violation.
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
        int result = RunUninstaller(scenario.commandLine);
        std::vector<std::string> violations = Violations(before, scenario.line, StagedLogPaths());
        if (!ExpectedResult(scenario, &fault, result))
            violations.push_back("WinMain returned " + std::to_string(result));
        if (*scenario.commandLine != '\0' && !Machine().ui.windows.empty())
            violations.push_back("a silent run made a window");
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
    ASSERT_TRUE(ExpectedResult(scenario, NULL, RunUninstaller(scenario.commandLine)));
    ASSERT_EQ(Violations(before, scenario.line, StagedLogPaths()), std::vector<std::string>{});
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
        // The report's header asks for the version too, and goes on without it.
        bool headerQuery = fault.operation == "GetVersionExA" && *scenario.commandLine != '\0' && exitCode == 0;
        if (exitCode != expected && !headerQuery) {
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
                      SweepScenario{"GoOnConsumer", VER_PLATFORM_WIN32_WINDOWS, false},
                      SweepScenario{"SilentNt", VER_PLATFORM_WIN32_NT, true, "/S /LOG /RESTARTEXITCODE=3010"},
                      SweepScenario{"SilentConsumer", VER_PLATFORM_WIN32_WINDOWS, true, "/S /LOG"}),
    [](const ::testing::TestParamInfo<SweepScenario>& info) { return std::string(info.param.name); });

}  // namespace
