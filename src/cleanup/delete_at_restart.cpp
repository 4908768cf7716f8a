// Deletion of a file at the next restart: MoveFileExA on the NT line, "wininit.ini" on the
// consumer line, which has no delayed MoveFileExA.
#include "cleanup/delete_at_restart.h"

#include "foundation/memory.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/process_state.h"
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

int ScheduleDeleteAtRestart(const char* directory, const char* name)
{
    int isNt = IsNtPlatform();

    // The consumer line starts before long names are available, so the folder is written in
    // its short form; the file name is kept as it is.
    char path[MAX_PATH];
    char shortFolder[MAX_PATH];
    snprintf(path, sizeof path, "%s", directory);
    DWORD length = GetShortPathNameA(path, shortFolder, sizeof shortFolder);
    if (length == 0 || length > MAX_PATH - 1)
        return 0;
    shortFolder[MAX_PATH - 1] = '\0';

    memcpy(path, shortFolder, sizeof path);
    if (!AppendPathComponent(path, name))
        return 0;

    if (isNt) {
        if (!MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT))
            return 0;
    } else {
        if (!AppendRenameLine(path))
            return 0;
    }
    RestartNeeded = 1;
    return 1;
}
