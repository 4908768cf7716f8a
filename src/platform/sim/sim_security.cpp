// The simulated security functions of advapi32: SIDs, ACLs and security descriptors in the
// layouts of winnt.h, the token's user, and the descriptors GetKernelObjectSecurity writes.
#include <stdlib.h>

#include <vector>

#include "platform/sim/sim_internal.h"

// A SID: revision 1, a count of sub-authorities, a 6-byte authority, the sub-authorities.
static DWORD SidLength(const BYTE* sid)
{
    return 8 + 4 * (DWORD)sid[1];
}

static std::vector<BYTE> SidBytes(const std::string& text)
{
    std::vector<BYTE> sid(8, 0);
    sid[0] = 1;
    unsigned long long authority = 0;
    size_t position = 4;  // past "S-1-"
    authority = strtoull(text.c_str() + position, nullptr, 10);
    for (int i = 0; i < 6; i++)
        sid[2 + i] = (BYTE)(authority >> (8 * (5 - i)));
    position = text.find('-', position);
    while (position != std::string::npos) {
        DWORD sub = (DWORD)strtoul(text.c_str() + position + 1, nullptr, 10);
        for (int i = 0; i < 4; i++)
            sid.push_back((BYTE)(sub >> (8 * i)));
        sid[1]++;
        position = text.find('-', position + 1);
    }
    return sid;
}

std::string SimSidText(PSID sid)
{
    const BYTE* bytes = (const BYTE*)sid;
    unsigned long long authority = 0;
    for (int i = 0; i < 6; i++)
        authority = (authority << 8) | bytes[2 + i];
    std::string text = "S-1-" + std::to_string(authority);
    for (BYTE i = 0; i < bytes[1]; i++) {
        DWORD sub;
        memcpy(&sub, bytes + 8 + 4 * i, 4);
        text += "-" + std::to_string(sub);
    }
    return text;
}

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision)
{
    if (nAclLength < sizeof(ACL) || nAclLength > 0xFFFF || dwAclRevision != ACL_REVISION)
        return SimFail("InitializeAcl", "", ERROR_INVALID_PARAMETER);
    memset(pAcl, 0, sizeof(ACL));
    pAcl->AclRevision = (BYTE)dwAclRevision;
    pAcl->AclSize = (WORD)nAclLength;
    return TRUE;
}

// The byte after the last entry.
static BYTE* AclEnd(PACL acl)
{
    BYTE* position = (BYTE*)acl + sizeof(ACL);
    for (WORD i = 0; i < acl->AceCount; i++)
        position += ((ACE_HEADER*)position)->AceSize;
    return position;
}

static BOOL AddAce(PACL acl, BYTE type, BYTE flags, DWORD mask, const BYTE* sid)
{
    BYTE* end = AclEnd(acl);
    DWORD size = 8 + SidLength(sid);
    if (end + size > (BYTE*)acl + acl->AclSize)
        return SimFail("AddAccessAllowedAce", "", ERROR_ALLOTTED_SPACE_EXCEEDED);
    ACCESS_ALLOWED_ACE* ace = (ACCESS_ALLOWED_ACE*)end;
    ace->Header.AceType = type;
    ace->Header.AceFlags = flags;
    ace->Header.AceSize = (WORD)size;
    ace->Mask = mask;
    memcpy(&ace->SidStart, sid, SidLength(sid));
    acl->AceCount++;
    return TRUE;
}

BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid)
{
    if (dwAceRevision != ACL_REVISION)
        return SimFail("AddAccessAllowedAce", "", ERROR_INVALID_PARAMETER);
    return AddAce(pAcl, ACCESS_ALLOWED_ACE_TYPE, 0, AccessMask, (const BYTE*)pSid);
}

BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID* pAce)
{
    if (dwAceIndex >= pAcl->AceCount)
        return SimFail("GetAce", "", ERROR_INVALID_PARAMETER);
    BYTE* position = (BYTE*)pAcl + sizeof(ACL);
    for (DWORD i = 0; i < dwAceIndex; i++)
        position += ((ACE_HEADER*)position)->AceSize;
    *pAce = position;
    return TRUE;
}

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision)
{
    if (dwRevision != SECURITY_DESCRIPTOR_REVISION)
        return SimFail("InitializeSecurityDescriptor", "", ERROR_INVALID_PARAMETER);
    memset(pSecurityDescriptor, 0, sizeof(SECURITY_DESCRIPTOR));
    ((SECURITY_DESCRIPTOR*)pSecurityDescriptor)->Revision = (BYTE)dwRevision;
    return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL bDaclDefaulted)
{
    (void)bDaclDefaulted;
    SECURITY_DESCRIPTOR* descriptor = (SECURITY_DESCRIPTOR*)pSecurityDescriptor;
    if (descriptor->Control & SE_SELF_RELATIVE)
        return SimFail("SetSecurityDescriptorDacl", "", ERROR_INVALID_SECURITY_DESCR);
    descriptor->Dacl = bDaclPresent ? pDacl : NULL;
    if (bDaclPresent)
        descriptor->Control |= SE_DACL_PRESENT;
    else
        descriptor->Control &= (WORD)~SE_DACL_PRESENT;
    return TRUE;
}

BOOL WINAPI SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsOfInterest,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsToSet)
{
    // Only the inheritance bits may be set this way.
    if ((ControlBitsOfInterest & ~0x3F00) != 0)
        return SimFail("SetSecurityDescriptorControl", "", ERROR_INVALID_PARAMETER);
    SECURITY_DESCRIPTOR* descriptor = (SECURITY_DESCRIPTOR*)pSecurityDescriptor;
    descriptor->Control = (WORD)((descriptor->Control & ~ControlBitsOfInterest) |
                                 (ControlBitsToSet & ControlBitsOfInterest));
    return TRUE;
}

// A self-relative descriptor keeps offsets where an absolute one keeps pointers: Owner at 4,
// Group at 8, Sacl at 12, Dacl at 16.
static BYTE* RelativePart(PSECURITY_DESCRIPTOR descriptor, int field)
{
    DWORD offset;
    memcpy(&offset, (BYTE*)descriptor + 4 + 4 * field, 4);
    return offset == 0 ? nullptr : (BYTE*)descriptor + offset;
}

BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID* pOwner,
                                       BOOL* lpbOwnerDefaulted)
{
    SECURITY_DESCRIPTOR* descriptor = (SECURITY_DESCRIPTOR*)pSecurityDescriptor;
    *pOwner = (descriptor->Control & SE_SELF_RELATIVE) ? RelativePart(descriptor, 0) : descriptor->Owner;
    *lpbOwnerDefaulted = FALSE;
    return TRUE;
}

BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL* lpbDaclPresent,
                                      PACL* pDacl, BOOL* lpbDaclDefaulted)
{
    SECURITY_DESCRIPTOR* descriptor = (SECURITY_DESCRIPTOR*)pSecurityDescriptor;
    *lpbDaclPresent = (descriptor->Control & SE_DACL_PRESENT) != 0;
    *pDacl = (descriptor->Control & SE_SELF_RELATIVE) ? (PACL)RelativePart(descriptor, 3) : descriptor->Dacl;
    *lpbDaclDefaulted = FALSE;
    return TRUE;
}

bool SimReadDacl(PSECURITY_DESCRIPTOR descriptor, std::vector<SimAce>* aces, bool* isProtected)
{
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = NULL;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    *isProtected = (((SECURITY_DESCRIPTOR*)descriptor)->Control & SE_DACL_PROTECTED) != 0;
    if (!present || !dacl)
        return false;
    for (WORD i = 0; i < dacl->AceCount; i++) {
        LPVOID entry = NULL;
        GetAce(dacl, i, &entry);
        const ACCESS_ALLOWED_ACE* ace = (const ACCESS_ALLOWED_ACE*)entry;
        aces->push_back({SimSidText((PSID)&ace->SidStart), ace->Mask, ace->Header.AceFlags,
                         ace->Header.AceType});
    }
    return true;
}

DWORD SimWriteSecurityDescriptor(const SimDiskItem& item, BYTE* out, DWORD size)
{
    SimSecurity security = item.security;
    if (security.owner.empty()) {
        security.owner = Machine().objects.userSid;
        security.dacl = {{Machine().objects.userSid, 0x1F01FF, 0, ACCESS_ALLOWED_ACE_TYPE},
                         {"S-1-5-32-544", 0x1F01FF, 0, ACCESS_ALLOWED_ACE_TYPE}};
    }
    std::vector<BYTE> owner = SidBytes(security.owner);
    if (!security.hasDacl) {
        DWORD bare = 20 + (DWORD)owner.size();
        if (bare <= size) {
            memset(out, 0, bare);
            out[0] = 1;  // revision
            WORD control = SE_SELF_RELATIVE;
            DWORD ownerOffset = 20;
            memcpy(out + 2, &control, 2);
            memcpy(out + 4, &ownerOffset, 4);
            memcpy(out + ownerOffset, owner.data(), owner.size());
        }
        return bare;
    }
    DWORD aclSize = sizeof(ACL);
    for (const SimAce& ace : security.dacl)
        aclSize += 8 + (DWORD)SidBytes(ace.sid).size();
    DWORD needed = 20 + (DWORD)owner.size() + aclSize;
    if (needed > size)
        return needed;
    memset(out, 0, needed);
    out[0] = 1;  // revision
    WORD control = SE_SELF_RELATIVE | SE_DACL_PRESENT;
    memcpy(out + 2, &control, 2);
    DWORD ownerOffset = 20, daclOffset = 20 + (DWORD)owner.size();
    memcpy(out + 4, &ownerOffset, 4);
    memcpy(out + 16, &daclOffset, 4);
    memcpy(out + ownerOffset, owner.data(), owner.size());
    PACL acl = (PACL)(out + daclOffset);
    InitializeAcl(acl, aclSize, ACL_REVISION);
    for (const SimAce& ace : security.dacl)
        AddAce(acl, ace.type, ace.flags, ace.mask, SidBytes(ace.sid).data());
    return needed;
}

BOOL SimTokenUser(LPVOID information, DWORD length, LPDWORD returned)
{
    std::vector<BYTE> sid = SidBytes(Machine().objects.userSid);
    DWORD needed = (DWORD)(sizeof(TOKEN_USER) + sid.size());
    *returned = needed;
    if (length < needed)
        return SimFail("GetTokenInformation", "", ERROR_INSUFFICIENT_BUFFER);
    BYTE* out = (BYTE*)information;
    memcpy(out + sizeof(TOKEN_USER), sid.data(), sid.size());
    TOKEN_USER* user = (TOKEN_USER*)out;
    user->User.Sid = out + sizeof(TOKEN_USER);
    user->User.Attributes = 0;
    SimRecordCall("GetTokenInformation", "", TRUE);
    return TRUE;
}

void (*SimSecurityExport(const std::string& name))(void)
{
    typedef void (*Generic)(void);
    if (name == "InitializeAcl")
        return reinterpret_cast<Generic>(&InitializeAcl);
    if (name == "AddAccessAllowedAce")
        return reinterpret_cast<Generic>(&AddAccessAllowedAce);
    if (name == "GetAce")
        return reinterpret_cast<Generic>(&GetAce);
    if (name == "InitializeSecurityDescriptor")
        return reinterpret_cast<Generic>(&InitializeSecurityDescriptor);
    if (name == "SetSecurityDescriptorDacl")
        return reinterpret_cast<Generic>(&SetSecurityDescriptorDacl);
    if (name == "GetSecurityDescriptorOwner")
        return reinterpret_cast<Generic>(&GetSecurityDescriptorOwner);
    if (name == "GetSecurityDescriptorDacl")
        return reinterpret_cast<Generic>(&GetSecurityDescriptorDacl);
    if (name == "GetKernelObjectSecurity")
        return reinterpret_cast<Generic>(&GetKernelObjectSecurity);
    return nullptr;
}
