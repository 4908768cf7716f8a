// The owner and DACL of a security descriptor, read field by field as the documentation lays
// them out: the helpers GetSecurityDescriptorDacl and GetAce are not bound to be in every
// advapi32 this program must load against.
#include "foundation/object_trust.h"

// The rights that change an object: its data, its contents as a folder, its existence, its
// permissions and its owner. FILE_WRITE_DATA is FILE_ADD_FILE of a folder, FILE_APPEND_DATA its
// FILE_ADD_SUBDIRECTORY.
static const DWORD kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                   FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                   WRITE_OWNER;

// A SID of the NT authority with up to six subauthorities, laid out as SID is.
struct WellKnownSid {
    BYTE revision;
    BYTE subAuthorityCount;
    BYTE authority[6];
    DWORD subAuthority[6];
};

static const WellKnownSid kLocalSystem = {1, 1, {0, 0, 0, 0, 0, 5}, {18}};
static const WellKnownSid kAdministrators = {1, 2, {0, 0, 0, 0, 0, 5}, {32, 544}};
static const WellKnownSid kPowerUsers = {1, 2, {0, 0, 0, 0, 0, 5}, {32, 547}};
static const WellKnownSid kTrustedInstaller = {
    1, 6, {0, 0, 0, 0, 0, 5}, {80, 956008885, 3418522649u, 1831038044, 1853292631, 2271478464u}};

static DWORD SidLength(const SID* sid)
{
    return 8 + 4 * (DWORD)sid->SubAuthorityCount;
}

static int SameSid(const SID* a, const void* b)
{
    const SID* other = (const SID*)b;
    return a->SubAuthorityCount == other->SubAuthorityCount && memcmp(a, other, SidLength(a)) == 0;
}

// Looked up, not imported, as the administrator check does: the consumer line's advapi32 is not
// bound to export it.
typedef BOOL(WINAPI* TokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                LPDWORD);

// The user this process runs as, into a buffer of TOKEN_USER; null when the token cannot say.
static const SID* GetRunningUser(DWORD* buffer, DWORD size)
{
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    TokenInformationFunction getTokenInformation =
        advapi != NULL ? (TokenInformationFunction)(void*)GetProcAddress(advapi, "GetTokenInformation")
                       : NULL;
    HANDLE token;
    if (getTokenInformation == NULL || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return NULL;
    DWORD needed = 0;
    BOOL read = getTokenInformation(token, TokenUser, buffer, size, &needed);
    CloseHandle(token);
    return read ? (const SID*)((TOKEN_USER*)buffer)->User.Sid : NULL;
}

static int IsTrustedSid(const SID* sid, const SID* runningUser, DWORD majorVersion)
{
    if (SameSid(sid, &kAdministrators) || SameSid(sid, &kLocalSystem) ||
        SameSid(sid, &kTrustedInstaller))
        return 1;
    if (majorVersion == 5 && SameSid(sid, &kPowerUsers))
        return 1;
    return runningUser != NULL && SameSid(sid, runningUser);
}

static DWORD MapGenericFileRights(DWORD mask)
{
    if (mask & GENERIC_READ)
        mask |= FILE_GENERIC_READ;
    if (mask & GENERIC_WRITE)
        mask |= FILE_GENERIC_WRITE;
    if (mask & GENERIC_EXECUTE)
        mask |= FILE_GENERIC_EXECUTE;
    if (mask & GENERIC_ALL)
        mask |= FILE_ALL_ACCESS;
    return mask;
}

// 1 when no entry of the DACL that applies to the object lets an untrusted SID change it.
static int DaclLeavesChangesToTrusted(const ACL* dacl, const SID* runningUser, DWORD majorVersion,
                                      int contentsToo)
{
    const BYTE* ace = (const BYTE*)(dacl + 1);
    const BYTE* end = (const BYTE*)dacl + dacl->AclSize;
    for (WORD i = 0; i < dacl->AceCount; i++) {
        const ACE_HEADER* header = (const ACE_HEADER*)ace;
        if (ace + sizeof(ACE_HEADER) > end || header->AceSize < sizeof(ACE_HEADER) ||
            ace + header->AceSize > end)
            return 0;
        ace += header->AceSize;
        if ((header->AceFlags & INHERIT_ONLY_ACE) && !contentsToo)
            continue;
        // A denial grants nothing; any kind other than these two may grant what cannot be told.
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return 0;
        const ACCESS_ALLOWED_ACE* allowed = (const ACCESS_ALLOWED_ACE*)header;
        const SID* sid = (const SID*)&allowed->SidStart;
        if (header->AceSize < 8 + 8 || SidLength(sid) > (DWORD)header->AceSize - 8)
            return 0;
        if ((MapGenericFileRights(allowed->Mask) & kChangeRights) != 0 &&
            !IsTrustedSid(sid, runningUser, majorVersion))
            return 0;
    }
    return 1;
}

int OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor, DWORD majorVersion, int contentsToo)
{
    const SECURITY_DESCRIPTOR_RELATIVE* relative = (const SECURITY_DESCRIPTOR_RELATIVE*)descriptor;
    const SID* owner;
    const ACL* dacl;
    if (relative->Control & SE_SELF_RELATIVE) {
        owner = relative->Owner != 0 ? (const SID*)((const BYTE*)descriptor + relative->Owner) : NULL;
        dacl = relative->Dacl != 0 ? (const ACL*)((const BYTE*)descriptor + relative->Dacl) : NULL;
    } else {
        const SECURITY_DESCRIPTOR* absolute = (const SECURITY_DESCRIPTOR*)descriptor;
        owner = (const SID*)absolute->Owner;
        dacl = absolute->Dacl;
    }
    // No DACL, present or not, lets everyone do everything.
    if (owner == NULL || (relative->Control & SE_DACL_PRESENT) == 0 || dacl == NULL)
        return 0;

    DWORD tokenUser[32];  // a TOKEN_USER and the longest SID, DWORD-aligned
    const SID* runningUser = GetRunningUser(tokenUser, sizeof tokenUser);
    // Another administrator's ownership counts against: the safe side.
    if (!IsTrustedSid(owner, runningUser, majorVersion))
        return 0;
    return DaclLeavesChangesToTrusted(dacl, runningUser, majorVersion, contentsToo);
}

int IsChangeableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor)
{
    return OnlyAdministratorsCanChange(descriptor, 0, 1);
}
