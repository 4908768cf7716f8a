// The rule by which an object made or read by the elevated run is trusted: only administrators,
// the system and the running user itself can change it.
#include "foundation/object_trust.h"

// Every right that lets its holder change the object, its rights, or what lies in it (for a
// folder FILE_WRITE_DATA adds a file, FILE_APPEND_DATA a folder, FILE_DELETE_CHILD removes one).
static const DWORD kChangeRights = GENERIC_ALL | GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER |
                                   FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                   FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES;

// S-1-5-32-544 and S-1-5-18.
static int IsAdministratorsOrSystem(PSID sid)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = {{0, 0, 0, 0, 0, 5}};  // SECURITY_NT_AUTHORITY
    PSID administrators = NULL;
    PSID system = NULL;
    int trusted = 0;
    if (AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                 DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators) &&
        AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0,
                                 0, &system))
        trusted = EqualSid(sid, administrators) || EqualSid(sid, system);
    if (administrators != NULL)
        FreeSid(administrators);
    if (system != NULL)
        FreeSid(system);
    return trusted;
}

// The user the process runs as: on Windows XP the elevated user owns what it creates.
static int IsRunningUser(PSID sid)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    // A TOKEN_USER with its SID: at most 8 + 68 bytes; DWORDs keep it aligned.
    DWORD user[32];
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    CloseHandle(token);
    return known && EqualSid(sid, ((TOKEN_USER*)user)->User.Sid);
}

static int IsTrustedHolder(PSID sid)
{
    return IsAdministratorsOrSystem(sid) || IsRunningUser(sid);
}

int IsChangeableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = NULL;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == NULL ||
        !IsTrustedHolder(owner))
        return 0;

    BOOL present = FALSE;
    PACL dacl = NULL;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
        dacl == NULL)
        return 0;
    for (DWORD index = 0; index < dacl->AceCount; index++) {
        ACCESS_ALLOWED_ACE* ace = NULL;
        if (!GetAce(dacl, index, (LPVOID*)&ace))
            return 0;
        // A denial takes rights away. Any other kind may grant what this rule cannot read, and
        // an entry for the contents alone is counted too: what is made inside inherits it.
        if (ace->Header.AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            return 0;
        if ((ace->Mask & kChangeRights) != 0 && !IsTrustedHolder((PSID)&ace->SidStart))
            return 0;
    }
    return 1;
}
