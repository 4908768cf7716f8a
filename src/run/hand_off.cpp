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
#include "foundation/process_state.h"
#include "foundation/text.h"
#include "run/administrator.h"
#include "run/copy_folder.h"

static int HandOffPrepared = 0;
static int LevelsAbove = 0;
static char RunPath[MAX_PATH];

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
    // itself goes whether listed or not, when it is empty. A log others could have changed may
    // list any folder up to the root: the pass removes none of them, and nor does the copy.
    char folder[MAX_PATH];
    ExtractPathParts(folder, RunPath, PathPartDrive | PathPartDir);
    size_t length = strlen(folder);
    if (length > 0)
        folder[length - 1] = '\0';
    while (LogTrusted && LevelsAbove < kMostLevelsAbove && CutLastComponent(folder) &&
           LogListsFolder(list, folder))
        LevelsAbove++;
    HandOffPrepared = 1;
}

void KeepUninstallerInPlace(void)
{
    HandOffPrepared = 0;
}

// The file's identity as the copy will check it: volume, file index, size and write time.
static int ReadFileIdentity(const char* path, FileIdentity* identity)
{
    memset(identity, 0, sizeof *identity);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION information;
    BOOL known = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    if (!known)
        return 0;
    identity->volumeSerial = information.dwVolumeSerialNumber;
    identity->fileIndexHigh = information.nFileIndexHigh;
    identity->fileIndexLow = information.nFileIndexLow;
    identity->sizeHigh = information.nFileSizeHigh;
    identity->sizeLow = information.nFileSizeLow;
    identity->writeTime = information.ftLastWriteTime;
    return 1;
}

// Seven numbers of the command line.
static int PrintIdentity(char* text, size_t size, const FileIdentity* identity)
{
    return snprintf(text, size, " %lX %lX %lX %lX %lX %lX %lX", (unsigned long)identity->volumeSerial,
                    (unsigned long)identity->fileIndexHigh, (unsigned long)identity->fileIndexLow,
                    (unsigned long)identity->sizeHigh, (unsigned long)identity->sizeLow,
                    (unsigned long)identity->writeTime.dwHighDateTime,
                    (unsigned long)identity->writeTime.dwLowDateTime);
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
    FileIdentity run;
    if (!ReadFileIdentity(RunPath, &run))
        return 0;
    // The log the copy deletes is the one beside the run now; none when the pass took it.
    char logPath[MAX_PATH];
    FileIdentity log;
    ExtractPathParts(logPath, RunPath, PathPartDrive | PathPartDir);
    if (!AppendPathComponent(logPath, kLogFileName) || !ReadFileIdentity(logPath, &log))
        memset(&log, 0, sizeof log);
    HANDLE runProcess = NULL;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &runProcess,
                         SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0))
        return 0;

    // The copy's path, the marker and the process handle, 7 numbers of each identity, the levels
    // above and the run's path: at most 262 + 11 + 9 + 2 * 63 + 3 + 262 bytes.
    char commandLine[2 * MAX_PATH + 256];
    size_t used = (size_t)snprintf(commandLine, sizeof commandLine, "\"%s\" %s %lX", copyPath,
                                   kHandOffMarker, (unsigned long)(ULONG_PTR)runProcess);
    used += (size_t)PrintIdentity(commandLine + used, sizeof commandLine - used, &run);
    used += (size_t)PrintIdentity(commandLine + used, sizeof commandLine - used, &log);
    snprintf(commandLine + used, sizeof commandLine - used, " %X \"%s\"", LevelsAbove, RunPath);

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
    if (!HandOffToCopy() && restartComing)
        RecordLeftoversForRestart();
}
