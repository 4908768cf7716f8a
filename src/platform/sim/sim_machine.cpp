// The one simulated machine: its creation, the declared faults, the call journal, the last error.
#include <stdio.h>

#include "platform/sim/sim_internal.h"

static SimMachine* g_machine = nullptr;

SimMachine& Machine()
{
    if (!g_machine)
        ResetMachine(VER_PLATFORM_WIN32_NT);
    return *g_machine;
}

void ResetMachine(DWORD platformId, SimWindowsWidth width)
{
    // Streams, key handles and item lists point back into the machine that made them, so they
    // go first, while that machine still exists.
    if (g_machine) {
        SimCloseStreams();
        SimReleaseKeyHandles();
        SimReleaseItemLists();
        for (SimWindowState* window : g_machine->ui.windows)
            delete window;
        delete g_machine;
    }
    g_machine = new SimMachine();
    SimMachine& m = *g_machine;

    m.process.platformId = platformId;
    // The consumer line was never made for 64-bit processors.
    m.width = platformId == VER_PLATFORM_WIN32_NT ? width : SimWindows32;
    if (m.width == SimWindows64) {
        m.process.majorVersion = 5;  // Windows XP Professional x64 Edition
        m.process.minorVersion = 2;
        m.process.buildNumber = 3790;
    } else if (platformId == VER_PLATFORM_WIN32_NT) {
        m.process.majorVersion = 5;  // Windows XP
        m.process.minorVersion = 1;
        m.process.buildNumber = 2600;
    } else {
        m.process.majorVersion = 4;  // Windows 98 Second Edition
        m.process.minorVersion = 10;
        m.process.buildNumber = 2222;
        m.process.kernelHasSetDllDirectoryA = false;
        m.process.kernelHasActivationContexts = false;
    }

    AddFolder(m.disk.windowsFolder);
    AddFolder(platformId == VER_PLATFORM_WIN32_NT ? m.disk.systemFolderNt
                                                  : m.disk.systemFolderConsumer);
    if (m.width == SimWindows64)
        AddFolder(m.disk.systemFolderWow64);
    AddFolder(m.shell.programsFolder);
    AddFolder(m.shell.commonProgramsFolder);
    AddFolder(m.disk.tempFolder);
    SimProcessRecord self;
    self.id = m.objects.currentProcessId;
    self.application = m.process.modulePath;
    self.currentFolder = m.disk.currentFolder;
    m.objects.processes.push_back(self);

    m.registry.roots[(ULONG_PTR)HKEY_CLASSES_ROOT].name = "HKEY_CLASSES_ROOT";
    m.registry.roots[(ULONG_PTR)HKEY_CURRENT_USER].name = "HKEY_CURRENT_USER";
    m.registry.roots[(ULONG_PTR)HKEY_LOCAL_MACHINE].name = "HKEY_LOCAL_MACHINE";
    m.registry.roots[(ULONG_PTR)HKEY_USERS].name = "HKEY_USERS";
    if (m.width == SimWindows64)
        AddKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node");
}

void FailCall(const std::string& operation, int occurrence, SimFaultKind kind,
              const std::string& argument)
{
    SimFault fault;
    fault.operation = operation;
    fault.argument = argument;
    fault.occurrence = occurrence;
    fault.kind = kind;
    Machine().faults.push_back(fault);
}

BOOL SimFail(const char* operation, const std::string& argument, DWORD error)
{
    Machine().process.lastError = error;
    SimRecordCall(operation, argument, 0);
    return FALSE;
}

bool SimFaultHit(const char* operation, const char* argument, SimFaultKind* kind)
{
    // Every operation that can fail passes here first: the moment another user's program acts.
    if (!Machine().disk.linkSwaps.empty())
        SimRunLinkSwaps(operation, argument ? argument : "");
    if (Machine().faults.empty())
        return false;
    std::string foldedArgument = FoldCase(argument ? argument : "");
    bool hit = false;
    // Every armed fault counts its own matching calls, even after an earlier fault hit this call,
    // so "the second DeleteFileA of this path" stays the second whatever else is armed.
    for (SimFault& fault : Machine().faults) {
        if (fault.operation != operation)
            continue;
        if (!fault.argument.empty() && FoldCase(fault.argument) != foldedArgument)
            continue;
        ++fault.seen;
        if (!hit && (fault.occurrence == 0 || fault.seen == fault.occurrence)) {
            hit = true;
            if (kind)
                *kind = fault.kind;
        }
    }
    return hit;
}

void SimRecordCall(const std::string& operation, const std::string& argument, long long result)
{
    Machine().calls.push_back(operation + "(" + argument + ") = " + std::to_string(result));
}

std::string FoldCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    }
    return text;
}

// The last error is thread state, not an operation on the machine: it is neither journalled nor
// open to faults.
DWORD WINAPI GetLastError(void)
{
    return Machine().process.lastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    Machine().process.lastError = dwErrCode;
}
