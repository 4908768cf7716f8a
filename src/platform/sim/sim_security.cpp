// The simulated Windows' security and volumes: the descriptors GetFileSecurityA reads, and what
// GetDriveTypeA and GetVolumeInformationA say of a root.
#include <stdio.h>
#include <stdlib.h>

#include "platform/sim/sim_disk_paths.h"

static bool IsNt()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

// "S-1-5-32-544" as the bytes of a SID: revision, count, 48-bit authority, subauthorities.
static std::string SidBytes(const std::string& text)
{
    std::vector<unsigned long long> parts;
    size_t start = 2;  // after "S-"
    while (start <= text.size()) {
        size_t end = text.find('-', start);
        if (end == std::string::npos)
            end = text.size();
        parts.push_back(strtoull(text.substr(start, end - start).c_str(), nullptr, 10));
        start = end + 1;
    }
    if (text.compare(0, 2, "S-") != 0 || parts.size() < 2) {
        fprintf(stderr, "the simulated security holds no SID %s\n", text.c_str());
        abort();
    }
    std::string bytes;
    bytes += (char)parts[0];
    bytes += (char)(parts.size() - 2);
    for (int shift = 40; shift >= 0; shift -= 8)
        bytes += (char)((parts[1] >> shift) & 0xFF);
    for (size_t i = 2; i < parts.size(); i++) {
        DWORD sub = (DWORD)parts[i];
        bytes.append((const char*)&sub, 4);
    }
    return bytes;
}

static void PutWord(std::string& bytes, size_t at, WORD value)
{
    memcpy(&bytes[at], &value, 2);
}

static void PutDword(std::string& bytes, size_t at, DWORD value)
{
    memcpy(&bytes[at], &value, 4);
}

// The self-relative descriptor: the header, then the owner, then the DACL, as Windows lays it out.
static std::string DescriptorBytes(const SimSecurity& security, SECURITY_INFORMATION wanted)
{
    std::string bytes(sizeof(SECURITY_DESCRIPTOR_RELATIVE), '\0');
    WORD control = SE_SELF_RELATIVE;
    bytes[0] = 1;  // revision
    if ((wanted & OWNER_SECURITY_INFORMATION) && !security.owner.empty()) {
        PutDword(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner), (DWORD)bytes.size());
        bytes += SidBytes(security.owner);
    }
    if ((wanted & DACL_SECURITY_INFORMATION) && security.hasDacl) {
        control |= SE_DACL_PRESENT;
        size_t acl = bytes.size();
        PutDword(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl), (DWORD)acl);
        bytes += std::string(sizeof(ACL), '\0');
        bytes[acl] = 2;  // ACL_REVISION
        for (const SimAce& ace : security.dacl) {
            std::string sid = SidBytes(ace.sid);
            size_t at = bytes.size();
            bytes += std::string(8, '\0') + sid;
            bytes[at] = (char)ace.type;
            bytes[at + 1] = (char)ace.flags;
            PutWord(bytes, at + 2, (WORD)(8 + sid.size()));
            PutDword(bytes, at + 4, ace.mask);
        }
        PutWord(bytes, acl + offsetof(ACL, AclSize), (WORD)(bytes.size() - acl));
        PutWord(bytes, acl + offsetof(ACL, AceCount), (WORD)security.dacl.size());
    }
    PutWord(bytes, offsetof(SECURITY_DESCRIPTOR_RELATIVE, Control), control);
    return bytes;
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
    return AnswerBytes("GetFileSecurityA", path, DescriptorBytes(item->security, RequestedInformation),
                       pSecurityDescriptor, nLength, lpnLengthNeeded);
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
