// The simulated temporary folder and the files a program opens by handle: GetTempPathA,
// GetTempFileNameA, CreateDirectoryA with its security, CreateFileA's sharing, CopyFileA, and
// what a handle tells of its file.
#include "platform/sim/sim_disk_paths.h"

void SimStampItem(SimDiskItem* item, bool isNew)
{
    SimDisk& disk = Machine().disk;
    if (isNew)
        item->fileIndex = disk.nextFileIndex++;
    item->writeTime = disk.writeClock++;
}

static bool IsNtLine()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    if (SimFaultHit("GetTempPathA", "", nullptr))
        return (DWORD)SimFail("GetTempPathA", "", ERROR_ACCESS_DENIED);
    // Always with its trailing separator; too small a buffer receives nothing and the result is
    // the size needed, NUL included.
    std::string folder = Machine().disk.tempFolder + "\\";
    DWORD length = (DWORD)folder.size();
    DWORD result = length + 1;
    if (lpBuffer && nBufferLength > length) {
        memcpy(lpBuffer, folder.c_str(), length + 1);
        result = length;
    }
    SimRecordCall("GetTempPathA", "", result);
    return result;
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName)
{
    std::string folder = lpPathName ? lpPathName : "";
    if (SimFaultHit("GetTempFileNameA", folder.c_str(), nullptr))
        return (UINT)SimFail("GetTempFileNameA", folder, ERROR_ACCESS_DENIED);
    if (uUnique != 0 || !FolderExists(CallKey(folder)))
        return (UINT)SimFail("GetTempFileNameA", folder, ERROR_DIRECTORY);
    if (!folder.empty() && folder.back() != '\\')
        folder += "\\";
    // Up to three letters of the prefix and four hexadecimal digits, as 8.3 as wininit.ini needs;
    // the file is made, empty, so that the name stays taken.
    std::string prefix = std::string(lpPrefixString ? lpPrefixString : "").substr(0, 3);
    for (UINT unique = (UINT)(Machine().objects.clockMs & 0xFFFF) | 1; unique <= 0xFFFF; unique++) {
        char name[16];
        snprintf(name, sizeof name, "%s%X.TMP", prefix.c_str(), unique);
        std::string path = folder + name;
        std::string key = CallKey(path);
        if (FindItem(key))
            continue;
        PutDiskItem(key, path, false, "");
        memcpy(lpTempFileName, path.c_str(), path.size() + 1);
        SimRecordCall("GetTempFileNameA", folder, unique);
        return unique;
    }
    return (UINT)SimFail("GetTempFileNameA", folder, ERROR_FILE_EXISTS);
}

// What a new folder's security becomes: the DACL it is given, with the parent's inheritable
// entries after it unless it is protected (Windows 2000 on); Wine's from the Unix mode instead.
static SimSecurity NewFolderSecurity(const std::string& parentKey, LPSECURITY_ATTRIBUTES attributes)
{
    SimSecurity security;
    security.owner = Machine().objects.userSid;
    int mode = Machine().disk.unixMode;
    if (mode != 0) {
        security.dacl.push_back({Machine().objects.userSid, 0x1F01FF, 0, ACCESS_ALLOWED_ACE_TYPE});
        DWORD world = ((mode & 04) ? 0x120089u : 0u) | ((mode & 01) ? 0x1200A0u : 0u) |
                      ((mode & 02) ? 0x000156u : 0u);
        if (world != 0)
            security.dacl.push_back({"S-1-1-0", world, 0, ACCESS_ALLOWED_ACE_TYPE});
        return security;
    }
    bool isProtected = false;
    if (attributes && attributes->lpSecurityDescriptor &&
        SimReadDacl(attributes->lpSecurityDescriptor, &security.dacl, &isProtected) && isProtected)
        return security;
    SimDiskItem* parent = FindItem(parentKey);
    if (parent) {
        for (const SimAce& ace : parent->security.dacl) {
            if (ace.flags & CONTAINER_INHERIT_ACE)
                security.dacl.push_back({ace.sid, ace.mask, (BYTE)(ace.flags | 0x10), ace.type});
        }
    }
    return security;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes)
{
    std::string path = lpPathName ? lpPathName : "";
    SimFaultKind kind = SimFaultError;
    if (SimFaultHit("CreateDirectoryA", path.c_str(), &kind))
        return SimFail("CreateDirectoryA", path, kind == SimFaultTaken ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
    std::string key = CallKey(path);
    if (key.empty() || FindItem(key))
        return SimFail("CreateDirectoryA", path, ERROR_ALREADY_EXISTS);
    if (!FolderExists(ParentKey(key)))
        return SimFail("CreateDirectoryA", path, ERROR_PATH_NOT_FOUND);
    SimSecurity security = NewFolderSecurity(ParentKey(key), lpSecurityAttributes);
    PutDiskItem(key, path, true, "");
    if (IsNtLine())
        FindItem(key)->security = security;
    SimRecordCall("CreateDirectoryA", path, TRUE);
    return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    std::string path = lpFileName ? lpFileName : "";
    HANDLE failed = INVALID_HANDLE_VALUE;
    if (SimFaultHit("CreateFileA", path.c_str(), nullptr)) {
        SimFail("CreateFileA", path, ERROR_ACCESS_DENIED);
        return failed;
    }
    // Only existing items are opened here; the consumer line knows no FILE_SHARE_DELETE.
    if (dwCreationDisposition != OPEN_EXISTING || (!IsNtLine() && (dwShareMode & FILE_SHARE_DELETE))) {
        SimFail("CreateFileA", path, ERROR_INVALID_PARAMETER);
        return failed;
    }
    std::string key = CallKey(path);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    DWORD error = !item ? (key.empty() ? ERROR_PATH_NOT_FOUND : MissingError(key))
                  // A folder opens only for backup semantics, and on the NT line alone.
                  : item->isFolder && (!IsNtLine() || !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))
                      ? ERROR_ACCESS_DENIED
                      : SimHandlesConflict(key, dwDesiredAccess, dwShareMode) ? ERROR_SHARING_VIOLATION
                                                                               : 0;
    if (error != 0) {
        SimFail("CreateFileA", path, error);
        return failed;
    }
    HANDLE handle = SimOpenFileHandle(key, dwDesiredAccess, dwShareMode);
    SimRecordCall("CreateFileA", path, 1);
    return handle;
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    std::string from = lpExistingFileName ? lpExistingFileName : "";
    std::string to = lpNewFileName ? lpNewFileName : "";
    if (SimFaultHit("CopyFileA", from.c_str(), nullptr))
        return SimFail("CopyFileA", from, ERROR_ACCESS_DENIED);
    SimDiskItem* source = FindItem(CallKey(from));
    if (!source || source->isFolder)
        return SimFail("CopyFileA", from, source ? ERROR_ACCESS_DENIED : MissingError(CallKey(from)));
    std::string key = CallKey(to);
    SimDiskItem* target = FindItem(key);
    if (target && bFailIfExists)
        return SimFail("CopyFileA", from, ERROR_FILE_EXISTS);
    if (target && (target->isFolder || SimHandlesConflict(key, GENERIC_WRITE, FILE_SHARE_READ)))
        return SimFail("CopyFileA", from, target->isFolder ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);
    if (!FolderExists(ParentKey(key)))
        return SimFail("CopyFileA", from, ERROR_PATH_NOT_FOUND);
    std::string data = source->data;
    DWORD writeTime = source->writeTime;
    PutDiskItem(key, to, false, data);
    // The copy keeps the source's time of last write.
    FindItem(key)->writeTime = writeTime;
    SimRecordCall("CopyFileA", from, TRUE);
    return TRUE;
}

// Ticks of the disk's clock as FILETIME: a second apart from 2026 on.
static FILETIME TimeOfTick(DWORD tick)
{
    unsigned long long time = 134100000000000000ull + (unsigned long long)tick * 10000000ull;
    FILETIME result = {(DWORD)time, (DWORD)(time >> 32)};
    return result;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
    if (SimFaultHit("GetFileInformationByHandle", "", nullptr))
        return SimFail("GetFileInformationByHandle", "", ERROR_ACCESS_DENIED);
    const SimHandle* handle = SimFileHandle(hFile);
    SimDiskItem* item = handle ? FindItem(handle->key) : nullptr;
    if (!item)
        return SimFail("GetFileInformationByHandle", "", ERROR_INVALID_HANDLE);
    memset(lpFileInformation, 0, sizeof *lpFileInformation);
    lpFileInformation->dwFileAttributes = item->isFolder ? FILE_ATTRIBUTE_DIRECTORY : 0x20;
    lpFileInformation->ftLastWriteTime = TimeOfTick(item->writeTime);
    lpFileInformation->ftCreationTime = lpFileInformation->ftLastWriteTime;
    lpFileInformation->ftLastAccessTime = lpFileInformation->ftLastWriteTime;
    lpFileInformation->dwVolumeSerialNumber = Machine().disk.volumeSerial;
    lpFileInformation->nFileSizeLow = (DWORD)item->data.size();
    lpFileInformation->nNumberOfLinks = 1;
    lpFileInformation->nFileIndexLow = item->fileIndex;
    SimRecordCall("GetFileInformationByHandle", "", TRUE);
    return TRUE;
}

BOOL WINAPI GetKernelObjectSecurity(HANDLE Handle, SECURITY_INFORMATION RequestedInformation,
                                    PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD nLength,
                                    LPDWORD lpnLengthNeeded)
{
    if (SimFaultHit("GetKernelObjectSecurity", "", nullptr))
        return SimFail("GetKernelObjectSecurity", "", ERROR_ACCESS_DENIED);
    if (!IsNtLine())
        return SimFail("GetKernelObjectSecurity", "", ERROR_CALL_NOT_IMPLEMENTED);
    const SimHandle* handle = SimFileHandle(Handle);
    SimDiskItem* item = handle ? FindItem(handle->key) : nullptr;
    if (!item)
        return SimFail("GetKernelObjectSecurity", "", ERROR_INVALID_HANDLE);
    // GENERIC_READ maps to FILE_GENERIC_READ, READ_CONTROL among its rights.
    if (!(handle->access & (READ_CONTROL | GENERIC_READ | GENERIC_ALL)) ||
        RequestedInformation != (OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION))
        return SimFail("GetKernelObjectSecurity", "", ERROR_ACCESS_DENIED);
    DWORD needed = SimWriteSecurityDescriptor(*item, (BYTE*)pSecurityDescriptor, nLength);
    *lpnLengthNeeded = needed;
    if (needed > nLength)
        return SimFail("GetKernelObjectSecurity", "", ERROR_INSUFFICIENT_BUFFER);
    SimRecordCall("GetKernelObjectSecurity", "", TRUE);
    return TRUE;
}
