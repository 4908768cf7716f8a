// The simulated disk's file calls: deletion, removal, the system folders, short names and
// deletion at restart.
#include <stdio.h>

#include "platform/sim/sim_disk_paths.h"

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
    // Wine removes the folder a link leads to, when it is empty, and leaves the link; Windows
    // removes the link itself.
    std::string key = SimFollowLinks(CallKey(path), true);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    if (!item)
        return SimFail("RemoveDirectoryA", path,
                    key.empty() ? ERROR_PATH_NOT_FOUND : MissingError(key));
    if (!item->isFolder)
        return SimFail("RemoveDirectoryA", path, ERROR_DIRECTORY);
    // The folder is opened for deletion before it is looked into: one held without delete
    // sharing refuses so, empty or not. Only an empty folder can be removed; nothing goes with it.
    if (DWORD refusal = SimDeletionRefusal(key))
        return SimFail("RemoveDirectoryA", path, refusal);
    if (HasChildren(key))
        return SimFail("RemoveDirectoryA", path, ERROR_DIR_NOT_EMPTY);
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
