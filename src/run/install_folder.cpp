// The one spelling of the installation folder: the long form of the folder the program runs
// from or, where the system can name it, the folder it really is; the log's entries lie in it.
#include "run/install_folder.h"

#include "foundation/paths.h"
#include "foundation/process_state.h"
#include "foundation/text.h"

typedef DWORD(WINAPI* GetLongPathNameFunction)(LPCSTR, LPSTR, DWORD);
typedef DWORD(WINAPI* GetFinalPathNameByHandleFunction)(HANDLE, LPSTR, DWORD, DWORD);

// kernel32's export, or NULL on a system that lacks it (GetLongPathNameA before Windows 98 and
// 2000, GetFinalPathNameByHandleA before Vista): a program that imported them would not start there.
static void* FindKernelExport(const char* name)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel != NULL ? (void*)GetProcAddress(kernel, name) : NULL;
}

// Where the root ends in a resolved folder path: after "C:\" or after "\\server\share\".
static size_t RootLength(const char* folder)
{
    if (folder[1] == ':')
        return 3;
    size_t at = 2;
    for (int part = 0; part < 2; part++) {
        while (folder[at] != '\0' && folder[at] != '\\')
            at += IsDBCSLeadByte((BYTE)folder[at]) && folder[at + 1] != '\0' ? 2 : 1;
        if (folder[at] == '\\')
            at++;
    }
    return at;
}

// Without GetLongPathNameA: each name as the folder that holds it lists it.
static int LongFormByNames(const char* folder, char* longForm)
{
    size_t root = RootLength(folder);
    size_t used = root;
    memcpy(longForm, folder, root);
    longForm[used] = '\0';
    for (size_t at = root; folder[at] != '\0';) {
        size_t end = at;
        while (folder[end] != '\\')
            end += IsDBCSLeadByte((BYTE)folder[end]) && folder[end + 1] != '\0' ? 2 : 1;
        char path[MAX_PATH];
        memcpy(path, folder, end);
        path[end] = '\0';
        // A name with a wildcard names no one folder; Windows allows none in a name.
        if (strpbrk(path + at, "*?") != NULL)
            return 0;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(path, &found);
        if (search == INVALID_HANDLE_VALUE)
            return 0;
        FindClose(search);
        size_t length = strlen(found.cFileName);
        if (used + length + 1 >= MAX_PATH)
            return 0;
        memcpy(longForm + used, found.cFileName, length);
        used += length;
        longForm[used++] = '\\';
        longForm[used] = '\0';
        at = end + 1;
    }
    return 1;
}

// The folder (resolved, with its separator) with every 8.3 name made long.
static int LongFormOf(const char* folder, char* longForm)
{
    GetLongPathNameFunction getLongPathName =
        (GetLongPathNameFunction)FindKernelExport("GetLongPathNameA");
    if (getLongPathName == NULL)
        return LongFormByNames(folder, longForm);
    char path[MAX_PATH];
    DWORD length = getLongPathName(folder, path, sizeof path);
    return length != 0 && length < sizeof path && ResolveFolderPath(longForm, path);
}

// The folder as the system names it through a handle of it, which sees through every link on
// the way; 0 where the system cannot say (before Vista, and on the consumer line, where no
// folder opens).
static int FinalFormOf(const char* folder, char* finalForm)
{
    GetFinalPathNameByHandleFunction getFinalPathNameByHandle =
        (GetFinalPathNameByHandleFunction)FindKernelExport("GetFinalPathNameByHandleA");
    if (getFinalPathNameByHandle == NULL)
        return 0;
    // The folder itself is opened, by its path without the separator ResolveFolderPath ended it
    // with (but a root's).
    char path[MAX_PATH + 8];  // "\\?\UNC\" and a path of 259 bytes
    size_t length = strlen(folder);
    memcpy(path, folder, length + 1);
    if (length > RootLength(folder))
        path[length - 1] = '\0';
    HANDLE handle = CreateFileA(path, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD named = getFinalPathNameByHandle(handle, path, sizeof path, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (named == 0 || named >= sizeof path)
        return 0;
    // "\\?\C:\..." for a drive, "\\?\UNC\server\share\..." for a network path; anything that
    // is no full path then is refused by ResolveFolderPath.
    char plain[MAX_PATH + 8];
    if (strncmp(path, "\\\\?\\UNC\\", 8) == 0)
        snprintf(plain, sizeof plain, "\\\\%s", path + 8);
    else
        snprintf(plain, sizeof plain, "%s", strncmp(path, "\\\\?\\", 4) == 0 ? path + 4 : path);
    return ResolveFolderPath(finalForm, plain);
}

// 1 when a folder on the way from the root to folder, or folder itself, is a link.
static int PassesLink(const char* folder)
{
    for (size_t at = RootLength(folder); folder[at] != '\0'; at++) {
        if (IsDBCSLeadByte((BYTE)folder[at]) && folder[at + 1] != '\0') {
            at++;
            continue;
        }
        if (folder[at] != '\\')
            continue;
        char path[MAX_PATH];
        memcpy(path, folder, at);
        path[at] = '\0';
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return 1;
    }
    return 0;
}

// 1 when the list is empty or one of its entries is folder (resolved, with its separator) or
// lies below it.
static int HoldsAnEntryIn(const RemovalList* list, const char* folder)
{
    if (list->oldest == NULL)
        return 1;
    size_t length = strlen(folder);
    for (const RemovalNode* node = list->oldest; node != NULL; node = node->newer) {
        char entry[MAX_PATH];
        if (ResolveFolderPath(entry, node->entry->path) &&
            CommonPrefixIgnoringAsciiCase(entry, folder) == length)
            return 1;
    }
    return 0;
}

int SpellInstallDir(const char* modulePath)
{
    char folder[MAX_PATH];
    ExtractPathParts(folder, modulePath, PathPartDrive | PathPartDir);
    char resolved[MAX_PATH];
    if (!ResolveFolderPath(resolved, folder))
        return 0;
    // A name the system cannot make long (a folder on the way that may not be listed) is kept
    // as the program was started by; the log's entries decide whether it is the installation's.
    char longForm[MAX_PATH];
    memcpy(InstallDir, LongFormOf(resolved, longForm) ? longForm : resolved, sizeof InstallDir);
    return 1;
}

int RespellInstallDirForLog(const RemovalList* list)
{
    char finalForm[MAX_PATH];
    int known = FinalFormOf(InstallDir, finalForm);
    // Without the folder's real path a link on the way may make this spelling another folder's.
    if (!known && PassesLink(InstallDir))
        return 0;
    if (HoldsAnEntryIn(list, InstallDir))
        return 1;
    if (!known || !HoldsAnEntryIn(list, finalForm))
        return 0;
    memcpy(InstallDir, finalForm, sizeof InstallDir);
    return 1;
}

void GetRealModulePath(const char* modulePath, char* realPath)
{
    char folder[MAX_PATH];
    char name[MAX_PATH];
    if (!FinalFormOf(InstallDir, folder))
        memcpy(folder, InstallDir, sizeof folder);
    ExtractPathParts(name, modulePath, PathPartName | PathPartExt);
    memcpy(realPath, folder, MAX_PATH);
    if (!AppendPathComponent(realPath, name))
        snprintf(realPath, MAX_PATH, "%s", modulePath);
}
