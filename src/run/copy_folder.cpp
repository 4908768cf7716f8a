// The copy's own folder on the NT line: made new under the temporary folder, which other users
// may write to, with rights that leave it to Administrators and SYSTEM alone.
#include "run/copy_folder.h"

#include "foundation/object_trust.h"
#include "run/administrator.h"

// Names a fresh folder may take before the run gives up: a name already there is never used.
enum { kFolderNameTries = 16 };

// The part of the copy's folder name that no one can know before: the clock's finest counter
// and the moment, mixed with the process id. It needs only to be unknown in advance;
// CreateDirectoryA refuses a name that is taken.
static DWORD UnforeseeableNumber(DWORD attempt)
{
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    QueryPerformanceCounter(&counter);
    return (counter.u.LowPart * 2654435761u) ^ (GetTickCount() << 7) ^
           (GetCurrentProcessId() * 40503u) ^ (attempt * 977u);
}

typedef BOOL(WINAPI* InitializeAclFunction)(PACL, DWORD, DWORD);
typedef BOOL(WINAPI* AddAccessAllowedAceFunction)(PACL, DWORD, DWORD, PSID);
typedef BOOL(WINAPI* GetAceFunction)(PACL, DWORD, LPVOID*);
typedef BOOL(WINAPI* InitializeSecurityDescriptorFunction)(PSECURITY_DESCRIPTOR, DWORD);
typedef BOOL(WINAPI* SetSecurityDescriptorDaclFunction)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef BOOL(WINAPI* SetSecurityDescriptorControlFunction)(PSECURITY_DESCRIPTOR,
                                                            SECURITY_DESCRIPTOR_CONTROL,
                                                            SECURITY_DESCRIPTOR_CONTROL);
typedef BOOL(WINAPI* GetKernelObjectSecurityFunction)(HANDLE, SECURITY_INFORMATION,
                                                       PSECURITY_DESCRIPTOR, DWORD, LPDWORD);

// The NT line's security calls, looked up rather than imported: a program that imports what the
// consumer line's advapi32 lacks would not start there.
struct SecurityCalls {
    AllocateAndInitializeSidFunction allocateAndInitializeSid;
    FreeSidFunction freeSid;
    InitializeAclFunction initializeAcl;
    AddAccessAllowedAceFunction addAccessAllowedAce;
    GetAceFunction getAce;
    InitializeSecurityDescriptorFunction initializeSecurityDescriptor;
    SetSecurityDescriptorDaclFunction setSecurityDescriptorDacl;
    SetSecurityDescriptorControlFunction setSecurityDescriptorControl;  // Windows 2000 on, or NULL
    GetKernelObjectSecurityFunction getKernelObjectSecurity;
};

static int FindSecurityCalls(SecurityCalls* calls)
{
    // advapi32 is imported, so it is mapped.
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (advapi == NULL)
        return 0;
    calls->allocateAndInitializeSid =
        (AllocateAndInitializeSidFunction)(void*)GetProcAddress(advapi, "AllocateAndInitializeSid");
    calls->freeSid = (FreeSidFunction)(void*)GetProcAddress(advapi, "FreeSid");
    calls->initializeAcl = (InitializeAclFunction)(void*)GetProcAddress(advapi, "InitializeAcl");
    calls->addAccessAllowedAce =
        (AddAccessAllowedAceFunction)(void*)GetProcAddress(advapi, "AddAccessAllowedAce");
    calls->getAce = (GetAceFunction)(void*)GetProcAddress(advapi, "GetAce");
    calls->initializeSecurityDescriptor = (InitializeSecurityDescriptorFunction)(void*)GetProcAddress(
        advapi, "InitializeSecurityDescriptor");
    calls->setSecurityDescriptorDacl =
        (SetSecurityDescriptorDaclFunction)(void*)GetProcAddress(advapi, "SetSecurityDescriptorDacl");
    calls->setSecurityDescriptorControl = (SetSecurityDescriptorControlFunction)(void*)GetProcAddress(
        advapi, "SetSecurityDescriptorControl");
    calls->getKernelObjectSecurity =
        (GetKernelObjectSecurityFunction)(void*)GetProcAddress(advapi, "GetKernelObjectSecurity");
    return calls->allocateAndInitializeSid != NULL && calls->freeSid != NULL &&
           calls->initializeAcl != NULL && calls->addAccessAllowedAce != NULL &&
           calls->getAce != NULL && calls->initializeSecurityDescriptor != NULL &&
           calls->setSecurityDescriptorDacl != NULL && calls->getKernelObjectSecurity != NULL;
}

// A DACL of two entries, Administrators and SYSTEM with every right, inherited by whatever is
// made inside, protected from the entries of the temporary folder, which lets users write.
struct RestrictedSecurity {
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[64];  // an ACL of two entries with their SIDs: 8 + 2 * (8 + 16) bytes at most
    PSID administrators, system;
};

static int AllowEverything(const SecurityCalls* calls, PACL acl, PSID sid)
{
    LPVOID ace = NULL;
    if (!calls->addAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) ||
        !calls->getAce(acl, acl->AceCount - 1, &ace))
        return 0;
    // AddAccessAllowedAce takes no inheritance flags; the Ex form is missing before Windows 2000.
    ((ACE_HEADER*)ace)->AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    return 1;
}

static int BuildRestrictedSecurity(const SecurityCalls* calls, RestrictedSecurity* security)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PACL acl = (PACL)security->acl;
    if (!calls->allocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                         &security->administrators) ||
        !calls->allocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0,
                                         0, 0, &security->system) ||
        !calls->initializeAcl(acl, sizeof security->acl, ACL_REVISION) ||
        !AllowEverything(calls, acl, security->administrators) ||
        !AllowEverything(calls, acl, security->system) ||
        !calls->initializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !calls->setSecurityDescriptorDacl(&security->descriptor, TRUE, acl, FALSE))
        return 0;
    // From Windows 2000 on a new folder adds the parent's inheritable entries to the DACL it is
    // given, unless the DACL is protected; Windows NT 4 adds none and lacks the call.
    if (calls->setSecurityDescriptorControl != NULL &&
        !calls->setSecurityDescriptorControl(&security->descriptor, SE_DACL_PROTECTED,
                                             SE_DACL_PROTECTED))
        return 0;
    return 1;
}

// The folder as it is now, read through the handle that keeps it from being swapped.
static int FolderIsRestricted(const SecurityCalls* calls, HANDLE folder)
{
    DWORD descriptor[256];  // 1 KB: an owner and a DACL of a few entries
    DWORD needed = 0;
    if (!calls->getKernelObjectSecurity(folder, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        descriptor, sizeof descriptor, &needed))
        return 0;
    return IsChangeableOnlyByAdministrators(descriptor);
}

HANDLE MakeRestrictedFolder(const char* tempFolder, char* folder)
{
    SecurityCalls calls;
    if (!FindSecurityCalls(&calls))
        return INVALID_HANDLE_VALUE;
    RestrictedSecurity security = {};
    int built = BuildRestrictedSecurity(&calls, &security);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &security.descriptor, FALSE};
    int made = 0;
    for (DWORD attempt = 0; built && !made && attempt < kFolderNameTries; attempt++) {
        snprintf(folder, MAX_PATH, "%spxu%08lX", tempFolder,
                 (unsigned long)UnforeseeableNumber(attempt));
        made = CreateDirectoryA(folder, &attributes) ? 1 : 0;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (security.administrators != NULL)
        calls.freeSid(security.administrators);
    if (security.system != NULL)
        calls.freeSid(security.system);
    if (!made)
        return INVALID_HANDLE_VALUE;

    // An open for READ_CONTROL alone takes no part in sharing: the listing right makes the missing
    // FILE_SHARE_DELETE keep the folder from being removed or renamed.
    HANDLE handle = CreateFileA(folder, READ_CONTROL | FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (handle != INVALID_HANDLE_VALUE && FolderIsRestricted(&calls, handle))
        return handle;
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    RemoveDirectoryA(folder);
    return INVALID_HANDLE_VALUE;
}
