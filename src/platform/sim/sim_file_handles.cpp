// The simulated disk's names of an item, long and final, and deletion through a handle:
// GetLongPathNameA, GetFinalPathNameByHandleA, SetFileInformationByHandle and ntdll's
// NtSetInformationFile.
#include <stdio.h>

#include "platform/sim/sim_disk_paths.h"

// The NTSTATUS values the disposition call answers with, and the errors they stand for.
static const LONG kStatusSuccess = 0;
static const LONG kStatusAccessDenied = (LONG)0xC0000022;
static const LONG kStatusInvalidHandle = (LONG)0xC0000008;
static const LONG kStatusDirectoryNotEmpty = (LONG)0xC0000101;
static const LONG kStatusSharingViolation = (LONG)0xC0000043;
static const LONG kStatusCannotDelete = (LONG)0xC0000121;

static char g_ntdllModule;

static bool IsNtLine()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

// Copies text into a buffer of size characters as the path calls do: too small a buffer receives
// nothing and the result is the size needed, NUL included.
static DWORD AnswerPath(const char* operation, const std::string& argument, const std::string& text,
                        LPSTR buffer, DWORD size)
{
    DWORD length = (DWORD)text.size();
    if (!buffer || size <= length) {
        SimRecordCall(operation, argument, length + 1);
        return length + 1;
    }
    memcpy(buffer, text.c_str(), length + 1);
    SimRecordCall(operation, argument, length);
    return length;
}

// Each name of the path as its folder lists it; the drive and the separators as written.
static DWORD WINAPI SimGetLongPathNameA(LPCSTR lpszShortPath, LPSTR lpszLongPath, DWORD cchBuffer)
{
    std::string path = lpszShortPath ? lpszShortPath : "";
    if (SimFaultHit("GetLongPathNameA", path.c_str(), nullptr))
        return (DWORD)SimFail("GetLongPathNameA", path, ERROR_ACCESS_DENIED);
    std::string result;
    std::string written;  // the path up to here, as written
    size_t i = 0;
    while (i < path.size()) {
        if (path[i] == '\\' || path[i] == '/') {
            result += path[i];
            written += path[i++];
            continue;
        }
        size_t end = path.find_first_of("\\/", i);
        if (end == std::string::npos)
            end = path.size();
        written += path.substr(i, end - i);
        // "C:" alone would name the working folder of drive C.
        bool drive = i == 0 && end == 2 && path[1] == ':';
        std::string key = drive ? "" : PathKey(written);
        if (drive) {
            result += path.substr(i, end - i);
        } else {
            SimDiskItem* item = FindItem(key);
            if (!item)
                return (DWORD)SimFail("GetLongPathNameA", path, ERROR_FILE_NOT_FOUND);
            result += item->path.substr(item->path.rfind('\\') + 1);
        }
        i = end;
    }
    return AnswerPath("GetLongPathNameA", path, result, lpszLongPath, cchBuffer);
}

// The item the handle holds, every link on the way and at its end followed, named from the root:
// "\\?\C:\..." or "\\?\UNC\server\share\...".
static DWORD WINAPI SimGetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                                 DWORD dwFlags)
{
    const SimHandle* handle = SimFileHandle(hFile);
    if (!handle || SimFaultHit("GetFinalPathNameByHandleA", "", nullptr))
        return (DWORD)SimFail("GetFinalPathNameByHandleA", "", ERROR_INVALID_HANDLE);
    if (dwFlags != 0)
        return (DWORD)SimFail("GetFinalPathNameByHandleA", "", ERROR_INVALID_PARAMETER);
    SimDiskItem* item = FindItem(SimFollowLinks(handle->key, true));
    if (!item)
        return (DWORD)SimFail("GetFinalPathNameByHandleA", "", ERROR_FILE_NOT_FOUND);
    std::string name = item->path.compare(0, 2, "\\\\") == 0 ? "\\\\?\\UNC\\" + item->path.substr(2)
                                                             : "\\\\?\\" + item->path;
    return AnswerPath("GetFinalPathNameByHandleA", "", name, lpszFilePath, cchFilePath);
}

// Marks the item open at the handle for deletion at its close. A folder must be empty now; the
// image of a running program cannot go. Wine, which opens a link's target even when told not
// to, marks the folder the link leads to.
static LONG MarkForDeletion(HANDLE hFile)
{
    SimHandle* handle = const_cast<SimHandle*>(SimFileHandle(hFile));
    if (!handle)
        return kStatusInvalidHandle;
    if (!(handle->access & DELETE))
        return kStatusAccessDenied;
    std::string key = SimFollowLinks(handle->key, true);
    SimDiskItem* item = FindItem(key);
    if (!item)
        return kStatusCannotDelete;
    if (item->isFolder && HasChildren(key))
        return kStatusDirectoryNotEmpty;
    if (SimDeletionRefusal(key) == ERROR_ACCESS_DENIED)
        return kStatusCannotDelete;
    handle->deleteOnClose = true;
    return kStatusSuccess;
}

void SimDeleteMarked(const std::string& key)
{
    std::string target = SimFollowLinks(key, true);
    SimDiskItem* item = FindItem(target);
    // A folder something was put into since stays, as Windows leaves it.
    if (item && !(item->isFolder && HasChildren(target)))
        Machine().disk.items.erase(target);
}

static ULONG WINAPI SimRtlNtStatusToDosError(LONG Status)
{
    switch (Status) {
    case kStatusSuccess: return 0;
    case kStatusAccessDenied: return ERROR_ACCESS_DENIED;
    case kStatusCannotDelete: return ERROR_ACCESS_DENIED;
    case kStatusInvalidHandle: return ERROR_INVALID_HANDLE;
    case kStatusDirectoryNotEmpty: return ERROR_DIR_NOT_EMPTY;
    case kStatusSharingViolation: return ERROR_SHARING_VIOLATION;
    default: return 317;  // ERROR_MR_MID_NOT_FOUND: a status with no error of its own
    }
}

static LONG WINAPI SimNtSetInformationFile(HANDLE FileHandle, IO_STATUS_BLOCK* IoStatusBlock,
                                           PVOID FileInformation, ULONG Length,
                                           FILE_INFORMATION_CLASS FileInformationClass)
{
    LONG status = kStatusAccessDenied;
    if (SimFaultHit("NtSetInformationFile", "", nullptr))
        status = kStatusSharingViolation;
    else if (FileInformationClass == FileDispositionInformation &&
             Length >= sizeof(FILE_DISPOSITION_INFORMATION) &&
             ((FILE_DISPOSITION_INFORMATION*)FileInformation)->DeleteFile)
        status = MarkForDeletion(FileHandle);
    IoStatusBlock->Status = status;
    IoStatusBlock->Information = 0;
    SimRecordCall("NtSetInformationFile", "", status);
    return status;
}

static BOOL WINAPI SimSetFileInformationByHandle(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                                 LPVOID lpFileInformation, DWORD dwBufferSize)
{
    if (SimFaultHit("SetFileInformationByHandle", "", nullptr))
        return SimFail("SetFileInformationByHandle", "", ERROR_SHARING_VIOLATION);
    if (FileInformationClass != FileDispositionInfo || dwBufferSize < sizeof(FILE_DISPOSITION_INFO) ||
        !((FILE_DISPOSITION_INFO*)lpFileInformation)->DeleteFile)
        return SimFail("SetFileInformationByHandle", "", ERROR_INVALID_PARAMETER);
    LONG status = MarkForDeletion(hFile);
    if (status != kStatusSuccess)
        return SimFail("SetFileInformationByHandle", "", SimRtlNtStatusToDosError(status));
    SimRecordCall("SetFileInformationByHandle", "", TRUE);
    return TRUE;
}

FARPROC SimFileExport(const std::string& name)
{
    const SimDisk& disk = Machine().disk;
    void (*found)(void) = nullptr;
    if (name == "GetLongPathNameA" && disk.kernelHasGetLongPathName)
        found = reinterpret_cast<void (*)(void)>(&SimGetLongPathNameA);
    else if (name == "GetFinalPathNameByHandleA" && disk.kernelHasGetFinalPathNameByHandle)
        found = reinterpret_cast<void (*)(void)>(&SimGetFinalPathNameByHandleA);
    else if (name == "SetFileInformationByHandle" && disk.kernelHasSetFileInformationByHandle)
        found = reinterpret_cast<void (*)(void)>(&SimSetFileInformationByHandle);
    return reinterpret_cast<FARPROC>(found);
}

bool SimIsNtdllName(const std::string& name)
{
    return FoldCase(name) == "ntdll.dll" || FoldCase(name) == "ntdll";
}

HMODULE SimNtdllModule(void)
{
    return (HMODULE)&g_ntdllModule;
}

FARPROC SimNtdllExport(const std::string& name)
{
    void (*found)(void) = nullptr;
    if (!IsNtLine())
        return nullptr;
    if (name == "NtSetInformationFile")
        found = reinterpret_cast<void (*)(void)>(&SimNtSetInformationFile);
    else if (name == "RtlNtStatusToDosError")
        found = reinterpret_cast<void (*)(void)>(&SimRtlNtStatusToDosError);
    return reinterpret_cast<FARPROC>(found);
}

// The host's own bodies of the names the platform declares, for the contract table, which calls
// them directly: the same as the program finds through GetProcAddress.
DWORD WINAPI GetLongPathNameA(LPCSTR lpszShortPath, LPSTR lpszLongPath, DWORD cchBuffer)
{
    return SimGetLongPathNameA(lpszShortPath, lpszLongPath, cchBuffer);
}

DWORD WINAPI GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath, DWORD dwFlags)
{
    return SimGetFinalPathNameByHandleA(hFile, lpszFilePath, cchFilePath, dwFlags);
}

BOOL WINAPI SetFileInformationByHandle(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                       LPVOID lpFileInformation, DWORD dwBufferSize)
{
    return SimSetFileInformationByHandle(hFile, FileInformationClass, lpFileInformation, dwBufferSize);
}
