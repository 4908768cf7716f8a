// The copy's side of the hand-off: it waits for the run to end, then removes the uninstaller,
// its log and their folder, which the run could not remove while it ran.
#include "cleanup/delete_at_restart.h"
#include "foundation/fixed_names.h"
#include "foundation/paths.h"
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

int ReadHandOff(const char* commandLine, HandOff* handOff)
{
    size_t markerLength = strlen(kHandOffMarker);
    if (commandLine == NULL || strncmp(commandLine, kHandOffMarker, markerLength) != 0)
        return 0;
    const char* text = commandLine + markerLength;
    unsigned long numbers[9];
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
        numbers[8] > 64)
        return 0;
    memcpy(handOff->runPath, path, (size_t)(close - path));
    handOff->runPath[close - path] = '\0';
    handOff->runProcess = (HANDLE)(ULONG_PTR)numbers[0];
    handOff->volumeSerial = (DWORD)numbers[1];
    handOff->fileIndexHigh = (DWORD)numbers[2];
    handOff->fileIndexLow = (DWORD)numbers[3];
    handOff->sizeHigh = (DWORD)numbers[4];
    handOff->sizeLow = (DWORD)numbers[5];
    handOff->writeTime.dwHighDateTime = (DWORD)numbers[6];
    handOff->writeTime.dwLowDateTime = (DWORD)numbers[7];
    handOff->levelsAbove = (int)numbers[8];
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

// The file at the run's path is the very one the run started from, not one put there since.
static int IsTheRunsFile(const HandOff* handOff)
{
    if (!IsFullPath(handOff->runPath))
        return 0;
    HANDLE file = CreateFileA(handOff->runPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION identity;
    BOOL known = GetFileInformationByHandle(file, &identity);
    CloseHandle(file);
    return known && (identity.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           identity.dwVolumeSerialNumber == handOff->volumeSerial &&
           identity.nFileIndexHigh == handOff->fileIndexHigh &&
           identity.nFileIndexLow == handOff->fileIndexLow &&
           identity.nFileSizeHigh == handOff->sizeHigh &&
           identity.nFileSizeLow == handOff->sizeLow &&
           identity.ftLastWriteTime.dwHighDateTime == handOff->writeTime.dwHighDateTime &&
           identity.ftLastWriteTime.dwLowDateTime == handOff->writeTime.dwLowDateTime;
}

// A fresh file may be held for a moment, by an antivirus program for instance. What is still
// there after the last try is named for the next restart.
static void DeleteWithRetries(const char* path)
{
    for (int attempt = 1; attempt <= kHandOffDeleteTries; attempt++) {
        if (DeleteFileA(path))
            return;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return;
        if (attempt < kHandOffDeleteTries)
            Sleep(kHandOffTryPauseMilliseconds);
    }
    RecordDeleteAtRestart(path, 0);
}

// Never a recursive delete: a folder that still holds the user's own files stays, with them.
// Any other refusal is left to the next restart, when the folder may be empty.
static int RemoveFolderIfEmpty(const char* folder)
{
    if (RemoveDirectoryA(folder))
        return 1;
    if (GetLastError() != ERROR_DIR_NOT_EMPTY)
        RecordDeleteAtRestart(folder, 1);
    return 0;
}

static void RemoveLeftovers(const HandOff* handOff)
{
    char folder[MAX_PATH];
    char logPath[MAX_PATH];
    ExtractPathParts(folder, handOff->runPath, PathPartDrive | PathPartDir);
    memcpy(logPath, folder, sizeof logPath);

    DeleteWithRetries(handOff->runPath);
    if (AppendPathComponent(logPath, kLogFileName))
        DeleteWithRetries(logPath);

    size_t length = strlen(folder);
    if (length > 0 && folder[length - 1] == '\\')
        folder[length - 1] = '\0';
    if (!RemoveFolderIfEmpty(folder))
        return;
    for (int level = 0; level < handOff->levelsAbove; level++) {
        if (!CutLastComponent(folder) || !RemoveFolderIfEmpty(folder))
            return;
    }
}

// The copy cannot delete itself while it runs: the restart does, the file first, then its
// folder, which the other order would leave. A copy that lies directly in the temporary folder
// (the consumer line's) has no folder of its own: the temporary folder stays.
static void RecordCopyForRestart(void)
{
    char copyPath[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, copyPath, sizeof copyPath);
    if (length == 0 || length >= sizeof copyPath)
        return;
    RecordDeleteAtRestart(copyPath, 0);

    char tempFolder[MAX_PATH];
    DWORD tempLength = GetTempPathA(sizeof tempFolder, tempFolder);
    if (tempLength == 0 || tempLength > MAX_PATH - 1 || !CutLastComponent(copyPath))
        return;
    if (tempFolder[tempLength - 1] == '\\')
        tempFolder[tempLength - 1] = '\0';
    if (!EqualIgnoringAsciiCase(copyPath, tempFolder))
        RecordDeleteAtRestart(copyPath, 1);
}

void RunHandOffCopy(const HandOff* handOff)
{
    // The copy's folder is the system's temporary folder on the consumer line, open to every
    // program there: no DLL is taken from it either.
    RestrictDllSearch();
    if (!RunHasEnded(handOff->runProcess) || !IsTheRunsFile(handOff))
        return;
    RemoveLeftovers(handOff);
    RecordCopyForRestart();
}
