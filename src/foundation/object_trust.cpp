// The rule by which an object made or read by the elevated run is trusted: only administrators,
// the system and the running user itself can change it.
#include "foundation/object_trust.h"

// Every right that lets its holder change the object, its rights, or what lies in it (for a
// folder FILE_WRITE_DATA adds a file, FILE_APPEND_DATA a folder, FILE_DELETE_CHILD removes one).
static const DWORD kChangeRights = GENERIC_ALL | GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER |
                                   FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                   FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES;

typedef BOOL(WINAPI* GetSecurityDescriptorOwnerFunction)(PSECURITY_DESCRIPTOR, PSID*, BOOL*);
typedef BOOL(WINAPI* GetSecurityDescriptorDaclFunction)(PSECURITY_DESCRIPTOR, BOOL*, PACL*, BOOL*);
typedef BOOL(WINAPI* GetAceFunction)(PACL, DWORD, LPVOID*);
typedef BOOL(WINAPI* AllocateAndInitializeSidFunction)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                        DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                                        PSID*);
typedef LPVOID(WINAPI* FreeSidFunction)(PSID);
typedef BOOL(WINAPI* EqualSidFunction)(PSID, PSID);
typedef BOOL(WINAPI* GetTokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                   LPDWORD);

// Looked up rather than imported: a program that imports what the consumer line's advapi32 lacks
// would not start there.
struct TrustCalls {
    GetSecurityDescriptorOwnerFunction getSecurityDescriptorOwner;
    GetSecurityDescriptorDaclFunction getSecurityDescriptorDacl;
    GetAceFunction getAce;
    AllocateAndInitializeSidFunction allocateAndInitializeSid;
    FreeSidFunction freeSid;
    EqualSidFunction equalSid;
    GetTokenInformationFunction getTokenInformation;
};

static int FindTrustCalls(TrustCalls* calls)
{
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (advapi == NULL)
        return 0;
    calls->getSecurityDescriptorOwner = (GetSecurityDescriptorOwnerFunction)(void*)GetProcAddress(
        advapi, "GetSecurityDescriptorOwner");
    calls->getSecurityDescriptorDacl = (GetSecurityDescriptorDaclFunction)(void*)GetProcAddress(
        advapi, "GetSecurityDescriptorDacl");
    calls->getAce = (GetAceFunction)(void*)GetProcAddress(advapi, "GetAce");
    calls->allocateAndInitializeSid =
        (AllocateAndInitializeSidFunction)(void*)GetProcAddress(advapi, "AllocateAndInitializeSid");
    calls->freeSid = (FreeSidFunction)(void*)GetProcAddress(advapi, "FreeSid");
    calls->equalSid = (EqualSidFunction)(void*)GetProcAddress(advapi, "EqualSid");
    calls->getTokenInformation =
        (GetTokenInformationFunction)(void*)GetProcAddress(advapi, "GetTokenInformation");
    return calls->getSecurityDescriptorOwner != NULL && calls->getSecurityDescriptorDacl != NULL &&
           calls->getAce != NULL && calls->allocateAndInitializeSid != NULL &&
           calls->freeSid != NULL && calls->equalSid != NULL && calls->getTokenInformation != NULL;
}

// S-1-5-32-544 and S-1-5-18.
static int IsAdministratorsOrSystem(const TrustCalls* calls, PSID sid)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators = NULL;
    PSID system = NULL;
    int trusted = 0;
    if (calls->allocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                        DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators) &&
        calls->allocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0,
                                        0, &system))
        trusted = calls->equalSid(sid, administrators) || calls->equalSid(sid, system);
    if (administrators != NULL)
        calls->freeSid(administrators);
    if (system != NULL)
        calls->freeSid(system);
    return trusted;
}

// The user the process runs as: on Windows XP the elevated user owns what it creates, and under
// Wine every file is the running user's.
static int IsRunningUser(const TrustCalls* calls, PSID sid)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    // A TOKEN_USER with its SID: at most 16 + 68 bytes; DWORDs keep it aligned.
    DWORD user[32];
    DWORD size = 0;
    BOOL known = calls->getTokenInformation(token, TokenUser, user, sizeof user, &size);
    CloseHandle(token);
    return known && calls->equalSid(sid, ((TOKEN_USER*)user)->User.Sid);
}

static int IsTrustedHolder(const TrustCalls* calls, PSID sid)
{
    return IsAdministratorsOrSystem(calls, sid) || IsRunningUser(calls, sid);
}

int IsChangeableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor)
{
    TrustCalls calls;
    if (!FindTrustCalls(&calls))
        return 0;
    PSID owner = NULL;
    BOOL defaulted = FALSE;
    if (!calls.getSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == NULL ||
        !IsTrustedHolder(&calls, owner))
        return 0;

    BOOL present = FALSE;
    PACL dacl = NULL;
    if (!calls.getSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
        dacl == NULL)
        return 0;
    for (DWORD index = 0; index < dacl->AceCount; index++) {
        ACCESS_ALLOWED_ACE* ace = NULL;
        if (!calls.getAce(dacl, index, (LPVOID*)&ace))
            return 0;
        // A denial takes rights away. Any other kind may grant what this rule cannot read, and
        // an entry for the contents alone is counted too: what is made inside inherits it.
        if (ace->Header.AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            return 0;
        if ((ace->Mask & kChangeRights) != 0 && !IsTrustedHolder(&calls, (PSID)&ace->SidStart))
            return 0;
    }
    return 1;
}
