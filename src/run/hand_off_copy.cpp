// The copy's side of the hand-off: it waits for the run to end, then removes the uninstaller,
// its log and their folder, which the run could not remove while it ran.
#include "cleanup/delete_at_restart.h"
#include "foundation/fixed_names.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/text.h"
#include "run/dll_search.h"
#include "run/hand_off.h"

// The next number of the command line, in hexadecimal and after one space; 0 when there is none.
static int ReadNumber(const char** text, unsigned long* number)
{
    if (**text != ' ' || (*text)[1] == ' ' || (*text)[1] == '-' || (*text)[1] == '+')
        return 0;
    char* end = NULL;
    *number = strtoul(*text + 1, &end, 16);
    if (end == *text + 1)
        return 0;
    *text = end;
    return 1;
}

static void TakeIdentity(const unsigned long* numbers, FileIdentity* identity)
{
    identity->volumeSerial = (DWORD)numbers[0];
    identity->fileIndexHigh = (DWORD)numbers[1];
    identity->fileIndexLow = (DWORD)numbers[2];
    identity->sizeHigh = (DWORD)numbers[3];
    identity->sizeLow = (DWORD)numbers[4];
    identity->writeTime.dwHighDateTime = (DWORD)numbers[5];
    identity->writeTime.dwLowDateTime = (DWORD)numbers[6];
}

int ReadHandOff(const char* commandLine, HandOff* handOff)
{
    size_t markerLength = strlen(kHandOffMarker);
    if (commandLine == NULL || strncmp(commandLine, kHandOffMarker, markerLength) != 0)
        return 0;
    const char* text = commandLine + markerLength;
    // The process handle, the run's identity, the log's, the levels above.
    unsigned long numbers[16];
    for (unsigned long& number : numbers) {
        if (!ReadNumber(&text, &number))
            return 0;
    }
    // The path is last and quoted: no Windows path holds a quotation mark.
    if (text[0] != ' ' || text[1] != '"')
        return 0;
    const char* path = text + 2;
    const char* close = strchr(path, '"');
    if (close == NULL || close[1] != '\0' || close == path || close - path > MAX_PATH - 1 ||
        numbers[15] > kMostLevelsAbove)
        return 0;
    memcpy(handOff->runPath, path, (size_t)(close - path));
    handOff->runPath[close - path] = '\0';
    handOff->runProcess = (HANDLE)(ULONG_PTR)numbers[0];
    TakeIdentity(numbers + 1, &handOff->run);
    TakeIdentity(numbers + 8, &handOff->log);
    handOff->levelsAbove = (int)numbers[15];
    return 1;
}

// The handle names a process, and that process has ended. A pid would not do: once the run has
// gone it no longer opens, and it may name another process by then.
static int RunHasEnded(HANDLE runProcess)
{
    if (WaitForSingleObject(runProcess, kHandOffWaitMilliseconds) != WAIT_OBJECT_0)
        return 0;
    DWORD exitCode = STILL_ACTIVE;
    return GetExitCodeProcess(runProcess, &exitCode) && exitCode != STILL_ACTIVE;
}

static int IsGoneError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The file open at handle is the one the run described.
static int IsIdentified(HANDLE file, const FileIdentity* identity)
{
    BY_HANDLE_FILE_INFORMATION found;
    return GetFileInformationByHandle(file, &found) &&
           (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           found.dwVolumeSerialNumber == identity->volumeSerial &&
           found.nFileIndexHigh == identity->fileIndexHigh &&
           found.nFileIndexLow == identity->fileIndexLow &&
           found.nFileSizeHigh == identity->sizeHigh && found.nFileSizeLow == identity->sizeLow &&
           found.ftLastWriteTime.dwHighDateTime == identity->writeTime.dwHighDateTime &&
           found.ftLastWriteTime.dwLowDateTime == identity->writeTime.dwLowDateTime;
}

typedef BOOL(WINAPI* SetFileInformationByHandleFunction)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                                         DWORD);
typedef LONG(WINAPI* NtSetInformationFileFunction)(HANDLE, IO_STATUS_BLOCK*, PVOID, ULONG,
                                                   FILE_INFORMATION_CLASS);
typedef ULONG(WINAPI* RtlNtStatusToDosErrorFunction)(LONG);

// Marks what the handle (opened with DELETE) holds for deletion when it is closed: the very file
// or folder the handle was checked on, whatever its path names by then. Vista's kernel32 does it;
// before, ntdll, which every NT has. A folder that is not empty refuses.
static int DeleteThroughHandle(HANDLE handle)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetFileInformationByHandleFunction setFileInformationByHandle =
        kernel != NULL ? (SetFileInformationByHandleFunction)(void*)GetProcAddress(
                             kernel, "SetFileInformationByHandle")
                       : NULL;
    if (setFileInformationByHandle != NULL) {
        FILE_DISPOSITION_INFO disposition = {TRUE};
        return setFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                          sizeof disposition) ? 1 : 0;
    }
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    NtSetInformationFileFunction ntSetInformationFile =
        ntdll != NULL ? (NtSetInformationFileFunction)(void*)GetProcAddress(ntdll, "NtSetInformationFile")
                      : NULL;
    RtlNtStatusToDosErrorFunction rtlNtStatusToDosError =
        ntdll != NULL ? (RtlNtStatusToDosErrorFunction)(void*)GetProcAddress(ntdll, "RtlNtStatusToDosError")
                      : NULL;
    if (ntSetInformationFile == NULL || rtlNtStatusToDosError == NULL)
        return 0;
    IO_STATUS_BLOCK status;
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    LONG result = ntSetInformationFile(handle, &status, &disposition, sizeof disposition,
                                       FileDispositionInformation);
    if (result < 0)
        SetLastError(rtlNtStatusToDosError(result));
    return result >= 0 ? 1 : 0;
}

// Deletes the file at path if it is the one described: on the NT line through the handle it was
// checked on, which shares no deletion, so that no one renames it away and puts another in its
// place meanwhile; on the consumer line, which has no users to keep apart, by its path just after.
// A fresh file may be held for a moment, by an antivirus program for instance. 1 when it is gone.
static int DeleteIdentified(const char* path, const FileIdentity* identity, int isNt)
{
    for (int attempt = 1; attempt <= kHandOffDeleteTries; attempt++) {
        HANDLE file = CreateFileA(path, isNt ? DELETE | FILE_READ_ATTRIBUTES : GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                  isNt ? FILE_FLAG_OPEN_REPARSE_POINT : 0, NULL);
        if (file == INVALID_HANDLE_VALUE && IsGoneError(GetLastError()))
            return 1;
        if (file != INVALID_HANDLE_VALUE) {
            // Another file at the path (a reinstall begun meanwhile) is not ours to delete.
            if (!IsIdentified(file, identity)) {
                CloseHandle(file);
                return 0;
            }
            int deleted = isNt ? DeleteThroughHandle(file) : 0;
            CloseHandle(file);
            if (!isNt)
                deleted = DeleteFileA(path) ? 1 : 0;
            if (deleted || IsGoneError(GetLastError()))
                return 1;
        }
        if (attempt < kHandOffDeleteTries)
            Sleep(kHandOffTryPauseMilliseconds);
    }
    return 0;
}

// The folder at path held against renaming and deletion by others, and no link: the files and
// folders removed through it are its own. INVALID_HANDLE_VALUE when it cannot be held or is a
// link; Wine opens a link's target even when told not to, and only the path shows the link. A
// folder another program holds without delete sharing (a command prompt's working folder) is
// held for listing alone: *canDelete is then 0.
static HANDLE HoldFolder(const char* path, int* canDelete)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    *canDelete = 1;
    HANDLE folder = CreateFileA(path, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, share,
                                NULL, OPEN_EXISTING, flags, NULL);
    if (folder == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        *canDelete = 0;
        folder = CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, share, NULL,
                             OPEN_EXISTING, flags, NULL);
    }
    if (folder == INVALID_HANDLE_VALUE)
        return folder;
    BY_HANDLE_FILE_INFORMATION held;
    DWORD attributes = GetFileAttributesA(path);
    if (GetFileInformationByHandle(folder, &held) && attributes != INVALID_FILE_ATTRIBUTES &&
        ((held.dwFileAttributes | attributes) & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return folder;
    CloseHandle(folder);
    return INVALID_HANDLE_VALUE;
}

// Removes the folder at path, which must be empty by now (on the NT line the one held at folder,
// which this closes); never a recursive delete, so a folder holding the user's own files stays,
// with them. One held by another program, or refused, is left to the next restart, when it goes
// only if it is empty by then; one that is gone or not empty is not named. 1 when it is gone.
static int RemoveHeldFolder(HANDLE folder, int canDelete, const char* path, int isNt)
{
    int removed = 0;
    DWORD error = ERROR_SHARING_VIOLATION;
    if (!isNt) {
        removed = RemoveDirectoryA(path) ? 1 : 0;
        error = GetLastError();
    } else {
        if (canDelete) {
            removed = DeleteThroughHandle(folder);
            error = GetLastError();
        }
        CloseHandle(folder);
    }
    if (!removed && (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED))
        RecordDeleteAtRestart(path, 1);
    return removed;
}

static void RemoveLeftovers(const HandOff* handOff)
{
    int isNt = IsNtPlatform();
    char folder[MAX_PATH];
    char logPath[MAX_PATH];
    ExtractPathParts(folder, handOff->runPath, PathPartDrive | PathPartDir);
    memcpy(logPath, folder, sizeof logPath);
    if (!AppendPathComponent(logPath, kLogFileName))
        return;

    // The folder is held first, so that nothing is put in its place while its files go. The
    // uninstaller before its log: one that cannot go keeps the log it would finish with.
    size_t length = strlen(folder);
    if (length > 0 && folder[length - 1] == '\\')
        folder[length - 1] = '\0';
    int canDelete = 0;
    HANDLE held = isNt ? HoldFolder(folder, &canDelete) : NULL;
    if (held == INVALID_HANDLE_VALUE)
        return;
    FileIdentity none;
    memset(&none, 0, sizeof none);
    int filesGone = DeleteIdentified(handOff->runPath, &handOff->run, isNt) &&
                    (memcmp(&handOff->log, &none, sizeof none) == 0 ||
                     DeleteIdentified(logPath, &handOff->log, isNt));
    if (!filesGone) {
        if (isNt)
            CloseHandle(held);
        return;
    }
    if (!RemoveHeldFolder(held, canDelete, folder, isNt))
        return;
    for (int level = 0; level < handOff->levelsAbove; level++) {
        if (!CutLastComponent(folder))
            return;
        held = isNt ? HoldFolder(folder, &canDelete) : NULL;
        if (held == INVALID_HANDLE_VALUE || !RemoveHeldFolder(held, canDelete, folder, isNt))
            return;
    }
}

// The copy lies where a run puts it: on the NT line in a folder of its own right in the temporary
// folder, on the consumer line right there. Only then does it name anything for the restart: a
// copy started by hand from the installation folder would otherwise name the uninstaller.
static int LiesInTemporaryFolder(const char* copyPath, int isNt)
{
    char tempFolder[MAX_PATH];
    DWORD tempLength = GetTempPathA(sizeof tempFolder, tempFolder);
    if (tempLength == 0 || tempLength > MAX_PATH - 1)
        return 0;
    char folder[MAX_PATH];
    memcpy(folder, copyPath, strlen(copyPath) + 1);
    if (!CutLastComponent(folder) || (isNt && !CutLastComponent(folder)))
        return 0;
    char resolvedTemp[MAX_PATH];
    char resolvedFolder[MAX_PATH];
    return ResolveFolderPath(resolvedTemp, tempFolder) && ResolveFolderPath(resolvedFolder, folder) &&
           EqualIgnoringAsciiCase(resolvedTemp, resolvedFolder);
}

// The copy cannot delete itself while it runs: the restart does, the file first, then its
// folder, which the other order would leave. A copy that lies directly in the temporary folder
// (the consumer line's) has no folder of its own: the temporary folder stays.
static void RecordCopyForRestart(int isNt)
{
    char copyPath[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, copyPath, sizeof copyPath);
    if (length == 0 || length >= sizeof copyPath || !LiesInTemporaryFolder(copyPath, isNt))
        return;
    RecordDeleteAtRestart(copyPath, 0);
    if (isNt && CutLastComponent(copyPath))
        RecordDeleteAtRestart(copyPath, 1);
}

void RunHandOffCopy(const HandOff* handOff)
{
    // The copy's folder is the system's temporary folder on the consumer line, open to every
    // program there: no DLL is taken from it either.
    RestrictDllSearch();
    // A handle that names no process is no hand-off: a copy started by hand names nothing.
    DWORD exitCode = 0;
    if (!IsFullPath(handOff->runPath) || !GetExitCodeProcess(handOff->runProcess, &exitCode))
        return;
    // Named at once, before the wait: whatever ends the copy later (a restart, the run that does
    // not end in time, another file at the run's path), it goes at the next restart.
    int isNt = IsNtPlatform();
    RecordCopyForRestart(isNt);
    if (RunHasEnded(handOff->runProcess))
        RemoveLeftovers(handOff);
}
