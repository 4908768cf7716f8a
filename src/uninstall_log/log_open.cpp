// Opening the uninstall log: read once, through one handle that also tells who could have
// written what it reads.
#include "foundation/paths.h"
#include "foundation/process_state.h"
#include "platform/platform.h"
#include "uninstall_log/log_loader.h"
#include "uninstall_log/log_trust.h"

// Judges the log through the stream's own handle, then reads it; the stream stays open.
static int ReadOpenLog(RemovalList* list, const char* logPath, FILE* stream)
{
    char folder[MAX_PATH];
    ExtractPathParts(folder, logPath, PathPartDrive | PathPartDir);
    LogTrusted = IsLogTrusted(folder, (HANDLE)_get_osfhandle(_fileno(stream)));
    int result = ParseUninstallLog(list, stream);
    if (result == 0)
        ClearRemovalList(list);
    return result;
}

int LoadUninstallLog(RemovalList* list, const char* logPath)
{
    ClearRemovalList(list);
    LogTrusted = 0;

    // No one may write the log while it is read: _SH_DENYWR. Its rights are then read through the
    // same handle, before its first byte is, so that what is judged is the file that is followed;
    // a log judged by its path could be another file by then.
    FILE* stream = _fsopen(logPath, "rb", _SH_DENYWR);
    if (stream == NULL)
        return 0;
    int result = ReadOpenLog(list, logPath, stream);
    fclose(stream);
    return result;
}

// The log a silent run holds, until ReleaseHeldUninstallLog.
static FILE* HeldLog = NULL;

LogHold LoadUninstallLogHeld(RemovalList* list, const char* logPath)
{
    ClearRemovalList(list);
    LogTrusted = 0;
    HeldLog = NULL;

    // Open for writing as well, which only administrators may, and without write sharing: a second
    // run that asks the same is refused while this one holds it, and so is a run that only reads
    // it. The stream stays open until ReleaseHeldUninstallLog, or the process's end.
    FILE* stream = _fsopen(logPath, "r+b", _SH_DENYWR);
    if (stream == NULL) {
        // msvcrt leaves the system's error as CreateFileA gave it. A holder that only reads and
        // denies writing, as any user may, refuses a writer but not another reader: the run goes
        // on with a read handle. One that writes, or shares nothing, refuses both.
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            return LogUnusable;
        stream = _fsopen(logPath, "rb", _SH_DENYWR);
        if (stream == NULL)
            return GetLastError() == ERROR_SHARING_VIOLATION ? LogHeldByAnother : LogUnusable;
        HeldLog = stream;
        return ReadOpenLog(list, logPath, stream) ? LogReadBesideAReader : LogUnusable;
    }
    HeldLog = stream;
    return ReadOpenLog(list, logPath, stream) ? LogRead : LogUnusable;
}

void ReleaseHeldUninstallLog(void)
{
    if (HeldLog != NULL)
        fclose(HeldLog);
    HeldLog = NULL;
}
