// The run's side of the hand-off: a copy of the program in a folder of its own under the
// temporary folder, started with a handle of the run's process to wait on.
//
// A running program cannot delete its own file, nor remove the folder it runs from; the copy,
// started just before the run ends, can, once the run has gone.
#include "run/hand_off.h"

#include "cleanup/delete_at_restart.h"
#include "foundation/fixed_names.h"
#include "foundation/object_trust.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/text.h"
#include "run/administrator.h"

static int HandOffPrepared = 0;
static int LevelsAbove = 0;
static char RunPath[MAX_PATH];

// Names a fresh folder may take before the run gives up: a name already there is never used.
enum { kFolderNameTries = 16 };

// The part of the copy's folder name that no one can know before: the clock's finest counter
// and the moment, mixed with the process id. It needs only to be unknown in advance;
// CreateDirectoryA refuses a name that is taken.
static DWORD UnforeseeableNumber(DWORD attempt)
{
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    QueryPerformanceCounter(&counter);
    return (counter.u.LowPart * 2654435761u) ^ (GetTickCount() << 7) ^
           (GetCurrentProcessId() * 40503u) ^ (attempt * 977u);
}

// 1 when the log listed the folder at path, with its last separator or without. The last byte
// alone cannot tell: in a double-byte code page a trail byte may be 0x5C, the separator's.
static int LogListsFolder(const RemovalList* list, const char* path)
{
    char withSeparator[MAX_PATH];
    snprintf(withSeparator, sizeof withSeparator, "%s\\", path);
    for (const RemovalNode* node = list->oldest; node != NULL; node = node->newer) {
        const RemovalEntry* entry = node->entry;
        if (entry->kind == EntryKindDirectory && (EqualIgnoringAsciiCase(entry->path, path) ||
                                                  EqualIgnoringAsciiCase(entry->path, withSeparator)))
            return 1;
    }
    return 0;
}

int CutLastComponent(char* path)
{
    char parent[MAX_PATH];
    ExtractPathParts(parent, path, PathPartDrive | PathPartDir);
    size_t length = strlen(parent);
    if (length <= 3)
        return 0;
    parent[length - 1] = '\0';
    memcpy(path, parent, length);
    return 1;
}

void PrepareHandOff(const char* modulePath, const RemovalList* list)
{
    snprintf(RunPath, sizeof RunPath, "%s", modulePath);
    LevelsAbove = 0;
    // From the installation folder's parent upwards, while the log made each level; the folder
    // itself goes whether listed or not, when it is empty.
    char folder[MAX_PATH];
    ExtractPathParts(folder, RunPath, PathPartDrive | PathPartDir);
    size_t length = strlen(folder);
    if (length > 0)
        folder[length - 1] = '\0';
    while (CutLastComponent(folder) && LogListsFolder(list, folder))
        LevelsAbove++;
    HandOffPrepared = 1;
}

// The file's identity as the copy will check it: volume, file index, size and write time.
static int ReadFileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* identity)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BOOL known = GetFileInformationByHandle(file, identity);
    CloseHandle(file);
    return known ? 1 : 0;
}

typedef BOOL(WINAPI* InitializeAclFunction)(PACL, DWORD, DWORD);
typedef BOOL(WINAPI* AddAccessAllowedAceFunction)(PACL, DWORD, DWORD, PSID);
typedef BOOL(WINAPI* GetAceFunction)(PACL, DWORD, LPVOID*);
typedef BOOL(WINAPI* InitializeSecurityDescriptorFunction)(PSECURITY_DESCRIPTOR, DWORD);
typedef BOOL(WINAPI* SetSecurityDescriptorDaclFunction)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef BOOL(WINAPI* SetSecurityDescriptorControlFunction)(PSECURITY_DESCRIPTOR,
                                                            SECURITY_DESCRIPTOR_CONTROL,
                                                            SECURITY_DESCRIPTOR_CONTROL);
typedef BOOL(WINAPI* GetKernelObjectSecurityFunction)(HANDLE, SECURITY_INFORMATION,
                                                       PSECURITY_DESCRIPTOR, DWORD, LPDWORD);

// The NT line's security calls, looked up rather than imported: a program that imports what the
// consumer line's advapi32 lacks would not start there.
struct SecurityCalls {
    AllocateAndInitializeSidFunction allocateAndInitializeSid;
    FreeSidFunction freeSid;
    InitializeAclFunction initializeAcl;
    AddAccessAllowedAceFunction addAccessAllowedAce;
    GetAceFunction getAce;
    InitializeSecurityDescriptorFunction initializeSecurityDescriptor;
    SetSecurityDescriptorDaclFunction setSecurityDescriptorDacl;
    SetSecurityDescriptorControlFunction setSecurityDescriptorControl;  // Windows 2000 on, or NULL
    GetKernelObjectSecurityFunction getKernelObjectSecurity;
};

static int FindSecurityCalls(SecurityCalls* calls)
{
    // advapi32 is imported, so it is mapped.
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (advapi == NULL)
        return 0;
    calls->allocateAndInitializeSid =
        (AllocateAndInitializeSidFunction)(void*)GetProcAddress(advapi, "AllocateAndInitializeSid");
    calls->freeSid = (FreeSidFunction)(void*)GetProcAddress(advapi, "FreeSid");
    calls->initializeAcl = (InitializeAclFunction)(void*)GetProcAddress(advapi, "InitializeAcl");
    calls->addAccessAllowedAce =
        (AddAccessAllowedAceFunction)(void*)GetProcAddress(advapi, "AddAccessAllowedAce");
    calls->getAce = (GetAceFunction)(void*)GetProcAddress(advapi, "GetAce");
    calls->initializeSecurityDescriptor = (InitializeSecurityDescriptorFunction)(void*)GetProcAddress(
        advapi, "InitializeSecurityDescriptor");
    calls->setSecurityDescriptorDacl =
        (SetSecurityDescriptorDaclFunction)(void*)GetProcAddress(advapi, "SetSecurityDescriptorDacl");
    calls->setSecurityDescriptorControl = (SetSecurityDescriptorControlFunction)(void*)GetProcAddress(
        advapi, "SetSecurityDescriptorControl");
    calls->getKernelObjectSecurity =
        (GetKernelObjectSecurityFunction)(void*)GetProcAddress(advapi, "GetKernelObjectSecurity");
    return calls->allocateAndInitializeSid != NULL && calls->freeSid != NULL &&
           calls->initializeAcl != NULL && calls->addAccessAllowedAce != NULL &&
           calls->getAce != NULL && calls->initializeSecurityDescriptor != NULL &&
           calls->setSecurityDescriptorDacl != NULL && calls->getKernelObjectSecurity != NULL;
}

// A DACL of two entries, Administrators and SYSTEM with every right, inherited by whatever is
// made inside, protected from the entries of the temporary folder, which lets users write.
struct RestrictedSecurity {
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[64];  // an ACL of two entries with their SIDs: 8 + 2 * (8 + 16) bytes at most
    PSID administrators, system;
};

static int AllowEverything(const SecurityCalls* calls, PACL acl, PSID sid)
{
    LPVOID ace = NULL;
    if (!calls->addAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) ||
        !calls->getAce(acl, acl->AceCount - 1, &ace))
        return 0;
    // AddAccessAllowedAce takes no inheritance flags; the Ex form is missing before Windows 2000.
    ((ACE_HEADER*)ace)->AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    return 1;
}

static int BuildRestrictedSecurity(const SecurityCalls* calls, RestrictedSecurity* security)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PACL acl = (PACL)security->acl;
    if (!calls->allocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                         &security->administrators) ||
        !calls->allocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0,
                                         0, 0, &security->system) ||
        !calls->initializeAcl(acl, sizeof security->acl, ACL_REVISION) ||
        !AllowEverything(calls, acl, security->administrators) ||
        !AllowEverything(calls, acl, security->system) ||
        !calls->initializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !calls->setSecurityDescriptorDacl(&security->descriptor, TRUE, acl, FALSE))
        return 0;
    // From Windows 2000 on a new folder adds the parent's inheritable entries to the DACL it is
    // given, unless the DACL is protected; Windows NT 4 adds none and lacks the call.
    if (calls->setSecurityDescriptorControl != NULL &&
        !calls->setSecurityDescriptorControl(&security->descriptor, SE_DACL_PROTECTED,
                                             SE_DACL_PROTECTED))
        return 0;
    return 1;
}

// The folder as it is now, read through the handle that keeps it from being swapped.
static int FolderIsRestricted(const SecurityCalls* calls, HANDLE folder)
{
    DWORD descriptor[256];  // 1 KB: an owner and a DACL of a few entries
    DWORD needed = 0;
    if (!calls->getKernelObjectSecurity(folder, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        descriptor, sizeof descriptor, &needed))
        return 0;
    return IsChangeableOnlyByAdministrators(descriptor);
}

// The NT line: a folder made new under the temporary folder, which only Administrators and
// SYSTEM can write to, opened without delete sharing and checked through that handle.
static HANDLE MakeRestrictedFolder(const char* tempFolder, char* folder)
{
    SecurityCalls calls;
    if (!FindSecurityCalls(&calls))
        return INVALID_HANDLE_VALUE;
    RestrictedSecurity security = {};
    int built = BuildRestrictedSecurity(&calls, &security);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &security.descriptor, FALSE};
    int made = 0;
    for (DWORD attempt = 0; built && !made && attempt < kFolderNameTries; attempt++) {
        snprintf(folder, MAX_PATH, "%spxu%08lX", tempFolder,
                 (unsigned long)UnforeseeableNumber(attempt));
        made = CreateDirectoryA(folder, &attributes) ? 1 : 0;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (security.administrators != NULL)
        calls.freeSid(security.administrators);
    if (security.system != NULL)
        calls.freeSid(security.system);
    if (!made)
        return INVALID_HANDLE_VALUE;

    // An open for READ_CONTROL alone takes no part in sharing: the listing right makes the missing
    // FILE_SHARE_DELETE keep the folder from being removed or renamed.
    HANDLE handle = CreateFileA(folder, READ_CONTROL | FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (handle != INVALID_HANDLE_VALUE && FolderIsRestricted(&calls, handle))
        return handle;
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    RemoveDirectoryA(folder);
    return INVALID_HANDLE_VALUE;
}

// The copy, written where nothing was, and opened against writing and deletion.
static HANDLE WriteCopy(const char* copyPath, BOOL failIfExists)
{
    if (!CopyFileA(RunPath, copyPath, failIfExists))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(copyPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
}

typedef BOOL(WINAPI* InitializeProcThreadAttributeListFunction)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD,
                                                                DWORD, SIZE_T*);
typedef BOOL(WINAPI* UpdateProcThreadAttributeFunction)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD,
                                                        DWORD_PTR, LPVOID, SIZE_T, LPVOID, SIZE_T*);
typedef void(WINAPI* DeleteProcThreadAttributeListFunction)(LPPROC_THREAD_ATTRIBUTE_LIST);

// Vista on: a list that lets the copy inherit the run's process handle and nothing else, so a
// caller reading the run's output to its end does not wait for the copy too.
static int InheritOnly(HANDLE* handle, DWORD* list, SIZE_T listSize, STARTUPINFOEXA* startup)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == NULL)
        return 0;
    InitializeProcThreadAttributeListFunction initialize =
        (InitializeProcThreadAttributeListFunction)(void*)GetProcAddress(
            kernel, "InitializeProcThreadAttributeList");
    UpdateProcThreadAttributeFunction update =
        (UpdateProcThreadAttributeFunction)(void*)GetProcAddress(kernel, "UpdateProcThreadAttribute");
    if (initialize == NULL || update == NULL)
        return 0;
    SIZE_T size = 0;
    initialize(NULL, 1, 0, &size);  // fails by design: it only tells the size
    if (size == 0 || size > listSize)
        return 0;
    LPPROC_THREAD_ATTRIBUTE_LIST attributes = (LPPROC_THREAD_ATTRIBUTE_LIST)list;
    if (!initialize(attributes, 1, 0, &size))
        return 0;
    if (!update(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handle, sizeof *handle, NULL,
                NULL)) {
        DeleteProcThreadAttributeListFunction release =
            (DeleteProcThreadAttributeListFunction)(void*)GetProcAddress(
                kernel, "DeleteProcThreadAttributeList");
        if (release != NULL)
            release(attributes);
        return 0;
    }
    startup->lpAttributeList = attributes;
    startup->StartupInfo.cb = sizeof *startup;
    return 1;
}

static void ReleaseAttributeList(STARTUPINFOEXA* startup)
{
    if (startup->lpAttributeList == NULL)
        return;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    DeleteProcThreadAttributeListFunction release =
        kernel == NULL ? NULL
                       : (DeleteProcThreadAttributeListFunction)(void*)GetProcAddress(
                             kernel, "DeleteProcThreadAttributeList");
    if (release != NULL)
        release(startup->lpAttributeList);
}

// Before Vista every inheritable handle goes along: the standard handles a caller may read from
// lose their inherit flag first. The consumer line refuses the call: there a caller that reads the
// uninstaller's output to its end waits for the copy as well.
static void KeepStandardHandlesHome(void)
{
    SetHandleInformation(GetStdHandle(STD_INPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(GetStdHandle(STD_OUTPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(GetStdHandle(STD_ERROR_HANDLE), HANDLE_FLAG_INHERIT, 0);
}

// Starts the copy with the hand-off on its command line, in its own folder as working folder,
// with the same rights; 1 when it runs.
static int StartCopy(const char* copyPath, const char* copyFolder, int isNt)
{
    BY_HANDLE_FILE_INFORMATION identity;
    if (!ReadFileIdentity(RunPath, &identity))
        return 0;
    HANDLE runProcess = NULL;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &runProcess,
                         SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0))
        return 0;

    char commandLine[2 * MAX_PATH + 160];
    snprintf(commandLine, sizeof commandLine,
             "\"%s\" %s %lX %lX %lX %lX %lX %lX %lX %lX %X \"%s\"", copyPath, kHandOffMarker,
             (unsigned long)(ULONG_PTR)runProcess, (unsigned long)identity.dwVolumeSerialNumber,
             (unsigned long)identity.nFileIndexHigh, (unsigned long)identity.nFileIndexLow,
             (unsigned long)identity.nFileSizeHigh, (unsigned long)identity.nFileSizeLow,
             (unsigned long)identity.ftLastWriteTime.dwHighDateTime,
             (unsigned long)identity.ftLastWriteTime.dwLowDateTime, LevelsAbove, RunPath);

    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    DWORD list[64];  // a list of one attribute: some 48 bytes
    DWORD flags = 0;
    if (InheritOnly(&runProcess, list, sizeof list, &startup))
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    else
        KeepStandardHandlesHome();

    PROCESS_INFORMATION started = {};
    // A job that allows no breakaway refuses the flag with ERROR_ACCESS_DENIED; the copy then
    // stays in the job. The consumer line has no jobs.
    BOOL running = FALSE;
    if (isNt)
        running = CreateProcessA(copyPath, commandLine, NULL, NULL, TRUE,
                                 flags | CREATE_BREAKAWAY_FROM_JOB, NULL, copyFolder,
                                 &startup.StartupInfo, &started);
    if (!running && (!isNt || GetLastError() == ERROR_ACCESS_DENIED))
        running = CreateProcessA(copyPath, commandLine, NULL, NULL, TRUE, flags, NULL, copyFolder,
                                 &startup.StartupInfo, &started);
    ReleaseAttributeList(&startup);
    CloseHandle(runProcess);  // the copy holds its own
    if (!running)
        return 0;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return 1;
}

// The copy under GetTempPathA, started; 1 when it runs. The folder and the copy are held open
// against writing and deletion until CreateProcessA has returned.
static int HandOffToCopy(void)
{
    int isNt = IsNtPlatform();
    char tempFolder[MAX_PATH];
    DWORD length = GetTempPathA(sizeof tempFolder, tempFolder);
    if (length == 0 || length > MAX_PATH - 1 || tempFolder[length - 1] != '\\')
        return 0;

    char folder[MAX_PATH];
    char copyPath[MAX_PATH];
    HANDLE folderHandle = INVALID_HANDLE_VALUE;
    HANDLE copy;
    if (isNt) {
        folderHandle = MakeRestrictedFolder(tempFolder, folder);
        if (folderHandle == INVALID_HANDLE_VALUE)
            return 0;
        memcpy(copyPath, folder, sizeof copyPath);
        copy = AppendPathComponent(copyPath, kUninstallerFileName) ? WriteCopy(copyPath, TRUE)
                                                                   : INVALID_HANDLE_VALUE;
    } else {
        // wininit.ini takes 8.3 names and deletes no folder: a file of its own, directly here.
        memcpy(folder, tempFolder, sizeof folder);
        if (length > 3)
            folder[length - 1] = '\0';
        if (GetTempFileNameA(tempFolder, "pxu", 0, copyPath) == 0)
            return 0;
        copy = WriteCopy(copyPath, FALSE);
    }

    int started = copy != INVALID_HANDLE_VALUE && StartCopy(copyPath, folder, isNt);
    if (copy != INVALID_HANDLE_VALUE)
        CloseHandle(copy);
    if (folderHandle != INVALID_HANDLE_VALUE)
        CloseHandle(folderHandle);
    // A copy that does not run is no use in the temporary folder.
    if (!started) {
        DeleteFileA(copyPath);
        if (isNt)
            RemoveDirectoryA(folder);
    }
    return started;
}

// The uninstaller, its log, then their folder, which the restart removes only once empty.
static void RecordLeftoversForRestart(void)
{
    char folder[MAX_PATH];
    char logPath[MAX_PATH];
    ExtractPathParts(folder, RunPath, PathPartDrive | PathPartDir);
    memcpy(logPath, folder, sizeof logPath);
    // What cannot be recorded stays where it is, as it did before the hand-off existed.
    RecordDeleteAtRestart(RunPath, 0);
    if (AppendPathComponent(logPath, kLogFileName))
        RecordDeleteAtRestart(logPath, 0);
    size_t length = strlen(folder);
    if (length > 3)
        folder[length - 1] = '\0';
    RecordDeleteAtRestart(folder, 1);
}

void HandOffLeftovers(int restartComing)
{
    if (!HandOffPrepared)
        return;
    HandOffPrepared = 0;
    if (restartComing)
        RecordLeftoversForRestart();
    if (!HandOffToCopy() && !restartComing)
        RecordLeftoversForRestart();
}
