// Opening the uninstall log: read once, through one handle that also tells who could have
// written what it reads.
#include "foundation/paths.h"
#include "foundation/process_state.h"
#include "platform/platform.h"
#include "uninstall_log/log_loader.h"
#include "uninstall_log/log_trust.h"

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
    char folder[MAX_PATH];
    ExtractPathParts(folder, logPath, PathPartDrive | PathPartDir);
    LogTrusted = IsLogTrusted(folder, (HANDLE)_get_osfhandle(_fileno(stream)));

    int result = ParseUninstallLog(list, stream);
    fclose(stream);
    if (result == 0)
        ClearRemovalList(list);
    return result;
}
