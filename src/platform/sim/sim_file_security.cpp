// The simulated Windows' file security by name and its volumes: the descriptors GetFileSecurityA
// reads (written as GetKernelObjectSecurity writes them), and what GetDriveTypeA and
// GetVolumeInformationA say of a root.
#include <stdio.h>
#include <stdlib.h>

#include "platform/sim/sim_disk_paths.h"

static bool IsNt()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

// Too small a buffer receives nothing: the size needed and ERROR_INSUFFICIENT_BUFFER.
static BOOL AnswerBytes(const char* operation, const std::string& argument, const std::string& bytes,
                        void* buffer, DWORD length, LPDWORD needed)
{
    if (needed)
        *needed = (DWORD)bytes.size();
    if (!buffer || length < bytes.size())
        return SimFail(operation, argument, ERROR_INSUFFICIENT_BUFFER);
    memcpy(buffer, bytes.data(), bytes.size());
    SimRecordCall(operation, argument, TRUE);
    return TRUE;
}

BOOL WINAPI GetFileSecurityA(LPCSTR lpFileName, SECURITY_INFORMATION RequestedInformation,
                             PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD nLength,
                             LPDWORD lpnLengthNeeded)
{
    std::string path = lpFileName ? lpFileName : "";
    if (SimFaultHit("GetFileSecurityA", path.c_str(), nullptr))
        return SimFail("GetFileSecurityA", path, ERROR_ACCESS_DENIED);
    // The consumer line has no security: its advapi32 answers every such call with this.
    if (!IsNt())
        return SimFail("GetFileSecurityA", path, ERROR_CALL_NOT_IMPLEMENTED);
    // The object itself is read: a link on the way, or at the end, leads to its target.
    std::string key = SimFollowLinks(CallKey(path), true);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    if (!item)
        return SimFail("GetFileSecurityA", path, key.empty() ? ERROR_PATH_NOT_FOUND : MissingError(key));
    // Owner and DACL both, whatever was asked: the program asks for both.
    (void)RequestedInformation;
    DWORD needed = SimWriteSecurityDescriptor(*item, NULL, 0);
    std::string bytes(needed, '\0');
    SimWriteSecurityDescriptor(*item, (BYTE*)&bytes[0], needed);
    return AnswerBytes("GetFileSecurityA", path, bytes, pSecurityDescriptor, nLength, lpnLengthNeeded);
}

// A root "X:\" not listed is a fixed NTFS volume, a network root not listed a remote one.
static bool FindVolume(const std::string& root, SimVolume* volume)
{
    std::string folded = FoldCase(root);
    auto listed = Machine().disk.volumes.find(folded);
    if (listed != Machine().disk.volumes.end()) {
        *volume = listed->second;
        return true;
    }
    bool drive = folded.size() == 3 && folded[0] >= 'a' && folded[0] <= 'z' && folded[1] == ':' &&
                 folded[2] == '\\';
    bool network = folded.size() > 2 && folded[0] == '\\' && folded[1] == '\\' &&
                   folded.back() == '\\';
    *volume = SimVolume();
    if (network)
        volume->driveType = DRIVE_REMOTE;
    return drive || network;
}

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName)
{
    std::string root = lpRootPathName ? lpRootPathName : "";
    SimVolume volume;
    UINT type = FindVolume(root, &volume) ? volume.driveType : DRIVE_NO_ROOT_DIR;
    SimRecordCall("GetDriveTypeA", root, type);
    return type;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer,
                                  DWORD nVolumeNameSize, LPDWORD lpVolumeSerialNumber,
                                  LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,
                                  LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize)
{
    std::string root = lpRootPathName ? lpRootPathName : "";
    if (SimFaultHit("GetVolumeInformationA", root.c_str(), nullptr))
        return SimFail("GetVolumeInformationA", root, ERROR_ACCESS_DENIED);
    SimVolume volume;
    // The root needs its trailing separator; anything else is no root.
    if (!FindVolume(root, &volume))
        return SimFail("GetVolumeInformationA", root, ERROR_INVALID_NAME);
    if (lpVolumeNameBuffer && nVolumeNameSize > 0)
        lpVolumeNameBuffer[0] = '\0';
    if (lpVolumeSerialNumber)
        *lpVolumeSerialNumber = 0x1234ABCD;
    if (lpMaximumComponentLength)
        *lpMaximumComponentLength = 255;
    if (lpFileSystemFlags)
        *lpFileSystemFlags = volume.fileSystemFlags;
    if (lpFileSystemNameBuffer && nFileSystemNameSize > 0)
        snprintf(lpFileSystemNameBuffer, nFileSystemNameSize, "%s", volume.fileSystem.c_str());
    SimRecordCall("GetVolumeInformationA", root, TRUE);
    return TRUE;
}
