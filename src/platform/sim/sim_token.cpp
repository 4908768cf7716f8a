// The simulated token's groups and the advapi32 calls that read them: SIDs made, compared and
// freed, the membership check, and the token's groups read whole.
#include <stddef.h>

#include "platform/sim/sim_internal.h"

static char g_advapiModule;  // a tag whose address serves as advapi32's handle
static const DWORD ERROR_NO_IMPERSONATION_TOKEN = 1309;

// A SID as advapi32 lays it out: revision 1, the count of sub-authorities, the 6-byte authority
// (big-endian), then the sub-authorities as 32-bit numbers.
static size_t SidLength(const BYTE* sid)
{
    return 8 + 4 * (size_t)sid[1];
}

static std::string SidText(const BYTE* sid)
{
    unsigned long long authority = 0;
    for (int i = 2; i < 8; i++)
        authority = (authority << 8) | sid[i];
    std::string text = "S-" + std::to_string(sid[0]) + "-" + std::to_string(authority);
    for (BYTE i = 0; i < sid[1]; i++) {
        DWORD subAuthority;
        memcpy(&subAuthority, sid + 8 + 4 * (size_t)i, sizeof subAuthority);
        text += "-" + std::to_string(subAuthority);
    }
    return text;
}

// Writes the SID that text names into out (room for 8 + 4 * 15 bytes); its length.
static size_t SidFromText(const std::string& text, BYTE* out)
{
    unsigned long long numbers[17];
    int count = 0;
    const char* cursor = text.c_str() + 2;  // past "S-"
    while (count < 17 && *cursor != '\0') {
        char* end;
        numbers[count++] = strtoull(cursor, &end, 10);
        cursor = *end == '-' ? end + 1 : end;
    }
    out[0] = (BYTE)numbers[0];
    out[1] = (BYTE)(count - 2);
    for (int i = 0; i < 6; i++)
        out[2 + i] = (BYTE)(numbers[1] >> (8 * (5 - i)));
    for (int i = 2; i < count; i++) {
        DWORD subAuthority = (DWORD)numbers[i];
        memcpy(out + 8 + 4 * (size_t)(i - 2), &subAuthority, sizeof subAuthority);
    }
    return SidLength(out);
}

static BOOL WINAPI SimAllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                               BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                               DWORD nSubAuthority1, DWORD nSubAuthority2,
                                               DWORD nSubAuthority3, DWORD nSubAuthority4,
                                               DWORD nSubAuthority5, DWORD nSubAuthority6,
                                               DWORD nSubAuthority7, PSID* pSid)
{
    if (SimFaultHit("AllocateAndInitializeSid", "", nullptr))
        return SimFail("AllocateAndInitializeSid", "", ERROR_NOT_ENOUGH_MEMORY);
    // At most eight sub-authorities go through this call.
    if (nSubAuthorityCount > 8)
        return SimFail("AllocateAndInitializeSid", "", ERROR_INVALID_PARAMETER);
    const DWORD subAuthorities[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                                     nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
    BYTE* sid = new BYTE[8 + 4 * (size_t)nSubAuthorityCount];
    sid[0] = 1;
    sid[1] = nSubAuthorityCount;
    memcpy(sid + 2, pIdentifierAuthority->Value, 6);
    memcpy(sid + 8, subAuthorities, 4 * (size_t)nSubAuthorityCount);
    *pSid = sid;
    ++Machine().token.sidsLive;
    SimRecordCall("AllocateAndInitializeSid", SidText(sid), TRUE);
    return TRUE;
}

static LPVOID WINAPI SimFreeSid(PSID pSid)
{
    if (pSid != NULL) {
        delete[] (BYTE*)pSid;
        --Machine().token.sidsLive;
    }
    SimRecordCall("FreeSid", "", 0);
    return NULL;
}

static BOOL WINAPI SimEqualSid(PSID pSid1, PSID pSid2)
{
    const BYTE* first = (const BYTE*)pSid1;
    const BYTE* second = (const BYTE*)pSid2;
    SetLastError(ERROR_SUCCESS);
    return SidLength(first) == SidLength(second) && memcmp(first, second, SidLength(first)) == 0;
}

// A group counts when it is enabled and not there only to deny; NULL asks for the process's
// token, as no thread of the program impersonates.
static BOOL WINAPI SimCheckTokenMembership(HANDLE TokenHandle, PSID SidToCheck, PBOOL IsMember)
{
    std::string wanted = SidText((const BYTE*)SidToCheck);
    if (SimFaultHit("CheckTokenMembership", wanted.c_str(), nullptr))
        return SimFail("CheckTokenMembership", wanted, ERROR_ACCESS_DENIED);
    if (TokenHandle != NULL)
        return SimFail("CheckTokenMembership", wanted, ERROR_NO_IMPERSONATION_TOKEN);
    *IsMember = FALSE;
    for (const SimTokenGroup& group : Machine().token.groups) {
        if (group.sid == wanted && (group.attributes & SE_GROUP_ENABLED) &&
            !(group.attributes & SE_GROUP_USE_FOR_DENY_ONLY))
            *IsMember = TRUE;
    }
    SimRecordCall("CheckTokenMembership", wanted, *IsMember);
    return TRUE;
}

// TokenGroups only: the header, the array, then the SIDs it points to, in one block.
static BOOL WINAPI SimGetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                          LPVOID TokenInformation, DWORD TokenInformationLength,
                                          LPDWORD ReturnLength)
{
    if (SimFaultHit("GetTokenInformation", "", nullptr))
        return SimFail("GetTokenInformation", "", ERROR_ACCESS_DENIED);
    const std::map<ULONG_PTR, DWORD>& tokens = Machine().process.tokens;
    auto token = tokens.find((ULONG_PTR)TokenHandle);
    if (token == tokens.end())
        return SimFail("GetTokenInformation", "", ERROR_INVALID_HANDLE);
    if ((token->second & TOKEN_QUERY) == 0)
        return SimFail("GetTokenInformation", "", ERROR_ACCESS_DENIED);
    if (TokenInformationClass == TokenUser)
        return SimTokenUser(TokenInformation, TokenInformationLength, ReturnLength);
    if (TokenInformationClass != TokenGroups)
        return SimFail("GetTokenInformation", "", ERROR_INVALID_PARAMETER);
    const std::vector<SimTokenGroup>& groups = Machine().token.groups;
    std::vector<BYTE> sids;
    std::vector<size_t> offsets;
    for (const SimTokenGroup& group : groups) {
        BYTE sid[8 + 4 * 15];
        size_t length = SidFromText(group.sid, sid);
        offsets.push_back(sids.size());
        sids.insert(sids.end(), sid, sid + length);
    }
    size_t head = offsetof(TOKEN_GROUPS, Groups) + sizeof(SID_AND_ATTRIBUTES) * groups.size();
    head = (head + 3) & ~(size_t)3;
    *ReturnLength = (DWORD)(head + sids.size());
    if (TokenInformationLength < *ReturnLength)
        return SimFail("GetTokenInformation", "", ERROR_INSUFFICIENT_BUFFER);
    BYTE* block = (BYTE*)TokenInformation;
    TOKEN_GROUPS* out = (TOKEN_GROUPS*)block;
    memcpy(block + head, sids.data(), sids.size());
    out->GroupCount = (DWORD)groups.size();
    for (size_t i = 0; i < groups.size(); i++) {
        out->Groups[i].Sid = block + head + offsets[i];
        out->Groups[i].Attributes = groups[i].attributes;
    }
    SimRecordCall("GetTokenInformation", "", TRUE);
    return TRUE;
}

bool SimIsAdvapiName(const std::string& name)
{
    return FoldCase(name) == "advapi32.dll" || FoldCase(name) == "advapi32";
}

HMODULE SimAdvapiModule(void)
{
    return (HMODULE)&g_advapiModule;
}

// Through void (*)(void), the generic function pointer type, as the caller casts it back.
FARPROC SimAdvapiExport(const std::string& name)
{
    void (*found)(void) = nullptr;
    if (name == "AllocateAndInitializeSid")
        found = reinterpret_cast<void (*)(void)>(&SimAllocateAndInitializeSid);
    else if (name == "FreeSid")
        found = reinterpret_cast<void (*)(void)>(&SimFreeSid);
    else if (name == "EqualSid")
        found = reinterpret_cast<void (*)(void)>(&SimEqualSid);
    else if (name == "GetTokenInformation")
        found = reinterpret_cast<void (*)(void)>(&SimGetTokenInformation);
    else if (name == "GetFileSecurityA")
        found = reinterpret_cast<void (*)(void)>(&GetFileSecurityA);
    else if (name == "CheckTokenMembership" && Machine().token.advapiHasCheckTokenMembership)
        found = reinterpret_cast<void (*)(void)>(&SimCheckTokenMembership);
    else if (name == "SetSecurityDescriptorControl" && Machine().objects.kernelHasSetSecurityDescriptorControl)
        found = reinterpret_cast<void (*)(void)>(&SetSecurityDescriptorControl);
    else
        found = SimSecurityExport(name);  // sim_security.cpp
    if (found == nullptr)
        return (FARPROC)(ULONG_PTR)SimFail("GetProcAddress", name, ERROR_PROC_NOT_FOUND);
    SimRecordCall("GetProcAddress", name, 1);
    return reinterpret_cast<FARPROC>(found);
}
