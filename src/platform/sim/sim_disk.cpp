// The simulated disk: files and folders, their short names, deletion at restart, and the C
// streams that read files.
#include <errno.h>
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "platform/sim/sim_internal.h"

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// A path that is not full resolves against the working folder, as the Windows path parser
// resolves it: a bare name below it, "\\name" on its drive's root, "X:name" below it when X is
// its drive and on X's root otherwise.
static std::string FullPath(const std::string& path)
{
    const std::string& current = Machine().disk.currentFolder;
    bool drive = path.size() >= 2 && path[1] == ':';
    if (drive && path.size() >= 3 && IsSeparator(path[2]))
        return path;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return path;
    if (!path.empty() && IsSeparator(path[0]))
        return current.substr(0, 2) + path;
    if (drive && FoldCase(path.substr(0, 1)) != FoldCase(current.substr(0, 1)))
        return path.substr(0, 2) + "\\" + path.substr(2);
    return current + "\\" + (drive ? path.substr(2) : path);
}

// "." names the folder it stands in and ".." its parent, which never climbs above the root
// ("C:\\.." is the root), as the Windows path parser resolves them.
static std::string DropDotComponents(const std::string& path)
{
    size_t rootLength = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    std::vector<std::string> kept;
    size_t start = rootLength;
    while (start < path.size()) {
        size_t end = path.find('\\', start + 1);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(start, end - start);
        if (component == "\\..") {
            if (!kept.empty())
                kept.pop_back();
        } else if (component != "\\.") {
            kept.push_back(component);
        }
        start = end;
    }
    std::string out = path.substr(0, rootLength);
    for (const std::string& component : kept)
        out += component;
    return out;
}

// Both separators are accepted, repeated separators count as one (except the two that open a
// network path) and a trailing separator is dropped, as the Windows path parser does.
static std::string NormalPath(const std::string& relativePath)
{
    std::string path = FullPath(relativePath);
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i] == '/' ? '\\' : path[i];
        if (c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1)
            continue;
        out += c;
    }
    while (out.size() > 1 && out.back() == '\\')
        out.pop_back();
    return DropDotComponents(out);
}

// A component written in its 8.3 form names the same item as its long form, as on Windows.
static std::string LongKeyOf(const std::string& parentKey, const std::string& component)
{
    const std::string prefix = parentKey.empty() ? "" : parentKey + "\\";
    if (component.find('~') == std::string::npos ||
        Machine().disk.items.count(prefix + component) != 0)
        return prefix + component;
    for (const auto& item : Machine().disk.items) {
        if (item.first.size() > prefix.size() && item.first.compare(0, prefix.size(), prefix) == 0 &&
            item.first.find('\\', prefix.size()) == std::string::npos &&
            !item.second.shortName.empty() && FoldCase(item.second.shortName) == component)
            return item.first;
    }
    return prefix + component;
}

static std::string PathKey(const std::string& path)
{
    std::string folded = FoldCase(NormalPath(path));
    if (folded.find('~') == std::string::npos)
        return folded;
    std::string key;
    size_t start = 0;
    while (start <= folded.size()) {
        size_t end = folded.find('\\', start);
        if (end == std::string::npos)
            end = folded.size();
        std::string component = folded.substr(start, end - start);
        key = start == 0 ? component : LongKeyOf(key, component);
        start = end + 1;
    }
    return key;
}

// On 64-bit Windows a 32-bit program's calls under the system folder reach the 32-bit one.
static std::string Wow64Key(const std::string& key)
{
    if (Machine().width != SimWindows64)
        return key;
    const std::string system = FoldCase(Machine().disk.systemFolderNt);
    if (key.compare(0, system.size(), system) != 0 ||
        (key.size() > system.size() && key[system.size()] != '\\'))
        return key;
    return FoldCase(Machine().disk.systemFolderWow64) + key.substr(system.size());
}

// The item a file call of the program names.
static std::string CallKey(const std::string& path)
{
    return Wow64Key(PathKey(path));
}

static std::string ParentKey(const std::string& key)
{
    size_t slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// A drive root ("c:") always exists and is no item of its own.
static bool IsDriveRoot(const std::string& key)
{
    return key.size() == 2 && key[1] == ':';
}

static SimDiskItem* FindItem(const std::string& key)
{
    auto item = Machine().disk.items.find(key);
    return item == Machine().disk.items.end() ? nullptr : &item->second;
}

static bool FolderExists(const std::string& key)
{
    if (key.empty() || IsDriveRoot(key))
        return true;
    SimDiskItem* item = FindItem(key);
    return item && item->isFolder;
}

// The error Windows gives for a missing item: the parent decides between the two.
static DWORD MissingError(const std::string& key)
{
    return FolderExists(ParentKey(key)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

static bool HasChildren(const std::string& key)
{
    const auto& items = Machine().disk.items;
    std::string prefix = key + "\\";
    auto next = items.lower_bound(prefix);
    return next != items.end() && next->first.compare(0, prefix.size(), prefix) == 0;
}

static void HelperMisuse(const char* helper, const std::string& path)
{
    fprintf(stderr, "%s: no item at %s on the simulated disk\n", helper, path.c_str());
    abort();
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    std::string path = lpFileName ? lpFileName : "";
    if (SimFaultHit("DeleteFileA", path.c_str(), nullptr))
        return SimFail("DeleteFileA", path, ERROR_ACCESS_DENIED);
    std::string key = CallKey(path);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    if (!item)
        return SimFail("DeleteFileA", path, key.empty() ? ERROR_PATH_NOT_FOUND : MissingError(key));
    // A folder is no file: Windows refuses it as access denied.
    if (item->isFolder)
        return SimFail("DeleteFileA", path, ERROR_ACCESS_DENIED);
    if (item->inUse)
        return SimFail("DeleteFileA", path, ERROR_SHARING_VIOLATION);
    if (DWORD refusal = SimDeletionRefusal(key))
        return SimFail("DeleteFileA", path, refusal);
    Machine().disk.items.erase(key);
    SimRecordCall("DeleteFileA", path, TRUE);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName)
{
    std::string path = lpPathName ? lpPathName : "";
    if (SimFaultHit("RemoveDirectoryA", path.c_str(), nullptr))
        return SimFail("RemoveDirectoryA", path, ERROR_ACCESS_DENIED);
    std::string key = CallKey(path);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    if (!item)
        return SimFail("RemoveDirectoryA", path,
                    key.empty() ? ERROR_PATH_NOT_FOUND : MissingError(key));
    if (!item->isFolder)
        return SimFail("RemoveDirectoryA", path, ERROR_DIRECTORY);
    // Only an empty folder can be removed; nothing is removed with it.
    if (HasChildren(key))
        return SimFail("RemoveDirectoryA", path, ERROR_DIR_NOT_EMPTY);
    if (DWORD refusal = SimDeletionRefusal(key))
        return SimFail("RemoveDirectoryA", path, refusal);
    Machine().disk.items.erase(key);
    SimRecordCall("RemoveDirectoryA", path, TRUE);
    return TRUE;
}

// The system folder queries: too small a buffer receives nothing; the result is then the size
// needed, NUL included.
static UINT AnswerFolder(const char* operation, const std::string& folder, LPSTR buffer, UINT size)
{
    UINT length = (UINT)folder.size();
    UINT result = length + 1;
    if (buffer && size > length) {
        memcpy(buffer, folder.c_str(), length + 1);
        result = length;
    }
    SimRecordCall(operation, "", result);
    return result;
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    if (SimFaultHit("GetSystemDirectoryA", "", nullptr))
        return (UINT)SimFail("GetSystemDirectoryA", "", ERROR_ACCESS_DENIED);
    const SimDisk& disk = Machine().disk;
    return AnswerFolder("GetSystemDirectoryA",
                        Machine().process.platformId == VER_PLATFORM_WIN32_NT
                            ? disk.systemFolderNt
                            : disk.systemFolderConsumer,
                        lpBuffer, uSize);
}

// Reached through GetProcAddress only. 32-bit Windows has it from XP on and refuses the call.
UINT WINAPI SimGetSystemWow64DirectoryA(LPSTR lpBuffer, UINT uSize)
{
    if (SimFaultHit("GetSystemWow64DirectoryA", "", nullptr))
        return (UINT)SimFail("GetSystemWow64DirectoryA", "", ERROR_ACCESS_DENIED);
    if (Machine().width != SimWindows64)
        return (UINT)SimFail("GetSystemWow64DirectoryA", "", ERROR_CALL_NOT_IMPLEMENTED);
    return AnswerFolder("GetSystemWow64DirectoryA", Machine().disk.systemFolderWow64, lpBuffer,
                        uSize);
}

DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer)
{
    std::string path = lpszLongPath ? lpszLongPath : "";
    if (SimFaultHit("GetShortPathNameA", path.c_str(), nullptr))
        return (DWORD)SimFail("GetShortPathNameA", path, ERROR_ACCESS_DENIED);
    if (path.empty())
        return (DWORD)SimFail("GetShortPathNameA", path, ERROR_INVALID_PARAMETER);

    // Separators and the drive are copied as written; each existing component is replaced by
    // its 8.3 name when it has one and kept as written when it has none.
    std::string result;
    std::string key;
    size_t i = 0;
    while (i < path.size()) {
        if (path[i] == '\\' || path[i] == '/') {
            result += path[i++];
            continue;
        }
        size_t end = path.find_first_of("\\/", i);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(i, end - i);
        key += (key.empty() && i == 0 ? "" : "\\") + FoldCase(component);
        if (IsDriveRoot(key)) {
            result += component;
        } else {
            // The name is looked up where the call reaches and kept as written: under WoW64
            // "system32" stays "system32".
            SimDiskItem* item = FindItem(Wow64Key(key));
            // Wine gives ERROR_FILE_NOT_FOUND for any missing component, a folder on the way too.
            if (!item)
                return (DWORD)SimFail("GetShortPathNameA", path, ERROR_FILE_NOT_FOUND);
            result += item->shortName.empty() ? component : item->shortName;
        }
        i = end;
    }

    DWORD length = (DWORD)result.size();
    // Too small a buffer receives nothing; the result is then the size needed, NUL included.
    DWORD written = length + 1;
    if (lpszShortPath && cchBuffer > length) {
        memcpy(lpszShortPath, result.c_str(), length + 1);
        written = length;
    }
    SimRecordCall("GetShortPathNameA", path, written);
    return written;
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    std::string path = lpExistingFileName ? lpExistingFileName : "";
    if (SimFaultHit("MoveFileExA", path.c_str(), nullptr))
        return SimFail("MoveFileExA", path, ERROR_ACCESS_DENIED);
    // Wine schedules the deletion on the consumer line as well, where Windows 98 has no MoveFileExA.
    // Only a deletion can be scheduled here; renames are beyond this machine. Without the delay
    // flag a NULL new name is refused, as Windows does.
    if (lpNewFileName || (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT) == 0)
        return SimFail("MoveFileExA", path, ERROR_INVALID_PARAMETER);
    // The source is not looked at: a missing file is scheduled all the same (Wine). The path is
    // recorded as given, with no WoW64 redirection (Wine, and Windows XP x64); the restart,
    // itself no 32-bit program, deletes under system32 what a record of system32 names.
    Machine().disk.pendingDeletes.push_back(path);
    SimRecordCall("MoveFileExA", path, TRUE);
    return TRUE;
}

// ---- C streams over copies of simulated files ---------------------------------------------

struct SimStream {
    std::string bytes;  // a copy taken at open: later changes of the file do not show
    size_t position = 0;
    FILE* file = nullptr;
};

static std::vector<SimStream*> g_streams;  // open streams, in the order they were opened

static ssize_t ReadStream(void* cookie, char* buffer, size_t size)
{
    SimStream* stream = (SimStream*)cookie;
    size_t left = stream->bytes.size() - std::min(stream->position, stream->bytes.size());
    size_t count = std::min(size, left);
    memcpy(buffer, stream->bytes.data() + stream->position, count);
    stream->position += count;
    return (ssize_t)count;
}

static int SeekStream(void* cookie, off64_t* offset, int whence)
{
    SimStream* stream = (SimStream*)cookie;
    off64_t base = whence == SEEK_SET ? 0
                 : whence == SEEK_CUR ? (off64_t)stream->position
                                      : (off64_t)stream->bytes.size();
    if (base + *offset < 0) {
        errno = EINVAL;
        return -1;
    }
    stream->position = (size_t)(base + *offset);
    *offset = (off64_t)stream->position;
    return 0;
}

// Called by every fclose, the plain one included, so the open count cannot drift.
static int CloseStream(void* cookie)
{
    SimStream* stream = (SimStream*)cookie;
    g_streams.erase(std::remove(g_streams.begin(), g_streams.end(), stream), g_streams.end());
    --Machine().disk.openStreams;
    delete stream;
    return 0;
}

FILE* _fsopen(const char* filename, const char* mode, int shflag)
{
    (void)shflag;  // the machine has no other process that could hold the file
    std::string path = filename ? filename : "";
    SimFaultKind kind = SimFaultError;
    bool fault = SimFaultHit("_fsopen", path.c_str(), &kind);
    if (fault && kind != SimFaultShortRead) {
        errno = ENOENT;
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    // Streams serve reading only: the uninstaller writes no file of its own.
    if (!mode || mode[0] != 'r' || strchr(mode, '+')) {
        errno = EINVAL;
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    std::string key = CallKey(path);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    if (!item || item->isFolder) {
        errno = item ? EACCES : ENOENT;
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    SimStream* stream = new SimStream();
    stream->bytes = item->data;
    if (fault)  // SimFaultShortRead: the stream ends halfway through the file
        stream->bytes.resize(stream->bytes.size() / 2);
    cookie_io_functions_t functions = {ReadStream, nullptr, SeekStream, CloseStream};
    stream->file = fopencookie(stream, "rb", functions);
    if (!stream->file) {
        delete stream;
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    g_streams.push_back(stream);
    ++Machine().disk.openStreams;
    SimRecordCall("_fsopen", path, 1);
    return stream->file;
}

int _fcloseall(void)
{
    if (SimFaultHit("_fcloseall", "", nullptr)) {
        SimRecordCall("_fcloseall", "", EOF);
        return EOF;
    }
    int closed = (int)g_streams.size();
    SimCloseStreams();
    SimRecordCall("_fcloseall", "", closed);
    return closed;
}

void SimCloseStreams()
{
    while (!g_streams.empty())
        fclose(g_streams.back()->file);
}

// ---- helpers for tests ----------------------------------------------------------------------

static void AddItem(const std::string& path, bool isFolder, const std::string& data)
{
    std::string normal = NormalPath(path);
    std::string key = FoldCase(normal);
    std::string parent = ParentKey(key);
    if (!parent.empty() && !IsDriveRoot(parent) && !FindItem(parent))
        AddItem(normal.substr(0, parent.size()), true, "");
    SimDiskItem& item = Machine().disk.items[key];
    bool isNew = item.path.empty();
    if (isNew)
        item.path = normal;
    item.isFolder = isFolder;
    item.data = data;
    SimStampItem(&item, isNew);
}

void AddFolder(const std::string& path)
{
    AddItem(path, true, "");
}

void AddFile(const std::string& path, const std::string& data)
{
    AddItem(path, false, data);
}

bool PathExists(const std::string& path)
{
    return FindItem(PathKey(path)) != nullptr;
}

bool IsFolder(const std::string& path)
{
    SimDiskItem* item = FindItem(PathKey(path));
    return item && item->isFolder;
}

std::string FileData(const std::string& path)
{
    SimDiskItem* item = FindItem(PathKey(path));
    return item && !item->isFolder ? item->data : std::string();
}

void SetInUse(const std::string& path, bool inUse)
{
    SimDiskItem* item = FindItem(PathKey(path));
    if (!item)
        HelperMisuse("SetInUse", path);
    item->inUse = inUse;
}

void SetShortName(const std::string& path, const std::string& shortName)
{
    SimDiskItem* item = FindItem(PathKey(path));
    if (!item)
        HelperMisuse("SetShortName", path);
    item->shortName = shortName;
}

std::string RedirectedPath(const std::string& path)
{
    std::string normal = NormalPath(path);
    if (Wow64Key(FoldCase(normal)) == FoldCase(normal))
        return normal;
    return Machine().disk.systemFolderWow64 + normal.substr(Machine().disk.systemFolderNt.size());
}

std::vector<std::string> ListPaths()
{
    std::vector<std::string> paths;
    for (const auto& item : Machine().disk.items)
        paths.push_back(item.second.path);
    return paths;
}

// ---- the disk's view for the pieces that open files by handle --------------------------------

std::string SimCallKey(const std::string& path)
{
    return CallKey(path);
}

SimDiskItem* SimFindItem(const std::string& key)
{
    return FindItem(key);
}

std::string SimParentKey(const std::string& key)
{
    return ParentKey(key);
}

bool SimFolderExists(const std::string& key)
{
    return FolderExists(key);
}

DWORD SimMissingError(const std::string& key)
{
    return MissingError(key);
}

void SimStampItem(SimDiskItem* item, bool isNew)
{
    SimDisk& disk = Machine().disk;
    if (isNew)
        item->fileIndex = disk.nextFileIndex++;
    item->writeTime = disk.writeClock++;
}
