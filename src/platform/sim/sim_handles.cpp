// The simulated process table: handles of this process, the processes it knows of, CreateProcessA
// with handle inheritance, waits on a clock that only Sleep and waits move.
#include <algorithm>

#include "platform/sim/sim_disk_paths.h"

static HANDLE const kCurrentProcessHandle = (HANDLE)(LONG_PTR)-1;  // GetCurrentProcess()
static ULONG_PTR g_nextHandle = 0x100;  // values like Windows': multiples of 4, never 0 or -1

static bool IsNtLine()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

static SimHandle* FindHandle(HANDLE handle)
{
    auto found = Machine().objects.handles.find((ULONG_PTR)handle);
    return found == Machine().objects.handles.end() ? nullptr : &found->second;
}

static SimProcessRecord* FindProcess(DWORD id)
{
    for (SimProcessRecord& process : Machine().objects.processes) {
        if (process.id == id)
            return &process;
    }
    return nullptr;
}

static HANDLE NewHandle(const SimHandle& entry)
{
    g_nextHandle += 4;
    Machine().objects.handles[g_nextHandle] = entry;
    return (HANDLE)g_nextHandle;
}

// Reads and executes conflict with writes only as the share modes allow; an open with none of
// these rights (READ_CONTROL, SYNCHRONIZE, the attributes) takes part in no sharing at all.
static const DWORD kReadRights = GENERIC_READ | FILE_LIST_DIRECTORY | 0x0020;  // FILE_EXECUTE
static const DWORD kWriteRights = GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA;
static const DWORD kSharedRights = kReadRights | kWriteRights | DELETE;

bool SimHandlesConflict(const std::string& key, DWORD access, DWORD share)
{
    // The system holds the working folder open to traverse it, sharing reads and writes only.
    if (CallKey(Machine().disk.currentFolder) == key && (access & DELETE))
        return true;
    for (const auto& open : Machine().objects.handles) {
        const SimHandle& held = open.second;
        if (held.kind != SimObjectFile || held.key != key || !(held.access & kSharedRights))
            continue;
        if (((access & kReadRights) && !(held.share & FILE_SHARE_READ)) ||
            ((access & kWriteRights) && !(held.share & FILE_SHARE_WRITE)) ||
            ((access & DELETE) && !(held.share & FILE_SHARE_DELETE)) ||
            ((held.access & kReadRights) && !(share & FILE_SHARE_READ)) ||
            ((held.access & kWriteRights) && !(share & FILE_SHARE_WRITE)) ||
            ((held.access & DELETE) && !(share & FILE_SHARE_DELETE)))
            return true;
    }
    return false;
}

HANDLE SimOpenFileHandle(const std::string& key, DWORD access, DWORD share)
{
    SimHandle entry;
    entry.kind = SimObjectFile;
    entry.key = key;
    entry.access = access;
    entry.share = share;
    return NewHandle(entry);
}

const SimHandle* SimFileHandle(HANDLE handle)
{
    SimHandle* entry = FindHandle(handle);
    return entry && entry->kind == SimObjectFile ? entry : nullptr;
}

DWORD SimDeletionRefusal(const std::string& key)
{
    // A running program's image cannot be deleted: Windows (and Wine) refuse with access denied.
    const SimProcess& p = Machine().process;
    if (CallKey(p.loadedModulePath.empty() ? p.modulePath : p.loadedModulePath) == key)
        return ERROR_ACCESS_DENIED;
    for (const auto& open : Machine().objects.handles) {
        if (open.second.kind == SimObjectFile && open.second.key == key &&
            (open.second.access & kSharedRights) && !(open.second.share & FILE_SHARE_DELETE))
            return ERROR_SHARING_VIOLATION;
    }
    // The working folder is held open without delete sharing, by Windows and by Wine alike.
    if (CallKey(Machine().disk.currentFolder) == key)
        return ERROR_SHARING_VIOLATION;
    return 0;
}

bool SimCloseObject(HANDLE handle)
{
    auto open = Machine().objects.handles.find((ULONG_PTR)handle);
    if (open == Machine().objects.handles.end())
        return false;
    SimHandle closed = open->second;
    Machine().objects.handles.erase(open);
    if (closed.deleteOnClose)
        SimDeleteMarked(closed.key);
    return true;
}

BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle,
                            HANDLE hTargetProcessHandle, PHANDLE lpTargetHandle,
                            DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwOptions)
{
    if (SimFaultHit("DuplicateHandle", "", nullptr))
        return SimFail("DuplicateHandle", "", ERROR_ACCESS_DENIED);
    // Only this process's own handles within itself, and only the process itself, are kept here.
    if (hSourceProcessHandle != kCurrentProcessHandle || hTargetProcessHandle != kCurrentProcessHandle ||
        hSourceHandle != kCurrentProcessHandle || dwOptions != 0)
        return SimFail("DuplicateHandle", "", ERROR_INVALID_PARAMETER);
    SimHandle entry;
    entry.kind = SimObjectProcess;
    entry.processId = Machine().objects.currentProcessId;
    entry.access = dwDesiredAccess;
    entry.inheritable = bInheritHandle != FALSE;
    *lpTargetHandle = NewHandle(entry);
    SimRecordCall("DuplicateHandle", "", TRUE);
    return TRUE;
}

HANDLE WINAPI GetStdHandle(DWORD nStdHandle)
{
    int index = nStdHandle == STD_INPUT_HANDLE ? 0 : nStdHandle == STD_OUTPUT_HANDLE ? 1 : 2;
    return Machine().objects.standardHandles[index];
}

BOOL WINAPI SetHandleInformation(HANDLE hObject, DWORD dwMask, DWORD dwFlags)
{
    // The consumer line has the function but refuses it.
    if (!IsNtLine())
        return SimFail("SetHandleInformation", "", ERROR_CALL_NOT_IMPLEMENTED);
    SimHandle* entry = FindHandle(hObject);
    if (!entry)
        return SimFail("SetHandleInformation", "", ERROR_INVALID_HANDLE);
    if (dwMask & HANDLE_FLAG_INHERIT)
        entry->inheritable = (dwFlags & HANDLE_FLAG_INHERIT) != 0;
    SimRecordCall("SetHandleInformation", "", TRUE);
    return TRUE;
}

// The attribute list as this machine lays it out in the caller's buffer.
struct SimAttributeList {
    DWORD count;
    const HANDLE* handles;  // PROC_THREAD_ATTRIBUTE_HANDLE_LIST: the caller's array, not a copy
    SIZE_T handlesSize;
};

static BOOL WINAPI SimInitializeProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST list,
                                                        DWORD count, DWORD flags, SIZE_T* size)
{
    const SIZE_T needed = 48;
    if (count != 1 || flags != 0)
        return SimFail("InitializeProcThreadAttributeList", "", ERROR_INVALID_PARAMETER);
    if (list == NULL || *size < needed) {
        *size = needed;
        return SimFail("InitializeProcThreadAttributeList", "", ERROR_INSUFFICIENT_BUFFER);
    }
    SimAttributeList* attributes = (SimAttributeList*)list;
    attributes->count = 0;
    attributes->handles = nullptr;
    attributes->handlesSize = 0;
    SimRecordCall("InitializeProcThreadAttributeList", "", TRUE);
    return TRUE;
}

static BOOL WINAPI SimUpdateProcThreadAttribute(LPPROC_THREAD_ATTRIBUTE_LIST list, DWORD flags,
                                                DWORD_PTR attribute, LPVOID value, SIZE_T size,
                                                LPVOID previous, SIZE_T* returned)
{
    (void)previous;
    (void)returned;
    if (flags != 0 || attribute != PROC_THREAD_ATTRIBUTE_HANDLE_LIST || size == 0 ||
        size % sizeof(HANDLE) != 0)
        return SimFail("UpdateProcThreadAttribute", "", ERROR_INVALID_PARAMETER);
    SimAttributeList* attributes = (SimAttributeList*)list;
    attributes->count = 1;
    attributes->handles = (const HANDLE*)value;
    attributes->handlesSize = size;
    SimRecordCall("UpdateProcThreadAttribute", "", TRUE);
    return TRUE;
}

static void WINAPI SimDeleteProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST list)
{
    ((SimAttributeList*)list)->count = 0;
}

FARPROC SimProcessExport(const std::string& name)
{
    if (!Machine().objects.kernelHasProcThreadAttributes)
        return nullptr;
    if (name == "InitializeProcThreadAttributeList")
        return reinterpret_cast<FARPROC>(&SimInitializeProcThreadAttributeList);
    if (name == "UpdateProcThreadAttribute")
        return reinterpret_cast<FARPROC>(&SimUpdateProcThreadAttribute);
    if (name == "DeleteProcThreadAttributeList")
        return reinterpret_cast<FARPROC>(&SimDeleteProcThreadAttributeList);
    return nullptr;
}

// The handles a new process receives: none without bInheritHandles; with it every inheritable
// one, or only those of the handle list, each of which must be inheritable.
static bool InheritedHandles(BOOL inherit, DWORD flags, const STARTUPINFOA* startup,
                             std::map<ULONG_PTR, SimHandle>* inherited)
{
    if (!inherit)
        return true;
    const SimAttributeList* attributes = nullptr;
    if ((flags & EXTENDED_STARTUPINFO_PRESENT) && startup->cb == sizeof(STARTUPINFOEXA))
        attributes = (const SimAttributeList*)((const STARTUPINFOEXA*)startup)->lpAttributeList;
    if (attributes && attributes->count == 1) {
        for (SIZE_T i = 0; i < attributes->handlesSize / sizeof(HANDLE); i++) {
            SimHandle* entry = FindHandle(attributes->handles[i]);
            if (!entry || !entry->inheritable)
                return false;
            (*inherited)[(ULONG_PTR)attributes->handles[i]] = *entry;
        }
        return true;
    }
    for (const auto& open : Machine().objects.handles) {
        if (open.second.inheritable)
            (*inherited)[open.first] = open.second;
    }
    return true;
}

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation)
{
    (void)lpEnvironment;
    std::string application = lpApplicationName ? lpApplicationName : "";
    if (SimFaultHit("CreateProcessA", application.c_str(), nullptr))
        return SimFail("CreateProcessA", application, ERROR_ACCESS_DENIED);
    if (lpProcessAttributes || lpThreadAttributes || !lpStartupInfo || !lpProcessInformation)
        return SimFail("CreateProcessA", application, ERROR_INVALID_PARAMETER);
    SimDiskItem* image = FindItem(CallKey(application));
    if (!image || image->isFolder)
        return SimFail("CreateProcessA", application, ERROR_FILE_NOT_FOUND);
    std::string folder = lpCurrentDirectory ? lpCurrentDirectory : Machine().disk.currentFolder;
    if (!FolderExists(CallKey(folder)))
        return SimFail("CreateProcessA", application, ERROR_DIRECTORY);
    if ((dwCreationFlags & CREATE_BREAKAWAY_FROM_JOB) && Machine().objects.inJobWithoutBreakaway)
        return SimFail("CreateProcessA", application, ERROR_ACCESS_DENIED);
    SimProcessRecord started;
    if (!InheritedHandles(bInheritHandles, dwCreationFlags, lpStartupInfo, &started.inheritedHandles))
        return SimFail("CreateProcessA", application, ERROR_INVALID_PARAMETER);

    std::string imageKey = CallKey(application);
    started.imageHeld = SimHandlesConflict(imageKey, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                                        FILE_SHARE_DELETE) &&
                        SimDeletionRefusal(imageKey) == ERROR_SHARING_VIOLATION;
    started.folderHeld = SimDeletionRefusal(CallKey(folder)) == ERROR_SHARING_VIOLATION;
    SimObjects& objects = Machine().objects;
    started.id = objects.processes.back().id + 4;
    started.application = application;
    started.commandLine = lpCommandLine ? lpCommandLine : application;
    started.currentFolder = folder;
    started.creationFlags = dwCreationFlags;
    objects.processes.push_back(started);

    SimHandle process;
    process.kind = SimObjectProcess;
    process.processId = started.id;
    process.access = 0x1F0FFF;  // PROCESS_ALL_ACCESS
    lpProcessInformation->hProcess = NewHandle(process);
    lpProcessInformation->hThread = NewHandle(process);
    lpProcessInformation->dwProcessId = started.id;
    lpProcessInformation->dwThreadId = started.id + 1;
    SimRecordCall("CreateProcessA", application, TRUE);
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    SimHandle* entry = FindHandle(hHandle);
    if (!entry) {
        Machine().process.lastError = ERROR_INVALID_HANDLE;
        SimRecordCall("WaitForSingleObject", "", (long long)0xFFFFFFFFu);
        return 0xFFFFFFFFu;  // WAIT_FAILED
    }
    // A file or pipe handle is signalled while no I/O is under way on it.
    if (entry->kind != SimObjectProcess) {
        SimRecordCall("WaitForSingleObject", "", WAIT_OBJECT_0);
        return WAIT_OBJECT_0;
    }
    SimObjects& objects = Machine().objects;
    SimProcessRecord* process = FindProcess(entry->processId);
    if (!process->ended && process->endsAtMs >= 0 &&
        process->endsAtMs <= objects.clockMs + (long long)dwMilliseconds) {
        objects.clockMs = std::max(objects.clockMs, process->endsAtMs);
        process->ended = true;
    }
    if (!process->ended) {
        objects.clockMs += dwMilliseconds;
        SimRecordCall("WaitForSingleObject", "", WAIT_TIMEOUT);
        return WAIT_TIMEOUT;
    }
    SimRecordCall("WaitForSingleObject", "", WAIT_OBJECT_0);
    return WAIT_OBJECT_0;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    SimHandle* entry = FindHandle(hProcess);
    if (!entry || entry->kind != SimObjectProcess)
        return SimFail("GetExitCodeProcess", "", ERROR_INVALID_HANDLE);
    if (!(entry->access & PROCESS_QUERY_INFORMATION))
        return SimFail("GetExitCodeProcess", "", ERROR_ACCESS_DENIED);
    const SimProcessRecord* process = FindProcess(entry->processId);
    *lpExitCode = process->ended ? process->exitCode : STILL_ACTIVE;
    SimRecordCall("GetExitCodeProcess", "", TRUE);
    return TRUE;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    Machine().objects.clockMs += dwMilliseconds;
    SimRecordCall("Sleep", "", dwMilliseconds);
}

DWORD WINAPI GetTickCount(void)
{
    return (DWORD)Machine().objects.clockMs;
}

DWORD WINAPI GetCurrentProcessId(void)
{
    return Machine().objects.currentProcessId;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
{
    lpPerformanceCount->QuadPart = Machine().objects.clockMs * 3579 + 0x2F1D;
    return TRUE;
}

// ---- helpers for tests ----------------------------------------------------------------------

DWORD AddProcess(bool ended, DWORD exitCode, long long endsAtMs)
{
    SimObjects& objects = Machine().objects;
    SimProcessRecord process;
    process.id = objects.processes.back().id + 4;
    process.ended = ended;
    process.exitCode = ended ? exitCode : STILL_ACTIVE;
    process.endsAtMs = endsAtMs;
    if (endsAtMs >= 0)
        process.exitCode = exitCode;
    objects.processes.push_back(process);
    return process.id;
}

HANDLE AddProcessHandle(DWORD processId, DWORD access, bool inheritable)
{
    SimHandle entry;
    entry.kind = SimObjectProcess;
    entry.processId = processId;
    entry.access = access;
    entry.inheritable = inheritable;
    return NewHandle(entry);
}

HANDLE GiveStandardOutputPipe()
{
    SimHandle entry;
    entry.kind = SimObjectPipe;
    entry.inheritable = true;
    HANDLE pipe = NewHandle(entry);
    Machine().objects.standardHandles[1] = pipe;
    Machine().objects.standardHandles[2] = pipe;
    return pipe;
}

void BecomeStartedProcess(size_t index, DWORD exitCode)
{
    SimObjects& objects = Machine().objects;
    SimProcessRecord* self = FindProcess(objects.currentProcessId);
    self->ended = true;
    self->exitCode = exitCode;
    SimProcessRecord& started = objects.processes.at(index);
    objects.handles = started.inheritedHandles;
    objects.standardHandles[0] = objects.standardHandles[1] = objects.standardHandles[2] = nullptr;
    objects.currentProcessId = started.id;
    Machine().process.modulePath = started.application;
    Machine().process.loadedModulePath.clear();
    Machine().disk.currentFolder = started.currentFolder;
}

int OpenHandles(SimObjectKind kind)
{
    int count = 0;
    for (const auto& open : Machine().objects.handles)
        count += open.second.kind == kind ? 1 : 0;
    return count;
}
