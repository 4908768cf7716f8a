// Deletion of a file at the next restart: MoveFileExA on the NT line, "wininit.ini" on the
// consumer line, which has no delayed MoveFileExA.
#include "cleanup/delete_at_restart.h"

#include "foundation/memory.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/process_state.h"
#include "foundation/run_report.h"
#include "platform/platform.h"

// The whole [rename] section is read into this many bytes; the section may fill all but the
// room kept for the new line "nul=" + a path + its two NULs (at most 265 bytes).
enum { kSectionBufferSize = 32000, kSectionRoomKept = 2000 };

// The consumer line works through [rename] of "wininit.ini" while it starts; "nul=path"
// deletes path. The entries already there are kept, in their order, before the new line.
static int AppendRenameLine(const char* path)
{
    ByteBuffer section = {NULL, 0};
    SetSize(&section, kSectionBufferSize);
    if (section.size != kSectionBufferSize)
        return 0;

    char* text = (char*)section.data;
    DWORD count = GetPrivateProfileSectionA("rename", text, (DWORD)section.size, "wininit.ini");
    // The count leaves out the list's final NUL, so it is where the new line starts.
    if (count > (DWORD)(section.size - kSectionRoomKept)) {
        FreeIfSet(section.data);
        return 0;
    }
    int lineLength = snprintf(text + count, (size_t)section.size - count, "nul=%s", path);
    text[count + (DWORD)lineLength + 1] = '\0';

    // A section that was not written would leave the file in place after the restart.
    BOOL written = WritePrivateProfileSectionA("rename", text, "wininit.ini");
    FreeIfSet(section.data);
    return written ? 1 : 0;
}

// The path a restart deletion names: the folder in its short form, the name as it is. The
// consumer line starts before long names are available; the NT line takes the same path.
static int FormRestartPath(const char* directory, const char* name, char* path)
{
    char shortFolder[MAX_PATH];
    snprintf(path, MAX_PATH, "%s", directory);
    DWORD length = GetShortPathNameA(path, shortFolder, sizeof shortFolder);
    if (length == 0 || length > MAX_PATH - 1)
        return 0;
    shortFolder[MAX_PATH - 1] = '\0';

    memcpy(path, shortFolder, MAX_PATH);
    return AppendPathComponent(path, name);
}

// The record, and its line in the report: the path as the restart will read it, where it is kept.
static int RecordRestartPath(int isNt, const char* kind, const char* path)
{
    int recorded;
    DWORD error = 0;
    if (isNt) {
        recorded = MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
        error = recorded ? 0 : GetLastError();
    } else {
        recorded = AppendRenameLine(path);
    }
    char where[MAX_PATH + 64];
    snprintf(where, sizeof where, "%s (%s)", path, isNt ? "PendingFileRenameOperations" : "wininit.ini");
    if (recorded)
        ReportItem(ReportWaiting, kind, where, NULL);
    else if (isNt)
        ReportRefusal(kind, path, error);
    else
        ReportItem(ReportLeft, kind, path, "wininit.ini cannot be written");
    return recorded;
}

int ScheduleDeleteAtRestart(const char* directory, const char* name)
{
    int isNt = IsNtPlatform();

    char path[MAX_PATH];
    if (!FormRestartPath(directory, name, path)) {
        ReportItem(ReportLeft, "file", name, "its path for the restart cannot be formed");
        return 0;
    }
    if (!RecordRestartPath(isNt, "file", path))
        return 0;
    RestartNeeded = 1;
    return 1;
}

int RecordDeleteAtRestart(const char* path, int isFolder)
{
    int isNt = IsNtPlatform();
    // wininit.ini's "nul=" deletes files only; a folder named there stays.
    if (isFolder && !isNt) {
        ReportItem(ReportLeft, "folder", path, "wininit.ini deletes files only");
        return 0;
    }

    char folder[MAX_PATH];
    char restartPath[MAX_PATH];
    ExtractPathParts(folder, path, PathPartDrive | PathPartDir);
    size_t folderLength = strlen(folder);
    if (folderLength == 0 || path[folderLength] == '\0')
        return 0;
    if (!FormRestartPath(folder, path + folderLength, restartPath)) {
        ReportItem(ReportLeft, isFolder ? "folder" : "file", path, "its path for the restart cannot be formed");
        return 0;
    }
    return RecordRestartPath(isNt, isFolder ? "folder" : "file", restartPath);
}
