// Whether only administrators and the system can change an object, judged from its security
// descriptor: the rule by which the run trusts what it acts on with an administrator's rights.
#ifndef FOUNDATION_OBJECT_TRUST_H
#define FOUNDATION_OBJECT_TRUST_H

#include "platform/platform.h"

// 1 when the owner of the object and every entry of its DACL leave changing it (writing or
// appending to it, adding files or folders to it, deleting it or what it holds, changing its
// permissions or its owner) to Administrators, SYSTEM, TrustedInstaller and the user this
// process runs as; Power Users count as administrators when majorVersion is 5 (Windows 2000,
// XP and Server 2003 give them that power). 0 otherwise: no owner, another owner, no DACL (which
// lets everyone do everything), an entry of a kind this rule does not know. Entries that only
// pass on to what is made inside the object are skipped; generic rights are mapped to the file
// rights. The descriptor may be self-relative (GetFileSecurityA, GetKernelObjectSecurity) or
// absolute.
int OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor, DWORD majorVersion);

#endif
