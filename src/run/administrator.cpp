// Whether the run holds an administrator's rights, asked before it shows or changes anything.
//
// A run without them removes what the user may change (the start-menu group and, on the NT line,
// the entry in the list of installed programs under HKCU) and none of what the administrator
// installed, so the program would stay and could no longer be removed from that list.
#include "run/administrator.h"

#include "foundation/internal_error.h"
#include "foundation/memory.h"
#include "platform/platform.h"

// NT 4, which has no CheckTokenMembership: the groups of the process's token, read whole. A
// group switched off does not count. Deny-only groups came with Windows 2000, and Windows never
// marks one enabled, so the enabled flag says all.
static int AdministratorsEnabledInToken(HMODULE advapi, PSID administrators)
{
    GetTokenInformationFunction getTokenInformation =
        (GetTokenInformationFunction)(void*)GetProcAddress(advapi, "GetTokenInformation");
    EqualSidFunction equalSid = (EqualSidFunction)(void*)GetProcAddress(advapi, "EqualSid");
    if (getTokenInformation == NULL || equalSid == NULL)
        return 0;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    // The first call fails with ERROR_INSUFFICIENT_BUFFER and says how much the groups need.
    DWORD size = 0;
    getTokenInformation(token, TokenGroups, NULL, 0, &size);
    TOKEN_GROUPS* groups = size != 0 ? (TOKEN_GROUPS*)AllocTagged(kModuleNumber, __LINE__, size, 1) : NULL;
    int enabled = 0;
    if (groups != NULL && getTokenInformation(token, TokenGroups, groups, size, &size)) {
        for (DWORD i = 0; i < groups->GroupCount; i++) {
            DWORD attributes = groups->Groups[i].Attributes;
            if (equalSid(groups->Groups[i].Sid, administrators) && (attributes & SE_GROUP_ENABLED))
                enabled = 1;
        }
    }
    FreeIfSet(groups);
    CloseHandle(token);
    return enabled;
}

int RunsAsAdministrator(void)
{
    // Looked up, not imported: CheckTokenMembership comes with Windows 2000, and a program that
    // imports what the consumer line's advapi32 lacks would not start there. advapi32 is
    // imported, so it is mapped.
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (advapi == NULL)
        return 0;
    AllocateAndInitializeSidFunction allocateAndInitializeSid =
        (AllocateAndInitializeSidFunction)(void*)GetProcAddress(advapi, "AllocateAndInitializeSid");
    FreeSidFunction freeSid = (FreeSidFunction)(void*)GetProcAddress(advapi, "FreeSid");
    if (allocateAndInitializeSid == NULL || freeSid == NULL)
        return 0;
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators = NULL;
    if (!allocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                  0, 0, 0, 0, 0, 0, &administrators))
        return 0;

    // Windows 2000 on: the enabled groups of the token, deny-only ones not counted; from Vista on
    // an administrator's run that UAC did not elevate holds the group deny-only.
    CheckTokenMembershipFunction checkTokenMembership =
        (CheckTokenMembershipFunction)(void*)GetProcAddress(advapi, "CheckTokenMembership");
    int administrator;
    if (checkTokenMembership != NULL) {
        BOOL member = FALSE;
        administrator = checkTokenMembership(NULL, administrators, &member) && member;
    } else {
        administrator = AdministratorsEnabledInToken(advapi, administrators);
    }
    freeSid(administrators);
    return administrator;
}
