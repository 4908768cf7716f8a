// The simulated files a program writes by handle: CreateFileA's CREATE_NEW and CREATE_ALWAYS, and
// WriteFile at the handle's position.
#include "platform/sim/sim_disk_paths.h"

HANDLE SimCreateFileForWriting(const std::string& path, DWORD access, DWORD share, DWORD disposition)
{
    HANDLE failed = INVALID_HANDLE_VALUE;
    std::string key = CallKey(path);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    DWORD error = key.empty() ? ERROR_PATH_NOT_FOUND
                  : item && disposition == CREATE_NEW ? ERROR_FILE_EXISTS
                  : item && item->isFolder ? ERROR_ACCESS_DENIED
                  // Another process's handle without write sharing, or ours.
                  : item && (item->inUse || SimHandlesConflict(key, access, share)) ? ERROR_SHARING_VIOLATION
                  : !item && !FolderExists(ParentKey(key)) ? ERROR_PATH_NOT_FOUND
                                                           : 0;
    if (error != 0) {
        SimFail("CreateFileA", path, error);
        return failed;
    }
    // CREATE_ALWAYS empties a file that is there, and says so through the last error.
    bool existed = item != nullptr;
    PutDiskItem(key, existed ? item->path : path, false, "");
    HANDLE handle = SimOpenFileHandle(key, access, share);
    Machine().process.lastError = existed ? ERROR_ALREADY_EXISTS : 0;
    SimRecordCall("CreateFileA", path, 1);
    return handle;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    (void)lpOverlapped;
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    // A declared fault stands for a full disk: nothing of the write lands.
    if (SimFaultHit("WriteFile", "", nullptr))
        return SimFail("WriteFile", "", ERROR_DISK_FULL);
    const SimHandle* handle = SimFileHandle(hFile);
    SimDiskItem* item = handle ? FindItem(handle->key) : nullptr;
    if (!item || item->isFolder)
        return SimFail("WriteFile", "", ERROR_INVALID_HANDLE);
    if (!(handle->access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)))
        return SimFail("WriteFile", "", ERROR_ACCESS_DENIED);
    SimHandle& open = Machine().objects.handles[(ULONG_PTR)hFile];
    if (item->data.size() < open.position)
        item->data.resize(open.position, '\0');
    item->data.replace(open.position, nNumberOfBytesToWrite, (const char*)lpBuffer, nNumberOfBytesToWrite);
    open.position += nNumberOfBytesToWrite;
    SimStampItem(item, false);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    SimRecordCall("WriteFile", "", TRUE);
    return TRUE;
}
