// The removal pass: every listed file and folder, newest first, never through a link below the
// installation folder, and beyond that folder only as far as the log can be trusted.
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "foundation/process_state.h"
#include "foundation/text.h"
#include "platform/platform.h"
#include "uninstall_log/removal_list.h"

// What a folder on the way to an entry turned out to be.
enum LevelState {
    LevelPlain,    // a folder and no link, held where the line can hold one
    LevelMissing,  // not there, or a file: nothing below it is there either
    LevelRefused,  // a link, or a folder that could not be held: not passed
};

// A folder between the installation folder and the entries being removed.
struct HeldFolder {
    size_t length;  // bytes of its path, the first of the walk's path
    HANDLE handle;  // open without delete sharing, or INVALID_HANDLE_VALUE
    LevelState state;
};

// The folders strictly between the installation folder (at least "C:\") and an entry of at most
// 259 bytes: every name takes a byte and a separator, so never more than 127.
enum { kMaxHeldFolders = MAX_PATH / 2 };

// The folders on the way to the entry last removed below the installation folder.
struct FolderWalk {
    char path[MAX_PATH];  // that entry's resolved path
    HeldFolder levels[kMaxHeldFolders];
    int depth;
    int holdOpen;  // the NT line opens folders; the consumer line cannot
};

static int IsGoneError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

static void ReleaseLevels(FolderWalk* walk, int depth)
{
    while (walk->depth > depth) {
        walk->depth--;
        if (walk->levels[walk->depth].handle != INVALID_HANDLE_VALUE)
            CloseHandle(walk->levels[walk->depth].handle);
    }
}

// Held first, looked at after: a folder held without delete sharing cannot be renamed, so no
// link can take its place while the entries below it go. The attributes are asked of the path
// as well as held through it: Wine opens a Unix symbolic link's target even when told not to,
// yet shows the link on the path as a folder with FILE_ATTRIBUTE_REPARSE_POINT.
static HeldFolder EnterFolder(const char* folder, size_t length, int holdOpen)
{
    HeldFolder level = {length, INVALID_HANDLE_VALUE, LevelRefused};
    if (holdOpen) {
        level.handle = CreateFileA(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   NULL, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
        if (level.handle == INVALID_HANDLE_VALUE) {
            level.state = IsGoneError(GetLastError()) ? LevelMissing : LevelRefused;
            return level;
        }
    }
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        level.state = IsGoneError(GetLastError()) ? LevelMissing : LevelRefused;
    else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        level.state = LevelMissing;
    else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        level.state = LevelPlain;
    return level;
}

// Where the name at path[at] ends; a trail byte of 0x5C belongs to its lead byte.
static size_t EndOfName(const char* path, size_t at)
{
    while (path[at] != '\0' && path[at] != '\\') {
        if (IsDBCSLeadByte((BYTE)path[at]) && path[at + 1] != '\0')
            at++;
        at++;
    }
    return at;
}

// The first folder on the way that is not plain, LevelPlain when all are.
static LevelState WalkState(const FolderWalk* walk)
{
    for (int i = 0; i < walk->depth; i++) {
        if (walk->levels[i].state != LevelPlain)
            return walk->levels[i].state;
    }
    return LevelPlain;
}

// Whether every folder from below the installation folder (its path start bytes long, separator
// included) to the entry at path is a plain folder, now held where the line can hold one.
// Levels the previous entry shared stay as they were; the others are closed, the entry's own
// folder among them, before it is removed.
// *heldPlain is set when the entry is itself a folder the walk held and found plain: the level
// after the shared ones has the entry's very path.
static LevelState WalkTo(FolderWalk* walk, const char* path, size_t start, int* heldPlain)
{
    size_t shared = CommonPrefixIgnoringAsciiCase(path, walk->path);
    size_t length = strlen(path);
    int keep = 0;
    while (keep < walk->depth && walk->levels[keep].length < shared &&
           path[walk->levels[keep].length] == '\\')
        keep++;
    *heldPlain = keep < walk->depth && walk->levels[keep].length == length && shared >= length &&
                 walk->levels[keep].state == LevelPlain;
    ReleaseLevels(walk, keep);
    memcpy(walk->path, path, length + 1);
    if (WalkState(walk) != LevelPlain)
        return WalkState(walk);
    size_t at = walk->depth > 0 ? walk->levels[walk->depth - 1].length + 1 : start;
    for (;;) {
        size_t end = EndOfName(path, at);
        if (path[end] == '\0')
            return LevelPlain;
        char folder[MAX_PATH];
        memcpy(folder, path, end);
        folder[end] = '\0';
        HeldFolder level = EnterFolder(folder, end, walk->holdOpen);
        walk->levels[walk->depth++] = level;
        if (level.state != LevelPlain)
            return level.state;
        at = end + 1;
    }
}

// A folder entry that is itself a link is left: Windows would remove the link, but Wine removes
// the empty folder it leads to.
static int IsLink(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Deletes the file or removes the folder at path; 1 when it is still there afterwards. A folder
// that still holds something (the user's files, the uninstaller and its log) is left to hold it.
static int RemoveEntry(const RemovalEntry* entry, const char* path)
{
    if (entry->kind == EntryKindFile) {
        if (DeleteFileA(path))
            return 0;
        return IsGoneError(GetLastError()) ? 0 : 1;
    }
    if (RemoveDirectoryA(path))
        return 0;
    DWORD error = GetLastError();
    return error == ERROR_DIR_NOT_EMPTY || IsGoneError(error) ? 0 : 1;
}

// 1 when path, resolved, is the installation folder or one above it (the log made them on the
// way to it), which only the copy, once the uninstaller and its log are gone, can empty.
static int IsAboveInstallFolder(const char* path, const char* installFolder)
{
    char folder[MAX_PATH];
    return ResolveFolderPath(folder, path) &&
           CommonPrefixIgnoringAsciiCase(folder, installFolder) == strlen(folder);
}

RemovalOutcome RunRemovalPass(RemovalList* list, ProgressCallback callback)
{
    RemovalOutcome outcome = {0, 0};
    unsigned int count = 0;
    for (RemovalNode* node = list->oldest; node != NULL; node = node->newer)
        count++;
    double denominator = count > 0 ? (double)count : 1.0;

    // The installation folder resolved, with its trailing separator; unknown, nothing lies in it.
    char installFolder[MAX_PATH];
    size_t installLength = ResolveFolderPath(installFolder, InstallDir) ? strlen(installFolder) : 0;
    FolderWalk walk;
    walk.path[0] = '\0';
    walk.depth = 0;
    walk.holdOpen = IsNtPlatform();

    // Newest first: a folder logged before its files comes after them here, when it is empty.
    // A path that is not a full path would resolve against the working folder, which is the
    // Windows or system folder when the list of installed programs starts us: it is left alone.
    unsigned int position = 0;
    for (RemovalNode* node = list->newest; node != NULL; node = node->older) {
        RemovalEntry* entry = node->entry;
        char path[MAX_PATH];
        if (ResolveFullPath(path, entry->path)) {
            size_t shared = installLength > 0 ? CommonPrefixIgnoringAsciiCase(path, installFolder) : 0;
            int below = installLength > 0 && shared == installLength;
            LevelState way = LevelPlain;
            int heldPlain = 0;
            // The installation folder and what lies above it (a relocated C:\Apps) are the
            // user's to link as they please; below it a link may lead anywhere. Beyond it, a log
            // others could have changed may list any file of the machine.
            int above = !below && IsAboveInstallFolder(path, installFolder);
            if (below) {
                way = WalkTo(&walk, path, installLength, &heldPlain);
            } else {
                ReleaseLevels(&walk, 0);
                walk.path[0] = '\0';
                if (!LogTrusted && !above)
                    way = LevelRefused;
            }
            // The installation folder and those above it hold the uninstaller and its log, and may
            // be the working folder, which Windows refuses to remove: they are the copy's to remove.
            if (way == LevelRefused ||
                (below && entry->kind == EntryKindDirectory && !heldPlain && IsLink(path)))
                outcome.notFollowed++;
            else if (above && LogTrusted)
                RemoveEntry(entry, path);
            else if (way == LevelPlain && (below || LogTrusted))
                outcome.stillThere += (unsigned int)RemoveEntry(entry, path);
        }
        if (callback != NULL)
            callback(entry->path, (double)position / denominator);
        position++;
    }
    ReleaseLevels(&walk, 0);
    ClearRemovalList(list);
    return outcome;
}
