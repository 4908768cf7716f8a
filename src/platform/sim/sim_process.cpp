// The simulated process: its module path, the version query, the code page, kernel32 loading,
// the debugger, the token privileges, the restart request and the end of the process.
#include <stdio.h>
#include <unistd.h>

#include "platform/sim/sim_internal.h"

// Tags whose addresses serve as handles; only their identity matters.
static char g_kernelModule;
static HANDLE const kCurrentProcess = (HANDLE)(LONG_PTR)-1;  // the pseudo-handle Windows gives
static ULONG_PTR g_nextToken = 0x7000;

static bool IsNtLine()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    (void)hModule;  // every module of this process lives at the program's own path
    if (SimFaultHit("GetModuleFileNameA", "", nullptr))
        return (DWORD)SimFail("GetModuleFileNameA", "", ERROR_FILE_NOT_FOUND);
    const std::string& path = Machine().process.modulePath;
    DWORD length = (DWORD)path.size();
    DWORD result;
    if (length < nSize) {
        memcpy(lpFilename, path.c_str(), length + 1);
        result = length;
    } else {
        // Windows XP fills the whole buffer, returns its size and leaves it without a NUL.
        memcpy(lpFilename, path.data(), nSize);
        result = nSize;
        Machine().process.lastError = ERROR_INSUFFICIENT_BUFFER;
    }
    SimRecordCall("GetModuleFileNameA", "", result);
    return result;
}

// Only kernel32 is on this machine besides the program; its name is matched as Windows matches
// file names, with or without the extension the loader supplies.
static bool IsKernelName(const std::string& name)
{
    return FoldCase(name) == "kernel32.dll" || FoldCase(name) == "kernel32";
}

// The loader matches a name with a path against the full path each module was mapped from,
// without regard to case; a bare name against the module's file name alone.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (lpModuleName == NULL) {
        SimRecordCall("GetModuleHandleA", "", 1);
        return (HMODULE)SimInstance();
    }
    std::string name = lpModuleName;
    if (SimFaultHit("GetModuleHandleA", name.c_str(), nullptr))
        return (HMODULE)(ULONG_PTR)SimFail("GetModuleHandleA", name, ERROR_MOD_NOT_FOUND);
    // kernel32 is mapped into every process from its start, advapi32 into every program that
    // imports it, as the uninstaller does.
    if (IsKernelName(name)) {
        SimRecordCall("GetModuleHandleA", name, 1);
        return (HMODULE)&g_kernelModule;
    }
    if (SimIsAdvapiName(name)) {
        SimRecordCall("GetModuleHandleA", name, 1);
        return SimAdvapiModule();
    }
    // ntdll is mapped into every process of the NT line; the consumer line has none.
    if (SimIsNtdllName(name) && Machine().process.platformId == VER_PLATFORM_WIN32_NT) {
        SimRecordCall("GetModuleHandleA", name, 1);
        return SimNtdllModule();
    }
    const SimProcess& p = Machine().process;
    std::string loaded = p.loadedModulePath.empty() ? p.modulePath : p.loadedModulePath;
    bool hasPath = name.find_first_of("\\/") != std::string::npos;
    std::string compared = hasPath ? loaded : loaded.substr(loaded.find_last_of("\\/") + 1);
    if (FoldCase(name) != FoldCase(compared))
        return (HMODULE)(ULONG_PTR)SimFail("GetModuleHandleA", name, ERROR_MOD_NOT_FOUND);
    SimRecordCall("GetModuleHandleA", name, 1);
    return (HMODULE)SimInstance();
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    if (SimFaultHit("GetVersionExA", "", nullptr))
        return SimFail("GetVersionExA", "", ERROR_INVALID_PARAMETER);
    const SimProcess& p = Machine().process;
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    // 148 is OSVERSIONINFOA, 156 OSVERSIONINFOEXA; Wine takes both on either line.
    bool known = size == sizeof(OSVERSIONINFOA) || size == 156;
    if (!known)
        return SimFail("GetVersionExA", "", ERROR_INSUFFICIENT_BUFFER);
    lpVersionInformation->dwMajorVersion = p.majorVersion;
    lpVersionInformation->dwMinorVersion = p.minorVersion;
    lpVersionInformation->dwPlatformId = p.platformId;
    // The consumer line puts the major and minor version into the high word of the build number.
    lpVersionInformation->dwBuildNumber =
        IsNtLine() ? p.buildNumber
                   : (p.majorVersion << 24) | ((p.minorVersion & 0xFF) << 16) | (p.buildNumber & 0xFFFF);
    memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    if (size == 156)  // service pack numbers, suite mask, product type: none of them set
        memset((char*)lpVersionInformation + sizeof(OSVERSIONINFOA), 0, 156 - sizeof(OSVERSIONINFOA));
    SimRecordCall("GetVersionExA", "", TRUE);
    return TRUE;
}

// Asked once per byte while paths are split, so it is a pure query: no journal row, no fault.
BOOL WINAPI IsDBCSLeadByte(BYTE TestChar)
{
    if (!Machine().process.doubleByteCodePage)
        return FALSE;
    return (TestChar >= 0x81 && TestChar <= 0x9F) || (TestChar >= 0xE0 && TestChar <= 0xFC);
}

static BOOL WINAPI SimIsDebuggerPresent(void)
{
    BOOL attached = Machine().process.debuggerAttached ? TRUE : FALSE;
    SimRecordCall("IsDebuggerPresent", "", attached);
    return attached;
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    std::string name = lpLibFileName ? lpLibFileName : "";
    if (SimFaultHit("LoadLibraryA", name.c_str(), nullptr))
        return (HMODULE)(ULONG_PTR)SimFail("LoadLibraryA", name, ERROR_MOD_NOT_FOUND);
    // kernel32 is mapped in every process; every other DLL goes through the loader's search.
    if (!IsKernelName(name))
        return SimLoadLibrary(name);
    ++Machine().process.libraryRefs;
    SimRecordCall("LoadLibraryA", name, 1);
    return (HMODULE)&g_kernelModule;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    std::string name = lpProcName ? lpProcName : "";
    if (SimFaultHit("GetProcAddress", name.c_str(), nullptr))
        return (FARPROC)(ULONG_PTR)SimFail("GetProcAddress", name, ERROR_PROC_NOT_FOUND);
    if (hModule == SimAdvapiModule())
        return SimAdvapiExport(name);
    if (hModule == SimNtdllModule()) {
        FARPROC export_ = SimNtdllExport(name);
        if (!export_)
            return (FARPROC)(ULONG_PTR)SimFail("GetProcAddress", name, ERROR_PROC_NOT_FOUND);
        SimRecordCall("GetProcAddress", name, 1);
        return export_;
    }
    // kernel32 stays mapped whatever LoadLibraryA and FreeLibrary counted.
    if (hModule != (HMODULE)&g_kernelModule)
        return SimLibraryExport(hModule, name);
    // Export names are case-sensitive. Through void (*)(void), the generic function pointer
    // type, as the caller casts it back.
    const SimProcess& p = Machine().process;
    void (*found)(void) = nullptr;
    if (name == "IsDebuggerPresent" && p.kernelHasIsDebuggerPresent)
        found = reinterpret_cast<void (*)(void)>(&SimIsDebuggerPresent);
    else if (name == "GetSystemWow64DirectoryA" && p.kernelHasGetSystemWow64Directory)
        found = reinterpret_cast<void (*)(void)>(&SimGetSystemWow64DirectoryA);
    else if (name == "SetDefaultDllDirectories" && p.kernelHasSetDefaultDllDirectories)
        found = reinterpret_cast<void (*)(void)>(&SetDefaultDllDirectories);
    else if (name == "SetDllDirectoryA" && p.kernelHasSetDllDirectoryA)
        found = reinterpret_cast<void (*)(void)>(&SetDllDirectoryA);
    else if (p.kernelHasActivationContexts)
        found = SimActivationContextExport(name);
    FARPROC result = found ? reinterpret_cast<FARPROC>(found) : SimProcessExport(name);
    if (!result)
        result = SimFileExport(name);
    if (!result)
        return (FARPROC)(ULONG_PTR)SimFail("GetProcAddress", name, ERROR_PROC_NOT_FOUND);
    SimRecordCall("GetProcAddress", name, 1);
    return result;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    if (SimFaultHit("FreeLibrary", "", nullptr))
        return SimFail("FreeLibrary", "", ERROR_INVALID_HANDLE);
    if (hLibModule != (HMODULE)&g_kernelModule || Machine().process.libraryRefs <= 0)
        return SimFail("FreeLibrary", "", ERROR_INVALID_HANDLE);
    --Machine().process.libraryRefs;
    SimRecordCall("FreeLibrary", "", TRUE);
    return TRUE;
}

void WINAPI DebugBreak(void)
{
    ++Machine().process.breakpointTraps;
    SimRecordCall("DebugBreak", "", 0);
}

void WINAPI ExitProcess(UINT uExitCode)
{
    // Death tests see only the child's stderr, so what the user saw is written there first.
    SimRecordCall("ExitProcess", "", uExitCode);
    fflush(stdout);
    for (const SimUiEvent& event : Machine().ui.journal) {
        fprintf(stderr, "%s owner=%p caption=\"%s\" type=0x%X answer=%ld text=\"%s\" streams=%d\n",
                event.kind.c_str(), (void*)event.owner, event.caption.c_str(), event.type,
                (long)event.answer, event.text.c_str(), event.openStreams);
    }
    fprintf(stderr, "ExitProcess(%u) breakpoints=%d\n", uExitCode, Machine().process.breakpointTraps);
    fflush(stderr);
    _exit((int)uExitCode);
}

HANDLE WINAPI GetCurrentProcess(void)
{
    SimRecordCall("GetCurrentProcess", "", 1);
    return kCurrentProcess;
}

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle)
{
    if (SimFaultHit("OpenProcessToken", "", nullptr))
        return SimFail("OpenProcessToken", "", ERROR_ACCESS_DENIED);
    // The consumer line has no security: its advapi32 answers every token call with this.
    if (!IsNtLine())
        return SimFail("OpenProcessToken", "", ERROR_CALL_NOT_IMPLEMENTED);
    if (ProcessHandle != kCurrentProcess)
        return SimFail("OpenProcessToken", "", ERROR_INVALID_HANDLE);
    SimProcess& p = Machine().process;
    ULONG_PTR token = g_nextToken += 4;
    p.tokens[token] = DesiredAccess;
    p.tokenAccessOpened.push_back(DesiredAccess);
    p.openTokens = (int)p.tokens.size();
    *TokenHandle = (HANDLE)token;
    SimRecordCall("OpenProcessToken", "", TRUE);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (SimFaultHit("CloseHandle", "", nullptr))
        return SimFail("CloseHandle", "", ERROR_INVALID_HANDLE);
    SimProcess& p = Machine().process;
    if (hObject == kCurrentProcess) {  // closing the pseudo-handle is allowed and does nothing
        SimRecordCall("CloseHandle", "", TRUE);
        return TRUE;
    }
    if (SimCloseObject(hObject)) {
        SimRecordCall("CloseHandle", "", TRUE);
        return TRUE;
    }
    if (p.tokens.erase((ULONG_PTR)hObject) == 0)
        return SimFail("CloseHandle", "", ERROR_INVALID_HANDLE);
    p.openTokens = (int)p.tokens.size();
    SimRecordCall("CloseHandle", "", TRUE);
    return TRUE;
}

// The privileges of Windows XP with the LUIDs its local system gives them.
static const struct { const char* name; DWORD luid; } kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},        {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},         {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},     {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},           {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},        {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},        {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},   {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},           {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},             {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22}, {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},    {"SeUndockPrivilege", 25},
};

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid)
{
    (void)lpSystemName;  // every system answers with the same LUIDs here
    std::string name = lpName ? lpName : "";
    if (SimFaultHit("LookupPrivilegeValueA", name.c_str(), nullptr))
        return SimFail("LookupPrivilegeValueA", name, ERROR_NO_SUCH_PRIVILEGE);
    if (!IsNtLine())
        return SimFail("LookupPrivilegeValueA", name, ERROR_CALL_NOT_IMPLEMENTED);
    // Privilege names are matched without regard to case.
    for (const auto& privilege : kPrivileges) {
        if (FoldCase(privilege.name) == FoldCase(name)) {
            lpLuid->LowPart = privilege.luid;
            lpLuid->HighPart = 0;
            SimRecordCall("LookupPrivilegeValueA", name, TRUE);
            return TRUE;
        }
    }
    return SimFail("LookupPrivilegeValueA", name, ERROR_NO_SUCH_PRIVILEGE);
}

static const char* PrivilegeName(const LUID& luid)
{
    for (const auto& privilege : kPrivileges) {
        if (luid.HighPart == 0 && luid.LowPart == privilege.luid)
            return privilege.name;
    }
    return nullptr;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, LPDWORD ReturnLength)
{
    (void)BufferLength;  // no previous state is kept, so there is nothing to size
    if (SimFaultHit("AdjustTokenPrivileges", "", nullptr))
        return SimFail("AdjustTokenPrivileges", "", ERROR_ACCESS_DENIED);
    if (!IsNtLine())
        return SimFail("AdjustTokenPrivileges", "", ERROR_CALL_NOT_IMPLEMENTED);
    SimProcess& p = Machine().process;
    auto token = p.tokens.find((ULONG_PTR)TokenHandle);
    if (token == p.tokens.end())
        return SimFail("AdjustTokenPrivileges", "", ERROR_INVALID_HANDLE);
    if ((token->second & TOKEN_ADJUST_PRIVILEGES) == 0)
        return SimFail("AdjustTokenPrivileges", "", ERROR_ACCESS_DENIED);
    if (PreviousState || ReturnLength)
        return SimFail("AdjustTokenPrivileges", "", ERROR_INVALID_PARAMETER);
    bool allAssigned = true;
    if (DisableAllPrivileges) {
        for (auto& privilege : p.privilegesEnabled)
            privilege.second = false;
    } else {
        for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& entry = NewState->Privileges[i];
            const char* name = PrivilegeName(entry.Luid);
            auto held = name ? p.privilegesEnabled.find(name) : p.privilegesEnabled.end();
            if (held == p.privilegesEnabled.end()) {
                allAssigned = false;
                continue;
            }
            held->second = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    // A privilege the token lacks is not an error of the call: it succeeds and says so only
    // through the last error.
    p.lastError = allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED;
    SimRecordCall("AdjustTokenPrivileges", "", TRUE);
    return TRUE;
}

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    (void)dwReason;
    if (SimFaultHit("ExitWindowsEx", "", nullptr))
        return SimFail("ExitWindowsEx", "", ERROR_ACCESS_DENIED);
    // The NT line refuses a process whose token has not enabled the shutdown privilege; the
    // consumer line has no privileges to check.
    if (IsNtLine()) {
        const auto& privileges = Machine().process.privilegesEnabled;
        auto shutdown = privileges.find(SE_SHUTDOWN_NAME);
        if (shutdown == privileges.end() || !shutdown->second)
            return SimFail("ExitWindowsEx", "", ERROR_PRIVILEGE_NOT_HELD);
    }
    if (!Machine().ui.exitWindowsSucceeds)
        return SimFail("ExitWindowsEx", "", ERROR_ACCESS_DENIED);
    Machine().process.exitWindowsFlags = uFlags;
    if (uFlags & EWX_REBOOT)
        Machine().process.restartRequested = true;
    SimRecordCall("ExitWindowsEx", "", TRUE);
    return TRUE;
}
