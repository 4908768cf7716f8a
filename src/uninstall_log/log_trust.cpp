// The trust of the uninstall log: its folder's and its own security, and the volume they lie on.
#include "uninstall_log/log_trust.h"

#include "foundation/internal_error.h"
#include "foundation/memory.h"
#include "foundation/object_trust.h"
#include "foundation/paths.h"
#include "foundation/platform_line.h"
#include "platform/platform.h"

// A descriptor of a folder or file fits this on every system seen; a larger one is read again
// into a block of its own size.
enum { kDescriptorWords = 256 };

// Looked up, not imported: the consumer line's advapi32 is not bound to export them.
typedef BOOL(WINAPI* FileSecurityFunction)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD,
                                            LPDWORD);
typedef BOOL(WINAPI* KernelObjectSecurityFunction)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR,
                                                    DWORD, LPDWORD);

// Where a descriptor is read from: a folder by its path, or a file through a handle.
struct SecuritySource {
    FileSecurityFunction getFileSecurity;
    const char* path;
    KernelObjectSecurityFunction getKernelObjectSecurity;
    HANDLE handle;
};

static BOOL ReadDescriptor(const SecuritySource* source, void* descriptor, DWORD size, DWORD* needed)
{
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (source->path != NULL)
        return source->getFileSecurity(source->path, wanted, descriptor, size, needed);
    return source->getKernelObjectSecurity(source->handle, wanted, descriptor, size, needed);
}

static int OnlyAdministratorsCanChangeSource(const SecuritySource* source, DWORD majorVersion)
{
    DWORD descriptor[kDescriptorWords];
    DWORD needed = 0;
    if (ReadDescriptor(source, descriptor, sizeof descriptor, &needed))
        return OnlyAdministratorsCanChange(descriptor, majorVersion, 0);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    void* block = AllocTagged(kModuleNumber, 710, needed, 1);
    if (block == NULL)
        return 0;
    int trusted = ReadDescriptor(source, block, needed, &needed) &&
                  OnlyAdministratorsCanChange(block, majorVersion, 0);
    FreeIfSet(block);
    return trusted;
}

// A drive of this machine whose file system keeps the rights it was given (NTFS, not FAT).
static int IsLocalVolumeWithAcls(const char* installDir)
{
    // A network path ("\\server\share\") is never local.
    if (installDir[0] == '\0' || installDir[1] != ':')
        return 0;
    char root[4] = {installDir[0], ':', '\\', '\0'};
    UINT type = GetDriveTypeA(root);
    if (type == DRIVE_REMOTE || type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR)
        return 0;
    DWORD flags = 0;
    return GetVolumeInformationA(root, NULL, 0, NULL, NULL, &flags, NULL, 0) &&
           (flags & FS_PERSISTENT_ACLS) != 0;
}

int IsLogTrusted(const char* installDir, HANDLE logHandle)
{
    if (!IsNtPlatform())
        return 1;
    if (!IsFullPath(installDir) || !IsLocalVolumeWithAcls(installDir))
        return 0;
    // Power Users may change what lies in Program Files on Windows 2000 and XP. A version query
    // the system refuses is a broken assumption, as for IsNtPlatform.
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        InternalError(kModuleNumber, 37);

    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    SecuritySource folder = {NULL, installDir, NULL, NULL};
    SecuritySource log = {NULL, NULL, NULL, logHandle};
    if (advapi != NULL) {
        folder.getFileSecurity =
            (FileSecurityFunction)(void*)GetProcAddress(advapi, "GetFileSecurityA");
        log.getKernelObjectSecurity =
            (KernelObjectSecurityFunction)(void*)GetProcAddress(advapi, "GetKernelObjectSecurity");
    }
    return folder.getFileSecurity != NULL && log.getKernelObjectSecurity != NULL &&
           OnlyAdministratorsCanChangeSource(&folder, version.dwMajorVersion) &&
           OnlyAdministratorsCanChangeSource(&log, version.dwMajorVersion);
}
